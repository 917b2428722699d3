#pragma once

#include <cstring>
#include <dirent.h>
#include <initializer_list>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <vector>

// Every file below a folder (in the order the folders give them).
inline void ListFiles(const std::string& folder, std::vector<std::string>& out)
{
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return;
    while (const dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string path = folder + "/" + name;
        struct stat st;
        if (stat(path.c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode))
            ListFiles(path, out);
        else
            out.push_back(path);
    }
    closedir(dir);
}

inline bool HasExtension(const std::string& path, std::initializer_list<const char*> extensions)
{
    for (const char* ext : extensions) {
        const size_t n = std::strlen(ext);
        if (path.size() > n && strcasecmp(path.c_str() + path.size() - n, ext) == 0)
            return true;
    }
    return false;
}

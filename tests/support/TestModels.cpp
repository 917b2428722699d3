#include "tests/support/TestModels.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

namespace {

void Collect(const std::string& folder, std::initializer_list<const char*> extensions, std::vector<std::string>& out)
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
        if (S_ISDIR(st.st_mode)) {
            Collect(path, extensions, out);
            continue;
        }
        for (const char* ext : extensions) {
            const size_t n = std::strlen(ext);
            if (path.size() > n && strcasecmp(path.c_str() + path.size() - n, ext) == 0) {
                out.push_back(path);
                break;
            }
        }
    }
    closedir(dir);
}

} // namespace

std::vector<std::string> TestListFiles(const std::string& folder, std::initializer_list<const char*> extensions)
{
    std::vector<std::string> files;
    Collect(folder, extensions, files);
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::string> TestListModelFiles(const std::string& folder)
{
    return TestListFiles(folder, {".gltf", ".glb", ".fbx", ".3ds", ".obj", ".dae", ".x"});
}

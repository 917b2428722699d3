#include "platform/PlatformPaths.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

std::string PlatformNativePath(const char* path)
{
    std::string out = path ? path : "";
    for (char& c : out)
        if (c == '\\')
            c = '/';
    return out;
}

FILE* PlatformOpenFile(const char* path, const char* mode)
{
    if (!path || !mode)
        return nullptr;
    return std::fopen(PlatformNativePath(path).c_str(), mode);
}

namespace {
std::string ReadExecutablePath()
{
    std::string buffer(256, '\0');
    for (;;) {
        ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return std::string();
        if (static_cast<size_t>(n) < buffer.size()) {
            buffer.resize(static_cast<size_t>(n));
            return buffer;
        }
        if (buffer.size() >= 65536)
            return std::string();
        buffer.resize(buffer.size() * 2);
    }
}
} // namespace

std::string PlatformGetExecutablePath()
{
    // Read once: the start-up asks for it twice (the log folder, the start
    // paths), and each read of the link costs a path walk through /proc.
    static const std::string path = ReadExecutablePath();
    return path;
}

std::string PlatformGetExecutableDir()
{
    std::string path = PlatformGetExecutablePath();
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return std::string();
    return path.substr(0, slash + 1);
}

std::string PlatformGetTempPath()
{
    std::string dir;
    const char* env = std::getenv("TMPDIR");
    dir = (env && *env) ? PlatformNativePath(env) : std::string("/tmp");
    if (dir.back() != '/')
        dir += '/';
    return dir;
}

bool PlatformGetCurrentDirectory(std::string& out)
{
    std::error_code ec;
    std::filesystem::path cwd = std::filesystem::current_path(ec);
    if (ec)
        return false;
    out = cwd.string();
    return true;
}

bool PlatformPathExists(const char* path)
{
    if (!path || !*path)
        return false;
    struct stat st;
    return ::lstat(PlatformNativePath(path).c_str(), &st) == 0;
}

bool PlatformMakeDirectory(const char* path)
{
    if (!path || !*path)
        return false;
    return ::mkdir(PlatformNativePath(path).c_str(), 0777) == 0;
}

bool PlatformDeleteTree(const char* path)
{
    if (!path || !*path)
        return false;
    std::error_code ec;
    std::uintmax_t removed = std::filesystem::remove_all(PlatformNativePath(path), ec);
    return !ec && removed > 0;
}

unsigned PlatformGetFileMode(const char* path)
{
    if (!path || !*path)
        return 0;
    struct stat st;
    if (::stat(PlatformNativePath(path).c_str(), &st) != 0)
        return 0;
    return static_cast<unsigned>(st.st_mode);
}

bool PlatformGetEnv(const char* name, std::string& out)
{
    if (!name)
        return false;
    const char* value = std::getenv(name);
    if (!value)
        return false;
    out = value;
    return true;
}

bool PlatformSetEnv(const char* name, const char* value)
{
    if (!name || !*name || !value)
        return false;
    return ::setenv(name, value, 1) == 0;
}

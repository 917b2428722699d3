#include "system/io/QxPaths.h"

#include <cstring>
#include <string>

#include "platform/PlatformPaths.h"
#include "platform/PlatformSharedLibrary.h"

namespace {
bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

bool IsDriveLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
} // namespace

int QxConcatPath(char* destination, size_t destinationSize, const char* first, const char* second)
{
    if (!destination || destinationSize == 0)
        return 0;
    if (!first)
        first = "";
    if (!second)
        second = "";
    size_t firstLength = std::strlen(first);
    size_t secondLength = std::strlen(second);
    bool separator = firstLength > 0 && !IsSeparator(first[firstLength - 1]);
    size_t total = firstLength + (separator ? 1 : 0) + secondLength;
    if (total >= destinationSize) {
        destination[0] = '\0';
        return 0;
    }
    // first or second may alias destination: move, never copy.
    std::memmove(destination + firstLength + (separator ? 1 : 0), second, secondLength);
    std::memmove(destination, first, firstLength);
    if (separator)
        destination[firstLength] = '/';
    destination[total] = '\0';
    return 1;
}

char* QxGetCurrentDirectory(char* buffer)
{
    if (!buffer)
        return nullptr;
    buffer[0] = '\0';
    std::string cwd;
    if (!PlatformGetCurrentDirectory(cwd) || cwd.size() >= 260)
        return nullptr;
    std::memcpy(buffer, cwd.c_str(), cwd.size() + 1);
    return buffer;
}

void* QxGetModuleHandle(const char* name)
{
    return PlatformGetModuleHandle(name);
}

int QxGetModuleFileName(void* module, char* buffer, int size)
{
    if (!buffer || size <= 0)
        return 0;
    std::string name = PlatformGetModuleFileName(module);
    size_t count = name.size() < static_cast<size_t>(size - 1) ? name.size() : static_cast<size_t>(size - 1);
    std::memcpy(buffer, name.data(), count);
    buffer[count] = '\0';
    return static_cast<int>(count);
}

XString QxGetTempPath()
{
    std::string path = PlatformGetTempPath();
    if (path.size() >= 512)
        return XString();
    return XString(path.c_str());
}

CKBOOL QxMakeDirectory(const char* path)
{
    return PlatformMakeDirectory(path) ? TRUE : FALSE;
}

CKBOOL QxCreateDirectories(const char* path)
{
    if (!path)
        return FALSE;
    std::string copy(path);
    size_t i = 0;
    if (copy.size() >= 2 && IsDriveLetter(copy[0]) && copy[1] == ':')
        i = 2;
    while (i < copy.size() && IsSeparator(copy[i]))
        ++i;
    for (; i < copy.size(); ++i) {
        if (!IsSeparator(copy[i]))
            continue;
        std::string prefix = copy.substr(0, i);
        if (!PlatformPathExists(prefix.c_str()) && !PlatformMakeDirectory(prefix.c_str()))
            return FALSE;
    }
    return TRUE;
}

CKBOOL QxDeleteDirectory(const char* path)
{
    return PlatformDeleteTree(path) ? TRUE : FALSE;
}

CKBOOL QxAddDirectoryToPath(const char* directory)
{
    if (!directory || !*directory)
        return FALSE;
    std::string value(directory);
    std::string old;
    if (PlatformGetEnv("PATH", old) && !old.empty()) {
        value += kPlatformPathListSeparator;
        value += old;
    }
    return PlatformSetEnv("PATH", value.c_str()) ? TRUE : FALSE;
}

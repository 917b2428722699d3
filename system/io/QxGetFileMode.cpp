#include "system/io/QxGetFileMode.h"

#include "platform/PlatformPaths.h"

CKDWORD QxGetFileMode(const char* path)
{
    return PlatformGetFileMode(path);
}

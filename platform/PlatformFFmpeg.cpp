#include "platform/PlatformFFmpeg.h"

#include <dlfcn.h>

#include <atomic>
#include <iterator>
#include <mutex>

namespace {

// The library of the major version the headers describe: another major
// version has other structure layouts.
#define PLATFORM_FFMPEG_STRING2(x) #x
#define PLATFORM_FFMPEG_STRING(x) PLATFORM_FFMPEG_STRING2(x)
const char* const kLibraries[] = {
    "libavutil.so." PLATFORM_FFMPEG_STRING(LIBAVUTIL_VERSION_MAJOR),
    "libswscale.so." PLATFORM_FFMPEG_STRING(LIBSWSCALE_VERSION_MAJOR),
    "libavcodec.so." PLATFORM_FFMPEG_STRING(LIBAVCODEC_VERSION_MAJOR),
    "libavformat.so." PLATFORM_FFMPEG_STRING(LIBAVFORMAT_VERSION_MAJOR),
};

std::once_flag g_Once;
PlatformFFmpeg g_Functions;
std::atomic<bool> g_Loaded{false};

void* Find(void* const* handles, const char* name)
{
    for (size_t i = 0; i < std::size(kLibraries); ++i)
        if (void* symbol = dlsym(handles[i], name))
            return symbol;
    return nullptr;
}

void Load()
{
    void* handles[std::size(kLibraries)] = {};
    for (size_t i = 0; i < std::size(kLibraries); ++i) {
        handles[i] = dlopen(kLibraries[i], RTLD_NOW | RTLD_LOCAL);
        if (!handles[i])
            return;
    }
    PlatformFFmpeg f;
    bool all = true;
#define PLATFORM_FFMPEG_RESOLVE(name)                                                                                  \
    f.name = reinterpret_cast<decltype(f.name)>(Find(handles, #name));                                                 \
    all = all && f.name;
    PLATFORM_FFMPEG_FUNCTIONS(PLATFORM_FFMPEG_RESOLVE)
#undef PLATFORM_FFMPEG_RESOLVE
    if (!all)
        return;
    g_Functions = f;
    g_Loaded = true;
}

} // namespace

const PlatformFFmpeg* PlatformGetFFmpeg()
{
    std::call_once(g_Once, Load);
    return g_Loaded ? &g_Functions : nullptr;
}

bool PlatformFFmpegLoaded()
{
    return g_Loaded;
}

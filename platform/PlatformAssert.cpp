#include "platform/PlatformAssert.h"

#include <atomic>
#include <cstdio>

namespace {

void DefaultAssertHook(const char* expression, const char* file, int line)
{
    std::fprintf(stderr, "Assertion failed: %s, file %s, line %d\n", expression, file, line);
}

std::atomic<PlatformAssertHook> g_Hook{nullptr};

} // namespace

PlatformAssertHook PlatformSetAssertHook(PlatformAssertHook hook)
{
    return g_Hook.exchange(hook);
}

void PlatformReportAssert(const char* expression, const char* file, int line)
{
    PlatformAssertHook hook = g_Hook.load();
    (hook ? hook : DefaultAssertHook)(expression, file, line);
}

#include "platform/PlatformDebugOutput.h"

#include <atomic>

namespace {
std::atomic<PlatformDebugOutputHook> g_Hook{nullptr};
} // namespace

void PlatformOutputDebugString(const char* text)
{
    if (!text)
        return;
    if (PlatformDebugOutputHook hook = g_Hook.load())
        hook(text);
}

PlatformDebugOutputHook PlatformSetDebugOutputHook(PlatformDebugOutputHook hook)
{
    return g_Hook.exchange(hook);
}

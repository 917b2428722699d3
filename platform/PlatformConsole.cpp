#include "platform/PlatformConsole.h"

#include <atomic>
#include <mutex>
#include <unistd.h>

namespace {
std::mutex g_Mutex;
bool g_Allocated = false;
std::string g_Title;
std::atomic<PlatformConsoleHook> g_Hook{nullptr};
// Any non-null value serves: the handle only says that a console exists.
int g_OutputTag = 1;
} // namespace

bool PlatformAllocConsole()
{
    std::lock_guard<std::mutex> lock(g_Mutex);
    if (g_Allocated)
        return false;
    g_Allocated = true;
    return true;
}

void PlatformFreeConsole()
{
    std::lock_guard<std::mutex> lock(g_Mutex);
    g_Allocated = false;
    g_Title.clear();
}

PlatformConsoleHandle PlatformGetConsoleOutput()
{
    std::lock_guard<std::mutex> lock(g_Mutex);
    return g_Allocated ? &g_OutputTag : nullptr;
}

void PlatformSetConsoleTitle(const char* title)
{
    std::string text = title ? title : "";
    {
        std::lock_guard<std::mutex> lock(g_Mutex);
        g_Title = text;
    }
    if (!g_Hook.load() && ::isatty(STDOUT_FILENO)) {
        // Control characters would end the title sequence early.
        for (char& c : text)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
                c = ' ';
        std::string sequence = "\033]0;" + text + "\007";
        ssize_t ignored = ::write(STDOUT_FILENO, sequence.data(), sequence.size());
        (void) ignored;
    }
}

std::string PlatformGetConsoleTitle()
{
    std::lock_guard<std::mutex> lock(g_Mutex);
    return g_Title;
}

bool PlatformWriteConsole(PlatformConsoleHandle handle, const char* data, size_t size)
{
    if (!handle || (!data && size))
        return false;
    if (PlatformConsoleHook hook = g_Hook.load()) {
        hook(data, size);
        return true;
    }
    while (size > 0) {
        ssize_t n = ::write(STDOUT_FILENO, data, size);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

PlatformConsoleHook PlatformSetConsoleHook(PlatformConsoleHook hook)
{
    return g_Hook.exchange(hook);
}

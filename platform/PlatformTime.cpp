#include "platform/PlatformTime.h"

#include <atomic>
#include <ctime>
#include <time.h>

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif

namespace {
std::atomic<PlatformCounterHook> g_CounterHook{nullptr};
std::atomic<PlatformLocalTimeHook> g_LocalTimeHook{nullptr};

uint64_t MonotonicNanoseconds()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000000ull + static_cast<uint64_t>(ts.tv_nsec);
}
} // namespace

uint64_t PlatformQueryCounter()
{
    if (PlatformCounterHook hook = g_CounterHook.load())
        return hook();
    return MonotonicNanoseconds();
}

uint64_t PlatformCounterFrequency()
{
    return 1000000000ull;
}

uint64_t PlatformReadCycleCounter()
{
#if defined(__x86_64__) || defined(__i386__)
    return __rdtsc();
#else
    return MonotonicNanoseconds();
#endif
}

void PlatformSleepMs(unsigned milliseconds)
{
    timespec ts;
    ts.tv_sec = milliseconds / 1000;
    ts.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
    while (nanosleep(&ts, &ts) != 0) {
    }
}

PlatformLocalTime PlatformGetLocalTime()
{
    if (PlatformLocalTimeHook hook = g_LocalTimeHook.load())
        return hook();
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    time_t seconds = ts.tv_sec;
    struct tm local;
    localtime_r(&seconds, &local);
    PlatformLocalTime t;
    t.year = local.tm_year + 1900;
    t.month = local.tm_mon + 1;
    t.day = local.tm_mday;
    t.hour = local.tm_hour;
    t.minute = local.tm_min;
    t.second = local.tm_sec;
    t.millisecond = static_cast<int>(ts.tv_nsec / 1000000L);
    t.weekDay = local.tm_wday;
    t.yearDay = local.tm_yday;
    t.unixSeconds = static_cast<uint32_t>(seconds);
    return t;
}

PlatformCounterHook PlatformSetCounterHook(PlatformCounterHook hook)
{
    return g_CounterHook.exchange(hook);
}

PlatformLocalTimeHook PlatformSetLocalTimeHook(PlatformLocalTimeHook hook)
{
    return g_LocalTimeHook.exchange(hook);
}

#pragma once

#include <cstdint>

// Clocks as the engine expects them of Windows: a high-resolution counter
// with its frequency, the processor's cycle counter, the local calendar time
// and a sleep. Tests may replace the counter and the calendar time with their
// own clocks (never assert a real time).

// Monotonic counter and its ticks per second.
uint64_t PlatformQueryCounter();
uint64_t PlatformCounterFrequency();

// The processor's time-stamp counter (the monotonic counter on processors
// without one).
uint64_t PlatformReadCycleCounter();

void PlatformSleepMs(unsigned milliseconds);

// Local calendar time with its milliseconds.
struct PlatformLocalTime
{
    int year = 1970;          // e.g. 2009
    int month = 1;            // 1 to 12
    int day = 1;              // 1 to 31
    int hour = 0;             // 0 to 23
    int minute = 0;           // 0 to 59
    int second = 0;           // 0 to 60
    int millisecond = 0;      // 0 to 999
    int weekDay = 4;          // 0 = Sunday
    int yearDay = 0;          // 0 to 365
    uint32_t unixSeconds = 0; // seconds since 1 January 1970, unsigned 32-bit
};

PlatformLocalTime PlatformGetLocalTime();

// Replacement clocks for tests; null restores the system's. Each setter
// returns the previous hook.
using PlatformCounterHook = uint64_t (*)();
using PlatformLocalTimeHook = PlatformLocalTime (*)();
PlatformCounterHook PlatformSetCounterHook(PlatformCounterHook hook);
PlatformLocalTimeHook PlatformSetLocalTimeHook(PlatformLocalTimeHook hook);

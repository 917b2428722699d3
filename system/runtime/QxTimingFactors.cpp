#include "system/runtime/QxTimingFactors.h"

#include <atomic>

#include "platform/PlatformTime.h"

namespace {
float DefaultMillisecondsPerTick()
{
    uint64_t frequency = PlatformCounterFrequency() & 0xFFFFFFFFull;
    return frequency ? 1000.0f / static_cast<float>(frequency) : 0.0f;
}

std::atomic<float> g_MillisecondsPerTick{DefaultMillisecondsPerTick()};
std::atomic<float> g_MillisecondsPerCycle{0.0f};
std::atomic<void (*)()> g_MeasureClock{nullptr};
} // namespace

float QxGetMillisecondsPerTick()
{
    return g_MillisecondsPerTick.load(std::memory_order_relaxed);
}

float QxGetMillisecondsPerCycle()
{
    if (void (*measure)() = g_MeasureClock.load(std::memory_order_acquire))
        measure();
    return g_MillisecondsPerCycle.load(std::memory_order_relaxed);
}

void QxSetTimingFactors(float millisecondsPerTick, float millisecondsPerCycle)
{
    g_MillisecondsPerTick.store(millisecondsPerTick, std::memory_order_relaxed);
    g_MillisecondsPerCycle.store(millisecondsPerCycle, std::memory_order_relaxed);
    g_MeasureClock.store(nullptr, std::memory_order_release);
}

void QxSetClockMeasurement(void (*measure)())
{
    g_MeasureClock.store(measure, std::memory_order_release);
}

bool QxClockMeasurementPending()
{
    return g_MeasureClock.load(std::memory_order_acquire) != nullptr;
}

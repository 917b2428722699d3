#pragma once

#include <cstdint>

// Elapsed time on the processor's time-stamp counter, converted with the
// cycle factor of the processor detection (0 before it ran). Started at
// construction.
class QxCycleProfiler
{
public:
    QxCycleProfiler() { Reset(); }

    void Reset();
    // Milliseconds since the last Reset; keeps the elapsed cycle count.
    float Current();

private:
    uint64_t m_Start = 0;
    uint64_t m_Elapsed = 0;
};

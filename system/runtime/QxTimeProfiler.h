#pragma once

#include <cstdint>

// Elapsed time on the high-resolution counter. Started at construction.
class QxTimeProfiler
{
public:
    QxTimeProfiler() { Reset(); }

    // Takes the counter as the new start.
    void Reset();
    // Milliseconds since the start (reads the counter into the last count).
    float Current();

private:
    uint64_t m_Start = 0;
    uint64_t m_Last = 0;
};

#include "system/runtime/QxCycleProfiler.h"

#include "platform/PlatformTime.h"
#include "system/runtime/QxTimingFactors.h"

void QxCycleProfiler::Reset()
{
    m_Start = PlatformReadCycleCounter();
}

float QxCycleProfiler::Current()
{
    m_Elapsed = PlatformReadCycleCounter() - m_Start;
    return static_cast<float>(static_cast<double>(m_Elapsed) * QxGetMillisecondsPerCycle());
}

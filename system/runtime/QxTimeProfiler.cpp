#include "system/runtime/QxTimeProfiler.h"

#include "platform/PlatformTime.h"
#include "system/runtime/QxTimingFactors.h"

void QxTimeProfiler::Reset()
{
    m_Start = PlatformQueryCounter();
}

float QxTimeProfiler::Current()
{
    m_Last = PlatformQueryCounter();
    return static_cast<float>(static_cast<double>(m_Last - m_Start) * QxGetMillisecondsPerTick());
}

#include "tests/readers/support/PeakMemory.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace {

// A "VmRSS:"-like field of /proc/self/status in kilobytes; -1 when absent.
long StatusKb(const char* field)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field, 0) == 0)
            return std::atol(line.c_str() + std::strlen(field));
    return -1;
}

} // namespace

PeakMemoryProbe::PeakMemoryProbe()
{
    // Writing 5 to clear_refs sets the peak (VmHWM) back to the current size.
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    m_StartKb = StatusKb("VmRSS:");
    m_Works = clear.good() && m_StartKb >= 0 && StatusKb("VmHWM:") >= 0;
}

double PeakMemoryProbe::GrowthMegabytes() const
{
    return (double) (StatusKb("VmHWM:") - m_StartKb) / 1024.0;
}

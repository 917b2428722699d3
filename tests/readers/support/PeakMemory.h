#pragma once

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

// Growth of the process's peak resident memory over a stretch of work: the
// kernel's peak (VmHWM) is reset when the probe is made, so what follows is
// measured alone. Tests assert memory this way, never time.
class PeakMemoryProbe
{
public:
    PeakMemoryProbe()
    {
        std::ofstream clear("/proc/self/clear_refs");
        clear << "5" << std::flush;
        m_StartKb = clear.good() ? StatusKb("VmRSS:") : -1;
    }
    // Megabytes the peak rose above the resident size at the start; 0 when
    // the kernel cannot reset or tell it.
    double GrowthMegabytes() const
    {
        const long peak = StatusKb("VmHWM:");
        return peak < 0 || m_StartKb < 0 ? 0.0 : (double) (peak - m_StartKb) / 1024.0;
    }

private:
    static long StatusKb(const char* field)
    {
        std::ifstream in("/proc/self/status");
        for (std::string line; std::getline(in, line);)
            if (line.rfind(field, 0) == 0)
                return std::atol(line.c_str() + std::strlen(field));
        return -1;
    }

    long m_StartKb = 0;
};

#pragma once

// Growth of the process's peak resident memory over a stretch of work: the
// kernel's peak is reset when the probe is made, so what follows is measured
// alone, whatever earlier tests left resident. A test asserts memory this
// way, never time.
class PeakMemoryProbe
{
public:
    PeakMemoryProbe();

    // False when the kernel offers no peak to reset (the growth is then
    // meaningless and the caller skips its check).
    bool Works() const { return m_Works; }
    // Megabytes the peak rose above the resident size at the start.
    double GrowthMegabytes() const;

private:
    long m_StartKb = 0;
    bool m_Works = false;
};

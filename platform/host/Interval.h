#pragma once

#include "platform/host/TimeValue.h"

// Stands in for the host's validity interval: the times from Start to End
// inclusive. FOREVER covers every time (and is the default), NEVER none
// (start above end).
class Interval
{
public:
    constexpr Interval() = default;
    constexpr Interval(TimeValue start, TimeValue end) : m_Start(start), m_End(end) {}

    constexpr TimeValue Start() const { return m_Start; }
    constexpr TimeValue End() const { return m_End; }
    void Set(TimeValue start, TimeValue end)
    {
        m_Start = start;
        m_End = end;
    }
    void SetInfinite() { Set(TIME_NegInfinity, TIME_PosInfinity); }
    void SetEmpty() { Set(TIME_PosInfinity, TIME_NegInfinity); }
    constexpr bool Empty() const { return m_Start > m_End; }
    constexpr bool InInterval(TimeValue t) const { return t >= m_Start && t <= m_End; }
    constexpr bool operator==(const Interval& i) const { return m_Start == i.m_Start && m_End == i.m_End; }
    constexpr bool operator!=(const Interval& i) const { return !(*this == i); }
    // The times both intervals cover.
    Interval& operator&=(const Interval& i)
    {
        if (i.m_Start > m_Start)
            m_Start = i.m_Start;
        if (i.m_End < m_End)
            m_End = i.m_End;
        return *this;
    }

private:
    TimeValue m_Start = TIME_NegInfinity;
    TimeValue m_End = TIME_PosInfinity;
};

constexpr Interval FOREVER(TIME_NegInfinity, TIME_PosInfinity);
constexpr Interval NEVER(TIME_PosInfinity, TIME_NegInfinity);

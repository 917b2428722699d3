#pragma once

#include "platform/PlatformTime.h"

// 5 March 2009, 14:07:31.042 local time (a Thursday, day 63 of the year):
// the clock that the log tests print.
inline PlatformLocalTime March5()
{
    PlatformLocalTime t;
    t.year = 2009;
    t.month = 3;
    t.day = 5;
    t.hour = 14;
    t.minute = 7;
    t.second = 31;
    t.millisecond = 42;
    t.weekDay = 4;
    t.yearDay = 63;
    t.unixSeconds = 1236262051u;
    return t;
}

#pragma once

#include <cstdint>

// a x b / c with a 64-bit product, rounded to the nearest integer (halves
// away from zero), as the platform's MulDiv; -1 when c is 0 or the result
// does not fit in 32 bits.
inline int32_t PlatformMulDiv(int32_t a, int32_t b, int32_t c)
{
    if (c == 0)
        return -1;
    const int64_t p = int64_t(a) * b;
    const int64_t ap = p < 0 ? -p : p;
    const int64_t ac = c < 0 ? -int64_t(c) : int64_t(c);
    int64_t q = (ap + ac / 2) / ac;
    if ((p < 0) != (c < 0))
        q = -q;
    if (q > INT32_MAX || q < INT32_MIN)
        return -1;
    return int32_t(q);
}

#pragma once

#include <cmath>
#include <cstdint>

// Float-to-integer conversions that are defined for every input. A plain cast
// of NaN, infinity or a value outside the int range is undefined behaviour in
// C++; these saturate instead (NaN gives 0), so callers can clamp the result
// afterwards exactly as they would clamp an in-range value.

// Truncation towards zero, saturated to the 32-bit signed range.
inline int32_t QxTruncToInt(double v)
{
    if (!(v == v))
        return 0;
    if (v >= 2147483647.0)
        return INT32_MAX;
    if (v <= -2147483648.0)
        return INT32_MIN;
    return static_cast<int32_t>(v);
}

// Rounding to the nearest integer in the current rounding mode (ties to even
// by default), saturated to the 32-bit signed range.
inline int32_t QxRoundToInt(double v)
{
    return QxTruncToInt(std::nearbyint(v));
}

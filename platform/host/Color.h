#pragma once

#include "platform/host/Point3.h"

// Stands in for the host's Color: red, green and blue as 32-bit floats, 1.0
// for full intensity (values beyond are allowed, as the host allows them).
class Color
{
public:
    float r = 0.0f, g = 0.0f, b = 0.0f;

    constexpr Color() = default;
    constexpr Color(float ar, float ag, float ab) : r(ar), g(ag), b(ab) {}
    constexpr explicit Color(const Point3& p) : r(p.x), g(p.y), b(p.z) {}

    constexpr bool operator==(const Color& c) const { return r == c.r && g == c.g && b == c.b; }
    constexpr bool operator!=(const Color& c) const { return !(*this == c); }
    constexpr explicit operator Point3() const { return Point3(r, g, b); }
};

#pragma once

#include "system/math/QxVector.h"

// Four 32-bit floats: a homogeneous point, a plane or four packed values.
// Default-constructed to zero.
struct QxVector4
{
    float x, y, z, w;

    constexpr QxVector4() : x(0.0f), y(0.0f), z(0.0f), w(0.0f) {}
    constexpr QxVector4(float ax, float ay, float az, float aw) : x(ax), y(ay), z(az), w(aw) {}
    constexpr QxVector4(const QxVector& v, float aw) : x(v.x), y(v.y), z(v.z), w(aw) {}

    void Set(float ax, float ay, float az, float aw)
    {
        x = ax;
        y = ay;
        z = az;
        w = aw;
    }

    // Component i (0 x .. 3 w); i must be 0..3.
    float& operator[](int i) { return i == 0 ? x : (i == 1 ? y : (i == 2 ? z : w)); }
    const float& operator[](int i) const { return i == 0 ? x : (i == 1 ? y : (i == 2 ? z : w)); }
};

static_assert(sizeof(QxVector4) == 16, "QxVector4 is four floats");

inline bool operator==(const QxVector4& a, const QxVector4& b)
{
    return a.x == b.x && a.y == b.y && a.z == b.z && a.w == b.w;
}
inline bool operator!=(const QxVector4& a, const QxVector4& b)
{
    return !(a == b);
}

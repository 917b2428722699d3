#pragma once

// Two 32-bit floats. Default-constructed to zero.
struct Qx2DVector
{
    float x, y;

    constexpr Qx2DVector() : x(0.0f), y(0.0f) {}
    constexpr Qx2DVector(float ax, float ay) : x(ax), y(ay) {}

    void Set(float ax, float ay)
    {
        x = ax;
        y = ay;
    }

    Qx2DVector& operator+=(const Qx2DVector& v)
    {
        x += v.x;
        y += v.y;
        return *this;
    }
    Qx2DVector& operator-=(const Qx2DVector& v)
    {
        x -= v.x;
        y -= v.y;
        return *this;
    }
    Qx2DVector& operator*=(float s)
    {
        x *= s;
        y *= s;
        return *this;
    }
};

static_assert(sizeof(Qx2DVector) == 8, "Qx2DVector is two floats");

inline Qx2DVector operator+(const Qx2DVector& a, const Qx2DVector& b)
{
    return Qx2DVector(a.x + b.x, a.y + b.y);
}
inline Qx2DVector operator-(const Qx2DVector& a, const Qx2DVector& b)
{
    return Qx2DVector(a.x - b.x, a.y - b.y);
}
inline Qx2DVector operator*(const Qx2DVector& v, float s)
{
    return Qx2DVector(v.x * s, v.y * s);
}
inline bool operator==(const Qx2DVector& a, const Qx2DVector& b)
{
    return a.x == b.x && a.y == b.y;
}
inline bool operator!=(const Qx2DVector& a, const Qx2DVector& b)
{
    return !(a == b);
}

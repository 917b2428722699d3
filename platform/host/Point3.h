#pragma once

#include <cmath>

// Stands in for the host's Point3: a point or vector of three 32-bit floats,
// with the arithmetic the exporter and the scene's evaluation use.
class Point3
{
public:
    float x = 0.0f, y = 0.0f, z = 0.0f;

    constexpr Point3() = default;
    constexpr Point3(float ax, float ay, float az) : x(ax), y(ay), z(az) {}

    float& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
    float operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }

    constexpr Point3 operator+(const Point3& p) const { return Point3(x + p.x, y + p.y, z + p.z); }
    constexpr Point3 operator-(const Point3& p) const { return Point3(x - p.x, y - p.y, z - p.z); }
    constexpr Point3 operator-() const { return Point3(-x, -y, -z); }
    constexpr Point3 operator*(float f) const { return Point3(x * f, y * f, z * f); }
    constexpr Point3 operator/(float f) const { return Point3(x / f, y / f, z / f); }
    Point3& operator+=(const Point3& p)
    {
        x += p.x;
        y += p.y;
        z += p.z;
        return *this;
    }
    Point3& operator-=(const Point3& p)
    {
        x -= p.x;
        y -= p.y;
        z -= p.z;
        return *this;
    }
    Point3& operator*=(float f)
    {
        x *= f;
        y *= f;
        z *= f;
        return *this;
    }
    constexpr bool operator==(const Point3& p) const { return x == p.x && y == p.y && z == p.z; }
    constexpr bool operator!=(const Point3& p) const { return !(*this == p); }

    float Length() const { return std::sqrt(x * x + y * y + z * z); }
    float LengthSquared() const { return x * x + y * y + z * z; }
};

constexpr Point3 operator*(float f, const Point3& p)
{
    return p * f;
}

constexpr float DotProd(const Point3& a, const Point3& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

constexpr Point3 CrossProd(const Point3& a, const Point3& b)
{
    return Point3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

inline float Length(const Point3& p)
{
    return p.Length();
}

// The vector divided by its length; a zero vector stays zero.
inline Point3 Normalize(const Point3& p)
{
    const float length = p.Length();
    return length == 0.0f ? p : p / length;
}

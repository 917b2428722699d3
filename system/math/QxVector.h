#pragma once

struct QxCompressedVector;

// Three 32-bit floats. Default-constructed to zero.
struct QxVector
{
    float x, y, z;

    constexpr QxVector() : x(0.0f), y(0.0f), z(0.0f) {}
    constexpr QxVector(float ax, float ay, float az) : x(ax), y(ay), z(az) {}
    constexpr explicit QxVector(float v) : x(v), y(v), z(v) {}

    void Set(float ax, float ay, float az)
    {
        x = ax;
        y = ay;
        z = az;
    }

    // Component i (0 x, 1 y, 2 z); i must be 0..2.
    float& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
    const float& operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }

    // Divides the vector by its length in place: squared length in double
    // precision, components multiplied by 1.0 / sqrt of it. A zero vector
    // stays zero.
    void Normalize();

    // Sets this vector from a compressed direction through the angle tables.
    void SetFromCompressed(const QxCompressedVector& compressed);

    QxVector& operator+=(const QxVector& v)
    {
        x += v.x;
        y += v.y;
        z += v.z;
        return *this;
    }
    QxVector& operator-=(const QxVector& v)
    {
        x -= v.x;
        y -= v.y;
        z -= v.z;
        return *this;
    }
    QxVector& operator*=(float s)
    {
        x *= s;
        y *= s;
        z *= s;
        return *this;
    }
    QxVector& operator/=(float s)
    {
        x /= s;
        y /= s;
        z /= s;
        return *this;
    }

    // The process-wide constant vectors (1,0,0), (0,1,0), (0,0,1), (0,0,0);
    // usable before start-up.
    static const QxVector& AxisX();
    static const QxVector& AxisY();
    static const QxVector& AxisZ();
    static const QxVector& Zero();
};

static_assert(sizeof(QxVector) == 12, "QxVector is three floats");

inline constexpr QxVector QX_VECTOR_AXIS_X(1.0f, 0.0f, 0.0f);
inline constexpr QxVector QX_VECTOR_AXIS_Y(0.0f, 1.0f, 0.0f);
inline constexpr QxVector QX_VECTOR_AXIS_Z(0.0f, 0.0f, 1.0f);
inline constexpr QxVector QX_VECTOR_ZERO(0.0f, 0.0f, 0.0f);

inline const QxVector& QxVector::AxisX()
{
    return QX_VECTOR_AXIS_X;
}
inline const QxVector& QxVector::AxisY()
{
    return QX_VECTOR_AXIS_Y;
}
inline const QxVector& QxVector::AxisZ()
{
    return QX_VECTOR_AXIS_Z;
}
inline const QxVector& QxVector::Zero()
{
    return QX_VECTOR_ZERO;
}

inline QxVector operator+(const QxVector& a, const QxVector& b)
{
    return QxVector(a.x + b.x, a.y + b.y, a.z + b.z);
}
inline QxVector operator-(const QxVector& a, const QxVector& b)
{
    return QxVector(a.x - b.x, a.y - b.y, a.z - b.z);
}
inline QxVector operator-(const QxVector& v)
{
    return QxVector(-v.x, -v.y, -v.z);
}
inline QxVector operator*(const QxVector& v, float s)
{
    return QxVector(v.x * s, v.y * s, v.z * s);
}
inline QxVector operator*(float s, const QxVector& v)
{
    return QxVector(s * v.x, s * v.y, s * v.z);
}
inline QxVector operator/(const QxVector& v, float s)
{
    return QxVector(v.x / s, v.y / s, v.z / s);
}
// Component-wise product.
inline QxVector operator*(const QxVector& a, const QxVector& b)
{
    return QxVector(a.x * b.x, a.y * b.y, a.z * b.z);
}
inline bool operator==(const QxVector& a, const QxVector& b)
{
    return a.x == b.x && a.y == b.y && a.z == b.z;
}
inline bool operator!=(const QxVector& a, const QxVector& b)
{
    return !(a == b);
}

// a.x·b.x + a.y·b.y + a.z·b.z, in that order, in float.
inline float QxDotProduct(const QxVector& a, const QxVector& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// *result = a × b. result may be a or b (both are read first).
void QxCrossProduct(const QxVector& a, const QxVector& b, QxVector* result);
// a × b.
QxVector QxCrossProduct(const QxVector& a, const QxVector& b);

// result = v · (1 / sqrt(x² + y² + z²)) in float arithmetic; returns result.
// A zero vector gives zero. result may be v.
QxVector& QxNormalize(QxVector& result, const QxVector& v);
// The same as a copy.
QxVector QxNormalize(const QxVector& v);

// sqrt(x² + y² + z²) in float.
float QxMagnitude(const QxVector& v);
// x² + y² + z² in float.
inline float QxSquareMagnitude(const QxVector& v)
{
    return v.x * v.x + v.y * v.y + v.z * v.z;
}

// Component-wise minimum and maximum.
inline QxVector QxMin(const QxVector& a, const QxVector& b)
{
    return QxVector(b.x < a.x ? b.x : a.x, b.y < a.y ? b.y : a.y, b.z < a.z ? b.z : a.z);
}
inline QxVector QxMax(const QxVector& a, const QxVector& b)
{
    return QxVector(b.x > a.x ? b.x : a.x, b.y > a.y ? b.y : a.y, b.z > a.z ? b.z : a.z);
}

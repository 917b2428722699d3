#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "system/math/QxMathWarning.h"
#include "system/math/QxMatrix.h"
#include "system/math/QxQuaternion.h"
#include "system/math/QxVector.h"

// Helpers shared by the math tests: a seeded generator (every run sees the
// same inputs) and double-precision reference arithmetic.
namespace mathtest {

class Random
{
public:
    explicit Random(uint32_t seed) : m_Engine(seed) {}

    float Uniform(float low, float high) { return std::uniform_real_distribution<float>(low, high)(m_Engine); }
    int Int(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_Engine); }

    QxVector Vector(float low, float high)
    {
        return QxVector(Uniform(low, high), Uniform(low, high), Uniform(low, high));
    }

    QxVector UnitVector()
    {
        for (;;) {
            const QxVector v = Vector(-1.0f, 1.0f);
            const double l = std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z);
            if (l > 0.1 && l <= 1.0)
                return QxVector(float(v.x / l), float(v.y / l), float(v.z / l));
        }
    }

    QxQuaternion UnitQuaternion()
    {
        for (;;) {
            const float x = Uniform(-1, 1), y = Uniform(-1, 1), z = Uniform(-1, 1), w = Uniform(-1, 1);
            const double l = std::sqrt(double(x) * x + double(y) * y + double(z) * z + double(w) * w);
            if (l > 0.1 && l <= 1.0)
                return QxQuaternion(float(x / l), float(y / l), float(z / l), float(w / l));
        }
    }

    // An affine matrix with a random rotation, scales in [low, high] (sign
    // flipped on one axis when mirror) and a translation.
    QxMatrix Affine(float low, float high, bool mirror = false)
    {
        QxMatrix rotation;
        UnitQuaternion().ToMatrix(rotation);
        QxMatrix m = rotation;
        for (int i = 0; i < 3; ++i) {
            float s = Uniform(low, high);
            if (mirror && i == 2)
                s = -s;
            for (int j = 0; j < 3; ++j)
                m[i][j] *= s;
        }
        // A second rotation after the scale gives a sheared (general) 3x3.
        QxMatrix second;
        UnitQuaternion().ToMatrix(second);
        QxMultiplyMatrix(m, second, m);
        m[3][0] = Uniform(-10, 10);
        m[3][1] = Uniform(-10, 10);
        m[3][2] = Uniform(-10, 10);
        return m;
    }

private:
    std::mt19937 m_Engine;
};

struct Mat4d
{
    double m[4][4];
};

inline Mat4d ToDouble(const QxMatrix& a)
{
    Mat4d r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = a[i][j];
    return r;
}

// Standard product r = x·y.
inline Mat4d Multiply(const Mat4d& x, const Mat4d& y)
{
    Mat4d r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            double s = 0;
            for (int k = 0; k < 4; ++k)
                s += x.m[i][k] * y.m[k][j];
            r.m[i][j] = s;
        }
    return r;
}

// Infinite when any element is NaN, so that a NaN never passes a bound.
inline double MaxAbsDifference(const Mat4d& a, const Mat4d& b, int rows = 4, int columns = 4)
{
    double d = 0;
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < columns; ++j) {
            const double e = std::fabs(a.m[i][j] - b.m[i][j]);
            d = std::isnan(e) ? HUGE_VAL : std::fmax(d, e);
        }
    return d;
}

inline double MaxAbsDifference(const QxMatrix& a, const QxMatrix& b, int rows = 4, int columns = 4)
{
    return MaxAbsDifference(ToDouble(a), ToDouble(b), rows, columns);
}

inline uint32_t Bits(float f)
{
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}

inline bool SameBits(const QxMatrix& a, const QxMatrix& b)
{
    return std::memcmp(&a, &b, sizeof(QxMatrix)) == 0;
}

// Captures the math library's warnings while it lives (one at a time).
class WarningCapture
{
public:
    WarningCapture()
    {
        Current() = &m_Texts;
        m_Previous = QxSetMathWarningHook(&WarningCapture::Collect);
    }
    ~WarningCapture()
    {
        QxSetMathWarningHook(m_Previous);
        Current() = nullptr;
    }
    WarningCapture(const WarningCapture&) = delete;
    WarningCapture& operator=(const WarningCapture&) = delete;
    const std::vector<std::string>& Texts() const { return m_Texts; }

private:
    static std::vector<std::string>*& Current()
    {
        static std::vector<std::string>* texts = nullptr;
        return texts;
    }
    static void Collect(const char* text) { Current()->push_back(text); }

    std::vector<std::string> m_Texts;
    QxMathWarningHook m_Previous;
};

inline double Distance(const QxVector& a, const QxVector& b)
{
    const double dx = double(a.x) - b.x, dy = double(a.y) - b.y, dz = double(a.z) - b.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

} // namespace mathtest

#define EXPECT_VECTOR_NEAR(v, ex, ey, ez, tol)                                                                         \
    do {                                                                                                               \
        const QxVector vv_ = (v);                                                                                      \
        EXPECT_NEAR(vv_.x, (ex), (tol));                                                                               \
        EXPECT_NEAR(vv_.y, (ey), (tol));                                                                               \
        EXPECT_NEAR(vv_.z, (ez), (tol));                                                                               \
    } while (0)

#include "system/math/QxMatrixRotation.h"

#include <cmath>

void QxMatrixFromAxisAngle(QxMatrix& m, const QxVector& axis, float angle)
{
    QxVector unit = axis;
    unit.Normalize();
    m.SetIdentity();
    // No axis, no rotation (rather than a matrix scaled by cos angle).
    if (unit.x == 0.0f && unit.y == 0.0f && unit.z == 0.0f)
        return;
    const float c = static_cast<float>(std::cos(static_cast<double>(angle)));
    const float s = static_cast<float>(std::sin(static_cast<double>(angle)));
    const float t = 1.0f - c;
    const float x = unit.x, y = unit.y, z = unit.z;
    m[0][0] = x * x + (1.0f - x * x) * c;
    m[0][1] = x * y * t - z * s;
    m[0][2] = x * z * t + y * s;
    m[1][0] = x * y * t + z * s;
    m[1][1] = y * y + (1.0f - y * y) * c;
    m[1][2] = y * z * t - x * s;
    m[2][0] = x * z * t - y * s;
    m[2][1] = y * z * t + x * s;
    m[2][2] = z * z + (1.0f - z * z) * c;
}

namespace {

// cos and sin of an angle, exactly (1, 0) for a magnitude up to 1e-8.
void CosSin(float angle, float& c, float& s)
{
    if (std::fabs(angle) <= 9.99999993922529e-09f) {
        c = 1.0f;
        s = 0.0f;
        return;
    }
    c = static_cast<float>(std::cos(static_cast<double>(angle)));
    s = static_cast<float>(std::sin(static_cast<double>(angle)));
}

} // namespace

void QxMatrixFromEulerAngles(QxMatrix& m, float ax, float ay, float az)
{
    float cx, sx, cy, sy, cz, sz;
    CosSin(ax, cx, sx);
    CosSin(ay, cy, sy);
    CosSin(az, cz, sz);
    m.Clear();
    m[0][0] = cy * cz;
    m[0][1] = cy * sz;
    m[0][2] = -sy;
    m[1][0] = sx * sy * cz - cx * sz;
    m[1][1] = sx * sy * sz + cx * cz;
    m[1][2] = sx * cy;
    m[2][0] = cx * sy * cz + sx * sz;
    m[2][1] = cx * sy * sz - sx * cz;
    m[2][2] = cx * cy;
    m[3][3] = 1.0f;
}

void QxMatrixToEulerAngles(const QxMatrix& m, float* ax, float* ay, float* az)
{
    const QxVector r0 = QxNormalize(QxVector(m[0][0], m[0][1], m[0][2]));
    const QxVector r1 = QxNormalize(QxVector(m[1][0], m[1][1], m[1][2]));
    const QxVector r2 = QxNormalize(QxVector(m[2][0], m[2][1], m[2][2]));
    const float k = std::sqrt(r0.x * r0.x + r0.y * r0.y);
    float x, y, z;
    if (k > 1.9073486e-6f) {
        x = std::atan2(r1.z, r2.z);
        y = std::atan2(-r0.z, k);
        z = std::atan2(r0.y, r0.x);
    } else {
        z = 0.0f;
        y = std::atan2(-r0.z, k);
        x = std::atan2(-r2.y, r1.y);
    }
    if (ax)
        *ax = x;
    if (ay)
        *ay = y;
    if (az)
        *az = z;
}

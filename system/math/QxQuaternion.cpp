#include "system/math/QxQuaternion.h"

#include <cmath>

namespace {

// The unit-quaternion formulas on a 3x3 taken as orthonormal.
QxQuaternion QuaternionOfRotation(const QxMatrix& m)
{
    const double trace = static_cast<double>(m[0][0]) + m[1][1] + m[2][2];
    double q[4];
    if (trace >= 0.0) {
        const double r = std::sqrt(trace + 1.0);
        const double f = 0.5 / r;
        q[3] = r * 0.5;
        q[0] = (static_cast<double>(m[2][1]) - m[1][2]) * f;
        q[1] = (static_cast<double>(m[0][2]) - m[2][0]) * f;
        q[2] = (static_cast<double>(m[1][0]) - m[0][1]) * f;
    } else {
        static const int next[3] = {1, 2, 0};
        int i = 0;
        if (m[0][0] < m[1][1])
            i = 1;
        if (m[i][i] < m[2][2])
            i = 2;
        const int j = next[i];
        const int k = next[j];
        const double r = std::sqrt(static_cast<double>(m[i][i]) - (static_cast<double>(m[j][j]) + m[k][k]) + 1.0);
        const double f = 0.5 / r;
        q[i] = r * 0.5;
        q[j] = (static_cast<double>(m[j][i]) + m[i][j]) * f;
        q[k] = (static_cast<double>(m[k][i]) + m[i][k]) * f;
        q[3] = (static_cast<double>(m[k][j]) - m[j][k]) * f;
    }
    return QxQuaternion(static_cast<float>(q[0]), static_cast<float>(q[1]), static_cast<float>(q[2]),
                        static_cast<float>(q[3]));
}

} // namespace

void QxQuaternion::FromRotation(const QxVector& axis, float angle)
{
    const double half = 0.5 * angle;
    const double s = std::sin(half);
    x = static_cast<float>(axis.x * s);
    y = static_cast<float>(axis.y * s);
    z = static_cast<float>(axis.z * s);
    w = static_cast<float>(std::cos(half));
}

void QxQuaternion::Normalize()
{
    const double squared = static_cast<double>(x) * x + static_cast<double>(y) * y + static_cast<double>(z) * z +
                           static_cast<double>(w) * w;
    if (squared == 0.0) {
        *this = QxQuaternion();
        return;
    }
    const double length = std::sqrt(squared);
    x = static_cast<float>(x / length);
    y = static_cast<float>(y / length);
    z = static_cast<float>(z / length);
    w = static_cast<float>(w / length);
}

void QxQuaternion::ToMatrix(QxMatrix& m) const
{
    const float squared = x * x + y * y + z * z + w * w;
    if (squared == 0.0f) {
        m.SetIdentity();
        return;
    }
    const float s = 2.0f / squared;
    const float xs = x * s, ys = y * s, zs = z * s;
    m[0][0] = 1.0f - (y * ys + z * zs);
    m[0][1] = x * ys - w * zs;
    m[0][2] = x * zs + w * ys;
    m[0][3] = 0.0f;
    m[1][0] = x * ys + w * zs;
    m[1][1] = 1.0f - (x * xs + z * zs);
    m[1][2] = y * zs - w * xs;
    m[1][3] = 0.0f;
    m[2][0] = x * zs - w * ys;
    m[2][1] = y * zs + w * xs;
    m[2][2] = 1.0f - (x * xs + y * ys);
    m[2][3] = 0.0f;
    m[3][0] = 0.0f;
    m[3][1] = 0.0f;
    m[3][2] = 0.0f;
    m[3][3] = 1.0f;
}

void QxQuaternion::FromMatrix(QxMatrix& m, CKBOOL isOrthonormal, CKBOOL restore)
{
    if (isOrthonormal) {
        *this = QuaternionOfRotation(m);
        return;
    }
    const QxMatrix saved = m;
    QxVector row0(m[0][0], m[0][1], m[0][2]);
    QxVector row1(m[1][0], m[1][1], m[1][2]);
    row0.Normalize();
    row1.Normalize();
    const QxVector row2 = QxCrossProduct(row0, row1);
    m[0][0] = row0.x;
    m[0][1] = row0.y;
    m[0][2] = row0.z;
    m[1][0] = row1.x;
    m[1][1] = row1.y;
    m[1][2] = row1.z;
    m[2][0] = row2.x;
    m[2][1] = row2.y;
    m[2][2] = row2.z;
    *this = QuaternionOfRotation(m);
    if (restore) {
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                m[i][j] = saved[i][j];
    }
}

QxQuaternion& QxQuaternion::operator*=(const QxQuaternion& q)
{
    return QxMultiplyQuaternion(*this, *this, q);
}

QxQuaternion& QxMultiplyQuaternion(QxQuaternion& result, const QxQuaternion& a, const QxQuaternion& b)
{
    const float x = a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y;
    const float y = a.w * b.y + a.y * b.w + a.z * b.x - a.x * b.z;
    const float z = a.w * b.z + a.z * b.w + a.x * b.y - a.y * b.x;
    const float w = a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z;
    result.Set(x, y, z, w);
    return result;
}

QxQuaternion& QxQuaternionConjugate(QxQuaternion& result, const QxQuaternion& q)
{
    result.Set(-q.x, -q.y, -q.z, q.w);
    return result;
}

QxQuaternion& QxQuaternionDivide(QxQuaternion& result, const QxQuaternion& p, const QxQuaternion& q)
{
    const float x = q.w * p.x - p.w * q.x - p.z * q.y + p.y * q.z;
    const float y = q.w * p.y - q.y * p.w - p.x * q.z + p.z * q.x;
    const float z = p.z * q.w - p.w * q.z - q.x * p.y + q.y * p.x;
    const float w = p.w * q.w + p.x * q.x + p.y * q.y + p.z * q.z;
    result.Set(x, y, z, w);
    return result;
}

QxQuaternion& QxQuaternionLn(QxQuaternion& result, const QxQuaternion& q)
{
    const double length =
        std::sqrt(static_cast<double>(q.x) * q.x + static_cast<double>(q.y) * q.y + static_cast<double>(q.z) * q.z);
    if (length > 0.0) {
        const double scale = std::atan2(length, static_cast<double>(q.w)) / length;
        result.Set(static_cast<float>(q.x * scale), static_cast<float>(q.y * scale), static_cast<float>(q.z * scale),
                   0.0f);
    } else {
        result.Set(0.0f, 0.0f, 0.0f, 0.0f);
    }
    return result;
}

QxQuaternion& QxQuaternionExp(QxQuaternion& result, const QxQuaternion& v)
{
    const double length =
        std::sqrt(static_cast<double>(v.x) * v.x + static_cast<double>(v.y) * v.y + static_cast<double>(v.z) * v.z);
    const float w = static_cast<float>(std::cos(length));
    if (length > 1.1920929e-7) {
        const double scale = std::sin(length) / length;
        result.Set(static_cast<float>(v.x * scale), static_cast<float>(v.y * scale), static_cast<float>(v.z * scale),
                   w);
    } else {
        result.Set(v.x, v.y, v.z, w);
    }
    return result;
}

QxQuaternion& QxQuaternionLnDif(QxQuaternion& result, const QxQuaternion& a, const QxQuaternion& b)
{
    QxQuaternion quotient;
    QxQuaternionDivide(quotient, b, a);
    return QxQuaternionLn(result, quotient);
}

QxQuaternion& QxSlerp(QxQuaternion& result, float t, const QxQuaternion& a, const QxQuaternion& b)
{
    const float c = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
    double k0, k1;
    if (c < 0.0f) {
        // The shorter arc runs to -b.
        if (1.0 - (-static_cast<double>(c)) <= 0.01) {
            k0 = 1.0 - t;
            k1 = -static_cast<double>(t);
        } else {
            const double theta = std::acos(-static_cast<double>(c));
            const double s = std::sin(theta);
            k0 = std::sin((1.0 - t) * theta) / s;
            k1 = -std::sin(t * theta) / s;
        }
    } else {
        if (1.0 - static_cast<double>(c) <= 0.01) {
            k0 = 1.0 - t;
            k1 = t;
        } else {
            const double theta = std::acos(static_cast<double>(c));
            const double s = std::sin(theta);
            k0 = std::sin((1.0 - t) * theta) / s;
            k1 = std::sin(t * theta) / s;
        }
    }
    const float f0 = static_cast<float>(k0);
    const float f1 = static_cast<float>(k1);
    result.Set(f0 * a.x + f1 * b.x, f0 * a.y + f1 * b.y, f0 * a.z + f1 * b.z, f0 * a.w + f1 * b.w);
    return result;
}

QxQuaternion& QxSquad(QxQuaternion& result, float t, const QxQuaternion& q0, const QxQuaternion& a,
                      const QxQuaternion& b, const QxQuaternion& q1)
{
    QxQuaternion outer, inner;
    QxSlerp(outer, t, q0, q1);
    QxSlerp(inner, t, a, b);
    return QxSlerp(result, 2.0f * t * (1.0f - t), outer, inner);
}

QxQuaternion& QxQuaternionFromMatrix(QxQuaternion& result, const QxMatrix& m)
{
    result = QuaternionOfRotation(m);
    return result;
}

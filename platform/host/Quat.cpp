#include "platform/host/Quat.h"

#include <cmath>

#include "platform/host/Matrix3.h"

Quat::Quat(const Matrix3& m)
{
    // Shepperd's method on the normalised axes, the largest diagonal term
    // chosen so that no division is by a small number.
    Point3 r0 = ::Normalize(m[0]), r1 = ::Normalize(m[1]), r2 = ::Normalize(m[2]);
    if (DotProd(CrossProd(r0, r1), r2) < 0.0f) {
        r0 = -r0;
        r1 = -r1;
        r2 = -r2;
    }
    // MakeMatrix writes m[0][1] = 2(xy - wz) and m[1][0] = 2(xy + wz).
    const float trace = r0.x + r1.y + r2.z;
    if (trace > 0.0f) {
        const float s = std::sqrt(trace + 1.0f) * 2.0f;
        w = 0.25f * s;
        x = (r2.y - r1.z) / s;
        y = (r0.z - r2.x) / s;
        z = (r1.x - r0.y) / s;
    } else if (r0.x > r1.y && r0.x > r2.z) {
        const float s = std::sqrt(1.0f + r0.x - r1.y - r2.z) * 2.0f;
        w = (r2.y - r1.z) / s;
        x = 0.25f * s;
        y = (r0.y + r1.x) / s;
        z = (r0.z + r2.x) / s;
    } else if (r1.y > r2.z) {
        const float s = std::sqrt(1.0f + r1.y - r0.x - r2.z) * 2.0f;
        w = (r0.z - r2.x) / s;
        x = (r0.y + r1.x) / s;
        y = 0.25f * s;
        z = (r1.z + r2.y) / s;
    } else {
        const float s = std::sqrt(1.0f + r2.z - r0.x - r1.y) * 2.0f;
        w = (r1.x - r0.y) / s;
        x = (r0.z + r2.x) / s;
        y = (r1.z + r2.y) / s;
        z = 0.25f * s;
    }
    Normalize();
}

void Quat::MakeMatrix(Matrix3& m) const
{
    const float squared = x * x + y * y + z * z + w * w;
    m.IdentityMatrix();
    if (squared == 0.0f)
        return;
    const float s = 2.0f / squared;
    const float xs = x * s, ys = y * s, zs = z * s;
    m[0] = Point3(1.0f - (y * ys + z * zs), x * ys - w * zs, x * zs + w * ys);
    m[1] = Point3(x * ys + w * zs, 1.0f - (x * xs + z * zs), y * zs - w * xs);
    m[2] = Point3(x * zs - w * ys, y * zs + w * xs, 1.0f - (x * xs + y * ys));
}

Quat& Quat::Normalize()
{
    const float length = std::sqrt(QuatDot(*this, *this));
    if (length == 0.0f || !std::isfinite(length)) {
        Identity();
        return *this;
    }
    x /= length;
    y /= length;
    z /= length;
    w /= length;
    return *this;
}

Quat Quat::Inverse() const
{
    const float squared = QuatDot(*this, *this);
    if (squared == 0.0f)
        return Quat();
    return Quat(-x / squared, -y / squared, -z / squared, w / squared);
}

Quat Quat::operator*(const Quat& q) const
{
    return Quat(w * q.x + x * q.w + y * q.z - z * q.y, w * q.y - x * q.z + y * q.w + z * q.x,
                w * q.z + x * q.y - y * q.x + z * q.w, w * q.w - x * q.x - y * q.y - z * q.z);
}

Quat QFromAngAxis(float angle, const Point3& axis)
{
    const float length = axis.Length();
    if (length == 0.0f)
        return Quat();
    const float s = std::sin(angle * 0.5f) / length;
    return Quat(axis.x * s, axis.y * s, axis.z * s, std::cos(angle * 0.5f));
}

void AngAxisFromQ(const Quat& q, float* angle, Point3& axis)
{
    const float s = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z);
    if (s == 0.0f) {
        *angle = 0.0f;
        axis = Point3(1.0f, 0.0f, 0.0f);
        return;
    }
    *angle = 2.0f * std::atan2(s, q.w);
    axis = Point3(q.x / s, q.y / s, q.z / s);
}

Quat Slerp(const Quat& p, const Quat& q, float t)
{
    float cosine = QuatDot(p, q);
    Quat to = q;
    if (cosine < 0.0f) {
        cosine = -cosine;
        to = Quat(-q.x, -q.y, -q.z, -q.w);
    }
    float a = 1.0f - t, b = t;
    // Nearly equal rotations: the straight blend, renormalised, is exact enough.
    if (cosine < 0.9999f) {
        const float angle = std::acos(cosine);
        const float sine = std::sin(angle);
        a = std::sin((1.0f - t) * angle) / sine;
        b = std::sin(t * angle) / sine;
    }
    Quat r(a * p.x + b * to.x, a * p.y + b * to.y, a * p.z + b * to.z, a * p.w + b * to.w);
    return r.Normalize();
}

Quat Squad(const Quat& p, const Quat& a, const Quat& b, const Quat& q, float t)
{
    return Slerp(Slerp(p, q, t), Slerp(a, b, t), 2.0f * t * (1.0f - t));
}

Quat LnQuat(const Quat& q)
{
    const float s = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z);
    if (s == 0.0f)
        return Quat(0.0f, 0.0f, 0.0f, 0.0f);
    const float angle = std::atan2(s, q.w);
    const float f = angle / s;
    return Quat(q.x * f, q.y * f, q.z * f, 0.0f);
}

Quat ExpQuat(const Quat& q)
{
    const float angle = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z);
    if (angle == 0.0f)
        return Quat();
    const float f = std::sin(angle) / angle;
    return Quat(q.x * f, q.y * f, q.z * f, std::cos(angle));
}

#pragma once

#include "platform/host/Point3.h"

class Matrix3;

// Stands in for the host's Quat: a rotation as x, y, z, w (w the scalar
// part). Its matrix has the same elements as the engine's quaternion matrix;
// read with row vectors (see Matrix3.h) the quaternion of a positive angle
// turns clockwise when looking down its axis, as the host's rotations do.
// Products follow the matrices: MakeMatrix(a * b) = MakeMatrix(a) *
// MakeMatrix(b), that is a first, then b.
class Quat
{
public:
    float x = 0.0f, y = 0.0f, z = 0.0f, w = 1.0f;

    constexpr Quat() = default;
    constexpr Quat(float ax, float ay, float az, float aw) : x(ax), y(ay), z(az), w(aw) {}
    // The rotation of the matrix's axes (which are normalised first; a
    // mirrored frame gives the rotation of its unmirrored part).
    explicit Quat(const Matrix3& m);

    void Identity() { *this = Quat(); }
    bool IsIdentity() const { return x == 0.0f && y == 0.0f && z == 0.0f && w == 1.0f; }
    // The rotation matrix, translation zero; a zero quaternion gives the
    // identity.
    void MakeMatrix(Matrix3& m) const;
    // Divides by the length; a zero quaternion becomes the identity.
    Quat& Normalize();
    constexpr Quat Conjugate() const { return Quat(-x, -y, -z, w); }
    // The opposite rotation (the conjugate over the squared length).
    Quat Inverse() const;

    // Hamilton product.
    Quat operator*(const Quat& q) const;
    Quat& operator*=(const Quat& q) { return *this = *this * q; }
    constexpr bool operator==(const Quat& q) const { return x == q.x && y == q.y && z == q.z && w == q.w; }
    constexpr bool operator!=(const Quat& q) const { return !(*this == q); }
};

constexpr float QuatDot(const Quat& a, const Quat& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
}

// (axis * sin(angle / 2), cos(angle / 2)) with the axis normalised; a zero
// axis gives the identity.
Quat QFromAngAxis(float angle, const Point3& axis);
// The angle (0 to 2 pi) and unit axis of a normalised quaternion; the
// identity gives angle 0 and axis (1, 0, 0).
void AngAxisFromQ(const Quat& q, float* angle, Point3& axis);
// Spherical interpolation from p (t = 0) to q (t = 1) along the shorter arc.
Quat Slerp(const Quat& p, const Quat& q, float t);
// Spherical quadrangle interpolation: Slerp(Slerp(p, q, t), Slerp(a, b, t), 2t(1 - t)).
Quat Squad(const Quat& p, const Quat& a, const Quat& b, const Quat& q, float t);
// The logarithm (a pure quaternion) and exponential of unit quaternions.
Quat LnQuat(const Quat& q);
Quat ExpQuat(const Quat& q);

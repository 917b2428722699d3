#pragma once

#include "includes/CKTypes.h"
#include "system/math/QxMatrix.h"
#include "system/math/QxVector.h"

// A rotation as four 32-bit floats x, y, z, w (w the scalar part).
// Default-constructed to the identity (0, 0, 0, 1).
//
// Rotation sense: ToMatrix gives, for the rotation by angle about the z axis,
// row 0 = (cos, -sin, 0) and row 1 = (sin, cos, 0) - the same matrix as
// QxMatrixFromAxisAngle, and the opposite sense to QxMatrixFromEulerAngles.
struct QxQuaternion
{
    float x, y, z, w;

    constexpr QxQuaternion() : x(0.0f), y(0.0f), z(0.0f), w(1.0f) {}
    constexpr QxQuaternion(float ax, float ay, float az, float aw) : x(ax), y(ay), z(az), w(aw) {}

    void Set(float ax, float ay, float az, float aw)
    {
        x = ax;
        y = ay;
        z = az;
        w = aw;
    }

    // (axis·sin(angle/2), cos(angle/2)); the axis is not normalised.
    void FromRotation(const QxVector& axis, float angle);

    // Divides by the length; a quaternion of length 0 becomes the identity.
    void Normalize();

    // The rotation matrix: s = 2 / |q|² (so any non-zero length gives a pure
    // rotation; a zero quaternion gives the identity), rows 0 .. 2 from the
    // element formulas, column 3 = 0, row 3 = (0, 0, 0, 1).
    void ToMatrix(QxMatrix& m) const;

    // Sets this quaternion from the 3x3 part of m. When isOrthonormal is
    // false, m's rows 0 and 1 are first normalised and row 2 replaced by
    // row 0 x row 1 in place; with restore true the nine elements are put back
    // afterwards, with restore false m keeps the orthonormalised rows.
    void FromMatrix(QxMatrix& m, CKBOOL isOrthonormal, CKBOOL restore);

    // this = this · q (Hamilton product).
    QxQuaternion& operator*=(const QxQuaternion& q);
};

static_assert(sizeof(QxQuaternion) == 16, "QxQuaternion is four floats");

inline bool operator==(const QxQuaternion& a, const QxQuaternion& b)
{
    return a.x == b.x && a.y == b.y && a.z == b.z && a.w == b.w;
}
inline bool operator!=(const QxQuaternion& a, const QxQuaternion& b)
{
    return !(a == b);
}

// In every routine below result may be one of the operands.

// result = a · b (Hamilton product); returns result.
QxQuaternion& QxMultiplyQuaternion(QxQuaternion& result, const QxQuaternion& a, const QxQuaternion& b);
// result = (-x, -y, -z, w); returns result.
QxQuaternion& QxQuaternionConjugate(QxQuaternion& result, const QxQuaternion& q);
// result = conj(q) · p; returns result.
QxQuaternion& QxQuaternionDivide(QxQuaternion& result, const QxQuaternion& p, const QxQuaternion& q);
// With L = |(x, y, z)|: ((x, y, z)·atan2(L, w)/L, 0) when L > 0, else (0, 0, 0, 0).
QxQuaternion& QxQuaternionLn(QxQuaternion& result, const QxQuaternion& q);
// With L = |(v.x, v.y, v.z)| (v.w ignored): ((v.x, v.y, v.z)·sin(L)/L, cos L) when
// L > 1.1920929e-7, else ((v.x, v.y, v.z), cos L).
QxQuaternion& QxQuaternionExp(QxQuaternion& result, const QxQuaternion& v);
// ln(conj(a) · b): the tangent term of rotation keys.
QxQuaternion& QxQuaternionLnDif(QxQuaternion& result, const QxQuaternion& a, const QxQuaternion& b);
// Spherical linear interpolation from a (t = 0) to b (t = 1) along the shorter
// arc; within 0.01 of the poles the weights are linear (1 - t, ±t) and the
// result is not renormalised.
QxQuaternion& QxSlerp(QxQuaternion& result, float t, const QxQuaternion& a, const QxQuaternion& b);
// Spherical quadrangle interpolation: Slerp(2t(1 - t), Slerp(t, q0, q1), Slerp(t, a, b)).
QxQuaternion& QxSquad(QxQuaternion& result, float t, const QxQuaternion& q0, const QxQuaternion& a,
                      const QxQuaternion& b, const QxQuaternion& q1);
// result = the rotation of m's 3x3 part, taken as orthonormal (m is not changed).
QxQuaternion& QxQuaternionFromMatrix(QxQuaternion& result, const QxMatrix& m);

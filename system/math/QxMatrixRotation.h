#pragma once

#include "system/math/QxMatrix.h"
#include "system/math/QxVector.h"

// Rotation matrices from an axis and an angle or from Euler angles, and back.
// Senses (row vectors): QxMatrixFromAxisAngle about z by a gives row 0 =
// (cos a, -sin a, 0), the matrix of QxQuaternion::ToMatrix; QxMatrixFromEulerAngles
// with az = a gives row 0 = (cos a, sin a, 0), the opposite sense.

// The rotation by angle (radians) about a normalised copy of axis; column 3
// and row 3 are those of the identity. A zero axis gives the identity.
void QxMatrixFromAxisAngle(QxMatrix& m, const QxVector& axis, float angle);

// With cx = cos ax, sx = sin ax and likewise for y and z (an angle of
// magnitude at most 1e-8 counts as exactly 0):
//   row 0 = (cy·cz, cy·sz, -sy)
//   row 1 = (sx·sy·cz - cx·sz, sx·sy·sz + cx·cz, sx·cy)
//   row 2 = (cx·sy·cz + sx·sz, cx·sy·sz - sx·cz, cx·cy)
// translation zero, m[3][3] = 1.
void QxMatrixFromEulerAngles(QxMatrix& m, float ax, float ay, float az);

// The inverse of QxMatrixFromEulerAngles away from the gimbal case, read from
// the normalised rows 0 .. 2 of m (scale is ignored). When
// sqrt(r0.x² + r0.y²) <= 2^-19 the z angle is taken as 0.
void QxMatrixToEulerAngles(const QxMatrix& m, float* ax, float* ay, float* az);

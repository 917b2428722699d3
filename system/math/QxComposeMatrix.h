#pragma once

#include "system/math/QxMatrix.h"
#include "system/math/QxQuaternion.h"
#include "system/math/QxVector.h"

// m = rotation's matrix with row 0 scaled by scale.x, row 1 by scale.y, row 2
// by scale.z, and row 3 = position.
void QxComposeMatrix(QxMatrix& m, const QxVector& position, const QxVector& scale, const QxQuaternion& rotation);

// The inverse of QxDecomposeMatrixEx. With Q the matrix of scaleOrientation
// (rows q0 .. q2) and R that of rotation:
// S[i][j] = q_i.x·q_j.x·scale.x + q_i.y·q_j.y·scale.y + q_i.z·q_j.z·scale.z,
// m = QxMultiplyMatrix(R, S) (S applied first, then R), its 3x3 part
// multiplied by sign (-1 rebuilds a mirroring matrix), row 3 = position.
void QxComposeMatrixEx(QxMatrix& m, const QxVector& position, const QxVector& scale, const QxQuaternion& rotation,
                       const QxQuaternion& scaleOrientation, float sign = 1.0f);

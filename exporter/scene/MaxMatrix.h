#pragma once

#include "platform/host/Matrix3.h"
#include "system/math/QxMatrix.h"

// The host's matrices in the engine's axes: rows and columns 1 and 2
// exchanged (the host's z is the engine's y).
void MaxToEngineMatrix(const Matrix3& m, QxMatrix& out);
// Cameras and lights look down the engine's z: the rows keep their order,
// columns 1 and 2 are exchanged, row 2 is negated and the three axis rows
// are normalised (a zero row stays zero).
void MaxToEngineCameraMatrix(const Matrix3& m, QxMatrix& out);
// The handedness of the matrix's three axis rows: (r0 x r1) . r2.
float MatrixHandedness(const QxMatrix& m);

// The point with each component multiplied by the factor.
Point3 ScalePoint(const Point3& point, float factor);

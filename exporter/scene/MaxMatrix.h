#pragma once

#include "platform/host/Matrix3.h"
#include "platform/host/Quat.h"
#include "system/math/QxMatrix.h"
#include "system/math/QxQuaternion.h"
#include "system/math/QxVector.h"

class CK3dEntity;

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

// A host point, vector or tangent in the engine's axes: (x, z, y).
QxVector MaxToEngineVector(const Point3& p);
// A host rotation in the engine's axes: (-x, -z, -y, w), the same turn seen
// through the exchange of y and z.
QxQuaternion MaxToEngineQuat(const Quat& q);
// What a rotation of the entity is turned by before it changes axes: a
// quarter turn about x for cameras and lights (which look down the engine's
// z, see MaxToEngineCameraMatrix), the identity for any other entity.
Quat EngineRotationCorrection(CK3dEntity* entity);
// The factor that turns the host's Bezier tangents (value units per tick)
// into the engine's (units per frame): the ticks per frame of the scene, 160
// at 30 frames a second.
double BezierTangentFactor();

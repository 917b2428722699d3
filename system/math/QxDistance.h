#pragma once

#include "system/math/QxCone.h"
#include "system/math/QxRay.h"
#include "system/math/QxVector.h"

// Squared distance from p to the ray (parameter clamped at 0). t (may be
// null) receives the parameter of the closest point.
float QxPointRaySquareDistance(const QxVector& p, const QxRay& ray, float* t);
// Squared distance from p to the segment origin .. origin + direction
// (parameter clamped to 0 .. 1). t (may be null) receives the parameter.
float QxPointSegmentSquareDistance(const QxVector& p, const QxRay& segment, float* t);

// Signed distance from p to the cone's surface, negative inside: with
// v = p - apex and h = axis·v, |axis x v|·k1 - h·k2 when h >= 0, else |v|
// (behind the apex, the distance to the apex).
float QxDistancePointCone(const QxCone& cone, const QxVector& p);

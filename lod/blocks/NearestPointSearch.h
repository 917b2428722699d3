#pragma once

#include "system/math/QxVector.h"

// The squared distance as the search compares it, in float, x then y then z.
inline float SearchSquaredDistance(const QxVector& a, const QxVector& b)
{
    const float dx = a.x - b.x;
    const float dy = a.y - b.y;
    const float dz = a.z - b.z;
    return dx * dx + dy * dy + dz * dz;
}

// For each query, the index of the point at the smallest squared distance
// strictly below limit (SearchSquaredDistance), the lowest index among equal
// distances; -1 when no point is that close. The answer of a scan of every
// point in order that keeps a point only when it is strictly closer than
// both the limit and the best so far, found through a grid of cells one
// limit wide. out holds queryCount entries. A limit that is not positive
// (or not a number) finds nothing.
void FindNearestPoints(int* out, const QxVector* queries, int queryCount, const QxVector* points, int pointCount,
                       float limit);

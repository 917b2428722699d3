#pragma once

#include "includes/CKTypes.h"
#include "system/math/QxMatrix.h"
#include "system/math/QxVector.h"

// Fitting a box to a cloud of points along its principal axes. Points are
// QxVector (three floats) read at a byte stride.

// C = covariance of count points: sums accumulated in single precision,
// C00 = Σx²/n - mx², C01 = C10 = Σxy/n - mx·my, and so on. count <= 0 or a
// null points pointer leaves C untouched.
void QxCovarianceMatrix(float C[3][3], const void* points, CKDWORD stride, int count);

// The box as a matrix: rows 0 .. 2 are the principal axes (the eigenvectors
// of the covariance; rows 0 and 1 normalised, row 2 their cross product)
// scaled by the half extents of the points along them plus margin, row 3 is
// the centre, column 3 = (0, 0, 0, 1); the cube [-1, 1]³ maps onto the box.
// Returns FALSE without writing when count < 1 or points is null; returns
// FALSE after writing when an element of rows 0 .. 3, columns 0 .. 2 is
// above 1e6 in magnitude or not a number; TRUE otherwise.
CKBOOL QxComputeOrientedBox(const void* points, CKDWORD stride, int count, QxMatrix& result, float margin);

// The principal axes of a point set with the range of the points along each.
struct QxPrincipalBox
{
    QxVector m_Axis[3]; // rows 0 and 1 unit length, row 2 their cross product
    QxVector m_Min;     // smallest projection on each axis, less the tolerance
    QxVector m_Max;     // largest projection on each axis, plus the tolerance
};

// The axes and projection ranges that QxComputeOrientedBox computes, with
// tolerance playing the part of its margin (each range widened by it on both
// sides). Returns FALSE without writing when count < 1 or points is null,
// TRUE otherwise (no range check).
CKBOOL QxFitOrientedBox(const void* points, CKDWORD stride, int count, QxPrincipalBox& box, float tolerance);

#pragma once

#include "includes/CKTypes.h"
#include "system/math/QxMatrix.h"
#include "system/math/QxStridedCopy.h"

// Transforms of arrays of vectors by one matrix. Elements are QxVector (three
// floats) unless said otherwise, at a byte stride; each element gives exactly
// the result of QxMultiplyMatrixVector / QxRotateVector on it. count <= 0
// does nothing. Each element is read whole before its result is written, so
// destination may equal source (same stride); other overlaps are not allowed.
// Pointers need no alignment.

// count points, destination and source at the same stride.
void QxTransformPoints(void* destination, const QxMatrix& m, const void* source, int count, CKDWORD stride);
// count points between two strided arrays.
void QxTransformPointsStrided(const QxStridedData& destination, const QxStridedData& source, const QxMatrix& m,
                              int count);
// count points (p, 1) into QxVector4 results (x, y, z, w) between strided arrays.
void QxTransformPoints4Strided(const QxStridedData& destination, const QxStridedData& source, const QxMatrix& m,
                               int count);
// Directions by the 3x3 part, destination and source at the same stride.
void QxRotateVectorsSameStride(void* destination, const QxMatrix& m, const void* source, int count, CKDWORD stride);
// Directions by the 3x3 part between two strided arrays.
void QxRotateVectors(const QxStridedData& destination, const QxStridedData& source, const QxMatrix& m, int count);

#pragma once

#include <vector>

#include "system/math/QxVector.h"

// The opening two places share: the vertices of b that lie on vertices of a.
//
// Both point sets (world space) are taken into a grid of cells over their
// common bounds: the bounds widened by 0.01, cut into `cells` cells along
// their largest extent (at least cells x tolerance long). A vertex of b
// matches when a vertex of a lies within tolerance on every axis, measured
// in cells; each match is taken back to world space and kept unless a kept
// point already lies within tolerance on every axis (world units). Points
// that are not finite are ignored. The shared points are written to
// `shared` in the order of b. Every lookup visits only the cells around the
// point, so the work grows with the number of points, not their product.
void CKComputeSharedVertices(std::vector<QxVector>& shared, const QxVector* a, int aCount, const QxVector* b,
                             int bCount, float tolerance = 0.1f, int cells = 20);

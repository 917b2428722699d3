#pragma once

#include <cstdint>
#include <vector>

class CKPatchMesh;

// Fills a patch mesh with patches of the given types (3 triangle, 4 quad),
// each on control points of its own: corners, two handles a side and one
// interior point a corner, all random in [-1, 1] from the seed. Patch p's
// corners are vertices first + k, its handles vectors in side order (vec[2k],
// vec[2k + 1]) then its interiors; its sides are edges in order, each run
// from corner k to corner k + 1, on the border (no second patch). The
// iteration count is left as it is.
void FillIndependentPatches(CKPatchMesh* mesh, const std::vector<int>& types, uint32_t seed);

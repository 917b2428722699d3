#pragma once

#include "system/math/QxBbox.h"
#include "system/math/QxMatrix.h"

// The range of depths z/w of the box's corners transformed by m. Only the z
// and w columns are computed, from the minimum corner plus the matrix rows
// scaled by the box's extents. When the extent along some axis is below
// 1.1920929e-7 the box is flat and its 4 distinct corners are used, else 8.
// A corner with w < 0 has depth 0. *minimum starts at 1e10 and *maximum at
// -1e10 and each corner's depth lowers or raises them.
void QxProjectBoxDepthRange(const QxBbox& box, const QxMatrix& m, float* minimum, float* maximum);

#include "system/math/QxProjectBoxDepthRange.h"

namespace {

struct DepthPair
{
    float z, w;
};

} // namespace

void QxProjectBoxDepthRange(const QxBbox& box, const QxMatrix& m, float* minimum, float* maximum)
{
    const QxVector extent = box.Max - box.Min;
    const QxVector& p = box.Min;
    const DepthPair base = {p.x * m[0][2] + p.y * m[1][2] + p.z * m[2][2] + m[3][2],
                            p.x * m[0][3] + p.y * m[1][3] + p.z * m[2][3] + m[3][3]};
    DepthPair steps[3];
    for (int i = 0; i < 3; ++i)
        steps[i] = {m[i][2] * extent[i], m[i][3] * extent[i]};

    // The corners span the (at most three) axes that are not flat; a flat axis
    // is dropped so that its duplicate corners are not visited.
    int axes[3];
    int axisCount = 0;
    bool dropped = false;
    for (int i = 0; i < 3; ++i) {
        if (!dropped && extent[i] < 1.1920929e-7f) {
            dropped = true;
            continue;
        }
        axes[axisCount++] = i;
    }

    float low = 1e10f;
    float high = -1e10f;
    const int cornerCount = 1 << axisCount;
    for (int c = 0; c < cornerCount; ++c) {
        DepthPair corner = base;
        for (int k = 0; k < axisCount; ++k) {
            if (c & (1 << k)) {
                corner.z += steps[axes[k]].z;
                corner.w += steps[axes[k]].w;
            }
        }
        const float depth = corner.w >= 0.0f ? corner.z / corner.w : 0.0f;
        if (depth < low)
            low = depth;
        if (depth > high)
            high = depth;
    }
    if (minimum)
        *minimum = low;
    if (maximum)
        *maximum = high;
}

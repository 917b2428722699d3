#include "render/objects/pointcloud/CloudPointCodec.h"

#include <cmath>

namespace {

struct NormalTable
{
    QxVector Entries[1024];

    NormalTable()
    {
        for (int i = 0; i < 1024; ++i) {
            const float x = (float) (i & 31) * 2.0f / 31.0f - 1.0f;
            const float y = (float) ((i >> 5) & 31) * 2.0f / 31.0f - 1.0f;
            const float r = x * x + y * y;
            Entries[i] = QxVector(x, y, r <= 1.0f ? std::sqrt(1.0f - r) : 0.0f);
        }
    }
};

CKDWORD Cell(float v)
{
    const float t = (v + 1.0f) * 0.5f * 31.0f;
    if (!(t > 0.0f))
        return 0;
    if (t >= 31.0f)
        return 31;
    return (CKDWORD) t;
}

} // namespace

const QxVector* CloudNormalTable()
{
    static const NormalTable table;
    return table.Entries;
}

CKDWORD CloudNormalIndex(const QxVector& normal)
{
    return (Cell(normal.y) << 5) | Cell(normal.x);
}

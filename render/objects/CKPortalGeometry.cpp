#include "render/objects/CKPortalGeometry.h"

#include <algorithm>
#include <cmath>

namespace {

bool IsFinite(const QxVector& p)
{
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

bool Within(const QxVector& p, const QxVector& q, float tolerance)
{
    return std::fabs(p.x - q.x) <= tolerance && std::fabs(p.y - q.y) <= tolerance && std::fabs(p.z - q.z) <= tolerance;
}

// A uniform grid of cells over grid space (one unit a cell); each cell keeps
// the indices of its points in the order they came.
class CellGrid
{
public:
    CellGrid(int nx, int ny, int nz) : m_Size{nx, ny, nz}, m_Cells((size_t) nx * ny * nz) {}

    void Add(const QxVector& g, int index) { m_Cells[CellOf(g)].push_back(index); }

    // Calls found(index) for the points of the cells that a box of half
    // size reach around g touches, z outermost, until it returns true.
    template <class Found>
    bool Find(const QxVector& g, float reach, Found&& found) const
    {
        int lo[3], hi[3];
        const float c[3] = {g.x, g.y, g.z};
        for (int k = 0; k < 3; ++k) {
            lo[k] = Clamp(c[k] - reach, k);
            hi[k] = Clamp(c[k] + reach, k);
        }
        for (int z = lo[2]; z <= hi[2]; ++z)
            for (int y = lo[1]; y <= hi[1]; ++y)
                for (int x = lo[0]; x <= hi[0]; ++x)
                    for (int index : m_Cells[((size_t) z * m_Size[1] + y) * m_Size[0] + x])
                        if (found(index))
                            return true;
        return false;
    }

private:
    int Clamp(float v, int axis) const
    {
        if (!(v > 0.0f))
            return 0;
        return v >= (float) (m_Size[axis] - 1) ? m_Size[axis] - 1 : (int) v;
    }
    size_t CellOf(const QxVector& g) const
    {
        return ((size_t) Clamp(g.z, 2) * m_Size[1] + Clamp(g.y, 1)) * m_Size[0] + Clamp(g.x, 0);
    }

    int m_Size[3];
    std::vector<std::vector<int>> m_Cells;
};

} // namespace

void CKComputeSharedVertices(std::vector<QxVector>& shared, const QxVector* a, int aCount, const QxVector* b,
                             int bCount, float tolerance, int cells)
{
    shared.clear();
    if (!a || !b || aCount <= 0 || bCount <= 0 || cells <= 0 || !(tolerance > 0.0f))
        return;
    // The bounds come from the points themselves, so that every point lies
    // inside the grid.
    QxVector lo(1e30f, 1e30f, 1e30f), hi(-1e30f, -1e30f, -1e30f);
    bool any = false;
    auto merge = [&](const QxVector* points, int count) {
        for (int i = 0; i < count; ++i)
            if (IsFinite(points[i])) {
                const QxVector& p = points[i];
                lo = QxVector(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
                hi = QxVector(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
                any = true;
            }
    };
    merge(a, aCount);
    merge(b, bCount);
    if (!any)
        return;
    lo = lo - QxVector(0.01f, 0.01f, 0.01f);
    hi = hi + QxVector(0.01f, 0.01f, 0.01f);
    const float extent = std::max({hi.x - lo.x, hi.y - lo.y, hi.z - lo.z, (float) cells * tolerance});
    const float cell = extent / (float) cells;
    if (!std::isfinite(cell) || !(cell > 0.0f))
        return;
    const float scale = 1.0f / cell;
    const QxVector offset(-lo.x / cell, -lo.y / cell, -lo.z / cell);
    auto toGrid = [&](const QxVector& p) {
        return QxVector(p.x * scale + offset.x, p.y * scale + offset.y, p.z * scale + offset.z);
    };
    auto toWorld = [&](const QxVector& g) { return QxVector(g.x * cell + lo.x, g.y * cell + lo.y, g.z * cell + lo.z); };
    const QxVector top = toGrid(hi);
    const int nx = (int) top.x + 1, ny = (int) top.y + 1, nz = (int) top.z + 1;

    std::vector<QxVector> gridA((size_t) aCount);
    CellGrid grid(nx, ny, nz);
    for (int i = 0; i < aCount; ++i)
        if (IsFinite(a[i])) {
            gridA[(size_t) i] = toGrid(a[i]);
            grid.Add(gridA[(size_t) i], i);
        }

    // The kept points, found again through a grid of their own; its reach
    // turns the world tolerance into cells, with room for rounding.
    CellGrid keptGrid(nx, ny, nz);
    const float keptReach = tolerance * scale * 1.001f + 1e-4f;
    for (int i = 0; i < bCount; ++i) {
        if (!IsFinite(b[i]))
            continue;
        const QxVector g = toGrid(b[i]);
        if (!grid.Find(g, tolerance, [&](int k) { return Within(gridA[(size_t) k], g, tolerance); }))
            continue;
        const QxVector world = toWorld(g);
        if (keptGrid.Find(g, keptReach, [&](int k) { return Within(shared[(size_t) k], world, tolerance); }))
            continue;
        keptGrid.Add(g, (int) shared.size());
        shared.push_back(world);
    }
}

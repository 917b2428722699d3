#include "lod/blocks/NearestPointSearch.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace {

// Cell numbers stay far inside 64 bits; clamping keeps neighbours
// neighbours.
constexpr double kCellRange = 1099511627776.0; // 2^40

struct CellKey
{
    int64_t x, y, z;
    bool operator==(const CellKey& o) const { return x == o.x && y == o.y && z == o.z; }
};

struct CellHash
{
    size_t operator()(const CellKey& k) const
    {
        uint64_t h = (uint64_t) k.x * 0x9E3779B97F4A7C15ull;
        h ^= (uint64_t) k.y * 0xC2B2AE3D27D4EB4Full + (h >> 29);
        h ^= (uint64_t) k.z * 0x165667B19E3779F9ull + (h >> 31);
        return (size_t) (h ^ (h >> 32));
    }
};

int64_t CellOf(float v, double inverseCell)
{
    double c = std::floor((double) v * inverseCell);
    c = c < -kCellRange ? -kCellRange : (c > kCellRange ? kCellRange : c);
    return (int64_t) c;
}

bool Finite(const QxVector& p)
{
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

} // namespace

void FindNearestPoints(int* out, const QxVector* queries, int queryCount, const QxVector* points, int pointCount,
                       float limit)
{
    for (int q = 0; q < queryCount; ++q)
        out[q] = -1;
    if (!(limit > 0.0f) || pointCount <= 0 || queryCount <= 0)
        return;
    // A little wider than the limit's root: a float distance may fall
    // below the limit while the exact one does not.
    const double cell = std::sqrt((double) limit) * 1.001 + 1e-30;
    const double inverseCell = 1.0 / cell;

    // Points sorted by cell, each cell a run of ascending indices.
    struct Entry
    {
        CellKey key;
        int index;
    };
    std::vector<Entry> entries;
    entries.reserve((size_t) pointCount);
    for (int i = 0; i < pointCount; ++i)
        if (Finite(points[i]))
            entries.push_back(
                {{CellOf(points[i].x, inverseCell), CellOf(points[i].y, inverseCell), CellOf(points[i].z, inverseCell)},
                 i});
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        if (a.key.x != b.key.x)
            return a.key.x < b.key.x;
        if (a.key.y != b.key.y)
            return a.key.y < b.key.y;
        if (a.key.z != b.key.z)
            return a.key.z < b.key.z;
        return a.index < b.index;
    });
    std::unordered_map<CellKey, std::pair<int, int>, CellHash> runs;
    runs.reserve(entries.size());
    for (int begin = 0; begin < (int) entries.size();) {
        int end = begin + 1;
        while (end < (int) entries.size() && entries[end].key == entries[begin].key)
            ++end;
        runs.emplace(entries[begin].key, std::make_pair(begin, end));
        begin = end;
    }

    for (int q = 0; q < queryCount; ++q) {
        const QxVector& p = queries[q];
        if (!Finite(p))
            continue;
        const CellKey home = {CellOf(p.x, inverseCell), CellOf(p.y, inverseCell), CellOf(p.z, inverseCell)};
        float best = limit;
        int found = -1;
        for (int64_t dx = -1; dx <= 1; ++dx)
            for (int64_t dy = -1; dy <= 1; ++dy)
                for (int64_t dz = -1; dz <= 1; ++dz) {
                    auto run = runs.find({home.x + dx, home.y + dy, home.z + dz});
                    if (run == runs.end())
                        continue;
                    for (int e = run->second.first; e < run->second.second; ++e) {
                        const int i = entries[e].index;
                        const float d = SearchSquaredDistance(p, points[i]);
                        if (d < best || (d == best && found >= 0 && i < found)) {
                            best = d;
                            found = i;
                        }
                    }
                }
        out[q] = found;
    }
}

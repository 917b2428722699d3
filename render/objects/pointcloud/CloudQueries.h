#pragma once

#include <vector>

#include "render/objects/pointcloud/CloudRunIndex.h"
#include "render/objects/pointcloud/CloudTree.h"
#include "system/math/QxCone.h"
#include "system/math/QxOBB.h"
#include "system/math/QxPlane.h"
#include "system/math/QxRay.h"

// The shapes of the selection queries. Each answers whether a node box lies
// wholly inside it (every point of the subtree is taken without a test),
// whether a node box meets it at all, and whether a point lies inside.

struct CloudBoxShape
{
    QxBbox Box;
    bool Inside(const QxBbox& b) const { return Box.IsBoxInside(b); }
    bool Meets(const QxBbox& b) const;
    bool Contains(const QxVector& p) const { return Box.VectorIn(p); }
};

struct CloudSphereShape
{
    QxVector Centre;
    float Radius;
    bool Inside(const QxBbox& b) const;
    bool Meets(const QxBbox& b) const;
    bool Contains(const QxVector& p) const;
};

struct CloudOrientedBoxShape
{
    QxOBB Box;
    bool Inside(const QxBbox& b) const;
    bool Meets(const QxBbox& b) const;
    bool Contains(const QxVector& p) const;
};

struct CloudConeShape
{
    QxCone Cone;
    bool Inside(const QxBbox& b) const;
    bool Meets(const QxBbox& b) const;
    bool Contains(const QxVector& p) const;
};

// The convex volume of a mesh's faces within an oriented box: a point is
// inside when it lies behind every face plane.
struct CloudConvexShape
{
    CloudOrientedBoxShape Bounds;
    std::vector<QxPlane> Planes;
    bool Inside(const QxBbox& b) const;
    bool Meets(const QxBbox& b) const;
    bool Contains(const QxVector& p) const;
};

// Calls add(position, point index) for every point inside the shape, in
// walk order, until add returns false.
template <class Shape, class Add>
void CloudQuery(const CloudTree& tree, const QxVector& rootMin, const QxVector& rootSize, const Shape& shape,
                Add&& add);

namespace CloudQueryDetail {

template <class Shape, class Add>
bool Node(const CloudTree& tree, int page, int index, const QxVector& min, const QxVector& size, const Shape& shape,
          bool all, Add& add)
{
    if (!all) {
        const QxBbox box = CloudBoxOf(min, size);
        if (shape.Inside(box))
            all = true;
        else if (!shape.Meets(box))
            return true;
    }
    const CloudNode& node = tree.Pages[page][index];
    if (CloudIsInner(node)) {
        return CloudForEachChild(node, min, size, [&](int child, const QxVector& childMin, const QxVector& childSize) {
            return Node(tree, page + 1, child, childMin, childSize, shape, all, add);
        });
    }
    const int n = CloudLeafPointCount(node);
    const CloudNode* entries = CloudIsSingleLeaf(node) ? &node : &tree.Pages[page][node.P];
    for (int i = 0; i < n; ++i) {
        const QxVector p = CloudReconstruct(CloudQuantizedOf(entries[i]), min, size);
        if ((all || shape.Contains(p)) && !add(p, CloudPointIndex(entries[i].P)))
            return false;
    }
    return true;
}

} // namespace CloudQueryDetail

template <class Shape, class Add>
void CloudQuery(const CloudTree& tree, const QxVector& rootMin, const QxVector& rootSize, const Shape& shape, Add&& add)
{
    if (tree.HasRoot())
        CloudQueryDetail::Node(tree, 0, 0, rootMin, rootSize, shape, false, add);
}

// CloudQuery through a run index built for the tree and root box: calls
// addRun(first entry, count) for runs of consecutive points inside the
// shape, in walk order, until addRun returns false. The entries and their
// order are those CloudQuery gives; a node wholly inside the shape gives
// its subtree's points as one run.
template <class Shape, class AddRun>
void CloudQueryRuns(const CloudTree& tree, const CloudRunIndex& index, const Shape& shape, AddRun&& addRun);

namespace CloudQueryDetail {

template <class Shape, class AddRun>
bool RunNode(const CloudTree& tree, const CloudRunIndex& index, int page, int at, CKDWORD end, const QxVector& min,
             const QxVector& size, const Shape& shape, AddRun& addRun)
{
    const CKDWORD first = index.First[page][at];
    const QxBbox box = CloudBoxOf(min, size);
    if (shape.Inside(box))
        return first == end || addRun(&index.Points[first], (int) (end - first));
    if (!shape.Meets(box))
        return true;
    const CloudNode& node = tree.Pages[page][at];
    if (CloudIsInner(node)) {
        const int count = CloudChildCount(node);
        int rank = 0;
        return CloudForEachChild(node, min, size, [&](int child, const QxVector& childMin, const QxVector& childSize) {
            const CKDWORD childEnd = ++rank < count ? index.First[page + 1][child + 1] : end;
            return RunNode(tree, index, page + 1, child, childEnd, childMin, childSize, shape, addRun);
        });
    }
    // Consecutive points inside go as one run.
    CKDWORD start = first;
    for (CKDWORD i = first; i < end; ++i) {
        if (shape.Contains(index.Points[i].Position))
            continue;
        if (start < i && !addRun(&index.Points[start], (int) (i - start)))
            return false;
        start = i + 1;
    }
    return start == end || addRun(&index.Points[start], (int) (end - start));
}

} // namespace CloudQueryDetail

template <class Shape, class AddRun>
void CloudQueryRuns(const CloudTree& tree, const CloudRunIndex& index, const Shape& shape, AddRun&& addRun)
{
    if (tree.HasRoot() && !index.Points.empty())
        CloudQueryDetail::RunNode(tree, index, 0, 0, (CKDWORD) index.Points.size(), index.RootMin, index.RootSize,
                                  shape, addRun);
}

// The point nearest to the ray's origin among those within radius of the
// ray (of the segment origin .. origin + direction with segment).
struct CloudRayHit
{
    bool Hit = false;
    float BestSquare = 1e20f; // squared distance from the origin
    QxVector Position;
    CKDWORD PointIndex = 0;
};
void CloudPickRay(const CloudTree& tree, const QxVector& rootMin, const QxVector& rootSize, const QxRay& ray,
                  bool segment, float radius, CloudRayHit& hit);

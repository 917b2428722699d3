#pragma once

#include <cstddef>
#include <vector>

#include "render/objects/pointcloud/CloudNode.h"

// A finished subdivision: one page per depth, the root the first entry of
// page 0. The children of an inner node are contiguous in the next page, in
// octant order, present octants only; the points of a multi-point leaf are
// contiguous in the leaf's own page (a multi-point root keeps its points in
// page 0 right after it). The box of the root is the cloud's bounding box,
// given to each walk.
struct CloudTree
{
    std::vector<std::vector<CloudNode>> Pages;

    bool HasRoot() const { return !Pages.empty() && !Pages[0].empty(); }
    const CloudNode& Root() const { return Pages[0][0]; }
    size_t GetBytes() const;
    void Clear() { Pages.clear(); }
    // Points stored in the tree (leaves' counts).
    int CountStoredPoints() const;
};

// What a walk does at an inner node or a leaf.
enum class CloudVisit
{
    Skip,  // not below this node
    Enter, // into its children or points
    Stop,  // the whole walk ends
};

// A depth-first walk in stored order. The visitor answers
//   CloudVisit Inner(int page, int index, const QxVector& min, const QxVector& size)
//   CloudVisit Leaf(int page, int index, const QxVector& min, const QxVector& size)
//   bool Point(CloudNode& entry, const QxVector& min, const QxVector& size)  (false stops)
// where entry is the single-point leaf itself or a point entry, and min and
// size are the box of the node. Returns false when the visitor stopped.
template <class Tree, class Visitor>
bool CloudWalk(Tree& tree, const QxVector& rootMin, const QxVector& rootSize, Visitor& visitor);

namespace CloudWalkDetail {

template <class Tree, class Visitor>
bool WalkNode(Tree& tree, int page, int index, const QxVector& min, const QxVector& size, Visitor& visitor)
{
    auto& node = tree.Pages[page][index];
    if (CloudIsInner(node)) {
        const CloudVisit v = visitor.Inner(page, index, min, size);
        if (v != CloudVisit::Enter)
            return v != CloudVisit::Stop;
        return CloudForEachChild(node, min, size, [&](int child, const QxVector& childMin, const QxVector& childSize) {
            return WalkNode(tree, page + 1, child, childMin, childSize, visitor);
        });
    }
    if (CloudIsSingleLeaf(node) || CloudIsMultiLeaf(node)) {
        const CloudVisit v = visitor.Leaf(page, index, min, size);
        if (v != CloudVisit::Enter)
            return v != CloudVisit::Stop;
        if (CloudIsSingleLeaf(node))
            return visitor.Point(node, min, size);
        const int n = CloudLeafPointCount(node);
        auto* entries = &tree.Pages[page][node.P];
        for (int i = 0; i < n; ++i)
            if (!visitor.Point(entries[i], min, size))
                return false;
    }
    return true;
}

} // namespace CloudWalkDetail

template <class Tree, class Visitor>
bool CloudWalk(Tree& tree, const QxVector& rootMin, const QxVector& rootSize, Visitor& visitor)
{
    if (!tree.HasRoot())
        return true;
    return CloudWalkDetail::WalkNode(tree, 0, 0, rootMin, rootSize, visitor);
}

// A visitor base that enters everything; derived visitors hide what they
// need.
struct CloudVisitAll
{
    CloudVisit Inner(int, int, const QxVector&, const QxVector&) { return CloudVisit::Enter; }
    CloudVisit Leaf(int, int, const QxVector&, const QxVector&) { return CloudVisit::Enter; }
};

// Clears every level bit, then gives level L (1 to 3) to one point in every
// step = pointCount / wanted[L - 1] in walk order (none for a wanted count
// of 0) and marks the inner nodes above them. given[L - 1] receives the
// number of points of each level.
void CloudAssignLevels(CloudTree& tree, int pointCount, const int wanted[CLOUD_LEVELCOUNT],
                       int given[CLOUD_LEVELCOUNT]);

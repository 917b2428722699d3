#pragma once

#include <vector>

#include "render/objects/pointcloud/CloudBlockStore.h"
#include "render/objects/pointcloud/CloudTree.h"

// Builds a cloud's subdivision by inserting points one by one, then stores
// it breadth first in pages (CloudTree).
//
// A point descends from the root, halving the box into octants, until the
// box is below the precision on every axis, or the point quantised in the
// box comes back within the precision on every axis, or the depth passes 40;
// from there it goes on down to the first empty node or leaf and joins it.
// A leaf that reaches 512 points is split into octants, unless its points
// all share one quantised position: such a leaf keeps 512 points and turns
// the further points that reach it away. A split moves each point down on
// the finer grid of its octant exactly, so a point comes back within the
// larger of the precision and its leaf box / 256.
class CloudTreeBuilder
{
public:
    // An empty root over the box (minimum and size).
    void Start(const QxVector& min, const QxVector& size, const QxVector& precision);
    // false when the point was turned away by a full leaf of identical
    // points (its index is still used).
    bool Insert(const QxVector& p, CKDWORD index);
    // Deepest level a point was added at.
    int GetMaxDepth() const { return m_MaxDepth; }
    // Stores the tree in pages and frees the building storage; the number
    // of pages.
    int Finish(CloudTree& tree);
    void Clear();
    size_t GetMemory() const { return m_Store.GetMemory(); }

private:
    // Leaves give up splitting below this depth: a leaf of points that float
    // rounding keeps apart never ends in a descent without end.
    static constexpr int kMaxSplitDepth = 96;

    bool AddPoint(CloudNode* node, const QxVector& min, const QxVector& size, const CloudQuantized& q,
                  CKDWORD pointWord, int depth);
    // false when the split was refused (the node stays a leaf).
    bool Split(CloudNode* node, const QxVector& min, const QxVector& size, int depth);
    // The child of octant k of an inner node (created empty when absent).
    CloudNode* Child(CloudNode* node, int k);
    // A leaf's points, newest first.
    void TakeLeafPoints(const CloudNode& node, std::vector<CloudNode>& out);

    CloudBlockStore m_Store;
    CloudNode m_Root;
    QxVector m_Min;
    QxVector m_Size;
    QxVector m_Precision;
    int m_MaxDepth = 0;
    std::vector<CloudNode> m_Scratch;
};

#pragma once

#include <vector>

#include "render/objects/pointcloud/CloudTree.h"
#include "system/math/QxFrustum.h"

// Flags of a level entry.
enum : CKDWORD
{
    CLOUD_ENTRY_VISIBLE = 0x1,
    CLOUD_ENTRY_POSITIONS = 0x4,   // the positions were written
    CLOUD_ENTRY_VALUES = 0x8,      // the colours and attribute values were written
    CLOUD_ENTRY_LEAVESONLY = 0x10, // holds only the points of the node's leaf children
};

// One level of a group: the points of the group's subtree that belong to
// the level (level 0: all), in one vertex buffer.
struct CloudLevelEntry
{
    CKDWORD Flags = 0;
    CKDWORD LevelMask = 0;    // 0 for level 0, else 1 << (level - 1)
    CKDWORD VertexBuffer = 0; // rasterizer index, 0 when the level has no points here
    int VertexCount = 0;
};

// The vertex buffers of one subtree of the subdivision.
struct CloudVertexGroup
{
    int Coarse = 0;   // set for a frame: drawn at level 3 for a child not ready
    int Fallback = 0; // index + 1 of the group drawn at level 3 in its stead
    CloudLevelEntry Levels[4];
    int Page = 0; // the node that owns the group
    int Index = 0;
};

// The groups of a cloud. An inner node keeps the index + 1 of its group in
// bits 20-31 of W; a root that is a leaf has its group here.
struct CloudVertexGroups
{
    std::vector<CloudVertexGroup> Groups;
    int RootLeafGroup = 0;

    // The index + 1 of the node's group, 0 for none (or a stale index).
    int GroupOf(const CloudTree& tree, int page, int index) const;
    void Clear(CloudTree& tree);
};

// Makes the groups for the points of each level, bottom-up: a subtree whose
// points at a level are more than verticesPerBuffer, or beside a subtree
// that already has its entry, hands its inner children entries of their own
// and its leaf children's points an entry of the node's (marked
// CLOUD_ENTRY_LEAVESONLY), so that every point of a level has exactly one
// entry and no entry passes verticesPerBuffer (at least 4096). The root
// takes what is left. Then gives each group its fallback. false (groups
// cleared) when the groups would not fit in the 12 node bits.
bool CloudBuildGroups(CloudTree& tree, CloudVertexGroups& groups, int verticesPerBuffer);

// Where a box lies against a frustum whose planes face out: 0 outside, 1
// across, 2 inside.
int CloudClassifyBox(const QxFrustum& frustum, const QxBbox& box);

// Clears every entry's visible flag, then makes visible the entries of the
// subtrees whose boxes meet the frustum (level: 0 to 3, the one drawn).
void CloudCullGroups(const CloudTree& tree, CloudVertexGroups& groups, const QxVector& rootMin,
                     const QxVector& rootSize, const QxFrustum& frustum, int level);

// Calls handle(group index, entry) for every entry of the level in walk
// order, with the points to write: points(write) calls write(point entry,
// min, size) for each of the entry's points. handle returns false to stop.
template <class Handle>
void CloudForEachEntry(CloudTree& tree, CloudVertexGroups& groups, const QxVector& rootMin, const QxVector& rootSize,
                       int level, Handle&& handle);

namespace CloudGroupDetail {

inline bool AtLevel(CKDWORD pointWord, int level)
{
    return level == 0 || (CloudPointLevels(pointWord) & (1u << (level - 1))) != 0;
}

// Calls write(entry, min, size) for the level's points of a leaf.
template <class Write>
void LeafPoints(CloudTree& tree, int page, int index, const QxVector& min, const QxVector& size, int level,
                Write& write)
{
    CloudNode& node = tree.Pages[page][index];
    if (CloudIsSingleLeaf(node)) {
        if (AtLevel(node.P, level))
            write(node, min, size);
        return;
    }
    if (!CloudIsMultiLeaf(node))
        return;
    const int n = CloudLeafPointCount(node);
    CloudNode* entries = &tree.Pages[page][node.P];
    for (int i = 0; i < n; ++i)
        if (AtLevel(entries[i].P, level))
            write(entries[i], min, size);
}

template <class Write>
void SubtreePoints(CloudTree& tree, int page, int index, const QxVector& min, const QxVector& size, int level,
                   bool leavesOnly, Write& write)
{
    CloudNode& node = tree.Pages[page][index];
    if (!CloudIsInner(node)) {
        LeafPoints(tree, page, index, min, size, level, write);
        return;
    }
    // A subtree without a point of the level gives nothing (the level bits
    // of the nodes are set with the points').
    if (level > 0 && !(CloudNodeLevels(node) & (1u << (level - 1))))
        return;
    CloudForEachChild(node, min, size, [&](int child, const QxVector& childMin, const QxVector& childSize) {
        if (!leavesOnly || !CloudIsInner(tree.Pages[page + 1][child]))
            SubtreePoints(tree, page + 1, child, childMin, childSize, level, false, write);
        return true;
    });
}

template <class Handle>
bool Entries(CloudTree& tree, CloudVertexGroups& groups, int page, int index, const QxVector& min, const QxVector& size,
             int level, Handle& handle)
{
    const CloudNode& node = tree.Pages[page][index];
    const int g = groups.GroupOf(tree, page, index);
    bool descend = CloudIsInner(node);
    if (g > 0) {
        CloudLevelEntry& entry = groups.Groups[g - 1].Levels[level];
        if (entry.VertexCount > 0) {
            const bool leavesOnly = (entry.Flags & CLOUD_ENTRY_LEAVESONLY) != 0;
            auto points = [&](auto&& write) { SubtreePoints(tree, page, index, min, size, level, leavesOnly, write); };
            if (!handle(g - 1, entry, points))
                return false;
            descend = descend && leavesOnly;
        }
    }
    if (!descend)
        return true;
    return CloudForEachChild(node, min, size, [&](int child, const QxVector& childMin, const QxVector& childSize) {
        return !CloudIsInner(tree.Pages[page + 1][child]) ||
               Entries(tree, groups, page + 1, child, childMin, childSize, level, handle);
    });
}

} // namespace CloudGroupDetail

template <class Handle>
void CloudForEachEntry(CloudTree& tree, CloudVertexGroups& groups, const QxVector& rootMin, const QxVector& rootSize,
                       int level, Handle&& handle)
{
    if (tree.HasRoot())
        CloudGroupDetail::Entries(tree, groups, 0, 0, rootMin, rootSize, level, handle);
}

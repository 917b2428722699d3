#pragma once

#include <vector>

#include "render/objects/pointcloud/CloudVertexGroups.h"

// The points of a level's vertex-buffer entries in fill order, laid flat,
// so that a fill is a straight loop instead of a walk down the tree (most
// of whose nodes, in a cloud built to a fine precision, lead to one point
// each).
//
// A node's box minimum on one axis depends only on the slab the node lies
// in along that axis (its depth and the upper/lower choices of its
// ancestors on that axis), and the walk rebuilds it with one rounded sum a
// step. The slabs of each axis form a binary tree much smaller than the
// cloud's; the plan keeps them and recomputes their minima, with exactly
// the walk's sums, whenever the cloud's box changes. A point then costs one
// look-up an axis: min + q * (size / 256), as CloudReconstruct.
//
// Built for one tree with its level and group bits: cleared whenever they
// change.
class CloudFillPlan
{
public:
    // One entry of a level: the group, and the entry's points
    // [First, First + Count) of the level's arrays.
    struct Run
    {
        int Group = 0;
        CKDWORD First = 0;
        CKDWORD Count = 0;
    };
    // A point: its leaf's slab on each axis and its quantised coordinates
    // (x in bits 0-7, y 8-15, z 16-23).
    struct Point
    {
        CKDWORD Slab[3] = {};
        CKDWORD Q = 0;
    };

    // The runs of the level (0 to 3), built on first use from the tree and
    // groups as CloudForEachEntry walks them: same entries, same order,
    // same points, cut at each entry's vertex count.
    const std::vector<Run>& Runs(const CloudTree& tree, const CloudVertexGroups& groups, int level);
    // The point indices (bits 0-27 of the point words) of the level, in
    // fill order: what the colours and attribute values are read by.
    const CKDWORD* PointIndices(int level) const { return m_Levels[level].Indices.data(); }
    // Makes the slab minima those of this root box (bit for bit the walk's).
    void Place(const QxVector& rootMin, const QxVector& rootSize);
    // Writes the positions of the run's points to out, one every stride
    // bytes. Runs and Place come first.
    void WritePositions(int level, const Run& run, CKBYTE* out, size_t stride) const;
    void Clear();
    // Bytes held.
    size_t GetBytes() const;

private:
    struct Slab
    {
        CKDWORD Parent = 0;
        CKDWORD Depth = 0;
        CKDWORD Upper = 0;
        CKDWORD Child[2] = {};
    };
    // A slab's minimum and the step of its grid (size / 256).
    struct Placed
    {
        float Min = 0.0f;
        float Step = 0.0f;
    };
    struct Level
    {
        bool Built = false;
        std::vector<Run> Runs;
        std::vector<Point> Points;
        std::vector<CKDWORD> Indices;
    };
    friend struct CloudFillPlanBuilder;

    CKDWORD ChildSlab(int axis, CKDWORD slab, int upper);
    void Build(const CloudTree& tree, const CloudVertexGroups& groups, int level);

    std::vector<Slab> m_Slabs[3];
    std::vector<Placed> m_Placed[3];
    QxVector m_PlacedMin;
    QxVector m_PlacedSize;
    bool m_IsPlaced = false;
    Level m_Levels[4];
};

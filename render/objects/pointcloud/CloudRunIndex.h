#pragma once

#include <vector>

#include "render/objects/pointcloud/CloudSelection.h"
#include "render/objects/pointcloud/CloudTree.h"

// The points of a subdivision in walk order (their positions rebuilt from
// the leaves' boxes, exactly as a walk rebuilds them) and, beside every
// entry of every page, the ordinal of the first point below it. The points
// of any subtree are then one run, so a query takes a node that lies wholly
// inside its shape as one block instead of walking down to every point.
// Built for one tree and one root box: Matches says whether it still fits.
struct CloudRunIndex
{
    std::vector<CloudSelectionEntry> Points;
    std::vector<std::vector<CKDWORD>> First; // First[page][index]
    QxVector RootMin;
    QxVector RootSize;
    std::vector<size_t> PageSizes;
    CloudNode Root;
    bool Built = false;

    void Build(const CloudTree& tree, const QxVector& rootMin, const QxVector& rootSize);
    // Whether it was built for a tree of these page sizes and root
    // structure and for this root box (bit for bit). Level and group bits
    // may change meanwhile: they move no point.
    bool Matches(const CloudTree& tree, const QxVector& rootMin, const QxVector& rootSize) const;
    void Clear();
};

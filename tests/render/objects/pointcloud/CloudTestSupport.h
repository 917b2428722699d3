#pragma once

#include <random>
#include <string>
#include <vector>

#include "render/objects/pointcloud/CloudTree.h"
#include "render/objects/pointcloud/CloudTreeBuilder.h"

inline bool operator==(const CloudNode& a, const CloudNode& b)
{
    return a.W == b.W && a.P == b.P;
}

// One point as a walk of the finished tree gives it.
struct WalkedPoint
{
    CKDWORD Index;
    CKDWORD Levels;
    QxVector Position;
    QxBbox LeafBox;
};

// Every point of the tree in walk order.
std::vector<WalkedPoint> WalkPoints(const CloudTree& tree, const QxVector& min, const QxVector& size);

// count points uniform in the box.
std::vector<QxVector> RandomPoints(std::mt19937& rng, int count, const QxVector& min, const QxVector& max);

// The box of points (minimum and size).
void BoxOf(const std::vector<QxVector>& points, QxVector& min, QxVector& size);

// Builds a finished tree of the points (indices in order).
CloudTree BuildTree(const std::vector<QxVector>& points, const QxVector& min, const QxVector& size,
                    const QxVector& precision);

// Checks the layout rules of a finished tree: child counts agree with the
// masks, every entry of every page is reached exactly once, leaves are of a
// known kind. Empty when sound, else what is wrong.
std::string CheckTree(const CloudTree& tree);

// The subdivision: insertion, splitting, storage in pages and levels of
// detail, against the layout rules and a brute-force model.
#include <algorithm>
#include <cmath>
#include <set>

#include <gtest/gtest.h>

#include "render/objects/pointcloud/CloudTreeBuilder.h"
#include "tests/render/objects/pointcloud/CloudTestSupport.h"

namespace {

const QxVector kUnitMin(0, 0, 0), kUnitSize(1, 1, 1);

TEST(CloudTreeBuilder, PointsInOctantsZeroAndSevenGiveTwoContiguousChildrenOctantZeroFirst)
{
    // Half a step off the root's grid, on the grid of its octants.
    const float high = 0.5f + 3 * 0.5f / 256, low = 51 * 0.5f / 256;
    const QxVector precision(0.001f, 0.001f, 0.001f);
    CloudTree tree = BuildTree({QxVector(high, high, high), QxVector(low, low, low)}, kUnitMin, kUnitSize, precision);
    ASSERT_EQ(CheckTree(tree), "");
    const CloudNode& root = tree.Root();
    ASSERT_TRUE(CloudIsInner(root));
    EXPECT_EQ(CloudChildCount(root), 2);
    EXPECT_EQ(CloudChildMask(root), 0x81u);
    ASSERT_EQ(tree.Pages.size(), 2u);
    ASSERT_EQ(tree.Pages[1].size(), 2u);
    EXPECT_EQ(root.P, 0u);
    // Octant 0 holds the second point, octant 7 the first.
    EXPECT_EQ(CloudPointIndex(tree.Pages[1][0].P), 1u);
    EXPECT_EQ(CloudPointIndex(tree.Pages[1][1].P), 0u);
}

TEST(CloudTreeBuilder, FiveHundredThirteenIdenticalPointsKeepFiveHundredTwelveInOneLeaf)
{
    CloudTreeBuilder builder;
    builder.Start(kUnitMin, kUnitSize, QxVector(0.01f, 0.01f, 0.01f));
    int stored = 0;
    for (int i = 0; i < 513; ++i)
        stored += builder.Insert(QxVector(0.25f, 0.5f, 0.75f), (CKDWORD) i);
    EXPECT_EQ(stored, 512);
    CloudTree tree;
    builder.Finish(tree);
    ASSERT_EQ(CheckTree(tree), "");
    std::vector<WalkedPoint> points = WalkPoints(tree, kUnitMin, kUnitSize);
    ASSERT_EQ(points.size(), 512u);
    std::set<CKDWORD> indices;
    for (const WalkedPoint& p : points)
        indices.insert(p.Index);
    EXPECT_EQ(*indices.rbegin(), 511u) << "the 513th is the one left out";
    int leaves = 0;
    for (const std::vector<CloudNode>& page : tree.Pages)
        for (const CloudNode& n : page)
            if (CloudIsMultiLeaf(n)) {
                ++leaves;
                EXPECT_EQ(CloudLeafPointCount(n), 512);
            }
    EXPECT_EQ(leaves, 1);
}

TEST(CloudTreeBuilder, ABoxBelowThePrecisionMakesTheRootALeafUntilItSplits)
{
    CloudTreeBuilder builder;
    builder.Start(kUnitMin, kUnitSize, QxVector(2, 2, 2));
    std::mt19937 rng(7);
    std::vector<QxVector> points = RandomPoints(rng, 511, kUnitMin, kUnitSize);
    for (size_t i = 0; i < points.size(); ++i)
        builder.Insert(points[i], (CKDWORD) i);
    {
        CloudTreeBuilder copy;
        copy.Start(kUnitMin, kUnitSize, QxVector(2, 2, 2));
        for (size_t i = 0; i < points.size(); ++i)
            copy.Insert(points[i], (CKDWORD) i);
        CloudTree tree;
        copy.Finish(tree);
        ASSERT_EQ(CheckTree(tree), "");
        ASSERT_TRUE(CloudIsMultiLeaf(tree.Root()));
        EXPECT_EQ(CloudLeafPointCount(tree.Root()), 511);
        EXPECT_EQ(tree.Pages.size(), 1u) << "a leaf root keeps its points in page 0";
        // Newest first.
        EXPECT_EQ(CloudPointIndex(tree.Pages[0][1].P), 510u);
        EXPECT_EQ(CloudPointIndex(tree.Pages[0][511].P), 0u);
    }
    builder.Insert(QxVector(0.5f, 0.5f, 0.5f), 511);
    CloudTree tree;
    builder.Finish(tree);
    ASSERT_EQ(CheckTree(tree), "");
    EXPECT_TRUE(CloudIsInner(tree.Root())) << "512 different points split";
    EXPECT_EQ(WalkPoints(tree, kUnitMin, kUnitSize).size(), 512u);
}

TEST(CloudTreeBuilder, EveryRandomPointComesBackOnceWithinThePrecisionAndItsLeafBoxOverTwoHundredFiftySix)
{
    std::mt19937 rng(11);
    for (int round = 0; round < 3; ++round) {
        const int count = round == 0 ? 3000 : 20000;
        // Clustered points exercise leaves with many points.
        std::vector<QxVector> points = round == 2 ? RandomPoints(rng, count, QxVector(0, 0, 0), QxVector(0.01f, 1, 1))
                                                  : RandomPoints(rng, count, QxVector(-5, 2, 1), QxVector(5, 3, 9));
        QxVector min, size;
        BoxOf(points, min, size);
        const QxVector precision = round == 1 ? size * 0.01f : size * 5e-6f;
        CloudTree tree = BuildTree(points, min, size, precision);
        ASSERT_EQ(CheckTree(tree), "");
        std::vector<WalkedPoint> walked = WalkPoints(tree, min, size);
        ASSERT_EQ(walked.size(), points.size());
        std::vector<int> seen(points.size(), 0);
        for (const WalkedPoint& w : walked) {
            ASSERT_LT(w.Index, points.size());
            ++seen[w.Index];
            const QxVector& p = points[w.Index];
            // A point that stopped higher up, within the precision, and
            // moved down with a split keeps that first error.
            const QxVector slack = QxMax((w.LeafBox.Max - w.LeafBox.Min) * (1.0f / 256), precision) * 1.001f;
            ASSERT_LE(std::fabs(w.Position.x - p.x), slack.x + 1e-6f);
            ASSERT_LE(std::fabs(w.Position.y - p.y), slack.y + 1e-6f);
            ASSERT_LE(std::fabs(w.Position.z - p.z), slack.z + 1e-6f);
        }
        EXPECT_TRUE(std::all_of(seen.begin(), seen.end(), [](int n) { return n == 1; }));
    }
}

TEST(CloudTreeBuilder, APrecisionMetOnOneAxisOnlyStillDescendsForTheOthers)
{
    std::mt19937 rng(6);
    const std::vector<QxVector> points = RandomPoints(rng, 200, kUnitMin, kUnitSize);
    const QxVector precision(1e-4f, 1e-4f, 100.0f);
    CloudTree tree = BuildTree(points, kUnitMin, kUnitSize, precision);
    ASSERT_EQ(CheckTree(tree), "");
    EXPECT_GT(tree.Pages.size(), 4u);
    for (const WalkedPoint& w : WalkPoints(tree, kUnitMin, kUnitSize)) {
        EXPECT_LT(std::fabs(w.Position.x - points[w.Index].x), precision.x);
        EXPECT_LT(std::fabs(w.Position.y - points[w.Index].y), precision.y);
    }
}

TEST(CloudTreeBuilder, NotANumberAndFarPointsStayInTheBoxAndTheDescentEnds)
{
    CloudTreeBuilder builder;
    builder.Start(kUnitMin, kUnitSize, QxVector(0, 0, 0));
    EXPECT_TRUE(builder.Insert(QxVector(NAN, 0.5f, 0.5f), 0));
    EXPECT_TRUE(builder.Insert(QxVector(1e30f, -1e30f, INFINITY), 1));
    EXPECT_TRUE(builder.Insert(QxVector(1, 1, 1), 2));
    CloudTree tree;
    builder.Finish(tree);
    ASSERT_EQ(CheckTree(tree), "");
    for (const WalkedPoint& w : WalkPoints(tree, kUnitMin, kUnitSize)) {
        EXPECT_TRUE(w.Position.x >= 0 && w.Position.x <= 1);
        EXPECT_TRUE(w.Position.z >= 0 && w.Position.z <= 1);
    }
    EXPECT_LE(tree.Pages.size(), 45u);
}

TEST(CloudTreeLevels, AStepOfOneMarksEveryPointButTheFirstAndAStepOfTwoEverySecond)
{
    std::mt19937 rng(3);
    std::vector<QxVector> points = RandomPoints(rng, 1000, kUnitMin, kUnitSize);
    CloudTree tree = BuildTree(points, kUnitMin, kUnitSize, QxVector(0.001f, 0.001f, 0.001f));
    const int wanted[3] = {1000, 500, 0};
    int given[3];
    CloudAssignLevels(tree, 1000, wanted, given);
    EXPECT_EQ(given[0], 999);
    EXPECT_EQ(given[1], 499);
    EXPECT_EQ(given[2], 0);
    std::vector<WalkedPoint> walked = WalkPoints(tree, kUnitMin, kUnitSize);
    for (size_t i = 0; i < walked.size(); ++i) {
        EXPECT_EQ((walked[i].Levels & 1) != 0, i != 0) << i;
        EXPECT_EQ((walked[i].Levels & 2) != 0, i >= 2 && i % 2 == 0) << i;
        EXPECT_EQ(walked[i].Levels & 4, 0u);
    }
    // Inner nodes carry the levels of their subtrees; assigning again
    // clears the old bits first.
    EXPECT_EQ(CloudNodeLevels(tree.Root()), 3u);
    const int only3[3] = {0, 0, 125};
    CloudAssignLevels(tree, 1000, only3, given);
    EXPECT_EQ(given[2], 124);
    EXPECT_EQ(CloudNodeLevels(tree.Root()), 4u);
    for (const WalkedPoint& w : WalkPoints(tree, kUnitMin, kUnitSize))
        EXPECT_EQ(w.Levels & 3, 0u);
}

} // namespace

// The fill plan against the walk of the entries (CloudForEachEntry): same
// entries in the same order, same points cut at the same count, positions
// bit for bit, for every level, for trees shallow and deep, and after the
// box moves or changes size.
#include <cstring>
#include <random>
#include <vector>

#include "render/objects/pointcloud/CloudFillPlan.h"
#include "tests/render/objects/pointcloud/CloudTestSupport.h"

namespace {

// One entry as written: group, then per point its index and position bits.
struct Written
{
    int Group = 0;
    std::vector<CKDWORD> Indices;
    std::vector<CKDWORD> Positions;
    bool operator==(const Written&) const = default;
};

std::vector<Written> ByWalk(CloudTree& tree, CloudVertexGroups& groups, const QxVector& min, const QxVector& size,
                            int level)
{
    std::vector<Written> out;
    CloudForEachEntry(tree, groups, min, size, level, [&](int g, CloudLevelEntry& entry, auto&& points) {
        Written w;
        w.Group = g;
        points([&](const CloudNode& point, const QxVector& pointMin, const QxVector& pointSize) {
            if ((int) w.Indices.size() >= entry.VertexCount)
                return;
            const QxVector p = CloudReconstruct(CloudQuantizedOf(point), pointMin, pointSize);
            CKDWORD bits[3];
            std::memcpy(bits, &p, 12);
            w.Indices.push_back(CloudPointIndex(point.P));
            w.Positions.insert(w.Positions.end(), bits, bits + 3);
        });
        out.push_back(w);
        return true;
    });
    return out;
}

std::vector<Written> ByPlan(CloudFillPlan& plan, const CloudTree& tree, const CloudVertexGroups& groups,
                            const QxVector& min, const QxVector& size, int level)
{
    std::vector<Written> out;
    const std::vector<CloudFillPlan::Run>& runs = plan.Runs(tree, groups, level);
    plan.Place(min, size);
    for (const CloudFillPlan::Run& run : runs) {
        Written w;
        w.Group = run.Group;
        const CKDWORD* indices = plan.PointIndices(level) + run.First;
        w.Indices.assign(indices, indices + run.Count);
        // Written with a stride, as into vertices of 20 bytes.
        std::vector<CKBYTE> vertices((size_t) run.Count * 20 + 1, 0xAB);
        plan.WritePositions(level, run, vertices.data(), 20);
        for (CKDWORD v = 0; v < run.Count; ++v) {
            CKDWORD bits[3];
            std::memcpy(bits, vertices.data() + (size_t) v * 20, 12);
            w.Positions.insert(w.Positions.end(), bits, bits + 3);
            EXPECT_EQ(vertices[(size_t) v * 20 + 12], 0xAB) << "nothing past the position";
        }
        out.push_back(w);
    }
    return out;
}

struct Cloud
{
    CloudTree Tree;
    CloudVertexGroups Groups;
    QxVector Min, Size;
    int Points = 0;
};

Cloud Make(const std::vector<QxVector>& points, float precision, int verticesPerBuffer)
{
    Cloud c;
    BoxOf(points, c.Min, c.Size);
    c.Tree = BuildTree(points, c.Min, c.Size, c.Size * precision);
    c.Points = (int) points.size();
    const int wanted[CLOUD_LEVELCOUNT] = {c.Points / 2, c.Points / 5, c.Points / 40};
    int given[CLOUD_LEVELCOUNT];
    CloudAssignLevels(c.Tree, c.Points, wanted, given);
    EXPECT_TRUE(CloudBuildGroups(c.Tree, c.Groups, verticesPerBuffer));
    return c;
}

void ExpectSameAsWalk(Cloud& c, const char* what, bool complete = true)
{
    CloudFillPlan plan;
    // The box as built, moved by an odd amount, grown, then as built again.
    const QxVector mins[4] = {c.Min, c.Min + QxVector(0.1f, -3.7f, 1e3f), c.Min - QxVector(1, 1, 1), c.Min};
    const QxVector sizes[4] = {c.Size, c.Size, c.Size * 1.3f, c.Size};
    for (int b = 0; b < 4; ++b)
        for (int level = 0; level < 4; ++level) {
            const std::vector<Written> walked = ByWalk(c.Tree, c.Groups, mins[b], sizes[b], level);
            const std::vector<Written> planned = ByPlan(plan, c.Tree, c.Groups, mins[b], sizes[b], level);
            EXPECT_TRUE(planned == walked) << what << ", box " << b << ", level " << level;
            size_t points = 0;
            for (const Written& w : walked)
                points += w.Indices.size();
            if (level == 0 && complete) {
                EXPECT_EQ(points, (size_t) c.Points) << what << ": every point once";
            }
        }
}

TEST(CloudFillPlan, FollowsTheWalkOfTheEntriesForEveryLevelAndBox)
{
    std::mt19937 rng(21);
    {
        // Deep: single-point leaves in chains, many groups, leaves-only
        // entries.
        Cloud c = Make(RandomPoints(rng, 20000, QxVector(-5, 0, 100), QxVector(5, 2, 130)), 5e-6f, 4096);
        ExpectSameAsWalk(c, "fine precision");
    }
    {
        // Shallow: multi-point leaves.
        Cloud c = Make(RandomPoints(rng, 20000, QxVector(-5, 0, 100), QxVector(5, 2, 130)), 0.05f, 4096);
        ExpectSameAsWalk(c, "coarse precision");
    }
    {
        // Clustered: a dense lump in an empty box, so deep one way only.
        std::vector<QxVector> p = RandomPoints(rng, 6000, QxVector(0, 0, 0), QxVector(1e-3f, 1e-3f, 1e-3f));
        p.push_back(QxVector(100, 100, 100));
        Cloud c = Make(p, 1e-7f, 4096);
        ExpectSameAsWalk(c, "clustered");
    }
    {
        // A root that is a leaf, with its points in page 0.
        Cloud c = Make(RandomPoints(rng, 40, QxVector(0, 0, 0), QxVector(1, 1, 1)), 0.1f, 4096);
        ASSERT_FALSE(CloudIsInner(c.Tree.Root()));
        ExpectSameAsWalk(c, "leaf root");
    }
}

TEST(CloudFillPlan, CutsEachEntryAtItsVertexCount)
{
    std::mt19937 rng(5);
    Cloud c = Make(RandomPoints(rng, 9000, QxVector(0, 0, 0), QxVector(1, 1, 1)), 1e-5f, 4096);
    ASSERT_GT(c.Groups.Groups.size(), 1u);
    for (CloudVertexGroup& g : c.Groups.Groups)
        for (CloudLevelEntry& e : g.Levels)
            e.VertexCount = e.VertexCount / 3;
    ExpectSameAsWalk(c, "cut", false);
}

TEST(CloudFillPlan, AnEmptyTreeHasNoRunsAndClearForgetsTheLevels)
{
    CloudTree empty;
    CloudVertexGroups groups;
    CloudFillPlan plan;
    for (int level = 0; level < 4; ++level)
        EXPECT_TRUE(plan.Runs(empty, groups, level).empty());
    plan.Place(QxVector(0, 0, 0), QxVector(1, 1, 1));

    std::mt19937 rng(8);
    Cloud c = Make(RandomPoints(rng, 3000, QxVector(0, 0, 0), QxVector(1, 1, 1)), 1e-5f, 4096);
    // Built for the empty tree, the plan stays so until cleared.
    EXPECT_TRUE(plan.Runs(c.Tree, c.Groups, 0).empty());
    plan.Clear();
    EXPECT_EQ(plan.GetBytes(), 0u);
    EXPECT_TRUE(ByPlan(plan, c.Tree, c.Groups, c.Min, c.Size, 0) == ByWalk(c.Tree, c.Groups, c.Min, c.Size, 0));
    EXPECT_GT(plan.GetBytes(), 3000u * 20u);
}

} // namespace

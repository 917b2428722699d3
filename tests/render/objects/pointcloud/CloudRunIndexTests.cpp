// The run index and the queries through it against the plain walk and a
// brute-force scan: same entries in the same order, bit for bit, for boxes
// that cover nodes whole, in part or not at all, and with a capacity.
#include <cstring>
#include <random>
#include <vector>

#include "render/objects/pointcloud/CloudQueries.h"
#include "render/objects/pointcloud/CloudRunIndex.h"
#include "render/objects/pointcloud/RCK3dPointCloud.h"
#include "render/objects/pointcloud/RCloudSelection.h"
#include "tests/render/objects/EntityTestSupport.h"
#include "tests/render/objects/pointcloud/CloudTestSupport.h"

namespace {

bool SameEntry(const CloudSelectionEntry& a, const CloudSelectionEntry& b)
{
    return a.PointIndex == b.PointIndex && std::memcmp(&a.Position, &b.Position, sizeof(QxVector)) == 0;
}

// What the plain walk adds, up to capacity entries.
std::vector<CloudSelectionEntry> Walked(const CloudTree& tree, const QxVector& min, const QxVector& size,
                                        const QxBbox& box, size_t capacity = ~size_t(0))
{
    std::vector<CloudSelectionEntry> out;
    CloudQuery(tree, min, size, CloudBoxShape{box}, [&](const QxVector& p, CKDWORD index) {
        if (out.size() >= capacity)
            return false;
        out.push_back({p, index});
        return true;
    });
    return out;
}

std::vector<CloudSelectionEntry> ThroughRuns(const CloudTree& tree, const CloudRunIndex& index, const QxBbox& box)
{
    std::vector<CloudSelectionEntry> out;
    CloudQueryRuns(tree, index, CloudBoxShape{box}, [&](const CloudSelectionEntry* e, int count) {
        EXPECT_GT(count, 0) << "no empty runs";
        out.insert(out.end(), e, e + count);
        return true;
    });
    return out;
}

// Boxes of every kind against a tree: node boxes themselves (wholly
// inside), node boxes grown and shrunk a little (inside and across), boxes
// apart from the cloud, random boxes.
std::vector<QxBbox> Boxes(std::mt19937& rng, const CloudTree& tree, const QxVector& min, const QxVector& size)
{
    std::vector<QxBbox> boxes;
    std::vector<QxBbox> nodes;
    struct Collect : CloudVisitAll
    {
        std::vector<QxBbox>& Out;
        CloudVisit Inner(int, int, const QxVector& m, const QxVector& s)
        {
            Out.push_back(CloudBoxOf(m, s));
            return CloudVisit::Enter;
        }
        CloudVisit Leaf(int, int, const QxVector& m, const QxVector& s)
        {
            Out.push_back(CloudBoxOf(m, s));
            return CloudVisit::Skip;
        }
        bool Point(const CloudNode&, const QxVector&, const QxVector&) { return true; }
    } collect{{}, nodes};
    CloudWalk(tree, min, size, collect);
    std::uniform_real_distribution<float> u(0.0f, 1.0f);
    for (int i = 0; i < 60 && !nodes.empty(); ++i) {
        const QxBbox& n = nodes[(size_t) (u(rng) * (float) (nodes.size() - 1))];
        const QxVector e = (n.Max - n.Min) * (u(rng) * 0.3f);
        boxes.push_back(n);
        boxes.push_back(QxBbox(n.Min - e, n.Max + e));
        boxes.push_back(QxBbox(n.Min + e, n.Max - e));
    }
    const QxVector far = size * 3.0f;
    boxes.push_back(QxBbox(min + far, min + far + size));
    boxes.push_back(QxBbox(min - size, min + size * 2.0f));
    for (int i = 0; i < 60; ++i) {
        const QxVector a(min.x + size.x * u(rng), min.y + size.y * u(rng), min.z + size.z * u(rng));
        const QxVector b(min.x + size.x * u(rng), min.y + size.y * u(rng), min.z + size.z * u(rng));
        QxBbox box(a, a);
        box.Merge(b);
        boxes.push_back(box);
    }
    return boxes;
}

TEST(CloudRunIndexTests, QueriesThroughRunsGiveTheWalksEntriesInItsOrder)
{
    std::mt19937 rng(5);
    // Sparse single-point leaves, dense multi-point leaves (a coarse
    // precision), and copies of one point.
    const struct
    {
        int Count;
        float Precision;
        bool Copies;
    } clouds[] = {{3000, 0.0f, false}, {4000, 2.0f, false}, {1500, 0.5f, true}, {1, 0.0f, false}};
    for (const auto& c : clouds) {
        std::vector<QxVector> p = RandomPoints(rng, c.Count, QxVector(-5, -5, -5), QxVector(5, 5, 5));
        if (c.Copies)
            for (size_t i = 0; i < p.size(); i += 3)
                p[i] = p[0];
        QxVector min, size;
        BoxOf(p, min, size);
        const QxVector precision = c.Precision > 0 ? QxVector(1, 1, 1) * c.Precision : size * 1e-5f;
        const CloudTree tree = BuildTree(p, min, size, precision);
        CloudRunIndex index;
        index.Build(tree, min, size);
        ASSERT_TRUE(index.Matches(tree, min, size));
        ASSERT_EQ(index.Points.size(), (size_t) tree.CountStoredPoints());
        // Every point once, in walk order, with the walk's position.
        const std::vector<WalkedPoint> walked = WalkPoints(tree, min, size);
        ASSERT_EQ(walked.size(), index.Points.size());
        for (size_t i = 0; i < walked.size(); ++i)
            ASSERT_TRUE(SameEntry(index.Points[i], {walked[i].Position, walked[i].Index})) << i;
        for (const QxBbox& box : Boxes(rng, tree, min, size)) {
            const std::vector<CloudSelectionEntry> expected = Walked(tree, min, size, box);
            const std::vector<CloudSelectionEntry> got = ThroughRuns(tree, index, box);
            ASSERT_EQ(got.size(), expected.size()) << c.Count;
            for (size_t i = 0; i < got.size(); ++i)
                ASSERT_TRUE(SameEntry(got[i], expected[i])) << c.Count << " entry " << i;
            // And the walk itself against a scan.
            size_t inside = 0;
            for (const WalkedPoint& w : walked)
                inside += box.VectorIn(w.Position) ? 1 : 0;
            EXPECT_EQ(got.size(), inside);
        }
    }
}

TEST(CloudRunIndexTests, AnIndexFitsOnlyItsTreeAndRootBox)
{
    std::mt19937 rng(9);
    const std::vector<QxVector> p = RandomPoints(rng, 500, QxVector(0, 0, 0), QxVector(1, 1, 1));
    QxVector min, size;
    BoxOf(p, min, size);
    const CloudTree tree = BuildTree(p, min, size, size * 1e-4f);
    CloudRunIndex index;
    EXPECT_FALSE(index.Matches(tree, min, size)) << "not built";
    index.Build(tree, min, size);
    EXPECT_TRUE(index.Matches(tree, min, size));
    EXPECT_FALSE(index.Matches(tree, min + QxVector(1e-3f, 0, 0), size));
    EXPECT_FALSE(index.Matches(tree, min, size * 2.0f));
    const CloudTree other = BuildTree(std::vector<QxVector>(p.begin(), p.begin() + 100), min, size, size * 1e-4f);
    EXPECT_FALSE(index.Matches(other, min, size));
    index.Clear();
    EXPECT_FALSE(index.Matches(tree, min, size));
    EXPECT_TRUE(index.Points.empty());
    // An empty tree gives nothing.
    CloudTree empty;
    index.Build(empty, min, size);
    EXPECT_TRUE(index.Matches(empty, min, size));
    EXPECT_TRUE(ThroughRuns(empty, index, QxBbox(min - size, min + size * 2.0f)).empty());
}

class CloudRunSelectTests : public EntityFixture
{};

TEST_F(CloudRunSelectTests, SelectionsKeepTheWalksEntriesUpToTheCapacityAndFollowTheBox)
{
    auto* cloud = static_cast<RCK3dPointCloud*>(m_Context->CreateObject(CKCID_3DPOINTCLOUD, "cloud"));
    std::mt19937 rng(21);
    std::vector<QxVector> p = RandomPoints(rng, 6000, QxVector(-10, -10, -10), QxVector(10, 10, 10));
    QxVector precision;
    cloud->CreateFromBuffers((int) p.size(), p.data(), nullptr, nullptr, nullptr, precision);
    const QxBbox all(QxVector(-11, -11, -11), QxVector(11, 11, 11));
    const QxBbox part(QxVector(-3, -10, -2), QxVector(4, 1, 10));
    for (int capacity : {0, 1, 37, 3000, 6000, 7000}) {
        CloudSelection* s = cloud->CreateSelection(("s" + std::to_string(capacity)).c_str(), capacity);
        for (const QxBbox& box : {all, part}) {
            const std::vector<CloudSelectionEntry> expected =
                Walked(cloud->GetTree(), cloud->GetBoxMin(), cloud->GetBoxSize(), box, (size_t) capacity);
            EXPECT_EQ(cloud->SelectInBox(box, s), (int) expected.size()) << capacity;
            ASSERT_EQ(s->GetPointCount(), (int) expected.size()) << capacity;
            for (int i = 0; i < s->GetPointCount(); ++i)
                ASSERT_TRUE(SameEntry(*s->GetEntry(i), expected[(size_t) i])) << capacity << " entry " << i;
        }
    }
    // Moved with its box, the cloud's points are rebuilt in the new box.
    CloudSelection* s = cloud->CreateSelection("moved", 10000);
    const QxVector to(3, 0, 0);
    cloud->SetPositionAndBox(&to);
    const QxBbox moved(all.Min + to, all.Max + to);
    const std::vector<CloudSelectionEntry> expected =
        Walked(cloud->GetTree(), cloud->GetBoxMin(), cloud->GetBoxSize(), moved);
    ASSERT_EQ(cloud->SelectInBox(moved, s), 6000);
    for (int i = 0; i < 6000; ++i)
        ASSERT_TRUE(SameEntry(*s->GetEntry(i), expected[(size_t) i])) << i;
    // New points replace the old ones (same count, another tree).
    p = RandomPoints(rng, 6000, QxVector(-10, -10, -10), QxVector(10, 10, 10));
    cloud->CreateFromBuffers((int) p.size(), p.data(), nullptr, nullptr, nullptr, precision);
    const std::vector<CloudSelectionEntry> fresh =
        Walked(cloud->GetTree(), cloud->GetBoxMin(), cloud->GetBoxSize(), all);
    s = cloud->CreateSelection("fresh", 10000);
    ASSERT_EQ(cloud->SelectInBox(all, s), 6000);
    for (int i = 0; i < 6000; ++i)
        ASSERT_TRUE(SameEntry(*s->GetEntry(i), fresh[(size_t) i])) << i;
}

TEST(CloudRunIndexTests, AddRunTakesWhatFitsAndSaysWhenSomeDidNot)
{
    RCloudSelection s(nullptr, 5);
    CloudSelectionEntry e[4];
    for (int i = 0; i < 4; ++i)
        e[i].PointIndex = (CKDWORD) i + 10;
    EXPECT_TRUE(s.AddRun(e, 3));
    EXPECT_TRUE(s.AddRun(e, 0));
    EXPECT_FALSE(s.AddRun(e + 1, 3));
    ASSERT_EQ(s.GetPointCount(), 5);
    const CKDWORD expected[5] = {10, 11, 12, 11, 12};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(s.GetEntryPointIndex(i), expected[i]);
    EXPECT_FALSE(s.AddRun(e, 1));
    EXPECT_EQ(s.GetPointCount(), 5);
}

} // namespace

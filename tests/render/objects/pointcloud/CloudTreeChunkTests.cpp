// The subdivision's section: the words written, the links rebased on read,
// and every broken or hostile layout refused.
#include <functional>
#include <random>

#include <gtest/gtest.h>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKStartUp.h"
#include "render/objects/pointcloud/CloudTreeChunk.h"
#include "tests/render/objects/pointcloud/CloudTestSupport.h"

namespace {

const QxVector kUnitMin(0, 0, 0), kUnitSize(1, 1, 1);

class CloudTreeChunk : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(CKStartUp(), 0); }
    void TearDown() override { EXPECT_EQ(CKShutdown(), 0); }

    // The section's words as written.
    static std::vector<CKDWORD> Written(const CloudTree& tree)
    {
        CKStateChunk chunk(0, nullptr);
        chunk.StartWrite();
        CloudWritePages(chunk, tree);
        chunk.CloseChunk();
        const CKDWORD* w = chunk.GetBuffer();
        return std::vector<CKDWORD>(w + 1, w + 1 + chunk.GetDataSize() / 4);
    }
    // Reads words back; why is empty when accepted.
    static std::string Read(const std::vector<CKDWORD>& words, CloudTree& tree, CKDWORD pointCount)
    {
        CKStateChunk chunk(0, nullptr);
        chunk.StartWrite();
        for (CKDWORD w : words)
            chunk.WriteDword(w);
        chunk.CloseChunk();
        chunk.StartRead();
        const char* why = nullptr;
        return CloudReadPages(chunk, tree, pointCount, why) ? "" : why;
    }
    static CloudTree TwoOctants()
    {
        const float high = 0.5f + 3 * 0.5f / 256, low = 51 * 0.5f / 256;
        return BuildTree({QxVector(high, high, high), QxVector(low, low, low)}, kUnitMin, kUnitSize,
                         QxVector(0.001f, 0.001f, 0.001f));
    }
};

TEST_F(CloudTreeChunk, TheWordsOfATwoLeafTreeAreAddressesOfPagesLaidEndToEnd)
{
    const std::vector<CKDWORD> expected = {2, 0x10000000, 1, 0x00008102, 0x10000008, 0x10000008,
                                           2, 0x33333380, 1, 0x03030380, 0};
    EXPECT_EQ(Written(TwoOctants()), expected);
    CloudTree back;
    ASSERT_EQ(Read(expected, back, 2), "");
    EXPECT_EQ(back.Pages, TwoOctants().Pages);
}

TEST_F(CloudTreeChunk, AnySavedBaseIsRebasedAndGroupBitsAreDropped)
{
    std::vector<CKDWORD> words = {2, 0x7FFFFFF0, 1, 0x00308102, 0x00000100, 0x00000100,
                                  2, 0x33333380, 1, 0x03030380, 0};
    CloudTree tree;
    ASSERT_EQ(Read(words, tree, 2), "");
    EXPECT_EQ(tree.Root().P, 0u);
    EXPECT_EQ(tree.Root().W, 0x00008102u) << "group bits belong to the saving program";
}

TEST_F(CloudTreeChunk, ARandomTreeWithMultiPointLeavesComesBackEqual)
{
    std::mt19937 rng(21);
    std::vector<QxVector> points = RandomPoints(rng, 5000, kUnitMin, kUnitSize);
    CloudTree tree = BuildTree(points, kUnitMin, kUnitSize, QxVector(0.02f, 0.02f, 0.02f));
    const int levels[3] = {2500, 1250, 625};
    int given[3];
    CloudAssignLevels(tree, 5000, levels, given);
    CloudTree back;
    ASSERT_EQ(Read(Written(tree), back, 5000), "");
    EXPECT_EQ(back.Pages, tree.Pages);
    EXPECT_EQ(Read(Written(tree), back, 4999), "a point index beyond the point count");
}

TEST_F(CloudTreeChunk, ALeafRootWithManyPointsComesBack)
{
    std::mt19937 rng(2);
    CloudTree tree = BuildTree(RandomPoints(rng, 300, kUnitMin, kUnitSize), kUnitMin, kUnitSize, QxVector(5, 5, 5));
    ASSERT_TRUE(CloudIsMultiLeaf(tree.Root()));
    CloudTree back;
    ASSERT_EQ(Read(Written(tree), back, 300), "");
    EXPECT_EQ(back.Pages, tree.Pages);
    EXPECT_EQ(WalkPoints(back, kUnitMin, kUnitSize).size(), 300u);
}

struct Broken
{
    const char* What;
    std::function<void(std::vector<CKDWORD>&)> Break;
    const char* Why;
};

TEST_F(CloudTreeChunk, BrokenLayoutsAreRefusedWithTheirReason)
{
    // Words: [0] pages, [1] address 0, [2] n0, [3] root W, [4] root P, [5]
    // address 1, [6] n1, [7..10] the two leaves.
    const std::vector<Broken> cases = {
        {"too many pages", [](auto& w) { w[0] = 129; }, "page count out of range"},
        {"negative pages", [](auto& w) { w[0] = 0xFFFFFFFF; }, "page count out of range"},
        {"entries past the data", [](auto& w) { w[6] = 3; }, "page entries beyond the data"},
        {"children past the page", [](auto& w) { w[4] += 8; }, "children outside the next page"},
        {"children between entries", [](auto& w) { w[4] += 4; }, "children outside the next page"},
        {"children before the page", [](auto& w) { w[4] -= 8; }, "children outside the next page"},
        {"count and mask disagree", [](auto& w) { w[3] = 0x8101; },
         "an inner node whose child count and mask disagree"},
        {"nine children", [](auto& w) { w[3] = 0xFF09; }, "an inner node whose child count and mask disagree"},
        {"a point entry as node", [](auto& w) { w[7] = 0x33333320; }, "a node of no known kind"},
        {"an unknown kind", [](auto& w) { w[7] = 0x333333C0; }, "a node of no known kind"},
        {"an empty child", [](auto& w) { w[7] = 0, w[8] = 0; }, "an empty node below the root"},
        {"a leaf of no points", [](auto& w) { w[7] = 0x40, w[8] = 0x10000008; }, "leaf points outside their page"},
        {"a leaf whose points are its siblings", [](auto& w) { w[7] = 0x240, w[8] = 0x10000008; },
         "an entry reached twice"},
        {"a point index past the count", [](auto& w) { w[8] = 7; }, "a point index beyond the point count"},
        {"one child where two are stored", [](auto& w) { w[3] = 0x0101; }, "an entry no node reaches"},
        {"no root",
         [](auto& w) {
             w = {1, 0x10, 0};
         },
         "no root"},
    };
    const std::vector<CKDWORD> good = Written(TwoOctants());
    for (const Broken& c : cases) {
        std::vector<CKDWORD> words = good;
        c.Break(words);
        CloudTree tree;
        EXPECT_EQ(Read(words, tree, 2), c.Why) << c.What;
        EXPECT_TRUE(tree.Pages.empty()) << c.What;
    }
}

TEST_F(CloudTreeChunk, ASectionCutAtAnyWordIsRefusedOrEmpty)
{
    std::mt19937 rng(4);
    const std::vector<CKDWORD> words = Written(
        BuildTree(RandomPoints(rng, 200, kUnitMin, kUnitSize), kUnitMin, kUnitSize, QxVector(0.05f, 0.05f, 0.05f)));
    for (size_t cut = 0; cut < words.size(); ++cut) {
        CloudTree tree;
        const std::string why = Read(std::vector<CKDWORD>(words.begin(), words.begin() + cut), tree, 200);
        EXPECT_TRUE(!why.empty() || (cut > 0 && words[0] == 0)) << cut;
    }
}

} // namespace

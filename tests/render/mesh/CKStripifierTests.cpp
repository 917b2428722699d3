// The stripifier on the 256 x 256 grid and the bunny: its cache order is
// meshoptimizer's (the same cache-miss ratio), its strips draw the same
// triangles with the same windings; and the inputs it refuses.
#include <algorithm>
#include <array>
#include <vector>

#include <meshoptimizer.h>

#include "render/mesh/CKStripifier.h"
#include "tests/render/support/RenderTestSupport.h"
#include "tools/testdata/TestMeshes.h"

namespace {

using Stripifier = RenderFixture;
using Triangle = std::array<CKDWORD, 3>;

std::vector<CKWORD> Indices16(const TestMesh& mesh)
{
    return std::vector<CKWORD>(mesh.Indices.begin(), mesh.Indices.end());
}

float Acmr(const std::vector<unsigned int>& indices, int vertexCount, unsigned int cache)
{
    return meshopt_analyzeVertexCache(indices.data(), indices.size(), (size_t) vertexCount, cache, 0, 0).acmr;
}

// A triangle with its smallest corner first: the same triangle, the same
// winding, the same key.
Triangle Canonical(CKDWORD a, CKDWORD b, CKDWORD c)
{
    if (b < a && b < c)
        return {b, c, a};
    if (c < a && c < b)
        return {c, a, b};
    return {a, b, c};
}

std::vector<Triangle> Sorted(std::vector<Triangle> t)
{
    std::sort(t.begin(), t.end());
    return t;
}

struct Case
{
    const char* name;
    TestMesh mesh;
};

std::vector<Case> Cases()
{
    return {{"grid", GridTestMesh(256)}, {"bunny", BunnyTestMesh()}};
}

TEST_F(Stripifier, TheCacheOrderHasMeshoptimizersCacheMissRatio)
{
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        ASSERT_GT(c.mesh.FaceCount(), 1000);
        std::vector<CKWORD> input = Indices16(c.mesh);
        for (int cache : {16, 24, 0}) {
            Manager()->GetSettings().VertexCache = cache;
            CKStripifier s;
            s.Init(CKStripifier::VERTEXCACHE);
            ASSERT_EQ(s.SetInput(input.data(), (int) input.size(), nullptr, c.mesh.VertexCount()), CKErr::Ok);
            ASSERT_EQ(s.OptimizeVertexCache(Manager(), 0.001f), CKErr::Ok);
            int count = 0;
            const CKWORD* out = nullptr;
            s.GetIndices(count, out);
            ASSERT_EQ(count, (int) input.size());
            std::vector<unsigned int> ours(out, out + count);
            std::vector<unsigned int> theirs(c.mesh.Indices.size());
            if (cache >= 3)
                meshopt_optimizeVertexCacheFifo(theirs.data(), c.mesh.Indices.data(), theirs.size(),
                                                (size_t) c.mesh.VertexCount(), (unsigned int) cache);
            else
                meshopt_optimizeVertexCache(theirs.data(), c.mesh.Indices.data(), theirs.size(),
                                            (size_t) c.mesh.VertexCount());
            unsigned int measured = cache >= 3 ? (unsigned int) cache : 16u;
            float ratio = Acmr(ours, c.mesh.VertexCount(), measured);
            EXPECT_EQ(ratio, Acmr(theirs, c.mesh.VertexCount(), measured)) << cache;
            std::vector<unsigned int> before(c.mesh.Indices.begin(), c.mesh.Indices.end());
            EXPECT_LT(ratio, Acmr(before, c.mesh.VertexCount(), measured)) << "better than the input's";
            // The same triangles, reordered.
            std::vector<Triangle> a, b;
            for (int f = 0; f < count / 3; ++f) {
                a.push_back(Canonical(ours[3 * (size_t) f], ours[3 * (size_t) f + 1], ours[3 * (size_t) f + 2]));
                b.push_back(Canonical(input[3 * (size_t) f], input[3 * (size_t) f + 1], input[3 * (size_t) f + 2]));
            }
            EXPECT_EQ(Sorted(a), Sorted(b));
        }
    }
}

TEST_F(Stripifier, StripsDrawTheSameTrianglesWithTheSameWindings)
{
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        std::vector<CKWORD> input = Indices16(c.mesh);
        CKStripifier s;
        s.Init(CKStripifier::STRIPS);
        ASSERT_EQ(s.SetInput(input.data(), (int) input.size(), nullptr, c.mesh.VertexCount()), CKErr::Ok);
        ASSERT_EQ(s.Stripify(Manager(), 0.001f, 1), CKErr::Ok);
        int strips = 0;
        const CKWORD* indices = nullptr;
        const int* lengths = nullptr;
        s.GetStrips(strips, indices, lengths);
        ASSERT_GT(strips, 0);
        // Each strip drawn on its own: triangle i of a strip turns every
        // other time; those with a corner twice draw nothing.
        std::vector<Triangle> drawn;
        int used = 0;
        for (int k = 0; k < strips; ++k) {
            const CKWORD* strip = indices + used;
            for (int i = 0; i < lengths[k]; ++i) {
                CKDWORD a = strip[i], b = strip[i + 1], d = strip[i + 2];
                if (i % 2)
                    std::swap(a, b);
                if (a != b && b != d && a != d)
                    drawn.push_back(Canonical(a, b, d));
            }
            used += lengths[k] + 2;
        }
        std::vector<Triangle> expected;
        for (int f = 0; f < c.mesh.FaceCount(); ++f)
            expected.push_back(Canonical(input[3 * (size_t) f], input[3 * (size_t) f + 1], input[3 * (size_t) f + 2]));
        EXPECT_EQ(Sorted(drawn), Sorted(expected));
        EXPECT_LT(used, (int) input.size()) << "strips are shorter than the list";
    }
}

TEST_F(Stripifier, RefusesWhatIsNotATriangleListOfItsVerticesAndTheOtherModesWork)
{
    const CKWORD triangle[] = {0, 1, 2, 2, 1, 3};
    CKStripifier s;
    s.Init(CKStripifier::VERTEXCACHE);
    EXPECT_EQ(s.SetInput(triangle, 5, nullptr, 4), CKErr::InvalidParameter) << "not a multiple of 3";
    EXPECT_EQ(s.SetInput(triangle, 6, nullptr, 3), CKErr::InvalidParameter) << "index 3 past 3 vertices";
    EXPECT_EQ(s.SetInput(nullptr, 6, nullptr, 4), CKErr::InvalidParameter);
    EXPECT_EQ(s.OptimizeVertexCache(nullptr), CKErr::InvalidParameter) << "no input";
    ASSERT_EQ(s.SetInput(triangle, 6, nullptr, 4), CKErr::Ok);
    EXPECT_EQ(s.Stripify(nullptr), CKErr::InvalidParameter) << "cache mode";
    EXPECT_EQ(s.OptimizeVertexCache(nullptr), CKErr::Ok) << "16 entries without a render manager";
    int count = 0;
    const CKWORD* out = nullptr;
    s.GetIndices(count, out);
    EXPECT_EQ(count, 6);
    s.Free();
    s.GetIndices(count, out);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(out, nullptr);
}

} // namespace

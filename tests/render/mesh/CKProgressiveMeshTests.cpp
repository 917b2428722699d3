// The progressive mesh on the 256 x 256 grid and the bunny: drawn faces use
// only the vertices drawn, the whole count gives the whole mesh back, and
// the surface error at 50, 25 and 10 % of the vertices stays within 1.5
// times meshopt_simplify's at the same counts; the geomorph and the
// inputs it ignores.
#include <algorithm>
#include <array>
#include <cfloat>
#include <functional>
#include <random>
#include <vector>

#include <gtest/gtest.h>
#include <meshoptimizer.h>

#include "render/mesh/CKProgressiveMesh.h"
#include "tools/testdata/TestMeshes.h"

namespace {

// The mesh renumbered as the progressive mesh asks, with its record.
struct Progressive
{
    TestMesh Renumbered;
    CKProgressiveMesh Record;
};

void Make(const TestMesh& mesh, Progressive& p)
{
    std::vector<CKDWORD> faces(mesh.Indices.begin(), mesh.Indices.end());
    ASSERT_TRUE(p.Record.Build(mesh.Positions.data(), 12, mesh.VertexCount(), faces.data(), mesh.FaceCount()));
    const std::vector<int>& to = p.Record.GetNewIndices();
    ASSERT_EQ((int) to.size(), mesh.VertexCount());
    p.Renumbered.Positions.assign(mesh.Positions.size(), 0.0f);
    for (int v = 0; v < mesh.VertexCount(); ++v)
        for (int c = 0; c < 3; ++c)
            p.Renumbered.Positions[3 * (size_t) to[(size_t) v] + (size_t) c] =
                mesh.Positions[3 * (size_t) v + (size_t) c];
    for (uint32_t i : mesh.Indices)
        p.Renumbered.Indices.push_back((uint32_t) to[i]);
}

// The faces drawn with k vertices, as a mesh over the renumbered vertices.
TestMesh Level(Progressive& p, int k)
{
    p.Record.SetVerticesRendered(k);
    std::vector<CKDWORD> faces(p.Renumbered.Indices.begin(), p.Renumbered.Indices.end());
    p.Record.Update(faces.data(), p.Renumbered.FaceCount(), nullptr, p.Renumbered.VertexCount());
    TestMesh level;
    level.Positions = p.Renumbered.Positions;
    const std::vector<CKDWORD>& drawn = p.Record.GetFaceIndices();
    EXPECT_EQ(drawn.size(), faces.size()) << "three corners for every face of the mesh";
    for (size_t i = 0; i + 2 < drawn.size(); i += 3)
        if (drawn[i] != CKPM_DROPPED)
            level.Indices.insert(level.Indices.end(), {drawn[i], drawn[i + 1], drawn[i + 2]});
    EXPECT_EQ(level.FaceCount(), p.Record.GetDrawnFaceCount());
    return level;
}

struct Case
{
    const char* name;
    TestMesh mesh;
};

TEST(ProgressiveMesh, DrawnFacesUseOnlyTheVerticesDrawnAndTheWholeCountIsTheWholeMesh)
{
    for (const Case& c : {Case{"grid", GridTestMesh(256)}, Case{"bunny", BunnyTestMesh()}}) {
        SCOPED_TRACE(c.name);
        Progressive p;
        Make(c.mesh, p);
        int n = c.mesh.VertexCount();
        EXPECT_LT(p.Record.GetBaseVertexCount(), n / 100) << "nearly every vertex collapses";
        for (int v = 0; v < n; ++v)
            ASSERT_LT(p.Record.GetCollapseTarget(v), v) << "onto a vertex of lower number";

        TestMesh whole = Level(p, n);
        auto sorted = [](const TestMesh& m) {
            std::vector<std::array<uint32_t, 3>> t;
            for (int f = 0; f < m.FaceCount(); ++f)
                t.push_back({m.Indices[3 * (size_t) f], m.Indices[3 * (size_t) f + 1], m.Indices[3 * (size_t) f + 2]});
            std::sort(t.begin(), t.end());
            return t;
        };
        EXPECT_EQ(sorted(whole), sorted(p.Renumbered));

        int previous = whole.FaceCount();
        std::vector<int> counts = {n - 1, n * 3 / 4, n / 2, n / 4, n / 10, n / 50, p.Record.GetBaseVertexCount(), 3, 0};
        std::sort(counts.begin(), counts.end(), std::greater<int>());
        for (int k : counts) {
            TestMesh level = Level(p, k);
            EXPECT_EQ(p.Record.GetDrawnVertexCount(), k);
            for (uint32_t i : level.Indices)
                ASSERT_LT((int) i, k) << "k = " << k;
            EXPECT_LE(level.FaceCount(), previous);
            previous = level.FaceCount();
        }
        EXPECT_EQ(previous, 0) << "no vertex, no face";
    }
}

TEST(ProgressiveMesh, SurfaceErrorStaysWithinOneAndAHalfTimesMeshoptimizersAtTheSameVertexCounts)
{
    for (const Case& c : {Case{"grid", GridTestMesh(256)}, Case{"bunny", BunnyTestMesh()}}) {
        SCOPED_TRACE(c.name);
        Progressive p;
        Make(c.mesh, p);
        double diagonal = BoxDiagonal(c.mesh);
        for (int percent : {50, 25, 10}) {
            SCOPED_TRACE(percent);
            std::vector<unsigned int> simplified(c.mesh.Indices.size());
            size_t target = c.mesh.Indices.size() * (size_t) percent / 100 / 3 * 3;
            simplified.resize(meshopt_simplify(simplified.data(), c.mesh.Indices.data(), c.mesh.Indices.size(),
                                               c.mesh.Positions.data(), (size_t) c.mesh.VertexCount(), 12, target,
                                               FLT_MAX, 0, nullptr));
            TestMesh theirs;
            theirs.Positions = c.mesh.Positions;
            theirs.Indices.assign(simplified.begin(), simplified.end());
            int k = UsedVertexCount(theirs);
            TestMesh ours = Level(p, k);
            double ourError = SampledHausdorffDistance(p.Renumbered, ours, 8000, 1);
            double theirError = SampledHausdorffDistance(c.mesh, theirs, 8000, 1);
            EXPECT_LE(ourError, 1.5 * theirError + 1e-6 * diagonal)
                << k << " vertices: ours " << ourError << ", meshoptimizer's " << theirError;
        }
    }
}

TEST(ProgressiveMesh, AGeomorphSlidesTheVerticesBetweenTheCountsOverItsSteps)
{
    TestMesh mesh = BunnyTestMesh();
    Progressive p;
    Make(mesh, p);
    int n = mesh.VertexCount(), k = n / 2;
    std::vector<CKVertex> vertices((size_t) n);
    for (int v = 0; v < n; ++v)
        vertices[(size_t) v].Position =
            QxVector(p.Renumbered.Positions[3 * (size_t) v], p.Renumbered.Positions[3 * (size_t) v + 1],
                     p.Renumbered.Positions[3 * (size_t) v + 2]);
    std::vector<CKDWORD> faces(p.Renumbered.Indices.begin(), p.Renumbered.Indices.end());
    CKProgressiveMesh& pm = p.Record;
    pm.EnableGeoMorph(true);
    pm.SetGeoMorphStep(4);
    EXPECT_TRUE(pm.IsGeoMorphEnabled());
    pm.Update(faces.data(), mesh.FaceCount(), vertices.data(), n);
    EXPECT_EQ(pm.GetDrawnVertexCount(), n) << "all shown at first";

    // The vertex that goes: its stand-in once k are drawn.
    int v = k + 7;
    int stand = pm.GetCollapseTarget(v);
    while (stand >= k)
        stand = pm.GetCollapseTarget(stand);
    ASSERT_GE(stand, 0);
    pm.SetVerticesRendered(k);
    for (int step = 1; step <= 4; ++step) {
        pm.Update(faces.data(), mesh.FaceCount(), vertices.data(), n);
        ASSERT_EQ(pm.GetDrawnVertexCount(), n) << "the finer faces while the vertices slide";
        float own = 1.0f - step / 4.0f;
        const QxVector& from = vertices[(size_t) stand].Position;
        QxVector expected = from + (vertices[(size_t) v].Position - from) * own;
        const QxVector& at = pm.GetMorphedVertices()[(size_t) v].Position;
        EXPECT_FLOAT_EQ(at.x, expected.x) << step;
        EXPECT_FLOAT_EQ(at.y, expected.y) << step;
        EXPECT_FLOAT_EQ(at.z, expected.z) << step;
        EXPECT_EQ(pm.GetMorphedVertices()[(size_t) (k - 1)].Position, vertices[(size_t) (k - 1)].Position);
    }
    pm.Update(faces.data(), mesh.FaceCount(), vertices.data(), n);
    EXPECT_EQ(pm.GetDrawnVertexCount(), k) << "the transition is over";
    EXPECT_TRUE(pm.GetMorphedVertices().empty());

    // Back up: the vertex comes from its stand-in.
    pm.SetVerticesRendered(n);
    pm.Update(faces.data(), mesh.FaceCount(), vertices.data(), n);
    EXPECT_EQ(pm.GetDrawnVertexCount(), n);
    QxVector quarter =
        vertices[(size_t) stand].Position + (vertices[(size_t) v].Position - vertices[(size_t) stand].Position) * 0.25f;
    EXPECT_FLOAT_EQ(pm.GetMorphedVertices()[(size_t) v].Position.y, quarter.y);
}

TEST(ProgressiveMesh, ClampsTheCountAndIgnoresFacesItCannotUse)
{
    // Two triangles, one face naming a vertex that does not exist, one with
    // a corner twice, and an unused vertex.
    const float positions[] = {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0, 5, 5, 5};
    const CKDWORD faces[] = {0, 1, 2, 2, 1, 3, 0, 1, 9, 0, 0, 1};
    CKProgressiveMesh pm;
    ASSERT_TRUE(pm.Build(positions, 12, 5, faces, 4));
    EXPECT_EQ(pm.GetVerticesRendered(), -1);
    EXPECT_EQ(pm.GetNewIndices()[4], 4) << "the unused vertex goes first";
    pm.SetVerticesRendered(99);
    EXPECT_EQ(pm.GetVerticesRendered(), 5);
    pm.SetVerticesRendered(-3);
    EXPECT_EQ(pm.GetVerticesRendered(), 0);
    pm.SetGeoMorphStep(-2);
    EXPECT_EQ(pm.GetGeoMorphStep(), 0);
    EXPECT_FALSE(pm.Build(nullptr, 12, 3, faces, 1));
    EXPECT_FALSE(pm.Build(positions, 12, -1, faces, 0));
    EXPECT_TRUE(pm.Build(positions, 12, 0, nullptr, 0));
}

} // namespace

TEST(ProgressiveMesh, EveryVertexCollapsesOntoALowerNumberOnRandomFaces)
{
    // Random faces make vertices lose their last face shared with a
    // collapse target while the target goes first.
    std::mt19937 rng(19);
    for (int round = 0; round < 300; ++round) {
        const int n = 3 + (int) (rng() % 40);
        std::vector<float> positions((size_t) n * 3);
        for (float& p : positions)
            p = (float) (rng() % 1000) / 100.0f;
        std::vector<CKDWORD> faces((size_t) (rng() % 60) * 3);
        for (CKDWORD& i : faces)
            i = rng() % (CKDWORD) n;
        CKProgressiveMesh pm;
        ASSERT_TRUE(pm.Build(positions.data(), 12, n, faces.data(), (int) faces.size() / 3));
        for (int v = 0; v < n; ++v)
            ASSERT_LT(pm.GetCollapseTarget(v), v) << round;
        CKProgressiveMesh loaded;
        ASSERT_TRUE(loaded.SetCollapseTargets(pm.GetCollapseTargets().data(), n)) << round;
    }
}

TEST(ProgressiveMesh, ASavedOrderIsCheckedAndFollowsResizesAndRemovals)
{
    const int good[] = {-1, -1, 0, 1, 2};
    CKProgressiveMesh pm;
    for (const std::vector<int>& bad : {std::vector<int>{-1, 1}, {-1, 2, 0}, {-2}, {-1, -1, 0, 3}})
        EXPECT_FALSE(pm.SetCollapseTargets(bad.data(), (int) bad.size()));
    EXPECT_FALSE(pm.SetCollapseTargets(good, -1));
    EXPECT_FALSE(pm.SetCollapseTargets(nullptr, 2));
    ASSERT_TRUE(pm.SetCollapseTargets(good, 5));
    EXPECT_EQ(pm.GetBaseVertexCount(), 2);
    EXPECT_EQ(pm.GetVerticesRendered(), -1);
    EXPECT_EQ(pm.GetTargetVertexCount(), 5);
    // Vertex 4 -> 2 -> 0, vertex 3 -> 1.
    EXPECT_EQ(pm.GetRenderedVertex(4, 2), 0);
    EXPECT_EQ(pm.GetRenderedVertex(4, 3), 2);
    EXPECT_EQ(pm.GetRenderedVertex(3, 2), 1);
    EXPECT_EQ(pm.GetRenderedVertex(1, 0), -1);
    EXPECT_EQ(pm.GetRenderedVertex(5, 5), -1);
    EXPECT_EQ(pm.GetRenderedVertex(-1, 5), -1);

    // Vertex 2 removed: 4 (now 3) collapses onto 0, the first kept vertex
    // of its chain; the count drawn keeps the same kept vertices.
    pm.SetVerticesRendered(4);
    const int table[] = {0, 1, -1, 2, 3};
    pm.RemoveVertices(table, 5);
    EXPECT_EQ(pm.GetCollapseTargets(), (std::vector<int>{-1, -1, 1, 0}));
    EXPECT_EQ(pm.GetVerticesRendered(), 3);

    pm.Resize(6);
    EXPECT_EQ(pm.GetCollapseTargets(), (std::vector<int>{-1, -1, 1, 0, -1, -1}));
    pm.Resize(2);
    EXPECT_EQ(pm.GetCollapseTargets(), (std::vector<int>{-1, -1}));
    EXPECT_EQ(pm.GetVerticesRendered(), 2) << "within the vertices left";
}

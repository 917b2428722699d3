#include <gtest/gtest.h>

#include "platform/host/HostScene.h"
#include "platform/host/INode.h"
#include "platform/host/Mesh.h"
#include "platform/host/PatchMesh.h"
#include "platform/host/TriObject.h"
#include "tests/platform/host/HostTestMath.h"

namespace {

// A 10-unit cube as the host's box builds it: 8 vertices, two faces a side,
// the sides in the order bottom, top, front, right, back, left.
Mesh Cube(const DWORD groups[6])
{
    Mesh m;
    for (int i = 0; i < 8; ++i)
        m.verts.emplace_back(float(i & 1) * 10.0f, float(i >> 1 & 1) * 10.0f, float(i >> 2 & 1) * 10.0f);
    const DWORD faces[12][3] = {{0, 2, 3}, {3, 1, 0}, {4, 5, 7}, {7, 6, 4}, {0, 1, 5}, {5, 4, 0},
                                {1, 3, 7}, {7, 5, 1}, {3, 2, 6}, {6, 7, 3}, {2, 0, 4}, {4, 6, 2}};
    m.setNumFaces(12);
    for (int f = 0; f < 12; ++f) {
        m.faces[size_t(f)].setVerts(faces[f][0], faces[f][1], faces[f][2]);
        m.faces[size_t(f)].setSmGroup(groups[f / 2]);
    }
    return m;
}

} // namespace

TEST(HostMesh, BuildNormalsGivesOneRenderNormalPerSmoothingGroupOfAVertex)
{
    const DWORD six[6] = {1, 2, 4, 8, 16, 32};
    Mesh separate = Cube(six);
    separate.buildNormals();
    for (int v = 0; v < 8; ++v) {
        SCOPED_TRACE(v);
        const RVertex& rv = separate.getRVert(v);
        ASSERT_EQ(rv.rFlags & NORCT_MASK, 3u);
        ASSERT_EQ(rv.ern.size(), 3u);
        // Each is the normal of one side, and serves that side's group.
        for (const RNormal& n : rv.ern) {
            EXPECT_NEAR(n.getNormal().Length(), 1.0f, 1e-6f);
            const int axis = n.getSmGroup() <= 2 ? 2 : (n.getSmGroup() == 4 || n.getSmGroup() == 16 ? 1 : 0);
            EXPECT_NEAR(std::fabs(n.getNormal()[axis]), 1.0f, 1e-6f);
        }
    }
    // Vertex 0 meets bottom (1), front (4) and left (32), in that order.
    EXPECT_EQ(separate.getRVert(0).ern[0].getSmGroup(), 1u);
    ExpectNear(separate.getRVert(0).ern[0].getNormal(), Point3(0.0f, 0.0f, -1.0f));
    EXPECT_EQ(separate.getRVert(0).ern[1].getSmGroup(), 4u);
    EXPECT_EQ(separate.getRVert(0).ern[2].getSmGroup(), 32u);
    ExpectNear(separate.getFaceNormal(2), Point3(0.0f, 0.0f, 1.0f));

    const DWORD one[6] = {1, 1, 1, 1, 1, 1};
    Mesh smooth = Cube(one);
    smooth.buildNormals();
    for (int v = 0; v < 8; ++v) {
        const RVertex& rv = smooth.getRVert(v);
        ASSERT_EQ(rv.rFlags & NORCT_MASK, 1u);
        EXPECT_TRUE(rv.ern.empty());
        EXPECT_EQ(rv.rn.getSmGroup(), 1u);
    }
    // The normalised sum of the unit normals of its faces: vertex 0 is in
    // two bottom faces, two front faces and one left face.
    ExpectNear(smooth.getRVert(0).rn.getNormal(), Point3(-1.0f, -2.0f, -2.0f) / 3.0f, 1e-6f);
    // Vertex 7: two top, two right, one back.
    ExpectNear(smooth.getRVert(7).rn.getNormal(), Point3(2.0f, 1.0f, 2.0f) / 3.0f, 1e-6f);
    // Past either end: a blank spare, whatever was written to it before.
    for (const int outside : {-1, 8, 9}) {
        smooth.getRVert(outside).rFlags = 7;
        EXPECT_EQ(smooth.getRVert(outside).rFlags, 0u);
    }
}

TEST(HostMesh, GroupsJoinThroughSharedBitsAndFacesWithoutGroupsGiveNone)
{
    // Sides bottom and front share bit 2 with a third mask: they join; left
    // has no group at all.
    const DWORD groups[6] = {1 | 2, 64, 2 | 4, 8, 16, 0};
    Mesh m = Cube(groups);
    m.buildNormals();
    const RVertex& rv = m.getRVert(0);
    ASSERT_EQ(rv.rFlags & NORCT_MASK, 1u);
    EXPECT_EQ(rv.rn.getSmGroup(), 1u | 2u | 4u);
    ExpectNear(rv.rn.getNormal(), Normalize(Point3(0.0f, -1.0f, -1.0f)));
    // A vertex set by hand keeps its normal.
    m.setNormal(1, Point3(1.0f, 2.0f, 3.0f));
    m.buildNormals();
    EXPECT_EQ(m.getRVert(1).rFlags, SPECIFIED_NORMAL | 1u);
    EXPECT_EQ(m.getRVert(1).rn.getNormal(), Point3(1.0f, 2.0f, 3.0f));
    // Indices out of range are skipped, never read.
    m.faces[0].v[1] = 99;
    m.buildNormals();
    EXPECT_EQ(m.getFaceNormal(0), Point3());
    EXPECT_EQ(m.getFaceNormal(-1), Point3());
    EXPECT_EQ(m.getRVert(100).rFlags, 0u);
    EXPECT_EQ(m.getRVertPtr(8), nullptr);
}

TEST(HostMesh, MapChannelsVertexDataAndSpecifiedNormals)
{
    Mesh m;
    m.setNumVerts(3);
    m.setNumFaces(1);
    EXPECT_EQ(m.getNumMaps(), 2);
    EXPECT_FALSE(m.mapSupport(1));
    EXPECT_EQ(m.mapVerts(1), nullptr);
    m.setMapSupport(7);
    m.Map(7).tv.assign(2, UVVert(0.5f, 0.25f, 0.0f));
    m.Map(7).tf.resize(1);
    EXPECT_EQ(m.getNumMaps(), 8);
    EXPECT_EQ(m.getNumMapVerts(7), 2);
    ASSERT_NE(m.mapVerts(7), nullptr);
    EXPECT_EQ(m.mapVerts(7)[1].y, 0.25f);
    EXPECT_NE(m.mapFaces(7), nullptr);
    m.setMapSupport(MAP_ALPHA);
    EXPECT_TRUE(m.mapSupport(-2));
    EXPECT_FALSE(m.mapSupport(-3));
    EXPECT_FALSE(m.mapSupport(100));
    EXPECT_EQ(m.getNumMapVerts(100), 0);
    // The last channel is 99: one past it is no channel, even when set.
    m.setMapSupport(99);
    EXPECT_TRUE(m.mapSupport(99));
    EXPECT_EQ(m.getNumMaps(), 100);
    m.setMapSupport(99, FALSE);
    for (const int channel : {-3, 100}) {
        m.setMapSupport(channel);
        m.Map(channel).tv.resize(2);
        EXPECT_FALSE(m.mapSupport(channel)) << channel;
        EXPECT_EQ(m.getNumMapVerts(channel), 0) << channel;
        EXPECT_EQ(m.mapVerts(channel), nullptr) << channel;
    }
    m.setMapSupport(7, FALSE);
    EXPECT_EQ(m.getNumMaps(), 2);
    EXPECT_EQ(m.Map(7).getNumVerts(), 0);

    EXPECT_FALSE(m.vDataSupport(VDATA_WEIGHT));
    EXPECT_EQ(m.vertexFloat(VDATA_WEIGHT), nullptr);
    m.setVDataSupport(VDATA_WEIGHT);
    ASSERT_NE(m.vertexFloat(VDATA_WEIGHT), nullptr);
    m.vertexFloat(VDATA_WEIGHT)[2] = 0.75f;
    EXPECT_EQ(m.vertexFloat(VDATA_WEIGHT)[2], 0.75f);
    EXPECT_EQ(m.vertexFloat(-1), nullptr);

    EXPECT_EQ(m.GetSpecifiedNormals(), nullptr);
    MeshNormalSpec& spec = m.SpecifyNormals();
    spec.normals = {Point3(0.0f, 0.0f, 2.0f), Point3()};
    spec.faces.resize(1);
    spec.faces[0].SetNormalID(2, 1);
    spec.BuildNormals();
    EXPECT_EQ(spec.GetNormal(0, 0), Point3(0.0f, 0.0f, 1.0f));
    EXPECT_EQ(spec.GetNormal(0, 2), Point3());
    EXPECT_EQ(spec.GetNormal(1, 0), Point3());
    EXPECT_EQ(spec.GetNormal(0, 3), Point3());
    EXPECT_EQ(m.GetSpecifiedNormals(), &spec);
    m.ClearSpecifiedNormals();
    EXPECT_EQ(m.GetSpecifiedNormals(), nullptr);
}

TEST(HostMesh, FaceFlagsHoldTheMaterialIdAndTheEdgeVisibility)
{
    Face f;
    EXPECT_EQ(f.flags, EDGE_ALL);
    f.setMatID(0x1234);
    EXPECT_EQ(f.getMatID(), 0x1234);
    EXPECT_EQ(f.flags, 0x12340007u);
    f.setEdgeVisFlags(1, 0, 1);
    EXPECT_EQ(f.flags & EDGE_ALL, EDGE_A | EDGE_C);
    EXPECT_EQ(f.getEdgeVis(1), 0u);
    EXPECT_NE(f.getEdgeVis(2), 0u);
    EXPECT_EQ(f.getEdgeVis(3), 0u);
    EXPECT_EQ(f.getMatID(), 0x1234);
}

TEST(HostMesh, AnEditableMeshIsItsOwnTriangleMeshOthersConvertToACopy)
{
    TriObject editable;
    EXPECT_EQ(editable.ClassID(), triObjectClassID);
    EXPECT_EQ(editable.ConvertToType(0, triObjectClassID), &editable);
    TriObject poly(Class_ID(0x1BF8338D, 0x192F6098), "Editable Poly");
    poly.mesh.setNumVerts(3);
    EXPECT_TRUE(poly.CanConvertToType(triObjectClassID));
    EXPECT_FALSE(poly.CanConvertToType(Class_ID(0x1030, 0)));
    Object* copy = poly.ConvertToType(0, triObjectClassID);
    ASSERT_NE(copy, &poly);
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(copy->IsTemporary());
    EXPECT_EQ(copy->ClassID(), triObjectClassID);
    EXPECT_EQ(static_cast<TriObject*>(copy)->mesh.getNumVerts(), 3);
    copy->DeleteMe();
    EXPECT_EQ(poly.ConvertToType(0, Class_ID(0x1030, 0)), nullptr);
    // Points are its vertices.
    EXPECT_EQ(poly.NumPoints(), 3);
    poly.SetPoint(1, Point3(1.0f, 2.0f, 3.0f));
    EXPECT_EQ(poly.GetPoint(1), Point3(1.0f, 2.0f, 3.0f));
    EXPECT_EQ(poly.GetPoint(3), Point3());
    poly.SetPoint(-1, Point3(1.0f, 1.0f, 1.0f));
}

TEST(HostPatchMesh, LinkagesGiveEachEdgeItsCornersVectorsAndPatches)
{
    PatchObject object;
    PatchMesh& p = object.patch;
    for (int i = 0; i < 6; ++i)
        p.verts.push_back(PatchVert{Point3(float(i % 3) * 10.0f, float(i / 3) * 10.0f, 0.0f)});
    p.vecs.resize(22);
    Patch a, b;
    const int av[4] = {0, 1, 4, 3}, avec[8] = {0, 1, 10, 11, 5, 4, 9, 8};
    const int bv[4] = {1, 2, 5, 4}, bvec[8] = {2, 3, 12, 13, 7, 6, 11, 10};
    std::copy(av, av + 4, a.v);
    std::copy(avec, avec + 8, a.vec);
    std::copy(bv, bv + 4, b.v);
    std::copy(bvec, bvec + 8, b.vec);
    p.patches = {a, b};
    p.buildLinkages();
    ASSERT_EQ(p.getNumEdges(), 7);
    // The shared edge (corners 1 and 4, vectors 10 and 11) lists both.
    const PatchEdge& shared = p.edges[size_t(p.patches[0].edge[1])];
    EXPECT_EQ(shared.v1, 1);
    EXPECT_EQ(shared.vec12, 10);
    EXPECT_EQ(shared.vec21, 11);
    EXPECT_EQ(shared.v2, 4);
    EXPECT_EQ(shared.patches, (std::vector<int>{0, 1}));
    EXPECT_EQ(p.patches[1].edge[3], p.patches[0].edge[1]);
    // An outer edge has one patch.
    EXPECT_EQ(p.edges[size_t(p.patches[0].edge[0])].patches, (std::vector<int>{0}));
    // Points: vertices, then vectors.
    EXPECT_EQ(object.NumPoints(), 28);
    object.SetPoint(6, Point3(1.0f, 1.0f, 1.0f));
    EXPECT_EQ(p.vecs[0].p, Point3(1.0f, 1.0f, 1.0f));
    EXPECT_EQ(object.GetPoint(1), Point3(10.0f, 0.0f, 0.0f));
    EXPECT_EQ(object.GetPoint(28), Point3());
    // A patch naming a missing corner gets no edges there.
    p.patches[1].v[2] = 60;
    p.buildLinkages();
    EXPECT_EQ(p.patches[1].edge[1], -1);
    EXPECT_EQ(p.patches[1].edge[2], -1);
    EXPECT_EQ(p.getNumEdges(), 5);
    // Indices one past the last corner or vector give no edge either; the
    // last ones do.
    struct Bound
    {
        int* index;
        int last;
    };
    const Bound bounds[] = {{&p.patches[0].v[0], 5}, {&p.patches[0].vec[0], 21}, {&p.patches[0].vec[1], 21}};
    for (const Bound& b : bounds) {
        const int kept = *b.index;
        *b.index = b.last;
        p.buildLinkages();
        EXPECT_NE(p.patches[0].edge[0], -1) << b.last;
        *b.index = b.last + 1;
        p.buildLinkages();
        EXPECT_EQ(p.patches[0].edge[0], -1) << b.last + 1;
        *b.index = -1;
        p.buildLinkages();
        EXPECT_EQ(p.patches[0].edge[0], -1) << -1;
        *b.index = kept;
    }
    // Map channels, -2 to 99.
    for (const int channel : {-2, 99}) {
        p.setMapSupport(channel);
        EXPECT_TRUE(p.getMapSupport(channel)) << channel;
        p.setMapSupport(channel, FALSE);
    }
    for (const int channel : {-3, 100}) {
        p.setMapSupport(channel);
        p.Map(channel).tv.resize(2);
        EXPECT_FALSE(p.getMapSupport(channel)) << channel;
        EXPECT_EQ(p.getNumMapVerts(channel), 0) << channel;
        EXPECT_EQ(p.mapVerts(channel), nullptr) << channel;
    }
    EXPECT_FALSE(p.getMapSupport(1));
    p.setMapSupport(3);
    p.Map(3).tv.resize(4);
    EXPECT_EQ(p.getNumMapVerts(3), 4);
    EXPECT_NE(p.mapVerts(3), nullptr);
    EXPECT_EQ(p.mapPatches(3), nullptr);
    EXPECT_EQ(p.getNumMapVerts(100), 0);
    EXPECT_EQ(object.ClassID(), patchObjectClassID);
    EXPECT_EQ(p.getMeshSteps(), 5);
}

TEST(HostNode, UserPropertiesReadByKey)
{
    HostScene scene;
    INode* node = scene.AddNode("n");
    node->SetUserPropBuffer("MapChannel:3 = floatxm1\r\n  speed=  2.5 \nMapChannel:4=-none-\nempty=\nno equals");
    struct Case
    {
        const char* key;
        bool found;
        const char* value;
    };
    const Case cases[] = {
        {"MapChannel:3", true, "floatxm1"},
        {"mapchannel:3", true, "floatxm1"},
        {"SPEED", true, "2.5"},
        {"MapChannel:4", true, "-none-"},
        {"empty", true, ""},
        {"no equals", false, "untouched"},
        {"MapChannel:5", false, "untouched"},
        {"speed ", true, "2.5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        TSTR value = "untouched";
        EXPECT_EQ(node->GetUserPropString(c.key, value), c.found ? TRUE : FALSE);
        EXPECT_STREQ(value, c.value);
    }
    EXPECT_EQ(node->GetCVertMode(), 0);
    node->SetCVertMode(1);
    EXPECT_EQ(node->GetCVertMode(), 1);
}

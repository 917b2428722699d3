// Renumbering a cube's vertices: every per-corner value (position, normal,
// uv, channel uv, weight, blend-shape delta, skin vertex) is the same
// before and after, whatever the numbering.
#include <bit>
#include <cmath>
#include <functional>
#include <map>
#include <set>
#include <tuple>

#include "render/animation/CKSkin.h"
#include "render/context/rasterizer/CKRasterizerContext.h"
#include "render/mesh/CKShaderManager.h"
#include "render/objects/CK3dEntity.h"
#include "render/objects/CKPickResult.h"
#include "tests/render/mesh/MeshTestSupport.h"
#include "tests/support/AssertCapture.h"

namespace {

class MeshGeometry : public MeshFixture
{
protected:
    // Corners (±1, ±1, ±1) by bits, each vertex with its corner direction
    // as normal (so that the corners of one position agree), a channel,
    // weights, a blend shape moving vertex 3 and a skin on an entity.
    RCKMesh* Cube()
    {
        static const int faces[12][3] = {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6}, {0, 1, 4}, {1, 5, 4},
                                         {2, 6, 3}, {3, 6, 7}, {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}};
        RCKMesh* mesh = NewMesh("cube");
        mesh->SetVertexCount(8);
        for (int i = 0; i < 8; ++i) {
            QxVector p(i & 1 ? 1.0f : -1.0f, i & 2 ? 1.0f : -1.0f, i & 4 ? 1.0f : -1.0f);
            mesh->SetVertexPosition(i, p);
            mesh->SetVertexNormal(i, p * (1.0f / std::sqrt(3.0f)));
            mesh->SetVertexTextureCoordinates(i, (float) i, 0.5f);
        }
        mesh->SetFaceCount(12);
        for (int f = 0; f < 12; ++f)
            mesh->SetFaceVertexIndex(f, faces[f][0], faces[f][1], faces[f][2]);
        const int c = mesh->AddChannel(NewMaterial("overlay"), TRUE);
        for (int i = 0; i < 8; ++i)
            mesh->SetVertexTextureCoordinates(i, 10.0f + (float) i, 1.0f, c);
        mesh->SetVertexWeightsCount(8);
        for (int i = 0; i < 8; ++i)
            mesh->SetVertexWeight(i, 0.125f * (float) i);
        CKBlendShapeData shapes;
        shapes.Names.PushBack(XString("bulge"));
        CKBlendShapeTarget target;
        target.Deltas.PushBack(CKBlendShapeDelta{3, QxVector(0, 0, 2), QxVector()});
        shapes.Targets.PushBack(target);
        shapes.BaseVertices.PushBack(CKBlendShapeBaseVertex{3, QxVector(1, 1, -1), QxVector()});
        mesh->SetBlendShapes(shapes);
        m_Entity = New<TestEntity>("entity");
        m_Entity->SetCurrentMesh(mesh);
        CKSkin* skin = m_Entity->CreateSkin();
        skin->SetVertexCount(8);
        for (int i = 0; i < 8; ++i)
            skin->GetVertexData(i)->SetInitialPos(QxVector((float) i, 0, 0));
        return mesh;
    }

    // The cube without channel, weights or blend shapes, one vertex a face
    // corner, every texture coordinate 0.
    RCKMesh* DissociatedBareCube()
    {
        RCKMesh* cube = Cube();
        cube->RemoveChannel(0);
        cube->SetVertexWeightsCount(0);
        cube->SetBlendShapes(CKBlendShapeData());
        cube->DissociateAllFaces();
        for (int i = 0; i < 36; ++i)
            cube->SetVertexTextureCoordinates(i, 0, 0);
        return cube;
    }

    using Corner = std::tuple<float, float, float, float, float, float, float, float, float, float, float>;
    // Per face corner: position, normal, uv, channel u, weight, skin
    // vertex, blend delta z.
    std::vector<Corner> Corners(RCKMesh* mesh)
    {
        std::map<int, float> delta;
        CKBlendShapeData shapes;
        mesh->GetBlendShapes(shapes);
        for (const CKBlendShapeTarget& t : shapes.Targets)
            for (const CKBlendShapeDelta& d : t.Deltas)
                delta[(int) d.Vertex] = d.Position.z;
        std::vector<Corner> out;
        for (int k = 0; k < mesh->GetFaceCount() * 3; ++k) {
            const int v = (int) mesh->GetFacesIndices()[k];
            QxVector p, n;
            float u = 0, w = 0, cu = 0;
            mesh->GetVertexPosition(v, &p);
            mesh->GetVertexNormal(v, &n);
            mesh->GetVertexTextureCoordinates(v, &u, &w);
            mesh->GetVertexTextureCoordinates(v, &cu, nullptr, 0);
            out.emplace_back(p.x, p.y, p.z, n.x, n.y, n.z, u, cu, mesh->GetVertexWeight(v),
                             m_Entity->GetSkin()->GetVertexData(v)->GetInitialPos().x, delta[v]);
        }
        return out;
    }

    CK3dEntity* m_Entity = nullptr;
};

} // namespace

TEST_F(MeshGeometry, DissociateGivesOneVertexACornerAndConsolidateMergesThemBack)
{
    RCKMesh* cube = Cube();
    // A channel on the mesh's own uvs holds no per-vertex data of its own.
    const int same = cube->AddChannel(NewMaterial("same"), FALSE);
    cube->SetChannelFlags(same, cube->GetChannelFlags(same) | CKCHANNEL_SAMEUV);
    const std::vector<Corner> corners = Corners(cube);
    cube->DissociateAllFaces();
    EXPECT_EQ(cube->GetVertexCount(), 36);
    EXPECT_EQ(m_Entity->GetSkin()->GetVertexCount(), 36);
    EXPECT_EQ(Corners(cube), corners);
    cube->Consolidate();
    EXPECT_EQ(cube->GetVertexCount(), 8);
    EXPECT_EQ(Corners(cube), corners);
    EXPECT_EQ(cube->GetTextureCoordinatesPtr(nullptr, same), nullptr) << "still no data of its own";
    CKBlendShapeData shapes;
    cube->GetBlendShapes(shapes);
    EXPECT_EQ(shapes.BaseVertices.Size(), 1) << "the copies of the base vertex merged back into one";
}

TEST_F(MeshGeometry, AProgressiveMeshRenumbersLikeTheOtherRenumberings)
{
    RCKMesh* cube = Cube();
    cube->SetLineCount(1);
    cube->SetLine(0, 3, 5);
    const std::vector<Corner> corners = Corners(cube);
    QxVector lineEnds[2];
    cube->GetVertexPosition(3, &lineEnds[0]);
    cube->GetVertexPosition(5, &lineEnds[1]);
    ASSERT_EQ(cube->CreatePM(), CKErr::Ok);
    EXPECT_EQ(cube->GetVertexCount(), 8);
    EXPECT_EQ(Corners(cube), corners);
    int a = 0, b = 0;
    cube->GetLine(0, &a, &b);
    QxVector p, q;
    cube->GetVertexPosition(a, &p);
    cube->GetVertexPosition(b, &q);
    EXPECT_EQ(p, lineEnds[0]);
    EXPECT_EQ(q, lineEnds[1]);
    // Merging or splitting vertices undoes the order: the record goes.
    cube->Consolidate();
    EXPECT_FALSE(cube->IsPM());
    ASSERT_EQ(cube->CreatePM(), CKErr::Ok);
    cube->DissociateAllFaces();
    EXPECT_FALSE(cube->IsPM());
    EXPECT_EQ(Corners(cube), corners);
}

TEST_F(MeshGeometry, OneNormalAFaceConsolidatesTo24)
{
    RCKMesh* cube = DissociatedBareCube();
    // The outward axis of each face (whatever its winding).
    for (int f = 0; f < 12; ++f) {
        QxVector centre;
        for (int k = 0; k < 3; ++k) {
            QxVector p;
            cube->GetVertexPosition((int) cube->GetFacesIndices()[3 * f + k], &p);
            centre += p;
        }
        QxVector axis(std::fabs(centre.x) == 3.0f ? centre.x / 3.0f : 0.0f,
                      std::fabs(centre.y) == 3.0f ? centre.y / 3.0f : 0.0f,
                      std::fabs(centre.z) == 3.0f ? centre.z / 3.0f : 0.0f);
        for (int k = 0; k < 3; ++k)
            cube->SetVertexNormal((int) cube->GetFacesIndices()[3 * f + k], axis);
    }
    const std::vector<Corner> corners = Corners(cube);
    cube->Consolidate();
    EXPECT_EQ(cube->GetVertexCount(), 24);
    EXPECT_EQ(Corners(cube), corners);
}

TEST_F(MeshGeometry, ADegenerateFaceGoesAndSoDoesTheVertexOnlyItUsed)
{
    RCKMesh* mesh = MakeMesh(5, {{0, 1, 2}, {0, 0, 4}, {1, 3, 2}});
    mesh->SetVertexPosition(3, QxVector(5, 0, 1));
    mesh->RemoveDegenerateFaces();
    EXPECT_EQ(mesh->GetFaceCount(), 1) << "(0, 0, 4) and the zero-area face on a line";
    EXPECT_EQ(mesh->GetVertexCount(), 3);
    for (int k = 0; k < 3; ++k)
        EXPECT_LT((int) mesh->GetFacesIndices()[k], 3);
}

TEST_F(MeshGeometry, CleanKeepsOrDropsTheVertices)
{
    RCKMesh* cube = Cube();
    cube->Clean(TRUE);
    EXPECT_EQ(cube->GetVertexCount(), 8);
    EXPECT_EQ(cube->GetBlendShapeCount(), 1);
    EXPECT_EQ(cube->GetFaceCount(), 0);
    EXPECT_EQ(cube->GetChannelCount(), 0);
    cube->Clean(FALSE);
    EXPECT_EQ(cube->GetVertexCount(), 0);
    EXPECT_EQ(cube->GetBlendShapeCount(), 0);
    EXPECT_EQ(cube->GetMaterialGroupCount(), 1);
}

TEST_F(MeshGeometry, AChannelRestrictedToAMaterialKeepsItsCornersThroughRenumbering)
{
    RCKMesh* cube = Cube();
    CKMaterial* a = NewMaterial("A");
    for (int f = 0; f < 4; ++f)
        cube->SetFaceMaterial(f, a);
    cube->SetFaceMaterial(4, NewMaterial("B"));
    const int listedTwice[2] = {0, 0}, beyond[1] = {2}, first[1] = {0};
    EXPECT_EQ(cube->SetChannelMaterials(0, listedTwice, 2), CKErr::InvalidParameter);
    EXPECT_EQ(cube->SetChannelMaterials(0, beyond, 1), CKErr::InvalidParameter);
    ASSERT_EQ(cube->SetChannelMaterials(0, first, 1), CKErr::Ok);
    auto positions = [&] {
        std::vector<std::tuple<float, float, float>> out;
        for (CKDWORD v : cube->GetChannelFaceIndices(0)) {
            QxVector p;
            cube->GetVertexPosition((int) v, &p);
            out.emplace_back(p.x, p.y, p.z);
        }
        return out;
    };
    const auto before = positions();
    EXPECT_EQ(before.size(), 12u) << "the corners of material A's four faces";
    cube->DissociateAllFaces();
    EXPECT_EQ(positions(), before);
    // Each channel triangle takes the very corners of its own face, not
    // other copies of the same vertices.
    std::set<std::array<CKDWORD, 3>> ownFaces;
    for (int f = 0; f < 4; ++f)
        ownFaces.insert(
            {cube->GetFacesIndices()[3 * f], cube->GetFacesIndices()[3 * f + 1], cube->GetFacesIndices()[3 * f + 2]});
    const XArray<CKDWORD>& corners = cube->GetChannelFaceIndices(0);
    for (int t = 0; t + 2 < corners.Size(); t += 3)
        EXPECT_EQ(ownFaces.count({corners[t], corners[t + 1], corners[t + 2]}), 1u) << "channel triangle " << t / 3;
    cube->Consolidate();
    EXPECT_EQ(positions(), before);
    EXPECT_EQ(cube->GetChannelMaterialIndices(0).Size(), 1);
}

TEST_F(MeshGeometry, TheFaceNormalsOfAUnitCubeGivenPerCornerConsolidateTo24)
{
    RCKMesh* cube = DissociatedBareCube();
    cube->BuildFaceNormals();
    bool negativeZero = false;
    for (int f = 0; f < 12; ++f) {
        const QxVector normal = cube->GetFaceNormal(f);
        for (float c : {normal.x, normal.y, normal.z})
            negativeZero = negativeZero || (c == 0.0f && std::signbit(c));
        for (int k = 0; k < 3; ++k)
            cube->SetVertexNormal((int) cube->GetFacesIndices()[3 * f + k], normal);
    }
    ASSERT_TRUE(negativeZero) << "the engine's face normals carry -0, which must merge with +0";
    cube->Consolidate();
    EXPECT_EQ(cube->GetVertexCount(), 24);
}

// Two vertices alike but for one value, and a third apart: whether the two
// merge.
TEST_F(MeshGeometry, ConsolidateComparesFloatsByValueAndOtherWordsByBits)
{
    const float nan1 = std::bit_cast<float>(0x7FC00001u), nan2 = std::bit_cast<float>(0x7FC00002u);
    struct Case
    {
        const char* what;
        std::function<void(RCKMesh*, int vertex, bool other)> set;
        int expected;
    };
    const std::vector<Case> cases = {
        {"position x -0 and +0",
         [](RCKMesh* m, int v, bool o) { m->SetVertexPosition(v, QxVector(o ? -0.0f : 0.0f, 0, 0)); }, 2},
        {"normal y -0 and +0",
         [](RCKMesh* m, int v, bool o) { m->SetVertexNormal(v, QxVector(1, o ? -0.0f : 0.0f, 0)); }, 2},
        {"u -0 and +0", [](RCKMesh* m, int v, bool o) { m->SetVertexTextureCoordinates(v, o ? -0.0f : 0.0f, 1); }, 2},
        {"v -0 and +0", [](RCKMesh* m, int v, bool o) { m->SetVertexTextureCoordinates(v, 1, o ? -0.0f : 0.0f); }, 2},
        {"channel u -0 and +0",
         [](RCKMesh* m, int v, bool o) { m->SetVertexTextureCoordinates(v, o ? -0.0f : 0.0f, 2, 0); }, 2},
        {"weight -0 and +0", [](RCKMesh* m, int v, bool o) { m->SetVertexWeight(v, o ? -0.0f : 0.0f); }, 2},
        {"u the same NaN", [nan1](RCKMesh* m, int v, bool) { m->SetVertexTextureCoordinates(v, nan1, 1); }, 2},
        {"u two NaNs", [=](RCKMesh* m, int v, bool o) { m->SetVertexTextureCoordinates(v, o ? nan2 : nan1, 1); }, 3},
        {"u 1 and 2", [](RCKMesh* m, int v, bool o) { m->SetVertexTextureCoordinates(v, o ? 2.0f : 1.0f, 1); }, 3},
        {"specular 0x80000000 and 0",
         [](RCKMesh* m, int v, bool o) { m->SetVertexSpecularColor(v, o ? 0x80000000u : 0u); }, 3},
        {"diffuse 0x80000000 and 0", [](RCKMesh* m, int v, bool o) { m->SetVertexColor(v, o ? 0x80000000u : 0u); }, 3},
    };
    for (const Case& c : cases) {
        RCKMesh* mesh = NewMesh("pair");
        mesh->SetVertexCount(3);
        mesh->AddChannel(NewMaterial("overlay"), TRUE);
        mesh->SetVertexWeightsCount(3);
        mesh->SetVertexPosition(2, QxVector(5, 5, 5));
        c.set(mesh, 0, false);
        c.set(mesh, 1, true);
        mesh->SetFaceCount(1);
        mesh->SetFaceVertexIndex(0, 0, 1, 2);
        mesh->Consolidate();
        EXPECT_EQ(mesh->GetVertexCount(), c.expected) << c.what;
        m_Context->DestroyObject(mesh);
    }
}

TEST_F(MeshGeometry, ABlendShapeDeltaOfMinusZeroMergesWithAVertexThatHasNone)
{
    RCKMesh* mesh = NewMesh("pair");
    mesh->SetVertexCount(3);
    mesh->SetVertexPosition(2, QxVector(5, 5, 5));
    mesh->SetFaceCount(1);
    mesh->SetFaceVertexIndex(0, 0, 1, 2);
    CKBlendShapeData shapes;
    shapes.Names.PushBack(XString("still"));
    CKBlendShapeTarget target;
    target.Deltas.PushBack(CKBlendShapeDelta{0, QxVector(-0.0f, 0, 0), QxVector(0, -0.0f, 0)});
    shapes.Targets.PushBack(target);
    mesh->SetBlendShapes(shapes);
    mesh->Consolidate();
    EXPECT_EQ(mesh->GetVertexCount(), 2);
}

TEST_F(MeshGeometry, CornerTangentsOfOnePositionAreSharedWhenTheNormalsDifferOnlyByTheSignOfZero)
{
    RCKMesh* mesh = NewMesh("two faces");
    mesh->SetVertexCount(6);
    const QxVector p[3] = {QxVector(0, 0, 0), QxVector(1, 0, 0), QxVector(0, 1, 0)};
    for (int i = 0; i < 6; ++i) {
        mesh->SetVertexPosition(i, p[i % 3]);
        mesh->SetVertexNormal(i, QxVector(0, i < 3 ? 0.0f : -0.0f, 1));
    }
    // The first face's u runs along x, the second's along y.
    const float uv[6][2] = {{0, 0}, {1, 0}, {0, 1}, {0, 0}, {0, 1}, {1, 0}};
    for (int i = 0; i < 6; ++i)
        mesh->SetVertexTextureCoordinates(i, uv[i][0], uv[i][1]);
    mesh->SetFaceCount(2);
    mesh->SetFaceVertexIndex(0, 0, 1, 2);
    mesh->SetFaceVertexIndex(1, 3, 4, 5);
    ASSERT_FALSE(CKAccumulateTangents(m_Context));
    mesh->SetFlags(mesh->GetFlags() | CKMESH_TANGENTS);
    const XArray<QxVector>& t = mesh->GetTangents();
    ASSERT_EQ(t.Size(), 6);
    EXPECT_EQ(t[0].x, t[3].x);
    EXPECT_EQ(t[0].y, t[3].y);
    EXPECT_NEAR(std::fabs(t[0].x), std::sqrt(0.5f), 1e-6f) << "the two corners' tangents averaged";
}

TEST_F(MeshGeometry, ALinePickHitsWithin10PixelsAtThePerspectiveCorrectPoint)
{
    RCKRenderContext* rc = NewRecordingContext(320, 240);
    QxMatrix projection;
    projection.Perspective(1.0f, 320.0f / 240.0f, 1.0f, 100.0f);
    rc->SetProjectionTransformationMatrix(projection);
    rc->SetWorldTransformationMatrix(QxMatrix::Identity());
    // A line from near to far (level on the screen), another vertex.
    RCKMesh* mesh = MakeMesh(3, {});
    mesh->SetVertexPosition(0, QxVector(-1, 0, 5));
    mesh->SetVertexPosition(1, QxVector(2, 0, 12));
    mesh->SetVertexPosition(2, QxVector(0, 3, 5));
    mesh->SetLineCount(1);
    mesh->SetLine(0, 0, 1);
    QxVector4 screen[2];
    CKTransformData data;
    data.InVertices = mesh->GetPositionsPtr(&data.InStride);
    data.ScreenVertices = screen;
    data.ScreenStride = sizeof(QxVector4);
    rc->GetRasterizerContext()->TransformVertices(2, data);
    ASSERT_EQ(screen[0].y, screen[1].y);
    // A point a third of the way along the line on the screen.
    const Qx2DVector foot(screen[0].x + (screen[1].x - screen[0].x) / 3.0f, screen[0].y);

    CKPickResult result;
    result.Distance = 7.0f;
    result.FaceIndex = 5;
    ASSERT_EQ(mesh->IntersectLines(Qx2DVector(foot.x, foot.y + 9.0f), &result, rc, nullptr), 1);
    EXPECT_EQ(result.Distance, -1.0f);
    EXPECT_EQ(result.FaceIndex, 0);
    // The point found lies on the line and projects onto the foot.
    mesh->SetVertexPosition(2, result.Point);
    QxVector4 found[3];
    data.InVertices = mesh->GetPositionsPtr(&data.InStride);
    data.ScreenVertices = found;
    rc->GetRasterizerContext()->TransformVertices(3, data);
    EXPECT_NEAR(found[2].x, foot.x, 1e-3f);
    EXPECT_NEAR(result.Point.y, 0.0f, 1e-6f);
    EXPECT_LT(result.Point.z, 5.0f + 7.0f / 3.0f - 0.5f) << "the near end takes more of the screen than of the line";

    EXPECT_EQ(mesh->IntersectLines(Qx2DVector(foot.x, foot.y - 10.0f), &result, rc, nullptr), 0);
    EXPECT_EQ(mesh->IntersectLines(Qx2DVector(screen[1].x + 2.0f, screen[1].y), nullptr, rc, nullptr), 0)
        << "past the end";
    EXPECT_EQ(mesh->IntersectLines(Qx2DVector(screen[0].x, screen[0].y), nullptr, rc, nullptr), 1);
    // Through an entity's world matrix: moved 1 down, the line leaves the
    // foot by some 30 pixels.
    TestEntity* entity = New<TestEntity>("moved");
    entity->SetPosition(0, -1, 0);
    EXPECT_EQ(mesh->IntersectLines(foot, nullptr, rc, entity), 0);
    rc->SetWorldTransformationMatrix(QxMatrix::Identity());
    EXPECT_EQ(mesh->IntersectLines(foot, nullptr, rc, nullptr), 1);
    EXPECT_EQ(MakeMesh(2, {})->IntersectLines(foot, nullptr, rc, nullptr), 0) << "no line";
    EXPECT_EQ(mesh->IntersectLines(foot, &result, nullptr, nullptr), 0) << "no render context";
    // Either end behind the eye: the line is not picked, even on the
    // screen point of its other end.
    const struct
    {
        int behind;
        QxVector4 at;
    } behindTheEye[] = {{1, screen[0]}, {0, screen[1]}};
    for (const auto& c : behindTheEye) {
        mesh->SetVertexPosition(0, QxVector(-1, 0, c.behind == 0 ? -5.0f : 5.0f));
        mesh->SetVertexPosition(1, QxVector(2, 0, c.behind == 1 ? -5.0f : 12.0f));
        EXPECT_EQ(mesh->IntersectLines(Qx2DVector(c.at.x, c.at.y), nullptr, rc, nullptr), 0) << "end " << c.behind;
    }
    mesh->SetVertexCount(0);
    EXPECT_EQ(mesh->IntersectLines(foot, nullptr, rc, nullptr), 0) << "no vertex";
}

TEST_F(MeshGeometry, TangentsFollowTheRenumberingAndLinesPastTheVerticesGoToVertexZero)
{
    RCKMesh* cube = Cube();
    cube->SetFlags(cube->GetFlags() | CKMESH_TANGENTS);
    ASSERT_EQ(cube->GetTangents().Size(), 8);
    // Per corner: the tangent and the bitangent of its vertex.
    auto perCorner = [&] {
        std::vector<std::tuple<float, float, float, float, float, float>> out;
        for (int k = 0; k < cube->GetFaceCount() * 3; ++k) {
            const int v = (int) cube->GetFacesIndices()[k];
            const QxVector& t = cube->GetTangents()[v];
            const QxVector& b = cube->GetBinormals()[v];
            out.emplace_back(t.x, t.y, t.z, b.x, b.y, b.z);
        }
        return out;
    };
    const auto before = perCorner();
    const std::vector<Corner> corners = Corners(cube);
    cube->DissociateAllFaces();
    ASSERT_EQ(cube->GetTangents().Size(), 36);
    EXPECT_EQ(perCorner(), before);
    EXPECT_EQ(Corners(cube), corners);
    cube->Consolidate();
    ASSERT_EQ(cube->GetTangents().Size(), 8);
    EXPECT_EQ(perCorner(), before);
    EXPECT_EQ(Corners(cube), corners);

    // A line left naming a vertex the count no longer has.
    RCKMesh* mesh = MakeMesh(4, {{0, 1, 2}});
    mesh->SetLineCount(1);
    mesh->SetLine(0, 2, 3);
    mesh->SetVertexCount(3);
    AssertCapture asserts;
    mesh->Consolidate();
    EXPECT_TRUE(asserts.Texts().empty()) << "no index is looked up past the vertices";
    int a = -1, b = -1;
    mesh->GetLine(0, &a, &b);
    EXPECT_EQ(a, 2);
    EXPECT_EQ(b, 0);
}

TEST_F(MeshGeometry, AChannelTriangleIsDegenerateOnlyWhenTwoCornersShareTheirWholePosition)
{
    // Vertices 0, 1, 2 on the line x = 0 but apart; vertex 3 where 2 is.
    RCKMesh* mesh = MakeMesh(5, {{0, 1, 4}, {1, 2, 4}, {2, 0, 4}});
    mesh->SetVertexPosition(0, QxVector(0, 0, 0));
    mesh->SetVertexPosition(1, QxVector(0, 1, 0));
    mesh->SetVertexPosition(2, QxVector(0, 1, 1));
    mesh->SetVertexPosition(3, QxVector(0, 1, 1));
    mesh->SetVertexPosition(4, QxVector(1, 0, 0));
    const int c = mesh->AddChannel(NewMaterial("overlay"), TRUE);
    const CKWORD corners[6] = {0, 1, 2, 1, 2, 3};
    ASSERT_EQ(mesh->SetChannelFaceIndices(c, 6, corners), CKErr::Ok);
    mesh->RemoveDegenerateFaces();
    ASSERT_EQ(mesh->GetChannelFaceIndices(c).Size(), 3) << "(1, 2, 3) goes: 2 and 3 are one point";
    QxVector p[3];
    for (int k = 0; k < 3; ++k)
        mesh->GetVertexPosition((int) mesh->GetChannelFaceIndices(c)[k], &p[k]);
    EXPECT_EQ(p[0], QxVector(0, 0, 0));
    EXPECT_EQ(p[1], QxVector(0, 1, 0));
    EXPECT_EQ(p[2], QxVector(0, 1, 1));
    EXPECT_EQ(mesh->GetVertexCount(), 4) << "vertex 3 is used by no face and no channel corner any more";
}

// Random meshes of few distinct values (both zeros, two NaNs, colours that
// differ only in the top bit) against a plain model: each vertex becomes the
// first earlier one whose record equals its own word for word, floats by
// their merge key, colours and blend records by bits; the kept vertices
// keep their first record's bits and their order.
TEST_F(MeshGeometry, ConsolidateMatchesAFirstEqualRecordModel)
{
    struct Case
    {
        const char* what;
        int vertices;
        bool channel, weights, blendRecords;
        int targets;
    };
    const Case cases[] = {
        {"one vertex", 1, false, false, false, 0},         {"bare", 300, false, false, false, 0},
        {"many bare", 3000, false, false, false, 0},       {"with a channel", 500, true, false, false, 0},
        {"with weights", 500, false, true, false, 0},      {"with blend records", 500, false, false, true, 0},
        {"with two targets", 500, false, false, false, 2}, {"with everything", 2000, true, true, true, 1},
    };
    const CKDWORD floats[] = {0x00000000u, 0x80000000u, 0x3F800000u, 0xBF800000u, 0x7FC00001u, 0x7FC00002u};
    const CKDWORD words[] = {0x00000000u, 0x80000000u, 0xFFFFFFFFu};
    // Each vertex draws its values from one of a few prototypes; zeros
    // take either sign on their own, so that only they tell copies apart.
    CKDWORD seed = 12345, local = 0;
    auto step = [](CKDWORD& x, int n) {
        x = x * 1664525u + 1013904223u;
        return (int) ((x >> 16) % (CKDWORD) n);
    };
    auto pick = [&](int n) { return step(seed, n); };
    auto anyFloat = [&] {
        const CKDWORD bits = floats[step(local, 2) ? step(local, 3) : step(local, 6)];
        return std::bit_cast<float>(bits == 0x80000000u || bits == 0 ? (pick(2) ? 0x80000000u : 0u) : bits);
    };
    auto anyWord = [&](int n) { return words[step(local, n)]; };
    for (const Case& c : cases) {
        RCKMesh* mesh = NewMesh(c.what);
        // Lines, some of them left naming a vertex past the count.
        mesh->SetVertexCount(c.vertices + 1);
        mesh->SetLineCount(8);
        std::vector<std::pair<int, int>> lines;
        for (int l = 0; l < 8; ++l) {
            // The first two each with one end past the count.
            lines.emplace_back(l == 0 ? c.vertices : pick(c.vertices + 1), l == 1 ? c.vertices : pick(c.vertices + 1));
            mesh->SetLine(l, lines.back().first, lines.back().second);
        }
        mesh->SetVertexCount(c.vertices);
        if (c.channel)
            mesh->AddChannel(NewMaterial("overlay"), TRUE);
        if (c.weights)
            mesh->SetVertexWeightsCount(c.vertices);
        if (c.blendRecords)
            mesh->GetBlendRecords().Resize(c.vertices);
        const int prototypes = c.vertices / 6 + 1;
        std::vector<float> deltaOf(c.vertices);
        for (int i = 0; i < c.vertices; ++i) {
            local = 777u + (CKDWORD) pick(prototypes) * 2654435761u;
            mesh->SetVertexPosition(i, QxVector(anyFloat(), anyFloat(), (float) step(local, 3)));
            mesh->SetVertexNormal(i, QxVector(anyFloat(), 0.0f, anyFloat()));
            mesh->SetVertexTextureCoordinates(i, anyFloat(), anyFloat());
            mesh->SetVertexColor(i, anyWord(3));
            mesh->SetVertexSpecularColor(i, anyWord(2));
            if (c.channel)
                mesh->SetVertexTextureCoordinates(i, anyFloat(), anyFloat(), 0);
            if (c.weights)
                mesh->SetVertexWeight(i, anyFloat());
            if (c.blendRecords)
                for (CKDWORD& w : mesh->GetBlendRecords()[i].Values)
                    w = step(local, 4) ? 0u : anyWord(3);
            deltaOf[i] = anyFloat();
        }
        CKBlendShapeData shapes;
        for (int t = 0; t < c.targets; ++t) {
            shapes.Names.PushBack(XString("target"));
            CKBlendShapeTarget target;
            for (int v = t; v < c.vertices; v += 3)
                target.Deltas.PushBack(CKBlendShapeDelta{(CKDWORD) v, QxVector(deltaOf[v], 0, 0), QxVector()});
            // One past the vertices, which goes.
            target.Deltas.PushBack(CKBlendShapeDelta{(CKDWORD) c.vertices, QxVector(1, 0, 0), QxVector()});
            shapes.Targets.PushBack(target);
        }
        if (c.targets)
            mesh->SetBlendShapes(shapes);
        const int faces = c.vertices;
        mesh->SetFaceCount(faces);
        for (int f = 0; f < faces; ++f)
            mesh->SetFaceVertexIndex(f, pick(c.vertices), pick(c.vertices), pick(c.vertices));

        XArray<CKDWORD> before;
        int recordWords = 0;
        // The delta words of a vertex without a delta read 0, whatever the
        // array held before.
        const int stride = mesh->GetInterleavedRecords(before, true, &recordWords);
        std::fill(before.Begin(), before.End(), 0xFFFFFFFFu);
        ASSERT_EQ(mesh->GetInterleavedRecords(before, true, nullptr), stride);
        for (int t = 0; t < c.targets; ++t)
            for (int v = 0; v < c.vertices; ++v)
                for (int w = 0; w < 6 && v % 3 != t; ++w)
                    ASSERT_EQ(before[v * stride + recordWords + 6 * t + w], 0u) << c.what << " vertex " << v;
        const std::vector<CKDWORD> corners(mesh->GetFacesIndices(), mesh->GetFacesIndices() + 3 * faces);
        const int bitsFrom = 8, bitsTo = 10 + (c.blendRecords ? 4 : 0);
        auto same = [&](int a, int b) {
            for (int w = 0; w < stride; ++w) {
                CKDWORD x = before[a * stride + w], y = before[b * stride + w];
                if (w < bitsFrom || w >= bitsTo) {
                    x = x == 0x80000000u ? 0u : x;
                    y = y == 0x80000000u ? 0u : y;
                }
                if (x != y)
                    return false;
            }
            return true;
        };
        std::vector<int> map(c.vertices), kept;
        for (int i = 0; i < c.vertices; ++i) {
            map[i] = (int) kept.size();
            for (size_t k = 0; k < kept.size(); ++k)
                if (same(kept[k], i)) {
                    map[i] = (int) k;
                    break;
                }
            if (map[i] == (int) kept.size())
                kept.push_back(i);
        }

        if (c.vertices > 1) {
            EXPECT_LT(2 * kept.size(), (size_t) c.vertices) << "most vertices have an equal: " << c.what;
        }
        AssertCapture asserts;
        mesh->Consolidate();
        EXPECT_TRUE(asserts.Texts().empty()) << "no index is looked up past its array: " << c.what;
        ASSERT_EQ(mesh->GetVertexCount(), (int) kept.size()) << c.what;
        for (int k = 0; k < 3 * faces; ++k)
            ASSERT_EQ(mesh->GetFacesIndices()[k], (CKDWORD) map[corners[k]]) << c.what << " corner " << k;
        for (int l = 0; l < 8; ++l) {
            int a = -1, b = -1;
            mesh->GetLine(l, &a, &b);
            const auto [from, to] = lines[l];
            EXPECT_EQ(a, from < c.vertices ? map[from] : 0) << c.what << " line " << l;
            EXPECT_EQ(b, to < c.vertices ? map[to] : 0) << c.what << " line " << l;
        }
        // The skin's blend records go with the old numbering; every other
        // word is the first record's.
        XArray<CKDWORD> after;
        const int afterStride = mesh->GetInterleavedRecords(after, false, nullptr);
        ASSERT_EQ(afterStride, recordWords - (c.blendRecords ? 4 : 0)) << c.what;
        for (size_t k = 0; k < kept.size(); ++k)
            for (int w = 0, from = 0; w < afterStride; ++w, ++from) {
                if (from == 10 && c.blendRecords)
                    from += 4;
                ASSERT_EQ(after[(int) k * afterStride + w], before[kept[k] * stride + from])
                    << c.what << " vertex " << k << " word " << w;
            }
        // A target keeps the first delta that lands on each new vertex.
        CKBlendShapeData got;
        mesh->GetBlendShapes(got);
        for (int t = 0; t < c.targets; ++t) {
            std::vector<std::pair<CKDWORD, CKDWORD>> expected, found;
            std::vector<bool> taken(kept.size());
            for (const CKBlendShapeDelta& d : shapes.Targets[t].Deltas)
                if ((int) d.Vertex < c.vertices && !taken[map[d.Vertex]]) {
                    taken[map[d.Vertex]] = true;
                    expected.emplace_back(map[d.Vertex], std::bit_cast<CKDWORD>(d.Position.x));
                }
            for (const CKBlendShapeDelta& d : got.Targets[t].Deltas)
                found.emplace_back(d.Vertex, std::bit_cast<CKDWORD>(d.Position.x));
            EXPECT_EQ(found, expected) << c.what << " target " << t;
        }
        m_Context->DestroyObject(mesh);
    }
}

// Whether RemoveDegenerateFaces drops faces and channel triangles, and tells
// of changed faces (an optimised mesh is no longer so) only when it does.
TEST_F(MeshGeometry, RemoveDegenerateFacesTellsOfChangedFacesOnlyWhenItDropsSome)
{
    struct Case
    {
        const char* what;
        std::vector<::Corners> faces;
        std::vector<CKWORD> channel;
        int shrinkTo;
        int faceCount, channelCorners;
        bool stillOptimized;
    };
    const Case cases[] = {
        {"nothing degenerate", {{0, 1, 2}, {0, 2, 3}}, {0, 1, 2}, 4, 2, 3, true},
        {"a repeated corner, every vertex still used", {{0, 1, 2}, {0, 2, 3}, {0, 0, 1}}, {}, 4, 2, 0, false},
        {"a channel corner past the vertices", {{0, 1, 2}}, {0, 1, 3, 0, 1, 2}, 3, 1, 3, true},
    };
    for (const Case& c : cases) {
        RCKMesh* mesh = MakeMesh(4, c.faces);
        const QxVector at[4] = {QxVector(0, 0, 0), QxVector(1, 0, 0), QxVector(0, 1, 0), QxVector(0, 0, 1)};
        for (int i = 0; i < 4; ++i)
            mesh->SetVertexPosition(i, at[i]);
        if (!c.channel.empty()) {
            const int channel = mesh->AddChannel(NewMaterial("overlay"), TRUE);
            ASSERT_EQ(mesh->SetChannelFaceIndices(channel, (int) c.channel.size(), c.channel.data()), CKErr::Ok);
        }
        mesh->SetVertexCount(c.shrinkTo);
        mesh->SetFlags(mesh->GetFlags() | CKMESH_OPTIMIZED);
        mesh->RemoveDegenerateFaces();
        EXPECT_EQ(mesh->GetFaceCount(), c.faceCount) << c.what;
        if (!c.channel.empty()) {
            EXPECT_EQ(mesh->GetChannelFaceIndices(0).Size(), c.channelCorners) << c.what;
        }
        EXPECT_EQ((mesh->GetFlags() & CKMESH_OPTIMIZED) != 0, c.stillOptimized) << c.what;
        m_Context->DestroyObject(mesh);
    }
}

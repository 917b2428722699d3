#include <cmath>

#include <gtest/gtest.h>

#include "core/context/CKDefines.h"
#include "exporter/builder/ExportBuilder.h"
#include "render/mesh/CKBlendShapeData.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKMesh.h"
#include "tests/exporter/support/ExporterTestSupport.h"

namespace {

using CreateEngineMeshTest = EngineFixture;

// A quad of two faces over four host vertices, one coordinate per vertex in
// each of the channels asked for (channel c holds (i + c, 10 c, c + 0.5,
// c + 0.25) for vertex i).
MeshBuilder Quad(int channels, CKMaterial* material = nullptr, CKBOOL prelit = FALSE)
{
    MeshBuilder b(prelit, nullptr);
    for (int i = 0; i < 4; ++i)
        b.positions.PushBack(QxVector((float) (i & 1), (float) (i >> 1), 0));
    b.AddFace(0, 1, 2, material);
    b.AddFace(2, 1, 3, nullptr);
    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < 4; ++i)
            b.AddTextureCoordinate(UV((float) (i + c), 10.0f * (float) c, (float) c + 0.5f, (float) c + 0.25f), c);
    return b;
}

TEST_F(CreateEngineMeshTest, VerticesFacesMaterialsAndTheKeptBuilder)
{
    ExportBuilder builder(m_Context, FALSE);
    auto* material = Make<CKMaterial>(CKCID_MATERIAL, "m");
    MeshBuilder b = Quad(1, material);
    for (int i = 0; i < 4; ++i)
        b.normals.PushBack(QxVector(0, 0, 1));
    ASSERT_EQ(b.Weld(TRUE), 1);
    const ExportKey node = 0x12340;
    CKMesh* mesh = builder.CreateEngineMesh(b, "Quad_Mesh", node, TRUE);
    ASSERT_NE(mesh, nullptr);
    EXPECT_STREQ(mesh->GetName(), "Quad_Mesh");
    ASSERT_EQ(mesh->GetVertexCount(), 4);
    ASSERT_EQ(mesh->GetFaceCount(), 2);
    EXPECT_EQ(mesh->GetLitMode(), 1);
    int a, c, d;
    mesh->GetFaceVertexIndex(1, a, c, d);
    EXPECT_EQ(a, 2);
    EXPECT_EQ(c, 1);
    EXPECT_EQ(d, 3);
    EXPECT_EQ(mesh->GetFaceMaterial(0), material);
    EXPECT_EQ(mesh->GetFaceMaterial(1), nullptr);
    QxVector p, n;
    mesh->GetVertexPosition(3, &p);
    mesh->GetVertexNormal(3, &n);
    EXPECT_EQ(p.x, 1.0f);
    EXPECT_EQ(p.y, 1.0f);
    EXPECT_EQ(n.z, 1.0f);
    float u, v;
    mesh->GetVertexTextureCoordinates(3, &u, &v);
    EXPECT_EQ(u, 3.0f);
    EXPECT_EQ(mesh->GetVertexColor(0), 0xFFFFFFFFu);
    EXPECT_EQ(mesh->GetChannelCount(), 0);

    EXPECT_EQ(builder.meshes.FindPtr(node) ? *builder.meshes.FindPtr(node) : nullptr, mesh);
    MeshBuilder* kept = builder.FindMeshBuilder(node);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(builder.FindMeshBuilder((ExportKey) mesh), kept);
    EXPECT_NE(kept, &b);
    EXPECT_EQ(kept->weldedVertices.Size(), 4);
    EXPECT_EQ(builder.FindMeshBuilder(0x99900), nullptr);
    ASSERT_EQ(builder.createdObjects.Size(), 1);
    // Forgetting the mesh forgets its builder under the mesh.
    builder.ForgetObject(mesh);
    EXPECT_EQ(builder.FindMeshBuilder((ExportKey) mesh), nullptr);

    // Without keep and key: nothing kept, nothing mapped.
    CKMesh* other = builder.CreateEngineMesh(b, "Other", 0, FALSE);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(builder.FindMeshBuilder((ExportKey) other), nullptr);
    EXPECT_EQ(builder.meshBuilders.Size(), 1);
}

TEST_F(CreateEngineMeshTest, ExtraChannelsInTheOrderAdded)
{
    ExportBuilder builder(m_Context, FALSE);
    auto* material = Make<CKMaterial>(CKCID_MATERIAL, "channel");
    MeshBuilder b = Quad(4);
    b.AddTypedChannel(2);
    b.AddMaterialChannel(material);
    b.AddTypedChannel(4);
    ASSERT_EQ(b.Weld(TRUE), 1);
    CKMesh* mesh = builder.CreateEngineMesh(b, "Channels", 0, FALSE);
    ASSERT_EQ(mesh->GetChannelCount(), 3);
    EXPECT_EQ(mesh->GetChannelMaterial(0), nullptr);
    EXPECT_EQ(mesh->GetChannelType(0), 2);
    EXPECT_EQ(mesh->GetChannelMaterial(1), material);
    EXPECT_EQ(mesh->GetChannelSourceBlend(1), 5);
    EXPECT_EQ(mesh->GetChannelDestBlend(1), 6);
    EXPECT_EQ(mesh->GetChannelType(2), 4);
    float values[4] = {};
    mesh->GetChannelData(2, 2, values);
    EXPECT_EQ(values[0], 5.0f);
    EXPECT_EQ(values[1], 30.0f);
    EXPECT_EQ(values[2], 3.5f);
    EXPECT_EQ(values[3], 3.25f);
    float two[4] = {};
    mesh->GetChannelData(1, 0, two);
    EXPECT_EQ(two[0], 2.0f);
    EXPECT_EQ(two[1], 10.0f);
    float u, v;
    mesh->GetVertexTextureCoordinates(1, &u, &v, 1);
    EXPECT_EQ(u, 3.0f);
    EXPECT_EQ(v, 20.0f);
}

// Float channels exist of types 1 to 4 only: the builder refuses the
// others, and the engine mesh skips them whole in lists filled by hand; the
// rest keep their order.
TEST_F(CreateEngineMeshTest, TypedChannelsOfTypesOneToFourOnly)
{
    ExportBuilder builder(m_Context, FALSE);
    MeshBuilder b = Quad(7);
    EXPECT_EQ(b.AddTypedChannel(0), 0);
    EXPECT_EQ(b.AddTypedChannel(5), 0);
    for (int type : {0, 1, 2, 3, 4, 5}) {
        b.channelMaterials.PushBack(nullptr);
        b.channelTypes.PushBack(type);
    }
    ASSERT_EQ(b.Weld(TRUE), 1);
    CKMesh* mesh = builder.CreateEngineMesh(b, "Types", 0, FALSE);
    ASSERT_EQ(mesh->GetChannelCount(), 4);
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(mesh->GetChannelType(c), c + 1) << c;
        float values[4] = {};
        mesh->GetChannelData(0, c, values);
        EXPECT_EQ(values[0], (float) (c + 2)) << "the coordinates of builder channel " << c + 2;
    }
}

// A builder changed after its welding is held to its vertex count: a face
// corner or a blend-shape delta naming the vertex one past the last is left
// out (the face keeps indices in range), one on the last is kept.
TEST_F(CreateEngineMeshTest, IndicesAtTheVertexCountAreLeftOut)
{
    ExportBuilder builder(m_Context, FALSE);
    for (int corner = 0; corner < 3; ++corner) {
        MeshBuilder b = Quad(0);
        ASSERT_EQ(b.Weld(TRUE), 1);
        ASSERT_EQ(b.weldedVertices.Size(), 4);
        b.weldedFaces[1].index[corner] = 4;
        BlendShapeTarget& target = b.blendShapeTargets.PushBack(BlendShapeTarget());
        for (CKDWORD vertex : {4u, 3u}) {
            BlendShapeVertexDelta delta;
            delta.vertex = vertex;
            delta.position = QxVector(0, 0, 1);
            target.deltas.PushBack(delta);
        }
        CKMesh* mesh = builder.CreateEngineMesh(b, "Past", 0, FALSE);
        ASSERT_EQ(mesh->GetFaceCount(), 2);
        int i[3];
        mesh->GetFaceVertexIndex(1, i[0], i[1], i[2]);
        for (int k = 0; k < 3; ++k)
            EXPECT_LT(i[k], 4) << corner;
        mesh->GetFaceVertexIndex(0, i[0], i[1], i[2]);
        EXPECT_EQ(i[1], 1) << "face 0 as welded";
        CKBlendShapeData data;
        mesh->GetBlendShapes(data);
        ASSERT_EQ(data.Targets.Size(), 1);
        ASSERT_EQ(data.Targets[0].Deltas.Size(), 1);
        EXPECT_EQ(data.Targets[0].Deltas[0].Vertex, 3u);
        ASSERT_EQ(data.BaseVertices.Size(), 1);
        EXPECT_EQ(data.BaseVertices[0].Vertex, 3u);
    }
}

TEST_F(CreateEngineMeshTest, NoExtraChannelWhenTheListsDisagree)
{
    ExportBuilder builder(m_Context, FALSE);
    // Two coordinate channels but two channel entries: skipped.
    MeshBuilder b = Quad(2);
    b.AddTypedChannel(1);
    b.AddTypedChannel(1);
    ASSERT_EQ(b.Weld(TRUE), 1);
    EXPECT_EQ(builder.CreateEngineMesh(b, "a", 0, FALSE)->GetChannelCount(), 0);
    // No coordinates at all, one channel entry: nothing either.
    MeshBuilder none = Quad(0);
    none.AddTypedChannel(1);
    ASSERT_EQ(none.Weld(TRUE), 1);
    EXPECT_EQ(builder.CreateEngineMesh(none, "b", 0, FALSE)->GetChannelCount(), 0);
}

TEST_F(CreateEngineMeshTest, PrelitColoursAndBuiltNormals)
{
    ExportBuilder builder(m_Context, FALSE);
    MeshBuilder b = Quad(0, nullptr, TRUE);
    for (int i = 0; i < 4; ++i)
        b.colours.PushBack(QxColor(1.0f, 0.5f, 0.0f, 2.0f));
    ASSERT_EQ(b.Weld(TRUE), 1);
    CKMesh* mesh = builder.CreateEngineMesh(b, "lit", 0, FALSE);
    EXPECT_EQ(mesh->GetLitMode(), 0);
    EXPECT_EQ(mesh->GetVertexColor(2), 0xFFFF7F00u);
    EXPECT_EQ(mesh->GetVertexSpecularColor(2), 0u);

    // Lit, without normals: they are built from the faces.
    MeshBuilder plain = Quad(0);
    ASSERT_EQ(plain.Weld(TRUE), 1);
    CKMesh* built = builder.CreateEngineMesh(plain, "built", 0, FALSE);
    QxVector n;
    built->GetVertexNormal(0, &n);
    EXPECT_NEAR(std::fabs(n.z), 1.0f, 1e-6f);
}

TEST_F(CreateEngineMeshTest, BlendShapesWithTheirBaseVertices)
{
    ExportBuilder builder(m_Context, FALSE);
    MeshBuilder b = Quad(0);
    b.AddBlendShapeName(XString("smile"));
    b.AddBlendShapeName(XString("frown"));
    BlendShapeSource shape;
    shape.nameIndex = 1;
    shape.weight = 0.5f;
    shape.risingSlope = 2.0f;
    shape.fallingSlope = -2.0f;
    BlendShapeFaceDelta delta;
    delta.face = 1;
    delta.position[2] = QxVector(0, 0, 1); // host vertex 3
    shape.faceDeltas.PushBack(delta);
    b.AddBlendShapeSource(shape);
    ASSERT_EQ(b.Weld(TRUE), 1);
    CKMesh* mesh = builder.CreateEngineMesh(b, "shapes", 0, FALSE);
    ASSERT_EQ(mesh->GetBlendShapeCount(), 2);
    CKBlendShapeData data;
    mesh->GetBlendShapes(data);
    ASSERT_EQ(data.Names.Size(), 2);
    EXPECT_STREQ(data.Names[1].CStr(), "frown");
    ASSERT_EQ(data.Targets.Size(), 1);
    EXPECT_EQ(data.Targets[0].WeightIndex, 1u);
    EXPECT_EQ(data.Targets[0].Pivot, 0.5f);
    EXPECT_EQ(data.Targets[0].SlopeBelow, 2.0f);
    EXPECT_EQ(data.Targets[0].SlopeAbove, -2.0f);
    ASSERT_EQ(data.Targets[0].Deltas.Size(), 1);
    EXPECT_EQ(data.Targets[0].Deltas[0].Vertex, 3u);
    ASSERT_EQ(data.BaseVertices.Size(), 1);
    EXPECT_EQ(data.BaseVertices[0].Vertex, 3u);
    EXPECT_EQ(data.BaseVertices[0].Position.x, 1.0f);
    EXPECT_EQ(data.BaseVertices[0].Position.y, 1.0f);
}

TEST_F(CreateEngineMeshTest, AnUnweldedBuilderGivesAnEmptyMesh)
{
    ExportBuilder builder(m_Context, FALSE);
    MeshBuilder b(FALSE, &builder.cornerScratch);
    CKMesh* mesh = builder.CreateEngineMesh(b, "empty", 0x5500, TRUE);
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->GetVertexCount(), 0);
    EXPECT_EQ(mesh->GetFaceCount(), 0);
    EXPECT_NE(builder.FindMeshBuilder(0x5500), nullptr);
}

} // namespace

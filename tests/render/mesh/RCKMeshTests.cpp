// The mesh's data and accessors: a new mesh, its registration, the indices
// it refuses, vertex and face counts, change marks, geometry transforms,
// bounds and normals, and the materials it lets go of when they are deleted.
#include <cmath>
#include <limits>

#include "core/object/CKClassDesc.h"
#include "core/object/CKClassRegistry.h"
#include "tests/render/mesh/MeshTestSupport.h"

namespace {

using Mesh = MeshFixture;

void ExpectNear(const QxVector& a, const QxVector& b)
{
    EXPECT_NEAR(a.x, b.x, 1e-5f);
    EXPECT_NEAR(a.y, b.y, 1e-5f);
    EXPECT_NEAR(a.z, b.z, 1e-5f);
}

TEST_F(Mesh, ANewMeshIsVisibleEmptyAndHasOnlyTheDefaultGroup)
{
    RCKMesh* mesh = NewMesh();
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->GetClassID(), CKCID_MESH);
    EXPECT_EQ(mesh->GetFlags(), (CKDWORD) CKMESH_VISIBLE);
    EXPECT_EQ(mesh->GetObjectFlags() & CK_OBJECT_VISIBLE, (CKDWORD) CK_OBJECT_VISIBLE);
    EXPECT_EQ(mesh->GetRadius(), 0.0f);
    EXPECT_EQ(mesh->GetLocalBox().Max, QxVector());
    EXPECT_EQ(mesh->GetLocalBox().Min, QxVector());
    EXPECT_EQ(mesh->GetVertexCount(), 0);
    EXPECT_EQ(mesh->GetFaceCount(), 0);
    EXPECT_EQ(mesh->GetMaterialGroupCount(), 1);
    EXPECT_EQ(mesh->GetMaterialCount(), 0) << "the default group is not a material";
    EXPECT_EQ(mesh->GetMaterial(0), nullptr);
    EXPECT_EQ(mesh->GetLitMode(), 1);

    CKClassDesc* desc = CKGetClassDesc(CKCID_MESH);
    ASSERT_NE(desc, nullptr);
    EXPECT_STREQ(desc->m_NameFct(), "Mesh");
    EXPECT_EQ(desc->m_ParameterGuid, CKGUID(0x24535345, 0x65D15229));
    EXPECT_EQ(desc->m_CreationFlags, 2u);
    EXPECT_TRUE(desc->m_ToBeNotify.IsSet(CKCID_MATERIAL));
    EXPECT_STREQ(desc->m_DependsFct(0, CK_DEPENDENCIES_COPY), "Material");
    EXPECT_EQ(desc->m_DependsFct(1, CK_DEPENDENCIES_COPY), nullptr);
    for (int mode : {1, 2, 4})
        EXPECT_EQ(desc->m_DependsCountFct(mode), 1) << mode;
    EXPECT_EQ(desc->m_DependsCountFct(3), 0);
}

TEST_F(Mesh, WrapModeFlagsShowAndTheLitMode)
{
    RCKMesh* mesh = NewMesh();
    mesh->SetWrapMode(CKMESH_WRAP_UV);
    EXPECT_EQ(mesh->GetFlags() & (CKMESH_WRAPU | CKMESH_WRAPV), (CKDWORD) (CKMESH_WRAPU | CKMESH_WRAPV));
    mesh->SetWrapMode(CKMESH_WRAP_V);
    EXPECT_TRUE(mesh->GetFlags() & CKMESH_WRAPV);
    EXPECT_FALSE(mesh->GetFlags() & CKMESH_WRAPU);
    EXPECT_EQ(mesh->GetWrapMode(), CKMESH_WRAP_V);

    mesh->SetLitMode(0);
    EXPECT_EQ(mesh->GetLitMode(), 0);
    EXPECT_TRUE(mesh->GetFlags() & CKMESH_PRELITMODE);
    mesh->SetLitMode(7);
    EXPECT_EQ(mesh->GetLitMode(), 1);

    mesh->Show(CKHIDE);
    EXPECT_FALSE(mesh->GetFlags() & CKMESH_VISIBLE);
    mesh->SetFlags(mesh->GetFlags() | CKMESH_VISIBLE);
    EXPECT_TRUE(mesh->GetObjectFlags() & CK_OBJECT_VISIBLE) << "the visible flag is mirrored";
    mesh->SetFlags(0);
    EXPECT_FALSE(mesh->GetObjectFlags() & CK_OBJECT_VISIBLE);
}

TEST_F(Mesh, IndicesOutsideTheMeshAreRefusedAndGetNeutralValues)
{
    RCKMesh* mesh = MakeMesh(4, {{0, 1, 2}});
    mesh->SetLineCount(2);
    EXPECT_EQ(mesh->SetFaceVertexIndex(0, 0, 1, 4), CKErr::InvalidParameter);
    EXPECT_EQ(mesh->SetFaceVertexIndex(1, 0, 1, 2), CKErr::InvalidParameter);
    EXPECT_EQ(mesh->SetFaceVertexIndex(0, -1, 1, 2), CKErr::InvalidParameter);
    int a = -1, b = -1, c = -1;
    mesh->GetFaceVertexIndex(0, a, b, c);
    EXPECT_EQ((Corners{a, b, c}), (Corners{0, 1, 2})) << "nothing written";
    EXPECT_EQ(mesh->SetLine(0, 0, 4), CKErr::InvalidParameter);
    EXPECT_EQ(mesh->SetLine(2, 0, 1), CKErr::InvalidParameter);
    EXPECT_EQ(mesh->CreateLineStrip(0, 2, 2), CKErr::InvalidParameter) << "vertex 4 is missing";
    EXPECT_EQ(mesh->CreateLineStrip(1, 2, 0), CKErr::InvalidParameter) << "line 2 is missing";
    ASSERT_EQ(mesh->CreateLineStrip(0, 2, 1), CKErr::Ok);
    const CKDWORD* lines = mesh->GetLineIndices();
    EXPECT_EQ((std::vector<CKDWORD>(lines, lines + 4)), (std::vector<CKDWORD>{1, 2, 2, 3}));

    CKMaterial* m = NewMaterial();
    const int faces[] = {0, 1};
    EXPECT_EQ(mesh->SetFacesMaterial(faces, 2, m), CKErr::InvalidParameter);
    EXPECT_EQ(mesh->GetFaceMaterial(0), nullptr) << "no face written";
    EXPECT_EQ(mesh->GetMaterialGroupCount(), 1) << "no group made";

    EXPECT_EQ(mesh->GetVertexColor(4), 0u);
    EXPECT_EQ(mesh->GetFaceVertex(0, 3), nullptr);
    EXPECT_EQ(mesh->GetFaceNormal(1), QxVector());
    EXPECT_EQ(mesh->GetFaceChannelMask(0), 0) << "the stored mask is 0xFFFF";
    EXPECT_EQ(mesh->GetVertexWeight(0), 0.0f);
    EXPECT_EQ(mesh->GetBlendShapeName(0), XString());
    EXPECT_EQ(mesh->GetBlendShapeIndex(XString("smile")), -1);
    EXPECT_EQ(mesh->GetTextureCoordinatesPtr(nullptr, 0), nullptr) << "no channel 0";
}

TEST_F(Mesh, VertexAndFaceCounts)
{
    RCKMesh* mesh = MakeMesh(3, {{0, 1, 2}});
    mesh->SetVertexWeightsCount(3);
    mesh->SetVertexWeight(2, 0.5f);
    const CKDWORD flags = mesh->GetFlags();
    EXPECT_TRUE(mesh->SetVertexCount(3));
    EXPECT_EQ(mesh->GetFlags(), flags) << "the same count changes nothing";

    mesh->SetVertexCount(6);
    QxVector p(9.0f, 9.0f, 9.0f);
    mesh->GetVertexPosition(5, &p);
    EXPECT_EQ(p, QxVector());
    EXPECT_EQ(mesh->GetVertexColor(5), 0xFFFFFFFFu);
    EXPECT_EQ(mesh->GetVertexSpecularColor(5), 0u);
    EXPECT_EQ(mesh->GetVertexWeightsCount(), 6);
    EXPECT_EQ(mesh->GetVertexWeight(2), 0.5f);
    EXPECT_EQ(mesh->GetVertexWeight(5), 0.0f);

    mesh->SetFaceCount(2);
    int a = -1, b = -1, c = -1;
    mesh->GetFaceVertexIndex(1, a, b, c);
    EXPECT_EQ((Corners{a, b, c}), (Corners{0, 0, 0}));
    EXPECT_FALSE(mesh->GetFlags() & (CKMESH_OPTIMIZED | CKMESH_FACENORMALSVALID));

    EXPECT_TRUE(mesh->SetVertexCount(-5));
    EXPECT_EQ(mesh->GetVertexCount(), 0);
    EXPECT_EQ(mesh->GetPositionsPtr(nullptr), nullptr);
    EXPECT_EQ(mesh->GetVertexWeightsCount(), 0);
    EXPECT_EQ(mesh->GetMaterialCount(), 0) << "faces without vertices build nothing";
}

TEST_F(Mesh, ChangeMarks)
{
    RCKMesh* mesh = MakeMesh(3, {{0, 1, 2}});
    mesh->BuildNormals();
    EXPECT_EQ(mesh->GetFlags() & 0x88008u, 0x88008u);
    mesh->SetVertexNormal(0, QxVector(1.0f, 0.0f, 0.0f));
    EXPECT_TRUE(mesh->GetFlags() & CKMESH_NORMALCHANGED);
    EXPECT_FALSE(mesh->GetFlags() & CKMESH_GENNORMALS);
    mesh->SetVertexTextureCoordinates(0, 0.5f, 0.5f);
    EXPECT_TRUE(mesh->GetFlags() & CKMESH_UVCHANGED);
    mesh->SetVertexColor(0, 1);
    EXPECT_TRUE(mesh->GetFlags() & CKMESH_COLORCHANGED);
    mesh->GetRadius();
    mesh->SetVertexPosition(0, QxVector(1.0f, 1.0f, 1.0f));
    EXPECT_EQ(mesh->GetFlags() & (CKMESH_POSCHANGED | CKMESH_BOUNDINGUPTODATE), (CKDWORD) CKMESH_POSCHANGED);
}

TEST_F(Mesh, BoundsAndFaceNormals)
{
    RCKMesh* mesh = NewMesh();
    mesh->SetVertexCount(4);
    const QxVector points[] = {{0, 0, 0}, {2, 0, 0}, {0, 2, 0}, {2, 2, 4}};
    for (int i = 0; i < 4; ++i)
        mesh->SetVertexPosition(i, points[i]);
    mesh->SetFaceCount(1);
    mesh->SetFaceVertexIndex(0, 0, 1, 2);
    ExpectNear(mesh->GetBaryCenter(), QxVector(1.0f, 1.0f, 1.0f));
    EXPECT_EQ(mesh->GetLocalBox().Max, QxVector(2.0f, 2.0f, 4.0f));
    EXPECT_EQ(mesh->GetLocalBox().Min, QxVector());
    EXPECT_NEAR(mesh->GetRadius(), std::sqrt(11.0f), 1e-5f);
    ExpectNear(mesh->GetFaceNormal(0), QxVector(0.0f, 0.0f, 1.0f));

    // A NaN position keeps every result defined.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    mesh->SetVertexPosition(3, QxVector(nan, 1.0f, std::numeric_limits<float>::infinity()));
    mesh->GetRadius();
    mesh->GetLocalBox();
    EXPECT_EQ(mesh->GetMaterialCount(), 0);
}

TEST_F(Mesh, TransformsMovePositionsAndNormals)
{
    RCKMesh* mesh = MakeMesh(3, {{0, 1, 2}});
    mesh->SetLitMode(0); // prelit: the normals are kept as the transforms leave them
    mesh->SetVertexNormal(1, QxVector(1.0f, 1.0f, 0.0f));
    mesh->TranslateVertices(QxVector(1.0f, 0.0f, 0.0f));
    QxVector p;
    mesh->GetVertexPosition(2, &p);
    EXPECT_EQ(p, QxVector(3.0f, 4.0f, 6.0f));

    const QxVector pivot(1.0f, 0.0f, 0.0f);
    mesh->ScaleVertices(QxVector(2.0f, 1.0f, 0.5f), &pivot);
    mesh->GetVertexPosition(2, &p);
    EXPECT_EQ(p, QxVector(5.0f, 4.0f, 3.0f));
    QxVector n;
    mesh->GetVertexNormal(1, &n);
    ExpectNear(n, QxVector(2.0f, 1.0f, 0.0f) * (1.0f / std::sqrt(5.0f)));

    mesh->RotateVertices(QxVector(0.0f, 0.0f, 1.0f), 3.14159265f / 2.0f);
    mesh->GetVertexPosition(2, &p);
    EXPECT_NEAR(std::fabs(p.x), 4.0f, 1e-5f);
    EXPECT_NEAR(std::fabs(p.y), 5.0f, 1e-5f);
    EXPECT_NEAR(p.z, 3.0f, 1e-5f);

    mesh->InverseWinding();
    int a = -1, b = -1, c = -1;
    mesh->GetFaceVertexIndex(0, a, b, c);
    EXPECT_EQ((Corners{a, b, c}), (Corners{0, 2, 1}));
    mesh->GetVertexNormal(0, &n);
    EXPECT_EQ(n, QxVector(0.0f, 0.0f, -1.0f));
}

TEST_F(Mesh, AMaterialBeingDeletedLeavesItsGroupAndIsReportedUsedBefore)
{
    CKMaterial* a = NewMaterial("a");
    CKMaterial* b = NewMaterial("b");
    RCKMesh* mesh = MakeMesh(4, {{0, 1, 2}, {1, 3, 2}, {0, 1, 3}}, {a, b, b});
    EXPECT_TRUE(mesh->IsObjectUsed(a, CKCID_MATERIAL));
    EXPECT_FALSE(mesh->IsObjectUsed(mesh, CKCID_MATERIAL));
    ASSERT_EQ(m_Context->DestroyObject(a), CKErr::Ok);
    EXPECT_EQ(mesh->GetMaterialGroupCount(), 2);
    EXPECT_EQ(FaceGroups(mesh), (std::vector<int>{0, 1, 1}));
    EXPECT_EQ(mesh->GetMaterial(0), b);
}

} // namespace

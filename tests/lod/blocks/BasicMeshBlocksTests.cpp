// The basic mesh blocks, "Set PatchMesh Steps", "Sine Deform" and "Noise":
// what they take, what they refuse and what they leave.
#include <climits>
#include <cmath>
#include <numbers>

#include "core/object/CKClassRegistry.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterIn.h"
#include "lod/blocks/MeshBlocks.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKMesh.h"
#include "render/mesh/CKPatchMesh.h"
#include "render/objects/CK3dEntity.h"
#include "tests/lod/blocks/BlockTestSupport.h"

namespace {

class BasicBlocksTest : public BlockFixture
{
public:
    // A block on the mesh (which takes no scripts: it is only named).
    CKBehavior* OnMesh(CKGUID guid, CKMesh* mesh)
    {
        CKBehavior* b = CreateBlock(m_Context, guid, nullptr);
        EXPECT_NE(b, nullptr);
        SetBlockTarget(b, mesh);
        b->ActivateInput(0, TRUE);
        return b;
    }
};

TEST_F(BasicBlocksTest, CountsAreSetAndNegativeOnesRefused)
{
    CKMesh* mesh = NewMesh("m", 10);
    CKBehavior* faces = OnMesh(BlockGuid::SetFaceCount, mesh);
    CKBehavior* vertices = OnMesh(BlockGuid::SetVertexCount, mesh);
    EXPECT_EQ(Run(faces), CKBR_OK);
    EXPECT_EQ(mesh->GetFaceCount(), 100) << "the default";
    EXPECT_EQ(Run(vertices), CKBR_OK);
    EXPECT_EQ(mesh->GetVertexCount(), 100);
    SetBlockInputValue(faces, 0, -3);
    SetBlockInputValue(vertices, 0, -3);
    EXPECT_EQ(Run(faces), CKBR_PARAMETERERROR);
    EXPECT_EQ(Run(vertices), CKBR_PARAMETERERROR);
    EXPECT_EQ(mesh->GetFaceCount(), 100);
    EXPECT_EQ(mesh->GetVertexCount(), 100);
    EXPECT_EQ(ActiveOutputs(faces), 1u);
    SetBlockInputValue(faces, 0, INT_MAX);
    EXPECT_EQ(Run(faces), CKBR_PARAMETERERROR) << "more indices than the mesh can hold";
    SetBlockInputValue(faces, 0, 0);
    EXPECT_EQ(Run(faces), CKBR_OK);
    EXPECT_EQ(mesh->GetFaceCount(), 0);
}

TEST_F(BasicBlocksTest, FacePropertiesTruncateTheIndicesAndRefuseWhatIsNotThere)
{
    CKMesh* mesh = NewMesh("m", 10);
    CKBehavior* b = OnMesh(BlockGuid::SetFaceProperties, mesh);
    SetBlockInputValue(b, 0, 4);
    SetBlockInputText(b, 2, "1.9,2.5,3.0");
    EXPECT_EQ(Run(b), CKBR_OK);
    int v[3];
    mesh->GetFaceVertexIndex(4, v[0], v[1], v[2]);
    EXPECT_EQ(v[0], 1);
    EXPECT_EQ(v[1], 2);
    EXPECT_EQ(v[2], 3);
    // Without "Face Vertex Indices" the material is still set.
    CKMaterial* material = New<CKMaterial>(CKCID_MATERIAL, "mat");
    ClearBlockInput(b, 2);
    SetBlockInputObject(b, 1, material);
    EXPECT_EQ(Run(b), CKBR_OK);
    EXPECT_EQ(mesh->GetFaceMaterial(4), material);
    // An object that is no material counts as none.
    SetBlockInputObject(b, 1, mesh);
    EXPECT_EQ(Run(b), CKBR_OK);
    EXPECT_EQ(mesh->GetFaceMaterial(4), nullptr);
    for (int face : {-1, 10, INT_MAX}) {
        SetBlockInputValue(b, 0, face);
        EXPECT_EQ(Run(b), CKBR_PARAMETERERROR) << face;
    }
    SetBlockInputValue(b, 0, 2);
    SetBlockInputText(b, 2, "0,1,99");
    EXPECT_EQ(Run(b), CKBR_PARAMETERERROR) << "a corner past the vertices";
    SetBlockInputText(b, 2, "nan,1e20,-1e20");
    EXPECT_EQ(Run(b), CKBR_PARAMETERERROR);
}

TEST_F(BasicBlocksTest, VertexPropertiesFollowTheLitMode)
{
    CKMesh* mesh = NewMesh("m", 10);
    CKBehavior* b = OnMesh(BlockGuid::SetVertexProperties, mesh);
    SetBlockInputValue(b, 0, 2);
    SetBlockInputText(b, 2, "0,0,1");
    mesh->SetLitMode(0);
    EXPECT_EQ(Run(b), CKBR_OK);
    QxVector n;
    mesh->GetVertexNormal(2, &n);
    EXPECT_EQ(n.z, 0.0f) << "a pre-lit mesh takes no normal";
    EXPECT_EQ(mesh->GetVertexColor(2), 0xFF808080u) << "the default colour";
    EXPECT_EQ(mesh->GetVertexSpecularColor(2), 0u);
    mesh->SetVertexColor(2, 0x12345678);
    mesh->SetLitMode(1);
    EXPECT_EQ(Run(b), CKBR_OK);
    mesh->GetVertexNormal(2, &n);
    EXPECT_EQ(n.z, 1.0f);
    EXPECT_EQ(mesh->GetVertexColor(2), 0x12345678u) << "a lit mesh takes no colour";
    // Texture coordinates on a channel that does not exist are refused.
    SetBlockInputText(b, 5, "0.5,0.5");
    SetBlockInputValue(b, 6, 3);
    EXPECT_EQ(Run(b), CKBR_PARAMETERERROR);
    SetBlockInputValue(b, 6, -2);
    EXPECT_EQ(Run(b), CKBR_PARAMETERERROR);
    for (int vertex : {-1, 10}) {
        SetBlockInputValue(b, 0, vertex);
        EXPECT_EQ(Run(b), CKBR_PARAMETERERROR) << vertex;
    }
    CKBehavior* loose = CreateBlock(m_Context, BlockGuid::SetVertexProperties, nullptr);
    EXPECT_EQ(Run(loose), CKBR_OWNERERROR);
    EXPECT_EQ(ActiveOutputs(loose), 1u);
}

TEST_F(BasicBlocksTest, PatchStepsAreBoundedByThePatchMesh)
{
    auto* patch = New<CKPatchMesh>(CKCID_PATCHMESH, "p");
    CK3dEntity* object = NewObject(MeshKind::Patch);
    patch = static_cast<CKPatchMesh*>(object->GetCurrentMesh());
    CKBehavior* b = Block(BlockGuid::SetPatchMeshSteps, patch);
    SetBlockInputValue(b, 0, INT_MAX);
    EXPECT_EQ(Run(b), CKBR_OK);
    patch->BuildRenderMesh();
    EXPECT_LT(patch->GetVertexCount(), 65000);
    EXPECT_LE(patch->GetFaceCount(), 30000);
    SetBlockInputValue(b, 0, -4);
    EXPECT_EQ(Run(b), CKBR_OK);
    EXPECT_EQ(patch->GetIterationCount(), 0);
    // Applied to a 3D object, the block works on its current mesh.
    CKBehavior* onObject = CreateBlock(m_Context, BlockGuid::SetPatchMeshSteps, nullptr);
    onObject->SetCompatibleClassID(CKCID_3DOBJECT);
    onObject->GetTargetParameter()->SetGUID(CKGetClassParameterGuid(CKCID_3DOBJECT));
    SetBlockTarget(onObject, object);
    SetBlockInputValue(onObject, 0, 3);
    EXPECT_EQ(Run(onObject), CKBR_OK);
    EXPECT_EQ(patch->GetIterationCount(), 3);
    SetBlockTarget(onObject, New<CK3dEntity>(CKCID_3DOBJECT, "Bare"));
    EXPECT_EQ(Run(onObject), CKBR_OWNERERROR);
    SetBlockTarget(b, nullptr);
    EXPECT_EQ(Run(b), CKBR_OWNERERROR);
    EXPECT_EQ(ActiveOutputs(b), 1u);
}

TEST_F(BasicBlocksTest, SineDeformTimeWrapsUnlessTheWaveIsFlat)
{
    CK3dEntity* object = NewObject(MeshKind::Prelit);
    CKBehavior* b = Block(BlockGuid::SineDeform, object);
    SetBlockInputValue(b, 2, 2.0f);
    float t = 0.0f;
    for (int i = 0; i < 4; ++i) {
        b->ActivateInput(0, TRUE);
        ASSERT_EQ(Run(b, 1000.0f), CKBR_OK);
    }
    b->GetLocalParameterValue(0, &t);
    // 4 s at a wave of 2: past pi (2 pi / 2) once, at the fourth.
    const float wrapped = 4.0f - std::numbers::pi_v<float>;
    EXPECT_NEAR(t, wrapped, 1e-5f);
    SetBlockInputValue(b, 2, 0.0f);
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(Run(b, 1000.0f), CKBR_OK);
    b->GetLocalParameterValue(0, &t);
    EXPECT_NEAR(t, wrapped + 3.0f, 1e-5f);
    // The messages that start the time again.
    for (CKDWORD message : {CKM_BEHAVIORATTACH, CKM_BEHAVIORRESET, CKM_BEHAVIORLOAD}) {
        const float some = 3.5f;
        b->SetLocalParameterValue(0, &some, (int) sizeof some);
        SendBlockMessage(b, message);
        b->GetLocalParameterValue(0, &t);
        EXPECT_EQ(t, 0.0f) << message;
    }
}

TEST_F(BasicBlocksTest, NoiseOfAZeroAxisStillMarksTheMeshAndAnIntegerSeedIsRead)
{
    CK3dEntity* object = NewObject(MeshKind::Lattice);
    CKMesh* mesh = object->GetCurrentMesh();
    CKBehavior* b = Block(BlockGuid::Noise, object);
    SetBlockInputText(b, 2, "0,0,0");
    const MeshSnapshot before = Snap(mesh);
    mesh->GetLocalBox();
    ASSERT_EQ(Run(b), CKBR_OK);
    EXPECT_EQ(WorstRelativeError(Snap(mesh).Points, before.Points), 0.0);
    EXPECT_TRUE(mesh->GetFlags() & CKMESH_POSCHANGED);
    EXPECT_EQ(ActiveOutputs(b), 1u);
    // A seed of integer type is read as its number: 7 acts as 7.0.
    CK3dEntity* other = NewObject(MeshKind::Lattice, "Other");
    CKBehavior* floatSeed = Block(BlockGuid::Noise, other);
    SetBlockInputValue(floatSeed, 0, 7.0f);
    SetBlockInputText(floatSeed, 2, "0.5,0.5,0.5");
    b->GetInputParameter(0)->SetGUID(CKPGUID_INT, TRUE);
    ClearBlockInput(b, 0);
    SetBlockInputValue(b, 0, 7);
    SetBlockInputText(b, 2, "0.5,0.5,0.5");
    b->ActivateInput(0, TRUE);
    ASSERT_EQ(Run(b), CKBR_OK);
    ASSERT_EQ(Run(floatSeed), CKBR_OK);
    EXPECT_EQ(WorstRelativeError(Snap(mesh).Points, Snap(other->GetCurrentMesh()).Points), 0.0);
    EXPECT_GT(WorstRelativeError(Snap(mesh).Points, before.Points), 1e-3);
}

} // namespace

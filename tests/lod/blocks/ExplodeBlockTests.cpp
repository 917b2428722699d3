// "Explode" from start to end, and its refusals.
#include <cstring>

#include "core/behavior/CKBehaviorIO.h"
#include "core/context/CKRandom.h"
#include "core/parameter/CK2dCurve.h"
#include "core/parameter/CKParameter.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterIn.h"
#include "core/parameter/CKParameterOut.h"
#include "lod/blocks/MeshBlocks.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CK3dEntity.h"
#include "tests/lod/blocks/BlockTestSupport.h"

namespace {

class ExplodeTest : public BlockFixture
{
public:
    // An explosion on a new lattice object, its curve linear from 0 to 1.
    CKBehavior* Explosion(CK3dEntity*& object, int duration)
    {
        object = NewObject(MeshKind::Lattice);
        CKBehavior* b = Block(BlockGuid::Explode, object);
        SetBlockInputValue(b, 0, duration);
        BlockInputSource(b, 1);
        return b;
    }
    static CKObject* Local(CKBehavior* b, int n) { return b->GetLocalParameterObject(n); }
};

TEST_F(ExplodeTest, ASecondOfSixteenMillisecondStepsEndsWithTheOwnMeshBackAndTheObjectHidden)
{
    CKSrand(42);
    CK3dEntity* object = nullptr;
    CKBehavior* b = Explosion(object, 1000);
    CKMesh* own = object->GetCurrentMesh();
    ASSERT_EQ(Run(b, 16.0f), CKBR_OK);
    auto* copy = static_cast<CKMesh*>(Local(b, 6));
    ASSERT_NE(copy, nullptr);
    const CK_ID copyId = copy->GetID();
    EXPECT_EQ(object->GetCurrentMesh(), copy);
    EXPECT_EQ(Local(b, 5), own);
    EXPECT_EQ(copy->GetVertexCount(), 3 * copy->GetFaceCount()) << "every corner its own vertex";
    EXPECT_STREQ(copy->GetName(), "ObjectExplode_0");
    EXPECT_TRUE(copy->GetObjectFlags() & CK_OBJECT_NOTTOBESAVED);
    int steps = 1;
    while (!b->GetOutput(0)->IsActive()) {
        ASSERT_TRUE(b->GetOutput(1)->IsActive()) << "step " << steps;
        ASSERT_EQ(object->GetCurrentMesh(), copy);
        b->ActivateOutput(1, FALSE);
        b->ActivateInput(1, TRUE);
        ASSERT_EQ(Run(b, 16.0f), CKBR_OK);
        ASSERT_LT(++steps, 100);
    }
    EXPECT_EQ(steps, 63); // 63 x 16 = 1008 ms
    EXPECT_EQ(object->GetCurrentMesh(), own);
    EXPECT_EQ(m_Context->GetObject(copyId), nullptr);
    EXPECT_EQ(Local(b, 6), nullptr);
    for (int i = 0; i < object->GetMeshCount(); ++i)
        EXPECT_NE(object->GetMesh(i)->GetID(), copyId);
    EXPECT_FALSE(object->IsVisible());
    EXPECT_EQ(ActiveInputs(b), 0u);
    int elapsed = 0;
    b->GetLocalParameterValue(0, &elapsed);
    EXPECT_EQ(elapsed, 1008);
}

TEST_F(ExplodeTest, ADurationOfZeroOrLessEndsAtOnce)
{
    for (int duration : {0, -5}) {
        CK3dEntity* object = nullptr;
        CKBehavior* b = Explosion(object, duration);
        CKMesh* own = object->GetCurrentMesh();
        ASSERT_EQ(Run(b, 16.0f), CKBR_OK);
        EXPECT_EQ(ActiveOutputs(b), 1u) << duration;
        EXPECT_EQ(object->GetCurrentMesh(), own);
        EXPECT_FALSE(object->IsVisible());
        // A negative delta time still ends it.
        object->Show(CKSHOW);
        b->ActivateInput(0, TRUE);
        b->ActivateOutput(0, FALSE);
        ASSERT_EQ(Run(b, -40.0f), CKBR_OK);
        EXPECT_EQ(ActiveOutputs(b), 1u) << duration;
        EXPECT_FALSE(object->IsVisible());
    }
}

TEST_F(ExplodeTest, WithoutDeformationTheCornersOfAFaceMoveTogether)
{
    CKSrand(3);
    CK3dEntity* object = nullptr;
    CKBehavior* b = Explosion(object, 1000);
    SetBlockInputValue(b, 4, (CKBOOL) FALSE);
    SetBlockInputText(b, 3, "0.2,0.1,0");
    CKMesh* own = object->GetCurrentMesh();
    const MeshSnapshot before = Snap(own);
    ASSERT_EQ(Run(b, 250.0f), CKBR_OK);
    const MeshSnapshot after = Snap(object->GetCurrentMesh());
    ASSERT_EQ(after.Faces.size(), before.Faces.size());
    bool moved = false;
    for (size_t f = 0; f < after.Faces.size(); ++f) {
        DVec offsets[3];
        for (int k = 0; k < 3; ++k)
            offsets[k] = after.Positions[(size_t) after.Faces[f][k]] - before.Positions[(size_t) before.Faces[f][k]];
        ASSERT_LE(Length(offsets[1] - offsets[0]), 1e-6) << f;
        ASSERT_LE(Length(offsets[2] - offsets[0]), 1e-6) << f;
        moved = moved || Length(offsets[0]) > 1e-3;
    }
    EXPECT_TRUE(moved);
}

TEST_F(ExplodeTest, RefusalsAndWhatTheyLeave)
{
    CK3dEntity* object = nullptr;
    CKBehavior* b = Explosion(object, 1000);
    // No curve: nothing happens.
    ClearBlockInput(b, 1);
    EXPECT_EQ(Run(b), CKBR_OK);
    EXPECT_EQ(ActiveInputs(b), 1u);
    EXPECT_EQ(ActiveOutputs(b), 0u);
    // A value of another type is no curve either.
    CKParameterOut* other = m_Context->CreateCKParameterOut("other", CKPGUID_FLOAT);
    b->GetInputParameter(1)->SetDirectSource(other);
    EXPECT_EQ(Run(b), CKBR_OK);
    EXPECT_EQ(object->GetCurrentMesh()->GetVertexCount(), 1331);
    EXPECT_EQ(ActiveInputs(b), 1u);
    // No mesh: In is taken, then the step fails.
    auto* bare = New<CK3dEntity>(CKCID_3DOBJECT, "Bare");
    CKBehavior* onBare = Block(BlockGuid::Explode, bare);
    BlockInputSource(onBare, 1);
    EXPECT_EQ(Run(onBare), CKBR_GENERICERROR);
    EXPECT_EQ(ActiveInputs(onBare), 0u);
    EXPECT_EQ(ActiveOutputs(onBare), 0u);
    // No target at all.
    CKBehavior* loose = CreateBlock(m_Context, BlockGuid::Explode, nullptr);
    ASSERT_NE(loose, nullptr);
    EXPECT_EQ(Run(loose), CKBR_OWNERERROR);
}

TEST_F(ExplodeTest, ACopiedOrLoadedBehaviourOwnsNoExplodingMesh)
{
    CK3dEntity* object = nullptr;
    CKBehavior* b = Explosion(object, 1000);
    ASSERT_EQ(Run(b), CKBR_OK);
    ASSERT_NE(Local(b, 6), nullptr);
    SendBlockMessage(b, CKM_BEHAVIORLOAD);
    EXPECT_EQ(Local(b, 6), nullptr);
    b->SetLocalParameterObject(6, object->GetCurrentMesh());
    SendBlockMessage(b, CKM_BEHAVIORCREATE);
    EXPECT_EQ(Local(b, 6), nullptr);
}

TEST_F(ExplodeTest, FacesNamingMissingVerticesAreLeftOut)
{
    CK3dEntity* object = nullptr;
    CKBehavior* b = Explosion(object, 1000);
    CKMesh* mesh = object->GetCurrentMesh();
    // The faces keep naming vertices the mesh no longer has.
    mesh->SetVertexCount(100);
    ASSERT_EQ(Run(b, 16.0f), CKBR_OK);
    EXPECT_EQ(ActiveOutputs(b), 2u);
}

} // namespace

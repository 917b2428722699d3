// "Multi Mesh Morpher" and "Mesh Morpher": weights, mesh sizes, settings
// and the messages around saves and deletion.
#include <string>

#include "core/behavior/CKBehaviorIO.h"
#include "core/parameter/CKParameterIn.h"
#include "lod/blocks/MeshBlocks.h"
#include "render/animation/CKSkin.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CK3dEntity.h"
#include "tests/lod/blocks/BlockTestSupport.h"

namespace {

class MorphTest : public BlockFixture
{
public:
    // A mesh of count vertices at (i * scale, offset, 0).
    CKMesh* Line(const char* name, int count, float scale, float offset = 0.0f)
    {
        CKMesh* mesh = New<CKMesh>(CKCID_MESH, name);
        mesh->SetVertexCount(count);
        for (int i = 0; i < count; ++i)
            mesh->SetVertexPosition(i, QxVector((float) i * scale, offset, 0.0f));
        return mesh;
    }
    CK3dEntity* Holder(CKMesh* mesh)
    {
        auto* object = New<CK3dEntity>(CKCID_3DOBJECT, "Holder");
        object->SetCurrentMesh(mesh, TRUE);
        return object;
    }
    static QxVector At(CKMesh* mesh, int i)
    {
        QxVector p;
        mesh->GetVertexPosition(i, &p);
        return p;
    }
};

TEST_F(MorphTest, AbsoluteWeightsAreNormalisedAndAllZeroLeavesTheOrigin)
{
    CKMesh* target = Line("Target", 5, 9.0f, 9.0f);
    CKBehavior* b = Block(BlockGuid::MultiMeshMorpher, Holder(target));
    SetBlockInputObject(b, 0, Line("One", 5, 1.0f, 2.0f));
    SetBlockInputObject(b, 2, Line("Two", 5, 3.0f, -2.0f));
    SetBlockInputValue(b, 1, 0.0f);
    SetBlockInputValue(b, 3, 0.0f);
    EXPECT_EQ(Run(b), CKBR_OK);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(QxMagnitude(At(target, i)), 0.0f) << i;
    SetBlockInputValue(b, 1, 2.0f);
    SetBlockInputValue(b, 3, 6.0f);
    EXPECT_EQ(Run(b), CKBR_OK);
    for (int i = 0; i < 5; ++i) {
        EXPECT_FLOAT_EQ(At(target, i).x, 0.25f * (float) i + 0.75f * 3.0f * (float) i);
        EXPECT_FLOAT_EQ(At(target, i).y, 0.25f * 2.0f - 0.75f * 2.0f);
    }
}

TEST_F(MorphTest, RelativeMorphingAddsWeightedDifferencesToTheNeutral)
{
    CKMesh* target = Line("Target", 4, 0.0f);
    CKBehavior* b = Block(BlockGuid::MultiMeshMorpher, Holder(target));
    int pairs = 3;
    b->SetLocalParameterValue(0, &pairs, (int) sizeof pairs);
    CKBOOL relative = TRUE;
    b->SetLocalParameterValue(2, &relative, (int) sizeof relative);
    SendBlockMessage(b, CKM_BEHAVIORSETTINGSEDITED);
    ASSERT_EQ(b->GetInputParameterCount(), 6);
    EXPECT_STREQ(b->GetInputParameter(0)->GetName(), "Neutral");
    EXPECT_TRUE(b->GetInputParameter(1)->GetObjectFlags() & CK_PARAMETERIN_DISABLED);
    SetBlockInputObject(b, 0, Line("Neutral", 4, 1.0f));
    SetBlockInputObject(b, 2, Line("Up", 4, 1.0f, 1.0f));
    SetBlockInputObject(b, 4, Line("Wide", 4, 2.0f));
    SetBlockInputValue(b, 3, 0.0f);
    SetBlockInputValue(b, 5, 0.0f);
    EXPECT_EQ(Run(b), CKBR_OK);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(At(target, i).x, (float) i) << "the neutral mesh again";
    SetBlockInputValue(b, 3, 0.5f);
    // Coef 3 unread: the previous weight (0.5) serves again.
    ClearBlockInput(b, 5);
    EXPECT_EQ(Run(b), CKBR_OK);
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(At(target, i).x, (float) i + 0.5f * (float) i);
        EXPECT_FLOAT_EQ(At(target, i).y, 0.5f);
    }
}

TEST_F(MorphTest, SmallerInputMeshesBoundEveryReadAndTheSkinCopy)
{
    CKMesh* target = Line("Target", 10, 0.0f, 7.0f);
    CK3dEntity* holder = Holder(target);
    CKSkin* skin = holder->CreateSkin();
    ASSERT_NE(skin, nullptr);
    skin->SetVertexCount(10);
    CKBehavior* b = Block(BlockGuid::MultiMeshMorpher, holder);
    SetBlockInputObject(b, 0, Line("One", 8, 1.0f));
    SetBlockInputObject(b, 2, Line("Small", 3, 1.0f));
    SetBlockInputValue(b, 1, 1.0f);
    SetBlockInputValue(b, 3, 1.0f);
    EXPECT_EQ(Run(b), CKBR_OK);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(At(target, i).y, i < 3 ? 0.0f : 7.0f) << i;
        EXPECT_EQ(skin->GetVertexData(i)->GetInitialPos().x, i < 3 ? (float) i : 0.0f) << i;
    }
}

TEST_F(MorphTest, RelativeMorphingStopsAtTheSmallestInputToo)
{
    CKMesh* target = Line("Target", 10, 0.0f, 7.0f);
    CKBehavior* b = Block(BlockGuid::MultiMeshMorpher, Holder(target));
    CKBOOL relative = TRUE;
    b->SetLocalParameterValue(2, &relative, (int) sizeof relative);
    SendBlockMessage(b, CKM_BEHAVIORSETTINGSEDITED);
    SetBlockInputObject(b, 0, Line("Neutral", 8, 1.0f));
    SetBlockInputObject(b, 2, Line("Small", 3, 1.0f, 1.0f));
    SetBlockInputValue(b, 3, 1.0f);
    EXPECT_EQ(Run(b), CKBR_OK);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(At(target, i).x, i < 3 ? (float) i : 0.0f) << i;
        EXPECT_EQ(At(target, i).y, i < 3 ? 1.0f : 7.0f) << i;
    }
}

TEST_F(MorphTest, MultiMeshMorpherRefusalsStillActivateOut)
{
    CKBehavior* loose = CreateBlock(m_Context, BlockGuid::MultiMeshMorpher, nullptr);
    ASSERT_NE(loose, nullptr);
    EXPECT_EQ(Run(loose), CKBR_OWNERERROR);
    EXPECT_EQ(ActiveOutputs(loose), 1u);
    CKBehavior* meshless = Block(BlockGuid::MultiMeshMorpher, New<CK3dEntity>(CKCID_3DOBJECT, "Bare"));
    EXPECT_EQ(Run(meshless), CKBR_PARAMETERERROR);
    CKBehavior* noNeutral = Block(BlockGuid::MultiMeshMorpher, Holder(Line("T", 3, 1.0f)));
    EXPECT_EQ(Run(noNeutral), CKBR_PARAMETERERROR);
    EXPECT_EQ(ActiveOutputs(noNeutral), 1u);
    EXPECT_EQ(ActiveInputs(noNeutral), 0u);
}

TEST_F(MorphTest, TheMeshCountSettingShapesTheInputs)
{
    CKBehavior* b = Block(BlockGuid::MultiMeshMorpher, Holder(Line("T", 3, 1.0f)));
    const struct
    {
        int Wanted;
        int Stored;
    } rows[] = {{4, 4}, {1, 2}, {-7, 2}, {3, 3}, {1000000, 256}, {2, 2}};
    for (const auto& row : rows) {
        int wanted = row.Wanted;
        b->SetLocalParameterValue(0, &wanted, (int) sizeof wanted);
        SendBlockMessage(b, CKM_BEHAVIORSETTINGSEDITED);
        int stored = 0;
        b->GetLocalParameterValue(0, &stored);
        EXPECT_EQ(stored, row.Stored) << row.Wanted;
        ASSERT_EQ(b->GetInputParameterCount(), 2 * row.Stored) << row.Wanted;
        const std::string last = "Coef " + std::to_string(row.Stored);
        EXPECT_EQ(last, b->GetInputParameter(2 * row.Stored - 1)->GetName());
    }
    EXPECT_STREQ(b->GetInputParameter(0)->GetName(), "Mesh 1");
    EXPECT_FALSE(b->GetInputParameter(1)->GetObjectFlags() & CK_PARAMETERIN_DISABLED);
}

class MeshMorpherTest : public MorphTest
{
public:
    void SetUp() override
    {
        MorphTest::SetUp();
        Make();
    }
    // A holder of its own mesh and a morpher from Start to End on it.
    void Make()
    {
        m_Own = Line("Own", 4, 5.0f);
        m_Holder = Holder(m_Own);
        m_Start = Line("Start", 4, 1.0f);
        m_End = Line("End", 4, 1.0f, 4.0f);
        m_B = Block(BlockGuid::MeshMorpher, m_Holder);
        SetBlockInputObject(m_B, 0, m_Start);
        SetBlockInputObject(m_B, 1, m_End);
    }
    CKMesh* m_Own = nullptr;
    CK3dEntity* m_Holder = nullptr;
    CKMesh* m_Start = nullptr;
    CKMesh* m_End = nullptr;
    CKBehavior* m_B = nullptr;
};

TEST_F(MeshMorpherTest, EachRefusalIsToldAndChangesNothing)
{
    struct Row
    {
        void (*Break)(MeshMorpherTest&);
        const char* Line;
    };
    const Row rows[] = {
        {[](MeshMorpherTest& t) { ClearBlockInput(t.m_B, 0); }, "You must provide a starting mesh"},
        {[](MeshMorpherTest& t) { ClearBlockInput(t.m_B, 1); }, "You must provide an ending mesh"},
        {[](MeshMorpherTest& t) { SetBlockInputObject(t.m_B, 1, t.New<CKMesh>(CKCID_PATCHMESH, "Patch")); },
         "Starting mesh and Ending Mesh must have the same type"},
        {[](MeshMorpherTest& t) { t.m_End->SetVertexCount(5); },
         "Starting mesh and Ending Mesh must have the same vertices number"},
    };
    for (const Row& row : rows) {
        Make();
        row.Break(*this);
        m_Console.clear();
        EXPECT_EQ(Run(m_B), CKBR_PARAMETERERROR) << row.Line;
        EXPECT_EQ(m_Console, std::vector<std::string>{row.Line});
        EXPECT_EQ(m_Holder->GetCurrentMesh(), m_Own);
        EXPECT_EQ(ActiveOutputs(m_B), 0u);
        EXPECT_EQ(ActiveInputs(m_B), 1u);
    }
    CKBehavior* loose = CreateBlock(m_Context, BlockGuid::MeshMorpher, nullptr);
    EXPECT_EQ(Run(loose), CKBR_OWNERERROR);
}

TEST_F(MeshMorpherTest, TheCopyIsMadeOnceAndGivesWayAroundSavesAndDeletion)
{
    SetBlockInputValue(m_B, 2, 0.5f);
    ASSERT_EQ(Run(m_B), CKBR_OK);
    CKMesh* created = m_Holder->GetCurrentMesh();
    ASSERT_NE(created, m_Own);
    EXPECT_STREQ(created->GetName(), "Start_Morpher");
    EXPECT_TRUE(created->GetObjectFlags() & CK_OBJECT_NOTTOBESAVED);
    EXPECT_EQ(m_Holder->GetMeshCount(), 1) << "the copy is current but not listed";
    EXPECT_FLOAT_EQ(At(created, 3).y, 2.0f);
    EXPECT_EQ(m_B->GetLocalParameterObject(0), m_Own);
    m_B->ActivateInput(0, TRUE);
    SetBlockInputValue(m_B, 2, 1.0f);
    ASSERT_EQ(Run(m_B), CKBR_OK);
    EXPECT_EQ(m_Holder->GetCurrentMesh(), created) << "reused";
    EXPECT_FLOAT_EQ(At(created, 3).y, 4.0f);
    SendBlockMessage(m_B, CKM_BEHAVIORPRESAVE);
    EXPECT_EQ(m_Holder->GetCurrentMesh(), m_Own);
    SendBlockMessage(m_B, CKM_BEHAVIORPOSTSAVE);
    EXPECT_EQ(m_Holder->GetCurrentMesh(), created);
    // A start mesh of another size makes a new copy.
    m_Start->SetVertexCount(6);
    m_End->SetVertexCount(6);
    m_B->ActivateInput(0, TRUE);
    const CK_ID old = created->GetID();
    ASSERT_EQ(Run(m_B), CKBR_OK);
    EXPECT_EQ(m_Context->GetObject(old), nullptr);
    created = m_Holder->GetCurrentMesh();
    EXPECT_EQ(created->GetVertexCount(), 6);
    const CK_ID id = created->GetID();
    m_Context->DestroyObject(m_B);
    EXPECT_EQ(m_Holder->GetCurrentMesh(), m_Own);
    EXPECT_EQ(m_Context->GetObject(id), nullptr);
}

TEST_F(MeshMorpherTest, DeletionPutsBackOnlyAMeshItKnowsOnTheOwnerItHas)
{
    // Attached to an object without mesh: nothing to put back, so the
    // mesh the object has by the time of deletion stays.
    auto* bare = New<CK3dEntity>(CKCID_3DOBJECT, "Bare");
    CKBehavior* b = Block(BlockGuid::MeshMorpher, bare);
    EXPECT_EQ(b->GetLocalParameterObject(0), nullptr);
    bare->SetCurrentMesh(m_Own, TRUE);
    m_Context->DestroyObject(b);
    EXPECT_EQ(bare->GetCurrentMesh(), m_Own);
    // A behaviour without owner that knows a mesh deletes cleanly.
    CKBehavior* loose = CreateBlock(m_Context, BlockGuid::MeshMorpher, nullptr);
    ASSERT_NE(loose, nullptr);
    loose->SetLocalParameterObject(0, m_Own);
    m_Context->DestroyObject(loose);
    EXPECT_EQ(m_Holder->GetCurrentMesh(), m_Own);
}

TEST_F(MeshMorpherTest, AttachAndLoadForgetTheCopy)
{
    ASSERT_EQ(Run(m_B), CKBR_OK);
    SendBlockMessage(m_B, CKM_BEHAVIORPRESAVE);
    SendBlockMessage(m_B, CKM_BEHAVIORLOAD);
    EXPECT_EQ(m_B->GetLocalParameterObject(0), m_Own);
    EXPECT_EQ(m_B->GetLocalParameterObject(1), nullptr);
    SendBlockMessage(m_B, CKM_BEHAVIORPOSTSAVE);
    EXPECT_EQ(m_Holder->GetCurrentMesh(), m_Own) << "no copy to put back";
}

} // namespace

// "Add Mesh", "Remove Mesh" and "Select Mesh", run through the block harness.
#include "core/behavior/CKBehaviorIO.h"
#include "lod/blocks/MeshBlocks.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CK3dEntity.h"
#include "tests/lod/LodTestSupport.h"
#include "tools/blockharness/BlockHarness.h"

namespace {

constexpr CKGUID kAdd(0x7A1D593E, 0x12C5648D);
constexpr CKGUID kRemove(0x0002145E, 0x6E1B2592);
constexpr CKGUID kSelect(0x43890176, 0x58B2244E);

class MultiMeshBlocksTest : public LodFixture
{
protected:
    void SetUp() override
    {
        LodFixture::SetUp();
        m_Entity = New<CK3dEntity>(CKCID_3DOBJECT, "Entity");
        m_A = NewMesh("A", 4);
        m_B = NewMesh("B", 4);
        m_C = NewMesh("C", 4);
        m_Entity->AddMesh(m_A);
        m_Entity->AddMesh(m_B);
        m_Entity->SetCurrentMesh(m_A, FALSE);
    }
    // Runs the block with its "Mesh" input naming the object.
    int Run(CKGUID guid, CKObject* mesh, int addIfMissing = -1)
    {
        CKBehavior* b = CreateBlock(m_Context, guid, m_Entity);
        EXPECT_NE(b, nullptr);
        if (!b)
            return -1;
        b->ActivateInput(0, TRUE);
        SetBlockInputObject(b, 0, mesh);
        if (addIfMissing >= 0)
            SetBlockInputValue(b, 1, (CKBOOL) addIfMissing);
        int result = RunBlock(b);
        EXPECT_FALSE(b->IsInputActive(0));
        EXPECT_TRUE(b->GetOutput(0)->IsActive());
        m_Last = b;
        return result;
    }
    bool Has(CKMesh* mesh)
    {
        for (int i = 0; i < m_Entity->GetMeshCount(); ++i)
            if (m_Entity->GetMesh(i) == mesh)
                return true;
        return false;
    }

    CK3dEntity* m_Entity = nullptr;
    CKMesh* m_A = nullptr;
    CKMesh* m_B = nullptr;
    CKMesh* m_C = nullptr;
    CKBehavior* m_Last = nullptr;
};

TEST_F(MultiMeshBlocksTest, SelectAddsAMissingMeshAndMakesItCurrent)
{
    EXPECT_EQ(Run(kSelect, m_C), CKBR_OK);
    EXPECT_EQ(m_Entity->GetCurrentMesh(), m_C);
    EXPECT_TRUE(Has(m_C));
    EXPECT_EQ(m_Entity->GetMeshCount(), 3);
}

TEST_F(MultiMeshBlocksTest, SelectWithoutAddingLeavesTheList)
{
    EXPECT_EQ(Run(kSelect, m_C, FALSE), CKBR_OK);
    EXPECT_EQ(m_Entity->GetCurrentMesh(), m_C);
    EXPECT_FALSE(Has(m_C));
    EXPECT_EQ(Run(kSelect, m_B, FALSE), CKBR_OK);
    EXPECT_EQ(m_Entity->GetCurrentMesh(), m_B);
    EXPECT_EQ(m_Entity->GetMeshCount(), 2);
}

TEST_F(MultiMeshBlocksTest, SelectingNoMeshLeavesTheEntityWithout)
{
    EXPECT_EQ(Run(kSelect, nullptr), CKBR_OK);
    EXPECT_EQ(m_Entity->GetCurrentMesh(), nullptr);
    EXPECT_EQ(m_Entity->GetMeshCount(), 2);
}

TEST_F(MultiMeshBlocksTest, RemovingTheCurrentMeshMakesTheFirstCurrent)
{
    EXPECT_EQ(Run(kRemove, m_A), CKBR_OK);
    EXPECT_FALSE(Has(m_A));
    EXPECT_EQ(m_Entity->GetCurrentMesh(), m_B);
    EXPECT_EQ(Run(kRemove, m_B), CKBR_OK);
    EXPECT_EQ(m_Entity->GetMeshCount(), 0);
    EXPECT_EQ(m_Entity->GetCurrentMesh(), nullptr);
    // A mesh the entity lacks changes nothing.
    m_Entity->SetCurrentMesh(m_C, TRUE);
    EXPECT_EQ(Run(kRemove, m_A), CKBR_OK);
    EXPECT_EQ(m_Entity->GetCurrentMesh(), m_C);
}

TEST_F(MultiMeshBlocksTest, AddAppendsOnce)
{
    EXPECT_EQ(Run(kAdd, m_C), CKBR_OK);
    EXPECT_EQ(Run(kAdd, m_C), CKBR_OK);
    EXPECT_EQ(m_Entity->GetMeshCount(), 3);
    EXPECT_EQ(m_Entity->GetMesh(2), m_C);
    EXPECT_EQ(m_Entity->GetCurrentMesh(), m_A);
    EXPECT_EQ(Run(kAdd, nullptr), CKBR_OK);
    EXPECT_EQ(m_Entity->GetMeshCount(), 3);
}

TEST_F(MultiMeshBlocksTest, AnObjectThatIsNoMeshCountsAsNone)
{
    CKMaterial* material = New<CKMaterial>(CKCID_MATERIAL, "Material");
    EXPECT_EQ(Run(kAdd, material), CKBR_OK);
    EXPECT_EQ(m_Entity->GetMeshCount(), 2);
    EXPECT_EQ(Run(kSelect, material), CKBR_OK);
    EXPECT_EQ(m_Entity->GetCurrentMesh(), nullptr);
}

TEST_F(MultiMeshBlocksTest, AMissingTargetStillActivatesTheOutput)
{
    for (CKGUID guid : {kAdd, kRemove, kSelect}) {
        CKBehavior* b = CreateBlock(m_Context, guid, m_Entity);
        ASSERT_NE(b, nullptr);
        b->ActivateInput(0, TRUE);
        SetBlockInputObject(b, 0, m_C);
        SetBlockTarget(b, nullptr);
        EXPECT_EQ(RunBlock(b), CKBR_OWNERERROR);
        EXPECT_FALSE(b->IsInputActive(0));
        EXPECT_TRUE(b->GetOutput(0)->IsActive());
    }
    EXPECT_EQ(m_Entity->GetMeshCount(), 2);
    EXPECT_EQ(m_Entity->GetCurrentMesh(), m_A);
}

} // namespace

// The blend-shape and level-of-detail blocks, run through the block harness.
#include "core/behavior/CKBehaviorIO.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKRenderContext.h"
#include "core/context/CKStartUp.h"
#include "core/object/CKBeObject.h"
#include "core/parameter/CKParameterIn.h"
#include "core/parameter/CKParameterLocal.h"
#include "core/parameter/CKParameterOut.h"
#include "lod/LODPlugin.h"
#include "lod/blocks/MeshBlockDeclarations.h"
#include "lod/blocks/MeshBlocks.h"
#include "render/context/CKRenderEngine.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CK3dEntity.h"
#include "tests/lod/LodTestSupport.h"
#include "tools/blockharness/BlockHarness.h"

namespace {

constexpr CKGUID kByName(0x07AD1EFF, 0x32740C07);
constexpr CKGUID kByIndex(0x7BD3596E, 0x49065736);
constexpr CKGUID kGetLod(0x62BF39FA, 0x53E264C6);
constexpr CKGUID kSetLod(0x0D360136, 0x63D0633B);
constexpr CKGUID kManagerOptions(0x2B557187, 0x02027BAF);
constexpr CKGUID kLevelOfDetail(0x21465F42, 0x194C71A1);
constexpr CKGUID kProgressiveOptions(0x10357830, 0x18099A52);

bool InputActive(CKBehavior* b, int n)
{
    return b->IsInputActive(n);
}
bool OutputActive(CKBehavior* b, int n)
{
    return b->GetOutput(n)->IsActive();
}

bool Enabled(CKBehavior* b, int n)
{
    return !(b->GetInputParameter(n)->GetObjectFlags() & CK_PARAMETERIN_DISABLED);
}

template <class T>
T Output(CKBehavior* b, int n)
{
    T value{};
    b->GetOutputParameter(n)->GetValue(&value);
    return value;
}

class LodBlocksTest : public LodFixture
{
protected:
    void SetUp() override
    {
        LodFixture::SetUp();
        m_Entity = New<CK3dEntity>(CKCID_3DOBJECT, "Entity");
        m_Mesh = NewMesh("Mesh", 12);
        GiveBlendShapes(m_Mesh, {"Smile", "Blink"});
        m_Entity->SetCurrentMesh(m_Mesh);
    }
    // The block on the entity, with In active.
    CKBehavior* Block(CKGUID guid)
    {
        CKBehavior* b = CreateBlock(m_Context, guid, m_Entity);
        EXPECT_NE(b, nullptr);
        if (b)
            b->ActivateInput(0, TRUE);
        return b;
    }

    CK3dEntity* m_Entity = nullptr;
    CKMesh* m_Mesh = nullptr;
};

TEST_F(LodBlocksTest, BlendShapeWeightByIndexSetsTheWeight)
{
    CKBehavior* b = Block(kByIndex);
    SetBlockInputValue(b, 0, 1);
    SetBlockInputValue(b, 1, 0.75f);
    EXPECT_EQ(RunBlock(b), CKBR_OK);
    EXPECT_EQ(m_Entity->GetBlendShapeWeight(1), 0.75f);
    EXPECT_EQ(m_Entity->GetBlendShapeWeight(0), 0.0f);
    EXPECT_FALSE(InputActive(b, 0));
    EXPECT_TRUE(OutputActive(b, 0));
    // An index out of range is ignored.
    SetBlockInputValue(b, 0, 7);
    SetBlockInputValue(b, 1, 0.5f);
    EXPECT_EQ(RunBlock(b), CKBR_OK);
    EXPECT_EQ(m_Entity->GetBlendShapeWeight(1), 0.75f);
}

TEST_F(LodBlocksTest, BlendShapeWeightByNameSetsTheWeight)
{
    CKBehavior* b = Block(kByName);
    SetBlockInputText(b, 0, "Blink");
    SetBlockInputValue(b, 1, 0.25f);
    EXPECT_EQ(RunBlock(b), CKBR_OK);
    EXPECT_EQ(m_Entity->GetBlendShapeWeight(1), 0.25f);
    SetBlockInputText(b, 0, "Frown");
    SetBlockInputValue(b, 1, 1.0f);
    EXPECT_EQ(RunBlock(b), CKBR_OK);
    EXPECT_EQ(m_Entity->GetBlendShapeWeight(0), 0.0f);
    EXPECT_EQ(m_Entity->GetBlendShapeWeight(1), 0.25f);
}

TEST_F(LodBlocksTest, BlendShapeBlocksWithoutValuesChangeNothing)
{
    m_Entity->SetBlendShapeWeight(0, 0.5f);
    for (CKGUID guid : {kByIndex, kByName}) {
        CKBehavior* b = Block(guid);
        // Neither input has a value: the block leaves the weights alone.
        EXPECT_EQ(RunBlock(b), CKBR_OK);
        EXPECT_EQ(m_Entity->GetBlendShapeWeight(0), 0.5f);
        EXPECT_TRUE(OutputActive(b, 0));
        // Only the weight: still nothing.
        SetBlockInputValue(b, 1, 0.9f);
        EXPECT_EQ(RunBlock(b), CKBR_OK);
        EXPECT_EQ(m_Entity->GetBlendShapeWeight(0), 0.5f);
    }
}

TEST_F(LodBlocksTest, ANameWithoutValueIsNotTheEmptyName)
{
    CKMesh* mesh = NewMesh("Unnamed", 4);
    GiveBlendShapes(mesh, {"", "Blink"});
    m_Entity->SetCurrentMesh(mesh, TRUE);
    CKBehavior* b = Block(kByName);
    SetBlockInputValue(b, 1, 0.5f);
    EXPECT_EQ(RunBlock(b), CKBR_OK);
    EXPECT_EQ(m_Entity->GetBlendShapeWeight(0), 0.0f);
    // An empty text does name it.
    SetBlockInputText(b, 0, "");
    EXPECT_EQ(RunBlock(b), CKBR_OK);
    EXPECT_EQ(m_Entity->GetBlendShapeWeight(0), 0.5f);
}

TEST_F(LodBlocksTest, BlendShapeBlocksWithoutTargetReportIt)
{
    for (CKGUID guid : {kByIndex, kByName}) {
        CKBehavior* b = Block(guid);
        SetBlockTarget(b, nullptr);
        EXPECT_EQ(RunBlock(b), CKBR_OWNERERROR);
        // The output is active all the same.
        EXPECT_FALSE(InputActive(b, 0));
        EXPECT_TRUE(OutputActive(b, 0));
    }
}

TEST_F(LodBlocksTest, ProgressiveMeshOptionsSwitchTheMesh)
{
    CKMesh* mesh = NewProgressiveMesh("pm", 6);
    ASSERT_EQ(mesh->DestroyPM(), 0);
    CKBehavior* b = CreateBlock(m_Context, kProgressiveOptions, mesh);
    ASSERT_NE(b, nullptr);
    b->ActivateInput(0, TRUE);
    // The defaults: on, without geomorph.
    EXPECT_EQ(RunBlock(b), CKBR_OK);
    EXPECT_TRUE(mesh->IsPM());
    EXPECT_FALSE(mesh->IsPMGeoMorphEnabled());
    EXPECT_EQ(mesh->GetPMGeoMorphStep(), 0);
    EXPECT_FALSE(InputActive(b, 0));
    EXPECT_TRUE(OutputActive(b, 0));
    SetBlockInputValue(b, 1, (CKBOOL) TRUE);
    SetBlockInputValue(b, 2, 12);
    EXPECT_EQ(RunBlock(b), CKBR_OK);
    EXPECT_TRUE(mesh->IsPM());
    EXPECT_TRUE(mesh->IsPMGeoMorphEnabled());
    EXPECT_EQ(mesh->GetPMGeoMorphStep(), 12);
    // Inputs that read nothing: on, geomorph off, no steps.
    ClearBlockInput(b, 0);
    ClearBlockInput(b, 1);
    ClearBlockInput(b, 2);
    EXPECT_EQ(RunBlock(b), CKBR_OK);
    EXPECT_TRUE(mesh->IsPM());
    EXPECT_FALSE(mesh->IsPMGeoMorphEnabled());
    EXPECT_EQ(mesh->GetPMGeoMorphStep(), 0);
    SetBlockInputValue(b, 0, (CKBOOL) FALSE);
    EXPECT_EQ(RunBlock(b), CKBR_OK);
    EXPECT_FALSE(mesh->IsPM());
    // Without a mesh to work on the block touches nothing.
    SetBlockInputValue(b, 0, (CKBOOL) TRUE);
    b->ActivateInput(0, TRUE);
    b->ActivateOutput(0, FALSE);
    SetBlockTarget(b, nullptr);
    EXPECT_EQ(RunBlock(b), CKBR_OK);
    EXPECT_TRUE(InputActive(b, 0));
    EXPECT_FALSE(OutputActive(b, 0));
    EXPECT_FALSE(mesh->IsPM());
}

TEST_F(LodBlocksTest, GetLodAttributeReadsTheDefaultRecord)
{
    Attach(m_Entity, LODOptions());
    CKBehavior* b = Block(kGetLod);
    EXPECT_EQ(RunBlock(b), CKBR_OK);
    EXPECT_FALSE(InputActive(b, 0));
    EXPECT_TRUE(OutputActive(b, 0));
    EXPECT_FALSE(OutputActive(b, 1));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Output<CKBOOL>(b, i), 0) << i;
    const float fractions[6] = {0.4f, 0.01f, 1.0f, 0.02f, 0.1f, 0.05f};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(Output<float>(b, 4 + i), fractions[i]) << i;
}

TEST_F(LodBlocksTest, GetLodAttributeShowsEachFlagOnItsOutput)
{
    LODOptions* options = Attach(m_Entity, LODOptions());
    CKBehavior* b = Block(kGetLod);
    const CKDWORD bits[4] = {LOD_MULTIPLEMESHES, LOD_CHARACTER, LOD_PATCHMESH, LOD_ALPHA};
    for (int i = 0; i < 4; ++i) {
        options->Flags = bits[i];
        options->ScreenAlphaMin = 0.0625f * (float) i;
        b->ActivateInput(0, TRUE);
        EXPECT_EQ(RunBlock(b), CKBR_OK);
        for (int j = 0; j < 4; ++j)
            EXPECT_EQ(Output<CKBOOL>(b, j), i == j ? 1 : 0) << i << " " << j;
        EXPECT_EQ(Output<float>(b, 9), 0.0625f * (float) i);
    }
}

TEST_F(LodBlocksTest, GetLodAttributeWithoutTheAttributeTakesTheOtherOutput)
{
    CKBehavior* b = Block(kGetLod);
    EXPECT_EQ(RunBlock(b), CKBR_OK);
    EXPECT_FALSE(InputActive(b, 0));
    EXPECT_FALSE(OutputActive(b, 0));
    EXPECT_TRUE(OutputActive(b, 1));
    // Without target nothing is touched.
    b->ActivateOutput(1, FALSE);
    b->ActivateInput(0, TRUE);
    SetBlockTarget(b, nullptr);
    EXPECT_EQ(RunBlock(b), CKBR_OK);
    EXPECT_TRUE(InputActive(b, 0));
    EXPECT_FALSE(OutputActive(b, 0));
    EXPECT_FALSE(OutputActive(b, 1));
}

TEST_F(LodBlocksTest, SetLodAttributeAddsTheAttributeWithTheBlockDefaults)
{
    CKBehavior* b = Block(kSetLod);
    EXPECT_EQ(RunBlock(b), CKBR_OK);
    EXPECT_TRUE(m_Entity->HasAttribute(Manager()->GetLodAttribute()));
    EXPECT_FALSE(InputActive(b, 0));
    EXPECT_TRUE(OutputActive(b, 0));
    LODOptions* o = Manager()->GetLodOptions(m_Entity);
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->Flags, 0u);
    EXPECT_EQ(o->ScreenMag, 40.0f / 100.0f);
    EXPECT_EQ(o->ScreenMin, 1.0f / 100.0f);
    EXPECT_EQ(o->FaceMag, 1.0f);
    // The block's own default "3", not the type's 0.02.
    EXPECT_EQ(o->FaceMin, 3.0f / 100.0f);
    EXPECT_EQ(o->ScreenAlphaMag, 10.0f / 100.0f);
    EXPECT_EQ(o->ScreenAlphaMin, 5.0f / 100.0f);
}

TEST_F(LodBlocksTest, SetLodAttributeSetsAndClearsEachFlag)
{
    LODOptions* o = Attach(m_Entity, LODOptions());
    CKBehavior* b = Block(kSetLod);
    const CKDWORD bits[4] = {LOD_MULTIPLEMESHES, LOD_CHARACTER, LOD_PATCHMESH, LOD_ALPHA};
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j)
            SetBlockInputValue(b, j, (CKBOOL) (i == j));
        EXPECT_EQ(RunBlock(b), CKBR_OK);
        EXPECT_EQ(o->Flags, bits[i]) << i;
    }
    // A Boolean input that reads nothing clears its flag.
    SetBlockInputValue(b, 3, (CKBOOL) TRUE);
    ClearBlockInput(b, 3);
    o->Flags = 0xF;
    EXPECT_EQ(RunBlock(b), CKBR_OK);
    EXPECT_EQ(o->Flags, 0u);
    // A fraction that reads nothing takes the block's default.
    ClearBlockInput(b, 7);
    o->FaceMin = 0.5f;
    EXPECT_EQ(RunBlock(b), CKBR_OK);
    EXPECT_EQ(o->FaceMin, 0.03f);
}

TEST_F(LodBlocksTest, SetLodAttributeWithOnlyScreenMagEnabledChangesOnlyIt)
{
    LODOptions* o = Attach(m_Entity, LODOptions());
    o->Flags = LOD_ALPHA;
    const LODOptions before = *o;
    CKBehavior* b = Block(kSetLod);
    CKDWORD mask = 16;
    b->GetLocalParameter(0)->SetValue(&mask);
    EXPECT_EQ(SendBlockMessage(b, CKM_BEHAVIORSETTINGSEDITED), 0);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(Enabled(b, i), i == 4) << i;
    SetBlockInputText(b, 4, "25");
    SetBlockInputText(b, 5, "50");
    SetBlockInputValue(b, 0, (CKBOOL) TRUE);
    EXPECT_EQ(RunBlock(b), CKBR_OK);
    EXPECT_EQ(o->ScreenMag, 0.25f);
    EXPECT_EQ(o->Flags, before.Flags);
    EXPECT_EQ(o->ScreenMin, before.ScreenMin);
    EXPECT_EQ(o->FaceMag, before.FaceMag);
    EXPECT_EQ(o->FaceMin, before.FaceMin);
    EXPECT_EQ(o->ScreenAlphaMag, before.ScreenAlphaMag);
    EXPECT_EQ(o->ScreenAlphaMin, before.ScreenAlphaMin);
}

TEST_F(LodBlocksTest, TheSettingsCallbackAnswersCopyAndEditOnly)
{
    CKBehavior* b = Block(kManagerOptions);
    CKDWORD mask = 5;
    b->GetLocalParameter(0)->SetValue(&mask);
    // Other messages leave the inputs as they are.
    for (CKDWORD message : {CKM_BEHAVIORPRESAVE, CKM_BEHAVIORATTACH, CKM_BEHAVIORLOAD, CKM_BEHAVIOREDITED})
        EXPECT_EQ(SendBlockMessage(b, message), 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(Enabled(b, i)) << i;
    for (CKDWORD message : {CKM_BEHAVIORCREATE, CKM_BEHAVIORSETTINGSEDITED}) {
        for (int i = 0; i < 3; ++i)
            b->GetInputParameter(i)->ModifyObjectFlags(i == 1 ? 0u : (CKDWORD) CK_PARAMETERIN_DISABLED, 0);
        EXPECT_EQ(SendBlockMessage(b, message), 0);
        EXPECT_TRUE(Enabled(b, 0));
        EXPECT_FALSE(Enabled(b, 1));
        EXPECT_TRUE(Enabled(b, 2));
    }
}

TEST_F(LodBlocksTest, ManagerOptionsSetsAndShowsTheManager)
{
    CKBehavior* b = Block(kManagerOptions);
    LODManager* manager = Manager();
    EXPECT_EQ(RunBlock(b), CKBR_OK);
    EXPECT_FALSE(InputActive(b, 0));
    EXPECT_TRUE(OutputActive(b, 0));
    EXPECT_TRUE(manager->IsActive());
    EXPECT_EQ(Output<CKBOOL>(b, 0), TRUE);
    EXPECT_EQ(Output<float>(b, 1), 1.0f);
    EXPECT_EQ(Output<CKBOOL>(b, 2), FALSE);

    SetBlockInputValue(b, 0, (CKBOOL) FALSE);
    SetBlockInputValue(b, 1, 0.5f);
    SetBlockInputValue(b, 2, (CKBOOL) TRUE);
    EXPECT_EQ(RunBlock(b), CKBR_OK);
    EXPECT_FALSE(manager->IsActive());
    EXPECT_EQ(manager->m_GlobalLodFactor, 0.5f);
    EXPECT_TRUE(manager->m_BuildPMNormals);
    EXPECT_EQ(Output<CKBOOL>(b, 0), FALSE);
    EXPECT_EQ(Output<float>(b, 1), 0.5f);
    EXPECT_EQ(Output<CKBOOL>(b, 2), TRUE);

    // Only the factor enabled: the rest of the manager stays; a factor that
    // reads nothing is 1.
    CKDWORD mask = 2;
    b->GetLocalParameter(0)->SetValue(&mask);
    SendBlockMessage(b, CKM_BEHAVIORSETTINGSEDITED);
    SetBlockInputValue(b, 0, (CKBOOL) TRUE);
    ClearBlockInput(b, 1);
    EXPECT_EQ(RunBlock(b), CKBR_OK);
    EXPECT_FALSE(manager->IsActive());
    EXPECT_EQ(manager->m_GlobalLodFactor, 1.0f);
    EXPECT_TRUE(manager->m_BuildPMNormals);
}

class LevelOfDetailBlockTest : public LodBlocksTest
{
protected:
    void SetUp() override
    {
        LodBlocksTest::SetUp();
        m_Entity->RemoveMesh(m_Mesh);
        for (int i = 0; i < 3; ++i) {
            m_Meshes[i] = NewMesh("LOD", 100 >> i);
            m_Entity->AddMesh(m_Meshes[i]);
        }
        m_Entity->SetCurrentMesh(m_Meshes[0], FALSE);
        m_Dev = NewRenderContext();
        ASSERT_NE(m_Dev, nullptr);
        m_Block = Block(kLevelOfDetail);
        m_Frame.RenderContext = m_Dev;
    }
    // The mesh chosen with the entity at distance d in front of the view.
    int Choose(float d)
    {
        CK3dEntity* view = m_Dev->GetViewpoint();
        view->SetPosition3f(10.0f, -5.0f, 2.0f);
        QxVector at(0.0f, 0.0f, d);
        m_Entity->SetPosition(&at, view);
        EXPECT_EQ(RunBlock(m_Block, m_Frame), CKBR_ACTIVATENEXTFRAME);
        for (int i = 0; i < 3; ++i)
            if (m_Entity->GetCurrentMesh() == m_Meshes[i])
                return i;
        return -1;
    }

    CKMesh* m_Meshes[3] = {};
    CKRenderContext* m_Dev = nullptr;
    CKBehavior* m_Block = nullptr;
    BlockFrame m_Frame;
};

TEST_F(LevelOfDetailBlockTest, PicksTheMeshByDistance)
{
    // 100 to 1000 spread the three meshes linearly: 550 is half way.
    EXPECT_EQ(Choose(550.0f), 1);
    EXPECT_EQ(Choose(1000.0f), 2);
    EXPECT_EQ(Choose(5000.0f), 2);
    EXPECT_EQ(Choose(100.0f), 0);
    EXPECT_EQ(Choose(0.0f), 0);
    EXPECT_EQ(Choose(999.0f), 1);
    EXPECT_EQ(Choose(-550.0f), 1) << "the distance, whichever side";
    EXPECT_FALSE(InputActive(m_Block, 0));
    EXPECT_TRUE(OutputActive(m_Block, 0));
    SetBlockInputValue(m_Block, 0, 0.0f);
    SetBlockInputValue(m_Block, 1, 10.0f);
    EXPECT_EQ(Choose(5.0f), 1);
}

TEST_F(LevelOfDetailBlockTest, OffEndsTheLoop)
{
    m_Block->ActivateInput(0, FALSE);
    m_Block->ActivateInput(1, TRUE);
    m_Entity->SetPosition3f(0.0f, 0.0f, 5000.0f);
    EXPECT_EQ(RunBlock(m_Block, m_Frame), CKBR_OK);
    EXPECT_FALSE(InputActive(m_Block, 1));
    EXPECT_TRUE(OutputActive(m_Block, 1));
    EXPECT_FALSE(OutputActive(m_Block, 0));
    EXPECT_EQ(m_Entity->GetCurrentMesh(), m_Meshes[0]);
}

TEST_F(LevelOfDetailBlockTest, WaitsWithoutViewOrRange)
{
    m_Entity->SetPosition3f(0.0f, 0.0f, 5000.0f);
    // No render context: no viewpoint.
    EXPECT_EQ(RunBlock(m_Block), CKBR_ACTIVATENEXTFRAME);
    EXPECT_EQ(m_Entity->GetCurrentMesh(), m_Meshes[0]);
    // Equal distances would divide by zero.
    SetBlockInputValue(m_Block, 0, 300.0f);
    SetBlockInputValue(m_Block, 1, 300.0f);
    EXPECT_EQ(RunBlock(m_Block, m_Frame), CKBR_ACTIVATENEXTFRAME);
    EXPECT_EQ(m_Entity->GetCurrentMesh(), m_Meshes[0]);
    // No target: a behaviour without owner.
    CKBehavior* ownerless = CreateBlock(m_Context, kLevelOfDetail, nullptr);
    ASSERT_NE(ownerless, nullptr);
    EXPECT_EQ(RunBlock(ownerless, m_Frame), CKBR_ACTIVATENEXTFRAME);
    // An entity without meshes keeps its current one.
    SetBlockInputValue(m_Block, 1, 400.0f);
    for (CKMesh* mesh : m_Meshes)
        m_Entity->RemoveMesh(mesh);
    m_Entity->SetCurrentMesh(m_Meshes[1], FALSE);
    EXPECT_EQ(RunBlock(m_Block, m_Frame), CKBR_ACTIVATENEXTFRAME);
    EXPECT_EQ(m_Entity->GetCurrentMesh(), m_Meshes[1]);
}

// A context whose level-of-detail plug-in declares its blocks but makes no
// manager.
class NoManagerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(CKStartUp(), 0);
        CKPluginManager* plugins = CKGetPluginManager();
        plugins->RegisterPlugin(0, CKGetRenderEnginePluginInfo(0), nullptr, nullptr);
        plugins->AddStaticDll("Render Engine", 1);
        plugins->RegisterPlugin(0, CKGetLodPluginInfo(0), &CKRegisterLodBehaviorDeclarations, nullptr);
        plugins->AddStaticDll("Meshes", 1);
        ASSERT_EQ(CKCreateContext(&m_Context, nullptr), 0);
        ASSERT_EQ(m_Context->GetManagerByGuid(LOD_MANAGER_GUID), nullptr);
        m_Entity = static_cast<CK3dEntity*>(m_Context->CreateObject(CKCID_3DOBJECT, "e"));
    }
    void TearDown() override
    {
        EXPECT_EQ(CKCloseContext(m_Context), 0);
        EXPECT_EQ(CKShutdown(), 0);
    }

    CKContext* m_Context = nullptr;
    CK3dEntity* m_Entity = nullptr;
};

TEST_F(NoManagerTest, TheAttributeBlocksDoNothing)
{
    for (CKGUID guid : {kGetLod, kSetLod}) {
        CKBehavior* b = CreateBlock(m_Context, guid, m_Entity);
        ASSERT_NE(b, nullptr);
        b->ActivateInput(0, TRUE);
        EXPECT_EQ(RunBlock(b), CKBR_OK);
        EXPECT_TRUE(b->IsInputActive(0));
        for (int i = 0; i < b->GetOutputCount(); ++i)
            EXPECT_FALSE(b->GetOutput(i)->IsActive());
    }
    EXPECT_EQ(m_Entity->GetAttributeCount(), 0);
}

TEST_F(NoManagerTest, ManagerOptionsOnlyPassesThrough)
{
    CKBehavior* b = CreateBlock(m_Context, kManagerOptions, m_Entity);
    ASSERT_NE(b, nullptr);
    b->ActivateInput(0, TRUE);
    EXPECT_EQ(RunBlock(b), CKBR_OK);
    EXPECT_FALSE(b->IsInputActive(0));
    EXPECT_TRUE(b->GetOutput(0)->IsActive());
}

} // namespace

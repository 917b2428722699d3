// The render manager: its variables, rasterizer object indices, the lists
// the 3D entities keep with it, temporary callbacks, effects, default
// materials and the render contexts it owns.
#include <cstring>
#include <string>
#include <vector>

#include "core/context/CKVariableManager.h"
#include "core/parameter/CKParameterManager.h"
#include "render/context/CKEffectDescription.h"
#include "render/context/CKRenderGlobals.h"
#include "render/context/rasterizer/CKRasterizerContext.h"
#include "tests/render/support/RenderTestSupport.h"

namespace {

using RenderManager = RenderFixture;

TEST_F(RenderManager, RegistersItsVariablesWithTheirDefaults)
{
    struct IntCase
    {
        const char* name;
        int value;
    };
    CKVariableManager* vm = m_Context->GetVariableManager();
    for (IntCase c : {IntCase{"CK2_3D/EnableDebugMode", 0}, IntCase{"CK2_3D/DisplayObjectInformation", 0},
                      IntCase{"CK2_3D/SaveOptimizedMesh", 0}, IntCase{"CK2_3D/VertexCache", 16},
                      IntCase{"CK2_3D/DX5LightingModel", 0}, IntCase{"CK2_3D/Antialias", 0},
                      IntCase{"Points Cloud/VerticesPerVB", 135535}, IntCase{"Points Cloud/ProfCount_Points", 0}}) {
        int value = -1;
        EXPECT_TRUE(vm->GetValue(c.name, &value)) << c.name;
        EXPECT_EQ(value, c.value) << c.name;
    }
    struct FloatCase
    {
        const char* name;
        float value;
    };
    for (FloatCase c :
         {FloatCase{"Points Cloud/MaxTimeToFillVB", 50.0f}, FloatCase{"Points Cloud/DefaultPrecision", 5e-6f},
          FloatCase{"Points Cloud/MinPointSize", 1.0f}, FloatCase{"Points Cloud/MaxPointSize", 128.0f},
          FloatCase{"Points Cloud/ProfTime_LOD Creation", 0.0f}}) {
        float value = -1.0f;
        EXPECT_TRUE(vm->GetValue(c.name, &value)) << c.name;
        EXPECT_EQ(value, c.value) << c.name;
    }
    EXPECT_STREQ(vm->GetVariable("CK2_3D/SaveOptimizedMesh")->GetDescription(), "Enable saving optimized mesh");
    ASSERT_TRUE(vm->SetValue("CK2_3D/VertexCache", 24));
    EXPECT_EQ(Manager()->GetSettings().VertexCache, 24) << "the manager reads its bound variable";
}

TEST_F(RenderManager, ObjectIndicesAreUniquePerKindAndReleasedOnesComeBack)
{
    CKDWORD a = Manager()->CreateObjectIndex(CKRST_OBJ_VERTEXBUFFER);
    CKDWORD b = Manager()->CreateObjectIndex(CKRST_OBJ_VERTEXBUFFER);
    CKDWORD t = Manager()->CreateObjectIndex(CKRST_OBJ_TEXTURE);
    EXPECT_NE(a, 0u);
    EXPECT_NE(a, b);
    EXPECT_EQ(t, 1u) << "each kind counts on its own";
    EXPECT_EQ(Manager()->CreateObjectIndex(3), 0u) << "no such kind";

    // Releasing an index deletes its object in every render context.
    RCKRenderContext* first = NewRecordingContext();
    RCKRenderContext* second = NewRecordingContext();
    CKVertexBufferDesc desc;
    desc.VertexSize = 12;
    desc.MaxVertexCount = 4;
    for (RCKRenderContext* rc : {first, second})
        ASSERT_TRUE(rc->GetRasterizerContext()->CreateObject(a, CKRST_OBJ_VERTEXBUFFER, &desc));
    Manager()->ReleaseObjectIndex(a, CKRST_OBJ_VERTEXBUFFER);
    for (RCKRenderContext* rc : {first, second})
        EXPECT_EQ(rc->GetRasterizerContext()->GetVertexBufferData(a), nullptr);
    EXPECT_EQ(Manager()->CreateObjectIndex(CKRST_OBJ_VERTEXBUFFER), a);
}

TEST_F(RenderManager, WithoutARasterizerThereIsNoIndexAndNoRenderContext)
{
    CKGetRenderGlobals().m_Rasterizers.Clear();
    CKContext* bare = nullptr;
    ASSERT_EQ(CKCreateContext(&bare, nullptr), 0);
    RCKRenderManager* manager = static_cast<RCKRenderManager*>(bare->GetRenderManager());
    EXPECT_EQ(manager->GetRenderDriverCount(), 0);
    EXPECT_EQ(manager->CreateObjectIndex(CKRST_OBJ_SHAREDVB), 0u);
    EXPECT_EQ(manager->CreateRenderContext(nullptr), nullptr);
    EXPECT_EQ(CKCloseContext(bare), 0);
}

TEST_F(RenderManager, MovedEntitiesStayForTheFrameTheyMovedInAndTheNextAndLeaveWhenDeleted)
{
    TestEntity* entity = New<TestEntity>("mover");
    entity->ModifyMoveableFlags(CK_3DENTITY_INMOVEDLIST, 0);
    Manager()->AddMovedEntity(entity);
    Manager()->PostProcess();
    ASSERT_EQ(Manager()->GetMovedEntities().Size(), 1);
    EXPECT_TRUE(entity->GetMoveableFlags() & CK_3DENTITY_NOTMOVED);
    entity->ModifyMoveableFlags(0, CK_3DENTITY_NOTMOVED); // moved again
    Manager()->PostProcess();
    EXPECT_EQ(Manager()->GetMovedEntities().Size(), 1);
    Manager()->PostProcess();
    EXPECT_EQ(Manager()->GetMovedEntities().Size(), 0) << "not moved since the last pass";
    EXPECT_EQ(entity->GetMoveableFlags() & (CK_3DENTITY_INMOVEDLIST | CK_3DENTITY_NOTMOVED), 0u);

    // Entities being deleted leave the manager's lists.
    TestEntity* doomed = New<TestEntity>("doomed");
    for (TestEntity* e : {entity, doomed}) {
        Manager()->AddMovedEntity(e);
        Manager()->RegisterLastFrameEntity(e);
    }
    m_Context->DestroyObject(doomed);
    EXPECT_EQ(Manager()->GetMovedEntities().Size(), 1);
    EXPECT_EQ(Manager()->GetLastFrameEntities().Size(), 1);
    Manager()->PreProcess();
    Manager()->PostProcess();
    EXPECT_EQ(entity->m_LastFrameSaves, 1);
    Manager()->UnregisterLastFrameEntity(entity);
    Manager()->PreProcess();
    EXPECT_EQ(entity->m_LastFrameSaves, 1);
}

CKBOOL CountCall(CKRenderContext*, CKRenderObject*, void* argument)
{
    ++*static_cast<int*>(argument);
    return TRUE;
}

TEST_F(RenderManager, TemporaryCallbacksRunForOneFrame)
{
    RCKRenderContext* rc = NewRecordingContext();
    TestEntity* entity = New<TestEntity>("e");
    entity->SetPosition(0, 0, 10);
    rc->AddObject(entity);
    int once = 0, always = 0;
    EXPECT_TRUE(entity->AddPostRenderCallBack(&CountCall, &once, TRUE));
    EXPECT_TRUE(entity->AddPreRenderCallBack(&CountCall, &always, FALSE));
    EXPECT_FALSE(entity->AddPreRenderCallBack(&CountCall, &always, FALSE)) << "the same pair twice";
    EXPECT_EQ(Manager()->GetTemporaryCallbackCount(), 1);
    rc->Render();
    rc->Render();
    EXPECT_EQ(once, 1);
    EXPECT_EQ(always, 2);
    EXPECT_EQ(Manager()->GetTemporaryCallbackCount(), 0);

    // An object dropping its callbacks takes its temporary records along.
    entity->AddPreRenderCallBack(&CountCall, &once, TRUE);
    entity->RemoveAllCallbacks();
    EXPECT_EQ(Manager()->GetTemporaryCallbackCount(), 0);
    rc->Render();
    EXPECT_EQ(once, 1);
}

TEST_F(RenderManager, OffersTheEffectsTheExporterNamesWithTheirParameterStructures)
{
    ASSERT_GE(Manager()->GetEffectCount(), 3);
    EXPECT_STREQ(Manager()->GetEffectDescription(0)->Name.CStr(), "None") << "effect 0 is no effect";
    EXPECT_EQ(Manager()->GetEffectDescription(Manager()->GetEffectCount()), nullptr);
    auto effect = [&](const char* name) -> const CKEffectDescription* {
        for (int i = 0; i < Manager()->GetEffectCount(); ++i)
            if (Manager()->GetEffectDescription(i)->Name == name)
                return Manager()->GetEffectDescription(i);
        return nullptr;
    };
    const CKEffectDescription* bump = effect("Environment Bump Map");
    const CKEffectDescription* combine = effect("Combine 2 Textures");
    ASSERT_NE(bump, nullptr);
    ASSERT_NE(combine, nullptr);
    EXPECT_EQ(bump->NeededTextures, 2);
    EXPECT_STREQ(bump->Tex1Description.CStr(), "Bump Texture");
    EXPECT_STREQ(bump->Tex2Description.CStr(), "Env. Texture");
    EXPECT_NE(std::strstr(bump->ParameterDescription.CStr(), "EnvMap Referential"), nullptr);
    EXPECT_EQ(combine->NeededTextures, 1);
    EXPECT_TRUE(combine->Tex1Description.IsEmpty()) << "shown as \"Texture 1\"";
    EXPECT_NE(std::strstr(combine->ParameterDescription.CStr(), "TexGen"), nullptr);

    CKParameterManager* pm = m_Context->GetParameterManager();
    auto hasMember = [&](CKGUID enumeration, const char* name) {
        CKEnumDesc* e = pm->GetEnumDescByType(pm->ParameterGuidToType(enumeration));
        for (int k = 0; e && k < e->NbData; ++k)
            if (std::string(e->Desc[k]) == name)
                return true;
        return false;
    };
    const std::pair<const CKEffectDescription*, std::vector<std::string>> expected[] = {
        {bump, {"Amplitude", "EnvMap Combine", "EnvMap TexGen", "EnvMap Referential"}},
        {combine, {"Combine", "TexGen", "Referential"}},
    };
    for (const auto& [d, members] : expected) {
        CKStructDesc* s = pm->GetStructDescByType(pm->ParameterGuidToType(d->ParameterType));
        ASSERT_NE(s, nullptr) << d->Name.CStr() << ": a structure type";
        ASSERT_EQ(s->NbData, (int) members.size());
        for (int m = 0; m < s->NbData; ++m)
            EXPECT_EQ(std::string(s->Desc[m]), members[(size_t) m]);
        // The combine member takes the text "Add", the texture generation "Chrome".
        EXPECT_TRUE(hasMember(s->Guids[s->NbData - 3], "Add"));
        EXPECT_TRUE(hasMember(s->Guids[s->NbData - 2], "Chrome"));
        EXPECT_EQ(pm->GuidToClassID(s->Guids[s->NbData - 1]), CKCID_3DENTITY) << "the referential is an entity";
    }
}

TEST_F(RenderManager, MakesItsDefaultMaterialsUnsavedAndKeptByClearAll)
{
    CKMaterial* materials[] = {Manager()->GetDefaultMaterial(), Manager()->GetStencilOnlyMaterial(),
                               Manager()->GetZBufferOnlyMaterial(), Manager()->GetWireframeLayerMaterial()};
    const char* names[] = {"Default Mat", "Stencil Only Mat", "ZBufferOnly Mat", "WireframeLayer Mat"};
    for (int i = 0; i < 4; ++i) {
        ASSERT_NE(materials[i], nullptr) << names[i];
        EXPECT_STREQ(materials[i]->GetName(), names[i]);
        EXPECT_TRUE(materials[i]->GetObjectFlags() & CK_OBJECT_NOTTOBESAVED);
    }
    EXPECT_FALSE(materials[1]->ZWriteEnabled()) << "stencil only writes no depth";
    EXPECT_EQ(materials[1]->GetSourceBlend(), CK_BLEND_ZERO) << "and no colour";
    EXPECT_EQ(materials[1]->GetDestBlend(), CK_BLEND_ONE);
    EXPECT_EQ(materials[2]->GetFillMode(), CK_FILL_ONLYZ);
    EXPECT_EQ(materials[3]->GetFillMode(), CK_FILL_WIREFRAME);
    EXPECT_EQ(materials[0]->GetFillMode(), CK_FILL_SOLID);
    m_Context->ClearAll();
    EXPECT_EQ(Manager()->GetDefaultMaterial(), materials[0]);
}

TEST_F(RenderManager, OffersTheDriversAndOwnsItsRenderContexts)
{
    ASSERT_EQ(Manager()->GetRenderDriverCount(), 2);
    EXPECT_STREQ(Manager()->GetRenderDriverDescription(0), "NULL Rasterizer");
    EXPECT_STREQ(Manager()->GetRenderDriverDescription(1), "Recording Rasterizer");
    EXPECT_EQ(Manager()->GetRenderDriverDescription(2), nullptr);
    RCKRenderContext* first = NewRecordingContext();
    RCKRenderContext* second = NewRecordingContext();
    RCKRenderContext* third = NewRecordingContext();
    ASSERT_EQ(Manager()->GetRenderContextCount(), 3);
    EXPECT_EQ(m_Context->GetMainRenderContext(), first) << "the first one is the main one";
    EXPECT_NE(first->GetMaskBit(), second->GetMaskBit());
    EXPECT_EQ(Manager()->GetRenderContext(3), nullptr);
    EXPECT_EQ(Manager()->DestroyRenderContext(first), CKErr::Ok);
    EXPECT_EQ(m_Context->GetMainRenderContext(), nullptr);
    EXPECT_EQ(Manager()->GetRenderContextCount(), 2);
    EXPECT_EQ(Manager()->DestroyRenderContext(nullptr), CKErr::InvalidRenderContext);
    QxIntRect empty{0, 0, 0, 10};
    EXPECT_EQ(Manager()->CreateRenderContext(nullptr, 0, &empty), nullptr);
    EXPECT_EQ(Manager()->CreateRenderContext(nullptr, 9), nullptr);
    EXPECT_EQ(Manager()->GetRenderContextCount(), 2);
    // The remaining two go when the context closes (the fixture's tear-down).
    EXPECT_TRUE(third->GetObjectFlags() & CK_OBJECT_NOTTOBESAVED);
}

TEST_F(RenderManager, DrawsObjectInformationAsLineLists)
{
    RCKRenderContext* rc = NewRecordingContext();
    TestEntity* entity = New<TestEntity>("e");
    Manager()->GetSettings().DisplayObjectInformation = 1 | 2 | 4 | 8 | 16;
    Recorder(rc)->ClearCalls();
    Manager()->DrawObjectInformation(rc, entity);
    int lines = 0;
    for (const XString& call : Recorder(rc)->GetCalls())
        if (std::strncmp(call.CStr(), "DrawPrimitive(2,", 16) == 0)
            ++lines;
    EXPECT_EQ(lines, 4) << "box, oriented box, hierarchical box, sphere; mesh details wait for meshes";
    EXPECT_EQ(rc->GetState(CKRST_RS_LIGHTING), 1u) << "lighting put back";
}

} // namespace

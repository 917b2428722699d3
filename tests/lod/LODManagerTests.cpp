// The level-of-detail manager: its settings through play, pause and reset,
// the attribute callback, the mesh choice, the screen measure and the fade,
// frame by frame through the frame driver.
#include <cmath>
#include <random>
#include <utility>
#include <vector>

#include "core/attribute/CKAttributeManager.h"
#include "core/context/CKRenderContext.h"
#include "core/object/CKBeObject.h"
#include "core/parameter/CKParameter.h"
#include "render/animation/CKCharacter.h"
#include "render/context/RenderCallbackList.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKMesh.h"
#include "render/mesh/CKPatchMesh.h"
#include "render/objects/CK3dEntity.h"
#include "render/objects/CKCamera.h"
#include "render/objects/RCKRenderObject.h"
#include "tests/lod/LodReference.h"
#include "tests/lod/LodTestSupport.h"
#include "tools/blockharness/BlockHarness.h"
#include "tools/testdata/TestPatches.h"

namespace {

bool HasPreCallback(CK3dEntity* entity, LODManager* manager)
{
    RenderCallbackList* list = static_cast<RCKRenderObject*>(entity)->GetCallbacks();
    if (!list)
        return false;
    for (const RenderCallbackRecord& r : list->GetPreCallbacks())
        if (r.Function == CKRenderCallbackFrom(&LODManager::OnLodPreRender) && r.Argument == manager)
            return true;
    return false;
}

int PostCallbackCount(CK3dEntity* entity)
{
    RenderCallbackList* list = static_cast<RCKRenderObject*>(entity)->GetCallbacks();
    return list ? list->GetPostCallbacks().Size() : 0;
}

class LodManagerTest : public LodCameraFixture
{
protected:
    void SetUp() override
    {
        LodCameraFixture::SetUp();
        m_Camera->SetFov(0.8f);
    }
    // An entity with meshes of those face counts (the first current).
    CK3dEntity* NewEntity(std::initializer_list<int> faces, CK_CLASSID cid = CKCID_3DOBJECT)
    {
        CK3dEntity* e = New<CK3dEntity>(cid, "Entity");
        for (int f : faces)
            e->AddMesh(NewMesh("Mesh", f));
        e->SetCurrentMesh(e->GetMesh(0), FALSE);
        return e;
    }
};

TEST_F(LodManagerTest, TheCameraFactorComesFromTheFieldOfView)
{
    float t = std::tan(0.8f * 0.5f);
    float twice = 2.0f * t;
    EXPECT_EQ(LODManager::ComputeCameraFactor(m_Dev), 1.0f / (twice * twice));
    EXPECT_EQ(LODManager::ComputeCameraFactor(nullptr), 1.0f);
    m_Dev->DetachViewpointFromCamera();
    EXPECT_EQ(LODManager::ComputeCameraFactor(m_Dev), 1.0f);
}

TEST_F(LodManagerTest, TheCameraFactorIsTakenAtPlayAndBeforeEachFrame)
{
    LODManager* manager = Manager();
    EXPECT_EQ(manager->GetCameraFactor(), 1.0f);
    // Play reads the main render context (the first one made).
    ASSERT_EQ(m_Context->GetMainRenderContext(), m_Dev);
    m_Context->ExecuteManagersOnCKPlay();
    float factor = LODManager::ComputeCameraFactor(m_Dev);
    EXPECT_EQ(manager->GetCameraFactor(), factor);
    // Before a frame, only while active and with entities to work on.
    m_Camera->SetFov(1.2f);
    m_Context->ExecuteManagersOnPreRender(m_Dev);
    EXPECT_EQ(manager->GetCameraFactor(), factor);
    Attach(NewEntity({10}), LODOptions());
    m_Context->ExecuteManagersOnPreRender(m_Dev);
    EXPECT_EQ(manager->GetCameraFactor(), LODManager::ComputeCameraFactor(m_Dev));
    manager->SetActive(FALSE);
    m_Camera->SetFov(0.3f);
    m_Context->ExecuteManagersOnPreRender(m_Dev);
    EXPECT_NE(manager->GetCameraFactor(), LODManager::ComputeCameraFactor(m_Dev));
}

TEST_F(LodManagerTest, OutOfPlayTheAttributeLearnsWhatTheEntityOffers)
{
    CK3dEntity* several = NewEntity({10, 5});
    several->SetAttribute(Manager()->GetLodAttribute());
    EXPECT_EQ(Manager()->GetLodOptions(several)->Flags, (CKDWORD) LOD_MULTIPLEMESHES);

    CK3dEntity* character = NewEntity({}, CKCID_CHARACTER);
    character->SetAttribute(Manager()->GetLodAttribute());
    EXPECT_EQ(Manager()->GetLodOptions(character)->Flags, (CKDWORD) LOD_CHARACTER);

    CK3dEntity* single = NewEntity({10});
    single->SetAttribute(Manager()->GetLodAttribute());
    EXPECT_EQ(Manager()->GetLodOptions(single)->Flags, 0u);
    EXPECT_FALSE(HasPreCallback(single, Manager()));
}

TEST_F(LodManagerTest, AnExportedRecordKeepsItsMultipleMeshesFlag)
{
    // An export gives the attribute to entities it gave several meshes,
    // then writes a text of three words, which the type refuses.
    CK3dEntity* e = NewEntity({100, 50});
    ASSERT_TRUE(e->SetAttribute(Manager()->GetLodAttribute()));
    CKParameter* p = e->GetAttributeParameter(Manager()->GetLodAttribute());
    EXPECT_EQ(p->SetStringValue("TRUE:FALSE:FALSE:40:1:100:2:10:5"), 0);
    const LODOptions* o = Manager()->GetLodOptions(e);
    EXPECT_EQ(o->Flags, (CKDWORD) LOD_MULTIPLEMESHES);
    LODOptions defaults;
    EXPECT_EQ(o->ScreenMag, defaults.ScreenMag);
    EXPECT_EQ(o->ScreenAlphaMin, defaults.ScreenAlphaMin);
}

TEST_F(LodManagerTest, PlayInstallsTheCallbacksAndResetsTheSettings)
{
    LODManager* manager = Manager();
    CK3dEntity* a = NewEntity({100, 10});
    CK3dEntity* b = NewEntity({100});
    Attach(a, LODOptions());
    Attach(b, LODOptions());
    manager->m_GlobalLodFactor = 3.0f;
    manager->m_BuildPMNormals = TRUE;
    m_Context->ExecuteManagersOnCKPlay();
    EXPECT_TRUE(manager->IsActive());
    EXPECT_EQ(manager->m_GlobalLodFactor, 1.0f);
    EXPECT_FALSE(manager->m_BuildPMNormals);
    EXPECT_TRUE(HasPreCallback(a, manager));
    EXPECT_TRUE(HasPreCallback(b, manager));
    // A second play installs nothing twice.
    m_Context->ExecuteManagersOnCKPlay();
    EXPECT_EQ(static_cast<RCKRenderObject*>(a)->GetCallbacks()->GetPreCallbacks().Size(), 1);
}

TEST_F(LodManagerTest, PauseRestoresFullDetailAndKeepsTheManagerActive)
{
    LODManager* manager = Manager();
    CK3dEntity* e = NewEntity({1000, 500, 100});
    LODOptions options;
    options.Flags = LOD_MULTIPLEMESHES;
    Attach(e, options);
    m_Context->ExecuteManagersOnCKPlay();
    e->SetCurrentMesh(e->GetMesh(2), FALSE);
    m_Context->ExecuteManagersOnCKPause();
    EXPECT_TRUE(manager->IsActive());
    EXPECT_FALSE(HasPreCallback(e, manager));
    EXPECT_EQ(e->GetCurrentMesh(), e->GetMesh(0));
    m_Context->ExecuteManagersOnCKPlay();
    EXPECT_TRUE(HasPreCallback(e, manager));
    // Reset switches the manager off, and off means full detail too.
    e->SetCurrentMesh(e->GetMesh(1), FALSE);
    m_Context->ExecuteManagersOnCKPostReset();
    EXPECT_FALSE(manager->IsActive());
    EXPECT_FALSE(HasPreCallback(e, manager));
    EXPECT_EQ(e->GetCurrentMesh(), e->GetMesh(0));
}

TEST_F(LodManagerTest, RemovingTheAttributeRestoresFullDetail)
{
    CK3dEntity* e = NewEntity({1000, 500, 100});
    LODOptions options;
    options.Flags = LOD_MULTIPLEMESHES;
    Attach(e, options);
    m_Context->ExecuteManagersOnCKPlay();
    ASSERT_TRUE(HasPreCallback(e, Manager()));
    e->RemoveAttribute(Manager()->GetLodAttribute());
    EXPECT_FALSE(HasPreCallback(e, Manager()));
}

TEST_F(LodManagerTest, ClearingAllRegistersTheAttributeAgain)
{
    CKAttributeManager* am = m_Context->GetAttributeManager();
    Attach(NewEntity({10}), LODOptions());
    m_Context->ExecuteManagersOnCKPlay();
    ASSERT_EQ(m_Context->ClearAll(), 0);
    int type = am->GetAttributeTypeByName("LOD Object");
    ASSERT_GE(type, 0);
    EXPECT_EQ(type, Manager()->GetLodAttribute());
    EXPECT_STREQ(am->GetCategoryName(am->GetAttributeCategoryIndex(type)), "LOD (Level Of Detail)");
    // Starting again works on the new objects.
    CK3dEntity* e = NewEntity({10});
    ASSERT_NE(Attach(e, LODOptions()), nullptr);
    m_Context->ExecuteManagersOnCKPlay();
    EXPECT_TRUE(HasPreCallback(e, Manager()));
}

TEST_F(LodManagerTest, TheWorkedMeshChoices)
{
    CK3dEntity* e = NewEntity({1000, 500, 100});
    LODOptions options;
    options.Flags = LOD_MULTIPLEMESHES;
    CKMesh* m1000 = e->GetMesh(0);
    CKMesh* m500 = e->GetMesh(1);
    CKMesh* m100 = e->GetMesh(2);
    // From 1000 faces the target 500 rises to 550: the 500 mesh lies below.
    e->SetCurrentMesh(m1000, FALSE);
    Manager()->ApplyLod(e, 0.5f, 1.0f, options);
    EXPECT_EQ(e->GetCurrentMesh(), m1000);
    // From 100 faces it falls to 449: the 500 mesh.
    e->SetCurrentMesh(m100, FALSE);
    Manager()->ApplyLod(e, 0.5f, 1.0f, options);
    EXPECT_EQ(e->GetCurrentMesh(), m500);
    // Above every mesh the current one stays.
    e->SetCurrentMesh(m1000, FALSE);
    Manager()->ApplyLod(e, 0.95f, 1.0f, options);
    EXPECT_EQ(e->GetCurrentMesh(), m1000);
    // Without the flag, or with one mesh, nothing is chosen.
    e->SetCurrentMesh(m100, FALSE);
    options.Flags = 0;
    Manager()->ApplyLod(e, 1.0f, 1.0f, options);
    EXPECT_EQ(e->GetCurrentMesh(), m100);
    // Ratios out of range and not numbers are clamped.
    options.Flags = LOD_MULTIPLEMESHES;
    for (float face : {-3.0f, 0.0f, 7.5f, NAN, INFINITY, -INFINITY, 0.1f, 0.2f, 0.45f, 0.55f, 0.9f, 1.0f}) {
        for (CKMesh* start : {m1000, m500, m100}) {
            e->SetCurrentMesh(start, FALSE);
            CKMesh* expected = LodReferenceChoice(e, face);
            Manager()->ApplyLod(e, face, 1.0f, options);
            EXPECT_EQ(e->GetCurrentMesh(), expected) << face << " from " << start->GetFaceCount();
        }
    }
}

TEST_F(LodManagerTest, EqualCountsPickTheFirstMesh)
{
    CK3dEntity* e = NewEntity({80, 200, 80, 200});
    LODOptions options;
    options.Flags = LOD_MULTIPLEMESHES;
    e->SetCurrentMesh(e->GetMesh(3), FALSE);
    Manager()->ApplyLod(e, 0.3f, 1.0f, options);
    EXPECT_EQ(e->GetCurrentMesh(), e->GetMesh(0));
    Manager()->ApplyLod(e, 1.0f, 1.0f, options);
    EXPECT_EQ(e->GetCurrentMesh(), e->GetMesh(1));
}

TEST_F(LodManagerTest, AProgressiveMeshDrawsItsShareOfVertices)
{
    CKMesh* mesh = NewProgressiveMesh("pm", 11);
    ASSERT_TRUE(mesh->IsPM());
    const int count = mesh->GetVertexCount();
    ASSERT_EQ(count, 121);
    CK3dEntity* e = New<CK3dEntity>(CKCID_3DOBJECT, "e");
    e->SetCurrentMesh(mesh, TRUE);
    const struct
    {
        float face;
        int drawn;
    } cases[] = {{1.0f, 121}, {0.5f, 60},  {0.25f, 30}, {0.999f, 120},  {0.0f, 0},
                 {-0.5f, 0},  {3.0f, 121}, {NAN, 0},    {INFINITY, 121}};
    // With no flag set the progressive mesh still follows the ratio.
    for (const auto& c : cases) {
        Manager()->ApplyLod(e, c.face, 1.0f, LODOptions());
        EXPECT_EQ(mesh->GetVerticesRendered(), c.drawn) << c.face;
    }
    EXPECT_FALSE(mesh->GetFlags() & CKMESH_PMBUILDNORMALS);
    Manager()->m_BuildPMNormals = TRUE;
    Manager()->ApplyLod(e, 0.5f, 1.0f, LODOptions());
    EXPECT_TRUE(mesh->GetFlags() & CKMESH_PMBUILDNORMALS);
    // A hidden entity leaves its mesh as it was.
    LODOptions fading;
    fading.Flags = LOD_ALPHA;
    Manager()->ApplyLod(e, 0.25f, 0.0f, fading);
    EXPECT_EQ(mesh->GetVerticesRendered(), 60);
    LODManager::OnLodPostRender(m_Dev, e, Manager());
    EXPECT_EQ(e->GetCurrentMesh(), mesh);
}

TEST_F(LodManagerTest, APatchMeshTakesStepsFromTheFaceRatio)
{
    auto* patch = New<CKPatchMesh>(CKCID_PATCHMESH, "patch");
    FillIndependentPatches(patch, {3, 4}, 5);
    CK3dEntity* e = New<CK3dEntity>(CKCID_3DOBJECT, "e");
    e->SetCurrentMesh(patch, TRUE);
    LODOptions options;
    options.Flags = LOD_PATCHMESH;
    // 6 sqrt(face) - 0.5, truncated: 5 steps at full detail, 2 at a quarter.
    const struct
    {
        float face;
        int steps;
    } cases[] = {{1.0f, 5}, {0.25f, 2}, {0.0f, 0},  {4.0f, 11}, {0.5f, 3},
                 {0.9f, 5}, {0.01f, 0}, {-1.0f, 0}, {NAN, 0},   {2.0f, 7}};
    for (const auto& c : cases) {
        patch->SetIterationCount(9);
        Manager()->ApplyLod(e, c.face, 1.0f, options);
        EXPECT_EQ(patch->GetIterationCount(), c.steps) << c.face;
    }
    // Without the flag the steps stay.
    patch->SetIterationCount(9);
    Manager()->ApplyLod(e, 0.25f, 1.0f, LODOptions());
    EXPECT_EQ(patch->GetIterationCount(), 9);
    // Out of play the attribute learns that the entity shows a patch mesh.
    e->SetAttribute(Manager()->GetLodAttribute());
    EXPECT_EQ(Manager()->GetLodOptions(e)->Flags, (CKDWORD) LOD_PATCHMESH);
}

TEST_F(LodManagerTest, ACharacterReceivesTheFaceRatio)
{
    CK3dEntity* character = NewEntity({}, CKCID_CHARACTER);
    LODOptions options;
    options.Flags = LOD_CHARACTER;
    Manager()->ApplyLod(character, 0.375f, 1.0f, options);
    EXPECT_EQ(static_cast<CKCharacter*>(character)->GetAnimationParameter(), 0.375f);
    options.Flags = 0;
    Manager()->ApplyLod(character, 0.5f, 1.0f, options);
    EXPECT_EQ(static_cast<CKCharacter*>(character)->GetAnimationParameter(), 0.375f);
}

TEST(LodLevels, FaceRatioAndAlphaFollowTheSquaredFractions)
{
    // Fractions whose squares and midpoints are exact: A = 1/16, B = 1/4,
    // their middle 5/32.
    LODOptions ramp;
    ramp.Flags = LOD_ALPHA;
    ramp.ScreenMin = 0.25f;
    ramp.ScreenMag = 0.5f;
    ramp.FaceMin = 0.25f;
    ramp.FaceMag = 1.0f;
    ramp.ScreenAlphaMin = 0.25f;
    ramp.ScreenAlphaMag = 0.5f;
    LODOptions swapped = ramp; // the fractions the wrong way round: a switch at 5/32
    std::swap(swapped.ScreenMin, swapped.ScreenMag);
    std::swap(swapped.ScreenAlphaMin, swapped.ScreenAlphaMag);
    LODOptions equal = ramp; // an empty range: a switch at 1/4
    equal.ScreenMin = equal.ScreenAlphaMin = 0.5f;
    LODOptions opaque = ramp;
    opaque.Flags = 0;
    const struct
    {
        const LODOptions* options;
        float x;
        float face;
        float alpha;
    } cases[] = {
        {&ramp, 0.0f, 0.25f, 0.0f},     {&ramp, 0.0625f, 0.25f, 0.0f},     {&ramp, 0.15625f, 0.625f, 0.5f},
        {&ramp, 0.25f, 1.0f, 1.0f},     {&ramp, 7.0f, 1.0f, 1.0f},         {&ramp, -1.0f, 0.25f, 0.0f},
        {&swapped, 0.15f, 0.25f, 0.0f}, {&swapped, 0.15625f, 1.0f, 1.0f},  {&swapped, 0.2f, 1.0f, 1.0f},
        {&equal, 0.2f, 0.25f, 0.0f},    {&equal, 0.25f, 1.0f, 1.0f},       {&equal, 3.0f, 1.0f, 1.0f},
        {&opaque, 0.0f, 0.25f, 1.0f},   {&opaque, 0.15625f, 0.625f, 1.0f}, {&ramp, INFINITY, 1.0f, 1.0f},
        {&ramp, NAN, 1.0f, 1.0f},       {&ramp, -INFINITY, 1.0f, 1.0f},
    };
    for (const auto& c : cases) {
        float face = -5.0f, alpha = -5.0f;
        LODManager::ComputeLevels(*c.options, c.x, face, alpha);
        EXPECT_EQ(face, c.face) << c.x;
        EXPECT_EQ(alpha, c.alpha) << c.x;
    }
}

TEST_F(LodManagerTest, ThePreRenderCallbackNeedsARenderContextAndAnEntity)
{
    // Far away the face ratio is FaceMin: a target of 20 faces, raised to 22.
    CK3dEntity* e = NewEntity({1000, 30});
    LODOptions options;
    options.Flags = LOD_MULTIPLEMESHES;
    Attach(e, options);
    e->SetPosition3f(0.0f, 0.0f, 1e6f);
    EXPECT_EQ(LODManager::OnLodPreRender(nullptr, e, Manager()), FALSE);
    EXPECT_EQ(LODManager::OnLodPreRender(m_Dev, e, nullptr), FALSE);
    EXPECT_EQ(e->GetCurrentMesh(), e->GetMesh(0));
    EXPECT_EQ(LODManager::OnLodPreRender(m_Dev, e, Manager()), FALSE);
    EXPECT_EQ(e->GetCurrentMesh(), e->GetMesh(1));
}

TEST_F(LodManagerTest, AnEntityAtTheCameraDepthIsShownInFull)
{
    CK3dEntity* e = NewEntity({1000, 500, 100});
    LODOptions* o = Attach(e, LODOptions());
    o->Flags = LOD_MULTIPLEMESHES | LOD_CHARACTER;
    e->SetCurrentMesh(e->GetMesh(2), FALSE);
    m_Context->ExecuteManagersOnCKPlay();
    // Beside the camera, in its plane.
    m_Camera->SetPosition3f(0.0f, 0.0f, 0.0f);
    e->SetPosition3f(5.0f, 0.0f, 0.0f);
    RunFrame(m_Dev, {e});
    EXPECT_EQ(e->GetCurrentMesh(), e->GetMesh(0));
}

TEST_F(LodManagerTest, EntitiesWithoutMeshOrCameraAreLeftAlone)
{
    CK3dEntity* bare = New<CK3dEntity>(CKCID_3DOBJECT, "bare");
    LODOptions options;
    options.Flags = LOD_ALPHA | LOD_MULTIPLEMESHES;
    Attach(bare, options);
    CK3dEntity* e = NewEntity({1000, 10});
    Attach(e, options);
    m_Context->ExecuteManagersOnCKPlay();
    m_Dev->DetachViewpointFromCamera();
    e->SetPosition3f(0.0f, 0.0f, 1e6f);
    RunFrame(m_Dev, {bare, e});
    EXPECT_EQ(e->GetCurrentMesh(), e->GetMesh(0));
    EXPECT_EQ(PostCallbackCount(bare), 0);
    EXPECT_EQ(PostCallbackCount(e), 0);
}

// A pre-lit mesh of two materials whose vertex colours carry distinct alphas.
struct FadeScene
{
    CKMesh* mesh;
    CKMaterial* materials[2];
};

class LodFadeTest : public LodManagerTest
{
protected:
    FadeScene MakeScene(const char* name, int vertices = 9)
    {
        FadeScene s;
        s.mesh = NewMesh(name, vertices);
        s.mesh->SetLitMode(0);
        for (int i = 0; i < 2; ++i) {
            s.materials[i] = New<CKMaterial>(CKCID_MATERIAL, name);
            s.materials[i]->SetDiffuse(QxColor(1.0f, 0.5f, 0.25f, 0.8f - 0.3f * (float) i));
            s.materials[i]->SetSourceBlend(2);
            s.materials[i]->SetDestBlend(1);
            s.materials[i]->EnableAlphaBlend(FALSE);
        }
        for (int f = 0; f < vertices; ++f)
            s.mesh->SetFaceMaterial(f, s.materials[f % 2]);
        for (int v = 0; v < vertices; ++v)
            s.mesh->SetVertexColor(v, ((CKDWORD) (255 - 29 * v) << 24) | 0x00336699u);
        return s;
    }
    struct State
    {
        std::vector<float> alphas;
        std::vector<int> blends;
        std::vector<CKDWORD> colors;
        bool operator==(const State&) const = default;
    };
    static State Snapshot(const FadeScene& s)
    {
        State st;
        for (CKMaterial* m : s.materials) {
            st.alphas.push_back(m->GetDiffuse().a);
            st.blends.push_back(m->GetSourceBlend());
            st.blends.push_back(m->GetDestBlend());
            st.blends.push_back(m->AlphaBlendEnabled());
        }
        for (int v = 0; v < s.mesh->GetVertexCount(); ++v)
            st.colors.push_back(s.mesh->GetVertexColor(v));
        return st;
    }
    CK3dEntity* EntityShowing(const FadeScene& s)
    {
        CK3dEntity* e = New<CK3dEntity>(CKCID_3DOBJECT, "Faded");
        e->SetCurrentMesh(s.mesh, TRUE);
        return e;
    }
    static LODOptions Fading()
    {
        LODOptions o;
        o.Flags = LOD_ALPHA;
        return o;
    }
    // The faded state: each material's blend 5 and 6, blending on, alpha
    // times a; each vertex alpha times a, truncated.
    static void ExpectFaded(const FadeScene& s, const State& before, float a)
    {
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(s.materials[i]->GetDiffuse().a, before.alphas[i] * a);
            EXPECT_EQ(s.materials[i]->GetSourceBlend(), 5);
            EXPECT_EQ(s.materials[i]->GetDestBlend(), 6);
            EXPECT_TRUE(s.materials[i]->AlphaBlendEnabled());
        }
        for (int v = 0; v < s.mesh->GetVertexCount(); ++v) {
            CKDWORD c = before.colors[v];
            CKDWORD alpha = (CKDWORD) (int) ((float) (c >> 24) * a);
            EXPECT_EQ(s.mesh->GetVertexColor(v), (alpha << 24) | (c & 0xFFFFFF)) << v;
        }
    }
};

TEST_F(LodFadeTest, AFadeLastsOneDrawing)
{
    FadeScene s = MakeScene("m");
    CK3dEntity* e = EntityShowing(s);
    const State before = Snapshot(s);
    Manager()->ApplyLod(e, 1.0f, 0.5f, Fading());
    ExpectFaded(s, before, 0.5f);
    ASSERT_EQ(PostCallbackCount(e), 1);
    LODManager::OnLodPostRender(m_Dev, e, Manager());
    EXPECT_EQ(Snapshot(s), before);
    // Without the flag, or opaque, nothing fades.
    Manager()->ApplyLod(e, 1.0f, 0.5f, LODOptions());
    Manager()->ApplyLod(e, 1.0f, 1.0f, Fading());
    Manager()->ApplyLod(e, 1.0f, NAN, Fading());
    EXPECT_EQ(Snapshot(s), before);
}

TEST_F(LodFadeTest, ALitMeshKeepsItsVertexColours)
{
    FadeScene s = MakeScene("m");
    s.mesh->SetLitMode(1);
    CK3dEntity* e = EntityShowing(s);
    const State before = Snapshot(s);
    Manager()->ApplyLod(e, 1.0f, 0.25f, Fading());
    EXPECT_EQ(s.materials[0]->GetDiffuse().a, before.alphas[0] * 0.25f);
    for (int v = 0; v < s.mesh->GetVertexCount(); ++v)
        EXPECT_EQ(s.mesh->GetVertexColor(v), before.colors[v]);
    LODManager::OnLodPostRender(m_Dev, e, Manager());
    EXPECT_EQ(Snapshot(s), before);
}

TEST_F(LodFadeTest, AnAlmostTransparentEntityIsHiddenForOneDrawing)
{
    FadeScene s = MakeScene("m");
    GiveBlendShapes(s.mesh, {"Smile", "Blink"});
    CK3dEntity* e = EntityShowing(s);
    e->SetBlendShapeWeight(0, 0.25f);
    e->SetBlendShapeWeight(1, 0.75f);
    const State before = Snapshot(s);
    Manager()->ApplyLod(e, 1.0f, 0.001f, Fading());
    EXPECT_EQ(e->GetCurrentMesh(), nullptr);
    EXPECT_EQ(Snapshot(s), before) << "a hidden entity fades nothing";
    LODManager::OnLodPostRender(m_Dev, e, Manager());
    EXPECT_EQ(e->GetCurrentMesh(), s.mesh);
    EXPECT_EQ(e->GetBlendShapeWeight(0), 0.25f);
    EXPECT_EQ(e->GetBlendShapeWeight(1), 0.75f);
    // A mesh given meanwhile stays.
    Manager()->ApplyLod(e, 1.0f, -1.0f, Fading());
    CKMesh* other = NewMesh("other", 3);
    e->SetCurrentMesh(other, FALSE);
    LODManager::OnLodPostRender(m_Dev, e, Manager());
    EXPECT_EQ(e->GetCurrentMesh(), other);
}

TEST_F(LodFadeTest, ADrawingWithoutItsPostRenderIsUndoneByTheNext)
{
    FadeScene s = MakeScene("m");
    CK3dEntity* e = EntityShowing(s);
    const State before = Snapshot(s);
    Manager()->ApplyLod(e, 1.0f, 0.5f, Fading());
    Manager()->ApplyLod(e, 1.0f, 0.25f, Fading());
    ExpectFaded(s, before, 0.25f);
    LODManager::OnLodPostRender(m_Dev, e, Manager());
    EXPECT_EQ(Snapshot(s), before);
    // Pausing undoes a pending fade too.
    Attach(e, Fading());
    Manager()->ApplyLod(e, 1.0f, 0.5f, Fading());
    m_Context->ExecuteManagersOnCKPause();
    EXPECT_EQ(Snapshot(s), before);
    // A post-render without a pre-render changes nothing.
    LODManager::OnLodPostRender(m_Dev, e, Manager());
    EXPECT_EQ(Snapshot(s), before);
}

TEST_F(LodFadeTest, ObjectsDeletedBeforeThePostRenderAreSkipped)
{
    FadeScene s = MakeScene("m");
    CK3dEntity* e = EntityShowing(s);
    State before = Snapshot(s);
    Manager()->ApplyLod(e, 1.0f, 0.5f, Fading());
    m_Context->DestroyObject(s.materials[0]);
    LODManager::OnLodPostRender(m_Dev, e, Manager());
    EXPECT_EQ(s.materials[1]->GetDiffuse().a, before.alphas[1]);
    for (int v = 0; v < s.mesh->GetVertexCount(); ++v)
        EXPECT_EQ(s.mesh->GetVertexColor(v), before.colors[v]);
    Manager()->ApplyLod(e, 1.0f, 0.5f, Fading());
    m_Context->DestroyObject(s.mesh);
    LODManager::OnLodPostRender(m_Dev, e, Manager());
    EXPECT_EQ(s.materials[1]->GetDiffuse().a, before.alphas[1]);
}

TEST_F(LodFadeTest, AnEntityDeletedBeforeItsPostRenderGivesItsFadeBack)
{
    FadeScene s = MakeScene("m");
    CK3dEntity* e = EntityShowing(s);
    const State before = Snapshot(s);
    Manager()->ApplyLod(e, 1.0f, 0.5f, Fading());
    ASSERT_NE(Snapshot(s), before);
    m_Context->DestroyObject(e);
    EXPECT_EQ(Snapshot(s), before);
    // Among several objects deleted at once.
    CK3dEntity* bystander = EntityShowing(MakeScene("other"));
    CK3dEntity* faded = EntityShowing(s);
    Manager()->ApplyLod(faded, 1.0f, 0.5f, Fading());
    CK_ID ids[2] = {bystander->GetID(), faded->GetID()};
    m_Context->DestroyObjects(ids, 2);
    EXPECT_EQ(Snapshot(s), before);
    // A new entity, whatever its id, starts clean.
    CK3dEntity* next = EntityShowing(s);
    Manager()->ApplyLod(next, 1.0f, 0.25f, Fading());
    ExpectFaded(s, before, 0.25f);
    LODManager::OnLodPostRender(m_Dev, next, Manager());
    EXPECT_EQ(Snapshot(s), before);
}

// Two entities fading one shared mesh and its materials by different
// amounts, their drawings in every order: each is drawn with its own fade
// and the frame ends as it began.
TEST_F(LodFadeTest, SharedMaterialsAndMeshesEndTheFrameAsTheyBegan)
{
    FadeScene s = MakeScene("shared");
    FadeScene own = MakeScene("own");
    CK3dEntity* near = EntityShowing(s);
    CK3dEntity* far = EntityShowing(s);
    CK3dEntity* third = EntityShowing(own);
    LODOptions options = Fading();
    options.ScreenAlphaMin = 0.0f;
    options.ScreenAlphaMag = 10.0f;
    for (CK3dEntity* e : {near, far, third})
        Attach(e, options);
    m_Context->ExecuteManagersOnCKPlay();
    m_Camera->SetPosition3f(0.0f, 0.0f, 0.0f);
    near->SetPosition3f(0.0f, 0.0f, 2.0f);
    far->SetPosition3f(0.0f, 0.0f, 3.0f);
    third->SetPosition3f(1.0f, 0.0f, 4.0f);
    const State before = Snapshot(s);
    const State ownBefore = Snapshot(own);
    struct Seen
    {
        FadeScene* scene;
        std::vector<float> alphas;
    } seen{&s, {}};
    auto draw = [](CK3dEntity* e, void* argument) {
        auto* seen = static_cast<Seen*>(argument);
        if (e->GetCurrentMesh() == seen->scene->mesh)
            seen->alphas.push_back(seen->scene->materials[0]->GetDiffuse().a);
    };
    for (FrameOrder order : {FrameOrder::OneByOne, FrameOrder::Interleaved, FrameOrder::Nested}) {
        seen.alphas.clear();
        RunFrame(m_Dev, {near, third, far}, order, draw, &seen);
        EXPECT_EQ(Snapshot(s), before) << (int) order;
        EXPECT_EQ(Snapshot(own), ownBefore) << (int) order;
        EXPECT_EQ(PostCallbackCount(near), 0) << "temporary callbacks dropped";
        ASSERT_EQ(seen.alphas.size(), 2u);
        if (order == FrameOrder::OneByOne) {
            float factor = LODManager::ComputeCameraFactor(m_Dev);
            for (int i = 0; i < 2; ++i) {
                CK3dEntity* e = i == 0 ? near : far;
                LodLevels l = LodReferenceLevels(e, m_Camera, factor, options);
                ASSERT_LT(l.alpha, 1.0f);
                EXPECT_EQ(seen.alphas[i], before.alphas[0] * l.alpha) << i;
            }
            EXPECT_NE(seen.alphas[0], seen.alphas[1]);
        }
    }
}

// Vertex colours faded at every count around the widths the fade works in,
// against the plain rule (alpha times a, truncated; the rest of the colour
// and the specular colour untouched), then a second entity on the same mesh
// fading from the kept alphas, then both put back to the very bytes.
TEST_F(LodFadeTest, EveryVertexAlphaFollowsTheRuleAndComesBack)
{
    struct Case
    {
        int vertices;
        float first;
        float second;
    };
    const Case cases[] = {{3, 0.5f, 0.25f},      {4, 0.999f, 0.0011f},  {5, 0.3333f, 0.75f}, {7, 0.1f, 0.9f},
                          {8, 0.5f, 0.6f},       {9, 0.0011f, 0.999f},  {12, 0.77f, 0.123f}, {15, 0.42f, 0.5f},
                          {16, 0.9999f, 0.01f},  {17, 0.2f, 0.3f},      {31, 0.61f, 0.17f},  {33, 0.5f, 0.05f},
                          {1001, 0.3712f, 0.8f}, {4099, 0.0625f, 0.95f}};
    std::mt19937 random(7);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.vertices);
        CKMesh* mesh = NewMesh("m", c.vertices);
        mesh->SetLitMode(0);
        std::vector<CKDWORD> colors(c.vertices), speculars(c.vertices);
        for (int v = 0; v < c.vertices; ++v) {
            colors[v] = (CKDWORD) random();
            // The extremes of the alpha byte at both ends and inside.
            if (v % 5 == 0)
                colors[v] |= 0xFF000000u;
            if (v % 7 == 1)
                colors[v] &= 0x00FFFFFFu;
            speculars[v] = (CKDWORD) random();
            mesh->SetVertexColor(v, colors[v]);
            mesh->SetVertexSpecularColor(v, speculars[v]);
        }
        auto expectFaded = [&](float a) {
            for (int v = 0; v < c.vertices; ++v) {
                CKDWORD alpha = (CKDWORD) (int) ((float) (colors[v] >> 24) * a);
                ASSERT_EQ(mesh->GetVertexColor(v), (alpha << 24) | (colors[v] & 0xFFFFFF)) << v << " at " << a;
                ASSERT_EQ(mesh->GetVertexSpecularColor(v), speculars[v]) << v;
            }
        };
        CK3dEntity* one = New<CK3dEntity>(CKCID_3DOBJECT, "one");
        CK3dEntity* two = New<CK3dEntity>(CKCID_3DOBJECT, "two");
        one->SetCurrentMesh(mesh, TRUE);
        two->SetCurrentMesh(mesh, TRUE);
        Manager()->ApplyLod(one, 1.0f, c.first, Fading());
        expectFaded(c.first);
        Manager()->ApplyLod(two, 1.0f, c.second, Fading());
        expectFaded(c.second);
        LODManager::OnLodPostRender(m_Dev, one, Manager());
        LODManager::OnLodPostRender(m_Dev, two, Manager());
        for (int v = 0; v < c.vertices; ++v) {
            ASSERT_EQ(mesh->GetVertexColor(v), colors[v]) << v;
            ASSERT_EQ(mesh->GetVertexSpecularColor(v), speculars[v]) << v;
        }
        // Again from the put-back colours: the kept alphas are taken afresh.
        Manager()->ApplyLod(two, 1.0f, c.first, Fading());
        expectFaded(c.first);
        LODManager::OnLodPostRender(m_Dev, two, Manager());
        for (int v = 0; v < c.vertices; ++v)
            ASSERT_EQ(mesh->GetVertexColor(v), colors[v]) << v;
    }
}

} // namespace

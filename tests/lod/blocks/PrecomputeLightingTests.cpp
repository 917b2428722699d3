// "Precompute Lighting": which lights count, where highlights go, wide
// meshes and what the block needs.
#include "core/scene/CKLevel.h"
#include "core/scene/CKScene.h"
#include "lod/blocks/MeshBlocks.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CK3dEntity.h"
#include "render/objects/CKLight.h"
#include "tests/lod/blocks/BlockTestSupport.h"

namespace {

class LightingTest : public BlockFixture
{
public:
    // An object of count vertices at the origin facing +y, all in one face
    // list of the material, pre-lit black.
    CK3dEntity* Facing(int count, CKMaterial* material, std::initializer_list<int> lit)
    {
        auto* object = New<CK3dEntity>(CKCID_3DOBJECT, "Facing");
        auto* mesh = New<CKMesh>(CKCID_MESH, "Facing");
        mesh->SetVertexCount(count);
        for (int i = 0; i < count; ++i) {
            mesh->SetVertexNormal(i, QxVector(0.0f, 1.0f, 0.0f));
            mesh->SetVertexColor(i, 0x11223344);
        }
        mesh->SetFaceCount(1);
        std::vector<int> v(lit);
        mesh->SetFaceVertexIndex(0, v[0], v[1], v[2]);
        mesh->SetFaceMaterial(0, material);
        object->SetCurrentMesh(mesh, TRUE);
        return object;
    }
    CKMaterial* Material(float power, const QxColor& diffuse = QxColor(1.0f, 1.0f, 1.0f, 1.0f))
    {
        auto* m = New<CKMaterial>(CKCID_MATERIAL, "m");
        m->SetDiffuse(diffuse);
        m->SetAmbient(QxColor(0.0f, 0.0f, 0.0f, 1.0f));
        m->SetEmissive(QxColor(0.0f, 0.0f, 0.0f, 0.0f));
        m->SetSpecular(QxColor(1.0f, 1.0f, 1.0f, 1.0f));
        m->SetPower(power);
        return m;
    }
    CKLight* Light(CK_CLASSID cid, CKDWORD type, const QxVector& at, float range = 100.0f)
    {
        auto* light = New<CKLight>(cid, "light");
        light->SetType(type);
        light->SetColor(QxColor(1.0f, 1.0f, 1.0f, 1.0f));
        light->SetRange(range);
        light->SetConstantAttenuation(1.0f);
        light->SetSpecularFlag(TRUE);
        light->SetPosition(&at);
        QxVector origin(0.0f, 0.0f, 0.0f);
        light->LookAt(&origin);
        m_Level->AddObject(light);
        m_Scene->ActivateObject(light, FALSE);
        return light;
    }
    int Light(CK3dEntity* object, CKBOOL specular = FALSE)
    {
        CKBehavior* b = Block(BlockGuid::PrecomputeLighting, object);
        SetBlockInputValue(b, 0, specular);
        return Run(b);
    }
    static CKDWORD Color(CK3dEntity* object, int i) { return object->GetCurrentMesh()->GetVertexColor(i); }
};

TEST_F(LightingTest, OnlyVisibleTargetLightsActiveInTheSceneCount)
{
    CK3dEntity* object = Facing(3, Material(0.0f), {0, 1, 2});
    Light(CKCID_LIGHT, CK_LIGHT_DIRECTIONAL, QxVector(0.0f, 5.0f, 0.0f));
    CKLight* hidden = Light(CKCID_TARGETLIGHT, CK_LIGHT_DIRECTIONAL, QxVector(0.0f, 5.0f, 0.0f));
    hidden->Show(CKHIDE);
    CKLight* inactive = Light(CKCID_TARGETLIGHT, CK_LIGHT_DIRECTIONAL, QxVector(0.0f, 5.0f, 0.0f));
    m_Scene->DeactivateObject(inactive);
    ASSERT_EQ(Light(object), CKBR_OK);
    EXPECT_EQ(Color(object, 0), 0xFF000000u) << "only the material's alpha";
    EXPECT_EQ(object->GetCurrentMesh()->GetVertexSpecularColor(0), 0u);
    Light(CKCID_TARGETLIGHT, CK_LIGHT_DIRECTIONAL, QxVector(0.0f, 5.0f, 0.0f));
    ASSERT_EQ(Light(object), CKBR_OK);
    EXPECT_EQ(Color(object, 0), 0xFFFFFFFFu) << "a full light straight down";
}

TEST_F(LightingTest, APointLightOutOfRangeAddsNeitherLightNorHighlight)
{
    CK3dEntity* object = Facing(3, Material(4.0f, QxColor(0.0f, 0.0f, 0.0f, 1.0f)), {0, 1, 2});
    CKLight* light = Light(CKCID_TARGETLIGHT, CK_LIGHT_POINT, QxVector(0.0f, 5.0f, 0.0f), 10.0f);
    ASSERT_EQ(Light(object, TRUE), CKBR_OK);
    EXPECT_NE(Color(object, 0) & 0xFFFFFF, 0u) << "in range: a highlight";
    // The light still passes the gathering (its distance to the object,
    // less the object's radius, is within range) but not to the vertex.
    object->GetCurrentMesh()->SetVertexPosition(2, QxVector(0.0f, -30.0f, 0.0f));
    object->GetCurrentMesh()->SetVertexPosition(0, QxVector(0.0f, -10.0f, 0.0f));
    light->SetRange(14.0f);
    ASSERT_EQ(Light(object, TRUE), CKBR_OK);
    EXPECT_EQ(Color(object, 0), 0xFF000000u);
}

TEST_F(LightingTest, PowerZeroHasNoHighlightAndColoursAreClamped)
{
    CK3dEntity* dull = Facing(3, Material(0.0f, QxColor(0.0f, 0.0f, 0.0f, 1.0f)), {0, 1, 2});
    Light(CKCID_TARGETLIGHT, CK_LIGHT_DIRECTIONAL, QxVector(0.0f, 5.0f, 0.0f));
    ASSERT_EQ(Light(dull, TRUE), CKBR_OK);
    EXPECT_EQ(Color(dull, 0), 0xFF000000u);
    CK3dEntity* bright = Facing(3, Material(1.0f, QxColor(3.0f, -2.0f, 0.5f, 7.0f)), {0, 1, 2});
    ASSERT_EQ(Light(bright), CKBR_OK);
    EXPECT_EQ(Color(bright, 0), 0xFFFF007Fu);
}

TEST_F(LightingTest, VerticesPastSixtyFiveThousandAreLitThemselves)
{
    CK3dEntity* object = Facing(70000, Material(0.0f), {66000, 69999, 65536});
    Light(CKCID_TARGETLIGHT, CK_LIGHT_DIRECTIONAL, QxVector(0.0f, 5.0f, 0.0f));
    ASSERT_EQ(Light(object), CKBR_OK);
    for (int lit : {66000, 69999, 65536})
        EXPECT_EQ(Color(object, lit), 0xFFFFFFFFu) << lit;
    for (int other : {66000 - 65536, 69999 - 65536, 0, 1})
        EXPECT_EQ(Color(object, other), 0x11223344u) << other;
}

TEST_F(LightingTest, ALightOnTheVertexLightsNothingThere)
{
    CK3dEntity* object = Facing(3, Material(2.0f), {0, 1, 2});
    object->GetCurrentMesh()->SetVertexPosition(1, QxVector(1.0f, 2.0f, 3.0f));
    Light(CKCID_TARGETLIGHT, CK_LIGHT_POINT, QxVector(1.0f, 2.0f, 3.0f));
    ASSERT_EQ(Light(object, TRUE), CKBR_OK);
    EXPECT_EQ(Color(object, 1), 0xFF000000u);
}

TEST_F(LightingTest, WithoutTargetMeshSceneOrRenderContextItEndsAtOnce)
{
    auto* bare = New<CK3dEntity>(CKCID_3DOBJECT, "Bare");
    CKBehavior* b = Block(BlockGuid::PrecomputeLighting, bare);
    EXPECT_EQ(Run(b), CKBR_OWNERERROR);
    EXPECT_EQ(ActiveOutputs(b), 1u);
    EXPECT_EQ(ActiveInputs(b), 0u);
    CK3dEntity* object = Facing(3, Material(0.0f), {0, 1, 2});
    CKBehavior* c = Block(BlockGuid::PrecomputeLighting, object);
    BlockFrame noRender;
    noRender.Scene = m_Scene;
    EXPECT_EQ(RunBlock(c, noRender), CKBR_OWNERERROR);
    m_Context->SetCurrentLevel(nullptr);
    BlockFrame noScene;
    noScene.RenderContext = m_Dev;
    EXPECT_EQ(RunBlock(c, noScene), CKBR_OWNERERROR);
    EXPECT_EQ(Color(object, 0), 0x11223344u);
    EXPECT_EQ(object->GetCurrentMesh()->GetLitMode(), 1);
}

} // namespace

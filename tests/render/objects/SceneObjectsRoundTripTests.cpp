// Cameras, lights, 3D sprites and places with random values, saved into an
// engine file and loaded into a fresh context, come back field for field.
#include <bit>
#include <string>

#include "render/mesh/CKMaterial.h"
#include "render/objects/RCKPlace.h"
#include "render/objects/RCKSprite3D.h"
#include "render/objects/RCKTargetCamera.h"
#include "render/objects/RCKTargetLight.h"
#include "tests/render/objects/EntityTestSupport.h"

namespace {

constexpr int kCount = 200;

// The engine's own sequence, so that a failure replays.
struct Random
{
    CKDWORD seed = 29;
    int Next() { return (int) (((seed = seed * 214013u + 2531011u) >> 16) & 0x7FFF); }
    float Range(float lo, float hi) { return lo + (hi - lo) * (float) Next() / 32767.0f; }
    // Values on a grid of eighths, exact through halving and doubling.
    float Eighths(int lo, int hi) { return (float) (lo * 8 + Next() % ((hi - lo) * 8 + 1)) / 8.0f; }
};

std::string Name(const char* kind, int i)
{
    return std::string(kind) + " " + std::to_string(i);
}

CKDWORD Bits(float f)
{
    return std::bit_cast<CKDWORD>(f);
}

class SceneObjectsRoundTrip : public EntityFixture
{
protected:
    template <class T>
    T* Make(const char* kind, int i, CK_CLASSID cid)
    {
        return static_cast<T*>(m_Context->CreateObject(cid, Name(kind, i).c_str()));
    }
    template <class T>
    T* Loaded(CKContext* loaded, const char* kind, int i, CK_CLASSID cid)
    {
        T* object = Find<T>(loaded, Name(kind, i).c_str(), cid);
        EXPECT_NE(object, nullptr) << Name(kind, i);
        return object;
    }

    void RandomCamera(RCKCamera* camera)
    {
        camera->SetFov(m_Random.Range(0.1f, 3.0f));
        camera->SetFrontPlane(m_Random.Range(0.1f, 10.0f));
        camera->SetBackPlane(camera->GetFrontPlane() + m_Random.Range(1.0f, 5000.0f));
        camera->SetProjectionType(m_Random.Next() % 2);
        camera->SetOrthographicZoom(m_Random.Range(0.1f, 10.0f));
        camera->SetAspectRatio(1 + m_Random.Next(), 1 + m_Random.Next());
    }
    void RandomLight(RCKLight* light)
    {
        light->SetType((CKDWORD) (1 + m_Random.Next() % 3));
        light->SetColor(QxColor(0xFF000000u | (CKDWORD) m_Random.Next() << 9 | (CKDWORD) m_Random.Next()));
        light->SetConstantAttenuation(m_Random.Range(0.0f, 2.0f));
        light->SetLinearAttenuation(m_Random.Range(0.0f, 1.0f));
        light->SetQuadraticAttenuation(m_Random.Range(0.0f, 0.1f));
        light->SetRange(m_Random.Range(1.0f, 10000.0f));
        if (light->GetType() == CK_LIGHT_SPOT) {
            light->SetHotSpot(m_Random.Range(0.1f, 0.7f));
            light->SetFallOff(m_Random.Range(0.7f, 1.5f));
            light->SetFallOffShape(m_Random.Range(0.5f, 2.0f));
        }
        light->Active(m_Random.Next() % 2);
        light->SetSpecularFlag(m_Random.Next() % 2);
        light->SetLightPower(m_Random.Next() % 2 ? 1.0f : m_Random.Range(0.0f, 4.0f));
    }
    static void ExpectSameCamera(RCKCamera* a, RCKCamera* b)
    {
        EXPECT_EQ(Bits(a->GetFov()), Bits(b->GetFov()));
        EXPECT_EQ(Bits(a->GetFrontPlane()), Bits(b->GetFrontPlane()));
        EXPECT_EQ(Bits(a->GetBackPlane()), Bits(b->GetBackPlane()));
        EXPECT_EQ(a->GetProjectionType(), b->GetProjectionType());
        EXPECT_EQ(Bits(a->GetOrthographicZoom()), Bits(b->GetOrthographicZoom()));
        int aw, ah, bw, bh;
        a->GetAspectRatio(aw, ah);
        b->GetAspectRatio(bw, bh);
        EXPECT_EQ(aw, bw);
        EXPECT_EQ(ah, bh);
        EXPECT_TRUE(BitEqual(a->GetWorldMatrix(), b->GetWorldMatrix()));
    }
    static void ExpectSameLight(RCKLight* a, RCKLight* b)
    {
        const CKLightData& x = a->GetRecord().Light;
        const CKLightData& y = b->GetRecord().Light;
        EXPECT_EQ(x.Type, y.Type);
        for (float QxColor::*c : {&QxColor::r, &QxColor::g, &QxColor::b, &QxColor::a})
            EXPECT_EQ(Bits(x.Diffuse.*c), Bits(y.Diffuse.*c));
        for (float CKLightData::*f :
             {&CKLightData::Range, &CKLightData::Falloff, &CKLightData::Attenuation0, &CKLightData::Attenuation1,
              &CKLightData::Attenuation2, &CKLightData::InnerSpotCone, &CKLightData::OuterSpotCone})
            EXPECT_EQ(Bits(x.*f), Bits(y.*f));
        EXPECT_EQ(a->GetLightFlags(), b->GetLightFlags());
        EXPECT_EQ(Bits(a->GetLightPower()), Bits(b->GetLightPower()));
    }

    Random m_Random;
};

TEST_F(SceneObjectsRoundTrip, TwoHundredOfEachComeBackFieldForField)
{
    std::vector<CKObject*> saved;
    std::vector<CKMaterial*> materials;
    for (int i = 0; i < 4; ++i)
        materials.push_back(Make<CKMaterial>("material", i, CKCID_MATERIAL));
    for (int i = 0; i < kCount; ++i) {
        RCK3dEntity* target = Make<RCK3dEntity>("target", i, CKCID_3DENTITY);
        target->SetPosition3f(m_Random.Range(-9, 9), m_Random.Range(-9, 9), m_Random.Range(-9, 9));
        RCK3dEntity* portal = Make<RCK3dEntity>("portal", i, CKCID_3DENTITY);
        portal->SetFlags(portal->GetFlags() | CK_3DENTITYFLAG_PORTAL);

        RCKCamera* camera = Make<RCKCamera>("camera", i, CKCID_CAMERA);
        RandomCamera(camera);
        camera->SetPosition3f(m_Random.Range(-9, 9), 1.0f, 2.0f);
        RCKTargetCamera* targetCamera = Make<RCKTargetCamera>("target camera", i, CKCID_TARGETCAMERA);
        RandomCamera(targetCamera);
        targetCamera->SetTarget(target);
        RCKLight* light = Make<RCKLight>("light", i, CKCID_LIGHT);
        RandomLight(light);
        RCKTargetLight* targetLight = Make<RCKTargetLight>("target light", i, CKCID_TARGETLIGHT);
        RandomLight(targetLight);
        targetLight->SetTarget(portal);

        RCKSprite3D* sprite = Make<RCKSprite3D>("sprite", i, CKCID_SPRITE3D);
        sprite->SetMode(m_Random.Next() % 4);
        sprite->SetSize(Qx2DVector(m_Random.Eighths(0, 16), m_Random.Eighths(0, 16)));
        sprite->SetOffset(Qx2DVector(m_Random.Eighths(-1, 1), m_Random.Eighths(-1, 1)));
        sprite->SetUVMapping(
            QxRect(m_Random.Range(0, 1), m_Random.Range(0, 1), m_Random.Range(0, 1), m_Random.Range(0, 1)));
        sprite->SetMaterial(i % 5 == 4 ? nullptr : materials[(size_t) i % 4]);

        RCKPlace* place = Make<RCKPlace>("place", i, CKCID_PLACE);
        place->SetReferenceObject(camera);
        place->SetSecondObjectID(light->GetID());
        saved.insert(saved.end(), {camera, targetCamera, light, targetLight, sprite, place, portal});
    }
    // Each place links to the next through its portal, and to the one after
    // through none.
    for (int i = 0; i < kCount; ++i) {
        RCKPlace* place = Find<RCKPlace>(m_Context, Name("place", i).c_str(), CKCID_PLACE);
        place->AddPortal(Find<RCKPlace>(m_Context, Name("place", (i + 1) % kCount).c_str(), CKCID_PLACE),
                         Find<RCK3dEntity>(m_Context, Name("portal", i).c_str(), CKCID_3DENTITY));
        place->AddPortal(Find<RCKPlace>(m_Context, Name("place", (i + 2) % kCount).c_str(), CKCID_PLACE), nullptr);
    }

    CKContext* loaded = SaveAndLoad(saved);
    for (int i = 0; i < kCount; ++i) {
        SCOPED_TRACE(i);
        ExpectSameCamera(Find<RCKCamera>(m_Context, Name("camera", i).c_str(), CKCID_CAMERA),
                         Loaded<RCKCamera>(loaded, "camera", i, CKCID_CAMERA));
        RCKTargetCamera* targetCamera = Loaded<RCKTargetCamera>(loaded, "target camera", i, CKCID_TARGETCAMERA);
        ExpectSameCamera(Find<RCKCamera>(m_Context, Name("target camera", i).c_str(), CKCID_TARGETCAMERA),
                         targetCamera);
        RCK3dEntity* target = Loaded<RCK3dEntity>(loaded, "target", i, CKCID_3DENTITY);
        EXPECT_EQ(targetCamera->GetTarget(), target);
        EXPECT_EQ(target->GetFlags() & (CK_3DENTITYFLAG_CAMERATARGET | CK_3DENTITYFLAG_FORMERTARGET),
                  (CKDWORD) CK_3DENTITYFLAG_CAMERATARGET);

        ExpectSameLight(Find<RCKLight>(m_Context, Name("light", i).c_str(), CKCID_LIGHT),
                        Loaded<RCKLight>(loaded, "light", i, CKCID_LIGHT));
        RCKTargetLight* targetLight = Loaded<RCKTargetLight>(loaded, "target light", i, CKCID_TARGETLIGHT);
        ExpectSameLight(Find<RCKLight>(m_Context, Name("target light", i).c_str(), CKCID_TARGETLIGHT), targetLight);
        RCK3dEntity* portal = Loaded<RCK3dEntity>(loaded, "portal", i, CKCID_3DENTITY);
        EXPECT_EQ(targetLight->GetTarget(), portal);
        EXPECT_TRUE(portal->GetFlags() & CK_3DENTITYFLAG_LIGHTTARGET);

        RCKSprite3D* a = Find<RCKSprite3D>(m_Context, Name("sprite", i).c_str(), CKCID_SPRITE3D);
        RCKSprite3D* b = Loaded<RCKSprite3D>(loaded, "sprite", i, CKCID_SPRITE3D);
        EXPECT_EQ(a->GetMode(), b->GetMode());
        Qx2DVector ao, bo;
        a->GetOffset(ao);
        b->GetOffset(bo);
        QxRect au, bu;
        a->GetUVMapping(au);
        b->GetUVMapping(bu);
        const QxBbox &ab = a->GetBoundingBox(TRUE), &bb = b->GetBoundingBox(TRUE);
        for (float f :
             {ao.x - bo.x, ao.y - bo.y, au.left - bu.left, au.top - bu.top, au.right - bu.right, au.bottom - bu.bottom,
              ab.Min.x - bb.Min.x, ab.Min.y - bb.Min.y, ab.Max.x - bb.Max.x, ab.Max.y - bb.Max.y})
            EXPECT_EQ(f, 0.0f);
        if (a->GetMaterial())
            EXPECT_STREQ(b->GetMaterial()->GetName(), a->GetMaterial()->GetName());
        else
            EXPECT_EQ(b->GetMaterial(), nullptr);

        RCKPlace* place = Loaded<RCKPlace>(loaded, "place", i, CKCID_PLACE);
        EXPECT_EQ(place->GetReferenceObject(), Loaded<CKObject>(loaded, "camera", i, CKCID_CAMERA));
        EXPECT_EQ(place->GetSecondObjectID(), Loaded<CKObject>(loaded, "light", i, CKCID_LIGHT)->GetID());
        EXPECT_EQ(place->GetPortalCount(), 4);
        for (int k = 0; k < place->GetPortalCount(); ++k) {
            CK3dEntity* through = nullptr;
            CKPlace* other = place->GetPortal(k, &through);
            bool mirrored = false;
            for (int m = 0; m < other->GetPortalCount(); ++m) {
                CK3dEntity* back = nullptr;
                mirrored |= other->GetPortal(m, &back) == place && back == through;
            }
            EXPECT_TRUE(mirrored) << k;
        }
    }
}

} // namespace

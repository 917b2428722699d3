// Cameras and lights: projections, roll, targets, the bytes of their file
// sections, older sections, and the record a light hands the rasterizer.
#include <cmath>
#include <cstring>

#include "core/attribute/CKAttributeManager.h"
#include "core/chunk/CKStateChunk.h"
#include "core/parameter/CKParameter.h"
#include "core/parameter/CKParameterGuids.h"
#include "render/context/rasterizer/CKRasterizerContext.h"
#include "render/objects/RCKTargetCamera.h"
#include "render/objects/RCKTargetLight.h"
#include "tests/render/objects/EntityTestSupport.h"

namespace {

// Within one unit in the last place of the expected value (computed in
// double from the formula).
void ExpectUlp(float actual, double expected)
{
    const float e = (float) expected;
    EXPECT_LE(std::fabs(actual - e), std::fabs(std::nextafter(e, 2.0f * e) - e)) << actual << " vs " << expected;
}

// The words of a section of a chunk saved without a file.
std::vector<CKDWORD> Section(CKObject* object, CKDWORD identifier, int words)
{
    std::vector<CKDWORD> out;
    CKStateChunk* chunk = object->Save(nullptr, 0xFFFFFFFF);
    chunk->StartRead();
    if (chunk->SeekIdentifier(identifier))
        for (int i = 0; i < words; ++i)
            out.push_back(chunk->ReadDword());
    CKDeleteStateChunk(chunk);
    return out;
}

CKDWORD F(float f)
{
    CKDWORD d;
    std::memcpy(&d, &f, 4);
    return d;
}

using CameraLightTests = EntityFixture;

TEST_F(CameraLightTests, DefaultAndOrthographicProjectionsFollowTheFormulas)
{
    RCKCamera* camera = static_cast<RCKCamera*>(NewEntity("camera", CKCID_CAMERA));
    EXPECT_FALSE(camera->GetObjectFlags() & CK_OBJECT_UPTODATE);
    QxMatrix m;
    camera->ComputeProjectionMatrix(m);
    const double m00 = std::cos(0.25) / std::sin(0.25);
    ExpectUlp(m[0][0], m00);
    ExpectUlp(m[1][1], m00 * 4.0 / 3.0);
    ExpectUlp(m[2][2], 4000.0 / 3999.0);
    ExpectUlp(m[3][2], -4000.0 / 3999.0);
    EXPECT_EQ(m[2][3], 1.0f);

    camera->SetProjectionType(CK_ORTHOGRAPHICPROJECTION);
    camera->SetOrthographicZoom(2.0f);
    camera->SetBackPlane(101.0f);
    camera->ComputeProjectionMatrix(m);
    EXPECT_EQ(m[0][0], 2.0f);
    ExpectUlp(m[1][1], 8.0 / 3.0);
    ExpectUlp(m[2][2], 0.01);
    ExpectUlp(m[3][2], -0.01);
    EXPECT_EQ(m[3][3], 1.0f);
}

TEST_F(CameraLightTests, ScreenAttributeProjectsOffCentreThroughTheScreenBox)
{
    RCKCamera* camera = static_cast<RCKCamera*>(NewEntity("camera", CKCID_CAMERA));
    const int type = m_Context->GetAttributeManager()->RegisterNewAttributeType("1CamPl8ne4SterCube2Rend", CKPGUID_INT);
    ASSERT_GE(type, 0);
    camera->SetAttribute(type);
    QxMatrix plain, m;
    camera->ComputeProjectionMatrix(plain);
    CK_ID missing = 9999999;
    camera->GetAttributeParameter(type)->SetValue(&missing, 4);
    camera->ComputeProjectionMatrix(m);
    EXPECT_TRUE(BitEqual(m, plain)); // no such object: the plain perspective

    // A screen from (-1, -1) to (3, 2) at z = 10; the camera at (1, 0, 0).
    RCK3dEntity* screen = NewEntity("screen");
    screen->SetPosition3f(0.0f, 0.0f, 10.0f);
    QxBbox box(QxVector(-1, -1, 0), QxVector(3, 2, 0));
    screen->SetBoundingBox(&box, TRUE);
    camera->SetPosition3f(1.0f, 0.0f, 0.0f);
    CK_ID id = screen->GetID();
    camera->GetAttributeParameter(type)->SetValue(&id, 4);
    camera->ComputeProjectionMatrix(m);
    QxMatrix expected;
    const float s = 1.0f / 10.0f; // near over the distance to the screen plane
    expected.PerspectiveRect(-2.0f * s, 2.0f * s, 2.0f * s, -1.0f * s, 1.0f, 4000.0f);
    EXPECT_TRUE(BitEqual(m, expected));
}

TEST_F(CameraLightTests, SettersRefuseWhatWouldDivideByZero)
{
    RCKCamera* camera = static_cast<RCKCamera*>(NewEntity("camera", CKCID_CAMERA));
    camera->SetFrontPlane(-3.0f);
    EXPECT_EQ(camera->GetFrontPlane(), 0.01f);
    camera->SetBackPlane(0.01f);
    EXPECT_EQ(camera->GetBackPlane(), 4000.0f);
    camera->SetAspectRatio(16, 0);
    int w, h;
    camera->GetAspectRatio(w, h);
    EXPECT_EQ(w * 10 + h, 43);
    camera->ModifyObjectFlags(CK_OBJECT_UPTODATE, 0);
    camera->SetFov(1.0f);
    EXPECT_FALSE(camera->GetObjectFlags() & CK_OBJECT_UPTODATE);
}

TEST_F(CameraLightTests, ResetRollKeepsTheDirectionAndFiniteOrthonormalAxes)
{
    RCKCamera* camera = static_cast<RCKCamera*>(NewEntity("camera", CKCID_CAMERA));
    for (QxVector dir : {QxVector(0, 0, 1), QxVector(0, 1, 0), QxVector(0, -1, 0), QxVector(0.3f, 0.2f, -0.9f)}) {
        QxVector up = std::fabs(dir.y) > 0.5f ? QxVector(1, 0, 0) : QxVector(0, 1, 0);
        camera->SetOrientation(&dir, &up);
        camera->Roll(0.7f);
        camera->ResetRoll();
        QxVector d, u, r;
        camera->GetOrientation(&d, &u, &r);
        EXPECT_NEAR(QxDotProduct(d, QxNormalize(dir)), 1.0f, 1e-5f);
        for (const QxVector& v : {u, r})
            EXPECT_NEAR(QxMagnitude(v), 1.0f, 1e-5f);
        EXPECT_NEAR(QxDotProduct(u, r), 0.0f, 1e-5f);
        EXPECT_NEAR(QxDotProduct(u, d), 0.0f, 1e-5f);
        if (std::fabs(dir.y) < 0.9f) {
            EXPECT_NEAR(r.y, 0.0f, 1e-5f); // level again
        }
    }
}

TEST_F(CameraLightTests, TargetsMarkTheirEntitiesAndReleaseThem)
{
    auto* camera = static_cast<RCKTargetCamera*>(NewEntity("camera", CKCID_TARGETCAMERA));
    auto* light = static_cast<RCKTargetLight*>(NewEntity("light", CKCID_TARGETLIGHT));
    RCK3dEntity* b = NewEntity("b");
    RCK3dEntity* c = NewEntity("c");
    camera->SetTarget(b);
    camera->SetTarget(c);
    EXPECT_EQ(b->GetFlags() & 0x202, 0x2u);
    EXPECT_EQ(c->GetFlags() & 0x202, 0x200u);
    camera->SetTarget(camera);
    EXPECT_EQ(camera->GetTarget(), c);
    light->SetTarget(c);
    EXPECT_EQ(c->GetFlags() & 0x302, 0x300u);
    EXPECT_TRUE(light->IsObjectUsed(c, CKCID_3DENTITY));
    m_Context->DestroyObject(c);
    EXPECT_EQ(camera->GetTarget(), nullptr);
    EXPECT_EQ(light->GetTarget(), nullptr);
    light->SetTarget(b);
    m_Context->DestroyObject(light);
    EXPECT_EQ(b->GetFlags() & 0x102, 0x2u);
}

TEST_F(CameraLightTests, SectionsWriteTheDocumentedWords)
{
    RCKCamera* camera = static_cast<RCKCamera*>(NewEntity("camera", CKCID_CAMERA));
    camera->SetAspectRatio(16, 9);
    EXPECT_EQ(Section(camera, CK_STATESAVE_CAMERAONLY, 6),
              (std::vector<CKDWORD>{1, F(0.5f), F(1.0f), 0x00090010u, F(1.0f), F(4000.0f)}));
    camera->SetAspectRatio(-2, 3); // a negative width stays in its half
    EXPECT_EQ(Section(camera, CK_STATESAVE_CAMERAONLY, 4)[3], 0x0003FFFEu);

    RCKLight* light = static_cast<RCKLight*>(NewEntity("light", CKCID_LIGHT));
    EXPECT_EQ(Section(light, CK_STATESAVE_LIGHTDATA, 6),
              (std::vector<CKDWORD>{0x101, 0xFFFFFFFF, F(0.5f), F(0.02f), F(0.0f), F(5000.0f)}));
    EXPECT_TRUE(Section(light, CK_STATESAVE_LIGHTPOWER, 1).empty());
    light->SetType(CK_LIGHT_SPOT);
    light->SetLightPower(2.0f);
    EXPECT_EQ(Section(light, CK_STATESAVE_LIGHTDATA, 9),
              (std::vector<CKDWORD>{0x102, 0xFFFFFFFF, F(0.5f), F(0.02f), F(0.0f), F(5000.0f), F(0.7853982f),
                                    F(0.69813174f), F(1.0f)}));
    EXPECT_EQ(Section(light, CK_STATESAVE_LIGHTPOWER, 1), std::vector<CKDWORD>{F(2.0f)});
}

TEST_F(CameraLightTests, VersionFourSectionsLoad)
{
    CKStateChunk chunk(CKCID_CAMERA, nullptr);
    chunk.StartWrite();
    chunk.WriteIdentifier(CK_STATESAVE_CAMERAFOV);
    chunk.WriteFloat(1.25f);
    chunk.WriteIdentifier(CK_STATESAVE_CAMERAPROJTYPE);
    chunk.WriteInt(0);
    chunk.WriteIdentifier(CK_STATESAVE_CAMERAOTHOZOOM);
    chunk.WriteFloat(3.0f);
    chunk.WriteIdentifier(CK_STATESAVE_CAMERAASPECT);
    chunk.WriteInt(16);
    chunk.WriteInt(10);
    chunk.WriteIdentifier(CK_STATESAVE_CAMERAPLANES);
    chunk.WriteFloat(-2.0f); // not clamped when read
    chunk.WriteFloat(50.0f);
    chunk.CloseChunk();
    chunk.SetDataVersion(4);
    RCKCamera* camera = static_cast<RCKCamera*>(NewEntity("camera", CKCID_CAMERA));
    ASSERT_EQ(camera->Load(&chunk, nullptr), 0);
    int w, h;
    camera->GetAspectRatio(w, h);
    EXPECT_EQ(camera->GetFov(), 1.25f);
    EXPECT_EQ(camera->GetProjectionType(), 0);
    EXPECT_EQ(camera->GetOrthographicZoom(), 3.0f);
    EXPECT_EQ(w * 100 + h, 1610);
    EXPECT_EQ(camera->GetFrontPlane(), -2.0f);
    EXPECT_EQ(camera->GetBackPlane(), 50.0f);

    CKStateChunk old(CKCID_LIGHT, nullptr);
    old.StartWrite();
    old.WriteIdentifier(CK_STATESAVE_LIGHTDATA);
    old.WriteDword(7); // no such type: a point light
    for (float f : {0.25f, 0.5f, 0.75f, 123.0f})
        old.WriteFloat(f);
    old.WriteDword(0); // inactive
    old.WriteDword(1); // specular
    for (float f : {1.0f, 2.0f, 3.0f, 400.0f, 0.9f, 0.4f, 1.5f})
        old.WriteFloat(f);
    old.CloseChunk();
    old.SetDataVersion(4);
    RCKLight* light = static_cast<RCKLight*>(NewEntity("light", CKCID_LIGHT));
    light->SetLightPower(3.0f);
    ASSERT_EQ(light->Load(&old, nullptr), 0);
    EXPECT_EQ(light->GetType(), (CKDWORD) CK_LIGHT_POINT);
    EXPECT_EQ(light->GetColor().g, 0.5f);
    EXPECT_EQ(light->GetLightFlags(), (CKDWORD) CK_LIGHT_SPECULAR);
    EXPECT_EQ(light->GetQuadraticAttenuation(), 3.0f);
    EXPECT_EQ(light->GetRange(), 400.0f);
    EXPECT_EQ(light->GetFallOff(), 0.9f);
    EXPECT_EQ(light->GetHotSpot(), 0.4f);
    EXPECT_EQ(light->GetFallOffShape(), 1.5f);
    EXPECT_EQ(light->GetLightPower(), 1.0f);
    EXPECT_EQ(light->Load(nullptr, nullptr), CKErr::InvalidParameter);
}

TEST_F(CameraLightTests, SetupHandsTheRasterizerTheRecord)
{
    RCKRenderContext* rc = NewRecordingContext();
    CKRasterizerContext* rst = rc->GetRasterizerContext();
    RCKLight* light = static_cast<RCKLight*>(NewEntity("light", CKCID_LIGHT));
    light->SetPosition3f(1.0f, 2.0f, 3.0f);
    light->SetColor(QxColor(0.5f, 0.25f, 1.0f, 1.0f));
    light->SetLightPower(0.5f);
    light->SetSpecularFlag(TRUE);
    ASSERT_TRUE(light->Setup(rst, 2));
    CKLightRecord expected = light->GetRecord();
    expected.Light.Diffuse = QxColor(0.25f, 0.125f, 0.5f, 0.5f);
    EXPECT_EQ(std::memcmp(rst->GetLight(2), &expected, sizeof(CKLightRecord)), 0);
    EXPECT_EQ(rst->GetLight(2)->Light.Specular.b, 0.5f);
    EXPECT_EQ(rst->GetLight(2)->Light.Position.z, 3.0f);
    EXPECT_EQ(rst->GetLight(2)->Light.Direction.z, 1.0f);
    EXPECT_EQ(light->GetColor().r, 0.5f); // restored after the call
    EXPECT_TRUE(rst->IsLightEnabled(2));

    light->SetConstantAttenuation(0.0f);
    light->SetLinearAttenuation(0.0f);
    EXPECT_FALSE(light->Setup(rst, 3));
    light->SetType(CK_LIGHT_DIRECTIONAL);
    EXPECT_TRUE(light->Setup(rst, 3));
    light->Active(FALSE);
    EXPECT_FALSE(light->Setup(rst, 4));
}

TEST_F(CameraLightTests, EveryCutOfASavedSectionLoadsWithoutHarm)
{
    auto* camera = static_cast<RCKTargetCamera*>(NewEntity("camera", CKCID_TARGETCAMERA));
    auto* light = static_cast<RCKTargetLight*>(NewEntity("light", CKCID_TARGETLIGHT));
    light->SetType(CK_LIGHT_SPOT);
    light->SetLightPower(4.0f);
    for (RCK3dEntity* object : {static_cast<RCK3dEntity*>(camera), static_cast<RCK3dEntity*>(light)}) {
        CKStateChunk* chunk = object->Save(nullptr, 0xFFFFFFFF);
        std::vector<CKBYTE> bytes((size_t) chunk->ConvertToBuffer(nullptr));
        chunk->ConvertToBuffer(bytes.data());
        CKDeleteStateChunk(chunk);
        RCK3dEntity* fresh = NewEntity("fresh", object->GetClassID());
        for (size_t cut = 0; cut < bytes.size(); ++cut) {
            CKStateChunk part(0, nullptr);
            if (part.ConvertFromBuffer(bytes.data(), (int) cut))
                fresh->Load(&part, nullptr);
        }
    }
}

} // namespace

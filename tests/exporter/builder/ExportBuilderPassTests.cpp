#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/context/CKContext.h"
#include "core/object/CKObjectIDList.h"
#include "core/scene/CKLevel.h"
#include "core/scene/CKScene.h"
#include "exporter/builder/ExportBuilder.h"
#include "render/animation/CKAnimController.h"
#include "render/animation/CKAnimKeys.h"
#include "render/animation/CKCharacter.h"
#include "render/animation/CKKeyedAnimation.h"
#include "render/animation/CKObjectAnimation.h"
#include "render/mesh/CKTexture.h"
#include "render/objects/CK3dObject.h"
#include "render/objects/CKCamera.h"
#include "render/objects/CKLight.h"
#include "tests/exporter/support/ExporterTestSupport.h"

namespace {

using PassTest = EngineFixture;

ExportKey Node(int n)
{
    return (ExportKey) 0x10000 * (ExportKey) n;
}

void AddFloatKey(CKAnimController* controller, float time)
{
    CKLinearKey<float> key(time, time);
    controller->AddKey(&key);
}

std::vector<CK_ID> Ids(CKObjectIDList& list)
{
    std::vector<CK_ID> ids;
    for (list.Reset(); !list.EndOfList(); list.Next())
        ids.push_back(list.GetCurrentID());
    return ids;
}

} // namespace

TEST_F(PassTest, FinishObjectsDropsKeylessControllersAndEmptyAnimations)
{
    ExportBuilder builder(m_Context, FALSE);
    CK3dEntity* a = builder.CreateEntity("A", Node(1));
    CK3dEntity* b = builder.CreateEntity("B", Node(2));
    CK3dEntity* c = builder.CreateEntity("C", Node(3));

    // Keyed rotation stays, keyless position goes.
    CKObjectAnimation* kept = builder.CreateObjectAnimation(a, "Kept", Node(1));
    kept->CreateController(CKANIMATION_LINEARPOSITION_CONTROL);
    CKAnimController* rotation = kept->CreateController(CKANIMATION_LINEARROTATION_CONTROL);
    CKLinearKey<QxQuaternion> turn(0.0f, QxQuaternion());
    rotation->AddKey(&turn);
    // Keyless named controllers in a row around a keyed one: only the keyed stays.
    CKObjectAnimation* named = builder.CreateObjectAnimation(b, "Named", Node(2));
    named->CreateController(CKANIMATION_LINEARFLOAT_CONTROL, "w0");
    named->CreateController(CKANIMATION_LINEARFLOAT_CONTROL, "w1");
    AddFloatKey(named->CreateController(CKANIMATION_LINEARFLOAT_CONTROL, "w2"), 1.0f);
    named->CreateController(CKANIMATION_LINEARFLOAT_CONTROL, "w3");
    named->CreateController(CKANIMATION_LINEARFLOAT_CONTROL, "w4");
    // Only keyless controllers, channel and named: the animation goes.
    CKObjectAnimation* empty = builder.CreateObjectAnimation(c, "Empty", Node(3));
    empty->CreateController(CKANIMATION_LINEARSCALE_CONTROL);
    empty->CreateController(CKANIMATION_LINEARFLOAT_CONTROL, "x");
    empty->CreateController(CKANIMATION_LINEARFLOAT_CONTROL, "y");
    CKObjectAnimation* bare = builder.CreateObjectAnimation(c, "Bare", 0);
    CKKeyedAnimation* keyed = builder.CreateAnimation("Animation");
    CK_ID emptyId = empty->GetID(), bareId = bare->GetID();

    CKObjectIDList saved;
    EXPECT_EQ(builder.FinishObjects(nullptr, FALSE, FALSE), 0);
    ASSERT_EQ(builder.FinishObjects(&saved, FALSE, FALSE), 1);

    EXPECT_EQ(kept->GetPositionController(), nullptr);
    EXPECT_EQ(kept->GetRotationController(), rotation);
    ASSERT_EQ(named->GetNamedControllerCount(), 1);
    EXPECT_STREQ(named->GetNamedControllerEntry(0)->Name.CStr(), "w2");
    EXPECT_EQ(m_Context->GetObject(emptyId), nullptr);
    EXPECT_EQ(m_Context->GetObject(bareId), nullptr);
    EXPECT_EQ(builder.objectAnimationList.Size(), 2);
    EXPECT_EQ(builder.objectAnimations.Find(Node(3)), builder.objectAnimations.End());
    EXPECT_EQ(keyed->GetAnimationCount(), 2);
    std::vector<CK_ID> expected = {a->GetID(), b->GetID(), c->GetID(), kept->GetID(), named->GetID(), keyed->GetID()};
    EXPECT_EQ(Ids(saved), expected) << "every created object, in creation order";

    CKObjectIDList animationOnly;
    builder.FinishObjects(&animationOnly, TRUE, FALSE);
    expected = {keyed->GetID(), kept->GetID(), named->GetID()};
    EXPECT_EQ(Ids(animationOnly), expected);
}

TEST_F(PassTest, AnAnimationWithoutObjectAnimationsIsDestroyedAndAnAnimationExportSavesNothing)
{
    ExportBuilder builder(m_Context, FALSE);
    CK3dEntity* a = builder.CreateEntity("A", Node(1));
    builder.CreateObjectAnimation(a, "Still", Node(1));
    CKKeyedAnimation* keyed = builder.CreateAnimation("Animation");
    CK_ID keyedId = keyed->GetID();
    CKObjectIDList saved;
    builder.FinishObjects(&saved, TRUE, FALSE);
    EXPECT_EQ(builder.animation, nullptr);
    EXPECT_EQ(m_Context->GetObject(keyedId), nullptr);
    EXPECT_TRUE(saved.IsEmpty());
    ASSERT_EQ(builder.createdObjects.Size(), 1);
    EXPECT_EQ(builder.createdObjects[0], a);
}

TEST_F(PassTest, PutObjectsInLevelScalesEachLightAndSetsTheScene)
{
    ExportBuilder builder(m_Context, TRUE);
    CKLight* lights[2] = {builder.CreateLight(FALSE, 1, "Omni", Node(1), TRUE),
                          builder.CreateLight(TRUE, 2, "Spot", Node(2), TRUE)};
    const float base[2][3] = {{1.0f, 0.5f, 0.25f}, {2.0f, 0.0f, 3.0f}};
    for (int i = 0; i < 2; ++i) {
        lights[i]->SetColor(QxColor(0.8f, 0.6f, 0.4f, 1.0f));
        lights[i]->SetConstantAttenuation(base[i][0]);
        lights[i]->SetLinearAttenuation(base[i][1]);
        lights[i]->SetQuadraticAttenuation(base[i][2]);
    }
    CKCamera* camera = builder.CreateCamera(FALSE, "Cam", Node(3), TRUE);
    auto* outsider = Make<CK3dObject>(CKCID_3DOBJECT, "Not the builder's");
    builder.environment.lightTint = QxColor(0.5f, 1.0f, 1.0f, 1.0f);
    builder.environment.lightLevel = 2.0f;
    builder.environment.ambientColor = QxColor(1.0f, 0.0f, 0.0f, 1.0f);
    builder.environment.fogMode = 3;
    builder.environment.fogStart = 10.0f;
    builder.environment.fogEnd = 110.0f;
    builder.environment.fogDensity = 0.5f;
    builder.environment.fogColor = QxColor(0.0f, 0.0f, 1.0f, 1.0f);
    builder.environment.startingCamera = camera;

    CKObjectIDList saved;
    ASSERT_EQ(builder.FinishObjects(&saved, FALSE, TRUE), 1);
    for (int i = 0; i < 2; ++i) {
        const QxColor& color = lights[i]->GetColor();
        EXPECT_FLOAT_EQ(color.r, 0.4f) << i;
        EXPECT_FLOAT_EQ(color.g, 0.6f) << i;
        EXPECT_FLOAT_EQ(color.b, 0.4f) << i;
        EXPECT_FLOAT_EQ(lights[i]->GetConstantAttenuation(), base[i][0] * 2) << i;
        EXPECT_FLOAT_EQ(lights[i]->GetLinearAttenuation(), base[i][1] * 2) << i;
        EXPECT_FLOAT_EQ(lights[i]->GetQuadraticAttenuation(), base[i][2] * 2) << i;
    }
    CKLevel* level = m_Context->GetCurrentLevel();
    CKScene* scene = level->GetLevelScene();
    EXPECT_TRUE(scene->IsObjectHere(outsider)) << "every scene object of the context joins";
    EXPECT_TRUE(scene->IsObjectHere(lights[1]->GetTarget()));
    EXPECT_EQ(scene->GetAmbientLightColor(), 0xFFFF0000u);
    EXPECT_EQ(scene->GetBackgroundColor(), 0xFFFFFFFFu) << "128 per channel clamps to 255";
    EXPECT_EQ(scene->GetFogColor(), 0xFF0000FFu);
    EXPECT_EQ(scene->GetFogMode(), 3u);
    EXPECT_FLOAT_EQ(scene->GetFogStart(), 10.0f);
    EXPECT_FLOAT_EQ(scene->GetFogEnd(), 110.0f);
    EXPECT_FLOAT_EQ(scene->GetFogDensity(), 0.5f);
    EXPECT_EQ(scene->GetStartingCamera(), camera);
    EXPECT_EQ(scene->GetBackgroundTexture(), nullptr);
    std::vector<CK_ID> ids = Ids(saved);
    ASSERT_FALSE(ids.empty());
    EXPECT_EQ(ids.back(), level->GetID()) << "the level comes last";
    EXPECT_EQ(ids.size(), builder.createdObjects.Size() + 1u);
}

TEST_F(PassTest, TheNeutralTintAndLevelLeaveLightsAloneAndNoLevelMeansNothing)
{
    {
        ExportBuilder builder(m_Context, FALSE);
        CKObjectIDList saved;
        EXPECT_EQ(builder.PutObjectsInLevel(&saved), 0);
        EXPECT_TRUE(saved.IsEmpty());
    }
    ExportBuilder builder(m_Context, TRUE);
    CKLight* light = builder.CreateLight(FALSE, 1, "Omni", Node(1), TRUE);
    light->SetColor(QxColor(0.3f, 0.2f, 0.1f, 0.9f));
    light->SetLinearAttenuation(0.7f);
    CKObjectIDList saved;
    EXPECT_GT(builder.PutObjectsInLevel(&saved), 0);
    EXPECT_EQ(light->GetColor().r, 0.3f);
    EXPECT_EQ(light->GetColor().a, 0.9f);
    EXPECT_EQ(light->GetLinearAttenuation(), 0.7f);
}

TEST_F(PassTest, TexturesAreResizedToPowersOfTwo)
{
    ExportBuilder builder(m_Context, FALSE);
    auto texture = [&](const char* name, int w, int h, ExportKey key) {
        auto* t = Make<CKTexture>(CKCID_TEXTURE, name);
        if (w > 0) {
            EXPECT_TRUE(t->Create(w, h));
        }
        builder.textures.Insert(key, t);
        return t;
    };
    CKTexture* wide = texture("Wide", 200, 100, Node(1));
    CKTexture* even = texture("Even", 64, 32, Node(2));
    CKTexture* none = texture("None", 0, 0, Node(3));
    CKTexture* odd = texture("Odd", 96, 3, Node(4));
    EXPECT_EQ(builder.ResizeTexturesToPowerOfTwo(0, FALSE), 2);
    EXPECT_EQ(wide->GetWidth(), 256);
    EXPECT_EQ(wide->GetHeight(), 128);
    EXPECT_EQ(even->GetWidth(), 64);
    EXPECT_LE(none->GetWidth(), 0) << "a texture without image is skipped";
    EXPECT_EQ(odd->GetWidth(), 128);
    EXPECT_EQ(odd->GetHeight(), 4);

    ExportBuilder square(m_Context, FALSE);
    CKTexture* again = Make<CKTexture>(CKCID_TEXTURE, "Again");
    again->Create(200, 100);
    square.textures.Insert(Node(1), again);
    EXPECT_EQ(square.ResizeTexturesToPowerOfTwo(0, TRUE), 1);
    EXPECT_EQ(again->GetWidth(), 256);
    EXPECT_EQ(again->GetHeight(), 256);
    EXPECT_EQ(square.ResizeTexturesToPowerOfTwo(1, TRUE), 0) << "already powers of two";
}

TEST_F(PassTest, AnyTintedChannelTurnsTheTintOn)
{
    const QxColor tints[] = {QxColor(0.5f, 1.0f, 1.0f, 1.0f), QxColor(1.0f, 0.5f, 1.0f, 1.0f),
                             QxColor(1.0f, 1.0f, 0.5f, 1.0f), QxColor(1.0f, 1.0f, 1.0f, 0.5f)};
    for (int c = 0; c < 4; ++c) {
        ExportBuilder builder(m_Context, TRUE);
        CKLight* light = builder.CreateLight(FALSE, 1, "Omni", Node(1), TRUE);
        light->SetColor(QxColor(0.8f, 0.8f, 0.8f, 0.8f));
        builder.environment.lightTint = tints[c];
        CKObjectIDList saved;
        builder.PutObjectsInLevel(&saved);
        const QxColor& color = light->GetColor();
        const float channels[4] = {color.r, color.g, color.b, color.a};
        for (int k = 0; k < 4; ++k)
            EXPECT_FLOAT_EQ(channels[k], k == c ? 0.4f : 0.8f) << "tinted channel " << c << ", channel " << k;
        builder.DestroyObject(light, Node(1));
    }
}

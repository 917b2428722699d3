#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/context/CKContext.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKObjectIDList.h"
#include "core/scene/CKGroup.h"
#include "core/scene/CKLevel.h"
#include "core/scene/CKScene.h"
#include "exporter/builder/ExportBuilder.h"
#include "exporter/options/Max2Qdx.h"
#include "render/animation/CKBodyPart.h"
#include "render/animation/CKCharacter.h"
#include "render/animation/CKKeyedAnimation.h"
#include "render/animation/CKObjectAnimation.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKMesh.h"
#include "render/mesh/CKTexture.h"
#include "render/objects/CK3dObject.h"
#include "render/objects/CKCamera.h"
#include "render/objects/CKCurve.h"
#include "render/objects/CKCurvePoint.h"
#include "render/objects/CKLight.h"
#include "render/objects/CKPlace.h"
#include "tests/exporter/support/ExporterTestSupport.h"

namespace {

using BuilderTest = EngineFixture;

// Host keys as the conversions pass them: node pointers.
ExportKey Node(int n)
{
    return (ExportKey) 0x10000 * (ExportKey) n + 0x40;
}

std::vector<CKObject*> Created(const ExportBuilder& builder)
{
    return std::vector<CKObject*>(builder.createdObjects.Begin(), builder.createdObjects.End());
}

// Every place the builder may hold an object.
template <class T>
bool TableHolds(const ExportTable<T>& table, const CKObject* object)
{
    for (const T* value : table)
        if (static_cast<const CKObject*>(value) == object)
            return true;
    return false;
}

bool BuilderHolds(const ExportBuilder& b, const CKObject* o)
{
    bool lists = false;
    for (CKObject* x : b.createdObjects)
        lists = lists || x == o;
    for (CKObjectAnimation* x : b.objectAnimationList)
        lists = lists || static_cast<CKObject*>(x) == o;
    for (CKBodyPart* x : b.bodyParts)
        lists = lists || static_cast<CKObject*>(x) == o;
    return lists || TableHolds(b.entities, o) || TableHolds(b.meshes, o) || TableHolds(b.materials, o) ||
           TableHolds(b.textures, o) || TableHolds(b.objectAnimations, o) || TableHolds(b.lights, o) ||
           TableHolds(b.cameras, o) || TableHolds(b.groups, o) || static_cast<CKObject*>(b.character) == o ||
           static_cast<CKObject*>(b.animation) == o;
}

} // namespace

TEST_F(BuilderTest, TheBuilderMakesTheCurrentLevelWhenAsked)
{
    {
        ExportBuilder builder(m_Context, FALSE);
        EXPECT_EQ(m_Context->GetCurrentLevel(), nullptr);
        EXPECT_EQ(builder.entities.BucketCount(), 16);
        EXPECT_EQ(builder.creationOptions, 0u);
    }
    ExportBuilder builder(m_Context, TRUE);
    CKLevel* level = m_Context->GetCurrentLevel();
    ASSERT_NE(level, nullptr);
    EXPECT_STREQ(level->GetName(), "Level");
    EXPECT_TRUE(builder.createdObjects.IsEmpty()) << "the level is not one of the created objects";
}

TEST_F(BuilderTest, EachCreationMakesItsClassMapsItsKeyAndKeepsTheOrder)
{
    ExportBuilder builder(m_Context, FALSE);
    struct Row
    {
        const char* name;
        CK_CLASSID cid;
        std::function<CKObject*(ExportBuilder&, ExportKey)> create;
        std::function<CKObject*(ExportBuilder&, ExportKey)> find;
    };
    auto entity = [](ExportBuilder& b, ExportKey k) -> CKObject* { return b.FindEntity(k); };
    const Row rows[] = {
        {"Object", CKCID_3DOBJECT, [](auto& b, auto k) { return b.CreateObject3D("Object", k); }, entity},
        {"Frame", CKCID_3DENTITY, [](auto& b, auto k) { return b.CreateEntity("Frame", k); }, entity},
        {"Place", CKCID_PLACE, [](auto& b, auto k) { return b.CreatePlace("Place", k); }, entity},
        {"Part", CKCID_BODYPART, [](auto& b, auto k) { return b.CreateBodyPart("Part", k); }, entity},
        {"Group", CKCID_GROUP, [](auto& b, auto k) { return b.CreateGroup("Group", k); },
         [](auto& b, auto k) -> CKObject* {
             auto it = b.groups.Find(k);
             return it == b.groups.End() ? nullptr : *it;
         }},
        {"Curve", CKCID_CURVE, [](auto& b, auto k) { return b.CreateCurve("Curve", k); }, entity},
        {"Point", CKCID_CURVEPOINT, [](auto& b, auto k) { return b.CreateCurvePoint(nullptr, "Point", k); }, entity},
        {"Omni", CKCID_LIGHT, [](auto& b, auto k) { return b.CreateLight(FALSE, 1, "Omni", k, TRUE); },
         [](auto& b, auto k) -> CKObject* { return b.FindLight(k); }},
        {"Free", CKCID_CAMERA, [](auto& b, auto k) { return b.CreateCamera(FALSE, "Free", k, TRUE); },
         [](auto& b, auto k) -> CKObject* { return b.FindCamera(k); }},
        {"Move", CKCID_OBJECTANIMATION, [](auto& b, auto k) { return b.CreateObjectAnimation(nullptr, "Move", k); },
         [](auto& b, auto k) -> CKObject* {
             auto it = b.objectAnimations.Find(k);
             return it == b.objectAnimations.End() ? nullptr : *it;
         }},
    };
    std::vector<CKObject*> made;
    int n = 1;
    for (const Row& row : rows) {
        CKObject* object = row.create(builder, Node(n));
        ASSERT_NE(object, nullptr) << row.name;
        EXPECT_EQ(object->GetClassID(), row.cid) << row.name;
        EXPECT_STREQ(object->GetName(), row.name);
        EXPECT_EQ(row.find(builder, Node(n)), object) << row.name;
        EXPECT_EQ(row.find(builder, Node(n + 100)), nullptr) << row.name;
        made.push_back(object);
        // Without a key the object is made and kept but mapped nowhere.
        CKObject* unmapped = row.create(builder, 0);
        ASSERT_NE(unmapped, nullptr) << row.name;
        EXPECT_EQ(row.find(builder, 0), nullptr) << row.name;
        made.push_back(unmapped);
        ++n;
    }
    EXPECT_EQ(Created(builder), made);
    EXPECT_EQ(builder.entities.Size(), 6);
    EXPECT_EQ(builder.bodyParts.Size(), 2);
    EXPECT_EQ(builder.objectAnimationList.Size(), 2);
    auto* frame = static_cast<CK3dEntity*>(made[2]);
    EXPECT_EQ(frame->GetFlags(), 2u);
    auto* omni = static_cast<CKLight*>(made[14]);
    EXPECT_EQ(omni->GetType(), 1u);
}

TEST_F(BuilderTest, ATargetEntityComesFirstAndUnmapped)
{
    ExportBuilder builder(m_Context, FALSE);
    CKLight* spot = builder.CreateLight(TRUE, 2, "Spot", Node(1), TRUE);
    ASSERT_NE(spot, nullptr);
    CKCamera* camera = builder.CreateCamera(TRUE, nullptr, Node(2), TRUE);
    ASSERT_NE(camera, nullptr);
    CKLight* bare = builder.CreateLight(TRUE, 3, nullptr, Node(3), FALSE);
    ASSERT_NE(bare, nullptr);

    auto created = Created(builder);
    ASSERT_EQ(created.size(), 5u);
    EXPECT_EQ(created[0]->GetClassID(), CKCID_3DENTITY);
    EXPECT_STREQ(created[0]->GetName(), "Spot_Target");
    EXPECT_EQ(created[1], spot);
    EXPECT_EQ(spot->GetClassID(), CKCID_TARGETLIGHT);
    EXPECT_EQ(spot->GetType(), 2u);
    EXPECT_EQ(spot->GetTarget(), created[0]);
    EXPECT_STREQ(created[2]->GetName(), "Camera_Target") << "a nameless camera's target";
    EXPECT_EQ(created[3], camera);
    EXPECT_EQ(camera->GetClassID(), CKCID_TARGETCAMERA);
    EXPECT_EQ(camera->GetTarget(), created[2]);
    EXPECT_EQ(created[4], bare) << "without withTarget there is no target";
    EXPECT_EQ(bare->GetTarget(), nullptr);
    EXPECT_TRUE(builder.entities.IsEmpty()) << "targets are mapped to no node";
    EXPECT_EQ(builder.FindLight(Node(1)), spot);
    EXPECT_EQ(builder.FindEntity(Node(1)), nullptr) << "a light is found among the lights only";
}

TEST_F(BuilderTest, BodyPartsAndObjectAnimationsJoinTheCharacterAndTheAnimationWhicheverComesFirst)
{
    ExportBuilder builder(m_Context, FALSE);
    CKBodyPart* early = builder.CreateBodyPart("Early", Node(1));
    CK3dEntity* moved = builder.CreateEntity("Moved", Node(2));
    CKObjectAnimation* first = builder.CreateObjectAnimation(moved, "First", Node(2));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->Get3dEntity(), moved);

    CKKeyedAnimation* keyed = builder.CreateAnimation("Animation");
    ASSERT_NE(keyed, nullptr);
    EXPECT_EQ(builder.animation, keyed);
    ASSERT_EQ(keyed->GetAnimationCount(), 1);
    EXPECT_EQ(keyed->GetAnimation(0), first);

    CKCharacter* character = builder.CreateCharacter("Character");
    ASSERT_NE(character, nullptr);
    EXPECT_EQ(builder.character, character);
    ASSERT_EQ(character->GetBodyPartCount(), 1);
    EXPECT_EQ(character->GetBodyPart(0), early);
    ASSERT_EQ(character->GetAnimationCount(), 1);
    EXPECT_EQ(character->GetAnimation(0), keyed);

    CKBodyPart* late = builder.CreateBodyPart("Late", Node(3));
    EXPECT_EQ(character->GetBodyPartCount(), 2);
    EXPECT_EQ(late->GetCharacter(), character);
    CKObjectAnimation* second = builder.CreateObjectAnimation(late, "Second", Node(3));
    EXPECT_EQ(keyed->GetAnimationCount(), 2);
    EXPECT_EQ(keyed->GetAnimation(1), second);

    // An object animation made elsewhere is recorded as if made here, once.
    auto* outside = Make<CKObjectAnimation>(CKCID_OBJECTANIMATION, "Outside");
    builder.AddObjectAnimation(outside, 0);
    builder.AddObjectAnimation(outside, Node(4));
    EXPECT_EQ(keyed->GetAnimation(2), outside);
    EXPECT_EQ(builder.objectAnimationList.Size(), 3);
    EXPECT_EQ(builder.createdObjects[builder.createdObjects.Size() - 1], outside);
    EXPECT_EQ(*builder.objectAnimations.Find(Node(4)), outside);
    builder.AddObjectAnimation(nullptr, Node(5));
    EXPECT_EQ(builder.objectAnimationList.Size(), 3);
}

TEST_F(BuilderTest, AfterDestroyObjectNothingOfTheBuilderYieldsTheObject)
{
    ExportBuilder builder(m_Context, FALSE);
    CKLight* spot = builder.CreateLight(TRUE, 2, "Spot", Node(1), TRUE);
    CK3dEntity* target = spot->GetTarget();
    CKBodyPart* part = builder.CreateBodyPart("Part", Node(2));
    CK3dEntity* frame = builder.CreateEntity("Frame", Node(3));
    CKObjectAnimation* move = builder.CreateObjectAnimation(frame, "Move", Node(3));
    CKKeyedAnimation* keyed = builder.CreateAnimation("Animation");
    CKCharacter* character = builder.CreateCharacter("Character");
    CKGroup* group = builder.CreateGroup("Group", Node(4));
    auto* material = Make<CKMaterial>(CKCID_MATERIAL, "Material");
    builder.AddCreatedObject(material);
    builder.materials.Insert(Node(5), material);
    builder.materials.Insert(~Node(5), material); // its lightmap key
    builder.materials.Insert(3, material);        // a default channel key
    // The same object under other keys of other tables: forgotten by value.
    builder.entities.Insert(Node(9), spot);
    builder.textures.Insert(Node(9), reinterpret_cast<CKTexture*>(frame));
    builder.environment.startingCamera = nullptr;

    // Forgetting other objects leaves the character and the animation.
    CK3dEntity* bystander = builder.CreateEntity("Bystander", Node(8));
    builder.DestroyObject(bystander, Node(8));
    EXPECT_EQ(builder.character, character);
    EXPECT_EQ(builder.animation, keyed);
    std::vector<std::pair<CKObject*, ExportKey>> victims = {
        {spot, Node(1)}, {target, 0},    {part, Node(2)},  {move, Node(3)}, {frame, Node(7)},
        {keyed, 0},      {character, 0}, {group, Node(4)}, {material, 0},
    };
    for (auto [object, key] : victims) {
        CK_ID id = object->GetID();
        std::string name = object->GetName();
        builder.DestroyObject(object, key);
        EXPECT_EQ(m_Context->GetObject(id), nullptr) << name;
        EXPECT_FALSE(BuilderHolds(builder, object)) << name;
    }
    EXPECT_EQ(builder.FindLight(Node(1)), nullptr);
    EXPECT_EQ(builder.FindEntity(Node(9)), nullptr);
    EXPECT_EQ(builder.FindMaterial(~Node(5)), nullptr);
    EXPECT_EQ(builder.FindMaterial(3), nullptr);
    EXPECT_TRUE(builder.createdObjects.IsEmpty());
    EXPECT_EQ(builder.character, nullptr);
    EXPECT_EQ(builder.animation, nullptr);
    builder.DestroyObject(nullptr, Node(1)); // nothing
}

TEST_F(BuilderTest, DestroyingOneObjectLeavesTheOthersAndTheirOrder)
{
    ExportBuilder builder(m_Context, FALSE);
    std::vector<CKObject*> made;
    for (int i = 0; i < 40; ++i)
        made.push_back(builder.CreateObject3D(("O" + std::to_string(i)).c_str(), Node(i + 1)));
    builder.DestroyObject(made[5], Node(6));
    made.erase(made.begin() + 5);
    EXPECT_EQ(Created(builder), made);
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(builder.FindEntity(Node(i + 1)), i == 5 ? nullptr : made[i < 5 ? i : i - 1]) << i;
}

TEST_F(BuilderTest, AFailedCreationReturnsNullRecordsNothingAndIsReported)
{
    Max2Qdx exporter;
    exporter.reportLevel = 1;
    ExportBuilder builder(m_Context, FALSE);
    builder.exporter = &exporter;
    CKClassDesc* desc = CKGetClassDesc(CKCID_TARGETLIGHT);
    ASSERT_NE(desc, nullptr);
    CKCLASSCREATIONFCT saved = desc->m_CreationFct;
    desc->m_CreationFct = nullptr;
    CKLight* light = builder.CreateLight(TRUE, 2, "Spot", Node(1), TRUE);
    desc->m_CreationFct = saved;
    EXPECT_EQ(light, nullptr);
    EXPECT_TRUE(builder.createdObjects.IsEmpty()) << "the target of a light that failed goes too";
    EXPECT_TRUE(builder.lights.IsEmpty());
    EXPECT_EQ(m_Context->GetObjectByNameAndClass("Spot_Target", CKCID_3DENTITY), nullptr);
    EXPECT_NE(std::string(exporter.GetReportText()).find("\"Spot\""), std::string::npos) << exporter.GetReportText();

    builder.exporter = nullptr;
    desc = CKGetClassDesc(CKCID_3DOBJECT);
    saved = desc->m_CreationFct;
    desc->m_CreationFct = nullptr;
    EXPECT_EQ(builder.CreateObject3D("Box", Node(2)), nullptr) << "without an exporter nothing is reported";
    desc->m_CreationFct = saved;
    EXPECT_TRUE(builder.entities.IsEmpty());
}

TEST(ExportBuilderRound, RoundToPowerOfTwo)
{
    struct Row
    {
        int value, method, expected;
    };
    const Row rows[] = {
        {200, 0, 256},
        {100, 0, 128},
        {96, 0, 128},
        {64, 0, 64},
        {64, 1, 64},
        {64, 2, 64},
        {1, 0, 1},
        {3, 0, 4},
        {5, 0, 4},
        {6, 0, 8},
        {200, 1, 128},
        {200, 2, 256},
        {100, 1, 64},
        {100, 2, 128},
        {96, 1, 64},
        {97, 1, 64},
        {2, 1, 2},
        {7, 3, 7},
        {7, -1, 7},
        {0, 0, 1},
        {0, 2, 2},
        {(1 << 30) + 1, 0, 1 << 30},
        {0x7FFFFFFF, 2, 1 << 30},
        {(1 << 29) + 1, 2, 1 << 30},
        {1 << 30, 2, 1 << 30},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ExportBuilder::RoundToPowerOfTwo(row.value, row.method), row.expected)
            << row.value << " method " << row.method;
    // Against a plain model over a range of sizes.
    for (int v = 1; v <= 5000; ++v) {
        int lower = 1;
        while (lower * 2 <= v)
            lower *= 2;
        int higher = lower == v ? v : lower * 2;
        EXPECT_EQ(ExportBuilder::RoundToPowerOfTwo(v, 1), lower == v ? v : lower) << v;
        EXPECT_EQ(ExportBuilder::RoundToPowerOfTwo(v, 2), higher) << v;
        EXPECT_EQ(ExportBuilder::RoundToPowerOfTwo(v, 0), lower == v ? v : (v - lower >= higher - v ? higher : lower))
            << v;
    }
}

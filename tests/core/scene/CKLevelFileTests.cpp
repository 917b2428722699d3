// A whole level through engine files: objects, scenes, groups and
// attributes come back in a context whose attribute registry differs, and a
// loaded level saves to the same bytes again.

#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/attribute/CKAttributeManager.h"
#include "core/parameter/CKParameter.h"
#include "core/parameter/CKParameterGuids.h"
#include "tests/core/scene/SceneTestSupport.h"
#include "tests/support/TestPaths.h"

namespace {

constexpr int kObjects = 1000;
constexpr int kGroups = 10;
constexpr int kTypes = 20;
const char* const kCategories[] = {"Physics", "Render", "Logic", "Sound"};
// Types the loading context knows already, at other indices.
const int kKnownTypes[] = {2, 5, 11, 16, 19};

std::string TypeName(int i)
{
    return "Attribute " + std::to_string(i);
}

// Some types carry a value: an integer, a float or a text.
CKGUID TypeGuid(int i)
{
    switch (i % 5) {
    case 1: return CKPGUID_INT;
    case 2: return CKPGUID_FLOAT;
    case 3: return CKPGUID_STRING;
    default: return CKGUID();
    }
}

// What a context holds of a level, by names.
struct LevelPicture
{
    std::vector<std::string> sceneOrder;
    std::map<std::string, std::vector<std::pair<std::string, CKDWORD>>> sceneMembers;
    std::map<std::string, std::vector<CKDWORD>> environments;
    std::map<std::string, std::vector<std::string>> groups;
    std::map<std::string, std::set<std::string>> attributes;
    std::map<std::string, std::string> categories;

    bool operator==(const LevelPicture&) const = default;
};

std::string NameOf(CKObject* object)
{
    return object && object->GetName() ? object->GetName() : "";
}

void PictureScene(LevelPicture& picture, CKContext* context, const std::string& key, CKScene* scene)
{
    auto& members = picture.sceneMembers[key];
    for (CKSceneObjectIterator it = scene->GetObjectIterator(); !it.End(); ++it)
        members.emplace_back(NameOf(context->GetObject(it.GetObjectID())), it.GetObjectDesc()->m_Flags);
    picture.environments[key] = {scene->GetBackgroundColor(),
                                 scene->GetAmbientLightColor(),
                                 scene->GetFogMode(),
                                 scene->GetFogColor(),
                                 std::bit_cast<CKDWORD>(scene->GetFogStart()),
                                 std::bit_cast<CKDWORD>(scene->GetFogEnd()),
                                 std::bit_cast<CKDWORD>(scene->GetFogDensity()),
                                 scene->GetSceneFlags()};
}

LevelPicture Picture(CKContext* context)
{
    LevelPicture picture;
    CKLevel* level = context->GetCurrentLevel();
    if (!level)
        return picture;
    PictureScene(picture, context, "level scene", level->GetLevelScene());
    for (int i = 0; i < level->GetSceneCount(); ++i) {
        picture.sceneOrder.push_back(NameOf(level->GetScene(i)));
        PictureScene(picture, context, NameOf(level->GetScene(i)), level->GetScene(i));
    }
    CKAttributeManager* attributes = context->GetAttributeManager();
    for (CKSceneObjectIterator it = level->GetLevelScene()->GetObjectIterator(); !it.End(); ++it) {
        CKObject* object = context->GetObject(it.GetObjectID());
        if (!CKIsChildClassOfObject(object, CKCID_BEOBJECT))
            continue;
        auto* be = static_cast<CKBeObject*>(object);
        auto& names = picture.attributes[NameOf(object)];
        for (int a = 0; a < be->GetAttributeCount(); ++a) {
            const int type = be->GetAttributeType(a);
            std::string entry = attributes->GetAttributeNameByType(type);
            if (CKParameter* value = be->GetAttributeParameter(type)) {
                char text[64] = {};
                value->GetStringValue(text, sizeof(text));
                entry += std::string(" = ") + text;
                EXPECT_EQ(value->GetOwner(), be);
            }
            names.insert(entry);
        }
        if (CKIsChildClassOfObject(object, CKCID_GROUP)) {
            auto* group = static_cast<CKGroup*>(object);
            auto& members = picture.groups[NameOf(object)];
            for (int m = 0; m < group->GetObjectCount(); ++m) {
                members.push_back(NameOf(group->GetObject(m)));
                EXPECT_TRUE(group->GetObject(m)->IsInGroup(group));
            }
        }
    }
    for (int t = 0; t < kTypes; ++t) {
        int type = attributes->GetAttributeTypeByName(TypeName(t).c_str());
        const char* category = attributes->GetCategoryName(attributes->GetAttributeCategoryIndex(type));
        picture.categories[TypeName(t)] = category ? category : "";
    }
    return picture;
}

class LevelFileTest : public SceneFixture
{
protected:
    // A context that knows some of the types already, at other indices.
    CKContext* LoadingContext()
    {
        CKContext* context = NewContext();
        CKAttributeManager* attributes = context->GetAttributeManager();
        for (int i = 0; i < 3; ++i)
            attributes->RegisterNewAttributeType(("Local " + std::to_string(i)).c_str(), CKGUID());
        for (int known : kKnownTypes)
            attributes->RegisterNewAttributeType(TypeName(known).c_str(), TypeGuid(known), CKCID_BEOBJECT, 0x13);
        return context;
    }

    void BuildLevel()
    {
        CKAttributeManager* attributes = m_Context->GetAttributeManager();
        std::vector<int> types;
        for (int t = 0; t < kTypes; ++t) {
            types.push_back(attributes->RegisterNewAttributeType(TypeName(t).c_str(), TypeGuid(t), CKCID_BEOBJECT,
                                                                 t % 3 == 0 ? 0x13 : 0x10));
            if (t % 5 == 1)
                attributes->SetAttributeDefaultValue(types.back(), "7");
            attributes->SetAttributeCategory(types.back(), kCategories[t % 4]);
        }
        CKLevel* level = NewLevel("Level");
        const char* sceneNames[] = {"Scene C", "Scene A", "Scene B"};
        std::vector<CKScene*> scenes;
        for (int s = 0; s < 3; ++s) {
            CKScene* scene = NewScene(sceneNames[s]);
            level->AddScene(scene);
            scene->SetBackgroundColor(0xFF000000u + (CKDWORD) s);
            scene->SetAmbientLightColor(0x00101010u * (CKDWORD) (s + 1));
            scene->SetFogMode((CKDWORD) s + 1);
            scene->SetFogColor(0x00ABCDEF);
            scene->SetFogStart(1.5f * (float) s);
            scene->SetFogEnd(90.0f + (float) s);
            scene->SetFogDensity(0.5f / (float) (s + 1));
            scenes.push_back(scene);
        }
        std::vector<CKBeObject*> objects;
        for (int i = 0; i < kObjects; ++i) {
            CKBeObject* object = NewBeObject(("Object " + std::to_string(i)).c_str());
            objects.push_back(object);
            level->AddObject(object);
            if (i % 5 == 0)
                level->GetLevelScene()->SetObjectFlags(object, CK_SCENEOBJECT_START_DEACTIVATE);
            for (int s = 0; s < 3; ++s)
                if (i % (s + 2) == 0)
                    scenes[s]->AddObject(object, TRUE);
            if (i % 4 != 3)
                object->SetAttribute(types[i % kTypes]);
            if (i % 7 == 0)
                object->SetAttribute(types[(i / 7) % kTypes]);
            // Every other value is changed from its default.
            if (CKParameter* value = object->GetAttributeParameter(types[i % kTypes]); value && i % 2 == 0)
                value->SetStringValue(std::to_string(i / 4).c_str());
        }
        std::vector<CKGroup*> groups;
        for (int g = 0; g < kGroups; ++g) {
            CKGroup* group = NewGroup(("Group " + std::to_string(g)).c_str());
            level->AddObject(group);
            for (int i = g; i < kObjects; i += 13 + g)
                group->AddObject(objects[i]);
            groups.push_back(group);
        }
        // Nesting: 0 holds 1 and 2, 1 holds 3, 3 holds 4.
        groups[0]->AddObject(groups[1]);
        groups[0]->AddObject(groups[2]);
        groups[1]->AddObject(groups[3]);
        groups[3]->AddObject(groups[4]);
        groups[7]->SetAttribute(types[4]);
    }
};

} // namespace

TEST_F(LevelFileTest, AThousandObjectsComeBackWhereTheTypesLiveElsewhereAndSaveAgainToTheSameBytes)
{
    BuildLevel();
    const LevelPicture original = Picture(m_Context);
    ASSERT_EQ(original.sceneOrder, (std::vector<std::string>{"Scene C", "Scene A", "Scene B"}));
    ASSERT_EQ(original.sceneMembers.at("level scene").size(), (size_t) kObjects + kGroups + 1);
    ASSERT_EQ(original.attributes.at("Object 1"), (std::set<std::string>{"Attribute 1 = 7"})) << "the default";
    ASSERT_EQ(original.attributes.at("Object 6"), (std::set<std::string>{"Attribute 6 = 1"}));

    TestTempDir dir;
    ASSERT_TRUE(SaveFile(m_Context, dir.File("first.qbx"), m_Context->GetCurrentLevel()));
    CKContext* loaded = LoadingContext();
    ASSERT_TRUE(LoadsFile(loaded, dir.File("first.qbx")));
    EXPECT_TRUE(Picture(loaded) == original);
    CKAttributeManager* attributes = loaded->GetAttributeManager();
    EXPECT_EQ(attributes->GetAttributeTypeByName(TypeName(kKnownTypes[0]).c_str()), 3) << "where it was";
    EXPECT_EQ(
        attributes->GetAttributeObjectList(attributes->GetAttributeTypeByName(TypeName(4).c_str())).Size(),
        m_Context->GetAttributeManager()
            ->GetAttributeObjectList(m_Context->GetAttributeManager()->GetAttributeTypeByName(TypeName(4).c_str()))
            .Size());

    // The loaded level saves to a file that loads and saves to the same bytes.
    ASSERT_TRUE(SaveFile(loaded, dir.File("second.qbx"), loaded->GetCurrentLevel()));
    CKContext* again = LoadingContext();
    ASSERT_TRUE(LoadsFile(again, dir.File("second.qbx")));
    EXPECT_TRUE(Picture(again) == original);
    ASSERT_TRUE(SaveFile(again, dir.File("third.qbx"), again->GetCurrentLevel()));
    EXPECT_EQ(ReadWholeFile(dir.File("second.qbx")), ReadWholeFile(dir.File("third.qbx")));
    ASSERT_TRUE(SaveFile(again, dir.File("fourth.qbx"), again->GetCurrentLevel()));
    EXPECT_EQ(ReadWholeFile(dir.File("third.qbx")), ReadWholeFile(dir.File("fourth.qbx")));
}

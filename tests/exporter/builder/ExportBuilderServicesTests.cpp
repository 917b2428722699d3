#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/attribute/CKAttributeManager.h"
#include "core/behavior/CKBehavior.h"
#include "core/context/CKContext.h"
#include "core/file/CKFile.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKObjectIDList.h"
#include "core/parameter/CKParameter.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterLocal.h"
#include "core/scene/CKDataArray.h"
#include "core/scene/CKGroup.h"
#include "exporter/builder/ExportBuilder.h"
#include "render/animation/CKAnimController.h"
#include "render/animation/CKAnimKeys.h"
#include "render/animation/CKBodyPart.h"
#include "render/animation/CKCharacter.h"
#include "render/animation/CKKeyedAnimation.h"
#include "render/animation/CKObjectAnimation.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CK3dObject.h"
#include "render/objects/CKCamera.h"
#include "render/objects/CKCurve.h"
#include "render/objects/CKCurvePoint.h"
#include "render/objects/CKLight.h"
#include "render/objects/CKPlace.h"
#include "tests/exporter/support/ExporterTestSupport.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPaths.h"

namespace {

using ServicesTest = EngineFixture;

ExportKey Node(int n)
{
    return (ExportKey) 0x10000 * (ExportKey) n;
}

std::vector<std::string> ScriptNames(CKBeObject* object)
{
    std::vector<std::string> names;
    for (int i = 0; i < object->GetScriptCount(); ++i)
        names.push_back(object->GetScript(i)->GetName());
    return names;
}

void SaveObjects(CKContext* context, const std::string& path, const std::vector<CKObject*>& objects)
{
    CKFile* file = context->CreateCKFile();
    ASSERT_EQ(file->StartSave(path.c_str()), 0);
    for (CKObject* object : objects)
        file->SaveObject(object, 0xFFFFFFFF);
    ASSERT_EQ(file->EndSave(), 0);
    context->DeleteCKFile(file);
}

} // namespace

TEST_F(ServicesTest, ParametersHoldTheirTypedValues)
{
    ExportBuilder builder(m_Context, FALSE);
    CK3dObject* box = builder.CreateObject3D("Box", Node(1));
    CKParameter* named = builder.MakeObjectParameter(box, CKCID_MESH);
    ASSERT_NE(named, nullptr);
    EXPECT_EQ(named->GetGUID(), CKGetClassParameterGuid(CKCID_3DOBJECT)) << "the object's class wins";
    EXPECT_EQ(named->GetValueObject(), box);
    CKParameter* none = builder.MakeObjectParameter(nullptr, CKCID_MESH);
    EXPECT_EQ(none->GetGUID(), CKGetClassParameterGuid(CKCID_MESH));
    EXPECT_EQ(none->GetValueObject(), nullptr);
    CKParameter* real = builder.MakeFloatParameter(2.5f);
    EXPECT_EQ(real->GetGUID(), CKPGUID_FLOAT);
    EXPECT_EQ(*static_cast<float*>(real->GetReadDataPtr()), 2.5f);
    CKParameter* text = builder.MakeStringParameter("Hello");
    EXPECT_EQ(text->GetGUID(), CKPGUID_STRING);
    EXPECT_STREQ(static_cast<const char*>(text->GetReadDataPtr()), "Hello");
    EXPECT_EQ(text->GetDataSize(), 6) << "with its terminating zero";
    EXPECT_EQ(builder.createdObjects.Size(), 1) << "parameters are not saved as created objects";
}

TEST_F(ServicesTest, SetAttributeRegistersOnFirstUseAndRefusesUnknownTypes)
{
    ExportBuilder builder(m_Context, FALSE);
    CK3dEntity* frame = builder.CreateEntity("Frame", Node(1));
    CKAttributeManager* attributes = m_Context->GetAttributeManager();
    const int before = attributes->GetAttributeCount();

    EXPECT_EQ(builder.SetAttribute(frame, "Weight", "12", "No Such Type", "Exporter"), 0);
    EXPECT_EQ(attributes->GetAttributeCount(), before);
    EXPECT_EQ(attributes->GetAttributeTypeByName("Weight"), -1);

    EXPECT_EQ(builder.SetAttribute(frame, "Weight", "12", "Integer", "Exporter"), 1);
    int type = attributes->GetAttributeTypeByName("Weight");
    ASSERT_GE(type, 0);
    EXPECT_EQ(attributes->GetAttributeParameterGUID(type), CKPGUID_INT);
    EXPECT_EQ(attributes->GetAttributeCompatibleClassId(type), CKCID_3DENTITY);
    EXPECT_EQ(attributes->GetAttributeFlags(type) & 16u, 16u);
    EXPECT_STREQ(attributes->GetCategoryName(attributes->GetAttributeCategoryIndex(type)), "Exporter");
    CKParameter* value = frame->GetAttributeParameter(type);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(*static_cast<int*>(value->GetReadDataPtr()), 12);

    // Once registered, the type name is not looked at again.
    CK3dEntity* other = builder.CreateEntity("Other", Node(2));
    EXPECT_EQ(builder.SetAttribute(other, "Weight", "7", "No Such Type", "Exporter"), 1);
    EXPECT_EQ(*static_cast<int*>(other->GetAttributeParameter(type)->GetReadDataPtr()), 7);
    EXPECT_EQ(builder.SetAttribute(nullptr, "Weight", "7", "Integer", "Exporter"), 0);
}

TEST_F(ServicesTest, ScriptParametersAreSetOnTheObjectsOwnScriptsOnly)
{
    ExportBuilder builder(m_Context, FALSE);
    CK3dEntity* mine = builder.CreateEntity("Mine", Node(1));
    CK3dEntity* theirs = builder.CreateEntity("Theirs", Node(2));
    CKParameterLocal* speeds[3];
    CK3dEntity* owners[3] = {mine, mine, theirs};
    for (int i = 0; i < 3; ++i) {
        auto* script = Make<CKBehavior>(CKCID_BEHAVIOR, ("Script" + std::to_string(i)).c_str());
        script->SetType(1);
        script->UseGraph();
        speeds[i] = script->CreateLocalParameter("Speed", CKPGUID_FLOAT);
        ASSERT_EQ(owners[i]->AddScript(script), 0);
    }
    EXPECT_TRUE(builder.SetScriptParameter(mine, "Speed", "2.5"));
    EXPECT_EQ(*static_cast<float*>(speeds[0]->GetReadDataPtr()), 2.5f);
    EXPECT_EQ(*static_cast<float*>(speeds[1]->GetReadDataPtr()), 2.5f);
    EXPECT_EQ(*static_cast<float*>(speeds[2]->GetReadDataPtr()), 0.0f);
    EXPECT_FALSE(builder.SetScriptParameter(mine, "Height", "1"));
    EXPECT_FALSE(builder.SetScriptParameter(nullptr, "Speed", "1"));
}

TEST_F(ServicesTest, AttachScriptsAttachesTheScriptsOfAFileInOrderAndNothingFromABadOne)
{
    TestTempDir dir;
    const std::string path = dir.File("scripts.qhx");
    {
        std::vector<CKObject*> saved;
        for (const char* name : {"Walk", "Talk", "Run"}) {
            auto* script = Make<CKBehavior>(CKCID_BEHAVIOR, name);
            script->SetType(1);
            script->UseGraph();
            saved.push_back(script);
        }
        auto* table = Make<CKDataArray>(CKCID_DATAARRAY, "Table");
        saved.insert(saved.begin() + 1, table);
        // A behaviour that is no script stays unattached.
        auto* block = Make<CKBehavior>(CKCID_BEHAVIOR, "Block");
        block->SetType(0);
        saved.insert(saved.begin() + 2, block);
        SaveObjects(m_Context, path, saved);
        m_Context->ClearAll();
    }
    ExportBuilder builder(m_Context, FALSE);
    CK3dEntity* frame = builder.CreateEntity("Frame", Node(1));
    ASSERT_EQ(builder.AttachScripts(frame, path.c_str()), 1);
    EXPECT_EQ(ScriptNames(frame), (std::vector<std::string>{"Walk", "Talk", "Run"}));
    EXPECT_NE(m_Context->GetObjectByNameAndClass("Table", CKCID_DATAARRAY), nullptr)
        << "the other objects of the file stay in the context";

    EXPECT_EQ(builder.AttachScripts(frame, dir.File("missing.qhx").c_str()), 0);
    EXPECT_EQ(builder.AttachScripts(nullptr, path.c_str()), 0);
    const std::string bytes = TestReadFile(path);
    ASSERT_GT(bytes.size(), 32u);
    const std::string cut = dir.File("cut.qhx");
    for (size_t length = 0; length < bytes.size(); ++length) {
        TestWriteFile(cut, bytes.substr(0, length));
        CK3dEntity* fresh = builder.CreateEntity("Fresh", 0);
        ASSERT_EQ(builder.AttachScripts(fresh, cut.c_str()), 0) << "cut at " << length;
        ASSERT_EQ(fresh->GetScriptCount(), 0) << "cut at " << length;
        builder.DestroyObject(fresh, 0);
    }
}

TEST_F(ServicesTest, OneObjectOfEveryClassComesBackFromTheFileWithItsClassNameAndParent)
{
    TestTempDir dir;
    const std::string path = dir.File("all.qdx");
    struct Expected
    {
        CK_CLASSID cid;
        std::string name;
        std::string parent;
    };
    std::vector<Expected> expected;
    {
        ExportBuilder builder(m_Context, FALSE);
        CK3dEntity* frame = builder.CreateEntity("Frame", Node(1));
        CK3dObject* box = builder.CreateObject3D("Box", Node(2));
        box->SetParent(frame);
        CKPlace* place = builder.CreatePlace("Place", Node(3));
        CKBodyPart* part = builder.CreateBodyPart("Part", Node(4));
        CKGroup* group = builder.CreateGroup("Group", Node(5));
        group->AddObject(box);
        CKCurve* curve = builder.CreateCurve("Curve", Node(6));
        CKCurvePoint* point = builder.CreateCurvePoint(curve, "Point", Node(7));
        point->SetParent(curve);
        CKLight* light = builder.CreateLight(TRUE, 2, "Spot", Node(8), TRUE);
        light->SetParent(place);
        CKCamera* camera = builder.CreateCamera(TRUE, "Cam", Node(9), TRUE);
        CKMesh* patch = builder.CreatePatchMesh("Patch", Node(10));
        CKObjectAnimation* move = builder.CreateObjectAnimation(box, "Move", Node(2));
        CKLinearKey<QxVector> key(0.0f, QxVector(1.0f, 2.0f, 3.0f));
        move->CreateController(CKANIMATION_LINEARPOSITION_CONTROL)->AddKey(&key);
        builder.CreateAnimation("Animation");
        CKCharacter* character = builder.CreateCharacter("Character");
        part->SetParent(character);
        (void) camera;

        CKObjectIDList saved;
        ASSERT_EQ(builder.FinishObjects(&saved, FALSE, FALSE), 1);
        EXPECT_EQ(saved.GetCount(), builder.createdObjects.Size());
        for (CKObject* object : builder.createdObjects) {
            CK3dEntity* parent = CKIsChildClassOfObject(object, CKCID_3DENTITY)
                                     ? static_cast<CK3dEntity*>(object)->GetParent()
                                     : nullptr;
            expected.push_back({object->GetClassID(), object->GetName(), parent ? parent->GetName() : ""});
        }
        ASSERT_NE(patch, nullptr);
        EXPECT_EQ(patch->GetClassID(), CKCID_PATCHMESH);
        EXPECT_EQ(expected.size(), 15u);
        CKFile* file = m_Context->CreateCKFile();
        ASSERT_EQ(file->StartSave(path.c_str()), 0);
        file->SaveObjectList(&saved, 0xFFFFFFFF);
        ASSERT_EQ(file->EndSave(), 0);
        m_Context->DeleteCKFile(file);
    }
    m_Context->ClearAll();
    CKFile* file = m_Context->CreateCKFile();
    ASSERT_EQ(file->Load(path.c_str(), nullptr), 0);
    m_Context->DeleteCKFile(file);
    for (const Expected& e : expected) {
        CKObject* object = m_Context->GetObjectByNameAndClass(e.name.c_str(), e.cid);
        ASSERT_NE(object, nullptr) << e.name;
        if (!CKIsChildClassOfObject(object, CKCID_3DENTITY))
            continue;
        CK3dEntity* parent = static_cast<CK3dEntity*>(object)->GetParent();
        EXPECT_EQ(parent ? std::string(parent->GetName()) : std::string(), e.parent) << e.name;
    }
    auto* spot = static_cast<CKLight*>(m_Context->GetObjectByNameAndClass("Spot", CKCID_TARGETLIGHT));
    ASSERT_NE(spot->GetTarget(), nullptr);
    EXPECT_STREQ(spot->GetTarget()->GetName(), "Spot_Target");
    auto* character = static_cast<CKCharacter*>(m_Context->GetObjectByNameAndClass("Character", CKCID_CHARACTER));
    EXPECT_EQ(character->GetBodyPartCount(), 1);
    EXPECT_EQ(character->GetAnimationCount(), 1);
    auto* group = static_cast<CKGroup*>(m_Context->GetObjectByNameAndClass("Group", CKCID_GROUP));
    EXPECT_EQ(group->GetObjectCount(), 1);
}

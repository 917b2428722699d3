#include "core/attribute/CKAttributeManager.h"

#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/chunk/CKStateChunk.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterManager.h"
#include "core/parameter/CKParameterOut.h"
#include "tests/core/scene/SceneTestSupport.h"
#include "tests/support/TestPaths.h"

namespace {

std::vector<std::string> g_Calls;

void RecordCall(int type, CKBOOL set, CKBeObject* object, void* argument)
{
    g_Calls.push_back(std::to_string(type) + (set ? " set " : " unset ") + object->GetName() + " " +
                      std::to_string((intptr_t) argument));
}

void Throw(int, CKBOOL, CKBeObject*, void*)
{
    throw std::runtime_error("callback");
}

class AttributeTest : public SceneFixture
{
protected:
    void SetUp() override
    {
        SceneFixture::SetUp();
        m_Manager = m_Context->GetAttributeManager();
        g_Calls.clear();
    }

    CKAttributeManager* m_Manager = nullptr;
};

} // namespace

TEST_F(AttributeTest, RegistryNamesLookupsAndCategories)
{
    const int first = m_Manager->RegisterNewAttributeType("Speed", CKPGUID_FLOAT, CKCID_BEOBJECT, 0x1);
    EXPECT_EQ(m_Manager->RegisterNewAttributeType("Speed", CKPGUID_INT, CKCID_GROUP, 0x20), first);
    EXPECT_EQ(m_Manager->GetAttributeParameterGUID(first), CKPGUID_FLOAT);
    EXPECT_EQ(m_Manager->GetAttributeFlags(first), 0x11u) << "0x10 added without 0x10 or 0x20";
    EXPECT_EQ(m_Manager->GetAttributeCompatibleClassId(first), CKCID_BEOBJECT);
    EXPECT_EQ(m_Manager->GetAttributeParameterType(first),
              m_Context->GetParameterManager()->ParameterGuidToType(CKPGUID_FLOAT));
    EXPECT_EQ(m_Manager->GetAttributeCategoryIndex(first), -1);
    const int system = m_Manager->RegisterNewAttributeType("System", CKGUID(), CKCID_OBJECT, 0x20);
    EXPECT_EQ(m_Manager->GetAttributeFlags(system), 0x20u);
    EXPECT_EQ(m_Manager->RegisterNewAttributeType(nullptr, CKGUID()), -1);

    // Invalid types give neutral answers.
    for (int type : {-1, 2, 1000}) {
        EXPECT_FALSE(m_Manager->IsAttributeTypeValid(type));
        EXPECT_EQ(m_Manager->GetAttributeNameByType(type), nullptr);
        EXPECT_EQ(m_Manager->GetAttributeParameterGUID(type), CKGUID());
        EXPECT_EQ(m_Manager->GetAttributeParameterType(type), -1);
        EXPECT_EQ(m_Manager->GetAttributeCompatibleClassId(type), (CK_CLASSID) 0xFFFFFFFF);
        EXPECT_EQ(m_Manager->GetAttributeFlags(type), 0u);
        EXPECT_EQ(m_Manager->GetAttributeCategoryIndex(type), 0);
        EXPECT_EQ(m_Manager->GetAttributeObjectList(type).Size(), 0);
        EXPECT_EQ(m_Manager->SetAttributeCategory(type, "Cat"), 0);
    }
    // Lookups by name survive the limit of the recent lists.
    std::vector<int> types;
    for (int i = 0; i < 12; ++i)
        types.push_back(m_Manager->RegisterNewAttributeType(("T" + std::to_string(i)).c_str(), CKGUID()));
    for (int round = 0; round < 2; ++round)
        for (int i = 0; i < 12; ++i)
            EXPECT_EQ(m_Manager->GetAttributeTypeByName(("T" + std::to_string(i)).c_str()), types[i]);
    EXPECT_EQ(m_Manager->GetAttributeTypeByName("none"), -1);
    EXPECT_EQ(m_Manager->GetAttributeTypeByName(nullptr), -1);
    // Removing a category moves the later ones down.
    const int a = types[0], b = types[1], c = types[2];
    EXPECT_EQ(m_Manager->SetAttributeCategory(a, "Zero"), 0);
    EXPECT_EQ(m_Manager->SetAttributeCategory(b, "One"), 1);
    EXPECT_EQ(m_Manager->SetAttributeCategory(c, "Two"), 2);
    EXPECT_EQ(m_Manager->AddCategory("One", 0x10), 1);
    EXPECT_EQ(m_Manager->AddCategory(nullptr), -1);
    m_Manager->RemoveCategory("One");
    EXPECT_EQ(m_Manager->GetCategoryCount(), 2);
    EXPECT_EQ(m_Manager->GetAttributeCategoryIndex(a), 0);
    EXPECT_EQ(m_Manager->GetAttributeCategoryIndex(b), -1);
    EXPECT_EQ(m_Manager->GetAttributeCategoryIndex(c), 1);
    EXPECT_STREQ(m_Manager->GetCategoryName(1), "Two");
    EXPECT_EQ(m_Manager->GetCategoryByName("One"), -1);
    EXPECT_EQ(m_Manager->GetCategoryName(2), nullptr);
}

TEST_F(AttributeTest, CarriersAreListedAndTheirCallbacksCalledOrReportedWhenTheyThrow)
{
    CKLevel* level = NewLevel();
    const int type = m_Manager->RegisterNewAttributeType("Tag", CKGUID());
    m_Manager->SetAttributeCallbackFunction(type, RecordCall, (void*) 7);
    CKBeObject* inside = NewBeObject("In");
    CKBeObject* outside = NewBeObject("Out");
    level->AddObject(inside);
    EXPECT_TRUE(inside->SetAttribute(type));
    EXPECT_TRUE(outside->SetAttribute(type));
    EXPECT_EQ(m_Manager->GetAttributeObjectList(type).Size(), 2);
    EXPECT_EQ(m_Manager->GetAttributeSceneObjectList(type).Size(), 1) << "only the one in the current scene";
    level->AddObject(outside);
    EXPECT_EQ(m_Manager->GetAttributeSceneObjectList(type).Size(), 2) << "joins on entering the scene";
    level->GetLevelScene()->RemoveObjectFromScene(inside);
    EXPECT_EQ(m_Manager->GetAttributeSceneObjectList(type).Size(), 1);
    EXPECT_TRUE(outside->RemoveAttribute(type));
    EXPECT_EQ(g_Calls,
              (std::vector<std::string>{std::to_string(type) + " set In 7", std::to_string(type) + " set Out 7",
                                        std::to_string(type) + " unset Out 7"}));

    // A type for groups only is refused by other objects.
    const int groups = m_Manager->RegisterNewAttributeType("Groups", CKGUID(), CKCID_GROUP);
    EXPECT_FALSE(inside->SetAttribute(groups));
    EXPECT_TRUE(NewGroup()->SetAttribute(groups));
    EXPECT_FALSE(inside->SetAttribute(-1));
    EXPECT_FALSE(inside->SetAttribute(100));
    // A throwing callback is reported and the attribute stays.
    const int bad = m_Manager->RegisterNewAttributeType("Bad", CKGUID());
    m_Manager->SetAttributeCallbackFunction(bad, Throw, nullptr);
    CKBeObject* named = NewBeObject("Named");
    CKBeObject* unnamed = NewBeObject();
    EXPECT_TRUE(named->SetAttribute(bad));
    EXPECT_TRUE(unnamed->SetAttribute(bad));
    EXPECT_TRUE(named->HasAttribute(bad));
    EXPECT_TRUE(named->RemoveAttribute(bad));
    EXPECT_EQ(Console(),
              (std::vector<std::string>{"Error Add Attribute Cbk on Named", "Error Add Attribute Cbk on Unnamed",
                                        "Error Remove Attribute Cbk on Named"}));
    EXPECT_EQ(m_Manager->GetAttributeObjectList(bad).Size(), 1);
}

TEST_F(AttributeTest, ClearingKeepsOnlySystemTypesAndUsedCategories)
{
    const int user = m_Manager->RegisterNewAttributeType("User", CKGUID());
    const int system = m_Manager->RegisterNewAttributeType("System", CKGUID(), CKCID_BEOBJECT, 0x20);
    m_Manager->SetAttributeCategory(user, "Gone");
    m_Manager->SetAttributeCategory(system, "Kept");
    m_Manager->AddCategory("Unused but kept", 0x10);
    m_Manager->AddCategory("Unused", 0);
    m_Manager->SetAttributeCallbackFunction(system, RecordCall, nullptr);
    CKBeObject* object = NewBeObject("O");
    object->ModifyObjectFlags(CK_OBJECT_NOTTOBEDELETED, 0);
    object->SetAttribute(system);
    object->SetAttribute(user);
    g_Calls.clear();
    m_Context->ClearAll();
    EXPECT_EQ(g_Calls, (std::vector<std::string>{std::to_string(system) + " unset O 0"}));
    EXPECT_FALSE(m_Manager->IsAttributeTypeValid(user));
    ASSERT_TRUE(m_Manager->IsAttributeTypeValid(system));
    EXPECT_EQ(m_Manager->GetAttributeObjectList(system).Size(), 0);
    EXPECT_EQ(m_Manager->GetCategoryCount(), 2);
    EXPECT_STREQ(m_Manager->GetCategoryName(m_Manager->GetAttributeCategoryIndex(system)), "Kept");
    EXPECT_GE(m_Manager->GetCategoryByName("Unused but kept"), 0);
    EXPECT_EQ(m_Manager->RegisterNewAttributeType("Next", CKGUID()), user) << "the freed slot is reused";
}

// Saving and loading the registry.

namespace {

int FlagsOf(CKAttributeManager* manager, const char* name)
{
    return (int) manager->GetAttributeFlags(manager->GetAttributeTypeByName(name));
}

} // namespace

TEST_F(AttributeTest, AFileMapsItsTypesOntoTheRunningRegistry)
{
    for (int i = 0; i < 3; ++i)
        m_Manager->RegisterNewAttributeType(("Filler" + std::to_string(i)).c_str(), CKGUID(), CKCID_BEOBJECT, 0x8);
    const int foo = m_Manager->RegisterNewAttributeType("Foo", CKPGUID_INT, CKCID_BEOBJECT, 0x10);
    ASSERT_EQ(foo, 3);
    const int sys = m_Manager->RegisterNewAttributeType("Sys", CKGUID(), CKCID_BEOBJECT, 0x20 | 0x10);
    m_Manager->SetAttributeCategory(foo, "Physics");
    m_Manager->SetAttributeCategory(sys, "Core");
    m_Manager->RegisterNewAttributeType("Unused", CKGUID(), CKCID_BEOBJECT, 0x20);
    CKStateChunk* chunk = m_Manager->SaveData(nullptr);
    EXPECT_FALSE(m_Manager->GetSavedTypes().IsSet(0)) << "never saved";
    EXPECT_TRUE(m_Manager->GetSavedTypes().IsSet(foo));

    CKContext* other = NewContext();
    CKAttributeManager* there = other->GetAttributeManager();
    for (int i = 0; i < 7; ++i)
        there->RegisterNewAttributeType(("Other" + std::to_string(i)).c_str(), CKGUID());
    ASSERT_EQ(there->RegisterNewAttributeType("Foo", CKPGUID_INT, CKCID_BEOBJECT, 0x1), 7);
    ASSERT_EQ(there->LoadData(chunk, nullptr), 0);
    EXPECT_EQ(there->ConvertLoadedType(foo), 7);
    EXPECT_EQ(there->ConvertLoadedType(0), -1) << "a type not saved";
    EXPECT_EQ(FlagsOf(there, "Foo"), 0x11) << "a known type keeps its flags";
    EXPECT_EQ(FlagsOf(there, "Sys"), 0x13) << "0x13 joins by OR; 0x20 goes";
    EXPECT_EQ(there->GetAttributeTypeByName("Unused"), -1) << "unused and not kept when unused";
    EXPECT_STREQ(there->GetCategoryName(there->GetAttributeCategoryIndex(7)), "Physics");
    EXPECT_EQ(there->GetCategoryFlags(there->GetCategoryByName("Physics")), 0x13u);
    CKDeleteStateChunk(chunk);

    // Only used types, when asked; marked types whatever their use.
    m_Manager->SetSaveOnlyUsedTypes(TRUE);
    m_Manager->ModifyAttributeFlags(sys, CK_ATTRIBUTE_SAVEDWITHFILE, 0);
    chunk = m_Manager->SaveData(nullptr);
    EXPECT_FALSE(m_Manager->GetSavedTypes().IsSet(foo));
    EXPECT_TRUE(m_Manager->GetSavedTypes().IsSet(sys));
    CKContext* third = NewContext();
    third->GetAttributeManager()->LoadData(chunk, nullptr);
    EXPECT_EQ(FlagsOf(third->GetAttributeManager(), "Sys"), 0x13) << "the file writer's mark is not written";
    CKDeleteStateChunk(chunk);
}

TEST_F(AttributeTest, HostileRegistryChunksChangeNothingUnsafe)
{
    m_Manager->RegisterNewAttributeType("Foo", CKPGUID_INT);
    m_Manager->SetAttributeCategory(0, "Cat");
    CKStateChunk* full = m_Manager->SaveData(nullptr);
    full->StartRead();
    const int words = full->SeekIdentifierAndReturnSize(CKAttributeManager::ChunkClassID) / 4;
    std::vector<CKDWORD> section(words);
    for (CKDWORD& w : section)
        w = full->ReadDword();
    CKDeleteStateChunk(full);
    EXPECT_EQ(m_Manager->LoadData(nullptr, nullptr), CKErr::InvalidParameter);

    CKContext* other = NewContext();
    CKAttributeManager* there = other->GetAttributeManager();
    const int before = there->GetAttributeCount();
    for (int cut = 0; cut <= words; ++cut) {
        for (CKDWORD noise : {0u, 0x9E3779B9u}) {
            CKStateChunk* chunk = CKCreateStateChunk(CKAttributeManager::ChunkClassID);
            chunk->StartWrite();
            chunk->WriteIdentifier(CKAttributeManager::ChunkClassID);
            for (int i = 0; i < cut; ++i)
                chunk->WriteDword(section[i] ^ (i >= 2 ? noise * (CKDWORD) i : 0));
            chunk->CloseChunk();
            EXPECT_EQ(there->LoadData(chunk, nullptr), 0);
            CKDeleteStateChunk(chunk);
        }
    }
    EXPECT_LE(there->GetAttributeCount(), before + 1);

    // Counts that pass the data read nothing.
    CKStateChunk* chunk = CKCreateStateChunk(CKAttributeManager::ChunkClassID);
    chunk->StartWrite();
    chunk->WriteIdentifier(CKAttributeManager::ChunkClassID);
    chunk->WriteInt(0x7FFFFFFF);
    chunk->WriteInt(0x7FFFFFFF);
    chunk->CloseChunk();
    EXPECT_EQ(there->LoadData(chunk, nullptr), 0);
    CKDeleteStateChunk(chunk);
}

// Values.

TEST_F(AttributeTest, ValuesGetADefaultAndTypeValuesFindTheirTypeAfterALoad)
{
    const int speed = m_Manager->RegisterNewAttributeType("Speed", CKPGUID_INT);
    m_Manager->SetAttributeDefaultValue(speed, "42");
    EXPECT_STREQ(m_Manager->GetAttributeDefaultValue(speed), "42");
    CKBeObject* object = NewBeObject();
    ASSERT_TRUE(object->SetAttribute(speed));
    CKParameter* value = object->GetAttributeParameter(speed);
    ASSERT_NE(value, nullptr);
    int word = 0;
    value->GetValue(&word);
    EXPECT_EQ(word, 42);
    EXPECT_EQ(value->GetOwner(), object);
    const int tag = m_Manager->RegisterNewAttributeType("Tag", CKGUID());
    ASSERT_TRUE(object->SetAttribute(tag));
    EXPECT_EQ(object->GetAttributeParameter(tag), nullptr) << "a type without value has no parameter";
    // A value that names a type finds it after a load.
    // A type that nothing else would save: no object carries it and it is
    // not kept when unused.
    const int marked = m_Manager->RegisterNewAttributeType("Marked", CKGUID(), CKCID_BEOBJECT, 0x20);
    CKParameterOut* which = m_Context->CreateCKParameterOut("Which", CKPGUID_ATTRIBUTE);
    ASSERT_NE(which, nullptr);
    which->SetValue(&marked);
    char text[64] = {};
    which->GetStringValue(text, sizeof(text));
    EXPECT_STREQ(text, "Marked");

    TestTempDir dir;
    const std::string path = dir.File("attribute.qdx");
    ASSERT_TRUE(SaveFile(m_Context, path, which, 0));
    EXPECT_FALSE(m_Manager->GetAttributeFlags(marked) & CK_ATTRIBUTE_SAVEDWITHFILE) << "the mark lasts the save";

    CKContext* other = NewContext();
    for (int i = 0; i < 4; ++i)
        other->GetAttributeManager()->RegisterNewAttributeType(("Before " + std::to_string(i)).c_str(), CKGUID());
    ASSERT_TRUE(LoadsFile(other, path));
    auto* back = static_cast<CKParameter*>(other->GetObjectByNameAndParentClass("Which", CKCID_PARAMETER));
    ASSERT_NE(back, nullptr);
    int loaded = -1;
    back->GetValue(&loaded);
    EXPECT_EQ(loaded, other->GetAttributeManager()->GetAttributeTypeByName("Marked"));
    EXPECT_EQ(loaded, 6) << "after the four local types and the two the object uses";
}

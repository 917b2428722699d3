#include "core/object/CKBeObject.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKFunctions.h"
#include "core/context/CKStartUp.h"
#include "core/file/CKFile.h"
#include "core/object/CKBeObjectLinks.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKDependencies.h"
#include "core/object/CKDependenciesContext.h"
#include "core/parameter/CKParameter.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterManager.h"
#include "tests/core/support/ChunkTestSupport.h"
#include "tests/core/support/CoreTestSupport.h"

// Behavioural objects with stand-ins for the classes they reach through
// their links: a behaviour class registered by the test.

namespace {

class TestBehavior : public CKClass<TestBehavior, CKSceneObject, 0>
{
public:
    explicit TestBehavior(CKContext* context) : CKClass(context) {}

    CKDWORD m_Flags = CKBEHAVIOR_SCRIPT;
    int m_Priority = 0;
    CK_CLASSID m_Compatible = CKCID_BEOBJECT;
    CKBeObject* m_Owner = nullptr;

    static const char* GetClassName() { return "Test Behavior"; }
};

// Attribute types: 1 and 2 carry a parameter, 0 and 3 do not, 4 is never
// saved; the older form names type 3 "Tag".
std::vector<std::string> g_Events;

CKBeObjectLinks TestLinks()
{
    CKBeObjectLinks l;
    l.GetBehaviorFlags = [](CKObject* b) { return static_cast<TestBehavior*>(b)->m_Flags; };
    l.GetBehaviorCompatibleClassID = [](CKObject* b) { return static_cast<TestBehavior*>(b)->m_Compatible; };
    l.GetBehaviorPriority = [](CKObject* b) { return static_cast<TestBehavior*>(b)->m_Priority; };
    l.GetBehaviorOwner = [](CKObject* b) { return static_cast<TestBehavior*>(b)->m_Owner; };
    l.SetBehaviorOwner = [](CKObject* b, CKBeObject* owner, CKBOOL) -> CKERROR {
        static_cast<TestBehavior*>(b)->m_Owner = owner;
        return 0;
    };
    l.GetAttributeFlags = [](CKContext*, int type) -> CKDWORD {
        return type == 4 ? (CKDWORD) CK_ATTRIBUTE_DONOTSAVE : 0u;
    };
    l.GetAttributeCompatibleClassID = [](CKContext*, int type) -> CK_CLASSID {
        return type >= 0 && type <= 4 ? (CK_CLASSID) CKCID_BEOBJECT : -1;
    };
    l.GetAttributeParameterGuid = [](CKContext*, int type) {
        return type == 1 || type == 2 ? CKGUID(0x100 + type, 0) : CKGUID();
    };
    l.AttributeAddedToObject = [](CKContext*, int type, CKBeObject*) {
        g_Events.push_back("add " + std::to_string(type));
    };
    l.RemoveAttributeFromObject = [](CKContext*, int type, CKBeObject*) {
        g_Events.push_back("remove " + std::to_string(type));
    };
    l.RegisterAttributeType = [](CKContext*, const char* name, CKGUID, CK_CLASSID, const char*) {
        return std::string(name) == "Tag" ? 3 : -1;
    };
    return l;
}

CKERROR ConsoleHook(CKUICallbackStruct& message, void*)
{
    if (message.Reason == CKUIM_OUTTOCONSOLE)
        g_Events.push_back(reinterpret_cast<const char*>(message.Param2));
    return 0;
}

class BeObjectTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(CKStartUp(), 0);
        RegisterUnderStandInParent<TestBehavior>("TestBehavior", CKCID_BEHAVIOR);
        CKBuildClassHierarchyTable();
        ASSERT_EQ(CKCreateContext(&m_Context, nullptr), 0);
        m_Context->SetInterfaceMode(TRUE, ConsoleHook, nullptr);
        // The parameter types of attribute types 1 and 2: integers.
        for (CKDWORD type : {1u, 2u}) {
            CKParameterTypeDesc desc;
            desc.Guid = CKGUID(0x100 + type, 0);
            desc.ParentGuid = CKPGUID_INT;
            desc.DefaultSize = 4;
            ASSERT_EQ(m_Context->GetParameterManager()->RegisterParameterType(&desc), 0);
        }
        CKSetBeObjectLinks(TestLinks());
        g_Events.clear();
    }
    void TearDown() override
    {
        // Behaviours are left alive on purpose: the context's final clearing
        // releases them before the other objects and must not touch them again.
        EXPECT_EQ(CKCloseContext(m_Context), 0);
        EXPECT_EQ(CKShutdown(), 0);
    }

    CKBeObject* NewBeObject(const char* name = nullptr)
    {
        return static_cast<CKBeObject*>(m_Context->CreateObject(CKCID_BEOBJECT, name));
    }
    TestBehavior* NewBehavior(int priority = 0)
    {
        auto* b = static_cast<TestBehavior*>(m_Context->CreateObject(TestBehavior::m_ClassID));
        b->m_Priority = priority;
        return b;
    }

    CKContext* m_Context = nullptr;
};

} // namespace

TEST_F(BeObjectTest, ScriptsAreBehavioursSortedByPriorityAndOwned)
{
    CKBeObject* o = NewBeObject();
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->GetClassID(), CKCID_BEOBJECT);
    o->AddSceneInIndex(1); // in a scene, with no scene class to reach
    TestBehavior* low = NewBehavior(1);
    TestBehavior* high = NewBehavior(9);
    TestBehavior* other = NewBehavior();
    EXPECT_EQ(o->AddScript(nullptr), CKErr::InvalidParameter);
    EXPECT_EQ(o->AddScript(low), 0);
    EXPECT_EQ(o->AddScript(high), 0);
    EXPECT_EQ(o->AddScript(low), CKErr::AlreadyPresent);
    ASSERT_EQ(o->GetScriptCount(), 2);
    EXPECT_EQ(o->GetScript(0), high);
    EXPECT_EQ(o->GetScript(1), low);
    EXPECT_EQ(low->m_Owner, o);
    EXPECT_TRUE(o->IsObjectUsed(low, CKCID_BEHAVIOR));
    o->AddObjectToOwnScenes(other); // no scene class: nothing to reach
    o->RemoveObjectFromOwnScenes(other);
    EXPECT_EQ(o->AddScript(NewBeObject()), CKErr::IncompatibleClassID);
    other->m_Compatible = CKCID_GROUP;
    EXPECT_EQ(o->AddScript(other), CKErr::IncompatibleClassID);
    // The priority is clamped to its range.
    o->SetPriority(40000);
    EXPECT_EQ(o->GetPriority(), 32000);
    o->SetPriority(-40000);
    EXPECT_EQ(o->GetPriority(), -32000);
    EXPECT_EQ(o->Load(nullptr, nullptr), CKErr::InvalidParameter);
}

TEST_F(BeObjectTest, PlainObjectSavedWithAFileHoldsOnlyTheObjectSections)
{
    CKFile file(m_Context);
    CKBeObject* o = NewBeObject();
    ChunkPtr chunk(o->Save(&file, 0));
    EXPECT_EQ(chunk->GetChunkClassID(), CKCID_BEOBJECT);
    EXPECT_EQ(chunk->GetDataVersion(), 10);
    EXPECT_TRUE(DataWords(chunk.get()).empty());

    o->Show(CKHIDE);
    chunk.reset(o->Save(&file, 0));
    EXPECT_EQ(DataWords(chunk.get()), (Words{CK_STATESAVE_OBJECTHIDDEN, 0}));
}

TEST_F(BeObjectTest, ScriptsAndPriorityTravelThroughAFile)
{
    CKBeObject* o = NewBeObject("Box");
    TestBehavior* a = NewBehavior(2);
    TestBehavior* b = NewBehavior(1);
    o->AddScript(a);
    o->AddScript(b);
    o->SetPriority(5);

    CKFile saving(m_Context);
    saving.SaveObject(o, 0x800);
    ASSERT_EQ(saving.GetObjectRecordCount(), 3); // the scripts first, then the object
    EXPECT_EQ(saving.m_FileObjects[2].m_Object, o);
    ChunkPtr chunk(o->Save(&saving, 0x800));
    std::vector<CKBYTE> bytes = Serialised(chunk.get());
    EXPECT_EQ(DataWords(chunk.get()),
              (Words{CK_STATESAVE_SCRIPTS, 5, 2, 0, 1, CK_STATESAVE_PRIORITY, 0, 0x10000000, 5}));

    // Loading: the records became new objects.
    CKFile loading(m_Context);
    TestBehavior* a2 = NewBehavior();
    TestBehavior* b2 = NewBehavior();
    for (TestBehavior* s : {a2, b2})
        loading.AddObjectRecord(s->GetID(), s->GetClassID());
    loading.AddObjectRecord(9999, CKCID_BEOBJECT);
    loading.m_FileObjects[0].m_CreatedObject = a2->GetID();
    loading.m_FileObjects[1].m_CreatedObject = b2->GetID();
    ChunkPtr read = NewChunk(0, &loading);
    ASSERT_TRUE(read->ConvertFromBuffer(bytes.data(), (int) bytes.size()));
    CKBeObject* back = NewBeObject();
    EXPECT_EQ(back->Load(read.get(), &loading), 0);
    ASSERT_EQ(back->GetScriptCount(), 2);
    EXPECT_EQ(back->GetScript(0), a2);
    EXPECT_EQ(back->GetScript(1), b2);
    EXPECT_EQ(back->GetPriority(), 5);
}

TEST_F(BeObjectTest, ReferencesToObjectsOfTheWrongClassAreNotTakenAsScripts)
{
    CKBeObject* notABehavior = NewBeObject();
    TestBehavior* behavior = NewBehavior();
    ChunkPtr chunk = NewChunk(CKCID_BEOBJECT);
    chunk->StartWrite();
    chunk->SetDataVersion(10);
    chunk->WriteIdentifier(CK_STATESAVE_SCRIPTS);
    chunk->StartObjectIDSequence(2);
    chunk->WriteObjectIDSequenceItem(notABehavior->GetID());
    chunk->WriteObjectIDSequenceItem(behavior->GetID());
    chunk->CloseChunk();
    CKFile file(m_Context);
    CKBeObject* o = NewBeObject();
    EXPECT_EQ(o->Load(chunk.get(), &file), 0);
    ASSERT_EQ(o->GetScriptCount(), 1);
    EXPECT_EQ(o->GetScript(0), behavior);
}

TEST_F(BeObjectTest, AttributesGetOneParameterAndRoundTripWithoutAFile)
{
    CKBeObject* o = NewBeObject("Box");
    EXPECT_TRUE(o->SetAttribute(1));
    EXPECT_FALSE(o->SetAttribute(1));
    EXPECT_FALSE(o->SetAttribute(-1));
    EXPECT_FALSE(o->SetAttribute(9)); // applies to no class
    EXPECT_TRUE(NewBeObject()->SetAttribute(0)) << "only negative types are refused";
    EXPECT_TRUE(o->SetAttribute(3));
    EXPECT_TRUE(o->SetAttribute(4));
    EXPECT_EQ(o->GetAttributeCount(), 3);
    EXPECT_EQ(m_Context->GetObjectsCountByClassID(CKCID_PARAMETEROUT), 1);
    CKParameter* parameter = o->GetAttributeParameter(1);
    ASSERT_NE(parameter, nullptr);
    EXPECT_EQ(parameter->GetGUID(), CKGUID(0x101, 0));
    EXPECT_EQ(parameter->GetOwner(), o);
    int value = 77;
    parameter->SetValue(&value);
    EXPECT_EQ(o->GetAttributeParameter(3), nullptr);
    EXPECT_EQ(o->GetAttributeType(1), 3);

    ChunkPtr chunk(CKSaveObjectState(o));
    ASSERT_NE(chunk, nullptr);
    CKBeObject* copy = NewBeObject();
    g_Events.clear();
    EXPECT_EQ(copy->Load(chunk.get(), nullptr), 0);
    EXPECT_EQ(copy->GetAttributeCount(), 2); // type 4 is not saved
    EXPECT_TRUE(copy->HasAttribute(1));
    EXPECT_TRUE(copy->HasAttribute(3));
    // Without a file the saved parameter id still names the first parameter.
    EXPECT_EQ(copy->GetAttributeParameter(1), parameter);
    EXPECT_EQ((std::vector<std::string>{"add 1", "add 3"}), g_Events);

    g_Events.clear();
    EXPECT_TRUE(o->RemoveAttribute(1));
    EXPECT_FALSE(o->RemoveAttribute(1));
    EXPECT_EQ(g_Events, (std::vector<std::string>{"remove 1"}));
    EXPECT_EQ(m_Context->GetObjectsCountByClassID(CKCID_PARAMETEROUT), 0);
}

TEST_F(BeObjectTest, AttributeSectionWithAWrongManagerCountIsReported)
{
    ChunkPtr chunk = NewChunk(CKCID_BEOBJECT);
    chunk->StartWrite();
    chunk->SetDataVersion(10);
    chunk->WriteIdentifier(CK_STATESAVE_ATTRIBUTES);
    chunk->StartObjectIDSequence(1);
    chunk->WriteObjectIDSequenceItem(0);
    chunk->StartSubChunkSequence(1);
    chunk->WriteSubChunkSequenceItem(nullptr);
    chunk->StartManagerSequence(ATTRIBUTE_MANAGER_GUID, 2);
    chunk->WriteInt(3);
    chunk->WriteInt(3);
    chunk->CloseChunk();
    CKBeObject* o = NewBeObject("Sphere");
    EXPECT_EQ(o->Load(chunk.get(), nullptr), 0);
    EXPECT_EQ(o->GetAttributeCount(), 0);
    ASSERT_FALSE(g_Events.empty());
    EXPECT_EQ(g_Events.back(), "Load:Sphere :Invalid Attribute Data");
}

TEST_F(BeObjectTest, CopyObjectsCopiesTheObjectItsScriptsAndItsParameters)
{
    CKBeObject* o = NewBeObject("Box");
    TestBehavior* walk = NewBehavior(3);
    walk->SetName("Walk");
    TestBehavior* inherited = NewBehavior(1);
    inherited->SetName("Inherited");
    inherited->m_Flags |= CKBEHAVIOR_INHERITFROMPROTOTYPE;
    ASSERT_EQ(o->AddScript(walk), 0);
    ASSERT_EQ(o->AddScript(inherited), 0);
    o->SetPriority(7);
    ASSERT_TRUE(o->SetAttribute(1));
    CKObject* parameter = o->GetAttributeParameter(1);
    ASSERT_NE(parameter, nullptr);

    auto count = [&](CK_CLASSID cid) { return m_Context->GetObjectsCountByClassID(cid); };
    int beObjects = count(CKCID_BEOBJECT);
    int behaviors = count(TestBehavior::m_ClassID);
    int parameters = count(CKCID_PARAMETEROUT);

    auto* copy = static_cast<CKBeObject*>(m_Context->CopyObjects(o, nullptr, "Copy"));
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(copy, o);
    EXPECT_STREQ(copy->GetName(), "BoxCopy_0");
    EXPECT_EQ(copy->GetPriority(), 7);
    // Exactly the object, the script that is not inherited and the parameter.
    EXPECT_EQ(count(CKCID_BEOBJECT), beObjects + 1);
    EXPECT_EQ(count(TestBehavior::m_ClassID), behaviors + 1);
    EXPECT_EQ(count(CKCID_PARAMETEROUT), parameters + 1);
    ASSERT_EQ(copy->GetScriptCount(), 1);
    CKObject* script = copy->GetScript(0);
    EXPECT_NE(script, walk);
    EXPECT_STREQ(script->GetName(), "Walk");
    CKObject* copiedParameter = copy->GetAttributeParameter(1);
    ASSERT_NE(copiedParameter, nullptr);
    EXPECT_NE(copiedParameter, parameter);
    // The source keeps its own.
    EXPECT_EQ(o->GetScriptCount(), 2);
    EXPECT_EQ(o->GetAttributeParameter(1), parameter);

    auto* second = static_cast<CKBeObject*>(m_Context->CopyObjects(copy, nullptr, "Copy"));
    ASSERT_NE(second, nullptr);
    EXPECT_STREQ(second->GetName(), "BoxCopy_1");
    EXPECT_EQ(m_Context->CopyObjects(nullptr), nullptr);
}

TEST_F(BeObjectTest, CopyingWithoutScriptsOrAttributesLeavesThemBehind)
{
    CKBeObject* o = NewBeObject("Box");
    ASSERT_EQ(o->AddScript(NewBehavior()), 0);
    ASSERT_TRUE(o->SetAttribute(1));
    CKDependencies none;
    none.m_Flags = CK_DEPENDENCIES_NONE;
    int before = m_Context->GetObjectsCountByClassID(TestBehavior::m_ClassID);
    int parameters = m_Context->GetObjectsCountByClassID(CKCID_PARAMETEROUT);
    auto* copy = static_cast<CKBeObject*>(m_Context->CopyObjects(o, &none, nullptr));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetScriptCount(), 0);
    EXPECT_EQ(copy->GetAttributeCount(), 0);
    EXPECT_STREQ(copy->GetName(), "Box"); // no options: the source's name
    EXPECT_EQ(m_Context->GetObjectsCountByClassID(TestBehavior::m_ClassID), before);
    EXPECT_EQ(m_Context->GetObjectsCountByClassID(CKCID_PARAMETEROUT), parameters);

    // A copy of an object without scripts or attributes gets no empty lists.
    CKBeObject* plain = NewBeObject();
    CKObject* plainCopy = m_Context->CopyObjects(plain);
    ASSERT_NE(plainCopy, nullptr);
    EXPECT_EQ(plainCopy->GetMemoryOccupation(), plain->GetMemoryOccupation());
}

TEST_F(BeObjectTest, OldAttributeSectionsAreReadWithOrWithoutClassWords)
{
    // Each attribute: its class (when the section has class words), name,
    // category, parameter type, parameter, and without a file its state.
    auto load = [&](CK_CLASSID cid, bool classWords) {
        ChunkPtr chunk = NewChunk(CKCID_BEOBJECT);
        chunk->StartWrite();
        chunk->SetDataVersion(10);
        chunk->WriteIdentifier(CK_STATESAVE_ATTRIBUTES_OLD);
        chunk->WriteInt(1);
        if (classWords)
            chunk->WriteInt(cid);
        chunk->WriteString("Tag");
        chunk->WriteString("");
        chunk->WriteGuid(CKGUID());
        chunk->WriteObjectID(0);
        chunk->WriteSubChunk(nullptr);
        chunk->CloseChunk();
        CKBeObject* o = NewBeObject("Old");
        EXPECT_EQ(o->Load(chunk.get(), nullptr), 0);
        return o;
    };
    EXPECT_TRUE(load(CKCID_BEOBJECT, true)->HasAttribute(3));
    EXPECT_FALSE(CKIsLoadedFileObsolete());
    // Class 0 is a class word, but no object class: the reading stops.
    g_Events.clear();
    EXPECT_EQ(load(0, true)->GetAttributeCount(), 0);
    EXPECT_EQ(g_Events, (std::vector<std::string>{"Load:Old :Invalid Attribute Data"}));
    EXPECT_FALSE(CKIsLoadedFileObsolete());
    // A name where the class should be: the older layout, an obsolete file.
    EXPECT_TRUE(load(0, false)->HasAttribute(3));
    EXPECT_TRUE(CKIsLoadedFileObsolete());
}

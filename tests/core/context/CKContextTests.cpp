#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <stdexcept>
#include <string>

#include "core/context/CKBaseManager.h"
#include "core/context/CKFunctions.h"
#include "core/context/CKVariableManager.h"
#include "core/object/CKObjectManager.h"
#include "tests/core/support/CoreTestSupport.h"

namespace {

using ContextTest = EngineFixture;

CKObject* Create(CKContext* context, const char* name, CKDWORD options = 0, CKDWORD* result = nullptr)
{
    return context->CreateObject(TestObject::m_ClassID, name, options, result);
}

std::vector<std::string>& CallLog()
{
    static std::vector<std::string> log;
    return log;
}

class RecordingManager : public CKBaseManager
{
public:
    RecordingManager(CKContext* context, CKDWORD guid, const char* name, int priority, bool throws = false)
        : CKBaseManager(context, CKGUID(guid, 0x1234), name), m_Priority(priority), m_Throws(throws)
    {
        context->RegisterNewManager(this);
    }
    CKDWORD GetValidFunctionsMask() override
    {
        return CKMANAGER_FUNC_PreClearAll | CKMANAGER_FUNC_OnCKInit | CKMANAGER_FUNC_OnObjectsToBeDeleted |
               CKMANAGER_FUNC_OnObjectsDeleted | CKMANAGER_FUNC_OnPreRender;
    }
    int GetFunctionPriority(CKDWORD function) override
    {
        return function == CKMANAGER_FUNC_PreClearAll || function == CKMANAGER_FUNC_OnPreRender ? m_Priority : 0;
    }
    CKERROR PreClearAll() override { return Record("PreClearAll"); }
    CKERROR OnCKInit() override
    {
        ++m_InitCount;
        return 0;
    }
    CKERROR OnPreRender(CKRenderContext*) override { return Record("PreRender"); }
    CKERROR OnObjectsToBeDeleted(CK_ID*, int count) override
    {
        m_ToBeDeleted += count;
        return 0;
    }
    CKERROR OnObjectsDeleted(CK_ID*, int count) override
    {
        m_Deleted += count;
        return 0;
    }

    int m_InitCount = 0;
    int m_ToBeDeleted = 0;
    int m_Deleted = 0;

private:
    CKERROR Record(const char* what)
    {
        CallLog().push_back(std::string(GetName()) + ":" + what);
        if (m_Throws)
            throw std::runtime_error("failure");
        return 0;
    }
    int m_Priority;
    bool m_Throws;
};

} // namespace

TEST_F(ContextTest, BuiltInManagersAreRegisteredUnderTheirGuidsAndNames)
{
    struct
    {
        CKGUID guid;
        const char* name;
        CKDWORD mask;
    } expected[] = {
        {VARIABLE_MANAGER_GUID, "Variable Manager", 0x20},
        {HIDECONTENT_MANAGER_GUID, "HideContentManager", 0x20},
        {OBJECT_MANAGER_GUID, "Object Manager", 0x4008},
        {PARAMETER_MANAGER_GUID, "Parameter Manager", 0},
        {ATTRIBUTE_MANAGER_GUID, "Attribute Manager", 0xC8010},
        {TIME_MANAGER_GUID, "Time Manager", 0x4324},
        {MESSAGE_MANAGER_GUID, "Message Manager", 0x4019},
        {BEHAVIOR_MANAGER_GUID, "Behavior Manager", 0x317},
        {PATH_MANAGER_GUID, "Path Manager", 0},
    };
    ASSERT_EQ(m_Context->GetManagerCount(), 9);
    for (int i = 0; i < 9; ++i) {
        CKBaseManager* m = m_Context->GetManager(i);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->GetGuid(), expected[i].guid);
        EXPECT_STREQ(m->GetName(), expected[i].name);
        EXPECT_EQ(m->GetValidFunctionsMask(), expected[i].mask) << expected[i].name;
        EXPECT_EQ(m_Context->GetManagerByGuid(expected[i].guid), m);
    }
    EXPECT_EQ(m_Context->GetManagerByName("path manager"), m_Context->GetManager(8));
    EXPECT_EQ(m_Context->GetManager(9), nullptr);
    // The time manager's PreProcess comes first.
    EXPECT_EQ(m_Context->GetManagerCallbackList(CKMANAGER_FUNC_PreProcess)[0]->GetGuid(), TIME_MANAGER_GUID);
    EXPECT_EQ(m_Context->GetRenderManager(), nullptr);
}

TEST_F(ContextTest, ObjectsGetConsecutiveIdsAndTheTableDoublesWhenFull)
{
    CKObjectManager* om = m_Context->GetObjectManager();
    EXPECT_EQ(om->GetObjectTableCapacity(), 2000);
    for (CK_ID expected = 1; expected <= 10000; ++expected) {
        CKObject* o = Create(m_Context, nullptr);
        ASSERT_NE(o, nullptr);
        ASSERT_EQ(o->GetID(), expected);
        if (expected == 1999) {
            EXPECT_EQ(om->GetObjectTableCapacity(), 2000);
        }
        if (expected == 2000) {
            EXPECT_EQ(om->GetObjectTableCapacity(), 4000);
        }
    }
    EXPECT_EQ(om->GetObjectTableCapacity(), 16000);
    EXPECT_EQ(m_Context->GetObjectsCountByClassID(TestObject::m_ClassID), 10000);
    CK_ID* ids = m_Context->GetObjectsListByClassID(TestObject::m_ClassID);
    for (int i = 0; i < 10000; ++i)
        ASSERT_EQ(ids[i], (CK_ID) i + 1);
    EXPECT_EQ(m_Context->GetObject(10000)->GetClassID(), TestObject::m_ClassID);
    EXPECT_EQ(m_Context->GetObject(10001), nullptr);
    EXPECT_EQ(m_Context->GetObject(0), nullptr);
}

TEST_F(ContextTest, NamedCreationFollowsTheCollisionMode)
{
    CKObject* cube = Create(m_Context, "Cube");
    CKDWORD result = 99;
    CKObject* renamed = Create(m_Context, "Cube", CK_OBJECTCREATION_RENAME, &result);
    EXPECT_STREQ(renamed->GetName(), "Cube000");
    EXPECT_EQ(result, (CKDWORD) CKLOAD_RENAME);
    Create(m_Context, "Cube004");
    Create(m_Context, "Cube12");
    EXPECT_STREQ(Create(m_Context, "Cube", CK_OBJECTCREATION_RENAME)->GetName(), "Cube013");
    // No object of that name: created under it.
    EXPECT_STREQ(Create(m_Context, "Sphere", CK_OBJECTCREATION_RENAME, &result)->GetName(), "Sphere");
    EXPECT_EQ(result, (CKDWORD) CKLOAD_OK);

    EXPECT_EQ(Create(m_Context, "Cube", CK_OBJECTCREATION_REPLACE, &result), cube);
    EXPECT_EQ(result, (CKDWORD) CKLOAD_REUSED);
    EXPECT_EQ(cube->GetObjectFlags() & 0x50000u, 0x50000u);
    CKObject* cube004 = m_Context->GetObjectByNameAndClass("Cube004", TestObject::m_ClassID);
    CKDWORD flags = cube004->GetObjectFlags();
    EXPECT_EQ(Create(m_Context, "Cube004", CK_OBJECTCREATION_USECURRENT, &result), cube004);
    EXPECT_EQ(result, (CKDWORD) CKLOAD_USECURRENT);
    EXPECT_EQ(cube004->GetObjectFlags(), flags);

    // A number too large for an int counts as no number.
    Create(m_Context, "Big");
    Create(m_Context, "Big99999999999");
    EXPECT_STREQ(Create(m_Context, "Big", CK_OBJECTCREATION_RENAME)->GetName(), "Big001");

    // A class that ignores the collision options always creates.
    CKClassSetCreationFlags(TestObject::m_ClassID, CK_GENERALOPTIONS_NODUPLICATENAMECHECK);
    CKObject* another = Create(m_Context, "Cube", CK_OBJECTCREATION_REPLACE, &result);
    EXPECT_NE(another, cube);
    EXPECT_STREQ(another->GetName(), "Cube");
    EXPECT_EQ(result, (CKDWORD) CKLOAD_OK);
    CKClassSetCreationFlags(TestObject::m_ClassID, 0);
}

TEST_F(ContextTest, NameSearchContinuesAfterThePreviousMatch)
{
    CKObject* a = Create(m_Context, "Lamp");
    Create(m_Context, "Other");
    CKObject* b = Create(m_Context, "Lamp");
    CKObject* listener = m_Context->CreateObject(TestListener::m_ClassID, "Lamp");
    EXPECT_EQ(m_Context->GetObjectByNameAndClass("Lamp", TestObject::m_ClassID), a);
    EXPECT_EQ(m_Context->GetObjectByNameAndClass("Lamp", TestObject::m_ClassID, a), b);
    EXPECT_EQ(m_Context->GetObjectByNameAndClass("Lamp", TestObject::m_ClassID, b), nullptr);
    EXPECT_EQ(m_Context->GetObjectByNameAndClass(nullptr, TestObject::m_ClassID), nullptr);
    EXPECT_EQ(m_Context->GetObjectByNameAndClass("lamp", TestObject::m_ClassID), nullptr);
    EXPECT_EQ(m_Context->GetObjectByNameAndParentClass("Lamp", CKCID_OBJECT, b), listener);
    EXPECT_EQ(m_Context->GetObjectByNameAndParentClass("Lamp", CKCID_OBJECT, listener), nullptr) << "no class after";
    EXPECT_EQ(m_Context->GetObjectListByType(CKCID_OBJECT, TRUE).Size(), 4);
    EXPECT_EQ(m_Context->GetObjectListByType(TestListener::m_ClassID, FALSE).Size(), 1);
}

TEST_F(ContextTest, UniqueCopyNamesCountFromTheLargestNumber)
{
    EXPECT_STREQ(m_Context->GetUniqueCopyName("Lamp", TestObject::m_ClassID).CStr(), "Lamp");
    Create(m_Context, "Lamp");
    EXPECT_STREQ(m_Context->GetUniqueCopyName("Lamp", TestObject::m_ClassID).CStr(), "Lamp001");
    Create(m_Context, "Lamp007");
    EXPECT_STREQ(m_Context->GetUniqueCopyName("Lamp007", TestObject::m_ClassID).CStr(), "Lamp008");
    EXPECT_STREQ(CKObject::MakeCopyName("Box", "Copy").CStr(), "BoxCopy_0");
    EXPECT_STREQ(CKObject::MakeCopyName("BoxCopy_0", "Copy").CStr(), "BoxCopy_1");
    EXPECT_STREQ(CKObject::MakeCopyName("BoxCopy_x", "Copy").CStr(), "BoxCopy_1");
    EXPECT_STREQ(CKObject::MakeCopyName("BoxCopy_99999999999", "Copy").CStr(), "BoxCopy_1");
}

TEST_F(ContextTest, DynamicIdsAreReusedAndStaticOnesAreNot)
{
    CKObject* a = Create(m_Context, nullptr);
    CKObject* dynamic = Create(m_Context, nullptr, CK_OBJECTCREATION_DYNAMIC);
    EXPECT_TRUE(dynamic->IsDynamic());
    EXPECT_EQ(m_Context->GetObjectManager()->GetDynamicIds().Size(), 1);
    CK_ID dynamicId = dynamic->GetID();
    EXPECT_EQ(m_Context->DestroyObject(dynamic), 0);
    EXPECT_EQ(m_Context->GetObjectManager()->GetDynamicIds().Size(), 0);
    EXPECT_EQ(Create(m_Context, nullptr)->GetID(), dynamicId);

    CK_ID staticId = a->GetID();
    EXPECT_EQ(m_Context->DestroyObject(a), 0);
    EXPECT_EQ(m_Context->GetObject(staticId), nullptr);
    EXPECT_EQ(Create(m_Context, nullptr)->GetID(), 3u);
    EXPECT_EQ(m_Context->DestroyObjectByID(staticId), -1);
    EXPECT_EQ(m_Context->DestroyObject(nullptr), -1);

    // An id given twice is released once.
    a = Create(m_Context, nullptr, CK_OBJECTCREATION_DYNAMIC);
    Create(m_Context, nullptr);
    const int count = m_Context->GetObjectsCountByClassID(TestObject::m_ClassID);
    CK_ID ids[] = {a->GetID(), a->GetID(), 999};
    EXPECT_EQ(m_Context->DestroyObjects(ids, 3), 0);
    EXPECT_EQ(m_Context->GetObjectManager()->GetFreeIdCount(), 1);
    EXPECT_EQ(m_Context->GetObjectsCountByClassID(TestObject::m_ClassID), count - 1);
    EXPECT_EQ(m_Context->DestroyObjects(ids, 0), 0);
    EXPECT_EQ(m_Context->GetObjectManager()->DeleteObjects(ids, 0, 0, 0), -1);
}

TEST_F(ContextTest, DeletionNoticesReachOnlyTheClassesThatAskedForThem)
{
    RecordingManager* manager = new RecordingManager(m_Context, 0x100, "Recorder", 0);
    Create(m_Context, nullptr);
    CKObject* listener = m_Context->CreateObject(TestListener::m_ClassID, nullptr);
    m_Context->CreateObject(TestListenerChild::m_ClassID, nullptr);
    CKObject* other = m_Context->CreateObject(CKCID_OBJECT, nullptr);

    // A class nobody listens to: no notices.
    m_Context->DestroyObject(other);
    EXPECT_EQ(TestListener::s_PreCount, 0);
    EXPECT_EQ(TestListener::s_PostCount, 0);
    EXPECT_EQ(manager->m_ToBeDeleted, 1);
    EXPECT_EQ(manager->m_Deleted, 1);

    // A TestObject: the listener and the derived listener hear it.
    CK_ID target = m_Context->GetObjectsListByClassID(TestObject::m_ClassID)[0];
    m_Context->DestroyObjectByID(target);
    EXPECT_EQ(TestListener::s_PreCount, 2);
    EXPECT_EQ(TestListener::s_PostCount, 2);

    // Deleting a listener tells nobody.
    m_Context->DestroyObject(listener);
    EXPECT_EQ(TestListener::s_PreCount, 2);

    // Option bits skip class and manager notices.
    CKObject* quiet = Create(m_Context, nullptr);
    CK_ID id = quiet->GetID();
    m_Context->GetObjectManager()->DeleteObjects(&id, 1, 0, CK_DESTROY_NOCLASSNOTIFY);
    EXPECT_EQ(TestListener::s_PreCount, 2);
    EXPECT_EQ(manager->m_ToBeDeleted, 3);
    EXPECT_EQ(manager->m_Deleted, 3);
}

TEST_F(ContextTest, ManagerCallbacksRunInPriorityOrderAndFailuresAreReported)
{
    CallLog().clear();
    RecordingManager* low = new RecordingManager(m_Context, 0x200, "First", 0);
    RecordingManager* high = new RecordingManager(m_Context, 0x201, "Second", 30000, true);
    new RecordingManager(m_Context, 0x202, "Third", 0);
    // Registered into an initialised context: OnCKInit at once.
    EXPECT_EQ(low->m_InitCount, 1);
    m_Context->ExecuteManagersPreClearAll();
    EXPECT_EQ(CallLog(), (std::vector<std::string>{"Second:PreClearAll", "First:PreClearAll", "Third:PreClearAll"}));
    ASSERT_EQ(Console().size(), 1u);
    EXPECT_EQ(Console()[0], "[Second] Error : PreClearAll");

    CallLog().clear();
    Console().clear();
    m_Context->ExecuteManagersOnPreRender(nullptr);
    EXPECT_EQ(CallLog().size(), 3u);
    ASSERT_EQ(Console().size(), 1u);
    EXPECT_EQ(Console()[0], "[Second] Error : Pre Render");
    EXPECT_EQ(high->GetProcessingTime(), 0.0f);
    EXPECT_EQ(m_Context->GetCurrentManager(), nullptr);

    // A second manager of a taken GUID stays inactive.
    RecordingManager* duplicate = new RecordingManager(m_Context, 0x200, "Duplicate", 0);
    EXPECT_EQ(m_Context->GetInactiveManagerCount(), 1);
    EXPECT_TRUE(m_Context->IsManagerInactive(duplicate));
    EXPECT_EQ(m_Context->GetManagerByName("duplicate"), duplicate);
    // Activating it sends the holder to the inactive list; ClearAll swaps back.
    m_Context->ActivateManager(duplicate, TRUE);
    EXPECT_EQ(m_Context->GetManagerByGuid(CKGUID(0x200, 0x1234)), duplicate);
    EXPECT_EQ(m_Context->GetInactiveManager(0), low);
    m_Context->ActivateManager(low, FALSE); // not the holder: nothing
    EXPECT_EQ(m_Context->GetInactiveManagerCount(), 1);
    CallLog().clear();
    m_Context->ClearAll();
    EXPECT_EQ(m_Context->GetManagerByGuid(CKGUID(0x200, 0x1234)), low);
    EXPECT_EQ(m_Context->GetInactiveManager(0), duplicate);
    EXPECT_TRUE(m_Context->IsInClearAll());
    // Managers deleted by their owner leave the context.
    delete duplicate;
    EXPECT_EQ(m_Context->GetInactiveManagerCount(), 0);
}

TEST_F(ContextTest, ClearAllKeepsObjectsFlaggedNotToBeDeleted)
{
    CKObject* kept = Create(m_Context, "Kept");
    kept->ModifyObjectFlags(CK_OBJECT_NOTTOBEDELETED, 0);
    CKObject* dynamic = Create(m_Context, "Gone", CK_OBJECTCREATION_DYNAMIC);
    (void) dynamic;
    Create(m_Context, "Gone too");
    CK_ID keptId = kept->GetID();
    EXPECT_EQ(m_Context->ClearAll(), 0);
    EXPECT_EQ(m_Context->GetObject(keptId), kept);
    EXPECT_EQ(m_Context->GetObjectsCountByClassID(TestObject::m_ClassID), 1);
    EXPECT_EQ(m_Context->GetObjectManager()->GetHighestID(), keptId);
    EXPECT_EQ(m_Context->GetObjectManager()->GetFreeIdCount(), 0);
    EXPECT_EQ(Create(m_Context, nullptr)->GetID(), keptId + 1);
}

TEST_F(ContextTest, ObjectNamesAndVisibility)
{
    CKObject* o = Create(m_Context, "Cube");
    EXPECT_EQ(o->GetMemoryOccupation(), 25);
    static const char shared[] = "Shared";
    o->SetName(shared, TRUE);
    o->SetName(shared, TRUE);
    EXPECT_EQ(o->GetName(), shared);
    EXPECT_EQ(o->GetMemoryOccupation(), 20);
    o->SetName("Own");
    EXPECT_FALSE(o->GetObjectFlags() & CK_OBJECT_NAMESHARED);
    EXPECT_TRUE(o->IsVisible());
    o->Show(CKHIDE);
    EXPECT_FALSE(o->IsVisible());
    o->Show(CKHIERARCHICALHIDE);
    EXPECT_EQ(o->GetObjectFlags() & (CK_OBJECT_VISIBLE | CK_OBJECT_HIERACHICALHIDE),
              (CKDWORD) CK_OBJECT_HIERACHICALHIDE);
    o->Show(CKSHOW);
    EXPECT_EQ(o->GetObjectFlags() & (CK_OBJECT_VISIBLE | CK_OBJECT_HIERACHICALHIDE), (CKDWORD) CK_OBJECT_VISIBLE);

    CKSceneObject* s = static_cast<CKSceneObject*>(m_Context->CreateObject(CKCID_SCENEOBJECT, "S"));
    EXPECT_EQ(s->GetMemoryOccupation(), 22 + 8 + 4);
    EXPECT_TRUE(s->AddSceneInIndex(3));
    EXPECT_FALSE(s->AddSceneInIndex(3));
    s->AddSceneInIndex(40);
    EXPECT_EQ(s->GetSceneInCount(), 2);
    EXPECT_EQ(s->GetSceneInIndex(1), 40);
    EXPECT_EQ(s->GetSceneInIndex(2), -1);

    // App data follows the object; a handed name pointer becomes its own.
    int marker = 0;
    o->SetAppData(&marker);
    EXPECT_TRUE(o->GetObjectFlags() & CK_OBJECT_APPDATA);
    EXPECT_EQ(o->GetAppData(), &marker);
    o->SetAppData(nullptr);
    EXPECT_EQ(o->GetAppData(), nullptr);
    EXPECT_FALSE(o->GetObjectFlags() & CK_OBJECT_APPDATA);
    char* name = CKStrdup("Handed");
    EXPECT_EQ(Create(m_Context, name, CK_OBJECTCREATION_NONAMECOPY)->GetName(), name);
}

TEST_F(ContextTest, SettingsRefuseValuesOutOfRangeAndTheFirstCompositionIsRemembered)
{
    m_Context->SetCompressionLevel(0);
    m_Context->SetCompressionLevel(10);
    EXPECT_EQ(m_Context->GetCompressionLevel(), 4);
    m_Context->SetCompressionLevel(9);
    EXPECT_EQ(m_Context->GetCompressionLevel(), 9);
    m_Context->SetGlobalImagesSaveOptions(3);
    EXPECT_EQ(m_Context->GetGlobalImagesSaveOptions(), 0);
    CKGUID a = m_Context->GenerateGuid();
    CKGUID b = m_Context->GenerateGuid();
    EXPECT_NE(a, b);
    EXPECT_LE(a.d1 & 0xFFFF, 0x7FFFu);
    EXPECT_LE(a.d1 >> 16, 0x7FFFu);

    m_Context->RememberLoadedComposition("c:\\data\\scene.QBX");
    m_Context->RememberLoadedComposition("c:\\other\\object.qdx");
    EXPECT_STREQ(m_Context->GetLastCompositionLoaded(), "c:\\data\\scene.QBX");
    EXPECT_STREQ(m_Context->GetLastCompositionFolder(), "c:\\data\\");
    XString text;
    EXPECT_TRUE(m_Context->GetVariableManager()->GetValue("Globals/LastQbxLoadedPath", &text));
    EXPECT_STREQ(text.CStr(), "c:\\data\\");

    // Console output without a callback is dropped.
    m_Context->SetInterfaceMode(FALSE, nullptr, nullptr);
    EXPECT_EQ(m_Context->OutputToConsole("x"), -16);
    EXPECT_EQ(m_Context->OutputToConsoleEx("%s", std::string(1000, 'a').c_str()), -16);
}

TEST_F(ContextTest, NameLookupsAgreeWithAScanOfTheClassList)
{
    std::mt19937 random(11);
    const char* names[] = {"a", "b", "c", "d"};
    std::vector<CKObject*> live;
    for (int step = 0; step < 2000; ++step) {
        int action = (int) (random() % 4);
        if (action <= 1 || live.empty()) {
            CKDWORD options = (random() % 2) ? (CKDWORD) CK_OBJECTCREATION_DYNAMIC : 0u;
            live.push_back(Create(m_Context, names[random() % 4], options));
        } else if (action == 2) {
            live[random() % live.size()]->SetName(random() % 5 ? names[random() % 4] : nullptr);
        } else {
            size_t i = random() % live.size();
            m_Context->DestroyObject(live[i]);
            live.erase(live.begin() + (long) i);
        }
        for (const char* name : names) {
            CKObject* expected = nullptr;
            int count = m_Context->GetObjectsCountByClassID(TestObject::m_ClassID);
            CK_ID* ids = m_Context->GetObjectsListByClassID(TestObject::m_ClassID);
            for (int k = 0; k < count && !expected; ++k) {
                CKObject* o = m_Context->GetObject(ids[k]);
                if (o->GetName() && std::strcmp(o->GetName(), name) == 0)
                    expected = o;
            }
            ASSERT_EQ(m_Context->GetObjectByNameAndClass(name, TestObject::m_ClassID), expected) << step;
        }
    }
}

// The four name-clash policies are kept apart; a kind outside them reads -1
// and is not kept.
TEST_F(ContextTest, NameClashPoliciesAreKeptForTheirFourKindsOnly)
{
    for (int kind = 0; kind < 4; ++kind)
        m_Context->SetNameClashPolicy(kind, kind);
    for (int kind : {-1, 4, 5})
        m_Context->SetNameClashPolicy(kind, 3);
    for (int kind = -2; kind <= 5; ++kind)
        EXPECT_EQ(m_Context->GetNameClashPolicy(kind), kind >= 0 && kind < 4 ? kind : -1) << kind;
    m_Context->ResetNameClashPolicies();
    for (int kind = 0; kind < 4; ++kind)
        EXPECT_EQ(m_Context->GetNameClashPolicy(kind), -1) << kind;
}

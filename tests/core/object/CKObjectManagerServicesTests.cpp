#include <gtest/gtest.h>

#include <vector>

#include "core/object/CKDependencies.h"
#include "core/object/CKDependenciesContext.h"
#include "core/object/CKObjectManager.h"
#include "tests/core/support/CoreTestSupport.h"

namespace {

using ObjectServicesTest = EngineFixture;

TEST_F(ObjectServicesTest, LoadTableKeepsEntriesWithinItsSizeOnly)
{
    CKObjectManager* om = m_Context->GetObjectManager();
    CKObject* first = m_Context->CreateObject(TestObject::m_ClassID, "first");
    CKObject* last = m_Context->CreateObject(TestObject::m_ClassID, "last");
    CKObject* outside = m_Context->CreateObject(TestObject::m_ClassID, "outside");
    EXPECT_EQ(om->ConvertLoadedID(5), 5u) << "no table: ids stand for themselves";
    om->StartLoadTable(3);
    om->SetLoadTableEntry(first, 0);
    om->SetLoadTableEntry(last, 2);
    om->SetLoadTableEntry(outside, 3);
    om->SetLoadTableEntry(outside, -1);
    const CK_ID expected[] = {first->GetID(), 0, last->GetID(), 0, 0};
    for (CK_ID index = 0; index < 5; ++index)
        EXPECT_EQ(om->ConvertLoadedID(index), expected[index]) << "entry " << index;
    om->SetLoadTableEntry(nullptr, 0);
    EXPECT_EQ(om->ConvertLoadedID(0), 0u);
    om->ClearLoadTable();
    EXPECT_EQ(om->ConvertLoadedID(2), 2u);
}

TEST_F(ObjectServicesTest, DeferredDestructionsOfEveryFlagWordHappenAtPostProcess)
{
    // One destruction queued per flag word (0 to 3), each a record of its
    // own, all carried out by the next PostProcess.
    m_Context->CreateObject(TestListener::m_ClassID, nullptr);
    std::vector<CK_ID> ids;
    for (int i = 0; i < 4; ++i)
        ids.push_back(m_Context->CreateObject(TestObject::m_ClassID, nullptr)->GetID());
    m_Context->SetDeferredDestroyMode(TRUE);
    for (CKDWORD flags = 0; flags < 4; ++flags)
        m_Context->DestroyObjects(&ids[flags], 1, flags);
    for (CK_ID id : ids)
        EXPECT_NE(m_Context->GetObject(id), nullptr) << "queued, not yet destroyed";
    EXPECT_EQ(TestListener::s_PreCount, 0);
    m_Context->GetObjectManager()->PostProcess();
    for (CK_ID id : ids)
        EXPECT_EQ(m_Context->GetObject(id), nullptr) << "destroyed at PostProcess";
    EXPECT_GT(TestListener::s_PreCount, 0);
    EXPECT_TRUE(m_Context->GetDeferredDestroyMode()) << "the mode is given back";
    m_Context->SetDeferredDestroyMode(FALSE);
}

TEST_F(ObjectServicesTest, DependenciesRefuseUnsavableAndNonDynamicObjectsWhereTheModeSaysSo)
{
    CKObject* fixed = m_Context->CreateObject(TestObject::m_ClassID);
    CKObject* unsaved = m_Context->CreateObject(TestObject::m_ClassID);
    unsaved->ModifyObjectFlags(CK_OBJECT_NOTTOBESAVED, 0);
    CKObject* dynamic = m_Context->CreateObject(TestObject::m_ClassID, nullptr, CK_OBJECTCREATION_DYNAMIC);
    struct Case
    {
        CKDWORD mode;
        bool insideDynamic; // collected while a dynamic object's dependencies are
        CKERROR fixed, unsaved, dynamic;
    };
    const Case cases[] = {
        {CK_DEPENDENCIES_SAVE, false, CKErr::Ok, CKErr::IncompatibleParameters, CKErr::Ok},
        {CK_DEPENDENCIES_COPY, false, CKErr::Ok, CKErr::Ok, CKErr::Ok},
        {CK_DEPENDENCIES_DELETE, false, CKErr::Ok, CKErr::Ok, CKErr::Ok},
        {CK_DEPENDENCIES_SAVE, true, CKErr::IncompatibleParameters, CKErr::IncompatibleParameters, CKErr::Ok},
        {CK_DEPENDENCIES_COPY, true, CKErr::Ok, CKErr::Ok, CKErr::Ok},
        {CK_DEPENDENCIES_DELETE, true, CKErr::IncompatibleParameters, CKErr::IncompatibleParameters, CKErr::Ok},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << (c.insideDynamic ? " inside a dynamic object" : ""));
        CKDependenciesContext deps(m_Context);
        deps.SetOperationMode(c.mode);
        auto scope = deps.EnterDependencyScope(dynamic, c.insideDynamic);
        EXPECT_EQ(fixed->PrepareDependencies(deps, TRUE), c.fixed);
        EXPECT_EQ(unsaved->PrepareDependencies(deps, TRUE), c.unsaved);
        EXPECT_EQ(dynamic->PrepareDependencies(deps, TRUE), c.dynamic);
        // Taken once: a second time is already present.
        if (c.fixed == CKErr::Ok) {
            EXPECT_EQ(fixed->PrepareDependencies(deps, TRUE), CKErr::AlreadyPresent);
        }
    }
}

} // namespace

namespace {

TEST_F(ObjectServicesTest, ACopyTakesTheSourceNameOnlyWhereItsRecordOrClassSaysSo)
{
    // A custom record without the name option: a plain object's copy is
    // left unnamed, a parameter's keeps its source's name; a record saying
    // none keeps it for both.
    struct Case
    {
        CK_CLASSID cid;
        CKDWORD recordFlags;
        const char* expected;
    };
    const Case cases[] = {
        {TestObject::m_ClassID, CK_DEPENDENCIES_CUSTOM, nullptr},
        {CKCID_PARAMETEROUT, CK_DEPENDENCIES_CUSTOM, "Source"},
        {TestObject::m_ClassID, CK_DEPENDENCIES_NONE, "Source"},
        {CKCID_PARAMETEROUT, CK_DEPENDENCIES_NONE, "Source"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "class " << c.cid << " record " << c.recordFlags);
        CKObject* source = m_Context->CreateObject(c.cid, "Source");
        ASSERT_NE(source, nullptr);
        CKDependencies record;
        record.m_Flags = c.recordFlags;
        CKObject* copy = m_Context->CopyObjects(source, &record, nullptr);
        ASSERT_NE(copy, nullptr);
        if (c.expected)
            EXPECT_STREQ(copy->GetName(), c.expected);
        else
            EXPECT_EQ(copy->GetName(), nullptr);
    }
}

} // namespace

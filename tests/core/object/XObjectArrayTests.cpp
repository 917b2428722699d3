#include "core/object/XObjectArray.h"

#include <gtest/gtest.h>

#include "core/chunk/CKStateChunk.h"
#include "core/object/CKDependencies.h"
#include "core/object/CKDependenciesContext.h"
#include "core/object/CKObjectIDList.h"
#include "core/object/XCompactObjectArray.h"
#include "core/object/XCompactObjectPointerArray.h"
#include "core/object/XObjectPointerArray.h"
#include "tests/core/support/ChunkTestSupport.h"
#include "tests/core/support/CoreTestSupport.h"

namespace {
using ObjectArrayTest = EngineFixture;
}

TEST_F(ObjectArrayTest, SavingWithAContextWritesZeroForObjectsThatMayNotBeWritten)
{
    CKObject* fixed = m_Context->CreateObject(TestObject::m_ClassID, "fixed");
    CKObject* dynamic = m_Context->CreateObject(TestObject::m_ClassID, "dyn", CK_OBJECTCREATION_DYNAMIC);
    ASSERT_TRUE(dynamic->IsDynamic());
    XObjectArray ids;
    ids.PushBack(fixed->GetID());
    ids.PushBack(dynamic->GetID());

    ChunkPtr chunk = NewChunk(1);
    chunk->StartWrite();
    chunk->SetWriteAllObjects(FALSE);
    ids.Save(chunk.get(), m_Context);
    ids.Save(chunk.get()); // without a context the ids go as they are
    chunk->StartRead();
    XObjectArray first;
    first.Load(chunk.get());
    XObjectArray second = chunk->ReadXObjectArray();
    ASSERT_EQ(first.Size(), 2);
    EXPECT_EQ(first[0], fixed->GetID());
    EXPECT_EQ(first[1], 0u);
    ASSERT_EQ(second.Size(), 2);
    EXPECT_EQ(second[1], dynamic->GetID());
}

TEST_F(ObjectArrayTest, CheckDropsIdsOfObjectsThatAreGone)
{
    CKObject* a = m_Context->CreateObject(TestObject::m_ClassID, "a");
    CKObject* b = m_Context->CreateObject(TestObject::m_ClassID, "b");
    XObjectArray ids;
    ids.PushBack(a->GetID());
    ids.PushBack(b->GetID());
    XCompactObjectArray compact;
    compact.PushBack(a->GetID());
    compact.PushBack(b->GetID());
    EXPECT_FALSE(ids.Check(m_Context));
    m_Context->DestroyObject(a);
    EXPECT_TRUE(ids.Check(m_Context));
    EXPECT_TRUE(compact.Check(m_Context));
    ASSERT_EQ(ids.Size(), 1);
    EXPECT_EQ(ids[0], b->GetID());
    EXPECT_EQ(compact.Size(), 1);
    EXPECT_FALSE(ids.FindObject(nullptr));
    EXPECT_TRUE(ids.FindObject(b));
    // Ids outside the array are none.
    EXPECT_EQ(ids.GetObjectID(1), 0u);
    EXPECT_EQ(ids.GetObjectID(-1), 0u);
    EXPECT_EQ(ids.GetObject(m_Context, 1), nullptr);
}

TEST_F(ObjectArrayTest, PointerChecksRemoveObjectsBeingDeletedAndKeepTheOthersInOrder)
{
    CKObject* a = m_Context->CreateObject(TestObject::m_ClassID, "a");
    CKObject* b = m_Context->CreateObject(TestObject::m_ClassID, "b");
    XObjectPointerArray objects;
    objects.PushBack(a);
    objects.PushBack(b);
    XCompactObjectPointerArray compact;
    compact.PushBack(a);
    compact.PushBack(nullptr);
    compact.PushBack(b);
    EXPECT_FALSE(objects.Check());
    EXPECT_FALSE(compact.Check()) << "null entries stay";
    a->ModifyObjectFlags(CK_OBJECT_TOBEDELETED, 0);
    EXPECT_TRUE(compact.Check());
    ASSERT_EQ(compact.Size(), 2);
    EXPECT_EQ(compact[0], nullptr);
    EXPECT_EQ(compact[1], b);
    b->ModifyObjectFlags(CK_OBJECT_TOBEDELETED, 0);
    EXPECT_TRUE(objects.Check());
    EXPECT_TRUE(objects.IsEmpty());
    a->ModifyObjectFlags(0, CK_OBJECT_TOBEDELETED);
    b->ModifyObjectFlags(0, CK_OBJECT_TOBEDELETED);
}

TEST_F(ObjectArrayTest, PointerArraysLoadTheExistingObjectsOfASequence)
{
    CKObject* a = m_Context->CreateObject(TestObject::m_ClassID, "a");
    CKObject* b = m_Context->CreateObject(TestObject::m_ClassID, "b");
    XObjectPointerArray objects;
    objects.PushBack(a);
    objects.PushBack(nullptr);
    objects.PushBack(b);
    ChunkPtr chunk = NewChunk(1);
    chunk->StartWrite();
    objects.Save(chunk.get());
    chunk->StartRead();
    XObjectPointerArray back;
    back.Load(m_Context, chunk.get());
    ASSERT_EQ(back.Size(), 2);
    EXPECT_EQ(back[0], a);
    EXPECT_EQ(back[1], b);

    // A compact array keeps its content when none of the objects exists.
    XCompactObjectPointerArray compact;
    compact.PushBack(b);
    m_Context->DestroyObject(a);
    m_Context->DestroyObject(b);
    chunk->StartRead();
    compact.Load(m_Context, chunk.get());
    ASSERT_EQ(compact.Size(), 1);
}

TEST_F(ObjectArrayTest, IdListsTravelAsSequences)
{
    CKObject* a = m_Context->CreateObject(TestObject::m_ClassID, "a");
    CKObjectIDList list;
    list.InsertRear(a->GetID());
    list.InsertRear(12345); // names no object: written as 0 with a context
    list.Reset();
    list.Next();
    ChunkPtr chunk = NewChunk(1);
    chunk->StartWrite();
    chunk->WriteObjectIDList(&list, m_Context);
    EXPECT_EQ(list.GetCursorIndex(), 1); // the cursor is where it was
    list.Reset();
    chunk->WriteObjectIDList(&list);
    EXPECT_EQ(list.GetCursorIndex(), 0);
    chunk->WriteObjectIDList(nullptr);
    chunk->StartRead();
    CKObjectIDList back;
    back.InsertRear(99);
    chunk->ReadObjectIDList(&back);
    ASSERT_EQ(back.GetCount(), 2);
    back.Reset();
    EXPECT_EQ(back.GetCurrentID(), a->GetID());
    back.Next();
    EXPECT_EQ(back.GetCurrentID(), 0u);
    chunk->ReadObjectIDList(nullptr); // skipped
    chunk->ReadObjectIDList(&back);
    EXPECT_EQ(back.GetCount(), 0);
    EXPECT_EQ(chunk->GetReadError(), 0);
}

TEST_F(ObjectArrayTest, DependencyOptionsFollowTheRecordFlags)
{
    CKDependenciesContext deps(m_Context);
    CKDependencies record;
    record.Resize(60);
    record.m_Options[CKCID_BEOBJECT] = 5;
    record.m_Flags = CK_DEPENDENCIES_ALL;
    deps.StartDependencies(&record);
    EXPECT_EQ(deps.GetClassDependencies(CKCID_OBJECT), 0xFFFFu);
    record.m_Flags = CK_DEPENDENCIES_NONE;
    EXPECT_EQ(deps.GetClassDependencies(CKCID_BEOBJECT), 0u);
    record.m_Flags = CK_DEPENDENCIES_CUSTOM;
    EXPECT_EQ(deps.GetClassDependencies(CKCID_BEOBJECT), 5u);
    deps.StopDependencies();
    EXPECT_EQ(deps.GetDependencies(), nullptr);
    deps.SetOperationMode(CK_DEPENDENCIES_COPY);
    EXPECT_EQ(deps.GetClassDependencies(CKCID_BEOBJECT), 3u); // scripts and attributes by default
}

TEST_F(ObjectArrayTest, DependenciesAreReachedOnceAndRemapToThemselvesUntilCopied)
{
    CKDependenciesContext deps(m_Context);
    EXPECT_TRUE(deps.AddDependency(7));
    EXPECT_FALSE(deps.AddDependency(7));
    EXPECT_EQ(deps.RemapID(7), 7u);
    EXPECT_EQ(deps.RemapID(0), 0u);
    deps.SetRemap(7, 8);
    EXPECT_EQ(deps.RemapID(7), 8u);

    CKObject* dynamic = m_Context->CreateObject(TestObject::m_ClassID, nullptr, CK_OBJECTCREATION_DYNAMIC);
    CKObject* fixed = m_Context->CreateObject(TestObject::m_ClassID);
    {
        auto scope = deps.EnterDependencyScope(dynamic, TRUE);
        EXPECT_EQ(deps.GetDynamicNesting(), 1);
        auto inner = deps.EnterDependencyScope(fixed, TRUE);
        EXPECT_EQ(deps.GetDynamicNesting(), 1);
    }
    EXPECT_EQ(deps.GetDynamicNesting(), 0);

    CK_ID ids[3] = {fixed->GetID(), 54321, 0};
    deps.AddObjects(ids, 3);
    EXPECT_EQ(deps.GetObjectsCount(), 1);
    EXPECT_EQ(deps.GetObjects(0), fixed);
    deps.Clear();
    EXPECT_EQ(deps.GetObjectsCount(), 0);
    EXPECT_FALSE(deps.IsDependenciesHere(7));
}

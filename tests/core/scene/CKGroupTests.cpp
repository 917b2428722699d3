#include "core/scene/CKGroup.h"

#include <gtest/gtest.h>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKFunctions.h"
#include "core/object/CKDependencies.h"
#include "tests/core/scene/SceneTestSupport.h"
#include "tests/support/TestPaths.h"

namespace {

class GroupTest : public SceneFixture
{
protected:
    static std::vector<CKBeObject*> Members(CKGroup* group)
    {
        std::vector<CKBeObject*> members;
        for (int i = 0; i < group->GetObjectCount(); ++i)
            members.push_back(group->GetObject(i));
        return members;
    }

    // A group chunk whose member section lists the ids as they are.
    static CKStateChunk* MemberChunk(const std::vector<CK_ID>& ids)
    {
        CKStateChunk* chunk = CKCreateStateChunk(CKCID_GROUP);
        chunk->StartWrite();
        chunk->WriteIdentifier(CK_STATESAVE_GROUPALL);
        chunk->StartObjectIDSequence((int) ids.size());
        for (CK_ID id : ids)
            chunk->WriteObjectIDSequenceItem(id);
        chunk->CloseChunk();
        return chunk;
    }
};

} // namespace

TEST_F(GroupTest, MembersAreKeptInOrderWithTheirBits)
{
    CKGroup* group = NewGroup("G");
    CKBeObject* a = NewBeObject("A");
    CKBeObject* b = NewBeObject("B");
    EXPECT_EQ(group->AddObject(a), CKErr::Ok);
    EXPECT_EQ(group->AddObject(b), CKErr::Ok);
    EXPECT_EQ(group->AddObject(a), CKErr::AlreadyPresent);
    EXPECT_EQ(group->AddObject(nullptr), CKErr::InvalidParameter);
    EXPECT_EQ(Members(group), (std::vector<CKBeObject*>{a, b}));
    EXPECT_EQ(group->GetObject(2), nullptr);
    EXPECT_TRUE(a->IsInGroup(group));
    EXPECT_TRUE(group->IsObjectUsed(a, CKCID_BEOBJECT));
    EXPECT_EQ(group->GetCommonClassID(), CKCID_BEOBJECT);
    EXPECT_FALSE(group->IsCommonClassIDValid());
    EXPECT_TRUE(group->CanBeHidden());
    group->Clear();
    EXPECT_EQ(group->GetObjectCount(), 0);
    EXPECT_FALSE(a->IsInGroup(group));

    TestObject* plain = static_cast<TestObject*>(m_Context->CreateObject(TestObject::m_ClassID));
    EXPECT_EQ(group->AddObject(reinterpret_cast<CKBeObject*>(plain)), CKErr::InvalidParameter);
}

TEST_F(GroupTest, AGroupNeverHoldsItselfAtAnyDepth)
{
    CKGroup* a = NewGroup("A");
    CKGroup* b = NewGroup("B");
    CKGroup* c = NewGroup("C");
    EXPECT_EQ(a->AddObject(a), CKErr::InvalidParameter);
    EXPECT_EQ(a->AddObject(b), CKErr::Ok);
    EXPECT_EQ(b->AddObject(a), CKErr::InvalidParameter);
    EXPECT_EQ(b->AddObject(c), CKErr::Ok);
    EXPECT_EQ(c->AddObject(a), CKErr::InvalidParameter) << "a ring of three";
    EXPECT_EQ(c->GetObjectCount(), 0);
    EXPECT_FALSE(a->IsInGroup(c));
    CKGroup* d = NewGroup("D");
    EXPECT_EQ(d->AddObject(a), CKErr::Ok) << "holding a chain is fine";
    EXPECT_EQ(c->AddObject(d), CKErr::InvalidParameter) << "through a fourth group too";
}

TEST_F(GroupTest, ShowReachesNestedMembers)
{
    CKGroup* outer = NewGroup("Outer");
    CKGroup* inner = NewGroup("Inner");
    CKBeObject* a = NewBeObject();
    CKBeObject* b = NewBeObject();
    outer->AddObject(a);
    outer->AddObject(inner);
    inner->AddObject(b);
    outer->Show(CKHIDE);
    for (CKObject* o : std::vector<CKObject*>{outer, inner, a, b})
        EXPECT_FALSE(o->IsVisible());
    outer->Show(CKHIERARCHICALHIDE);
    EXPECT_TRUE(b->GetObjectFlags() & CK_OBJECT_HIERACHICALHIDE);
    outer->Show(CKSHOW);
    for (CKObject* o : std::vector<CKObject*>{outer, inner, a, b})
        EXPECT_TRUE(o->IsVisible());
}

TEST_F(GroupTest, DeletingAMemberShrinksTheGroupAndDeletingTheGroupClearsTheBits)
{
    CKGroup* group = NewGroup();
    CKBeObject* a = NewBeObject();
    CKBeObject* b = NewBeObject();
    CKBeObject* c = NewBeObject();
    for (CKBeObject* o : {a, b, c})
        group->AddObject(o);
    m_Context->DestroyObject(b);
    EXPECT_EQ(Members(group), (std::vector<CKBeObject*>{a, c}));
    const int index = group->GetGroupIndex();
    m_Context->DestroyObject(group);
    EXPECT_FALSE(a->IsInGroupIndex(index));
    CKGroup* next = NewGroup();
    EXPECT_EQ(next->GetGroupIndex(), index) << "the index is handed out again";
    EXPECT_FALSE(a->IsInGroup(next));
}

TEST_F(GroupTest, MembersJoinAndLeaveScenesWithTheGroup)
{
    CKLevel* level = NewLevel();
    CKGroup* outer = NewGroup();
    CKGroup* inner = NewGroup();
    CKBeObject* a = NewBeObject();
    outer->AddObject(inner);
    inner->AddObject(a);
    level->AddObject(outer);
    CKScene* scene = level->GetLevelScene();
    EXPECT_TRUE(scene->IsObjectHere(inner));
    EXPECT_TRUE(scene->IsObjectHere(a));
    outer->RemoveFromScene(scene, TRUE);
    EXPECT_FALSE(scene->IsObjectHere(outer));
    EXPECT_FALSE(scene->IsObjectHere(a));
}

TEST_F(GroupTest, AnEmptyGroupWritesNoMemberSectionAndLoadsBackEmpty)
{
    CKGroup* group = NewGroup();
    CKStateChunk* chunk = CKSaveObjectState(group);
    chunk->StartRead();
    EXPECT_EQ(chunk->SeekIdentifierAndReturnSize(CK_STATESAVE_GROUPALL), -1);
    CKGroup* back = NewGroup();
    back->AddObject(NewBeObject());
    EXPECT_EQ(back->Load(chunk, nullptr), 0);
    EXPECT_EQ(back->GetObjectCount(), 0);
    CKDeleteStateChunk(chunk);

    group->AddObject(NewBeObject());
    group->ModifyObjectFlags(0x80000, 0);
    chunk = group->Save(nullptr, 0);
    chunk->StartRead();
    EXPECT_EQ(chunk->SeekIdentifierAndReturnSize(CK_STATESAVE_GROUPALL), -1) << "no low save flags";
    EXPECT_TRUE(chunk->SeekIdentifier(CK_STATESAVE_GROUPFLAG80000));
    EXPECT_EQ(back->Load(chunk, nullptr), 0);
    EXPECT_TRUE(back->GetObjectFlags() & 0x80000);
    CKDeleteStateChunk(chunk);
}

TEST_F(GroupTest, LoadingWithoutFileSettlesMembersAtOnce)
{
    CKGroup* a = NewGroup("A");
    CKGroup* b = NewGroup("B");
    a->AddObject(b);
    CKBeObject* x = NewBeObject();
    TestObject* plain = static_cast<TestObject*>(m_Context->CreateObject(TestObject::m_ClassID));
    CKStateChunk* chunk = MemberChunk({x->GetID(), 0, 999999, plain->GetID(), a->GetID(), x->GetID(), b->GetID()});
    EXPECT_EQ(b->Load(chunk, nullptr), 0);
    CKDeleteStateChunk(chunk);
    EXPECT_EQ(Members(b), (std::vector<CKBeObject*>{x})) << "nulls, plain objects, rings and doubles go";
    EXPECT_TRUE(x->IsInGroup(b));
    EXPECT_FALSE(a->IsInGroup(b));
}

TEST_F(GroupTest, MembersRoundTripThroughAFileAndAFilesRingIsBroken)
{
    TestTempDir dir;
    const std::string path = dir.File("groups.qdx");
    CKGroup* a = NewGroup("A");
    CKGroup* b = NewGroup("B");
    CKBeObject* x = NewBeObject("X");
    a->AddObject(x);
    a->AddObject(b);
    b->AddObject(x);
    CKFile* file = m_Context->CreateCKFile();
    ASSERT_EQ(file->StartSave(path.c_str()), 0);
    file->SaveObject(a, 0xFFFFFFFF);
    ASSERT_EQ(file->EndSave(), 0);
    m_Context->DeleteCKFile(file);

    CKContext* fresh = NewContext();
    CKFile* loader = fresh->CreateCKFile();
    ASSERT_EQ(loader->Load(path.c_str(), nullptr), 0);
    fresh->DeleteCKFile(loader);
    auto* a2 = static_cast<CKGroup*>(fresh->GetObjectByNameAndClass("A", CKCID_GROUP));
    auto* b2 = static_cast<CKGroup*>(fresh->GetObjectByNameAndClass("B", CKCID_GROUP));
    auto* x2 = static_cast<CKBeObject*>(fresh->GetObjectByNameAndClass("X", CKCID_BEOBJECT));
    ASSERT_TRUE(a2 && b2 && x2);
    EXPECT_EQ(Members(a2), (std::vector<CKBeObject*>{x2, b2}));
    EXPECT_EQ(Members(b2), (std::vector<CKBeObject*>{x2}));
    EXPECT_TRUE(x2->IsInGroup(a2) && x2->IsInGroup(b2) && b2->IsInGroup(a2));

    // A ring in the members read (as a hostile file would bring it): the
    // loaded group gives it up after loading.
    CKStateChunk* ring = MemberChunk({a2->GetID()});
    CKFile* reader = fresh->CreateCKFile();
    b2->Load(ring, reader);
    fresh->DeleteCKFile(reader);
    CKDeleteStateChunk(ring);
    b2->PostLoad();
    EXPECT_EQ(b2->GetObjectCount(), 0);
    EXPECT_FALSE(a2->IsInGroup(b2));
}

TEST_F(GroupTest, CopiesBelongToTheGroupsOfTheirSources)
{
    CKGroup* group = NewGroup();
    CKBeObject* a = NewBeObject("A");
    group->AddObject(a);
    CKDependencies dependencies;
    dependencies.m_Flags = CK_DEPENDENCIES_ALL;
    CKObject* copy = m_Context->CopyObjects(a, &dependencies);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(group->GetObjectCount(), 2);
    EXPECT_TRUE(static_cast<CKBeObject*>(copy)->IsInGroup(group));

    CKObject* groupCopy = m_Context->CopyObjects(group, &dependencies);
    ASSERT_NE(groupCopy, nullptr);
    auto* g = static_cast<CKGroup*>(groupCopy);
    EXPECT_EQ(g->GetObjectCount(), 2);
    EXPECT_NE(g->GetObject(0), a) << "the members were copied with the group";
    EXPECT_TRUE(g->GetObject(0)->IsInGroup(g));
}

#include "core/scene/CKGroup.h"

#include <gtest/gtest.h>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKFunctions.h"
#include "core/object/CKDependencies.h"
#include "tests/core/scene/SceneTestSupport.h"

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

TEST_F(GroupTest, MembersAreKeptInOrderWithTheirBitsAndNeverTheGroupItself)
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
    // A group never holds itself at any depth.
    CKGroup* ga = NewGroup("GA");
    CKGroup* gb = NewGroup("GB");
    CKGroup* c = NewGroup("C");
    EXPECT_EQ(ga->AddObject(ga), CKErr::InvalidParameter);
    EXPECT_EQ(ga->AddObject(gb), CKErr::Ok);
    EXPECT_EQ(gb->AddObject(ga), CKErr::InvalidParameter);
    EXPECT_EQ(gb->AddObject(c), CKErr::Ok);
    EXPECT_EQ(c->AddObject(ga), CKErr::InvalidParameter) << "a ring of three";
    EXPECT_EQ(c->GetObjectCount(), 0);
    EXPECT_FALSE(ga->IsInGroup(c));
    CKGroup* d = NewGroup("D");
    EXPECT_EQ(d->AddObject(ga), CKErr::Ok) << "holding a chain is fine";
    EXPECT_EQ(c->AddObject(d), CKErr::InvalidParameter) << "through a fourth group too";
}

TEST_F(GroupTest, ShowAndScenesReachNestedMembers)
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
    // Members join and leave scenes with the group, at any depth.
    CKLevel* level = NewLevel();
    level->AddObject(outer);
    CKScene* scene = level->GetLevelScene();
    EXPECT_TRUE(scene->IsObjectHere(inner));
    EXPECT_TRUE(scene->IsObjectHere(b));
    outer->RemoveFromScene(scene, TRUE);
    EXPECT_FALSE(scene->IsObjectHere(outer));
    EXPECT_FALSE(scene->IsObjectHere(b));
}

TEST_F(GroupTest, DeletingAMemberOrTheGroupClearsTheBitsAndCopiesJoinTheSourcesGroups)
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

    // Copies belong to the groups of their sources.
    next->AddObject(c);
    CKDependencies dependencies;
    dependencies.m_Flags = CK_DEPENDENCIES_ALL;
    CKObject* copy = m_Context->CopyObjects(c, &dependencies);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(next->GetObjectCount(), 2);
    EXPECT_TRUE(static_cast<CKBeObject*>(copy)->IsInGroup(next));
    auto* g = static_cast<CKGroup*>(m_Context->CopyObjects(next, &dependencies));
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->GetObjectCount(), 2);
    EXPECT_NE(g->GetObject(0), c) << "the members were copied with the group";
    EXPECT_TRUE(g->GetObject(0)->IsInGroup(g));
}

TEST_F(GroupTest, ChunksWithoutAFileEmptyFlaggedOrHostileLoadAtOnce)
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
    // Loading without a file settles the members at once.
    CKGroup* a = NewGroup("A");
    CKGroup* b = NewGroup("B");
    a->AddObject(b);
    CKBeObject* x = NewBeObject();
    TestObject* plain = static_cast<TestObject*>(m_Context->CreateObject(TestObject::m_ClassID));
    chunk = MemberChunk({x->GetID(), 0, 999999, plain->GetID(), a->GetID(), x->GetID(), b->GetID()});
    EXPECT_EQ(b->Load(chunk, nullptr), 0);
    CKDeleteStateChunk(chunk);
    EXPECT_EQ(Members(b), (std::vector<CKBeObject*>{x})) << "nulls, plain objects, rings and doubles go";
    EXPECT_TRUE(x->IsInGroup(b));
    EXPECT_FALSE(a->IsInGroup(b));
}

// Members round trip through files in the whole-level test; a ring in the
// members a file brings is given up after loading.
TEST_F(GroupTest, AFilesRingIsBrokenAfterLoading)
{
    CKGroup* a = NewGroup("A");
    CKGroup* b = NewGroup("B");
    a->AddObject(b);
    CKStateChunk* ring = MemberChunk({a->GetID()});
    LoadWithFile(b, ring);
    CKDeleteStateChunk(ring);
    b->PostLoad();
    EXPECT_EQ(b->GetObjectCount(), 0);
    EXPECT_FALSE(a->IsInGroup(b));
}

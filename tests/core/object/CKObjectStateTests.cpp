#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKFunctions.h"
#include "core/object/CKObjectIDList.h"
#include "tests/core/support/CoreTestSupport.h"

namespace {
using ObjectStateTest = EngineFixture;
}

TEST_F(ObjectStateTest, VisibilityTravelsThroughTheStateChunk)
{
    CKObject* o = m_Context->CreateObject(TestObject::m_ClassID, "A");
    CKObject* back = m_Context->CreateObject(TestObject::m_ClassID, "B");
    struct
    {
        CKDWORD show;
        CKDWORD identifier;
    } cases[] = {
        {CKSHOW, 0}, {CKHIDE, CK_STATESAVE_OBJECTHIDDEN}, {CKHIERARCHICALHIDE, CK_STATESAVE_OBJECTHIERAHIDDEN}};
    for (auto& c : cases) {
        o->Show(c.show);
        CKStateChunk* chunk = CKSaveObjectState(o);
        ASSERT_NE(chunk, nullptr);
        EXPECT_EQ(chunk->GetChunkClassID(), CKCID_OBJECT);
        EXPECT_EQ(chunk->GetDataVersion(), 10);
        chunk->StartRead();
        EXPECT_EQ(chunk->SeekIdentifier(CK_STATESAVE_OBJECTHIDDEN), c.identifier == CK_STATESAVE_OBJECTHIDDEN);
        EXPECT_EQ(chunk->SeekIdentifier(CK_STATESAVE_OBJECTHIERAHIDDEN),
                  c.identifier == CK_STATESAVE_OBJECTHIERAHIDDEN);
        back->Show(c.show == CKSHOW ? CKHIDE : CKSHOW);
        EXPECT_EQ(CKReadObjectState(back, chunk), 0);
        CKDWORD mask = CK_OBJECT_VISIBLE | CK_OBJECT_HIERACHICALHIDE;
        EXPECT_EQ(back->GetObjectFlags() & mask, o->GetObjectFlags() & mask);
        delete chunk;
    }
    EXPECT_EQ(CKSaveObjectState(nullptr), nullptr);
    EXPECT_EQ(CKReadObjectState(nullptr, nullptr), -1);
    EXPECT_EQ(o->Load(nullptr, nullptr), -1);
}

TEST(PackData, RoundTripsAndRefusesWhatDoesNotShrink)
{
    std::vector<char> text(4000);
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = "engine "[i % 7];
    int packedSize = 0;
    char* packed = CKPackData(text.data(), (int) text.size(), packedSize, 9);
    ASSERT_NE(packed, nullptr);
    EXPECT_LT(packedSize, (int) text.size());
    char* unpacked = CKUnPackData((int) text.size(), packed, packedSize);
    ASSERT_NE(unpacked, nullptr);
    EXPECT_EQ(std::memcmp(unpacked, text.data(), text.size()), 0);
    delete[] unpacked;
    // A wrong stated size is a failure.
    EXPECT_EQ(CKUnPackData((int) text.size() + 1, packed, packedSize), nullptr);
    EXPECT_EQ(CKUnPackData((int) text.size() - 1, packed, packedSize), nullptr);
    // Truncated or damaged input fails without a leak.
    for (int cut = 0; cut < packedSize; cut += 7)
        EXPECT_EQ(CKUnPackData((int) text.size(), packed, cut), nullptr);
    delete[] packed;

    std::mt19937 random(5);
    std::vector<char> noise(100);
    for (char& c : noise)
        c = (char) random();
    EXPECT_EQ(CKPackData(noise.data(), 100, packedSize, 9), nullptr);
    EXPECT_EQ(CKComputeDataCRC("", 0, 1), 1u);
    EXPECT_EQ(CKComputeDataCRC("abc", 3, 1), 0x024d0127u);
}

TEST(SmallHelpers, CopiesAndFileNames)
{
    char* s = CKStrndup("abcdef", 3);
    EXPECT_STREQ(s, "abc");
    CKFreeString(s);
    EXPECT_EQ(CKStrdup(nullptr), nullptr);
    CKDWORD record[4] = {16, 1, 2, 3};
    CKDWORD* copy = static_cast<CKDWORD*>(CKCopySizedRecord(record));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(std::memcmp(copy, record, 16), 0);
    delete[] reinterpret_cast<char*>(copy);
    CKDWORD zero = 0, big = 256;
    EXPECT_EQ(CKCopySizedRecord(&zero), nullptr);
    EXPECT_EQ(CKCopySizedRecord(&big), nullptr);
    XString path("c:\\data\\textures\\wood.png");
    EXPECT_STREQ(CKGetFileNameFromPath(path), "wood.png");
    XString empty;
    EXPECT_STREQ(CKGetFileNameFromPath(empty), "");
    EXPECT_EQ(CKReturnArgument(42), 42u);
}

TEST(ObjectIDList, CursorFollowsInsertionsAndRemovals)
{
    CKObjectIDList list;
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.RemoveFront(), 0u);
    list.InsertRear(10);
    EXPECT_EQ(list.GetCurrentID(), 10u);
    list.InsertRear(20);
    list.InsertFront(5);
    EXPECT_EQ(list.GetCursorIndex(), 1);
    EXPECT_EQ(list.GetCount(), 3);
    list.Reset();
    std::vector<CK_ID> seen;
    for (; !list.EndOfList(); list.Next())
        seen.push_back(list.GetCurrentID());
    EXPECT_EQ(seen, (std::vector<CK_ID>{5, 10, 20}));
    EXPECT_EQ(list.GetCursorIndex(), -1);
    EXPECT_TRUE(list.FindID(20));
    EXPECT_EQ(list.GetCursorIndex(), 2);
    list.Reset();
    CKObjectIDList copy(list);
    EXPECT_EQ(copy.GetCount(), 3);
    EXPECT_EQ(list.RemoveCurrent(), 5u);
    EXPECT_EQ(list.GetCurrentID(), 10u);
    EXPECT_EQ(list.RemoveRear(), 20u);
    EXPECT_EQ(list.RemoveFront(), 10u);
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_FALSE(copy.FindID(99));
}

TEST(ObjectIDList, RemovingAnEndKeepsTheCursorOnItsNodeOrMovesItToTheNewEnd)
{
    CKObjectIDList list;
    for (CK_ID id : {1u, 2u, 3u, 4u})
        list.InsertRear(id);
    list.Reset();
    list.Next();
    list.Next();
    EXPECT_EQ(list.RemoveFront(), 1u);
    EXPECT_EQ(list.GetCurrentID(), 3u);
    EXPECT_EQ(list.GetCursorIndex(), 1) << "one node fewer before the cursor";
    EXPECT_EQ(list.RemoveRear(), 4u);
    EXPECT_EQ(list.GetCursorIndex(), 1) << "a rear removal leaves the index alone";
    EXPECT_EQ(list.RemoveRear(), 3u);
    EXPECT_EQ(list.GetCurrentID(), 2u) << "the cursor moves to the new rear";
    EXPECT_EQ(list.GetCursorIndex(), 0);
    EXPECT_EQ(list.RemoveFront(), 2u);
    EXPECT_TRUE(list.EndOfList());
    EXPECT_EQ(list.GetCursorIndex(), -1);
    list.InsertFront(7);
    EXPECT_EQ(list.GetCurrentID(), 7u) << "the first node takes the cursor";
    list.InsertFront(6);
    EXPECT_EQ(list.GetCursorIndex(), 1);
}

TEST_F(ObjectStateTest, IdListChecksAgainstTheContext)
{
    CKObject* a = m_Context->CreateObject(TestObject::m_ClassID, "A");
    CKObject* b = m_Context->CreateObject(TestObject::m_ClassID, "B");
    CKObjectIDList* list = CKCreateIdList();
    list->InsertRearObject(a);
    list->InsertRearObject(b);
    list->InsertRearObject(nullptr);
    EXPECT_EQ(list->GetCount(), 2);
    list->Reset();
    list->Next();
    EXPECT_EQ(list->ContainsObject(a), a->GetID());
    EXPECT_EQ(list->GetCursorIndex(), 1);
    EXPECT_EQ(list->GetCurrentObject(m_Context), b);
    m_Context->DestroyObject(a);
    EXPECT_TRUE(list->Check(m_Context));
    EXPECT_EQ(list->GetCount(), 1);
    EXPECT_EQ(list->GetCursorIndex(), 0);
    EXPECT_FALSE(list->Check(m_Context));
    CKDeleteIdList(list);
}

#include "core/chunk/CKStateChunk.h"

#include <gtest/gtest.h>

#include "core/file/CKFile.h"
#include "tests/core/support/ChunkTestSupport.h"

// Byte layouts written by hand from the tables of the serialised form. Each
// vector is a list of little-endian words; the first is the header word
// (data version, class id, chunk version, options from the low byte up).

namespace {

constexpr CKDWORD Header(CKBYTE dataVersion, CKBYTE classId, CKBYTE chunkVersion, CKBYTE options)
{
    return (CKDWORD) dataVersion | ((CKDWORD) classId << 8) | ((CKDWORD) chunkVersion << 16) |
           ((CKDWORD) options << 24);
}

constexpr CKDWORD Text(char a, char b, char c, char d)
{
    return (CKDWORD) (CKBYTE) a | ((CKDWORD) (CKBYTE) b << 8) | ((CKDWORD) (CKBYTE) c << 16) |
           ((CKDWORD) (CKBYTE) d << 24);
}

} // namespace

TEST(CKStateChunkGolden, EmptyChunkIsItsHeaderAndAZeroWord)
{
    ChunkPtr fresh = NewChunk(5);
    EXPECT_EQ(SerialisedWords(fresh.get()), (Words{Header(0, 5, 0, 0x10), 0}));

    ChunkPtr written = NewChunk(5);
    written->StartWrite();
    written->CloseChunk();
    EXPECT_EQ(SerialisedWords(written.get()), (Words{Header(0, 5, 7, 0x10), 0}));
    EXPECT_EQ(written->GetBuffer(), nullptr);

    ChunkPtr back = ChunkFromWords(SerialisedWords(written.get()));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->GetDataSize(), 0);
    EXPECT_EQ(back->GetChunkClassID(), 5);
    EXPECT_EQ(back->GetChunkVersion(), 7);
    back->StartRead();
    EXPECT_FALSE(back->SeekIdentifier(1));
    EXPECT_EQ(back->SeekIdentifierAndReturnSize(1), -1);
}

TEST(CKStateChunkGolden, OneIdentifierIsTwoDataWords)
{
    ChunkPtr chunk = NewChunk(1);
    chunk->StartWrite();
    chunk->SetDataVersion(10);
    chunk->WriteIdentifier(4);
    EXPECT_EQ(chunk->ConvertToBuffer(nullptr), 4 + 4 * 3);
    EXPECT_EQ(SerialisedWords(chunk.get()), (Words{Header(10, 1, 7, 0x10), 2, 4, 0}));
}

TEST(CKStateChunkGolden, StringFormsCountTheTerminatorAndPadToWords)
{
    ChunkPtr chunk = NewChunk(2);
    chunk->StartWrite();
    chunk->WriteString("abc");
    chunk->WriteString("abcd");
    chunk->WriteString(nullptr);
    chunk->WriteBuffer(0, "x");
    EXPECT_EQ(SerialisedWords(chunk.get()),
              (Words{Header(0, 2, 7, 0x10), 7, 4, Text('a', 'b', 'c', 0), 5, Text('a', 'b', 'c', 'd'), 0, 0, 0}));

    ChunkPtr back = ChunkFromWords(SerialisedWords(chunk.get()));
    ASSERT_NE(back, nullptr);
    back->StartRead();
    char* text = nullptr;
    EXPECT_EQ(back->ReadString(&text), 4);
    EXPECT_STREQ(text, "abc");
    delete[] text;
    EXPECT_STREQ(back->ReadXString().CStr(), "abcd");
    EXPECT_EQ(back->ReadString(&text), 0);
    EXPECT_EQ(text, nullptr);
    void* buffer = reinterpret_cast<void*>(1);
    EXPECT_EQ(back->ReadBuffer(&buffer), 0);
    EXPECT_EQ(buffer, nullptr);
    EXPECT_EQ(back->GetReadError(), 0);
}

TEST(CKStateChunkGolden, BoundNullReferenceIsMinusOneAndReadsBackAsNone)
{
    CKFile file(nullptr);
    file.AddObjectRecord(40, 1);
    file.AddObjectRecord(41, 1);
    ChunkPtr chunk = NewChunk(1, &file);
    chunk->StartWrite();
    chunk->WriteObjectID(0);
    chunk->WriteObjectID(41);
    chunk->WriteObjectID(99); // not among the saved objects
    EXPECT_EQ(SerialisedWords(chunk.get()), (Words{Header(0, 1, 7, 0x18), 3, 0xFFFFFFFF, 1, 0xFFFFFFFF}));

    // On load record 1 became object 77.
    file.m_FileObjects[1].m_CreatedObject = 77;
    ChunkPtr back = ChunkFromWords(SerialisedWords(chunk.get()), &file);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->GetFile(), &file);
    back->StartRead();
    EXPECT_EQ(back->ReadObjectID(), 0u);
    EXPECT_EQ(back->ReadObjectID(), 77u);
    EXPECT_EQ(back->ReadObjectID(), 0u);
    EXPECT_EQ(back->GetReadError(), 0);

    // With resolution mode 1 the words are saved ids, looked up in the records.
    file.m_FileObjects[0].m_CreatedObject = 76;
    ChunkPtr saved = ChunkFromWords({Header(0, 1, 7, 0x18), 3, 41, 40, 99}, &file);
    ASSERT_NE(saved, nullptr);
    saved->SetIDResolutionMode(1);
    saved->StartRead();
    EXPECT_EQ(saved->ReadObjectID(), 77u);
    EXPECT_EQ(saved->ReadObjectID(), 76u);
    EXPECT_EQ(saved->ReadObjectID(), 0u);
}

TEST(CKStateChunkGolden, SubChunkItemFollowsItsIdentifierWithHeaderDataAndLists)
{
    ChunkPtr sub = NewChunk(33);
    sub->StartWrite();
    sub->SetDataVersion(2);
    sub->WriteIdentifier(9);
    sub->WriteObjectID(12);

    ChunkPtr parent = NewChunk(19);
    parent->StartWrite();
    parent->WriteIdentifier(1);
    parent->WriteSubChunk(sub.get());
    parent->WriteSubChunk(nullptr);

    // Sub-chunk: N = 3 (identifier 9, link, reference 12), one object-id entry (2).
    const Words item = {11, 33, 2 | (7u << 16), 3, 0, 1, 0, 0, 9, 0, 12, 2};
    Words expected = {Header(0, 19, 7, 0x10 | 0x04), 2 + (CKDWORD) item.size() + 1, 1, 0};
    expected.insert(expected.end(), item.begin(), item.end());
    expected.push_back(0); // the null sub-chunk
    expected.push_back(1); // sub-chunk list: one entry
    expected.push_back(2); // at word 2
    EXPECT_EQ(SerialisedWords(parent.get()), expected);

    ChunkPtr back = ChunkFromWords(expected);
    ASSERT_NE(back, nullptr);
    ASSERT_TRUE(back->SeekIdentifier(1));
    ChunkPtr read(back->ReadSubChunk());
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->GetChunkClassID(), 33);
    EXPECT_EQ(read->GetDataVersion(), 2);
    EXPECT_EQ(read->GetChunkVersion(), 7);
    EXPECT_EQ(read->GetChunkOptions(), 0x10 | 0x01);
    EXPECT_EQ(SerialisedWords(read.get()), (Words{Header(2, 33, 7, 0x11), 3, 9, 0, 12, 1, 2}));
    EXPECT_EQ(back->ReadSubChunk(), nullptr);
    EXPECT_EQ(back->GetReadError(), 0);
}

TEST(CKStateChunkGolden, ObjectAndManagerListsRecordSinglesAndSequences)
{
    const CKGUID manager(0x3D242466, 0);
    ChunkPtr chunk = NewChunk(19);
    chunk->StartWrite();
    chunk->WriteIdentifier(17);
    chunk->WriteObjectID(5);         // word 2
    chunk->WriteObjectID(0);         // not recorded
    chunk->StartObjectIDSequence(2); // count at word 4
    chunk->WriteObjectIDSequenceItem(6);
    chunk->WriteObjectIDSequenceItem(0);
    chunk->StartObjectIDSequence(0);         // not recorded
    chunk->WriteManagerInt(manager, 3);      // word 8
    chunk->StartManagerSequence(manager, 2); // word 11
    chunk->WriteInt(4);
    chunk->WriteInt(5);
    // Data, then the object list (single entries, -1 and a sequence's
    // start), then the manager list alike.
    const CKDWORD h = Header(0, 19, 7, 0x10 | 0x01 | 0x02);
    const CKDWORD g = 0x3D242466;
    const Words expected = {h, 16, 17, 0, 5, 0, 2, 6, 0, 0, g, 0, 3, 2, g, 0, 4, 5, 3, 2, -1u, 4, 3, 8, -1u, 11};
    EXPECT_EQ(SerialisedWords(chunk.get()), expected);
}

TEST(CKStateChunkGolden, OlderVersionsAreReadIntoTheirOwnLayout)
{
    struct Case
    {
        Words raw;
        int classId, dataVersion, chunkVersion, options;
        Words serialised;
    };
    // Version 5: header, class, N, ignored, I, C, M, data, ids, managers;
    // the options are rebuilt from the lists.
    const Words five = {Header(4, 0, 5, 0xFF), 21, 3, 0xABCD, 2, 0, 1, 10, 11, 12, 0, 1, 2};
    const Words fiveOut = {Header(4, 21, 5, 0x03), 3, 10, 11, 12, 2, 0, 1, 1, 2};
    const Case cases[] = {
        // Version 8 is accepted as empty, its header kept.
        {{Header(3, 9, 8, 0x01), 5, 1, 2}, 9, 3, 8, 0x01, {Header(3, 9, 8, 0x01), 0}},
        {five, 21, 4, 5, 0x03, fiveOut},
        // Version 4 has no manager count and its data at word 6.
        {{Header(0, 0, 4, 0), 21, 2, 0, 1, 0, 10, 11, 0}, 21, 0, 4, 0x01, {Header(0, 21, 4, 0x01), 2, 10, 11, 1, 0}},
    };
    for (const Case& c : cases) {
        ChunkPtr chunk = ChunkFromWords(c.raw);
        ASSERT_NE(chunk, nullptr);
        EXPECT_EQ(chunk->GetChunkClassID(), c.classId);
        EXPECT_EQ(chunk->GetDataVersion(), c.dataVersion);
        EXPECT_EQ(chunk->GetChunkVersion(), c.chunkVersion);
        EXPECT_EQ(chunk->GetChunkOptions(), c.options);
        EXPECT_EQ(SerialisedWords(chunk.get()), c.serialised);
    }
    EXPECT_EQ(ChunkFromWords({Header(0, 0, 5, 0), 21, 0, 0, 0, 0, 0}), nullptr) << "an old form without data";
}

TEST(CKStateChunkGolden, MarkerReferencesOfOldChunksReadAsTheirIds)
{
    const CKDWORD* o = CHUNK_OLD_OBJECT_MARKER;
    const CKDWORD* q = CHUNK_OLD_SEQUENCE_MARKER;
    // No lists: the references are found by their marker runs.
    const Words raw = {
        Header(0, 0, 3, 0), 21, 13, 0, 0, 0, o[0], o[1], o[2], 42, 0, q[0], q[1], q[2], q[3], q[4], 2, 7, 8};
    ChunkPtr chunk = ChunkFromWords(raw);
    ASSERT_NE(chunk, nullptr);
    chunk->StartRead();
    EXPECT_EQ(chunk->ReadObjectID(), 42u);
    EXPECT_EQ(chunk->ReadObjectID(), 0u);
    XObjectArray ids = chunk->ReadXObjectArray();
    ASSERT_EQ(ids.Size(), 2);
    EXPECT_EQ(ids[0], 7u);
    EXPECT_EQ(ids[1], 8u);
    EXPECT_EQ(chunk->GetReadError(), 0);
}

TEST(CKStateChunkGolden, OldSubChunkItemCarriesOnlyItsData)
{
    // A version-7 parent holding an item whose word 2 plus 4 equals S:
    // class id, data size 2, an ignored word, the data.
    const Words raw = {Header(0, 1, 7, 0), 7, 6, 40, 2, 0xEEEE, 5, 6, 99};
    ChunkPtr chunk = ChunkFromWords(raw);
    ASSERT_NE(chunk, nullptr);
    chunk->StartRead();
    ChunkPtr sub(chunk->ReadSubChunk());
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(sub->GetChunkClassID(), 40);
    EXPECT_EQ(sub->GetChunkVersion(), 0);
    EXPECT_EQ(SerialisedWords(sub.get()), (Words{Header(0, 40, 0, 0x10), 2, 5, 6}));
    EXPECT_EQ(chunk->ReadInt(), 99);
}

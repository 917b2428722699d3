#include "core/chunk/CKStateChunk.h"

#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "core/file/CKFile.h"
#include "includes/CKByteOrder.h"

// Byte layouts written by hand from the tables of the serialised form. Each
// vector is a list of little-endian words; the first is the header word
// (data version, class id, chunk version, options from the low byte up).

namespace {

using Words = std::vector<CKDWORD>;

constexpr CKDWORD Header(CKBYTE dataVersion, CKBYTE classId, CKBYTE chunkVersion, CKBYTE options)
{
    return (CKDWORD) dataVersion | ((CKDWORD) classId << 8) | ((CKDWORD) chunkVersion << 16) |
           ((CKDWORD) options << 24);
}

Words Serialise(CKStateChunk* chunk)
{
    int size = chunk->ConvertToBuffer(nullptr);
    std::vector<CKBYTE> bytes((size_t) size, 0xCD);
    EXPECT_EQ(chunk->ConvertToBuffer(bytes.data()), size);
    EXPECT_EQ(size % 4, 0);
    Words words((size_t) size / 4);
    for (size_t i = 0; i < words.size(); ++i)
        words[i] = LoadLE32(&bytes[4 * i]);
    return words;
}

std::vector<CKBYTE> ToBytes(const Words& words)
{
    std::vector<CKBYTE> bytes(words.size() * 4);
    for (size_t i = 0; i < words.size(); ++i)
        StoreLE32(&bytes[4 * i], words[i]);
    return bytes;
}

// A chunk read back from hand-written words (copied, not borrowed).
CKStateChunk* FromWords(const Words& words, CKFile* file = nullptr)
{
    CKStateChunk* chunk = CKCreateStateChunk(0, file);
    std::vector<CKBYTE> bytes = ToBytes(words);
    EXPECT_TRUE(chunk->ConvertFromBuffer(bytes.data(), (int) bytes.size()));
    return chunk;
}

constexpr CKDWORD Text(char a, char b, char c, char d)
{
    return (CKDWORD) (CKBYTE) a | ((CKDWORD) (CKBYTE) b << 8) | ((CKDWORD) (CKBYTE) c << 16) |
           ((CKDWORD) (CKBYTE) d << 24);
}

} // namespace

TEST(CKStateChunkGolden, EmptyChunkIsItsHeaderAndAZeroWord)
{
    CKStateChunk* fresh = CKCreateStateChunk(5);
    EXPECT_EQ(Serialise(fresh), (Words{Header(0, 5, 0, 0x10), 0}));

    CKStateChunk* written = CKCreateStateChunk(5);
    written->StartWrite();
    written->CloseChunk();
    EXPECT_EQ(Serialise(written), (Words{Header(0, 5, 7, 0x10), 0}));
    EXPECT_EQ(written->GetBuffer(), nullptr);

    CKStateChunk* back = FromWords(Serialise(written));
    EXPECT_EQ(back->GetDataSize(), 0);
    EXPECT_EQ(back->GetChunkClassID(), 5);
    EXPECT_EQ(back->GetChunkVersion(), 7);
    back->StartRead();
    EXPECT_FALSE(back->SeekIdentifier(1));
    EXPECT_EQ(back->SeekIdentifierAndReturnSize(1), -1);
    CKDeleteStateChunk(fresh);
    CKDeleteStateChunk(written);
    CKDeleteStateChunk(back);
}

TEST(CKStateChunkGolden, OneIdentifierIsTwoDataWords)
{
    CKStateChunk* chunk = CKCreateStateChunk(1);
    chunk->StartWrite();
    chunk->SetDataVersion(10);
    chunk->WriteIdentifier(4);
    EXPECT_EQ(chunk->ConvertToBuffer(nullptr), 4 + 4 * 3);
    EXPECT_EQ(Serialise(chunk), (Words{Header(10, 1, 7, 0x10), 2, 4, 0}));
    CKDeleteStateChunk(chunk);
}

TEST(CKStateChunkGolden, StringFormsCountTheTerminatorAndPadToWords)
{
    CKStateChunk* chunk = CKCreateStateChunk(2);
    chunk->StartWrite();
    chunk->WriteString("abc");
    chunk->WriteString("abcd");
    chunk->WriteString(nullptr);
    chunk->WriteBuffer(0, "x");
    EXPECT_EQ(Serialise(chunk),
              (Words{Header(0, 2, 7, 0x10), 7, 4, Text('a', 'b', 'c', 0), 5, Text('a', 'b', 'c', 'd'), 0, 0, 0}));

    CKStateChunk* back = FromWords(Serialise(chunk));
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
    CKDeleteStateChunk(chunk);
    CKDeleteStateChunk(back);
}

TEST(CKStateChunkGolden, BoundNullReferenceIsMinusOneAndReadsBackAsNone)
{
    CKFile file(nullptr);
    file.AddObjectRecord(40, 1);
    file.AddObjectRecord(41, 1);
    CKStateChunk* chunk = CKCreateStateChunk(1, &file);
    chunk->StartWrite();
    chunk->WriteObjectID(0);
    chunk->WriteObjectID(41);
    chunk->WriteObjectID(99); // not among the saved objects
    EXPECT_EQ(Serialise(chunk), (Words{Header(0, 1, 7, 0x18), 3, 0xFFFFFFFF, 1, 0xFFFFFFFF}));

    // On load record 1 became object 77.
    file.m_FileObjects[1].m_CreatedObject = 77;
    CKStateChunk* back = FromWords(Serialise(chunk), &file);
    EXPECT_EQ(back->GetFile(), &file);
    back->StartRead();
    EXPECT_EQ(back->ReadObjectID(), 0u);
    EXPECT_EQ(back->ReadObjectID(), 77u);
    EXPECT_EQ(back->ReadObjectID(), 0u);
    EXPECT_EQ(back->GetReadError(), 0);
    CKDeleteStateChunk(chunk);
    CKDeleteStateChunk(back);
}

TEST(CKStateChunkGolden, SubChunkItemFollowsItsIdentifierWithHeaderDataAndLists)
{
    CKStateChunk* sub = CKCreateStateChunk(33);
    sub->StartWrite();
    sub->SetDataVersion(2);
    sub->WriteIdentifier(9);
    sub->WriteObjectID(12);

    CKStateChunk* parent = CKCreateStateChunk(19);
    parent->StartWrite();
    parent->WriteIdentifier(1);
    parent->WriteSubChunk(sub);
    parent->WriteSubChunk(nullptr);

    // Sub-chunk: N = 3 (identifier 9, link, reference 12), one object-id entry (2).
    const Words item = {11, 33, 2 | (7u << 16), 3, 0, 1, 0, 0, 9, 0, 12, 2};
    Words expected = {Header(0, 19, 7, 0x10 | 0x04), 2 + (CKDWORD) item.size() + 1, 1, 0};
    expected.insert(expected.end(), item.begin(), item.end());
    expected.push_back(0); // the null sub-chunk
    expected.push_back(1); // sub-chunk list: one entry
    expected.push_back(2); // at word 2
    EXPECT_EQ(Serialise(parent), expected);

    CKStateChunk* back = FromWords(expected);
    ASSERT_TRUE(back->SeekIdentifier(1));
    CKStateChunk* read = back->ReadSubChunk();
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->GetChunkClassID(), 33);
    EXPECT_EQ(read->GetDataVersion(), 2);
    EXPECT_EQ(read->GetChunkVersion(), 7);
    EXPECT_EQ(read->GetChunkOptions(), 0x10 | 0x01);
    EXPECT_EQ(Serialise(read), (Words{Header(2, 33, 7, 0x11), 3, 9, 0, 12, 1, 2}));
    EXPECT_EQ(back->ReadSubChunk(), nullptr);
    EXPECT_EQ(back->GetReadError(), 0);
    CKDeleteStateChunk(read);
    CKDeleteStateChunk(back);
    CKDeleteStateChunk(parent);
    CKDeleteStateChunk(sub);
}

TEST(CKStateChunkGolden, ObjectAndManagerListsRecordSinglesAndSequences)
{
    const CKGUID manager(0x3D242466, 0);
    CKStateChunk* chunk = CKCreateStateChunk(19);
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
    EXPECT_EQ(Serialise(chunk), (Words{Header(0, 19, 7, 0x10 | 0x01 | 0x02),
                                       16,
                                       17,
                                       0,
                                       5,
                                       0,
                                       2,
                                       6,
                                       0,
                                       0,
                                       0x3D242466,
                                       0,
                                       3,
                                       2,
                                       0x3D242466,
                                       0,
                                       4,
                                       5,
                                       3,
                                       2,
                                       0xFFFFFFFF,
                                       4,
                                       3,
                                       8,
                                       0xFFFFFFFF,
                                       11}));
    CKDeleteStateChunk(chunk);
}

TEST(CKStateChunkGolden, VersionEightIsAcceptedAsEmptyWithItsHeaderKept)
{
    const Words raw = {Header(3, 9, 8, 0x01), 5, 1, 2};
    CKStateChunk* chunk = FromWords(raw);
    EXPECT_EQ(chunk->GetChunkVersion(), 8);
    EXPECT_EQ(chunk->GetDataVersion(), 3);
    EXPECT_EQ(chunk->GetChunkClassID(), 9);
    EXPECT_EQ(chunk->GetDataSize(), 0);
    EXPECT_EQ(Serialise(chunk), (Words{Header(3, 9, 8, 0x01), 0}));
    CKDeleteStateChunk(chunk);
}

TEST(CKStateChunkGolden, VersionFiveRebuildsItsListsWithOptions)
{
    // header, class, N, ignored, I, C, M, data, ids, managers
    const Words raw = {Header(4, 0, 5, 0xFF), 21, 3, 0xABCD, 2, 0, 1, 10, 11, 12, 0, 1, 2};
    CKStateChunk* chunk = FromWords(raw);
    EXPECT_EQ(chunk->GetChunkClassID(), 21);
    EXPECT_EQ(chunk->GetDataVersion(), 4);
    EXPECT_EQ(chunk->GetChunkVersion(), 5);
    EXPECT_EQ(chunk->GetChunkOptions(), 0x01 | 0x02);
    EXPECT_EQ(Serialise(chunk), (Words{Header(4, 21, 5, 0x03), 3, 10, 11, 12, 2, 0, 1, 1, 2}));
    CKDeleteStateChunk(chunk);
}

TEST(CKStateChunkGolden, VersionFourHasNoManagerCountAndDataAtWordSix)
{
    const Words raw = {Header(0, 0, 4, 0), 21, 2, 0, 1, 0, 10, 11, 0};
    CKStateChunk* chunk = FromWords(raw);
    EXPECT_EQ(chunk->GetChunkOptions(), 0x01);
    EXPECT_EQ(Serialise(chunk), (Words{Header(0, 21, 4, 0x01), 2, 10, 11, 1, 0}));
    CKDeleteStateChunk(chunk);
}

TEST(CKStateChunkGolden, OldFormWithoutDataIsRefused)
{
    const std::vector<CKBYTE> bytes = ToBytes({Header(0, 0, 5, 0), 21, 0, 0, 0, 0, 0});
    CKStateChunk* chunk = CKCreateStateChunk(0);
    EXPECT_FALSE(chunk->ConvertFromBuffer(bytes.data(), (int) bytes.size()));
    CKDeleteStateChunk(chunk);
}

TEST(CKStateChunkGolden, MarkerReferencesOfOldChunksReadAsTheirIds)
{
    const Words raw = {Header(0, 0, 3, 0),
                       21,
                       13,
                       0,
                       0,
                       0, // no lists
                       CHUNK_OLD_OBJECT_MARKER[0],
                       CHUNK_OLD_OBJECT_MARKER[1],
                       CHUNK_OLD_OBJECT_MARKER[2],
                       42,
                       0,
                       CHUNK_OLD_SEQUENCE_MARKER[0],
                       CHUNK_OLD_SEQUENCE_MARKER[1],
                       CHUNK_OLD_SEQUENCE_MARKER[2],
                       CHUNK_OLD_SEQUENCE_MARKER[3],
                       CHUNK_OLD_SEQUENCE_MARKER[4],
                       2,
                       7,
                       8};
    CKStateChunk* chunk = FromWords(raw);
    chunk->StartRead();
    EXPECT_EQ(chunk->ReadObjectID(), 42u);
    EXPECT_EQ(chunk->ReadObjectID(), 0u);
    XObjectArray ids = chunk->ReadXObjectArray();
    ASSERT_EQ(ids.Size(), 2);
    EXPECT_EQ(ids[0], 7u);
    EXPECT_EQ(ids[1], 8u);
    EXPECT_EQ(chunk->GetReadError(), 0);
    CKDeleteStateChunk(chunk);
}

TEST(CKStateChunkGolden, OldSubChunkItemCarriesOnlyItsData)
{
    // A version-7 parent holding an item whose word 2 plus 4 equals S:
    // class id, data size 2, an ignored word, the data.
    const Words raw = {Header(0, 1, 7, 0), 7, 6, 40, 2, 0xEEEE, 5, 6, 99};
    CKStateChunk* chunk = FromWords(raw);
    chunk->StartRead();
    CKStateChunk* sub = chunk->ReadSubChunk();
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(sub->GetChunkClassID(), 40);
    EXPECT_EQ(sub->GetChunkVersion(), 0);
    EXPECT_EQ(Serialise(sub), (Words{Header(0, 40, 0, 0x10), 2, 5, 6}));
    EXPECT_EQ(chunk->ReadInt(), 99);
    CKDeleteStateChunk(sub);
    CKDeleteStateChunk(chunk);
}

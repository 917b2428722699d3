#include "core/chunk/CKStateChunk.h"

#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "core/context/CKDefines.h"
#include "includes/CKByteOrder.h"

// Outside bytes: cut chunks, lists that point anywhere, nesting without end.

namespace {

std::vector<CKBYTE> Bytes(CKStateChunk* chunk)
{
    std::vector<CKBYTE> bytes((size_t) chunk->ConvertToBuffer(nullptr));
    chunk->ConvertToBuffer(bytes.data());
    return bytes;
}

std::vector<CKBYTE> FromWords(const std::vector<CKDWORD>& words)
{
    std::vector<CKBYTE> bytes(words.size() * 4);
    for (size_t i = 0; i < words.size(); ++i)
        StoreLE32(&bytes[4 * i], words[i]);
    return bytes;
}

CKStateChunk* RichChunk()
{
    CKStateChunk* sub = CKCreateStateChunk(2);
    sub->StartWrite();
    sub->WriteIdentifier(3);
    sub->WriteObjectID(8);
    sub->WriteManagerInt(CKGUID(5, 6), 1);
    CKStateChunk* chunk = CKCreateStateChunk(19);
    chunk->StartWrite();
    chunk->WriteIdentifier(1);
    chunk->WriteString("text");
    chunk->WriteObjectID(4);
    chunk->WriteIdentifier(2);
    chunk->WriteSubChunk(sub);
    chunk->StartManagerSequence(CKGUID(5, 6), 2);
    chunk->WriteInt(0);
    chunk->WriteInt(1);
    CKDeleteStateChunk(sub);
    return chunk;
}

int CountLevels(ChunkIteratorData*)
{
    return 1;
}

} // namespace

TEST(CKStateChunkHostile, EveryPrefixOfAValidChunkIsRejected)
{
    CKStateChunk* chunk = RichChunk();
    std::vector<CKBYTE> bytes = Bytes(chunk);
    CKStateChunk* back = CKCreateStateChunk(0);
    for (size_t length = 0; length < bytes.size(); ++length) {
        std::vector<CKBYTE> prefix(bytes.begin(), bytes.begin() + (long) length);
        EXPECT_FALSE(back->ConvertFromBuffer(prefix.data(), (int) length)) << length;
        EXPECT_EQ(back->GetReadError(), CKErr::InvalidFile) << length;
        EXPECT_EQ(back->GetBuffer(), nullptr);
    }
    EXPECT_TRUE(back->ConvertFromBuffer(bytes.data(), (int) bytes.size()));
    EXPECT_EQ(back->GetReadError(), 0);
    EXPECT_EQ(Bytes(back), bytes);
    CKDeleteStateChunk(back);
    CKDeleteStateChunk(chunk);
}

TEST(CKStateChunkHostile, EveryPrefixOfAnOldChunkIsRejected)
{
    const std::vector<CKBYTE> bytes = FromWords({0x00050000, 21, 3, 0, 2, 0, 1, 10, 11, 12, 0, 1, 2});
    CKStateChunk* back = CKCreateStateChunk(0);
    for (size_t length = 0; length < bytes.size(); ++length)
        EXPECT_FALSE(back->ConvertFromBuffer(bytes.data(), (int) length)) << length;
    EXPECT_TRUE(back->ConvertFromBuffer(bytes.data(), (int) bytes.size()));
    CKDeleteStateChunk(back);
}

TEST(CKStateChunkHostile, SubChunkItemsThatPassTheirParentAreRefused)
{
    // A sub-chunk item announcing more words than the data holds, then one
    // whose header counts pass its own size.
    for (const std::vector<CKDWORD>& words : {
             std::vector<CKDWORD>{0x10070000, 3, 100, 1, 2},
             std::vector<CKDWORD>{0x10070000, 9, 8, 1, 0x70000, 50, 0, 0, 0, 0, 0},
         }) {
        std::vector<CKBYTE> bytes = FromWords(words);
        CKStateChunk* chunk = CKCreateStateChunk(0);
        ASSERT_TRUE(chunk->ConvertFromBuffer(bytes.data(), (int) bytes.size()));
        chunk->StartRead();
        EXPECT_EQ(chunk->ReadSubChunk(), nullptr);
        EXPECT_EQ(chunk->GetReadError(), CKErr::InvalidFile);
        CKDeleteStateChunk(chunk);
    }
}

TEST(CKStateChunkHostile, CountsLargerThanTheRestGiveEmptyResults)
{
    std::vector<CKBYTE> bytes = FromWords({0x10070000, 4, 0x7FFFFFFF, 1, 2, 3});
    CKStateChunk* chunk = CKCreateStateChunk(0);
    ASSERT_TRUE(chunk->ConvertFromBuffer(bytes.data(), (int) bytes.size()));
    chunk->StartRead();
    EXPECT_EQ(chunk->ReadXObjectArray().Size(), 0);
    EXPECT_EQ(chunk->GetReadError(), CKErr::InvalidFile);
    chunk->StartRead();
    void* block = nullptr;
    EXPECT_EQ(chunk->ReadBuffer(&block), 0);
    EXPECT_EQ(block, nullptr);
    chunk->StartRead();
    char* text = nullptr;
    EXPECT_EQ(chunk->ReadString(&text), 0);
    EXPECT_EQ(text, nullptr);
    chunk->StartRead();
    chunk->ReadInt();
    EXPECT_EQ(chunk->ReadManagerIntSequenceStart(nullptr), 0);
    EXPECT_EQ(chunk->LockReadBuffer(5), nullptr);
    CKDeleteStateChunk(chunk);
}

TEST(CKStateChunkHostile, StringsWithoutTerminatorAreEndedInTheCopy)
{
    std::vector<CKBYTE> bytes = FromWords({0x10070000, 2, 4, 0x64636261});
    CKStateChunk* chunk = CKCreateStateChunk(0);
    ASSERT_TRUE(chunk->ConvertFromBuffer(bytes.data(), (int) bytes.size()));
    chunk->StartRead();
    char* text = nullptr;
    EXPECT_EQ(chunk->ReadString(&text), 4);
    EXPECT_STREQ(text, "abcd");
    delete[] text;
    CKDeleteStateChunk(chunk);
}

TEST(CKStateChunkHostile, NestingBeyondTheLimitStopsTheWalkWithTheError)
{
    CKStateChunk* inner = CKCreateStateChunk(1);
    inner->StartWrite();
    inner->WriteInt(0);
    for (int depth = 0; depth < CHUNK_MAX_NESTING + 5; ++depth) {
        CKStateChunk* outer = CKCreateStateChunk(1);
        outer->StartWrite();
        outer->WriteSubChunk(inner);
        CKDeleteStateChunk(inner);
        inner = outer;
    }
    ChunkIteratorData record;
    inner->StartRead();
    EXPECT_EQ(inner->IterateChunks(&record, CountLevels), CHUNK_MAX_NESTING + 1);
    EXPECT_EQ(inner->GetReadError(), CKErr::InvalidFile);
    CKDeleteStateChunk(inner);
}

TEST(CKStateChunkHostile, RepeatedOrOverlappingListEntriesAreVisitedOnce)
{
    // One sub-chunk item at word 0, listed three times, then a sequence
    // whose count word is inside that item.
    const std::vector<CKDWORD> item = {7, 1, 0x70000, 0, 0, 0, 0, 0};
    std::vector<CKDWORD> words = {0x14070000, (CKDWORD) item.size()};
    words.insert(words.end(), item.begin(), item.end());
    words.insert(words.end(), {5, 0, 0, 0, 0xFFFFFFFF, 1});
    std::vector<CKBYTE> bytes = FromWords(words);
    CKStateChunk* chunk = CKCreateStateChunk(0);
    ASSERT_TRUE(chunk->ConvertFromBuffer(bytes.data(), (int) bytes.size()));
    ChunkIteratorData record;
    EXPECT_EQ(chunk->IterateChunks(&record, CountLevels), 2);
    EXPECT_EQ(chunk->GetReadError(), CKErr::InvalidFile);
    CKDeleteStateChunk(chunk);
}

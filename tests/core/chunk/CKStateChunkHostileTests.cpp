#include "core/chunk/CKStateChunk.h"

#include <vector>

#include <gtest/gtest.h>

#include "core/context/CKDefines.h"
#include "tests/core/support/ChunkTestSupport.h"

// Outside bytes: cut chunks, lists that point anywhere, nesting without end.

namespace {

ChunkPtr RichChunk()
{
    ChunkPtr sub = NewChunk(2);
    sub->StartWrite();
    sub->WriteIdentifier(3);
    sub->WriteObjectID(8);
    sub->WriteManagerInt(CKGUID(5, 6), 1);
    ChunkPtr chunk = NewChunk(19);
    chunk->StartWrite();
    chunk->WriteIdentifier(1);
    chunk->WriteString("text");
    chunk->WriteObjectID(4);
    chunk->WriteIdentifier(2);
    chunk->WriteSubChunk(sub.get());
    chunk->StartManagerSequence(CKGUID(5, 6), 2);
    chunk->WriteInt(0);
    chunk->WriteInt(1);
    return chunk;
}

int CountLevels(ChunkIteratorData*)
{
    return 1;
}

} // namespace

TEST(CKStateChunkHostile, EveryPrefixOfAValidOrAnOldChunkIsRejected)
{
    const std::vector<CKBYTE> old = WordBytes({0x00050000, 21, 3, 0, 2, 0, 1, 10, 11, 12, 0, 1, 2});
    const std::vector<CKBYTE> rich = Serialised(RichChunk().get());
    for (const std::vector<CKBYTE>* file : {&rich, &old}) {
        const std::vector<CKBYTE>& bytes = *file;
        ChunkPtr back = NewChunk(0);
        for (size_t length = 0; length < bytes.size(); ++length) {
            // A copy of exactly the prefix, so that a read past it is caught.
            std::vector<CKBYTE> prefix(bytes.begin(), bytes.begin() + (long) length);
            EXPECT_FALSE(back->ConvertFromBuffer(prefix.data(), (int) length)) << length;
            EXPECT_EQ(back->GetReadError(), CKErr::InvalidFile) << length;
            EXPECT_EQ(back->GetBuffer(), nullptr);
        }
        EXPECT_TRUE(back->ConvertFromBuffer(bytes.data(), (int) bytes.size()));
        EXPECT_EQ(back->GetReadError(), 0);
        if (file == &rich) {
            EXPECT_EQ(Serialised(back.get()), bytes);
        }
    }
}

TEST(CKStateChunkHostile, SubChunkItemsThatPassTheirParentAreRefused)
{
    // A sub-chunk item announcing more words than the data holds, then one
    // whose header counts pass its own size.
    for (const Words& words :
         {Words{0x10070000, 3, 100, 1, 2}, Words{0x10070000, 9, 8, 1, 0x70000, 50, 0, 0, 0, 0, 0}}) {
        ChunkPtr chunk = ChunkFromWords(words);
        ASSERT_NE(chunk, nullptr);
        chunk->StartRead();
        EXPECT_EQ(chunk->ReadSubChunk(), nullptr);
        EXPECT_EQ(chunk->GetReadError(), CKErr::InvalidFile);
    }
}

TEST(CKStateChunkHostile, CountsLargerThanTheRestGiveEmptyResults)
{
    ChunkPtr chunk = ChunkFromWords({0x10070000, 4, 0x7FFFFFFF, 1, 2, 3});
    ASSERT_NE(chunk, nullptr);
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

    // A string without its terminator is ended in the copy.
    chunk = ChunkFromWords({0x10070000, 2, 4, 0x64636261});
    ASSERT_NE(chunk, nullptr);
    chunk->StartRead();
    EXPECT_EQ(chunk->ReadString(&text), 4);
    EXPECT_STREQ(text, "abcd");
    delete[] text;
}

TEST(CKStateChunkHostile, NestingBeyondTheLimitStopsTheWalkWithTheError)
{
    ChunkPtr inner = NewChunk(1);
    inner->StartWrite();
    inner->WriteInt(0);
    for (int depth = 0; depth < CHUNK_MAX_NESTING + 5; ++depth) {
        ChunkPtr outer = NewChunk(1);
        outer->StartWrite();
        outer->WriteSubChunk(inner.get());
        inner = std::move(outer);
    }
    ChunkIteratorData record;
    inner->StartRead();
    EXPECT_EQ(inner->IterateChunks(&record, CountLevels), CHUNK_MAX_NESTING + 1);
    EXPECT_EQ(inner->GetReadError(), CKErr::InvalidFile);
}

TEST(CKStateChunkHostile, RepeatedOrOverlappingListEntriesAreVisitedOnce)
{
    // One sub-chunk item at word 0, listed three times, then a sequence
    // whose count word is inside that item.
    const Words item = {7, 1, 0x70000, 0, 0, 0, 0, 0};
    Words words = {0x14070000, (CKDWORD) item.size()};
    words.insert(words.end(), item.begin(), item.end());
    words.insert(words.end(), {5, 0, 0, 0, 0xFFFFFFFF, 1});
    ChunkPtr chunk = ChunkFromWords(words);
    ASSERT_NE(chunk, nullptr);
    ChunkIteratorData record;
    EXPECT_EQ(chunk->IterateChunks(&record, CountLevels), 2);
    EXPECT_EQ(chunk->GetReadError(), CKErr::InvalidFile);
}

TEST(CKStateChunkHostile, SubChunkItemPartsOneWordPastTheItemAreRefused)
{
    // An item whose data, or one of its lists, is one word long: refused when
    // the item holds only its header (the word would lie past the parent's
    // data, where the buffer ends), read back when the item holds it too.
    // Items are 6 header words under chunk version 4, 7 from version 5.
    constexpr CKDWORD kWord = 0xABCD1234;
    for (int header : {6, 7}) {
        for (int part : {2, 4, 5, 6}) { // item word: data size, then the list counts
            if (part >= header)
                continue;
            for (bool fits : {false, true}) {
                SCOPED_TRACE(testing::Message() << "header " << header << " part " << part << " fits " << fits);
                Words item(1 + (size_t) header, 0);
                item[0] = (CKDWORD) header + (fits ? 1 : 0);
                item[1] = 3;       // class id
                item[2] = 0x70000; // chunk version 7, data version 0
                item[1 + part] = 1;
                if (fits)
                    item.push_back(kWord);
                Words words = header == 7 ? Words{0x00070000, (CKDWORD) item.size()}
                                          : Words{0x00040000, 1, (CKDWORD) item.size(), 0, 0, 0};
                words.insert(words.end(), item.begin(), item.end());
                ChunkPtr chunk = ChunkFromWords(words);
                ASSERT_NE(chunk, nullptr);
                chunk->StartRead();
                ChunkPtr sub(chunk->ReadSubChunk());
                if (!fits) {
                    EXPECT_EQ(sub, nullptr);
                    EXPECT_EQ(chunk->GetReadError(), CKErr::InvalidFile);
                    continue;
                }
                ASSERT_NE(sub, nullptr);
                EXPECT_EQ(chunk->GetReadError(), 0);
                EXPECT_EQ(sub->GetChunkClassID(), 3);
                EXPECT_EQ(sub->GetChunkVersion(), 7);
                const Words expected = part == 2 ? Words{1, kWord} : Words{0, 1, kWord};
                EXPECT_EQ(Words(sub->GetBuffer(), sub->GetBuffer() + expected.size()), expected);
                const CKDWORD lists = CHNK_OPTION_IDS | CHNK_OPTION_MAN | CHNK_OPTION_CHN;
                const CKDWORD bit = part == 4   ? CHNK_OPTION_IDS
                                    : part == 5 ? CHNK_OPTION_CHN
                                    : part == 6 ? CHNK_OPTION_MAN
                                                : 0;
                EXPECT_EQ(sub->GetChunkOptions() & lists, bit);
            }
        }
    }
}

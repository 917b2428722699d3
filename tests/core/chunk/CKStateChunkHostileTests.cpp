#include "core/chunk/CKStateChunk.h"

#include <cstdlib>
#include <cstring>
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

namespace {

// What a walk saw of each level: its data size and the first word of each
// of its lists (0 when empty).
struct WalkedLevel
{
    int DataSize;
    CKDWORD First[3];
    bool operator==(const WalkedLevel&) const = default;
};

std::vector<WalkedLevel>& Walked()
{
    static std::vector<WalkedLevel> levels;
    return levels;
}

int RecordLevel(ChunkIteratorData* r)
{
    Walked().push_back({r->DataSize,
                        {r->ObjectIDCount ? r->ObjectIDs[0] : 0, r->SubChunkCount ? r->SubChunks[0] : 0,
                         r->ManagerCount ? r->Managers[0] : 0}});
    return 1;
}

} // namespace

TEST(CKStateChunkHostile, TheWalkRefusesItemsPastTheirDataAndFindsEveryListOfTheOthers)
{
    // Chunks whose sub-chunk list names the item at word 0 (a sequence of
    // one for the oldest layout, whose items carry no lists).
    auto current = [](Words item) {
        Words words = {0x04070000, (CKDWORD) item.size()};
        words.insert(words.end(), item.begin(), item.end());
        words.insert(words.end(), {1, 0});
        return words;
    };
    auto oldest = [](Words item) {
        Words words = {0x00030000, 1, (CKDWORD) item.size() + 1, 0, 0, 2, 1};
        words.insert(words.end(), item.begin(), item.end());
        words.insert(words.end(), {0xFFFFFFFF, 0});
        return words;
    };
    struct Case
    {
        const char* what;
        Words words;
        std::vector<WalkedLevel> levels; // after the top one
        bool refused;
    };
    const Case cases[] = {
        // Size, class, version pair, data size, file flag, list counts, then the parts.
        {"data a word past the item", current({7, 3, 0x70000, 1, 0, 0, 0, 0}), {}, true},
        {"ids a word past the item", current({7, 3, 0x70000, 0, 0, 1, 0, 0}), {}, true},
        {"sub-chunks a word past the item", current({7, 3, 0x70000, 0, 0, 0, 1, 0}), {}, true},
        {"managers a word past the item", current({7, 3, 0x70000, 0, 0, 0, 0, 1}), {}, true},
        {"every part one word",
         current({11, 3, 0x70000, 1, 0, 1, 1, 1, 0, 0x55, 0, 0x66}),
         {{1, {0x55, 0, 0x66}}},
         false},
        {"an old item that fits", oldest({3, 7, 0, 0}), {}, false},
        {"an old item a word past the data", oldest({3, 7, 1, 0}), {}, true},
        {"an old item shorter than its header", oldest({2, 7, 0}), {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ChunkPtr chunk = ChunkFromWords(c.words);
        ASSERT_NE(chunk, nullptr);
        Walked().clear();
        ChunkIteratorData record;
        chunk->IterateChunks(&record, RecordLevel);
        ASSERT_FALSE(Walked().empty());
        EXPECT_EQ(std::vector<WalkedLevel>(Walked().begin() + 1, Walked().end()), c.levels);
        EXPECT_EQ(chunk->GetReadError(), c.refused ? CKErr::InvalidFile : 0);
    }
}

TEST(CKStateChunkHostile, AppendedChainsAndListEntriesOutsideTheOthersDataAreCut)
{
    // Appended behind one written word: identifier links move by one, a link
    // that turns back or reaches past the last identifier pair is cut, list
    // entries outside the other's data are left out.
    struct Case
    {
        const char* what;
        Words other;
        Words expected; // serialised, without the header word
    };
    const Case cases[] = {
        {"a chain going forward", {0x00070000, 5, 0xA, 2, 0xB, 0, 5}, {6, 7, 0xA, 3, 0xB, 0, 5}},
        {"a link to the last word", {0x00070000, 3, 0xA, 2, 0xB}, {4, 7, 0xA, 0, 0xB}},
        {"a link back", {0x00070000, 5, 0xA, 2, 0xB, 1, 5}, {6, 7, 0xA, 3, 0xB, 0, 5}},
        {"ids at word 1, behind the data and negative",
         {0x01070000, 2, 0xA, 0, 3, 1, 2, 0xFFFFFFFB},
         {3, 7, 0xA, 0, 1, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ChunkPtr other = ChunkFromWords(c.other);
        ASSERT_NE(other, nullptr);
        ChunkPtr chunk = NewChunk(1);
        chunk->StartWrite();
        chunk->WriteInt(7);
        chunk->AddChunk(other.get());
        chunk->CloseChunk();
        const Words words = SerialisedWords(chunk.get());
        ASSERT_GE(words.size(), 1u);
        EXPECT_EQ(Words(words.begin() + 1, words.end()), c.expected);
    }
}

TEST(CKStateChunkHostile, ObjectSequencesAreReadInEveryLayoutAndRefusedPastTheData)
{
    // The sequence 0x11, 0x22 under the header of each layout; the oldest
    // layout keeps its count five words after a marker.
    auto old = [](CKDWORD version, Words data) {
        Words words = {version << 16, 1, (CKDWORD) data.size(), 0, 0, 0};
        if (version == 5)
            words.push_back(0);
        words.insert(words.end(), data.begin(), data.end());
        return words;
    };
    struct Case
    {
        const char* what;
        Words words;
        std::vector<CK_ID> expected;
    };
    const Case cases[] = {
        {"version 3", old(3, {1, 0, 0, 0, 0, 2, 0x11, 0x22}), {0x11, 0x22}},
        {"version 4", old(4, {2, 0x11, 0x22}), {0x11, 0x22}},
        {"version 5", old(5, {2, 0x11, 0x22}), {0x11, 0x22}},
        {"version 7", {0x00070000, 3, 2, 0x11, 0x22}, {0x11, 0x22}},
        {"version 3 counting past the data", old(3, {1, 0, 0, 0, 0, 3, 0x11, 0x22}), {}},
        {"version 3 cut in its marker", old(3, {1, 0, 0, 0}), {}},
        {"version 4 counting past the data", old(4, {3, 0x11, 0x22}), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ChunkPtr chunk = ChunkFromWords(c.words);
        ASSERT_NE(chunk, nullptr);
        chunk->StartRead();
        XObjectArray read = chunk->ReadXObjectArray();
        EXPECT_EQ(std::vector<CK_ID>(read.Begin(), read.End()), c.expected);
        EXPECT_EQ(chunk->GetReadError(), c.expected.empty() ? CKErr::InvalidFile : 0);
    }
}

TEST(CKStateChunkHostile, AnAdoptedBlockShorterThanItsCountsIsRefusedAndFreed)
{
    ChunkPtr source = NewChunk(7);
    source->StartWrite();
    source->WriteIdentifier(3);
    source->WriteObjectID(9);
    source->WriteInt(4);
    const Words words = SerialisedWords(source.get());
    ASSERT_EQ(words.size(), 1 + 1 + 4 + 2u) << "header, data size, data, one-entry id list";
    struct Case
    {
        const char* what;
        size_t word;  // the word that lies
        CKDWORD more; // by how much
    };
    const Case cases[] = {
        {"data one word longer", 1, 1},
        {"data two words longer", 1, 2},
        {"ids one word longer", 6, 1},
        {"ids two words longer", 6, 2},
        {"as saved", 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Words lying = words;
        lying[c.word] += c.more;
        const std::vector<CKBYTE> bytes = WordBytes(lying);
        // The block holds exactly the words behind the header, so a read past
        // it is caught.
        void* block = std::malloc(bytes.size() - 4);
        std::memcpy(block, bytes.data() + 4, bytes.size() - 4);
        ChunkPtr adopted = NewChunk();
        EXPECT_EQ(adopted->AdoptRawBuffer(bytes.data(), block, (int) bytes.size()), c.more == 0);
        EXPECT_EQ(adopted->GetReadError(), c.more == 0 ? 0 : CKErr::InvalidFile);
        if (c.more == 0) {
            EXPECT_EQ(SerialisedWords(adopted.get()), words);
        }
    }
}

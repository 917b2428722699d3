#include "core/chunk/CKStateChunk.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "core/context/CKDefines.h"
#include "core/object/CKDependenciesContext.h"
#include "tests/core/support/ChunkTestSupport.h"
#include "tests/support/AssertCapture.h"

// Most reading and writing is covered by the random programs; these are the
// chunk's own edges: seeking, joining, errors, borrowed and adopted buffers.

TEST(CKStateChunk, SeekingWrapsAroundAndAMissLeavesTheCursor)
{
    ChunkPtr chunk = NewChunk();
    chunk->StartWrite();
    for (CKDWORD id = 1; id <= 3; ++id) {
        chunk->WriteIdentifier(id);
        chunk->WriteInt((int) id * 100);
    }
    ASSERT_TRUE(chunk->SeekIdentifier(3));
    EXPECT_EQ(chunk->ReadInt(), 300);
    ASSERT_TRUE(chunk->SeekIdentifier(1));
    EXPECT_EQ(chunk->ReadInt(), 100);
    int before = chunk->GetCurrentPos();
    EXPECT_FALSE(chunk->SeekIdentifier(4));
    EXPECT_EQ(chunk->SeekIdentifierAndReturnSize(4), -1);
    EXPECT_EQ(chunk->GetCurrentPos(), before);
    ASSERT_TRUE(chunk->SeekIdentifier(2));
    ASSERT_TRUE(chunk->SeekIdentifier(2)); // the same one again, through the wrap
    EXPECT_EQ(chunk->ReadInt(), 200);
    EXPECT_EQ(chunk->GetReadError(), 0);
}

TEST(CKStateChunk, AddChunkJoinsTheChains)
{
    ChunkPtr other = NewChunk(19);
    other->StartWrite();
    other->SetDataVersion(6);
    other->WriteIdentifier(10);
    other->WriteInt(1010);
    other->WriteIdentifier(20);
    other->WriteInt(2020);
    other->WriteObjectID(55);

    ChunkPtr chunk = NewChunk(1);
    chunk->StartWrite();
    chunk->WriteIdentifier(5);
    chunk->WriteInt(505);
    chunk->AddChunk(other.get());
    chunk->WriteIdentifier(30);
    chunk->WriteInt(3030);
    EXPECT_EQ(chunk->GetDataVersion(), 6);

    for (CKDWORD id : {5u, 10u, 20u, 30u}) {
        ASSERT_TRUE(chunk->SeekIdentifier(id)) << id;
        EXPECT_EQ(chunk->ReadInt(), (int) id * 101);
    }
    ASSERT_TRUE(chunk->SeekIdentifier(20));
    chunk->ReadInt();
    EXPECT_EQ(chunk->ReadObjectID(), 55u);
}

TEST(CKStateChunk, AddChunkAndDeleteTakesOverTheOtherWhenEmpty)
{
    CKStateChunk* base = CKCreateStateChunk(1);
    base->StartWrite();
    base->SetWriteAllObjects(FALSE);
    base->WriteIdentifier(4);

    ChunkPtr chunk = NewChunk(19);
    chunk->StartWrite();
    chunk->AddChunkAndDelete(base);
    EXPECT_EQ(chunk->GetChunkClassID(), 19);
    EXPECT_EQ(chunk->GetChunkOptions() & CHNK_OPTION_ALLOWDYN, 0);
    chunk->WriteIdentifier(64);
    chunk->WriteInt(12);
    EXPECT_TRUE(chunk->SeekIdentifier(4));
    ASSERT_TRUE(chunk->SeekIdentifier(64));
    EXPECT_EQ(chunk->ReadInt(), 12);
}

// A chunk taken over while it is being read keeps its cursor, in the chunk
// that took it (the reader of the deleted one must not be used).
TEST(CKStateChunk, AddChunkAndDeleteKeepsAnOpenReadersCursor)
{
    CKStateChunk* base = CKCreateStateChunk(1);
    base->StartWrite();
    for (int i = 1; i <= 3; ++i)
        base->WriteInt(i * 11);
    base->CloseChunk();
    base->StartRead();
    EXPECT_EQ(base->ReadInt(), 11);

    ChunkPtr chunk = NewChunk(19);
    chunk->AddChunkAndDelete(base);
    EXPECT_EQ(chunk->GetCurrentPos(), 1);
    EXPECT_EQ(chunk->ReadInt(), 22);
    EXPECT_EQ(chunk->ReadInt(), 33);
    EXPECT_EQ(chunk->GetReadError(), 0);
    chunk->StartRead();
    EXPECT_EQ(chunk->ReadInt(), 11);
}

TEST(CKStateChunk, ReadsPastTheEndGiveZerosAndAStickyError)
{
    ChunkPtr chunk = NewChunk();
    chunk->StartWrite();
    chunk->WriteInt(1);
    chunk->StartRead();
    EXPECT_EQ(chunk->ReadInt(), 1);
    EXPECT_EQ(chunk->GetReadError(), 0);
    EXPECT_EQ(chunk->ReadInt(), 0);
    EXPECT_EQ(chunk->GetReadError(), CKErr::InvalidFile);
    CKGUID guid = chunk->ReadGuid();
    EXPECT_EQ(guid, CKGUID());
    QxVector v(1, 2, 3);
    chunk->ReadVector(v);
    EXPECT_EQ(v.x, 0.0f);
    char dest[8];
    std::memset(dest, 'x', sizeof(dest));
    chunk->ReadBufferNoSize(8, dest);
    EXPECT_EQ(dest[7], 0);
    EXPECT_EQ(chunk->GetReadError(), CKErr::InvalidFile);
    chunk->StartRead();
    EXPECT_EQ(chunk->ReadInt(), 1);
    EXPECT_EQ(chunk->GetReadError(), CKErr::InvalidFile); // sticky
    chunk->StartWrite();
    EXPECT_EQ(chunk->GetReadError(), 0);
}

TEST(CKStateChunk, BufferCountsAreCheckedAgainstWhatRemainsAndTheDestination)
{
    ChunkPtr chunk = NewChunk();
    chunk->StartWrite();
    chunk->WriteInt(1000); // a byte count with nothing behind it
    chunk->StartRead();
    void* block = reinterpret_cast<void*>(1);
    EXPECT_EQ(chunk->ReadBuffer(&block), 0);
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(chunk->GetReadError(), CKErr::InvalidFile);

    ChunkPtr big = NewChunk();
    big->StartWrite();
    big->WriteBuffer(8, "12345678");
    big->StartRead();
    char small[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(big->ReadAndFillBuffer(small, sizeof(small)), 8);
    EXPECT_EQ(small[0], 'a');
    EXPECT_EQ(big->GetReadError(), CKErr::InvalidFile);
    EXPECT_EQ(big->GetCurrentPos(), 3);
}

TEST(CKStateChunk, LoopingChainStopsWithTheError)
{
    // Identifier 1 at 0 links to 2; identifier 2 at 2 links back to 0... via 4.
    ChunkPtr chunk = ChunkFromWords({0x00070001u | (0x10u << 24), 6, 1, 2, 2, 4, 3, 2});
    ASSERT_NE(chunk, nullptr);
    EXPECT_FALSE(chunk->SeekIdentifier(9));
    EXPECT_EQ(chunk->GetReadError(), CKErr::InvalidFile);
    EXPECT_EQ(chunk->SeekIdentifierAndReturnSize(9), -1);
}

TEST(CKStateChunk, WritingWithoutAWriterIsReportedAndIgnored)
{
    AssertCapture capture;
    ChunkPtr chunk = NewChunk();
    chunk->WriteInt(5);
    EXPECT_FALSE(capture.Texts().empty());
    EXPECT_EQ(chunk->ConvertToBuffer(nullptr), 8);
}

TEST(CKStateChunk, ABorrowedBufferIsNeverWrittenNorFreed)
{
    const CKGUID manager(0x1234, 0x5678);
    ChunkPtr source = NewChunk(7);
    source->StartWrite();
    source->WriteIdentifier(1);
    source->WriteInt(99);
    source->WriteManagerInt(manager, 1);
    std::vector<CKDWORD> storage((size_t) source->ConvertToBuffer(nullptr) / 4);
    source->ConvertToBuffer(storage.data());
    const std::vector<CKDWORD> before = storage;
    auto borrow = [&] {
        ChunkPtr chunk = NewChunk();
        EXPECT_TRUE(chunk->ReadFromRawBuffer(storage.data(), (int) storage.size() * 4, TRUE));
        EXPECT_TRUE(chunk->SeekIdentifier(1));
        EXPECT_EQ(chunk->ReadInt(), 99);
        return chunk;
    };

    ChunkPtr borrowed = borrow();
    EXPECT_NE(borrowed->GetChunkOptions() & CHNK_OPTION_DONTDELETE_PTR, 0);
    EXPECT_EQ(borrowed->GetBuffer(), storage.data() + 1);
    // Iterating may write: the chunk takes a copy, its reader moves to the
    // copy where it stood.
    ChunkIteratorData record;
    EXPECT_EQ(borrowed->IterateChunks(&record, [](ChunkIteratorData*) { return 1; }), 1);
    EXPECT_EQ(borrowed->GetChunkOptions() & CHNK_OPTION_DONTDELETE_PTR, 0);
    EXPECT_NE(borrowed->GetBuffer(), storage.data() + 1);
    EXPECT_EQ(borrowed->ReadGuid(), manager);
    EXPECT_EQ(borrowed->ReadInt(), 1);

    ChunkPtr remapped = borrow();
    const int table[] = {7, 8};
    EXPECT_EQ(remapped->RemapManagerInt(manager, table, 2), 1);
    ASSERT_TRUE(remapped->SeekIdentifier(1));
    EXPECT_EQ(remapped->ReadInt(), 99);
    EXPECT_EQ(remapped->ReadGuid(), manager);
    EXPECT_EQ(remapped->ReadInt(), 8);
    EXPECT_EQ(remapped->GetReadError(), 0);

    ChunkPtr rewritten = borrow();
    rewritten->StartWrite();
    EXPECT_EQ(rewritten->GetChunkOptions() & CHNK_OPTION_DONTDELETE_PTR, 0);
    rewritten->WriteInt(1);
    rewritten->CloseChunk();
    EXPECT_EQ(storage, before);
}

TEST(CKStateChunk, AnAdoptedBlockBecomesTheBufferOrIsFreed)
{
    ChunkPtr source = NewChunk(7);
    source->StartWrite();
    source->WriteIdentifier(3);
    source->WriteString("adopted");
    std::vector<CKBYTE> bytes = Serialised(source.get());

    ChunkPtr adopted = NewChunk();
    void* block = std::malloc(bytes.size() - 4);
    std::memcpy(block, bytes.data() + 4, bytes.size() - 4);
    ASSERT_TRUE(adopted->AdoptRawBuffer(bytes.data(), block, (int) bytes.size()));
    EXPECT_EQ(adopted->GetBuffer(), block);
    EXPECT_EQ(adopted->GetChunkOptions() & CHNK_OPTION_DONTDELETE_PTR, 0);
    EXPECT_EQ(Serialised(adopted.get()), bytes);
    ASSERT_TRUE(adopted->SeekIdentifier(3));
    EXPECT_EQ(adopted->ReadXString(), XString("adopted"));

    // Refused: the block is freed (the sanitiser would report a leak).
    ChunkPtr refused = NewChunk();
    block = std::malloc(8);
    std::memcpy(block, bytes.data() + 4, 8);
    EXPECT_FALSE(refused->AdoptRawBuffer(bytes.data(), block, 12));
    EXPECT_NE(refused->GetReadError(), 0);
    EXPECT_FALSE(refused->AdoptRawBuffer(bytes.data(), std::malloc(1), 3));
}

TEST(CKStateChunk, SubChunkSequenceReadsItemByItem)
{
    ChunkPtr a = NewChunk(3);
    a->StartWrite();
    a->WriteInt(1);
    ChunkPtr parent = NewChunk();
    parent->StartWrite();
    parent->StartSubChunkSequence(3);
    parent->WriteSubChunkSequenceItem(a.get());
    parent->WriteSubChunkSequenceItem(nullptr);
    parent->WriteSubChunkSequenceItem(a.get());
    parent->WriteInt(77);
    parent->StartRead();
    EXPECT_EQ(parent->ReadInt(), 3);
    ChunkPtr first(parent->ReadSubChunk());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(parent->ReadSubChunk(), nullptr);
    EXPECT_EQ(parent->ReadSubChunk(TRUE), nullptr);
    EXPECT_EQ(parent->ReadInt(), 77);
    first->StartRead();
    EXPECT_EQ(first->ReadInt(), 1);
}

TEST(CKStateChunk, ManagerValuesAreConvertedByTheirTable)
{
    const CKGUID guid(0x3D242466, 0);
    const CKGUID otherGuid(1, 2);
    ChunkPtr sub = NewChunk();
    sub->StartWrite();
    sub->WriteManagerInt(guid, 1);

    ChunkPtr chunk = NewChunk();
    chunk->StartWrite();
    chunk->WriteManagerInt(guid, 2);
    chunk->WriteManagerInt(otherGuid, 2);
    chunk->StartManagerSequence(guid, 3);
    chunk->WriteInt(0);
    chunk->WriteInt(5); // outside the table: stays
    chunk->WriteInt(1);
    chunk->WriteSubChunk(sub.get());

    const int table[3] = {100, 101, 102};
    EXPECT_EQ(chunk->RemapManagerInt(guid, table, 3), 5);
    chunk->StartRead();
    EXPECT_EQ(chunk->ReadGuid(), guid);
    EXPECT_EQ(chunk->ReadInt(), 102);
    EXPECT_EQ(chunk->ReadGuid(), otherGuid);
    EXPECT_EQ(chunk->ReadInt(), 2);
    CKGUID read;
    ASSERT_EQ(chunk->ReadManagerIntSequenceStart(&read), 3);
    EXPECT_EQ(read, guid);
    EXPECT_EQ(chunk->ReadInt(), 100);
    EXPECT_EQ(chunk->ReadInt(), 5);
    EXPECT_EQ(chunk->ReadInt(), 101);
    ChunkPtr subBack(chunk->ReadSubChunk());
    ASSERT_NE(subBack, nullptr);
    subBack->StartRead();
    subBack->ReadGuid();
    EXPECT_EQ(subBack->ReadInt(), 101);
}

TEST(CKStateChunk, WriterSkipsAsZerosKeepsLockedWordsAndPacksAReservationToItsSize)
{
    ChunkPtr chunk = NewChunk();
    chunk->StartWrite();
    chunk->CheckSize(1 << 20); // reserved, never written: must not reach the packed form
    chunk->WriteInt(7);
    chunk->Skip(2);
    CKDWORD* locked = chunk->LockWriteBuffer(3);
    ASSERT_NE(locked, nullptr);
    locked[0] = 11;
    locked[2] = 33;
    chunk->Skip(3);
    chunk->Skip(1);
    chunk->WriteInt(9);

    ChunkPtr copy(CKCopyStateChunk(chunk.get()));
    chunk->Clone(chunk.get()); // cloning itself or nothing changes nothing
    copy->Clone(nullptr);
    for (CKStateChunk* c : {chunk.get(), copy.get()}) {
        EXPECT_EQ(c->ConvertToBuffer(nullptr), 4 + 4 * (1 + 8));
        c->StartRead();
        std::vector<int> words;
        for (int i = 0; i < 8; ++i)
            words.push_back(c->ReadInt());
        EXPECT_EQ(words, (std::vector<int>{7, 0, 0, 11, 0, 33, 0, 9}));
        EXPECT_EQ(c->GetReadError(), 0);
    }
}

TEST(CKStateChunk, ALargeBufferIsReservedOnceAndClosedWithoutACopy)
{
    const int size = 3 << 20;
    std::vector<CKBYTE> bytes((size_t) size);
    for (int i = 0; i < size; ++i)
        bytes[(size_t) i] = (CKBYTE) (i * 7 + (i >> 12));
    ChunkPtr chunk = NewChunk();
    chunk->StartWrite();
    chunk->CheckSize(size + 64);
    chunk->WriteIdentifier(5);
    const CKDWORD* room = chunk->LockWriteBuffer(0);
    chunk->WriteBuffer(size, bytes.data());
    chunk->WriteObjectID(0);
    chunk->WriteInt(1);
    chunk->CloseChunk();
    // The packed buffer is the writer's block: its data words sit where the
    // writer put them, behind the size word.
    ASSERT_NE(chunk->GetBuffer(), nullptr);
    EXPECT_EQ(chunk->GetBuffer() + 1 + 2, room);
    EXPECT_EQ(chunk->GetBufferWords(), 1 + 2 + 1 + size / 4 + 2);
    ASSERT_TRUE(chunk->SeekIdentifier(5));
    void* back = nullptr;
    ASSERT_EQ(chunk->ReadBuffer(&back), size);
    EXPECT_EQ(std::memcmp(back, bytes.data(), (size_t) size), 0);
    delete[] static_cast<CKBYTE*>(back);
    EXPECT_EQ(chunk->ReadInt(), 0);
    EXPECT_EQ(chunk->ReadInt(), 1);
}

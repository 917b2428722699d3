#include "core/chunk/CKChunkBytes.h"

#include <vector>

#include <gtest/gtest.h>

#include "tests/core/support/ChunkTestSupport.h"

namespace {

using Bytes = std::vector<CKBYTE>;

// The pieces a chunk is handed on in, and their bytes end to end.
struct Emitted
{
    std::vector<int> sizes;
    Bytes bytes;
};

Emitted Emit(CKStateChunk* chunk)
{
    Emitted out;
    EXPECT_TRUE(CKEmitChunkBytes(chunk, [&](const void* bytes, int n) {
        out.sizes.push_back(n);
        out.bytes.insert(out.bytes.end(), static_cast<const CKBYTE*>(bytes), static_cast<const CKBYTE*>(bytes) + n);
        return true;
    }));
    return out;
}

} // namespace

TEST(CKChunkBytes, ABorrowedChunkIsWrittenBackAsItsSourceWithoutTheBorrowMark)
{
    ChunkPtr source = NewChunk(9);
    source->StartWrite();
    source->WriteIdentifier(3);
    source->WriteInt(42);
    Bytes stored = Serialised(source.get());

    ChunkPtr borrowed = NewChunk(0);
    ASSERT_TRUE(borrowed->ReadFromRawBuffer(stored.data(), (int) stored.size(), TRUE));
    ASSERT_NE(borrowed->GetChunkOptions() & CHNK_OPTION_DONTDELETE_PTR, 0);
    EXPECT_EQ(Emit(borrowed.get()).bytes, stored); // option byte 0x10: the borrow mark is never stored
    EXPECT_EQ(Serialised(borrowed.get()), stored);
}

TEST(CKChunkBytes, AnOpenLargeChunkIsClosedThenHandedOnInPiecesOfAtMostEightMegabytes)
{
    const int dataBytes = CK_BUFFERPARSER_PIECE + 4096;
    Bytes payload((size_t) dataBytes);
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = (CKBYTE) (i * 7);
    ChunkPtr chunk = NewChunk(2);
    chunk->StartWrite();
    chunk->WriteBuffer(dataBytes, payload.data());

    const Emitted emitted = Emit(chunk.get());
    ASSERT_GE(emitted.sizes.size(), 3u);
    EXPECT_EQ(emitted.sizes[0], 4); // the header word alone
    for (int size : emitted.sizes)
        EXPECT_LE(size, CK_BUFFERPARSER_PIECE);
    EXPECT_EQ(emitted.bytes[2], 7); // written by this engine: chunk version 7, the writer was packed
    EXPECT_EQ(emitted.bytes, Serialised(chunk.get()));
}

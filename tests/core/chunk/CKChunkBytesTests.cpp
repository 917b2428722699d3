#include "core/chunk/CKChunkBytes.h"

#include <vector>

#include <gtest/gtest.h>

#include "core/chunk/CKStateChunk.h"

namespace {

using Bytes = std::vector<CKBYTE>;

struct Piece
{
    const CKBYTE* At;
    int Size;
};

Bytes Converted(CKStateChunk* chunk)
{
    Bytes bytes((size_t) chunk->ConvertToBuffer(nullptr));
    chunk->ConvertToBuffer(bytes.data());
    return bytes;
}

} // namespace

TEST(CKChunkBytes, ABorrowedChunkIsWrittenBackAsItsSourceWithoutTheBorrowMark)
{
    CKStateChunk* source = CKCreateStateChunk(9);
    source->StartWrite();
    source->WriteIdentifier(3);
    source->WriteInt(42);
    Bytes stored = Converted(source);

    CKStateChunk* borrowed = CKCreateStateChunk(0);
    ASSERT_TRUE(borrowed->ReadFromRawBuffer(stored.data(), (int) stored.size(), TRUE));
    ASSERT_NE(borrowed->GetChunkOptions() & CHNK_OPTION_DONTDELETE_PTR, 0);
    Bytes emitted;
    EXPECT_TRUE(CKEmitChunkBytes(borrowed, [&](const void* bytes, int n) {
        emitted.insert(emitted.end(), static_cast<const CKBYTE*>(bytes), static_cast<const CKBYTE*>(bytes) + n);
        return true;
    }));
    EXPECT_EQ(emitted, stored); // option byte 0x10: the borrow mark is never stored
    EXPECT_EQ(Converted(borrowed), stored);
    CKDeleteStateChunk(borrowed);
    CKDeleteStateChunk(source);
}

TEST(CKChunkBytes, AnOpenLargeChunkIsClosedThenHandedOnInPiecesOfAtMostEightMegabytes)
{
    const int dataBytes = CK_BUFFERPARSER_PIECE + 4096;
    Bytes payload((size_t) dataBytes);
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = (CKBYTE) (i * 7);
    CKStateChunk* chunk = CKCreateStateChunk(2);
    chunk->StartWrite();
    chunk->WriteBuffer(dataBytes, payload.data());

    std::vector<Piece> pieces;
    Bytes emitted;
    EXPECT_TRUE(CKEmitChunkBytes(chunk, [&](const void* bytes, int n) {
        pieces.push_back({static_cast<const CKBYTE*>(bytes), n});
        emitted.insert(emitted.end(), static_cast<const CKBYTE*>(bytes), static_cast<const CKBYTE*>(bytes) + n);
        return true;
    }));
    ASSERT_GE(pieces.size(), 3u);
    EXPECT_EQ(pieces[0].Size, 4); // the header word alone
    for (const Piece& piece : pieces)
        EXPECT_LE(piece.Size, CK_BUFFERPARSER_PIECE);
    EXPECT_EQ(emitted[2], 7); // written by this engine: chunk version 7, the writer was packed
    EXPECT_EQ(emitted, Converted(chunk));
    CKDeleteStateChunk(chunk);
}

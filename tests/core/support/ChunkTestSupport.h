#pragma once

#include <memory>
#include <vector>

#include "core/chunk/CKStateChunk.h"
#include "includes/CKByteOrder.h"

// Chunks owned by the test, and their serialised form as bytes or words.

struct ChunkDeleter
{
    void operator()(CKStateChunk* c) const { CKDeleteStateChunk(c); }
};
using ChunkPtr = std::unique_ptr<CKStateChunk, ChunkDeleter>;
using Words = std::vector<CKDWORD>;

inline ChunkPtr NewChunk(CK_CLASSID cid = 1, CKFile* file = nullptr)
{
    return ChunkPtr(CKCreateStateChunk(cid, file));
}

inline std::vector<CKBYTE> Serialised(CKStateChunk* chunk)
{
    std::vector<CKBYTE> bytes((size_t) chunk->ConvertToBuffer(nullptr));
    chunk->ConvertToBuffer(bytes.data());
    return bytes;
}

inline Words SerialisedWords(CKStateChunk* chunk)
{
    const std::vector<CKBYTE> bytes = Serialised(chunk);
    Words words(bytes.size() / 4);
    for (size_t i = 0; i < words.size(); ++i)
        words[i] = LoadLE32(&bytes[4 * i]);
    return words;
}

inline std::vector<CKBYTE> WordBytes(const Words& words)
{
    std::vector<CKBYTE> bytes(words.size() * 4);
    for (size_t i = 0; i < words.size(); ++i)
        StoreLE32(&bytes[4 * i], words[i]);
    return bytes;
}

// A chunk read from serialised words (copied, not borrowed); null when refused.
inline ChunkPtr ChunkFromWords(const Words& words, CKFile* file = nullptr)
{
    ChunkPtr chunk = NewChunk(0, file);
    const std::vector<CKBYTE> bytes = WordBytes(words);
    return chunk->ConvertFromBuffer(bytes.data(), (int) bytes.size()) ? std::move(chunk) : nullptr;
}

// The data words of a chunk (closed first), without the size word.
inline Words DataWords(CKStateChunk* chunk)
{
    chunk->CloseChunk();
    const CKDWORD* b = chunk->GetBuffer();
    return b ? Words(b + 1, b + 1 + b[0]) : Words();
}

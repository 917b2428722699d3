#pragma once

#include <memory>
#include <vector>

#include "render/objects/pointcloud/CloudNode.h"

// Storage of the subdivision's variable-size blocks while a cloud is built:
// the children of an inner node (1 to 8 entries) and the points of a
// multi-point leaf (2 to 512). A block holds a power of two entries; blocks
// of one size are recycled through a free list threaded through their first
// word, and chunks of 64K entries are never moved, so that a block is named
// by a 32-bit index that stays valid. Everything goes at once with Clear.
class CloudBlockStore
{
public:
    static constexpr int kMaxClass = 9; // 512 entries
    static constexpr CKDWORD kChunkShift = 16;

    // A block of at least count entries (count 1 to 512), not cleared.
    CKDWORD Allocate(int count);
    // Gives back a block allocated for count entries.
    void Free(CKDWORD block, int count);
    CloudNode* At(CKDWORD index) { return &m_Chunks[index >> kChunkShift][index & kChunkMask]; }
    void Clear();
    // Bytes held by the chunks.
    size_t GetMemory() const { return m_Chunks.size() * sizeof(CloudNode) * kChunkEntries; }
    // Entries a block for count entries holds.
    static int Capacity(int count);

private:
    static constexpr CKDWORD kChunkEntries = 1u << kChunkShift;
    static constexpr CKDWORD kChunkMask = kChunkEntries - 1;
    static constexpr CKDWORD kNone = 0xFFFFFFFF;
    static int ClassOf(int count);

    std::vector<std::unique_ptr<CloudNode[]>> m_Chunks;
    CKDWORD m_Used = 0; // entries handed out of the last chunk
    CKDWORD m_Free[kMaxClass + 1] = {kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone};
};

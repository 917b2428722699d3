#pragma once

#include <cstddef>
#include <cstdint>

#include "includes/CKTypes.h"
#include "includes/XArray.h"

// Chunked allocator of equal-sized blocks. Each chunk is one allocation of
// blocks-per-chunk blocks whose freed blocks form a list threaded through
// their first 32-bit word. At most one entirely free chunk is kept, at the
// end of the chunk array. No lock of its own: users hold theirs.
class QxFixedSizeAllocator
{
public:
    // blocksPerChunk = chunkSize / blockSize. Block sizes below 4 are raised
    // to 4; a block size above the chunk size is reported and gives one block
    // per chunk.
    QxFixedSizeAllocator(CKDWORD blockSize, CKDWORD chunkSize);
    ~QxFixedSizeAllocator();
    QxFixedSizeAllocator(const QxFixedSizeAllocator&) = delete;
    QxFixedSizeAllocator& operator=(const QxFixedSizeAllocator&) = delete;

    // A block (not zeroed); null only when memory runs out.
    void* Allocate();
    // Returns a block to its chunk. A pointer that is not a block of this
    // allocator is reported and ignored (FALSE); null is ignored.
    CKBOOL Free(void* block);
    // Frees every chunk at once.
    void Clear();

    CKDWORD GetBlockSize() const { return m_BlockSize; }
    CKDWORD GetChunkSize() const { return m_ChunkSize; }
    CKDWORD GetBlocksPerChunk() const { return m_BlocksPerChunk; }
    int GetChunkCount() const { return m_Chunks.Size(); }
    // Free blocks of chunk i (in array order); -1 for a bad index.
    int GetChunkFreeBlockCount(int i) const;
    // True when a block is allocated and not yet freed.
    CKBOOL HasLiveBlocks() const;
    // True when block lies in one of the chunks.
    CKBOOL Owns(const void* block) const;

private:
    // A chunk's blocks are handed out in address order the first time
    // (m_Carved counts those), then from the list of freed ones: a new chunk
    // is not written through before its blocks are used.
    struct Chunk
    {
        char* m_Data;
        CKDWORD m_FirstFree; // first freed block, kNoBlock when none
        CKDWORD m_FreeCount;
        CKDWORD m_BlockCount;
        CKDWORD m_Carved;
    };
    static constexpr CKDWORD kNoBlock = 0xFFFFFFFFu;
    // The owner of a block is found through a hash table keyed by the
    // "slot" a chunk starts in (address / chunk bytes). No two chunks start
    // in one slot, as they do not overlap, and a block lies in the chunk
    // starting in its own slot or in the one before. Open addressing with
    // linear probing, removals shifting the following entries back (no
    // tombstones); 16 neighbouring slots have neighbouring homes, so that
    // chunks made one after the other touch few cache lines of the table.
    // Insert, lookup and removal stay O(1) whatever the order of addresses,
    // where a sorted array moved its tail for every chunk made below the
    // highest one.
    struct SlotEntry
    {
        size_t m_Slot;
        int m_Index; // chunk index, kEmptyEntry for none
    };
    static constexpr int kEmptyEntry = -1;
    static constexpr int kGroupBits = 4;

    void* AllocateFrom(Chunk& chunk);
    int FindChunk(const void* block) const;
    void SwapChunks(int a, int b);
    void RemoveLastChunk();
    size_t SlotOf(const void* p) const { return (uintptr_t) p / ((size_t) m_BlocksPerChunk * m_BlockSize); }
    size_t Home(size_t slot) const;
    size_t FindEntry(size_t slot) const; // position, or m_TableMask + 1 when absent
    bool AddEntry(size_t slot, int index);
    void RemoveEntry(size_t slot);
    bool GrowTable();

    CKDWORD m_ChunkSize;
    CKDWORD m_BlockSize;
    CKDWORD m_BlocksPerChunk;
    XArray<Chunk> m_Chunks;
    int m_LastAllocated = -1;
    int m_LastFreed = -1;
    // Every chunk below this index is full: the scan for a chunk with free
    // blocks starts here.
    int m_FirstMaybeFree = 0;
    SlotEntry* m_Table = nullptr; // m_TableMask + 1 entries, a power of two
    size_t m_TableMask = 0;
    size_t m_TableUsed = 0;
    int m_TableShift = 64; // 64 - bits of the group part of a home
};

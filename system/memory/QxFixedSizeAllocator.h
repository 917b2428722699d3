#pragma once

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
    // Chunks sorted by address, so the owner of a block is found by binary
    // search whatever the order of frees. A freed chunk's span stays as a
    // tombstone (index -1) until tombstones are half the spans or a new
    // chunk would overlap one: freeing chunks in address order would
    // otherwise move the whole array once per chunk. No two spans overlap.
    struct ChunkSpan
    {
        char* m_Data;
        int m_Index;
    };

    void* AllocateFrom(Chunk& chunk);
    int FindChunk(const void* block) const;
    int FindSpan(const char* data) const;
    void SwapChunks(int a, int b);
    void RemoveLastChunk();
    void AddSpan(char* data, int index);
    void DropTombstones();

    CKDWORD m_ChunkSize;
    CKDWORD m_BlockSize;
    CKDWORD m_BlocksPerChunk;
    XArray<Chunk> m_Chunks;
    int m_LastAllocated = -1;
    int m_LastFreed = -1;
    // Every chunk below this index is full: the scan for a chunk with free
    // blocks starts here.
    int m_FirstMaybeFree = 0;
    XArray<ChunkSpan> m_Spans;
    int m_Tombstones = 0;
};

#include "system/memory/QxFixedSizeAllocator.h"

#include <cstring>
#include <new>

#include "platform/PlatformAssert.h"

QxFixedSizeAllocator::QxFixedSizeAllocator(CKDWORD blockSize, CKDWORD chunkSize)
    : m_ChunkSize(chunkSize), m_BlockSize(blockSize < 4 ? 4 : blockSize)
{
    // Blocks hold the next-free index in their first word.
    m_BlocksPerChunk = m_ChunkSize / m_BlockSize;
    if (!PLATFORM_CHECK(m_BlocksPerChunk >= 1))
        m_BlocksPerChunk = 1;
}

QxFixedSizeAllocator::~QxFixedSizeAllocator()
{
    Clear();
    m_Chunks.Free();
    m_Spans.Free();
}

void QxFixedSizeAllocator::Clear()
{
    for (Chunk& chunk : m_Chunks)
        ::operator delete[](chunk.m_Data);
    m_Chunks.Clear();
    m_Spans.Clear();
    m_Tombstones = 0;
    m_LastAllocated = -1;
    m_LastFreed = -1;
    m_FirstMaybeFree = 0;
}

int QxFixedSizeAllocator::GetChunkFreeBlockCount(int i) const
{
    if (i < 0 || i >= m_Chunks.Size())
        return -1;
    return (int) m_Chunks.Begin()[i].m_FreeCount;
}

CKBOOL QxFixedSizeAllocator::HasLiveBlocks() const
{
    for (const Chunk& chunk : m_Chunks)
        if (chunk.m_FreeCount != chunk.m_BlockCount)
            return TRUE;
    return FALSE;
}

void* QxFixedSizeAllocator::AllocateFrom(Chunk& chunk)
{
    --chunk.m_FreeCount;
    if (chunk.m_FirstFree == kNoBlock)
        return chunk.m_Data + (size_t) chunk.m_Carved++ * m_BlockSize;
    char* block = chunk.m_Data + (size_t) chunk.m_FirstFree * m_BlockSize;
    CKDWORD next;
    std::memcpy(&next, block, sizeof(next));
    chunk.m_FirstFree = next;
    return block;
}

void* QxFixedSizeAllocator::Allocate()
{
    Chunk* chunks = m_Chunks.Begin();
    if (m_LastAllocated >= 0 && chunks[m_LastAllocated].m_FreeCount > 0)
        return AllocateFrom(chunks[m_LastAllocated]);

    // The first chunk with free blocks; the ones below m_FirstMaybeFree are
    // known to be full, which keeps the scan short for long arrays.
    int count = m_Chunks.Size();
    for (int i = m_FirstMaybeFree; i < count; ++i) {
        if (chunks[i].m_FreeCount > 0) {
            m_FirstMaybeFree = i;
            m_LastAllocated = i;
            return AllocateFrom(chunks[i]);
        }
    }
    m_FirstMaybeFree = count;

    Chunk chunk;
    chunk.m_Data = static_cast<char*>(::operator new[]((size_t) m_BlocksPerChunk* m_BlockSize, std::nothrow));
    if (!chunk.m_Data)
        return nullptr;
    chunk.m_FirstFree = kNoBlock;
    chunk.m_FreeCount = m_BlocksPerChunk;
    chunk.m_BlockCount = m_BlocksPerChunk;
    chunk.m_Carved = 0;
    if (m_Chunks.Size() == m_Chunks.Capacity())
        m_Chunks.Reserve(m_Chunks.Capacity() ? m_Chunks.Capacity() * 2 : 2);
    m_Chunks.PushBack(chunk);
    int index = m_Chunks.Size() - 1;

    AddSpan(chunk.m_Data, index);

    m_LastAllocated = index;
    m_LastFreed = index;
    return AllocateFrom(m_Chunks.Begin()[index]);
}

void QxFixedSizeAllocator::AddSpan(char* data, int index)
{
    const size_t chunkBytes = (size_t) m_BlocksPerChunk * m_BlockSize;
    int at = FindSpan(data);
    ChunkSpan* spans = m_Spans.Begin();
    // The memory of a freed chunk given again: its tombstone comes back.
    if (at >= 0 && spans[at].m_Data == data) {
        spans[at].m_Index = index;
        --m_Tombstones;
        return;
    }
    // Only the neighbours can overlap the new chunk (spans do not overlap
    // and have one size), and only tombstones: those go first.
    const bool before = at >= 0 && spans[at].m_Data + chunkBytes > data;
    const bool after = at + 1 < m_Spans.Size() && spans[at + 1].m_Data < data + chunkBytes;
    if (before || after) {
        DropTombstones();
        at = FindSpan(data);
    }
    m_Spans.Insert(at + 1, ChunkSpan{data, index});
}

void QxFixedSizeAllocator::DropTombstones()
{
    int kept = 0;
    ChunkSpan* spans = m_Spans.Begin();
    for (int i = 0; i < m_Spans.Size(); ++i)
        if (spans[i].m_Index >= 0)
            spans[kept++] = spans[i];
    m_Spans.Resize(kept);
    m_Tombstones = 0;
}

// Index in m_Spans of the last span whose data starts at or below data, or -1.
int QxFixedSizeAllocator::FindSpan(const char* data) const
{
    const ChunkSpan* spans = m_Spans.Begin();
    int lo = 0, hi = m_Spans.Size();
    while (lo < hi) {
        int mid = (lo + hi) / 2;
        if (spans[mid].m_Data <= data)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo - 1;
}

int QxFixedSizeAllocator::FindChunk(const void* block) const
{
    const char* p = static_cast<const char*>(block);
    size_t chunkBytes = (size_t) m_BlocksPerChunk * m_BlockSize;
    // Frees of nearby objects mostly hit the chunk freed to last.
    if (m_LastFreed >= 0 && m_LastFreed < m_Chunks.Size()) {
        const Chunk& c = m_Chunks.Begin()[m_LastFreed];
        if (p >= c.m_Data && p < c.m_Data + chunkBytes)
            return m_LastFreed;
    }
    int s = FindSpan(p);
    if (s < 0)
        return -1;
    const ChunkSpan& span = m_Spans.Begin()[s];
    if (span.m_Index < 0 || p >= span.m_Data + chunkBytes)
        return -1;
    return span.m_Index;
}

CKBOOL QxFixedSizeAllocator::Owns(const void* block) const
{
    return block && FindChunk(block) >= 0;
}

void QxFixedSizeAllocator::SwapChunks(int a, int b)
{
    if (a == b)
        return;
    Chunk* chunks = m_Chunks.Begin();
    ChunkSpan* spans = m_Spans.Begin();
    spans[FindSpan(chunks[a].m_Data)].m_Index = b;
    spans[FindSpan(chunks[b].m_Data)].m_Index = a;
    Chunk t = chunks[a];
    chunks[a] = chunks[b];
    chunks[b] = t;
    // The record moved to a may have free blocks.
    if (a < m_FirstMaybeFree)
        m_FirstMaybeFree = a;
    if (b < m_FirstMaybeFree)
        m_FirstMaybeFree = b;
}

void QxFixedSizeAllocator::RemoveLastChunk()
{
    int last = m_Chunks.Size() - 1;
    char* data = m_Chunks.Begin()[last].m_Data;
    m_Spans.Begin()[FindSpan(data)].m_Index = -1;
    if (2 * ++m_Tombstones > m_Spans.Size())
        DropTombstones();
    ::operator delete[](data);
    m_Chunks.Resize(last);
    if (m_FirstMaybeFree > last)
        m_FirstMaybeFree = last;
}

CKBOOL QxFixedSizeAllocator::Free(void* block)
{
    if (!block)
        return FALSE;
    int ci = FindChunk(block);
    bool ownedBlock = ci >= 0;
    if (ownedBlock) {
        const char* data = m_Chunks.Begin()[ci].m_Data;
        ownedBlock = (size_t) (static_cast<char*>(block) - data) % m_BlockSize == 0;
    }
    if (!PLATFORM_CHECK(ownedBlock))
        return FALSE;

    m_LastFreed = ci;
    Chunk& chunk = m_Chunks.Begin()[ci];
    std::memcpy(block, &chunk.m_FirstFree, sizeof(CKDWORD));
    chunk.m_FirstFree = (CKDWORD) ((size_t) (static_cast<char*>(block) - chunk.m_Data) / m_BlockSize);
    ++chunk.m_FreeCount;
    if (ci < m_FirstMaybeFree)
        m_FirstMaybeFree = ci;
    if (chunk.m_FreeCount != chunk.m_BlockCount)
        return TRUE;

    // The chunk is entirely free: keep at most one such chunk, at the end.
    int last = m_Chunks.Size() - 1;
    if (ci != last) {
        const Chunk& lastChunk = m_Chunks.Begin()[last];
        if (lastChunk.m_FreeCount == lastChunk.m_BlockCount) {
            RemoveLastChunk();
            last = m_Chunks.Size() - 1;
            if (ci != last)
                SwapChunks(ci, last);
        } else {
            SwapChunks(ci, last);
        }
        m_LastAllocated = 0;
    } else if (m_Chunks.Size() >= 2) {
        const Chunk& before = m_Chunks.Begin()[last - 1];
        if (before.m_FreeCount == before.m_BlockCount) {
            RemoveLastChunk();
            m_LastAllocated = 0;
            m_LastFreed = m_Chunks.Size() - 1;
        }
    }
    return TRUE;
}

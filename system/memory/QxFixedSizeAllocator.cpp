#include "system/memory/QxFixedSizeAllocator.h"

#include <bit>
#include <cstdint>
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
}

void QxFixedSizeAllocator::Clear()
{
    for (Chunk& chunk : m_Chunks)
        ::operator delete[](chunk.m_Data);
    m_Chunks.Clear();
    ::operator delete[](m_Table);
    m_Table = nullptr;
    m_TableMask = 0;
    m_TableUsed = 0;
    m_TableShift = 64;
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
    if (!AddEntry(SlotOf(chunk.m_Data), index)) {
        ::operator delete[](chunk.m_Data);
        m_Chunks.Resize(index);
        return nullptr;
    }

    m_LastAllocated = index;
    m_LastFreed = index;
    return AllocateFrom(m_Chunks.Begin()[index]);
}

size_t QxFixedSizeAllocator::Home(size_t slot) const
{
    // Fibonacci hashing of the group spreads the groups; the slot's place in
    // its group keeps neighbours together.
    const size_t group = (size_t) (((uint64_t) (slot >> kGroupBits) * 0x9E3779B97F4A7C15ull) >> m_TableShift);
    return (group << kGroupBits) | (slot & ((1u << kGroupBits) - 1));
}

bool QxFixedSizeAllocator::GrowTable()
{
    const size_t capacity = m_Table ? 2 * (m_TableMask + 1) : (size_t) 2 << kGroupBits;
    auto* table = static_cast<SlotEntry*>(::operator new[](capacity * sizeof(SlotEntry), std::nothrow));
    if (!table)
        return false;
    for (size_t i = 0; i < capacity; ++i)
        table[i] = SlotEntry{0, kEmptyEntry};
    SlotEntry* old = m_Table;
    const size_t oldCapacity = m_Table ? m_TableMask + 1 : 0;
    m_Table = table;
    m_TableMask = capacity - 1;
    m_TableShift = 64 - (std::countr_zero((uint64_t) capacity) - kGroupBits);
    for (size_t i = 0; i < oldCapacity; ++i) {
        if (old[i].m_Index == kEmptyEntry)
            continue;
        size_t at = Home(old[i].m_Slot);
        while (m_Table[at].m_Index != kEmptyEntry)
            at = (at + 1) & m_TableMask;
        m_Table[at] = old[i];
    }
    ::operator delete[](old);
    return true;
}

size_t QxFixedSizeAllocator::FindEntry(size_t slot) const
{
    if (!m_Table)
        return m_TableMask + 1;
    for (size_t at = Home(slot); m_Table[at].m_Index != kEmptyEntry; at = (at + 1) & m_TableMask)
        if (m_Table[at].m_Slot == slot)
            return at;
    return m_TableMask + 1;
}

bool QxFixedSizeAllocator::AddEntry(size_t slot, int index)
{
    // At most half full, so that probes stay short.
    if (2 * (m_TableUsed + 1) > (m_Table ? m_TableMask + 1 : 0) && !GrowTable())
        return false;
    size_t at = Home(slot);
    while (m_Table[at].m_Index != kEmptyEntry)
        at = (at + 1) & m_TableMask;
    m_Table[at] = SlotEntry{slot, index};
    ++m_TableUsed;
    return true;
}

void QxFixedSizeAllocator::RemoveEntry(size_t slot)
{
    size_t hole = FindEntry(slot);
    if (!PLATFORM_CHECK(m_Table && hole <= m_TableMask))
        return;
    // Backward shift: each later entry of the run whose home is not between
    // the hole and itself moves into the hole, so that no lookup meets a gap
    // before its entry.
    for (size_t next = (hole + 1) & m_TableMask; m_Table[next].m_Index != kEmptyEntry;
         next = (next + 1) & m_TableMask) {
        const size_t home = Home(m_Table[next].m_Slot);
        if (((next - home) & m_TableMask) >= ((next - hole) & m_TableMask)) {
            m_Table[hole] = m_Table[next];
            hole = next;
        }
    }
    m_Table[hole].m_Index = kEmptyEntry;
    --m_TableUsed;
}

int QxFixedSizeAllocator::FindChunk(const void* block) const
{
    const char* p = static_cast<const char*>(block);
    const size_t chunkBytes = (size_t) m_BlocksPerChunk * m_BlockSize;
    const Chunk* chunks = m_Chunks.Begin();
    // Frees of nearby objects mostly hit the chunk freed to last.
    if (m_LastFreed >= 0 && m_LastFreed < m_Chunks.Size()) {
        const Chunk& c = chunks[m_LastFreed];
        if (p >= c.m_Data && p < c.m_Data + chunkBytes)
            return m_LastFreed;
    }
    if (!m_Table)
        return -1;
    // The chunk starts in the block's slot or in the one before.
    const size_t slot = SlotOf(p);
    for (size_t back = 0; back < 2 && back <= slot; ++back) {
        const size_t at = FindEntry(slot - back);
        if (at > m_TableMask)
            continue;
        const Chunk& c = chunks[m_Table[at].m_Index];
        if (p >= c.m_Data && p < c.m_Data + chunkBytes)
            return m_Table[at].m_Index;
    }
    return -1;
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
    m_Table[FindEntry(SlotOf(chunks[a].m_Data))].m_Index = b;
    m_Table[FindEntry(SlotOf(chunks[b].m_Data))].m_Index = a;
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
    RemoveEntry(SlotOf(data));
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

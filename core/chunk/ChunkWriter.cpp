#include "core/chunk/ChunkWriter.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {
// First capacity in words: most chunks are small and grow a few times.
constexpr int kFirstCapacity = 16;
// Spare words a packed block always may keep.
constexpr int kSpareKept = 1024;
} // namespace

ChunkWriter::~ChunkWriter()
{
    std::free(m_Block);
}

bool ChunkWriter::Resize(int capacity)
{
    CKDWORD* block = static_cast<CKDWORD*>(std::realloc(m_Block, sizeof(CKDWORD) * ((size_t) capacity + 1)));
    if (!block)
        return false;
    m_Block = block;
    m_Data = block + 1;
    m_Capacity = capacity;
    return true;
}

bool ChunkWriter::Grow(int words)
{
    if (words < 0 || m_Position < 0 || m_Position > MaxWords - words)
        return false;
    int needed = m_Position + words;
    int capacity = m_Capacity > MaxWords / 2 ? MaxWords : 2 * m_Capacity;
    if (capacity < kFirstCapacity)
        capacity = kFirstCapacity;
    if (capacity < needed)
        capacity = needed;
    return Resize(capacity);
}

CKDWORD* ChunkWriter::LockAhead(int words)
{
    if (!Reserve(words))
        return nullptr;
    int from = m_LockedEnd > m_Position ? m_LockedEnd : m_Position;
    int end = m_Position + words;
    if (end > from) {
        std::memset(m_Data + from, 0, sizeof(CKDWORD) * (size_t) (end - from));
        m_LockedEnd = end;
    }
    return m_Data + m_Position;
}

void ChunkWriter::SkipAhead(int words)
{
    int from = m_LockedEnd > m_Position ? m_LockedEnd : m_Position;
    int end = m_Position + words;
    if (end > from)
        std::memset(m_Data + from, 0, sizeof(CKDWORD) * (size_t) (end - from));
    m_Position = end;
}

bool ChunkWriter::CopyFrom(const ChunkWriter& other)
{
    CKDWORD* block = nullptr;
    if (other.m_Capacity > 0) {
        block = static_cast<CKDWORD*>(std::malloc(sizeof(CKDWORD) * ((size_t) other.m_Capacity + 1)));
        if (!block)
            return false;
        // Only the words written or handed out hold anything.
        int used = other.m_LockedEnd > other.m_Position ? other.m_LockedEnd : other.m_Position;
        if (used < other.m_DataSize)
            used = other.m_DataSize;
        std::memcpy(block + 1, other.m_Data, sizeof(CKDWORD) * (size_t) used);
    }
    std::free(m_Block);
    m_Block = block;
    m_Data = block ? block + 1 : nullptr;
    m_Capacity = other.m_Capacity;
    m_DataSize = other.m_DataSize;
    m_Position = other.m_Position;
    m_LockedEnd = other.m_LockedEnd;
    m_CurrentIdentifier = other.m_CurrentIdentifier;
    m_ObjectIDs = other.m_ObjectIDs;
    m_SubChunks = other.m_SubChunks;
    m_Managers = other.m_Managers;
    return true;
}

CKDWORD* ChunkWriter::TakePacked(int* total)
{
    int n = m_DataSize > m_Position ? m_DataSize : m_Position;
    XArray<int>* lists[3] = {&m_ObjectIDs, &m_SubChunks, &m_Managers};
    int64_t words = 1 + (int64_t) n;
    for (XArray<int>* list : lists)
        if (list->Size() > 0)
            words += 1 + list->Size();
    *total = 0;
    if (words == 1) {
        *total = 1;
        return nullptr;
    }
    // The lists go behind the data, in the block when it has room, else in
    // a block grown for them. A block more than half empty (a reservation
    // larger than what was written) is cut to size; one grown by doubling
    // keeps its spare words, never touched and so costing no memory, which
    // the allocator can then reuse whole.
    if (words > 0x7FFFFFFF - 1)
        return nullptr;
    int need = (int) words - 1;
    int spare = m_Capacity - need;
    if ((spare < 0 || (spare > kSpareKept && spare > m_Capacity / 2)) && !Resize(need))
        return nullptr;
    CKDWORD* block = m_Block;
    block[0] = (CKDWORD) n;
    CKDWORD* d = block + 1 + n;
    for (XArray<int>* list : lists) {
        if (list->Size() == 0)
            continue;
        *d++ = (CKDWORD) list->Size();
        for (int e : *list)
            *d++ = (CKDWORD) e;
    }
    m_Block = nullptr;
    m_Data = nullptr;
    m_Capacity = 0;
    m_Position = 0;
    m_DataSize = 0;
    m_LockedEnd = 0;
    *total = (int) words;
    return block;
}

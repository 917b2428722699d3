#include "render/context/rasterizer/CKSharedBufferPool.h"

CKSharedBufferPool::CKSharedBufferPool(CKDWORD elementSize, CKDWORD maxElements)
    : m_ElementSize(elementSize ? elementSize : 1), m_MaxElements(maxElements)
{}

CKDWORD CKSharedBufferPool::GetFreeCount() const
{
    CKDWORD free = 0;
    for (const Range& r : m_Free)
        free += r.Count;
    return free;
}

CKBOOL CKSharedBufferPool::Allocate(CKDWORD count, CKDWORD& start)
{
    if (count == 0)
        return FALSE;
    for (int i = 0; i < m_Free.Size(); ++i) {
        Range& r = m_Free[i];
        if (r.Count < count)
            continue;
        start = r.Start;
        r.Start += count;
        r.Count -= count;
        if (r.Count == 0)
            m_Free.RemoveAt(i);
        return TRUE;
    }
    // Grow: at least double, so that many small ranges cost few copies.
    CKDWORD tail = m_Free.Size() && m_Free[m_Free.Size() - 1].Start + m_Free[m_Free.Size() - 1].Count == m_Capacity
                       ? m_Free[m_Free.Size() - 1].Count
                       : 0;
    uint64_t needed = (uint64_t) m_Capacity + count - tail;
    uint64_t grown = needed > (uint64_t) m_Capacity * 2 ? needed : (uint64_t) m_Capacity * 2;
    if (grown > m_MaxElements)
        grown = needed;
    if (needed > m_MaxElements || grown * m_ElementSize > 0x7FFFFFFF)
        return FALSE;
    int bytes = (int) (grown * m_ElementSize);
    m_Storage.Resize(bytes);
    if (m_Storage.Size() != bytes)
        return FALSE;
    CKDWORD oldCapacity = m_Capacity;
    m_Capacity = (CKDWORD) grown;
    FreeRange(oldCapacity, m_Capacity - oldCapacity);
    return Allocate(count, start);
}

void CKSharedBufferPool::FreeRange(CKDWORD start, CKDWORD count)
{
    if (count == 0 || start >= m_Capacity || count > m_Capacity - start)
        return;
    int at = 0;
    while (at < m_Free.Size() && m_Free[at].Start < start)
        ++at;
    // A range overlapping a free one was never handed out.
    if (at > 0 && m_Free[at - 1].Start + m_Free[at - 1].Count > start)
        return;
    if (at < m_Free.Size() && start + count > m_Free[at].Start)
        return;
    bool joinsPrevious = at > 0 && m_Free[at - 1].Start + m_Free[at - 1].Count == start;
    bool joinsNext = at < m_Free.Size() && start + count == m_Free[at].Start;
    if (joinsPrevious && joinsNext) {
        m_Free[at - 1].Count += count + m_Free[at].Count;
        m_Free.RemoveAt(at);
    } else if (joinsPrevious) {
        m_Free[at - 1].Count += count;
    } else if (joinsNext) {
        m_Free[at].Start = start;
        m_Free[at].Count += count;
    } else {
        m_Free.Insert(at, Range{start, count});
    }
}

CKBYTE* CKSharedBufferPool::GetData(CKDWORD index)
{
    if (index >= m_Capacity)
        return nullptr;
    return m_Storage.Begin() + (size_t) index * m_ElementSize;
}

void CKSharedBufferPool::FreeVertexRange(CKSharedBufferPool* pool, CKDWORD start, CKDWORD count)
{
    if (pool)
        pool->FreeRange(start, count);
}

void CKSharedBufferPool::FreeIndexRange(CKSharedBufferPool* pool, CKDWORD start, CKDWORD count)
{
    if (pool)
        pool->FreeRange(start, count);
}

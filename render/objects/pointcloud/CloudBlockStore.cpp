#include "render/objects/pointcloud/CloudBlockStore.h"

#include <cassert>

int CloudBlockStore::ClassOf(int count)
{
    int c = 0;
    while ((1 << c) < count)
        ++c;
    return c;
}

int CloudBlockStore::Capacity(int count)
{
    return 1 << ClassOf(count);
}

CKDWORD CloudBlockStore::Allocate(int count)
{
    assert(count >= 1 && count <= (1 << kMaxClass));
    const int c = ClassOf(count);
    if (m_Free[c] != kNone) {
        const CKDWORD block = m_Free[c];
        m_Free[c] = At(block)->W;
        return block;
    }
    const CKDWORD size = 1u << c;
    if (m_Chunks.empty() || m_Used + size > kChunkEntries) {
        // The tail of the last chunk joins the free lists of the sizes it
        // holds, so nothing of it is lost.
        if (!m_Chunks.empty())
            for (int k = kMaxClass; k >= 0; --k)
                while (m_Used + (1u << k) <= kChunkEntries) {
                    const CKDWORD tail = (CKDWORD) ((m_Chunks.size() - 1) << kChunkShift) + m_Used;
                    m_Used += 1u << k;
                    Free(tail, 1 << k);
                }
        m_Chunks.emplace_back(new CloudNode[kChunkEntries]);
        m_Used = 0;
    }
    const CKDWORD block = (CKDWORD) ((m_Chunks.size() - 1) << kChunkShift) + m_Used;
    m_Used += size;
    return block;
}

void CloudBlockStore::Free(CKDWORD block, int count)
{
    const int c = ClassOf(count);
    At(block)->W = m_Free[c];
    m_Free[c] = block;
}

void CloudBlockStore::Clear()
{
    m_Chunks.clear();
    m_Chunks.shrink_to_fit();
    m_Used = 0;
    for (CKDWORD& f : m_Free)
        f = kNone;
}

#pragma once

#include "includes/CKTypes.h"
#include "includes/XArray.h"

// Storage that shared vertex or index buffers take ranges of: elements of
// one size, handed out first fit from a list of free ranges and given back
// merged with their neighbours. The storage grows when no free range is large
// enough, so a pointer into it lasts only until the next allocation.
class CKSharedBufferPool
{
public:
    // elementSize bytes per element (a vertex size, or 2 for indices); at
    // most maxElements elements in all.
    CKSharedBufferPool(CKDWORD elementSize, CKDWORD maxElements);

    CKDWORD GetElementSize() const { return m_ElementSize; }
    CKDWORD GetCapacity() const { return m_Capacity; }
    // Elements not handed out.
    CKDWORD GetFreeCount() const;

    // Takes count elements (count > 0): TRUE and the range start, or FALSE
    // when the pool would pass its maximum or memory runs out.
    CKBOOL Allocate(CKDWORD count, CKDWORD& start);
    // Gives a range back; a range that is not handed out is ignored.
    void FreeRange(CKDWORD start, CKDWORD count);
    // The bytes of element index, or null outside the storage.
    CKBYTE* GetData(CKDWORD index);

    // Gives a vertex or index range back (the shared descriptions' destructors).
    static void FreeVertexRange(CKSharedBufferPool* pool, CKDWORD start, CKDWORD count);
    static void FreeIndexRange(CKSharedBufferPool* pool, CKDWORD start, CKDWORD count);

private:
    struct Range
    {
        CKDWORD Start;
        CKDWORD Count;
    };

    CKDWORD m_ElementSize;
    CKDWORD m_MaxElements;
    CKDWORD m_Capacity = 0;
    XArray<CKBYTE> m_Storage;
    XArray<Range> m_Free; // sorted by start, never adjacent
};

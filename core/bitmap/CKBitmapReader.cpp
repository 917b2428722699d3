#include "core/bitmap/CKBitmapReader.h"

#include "system/memory/QxAlignedAlloc.h"

void* CKReaderAllocate(size_t size)
{
    return QxNewAligned(size ? size : 1, 16);
}

void CKReaderFree(void* block)
{
    QxDeleteAligned(block);
}

#pragma once

#include <cstddef>

#include "includes/CKTypes.h"
#include "includes/XString.h"

// One image of a bitmap data: its pixels and the file it came from.
struct CKBitmapSlot
{
    CKBitmapSlot() = default;
    ~CKBitmapSlot() { FreePixels(); }
    CKBitmapSlot(const CKBitmapSlot&) = delete;
    CKBitmapSlot& operator=(const CKBitmapSlot&) = delete;

    // Frees the old pixels, then allocates size bytes, 16-byte aligned and
    // not cleared. False (and no pixels) when the allocation fails.
    bool AllocatePixels(size_t size);
    // Frees the old pixels and takes a block of size bytes made by
    // QxNewAligned (or CKReaderAllocate); null leaves the slot without pixels.
    void AdoptPixels(CKBYTE* pixels, size_t size);
    void FreePixels();

    CKBYTE* m_Pixels = nullptr; // 16-byte aligned, owned
    size_t m_PixelBytes = 0;    // what m_Pixels holds: no access goes past it
    XString m_FileName;
};

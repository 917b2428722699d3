#include "core/bitmap/CKBitmapSlot.h"

#include "system/memory/QxAlignedAlloc.h"

bool CKBitmapSlot::AllocatePixels(size_t size)
{
    FreePixels();
    m_Pixels = static_cast<CKBYTE*>(QxNewAligned(size, 16));
    m_PixelBytes = m_Pixels ? size : 0;
    return m_Pixels != nullptr;
}

void CKBitmapSlot::AdoptPixels(CKBYTE* pixels, size_t size)
{
    if (pixels == m_Pixels)
        return;
    FreePixels();
    m_Pixels = pixels;
    m_PixelBytes = pixels ? size : 0;
}

void CKBitmapSlot::FreePixels()
{
    QxDeleteAligned(m_Pixels);
    m_Pixels = nullptr;
    m_PixelBytes = 0;
}

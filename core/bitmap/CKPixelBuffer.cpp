#include "core/bitmap/CKPixelBuffer.h"

#include <cstring>
#include <utility>

#include "system/memory/QxAlignedAlloc.h"

size_t CKImageBytes(int width, int height, int bpp)
{
    if (width < 0 || height < 0 || bpp < 0)
        return 0;
    return (size_t) ((int64_t) width * height * bpp / 8);
}

bool CKIsArgb32(const QxImageDesc& desc)
{
    return desc.BitsPerPixel == 32 && desc.Flags == 0 && desc.AlphaMask == 0xFF000000 && desc.RedMask == 0x00FF0000 &&
           desc.GreenMask == 0x0000FF00 && desc.BlueMask == 0x000000FF &&
           (int64_t) desc.BytesPerLine == (int64_t) desc.Width * 4 && desc.ColorMapEntries == 0;
}

bool CKFitsSlot(const QxImageDesc& desc, size_t bytes)
{
    if (desc.Width < 0 || desc.Height < 0)
        return false;
    const int64_t pitch = desc.BytesPerLine < 0 ? -(int64_t) desc.BytesPerLine : desc.BytesPerLine;
    const int64_t line = ((int64_t) desc.Width * desc.BitsPerPixel + 7) / 8;
    return pitch >= line && (uint64_t) (pitch * desc.Height) <= bytes;
}

CKPixelBuffer::CKPixelBuffer(const QxImageDesc& desc) : m_Desc(desc)
{
    m_Desc.Image = nullptr;
    if (desc.Width < 1 || desc.Height < 1 || desc.BytesPerLine < 1)
        return;
    const size_t bytes = (size_t) desc.BytesPerLine * (size_t) desc.Height;
    m_Desc.Image = static_cast<CKBYTE*>(QxNewAligned(bytes, 16));
    m_Bytes = m_Desc.Image ? bytes : 0;
}

CKPixelBuffer::~CKPixelBuffer()
{
    QxDeleteAligned(m_Desc.Image);
}

CKPixelBuffer::CKPixelBuffer(CKPixelBuffer&& other) noexcept : m_Desc(other.m_Desc), m_Bytes(other.m_Bytes)
{
    other.m_Desc.Image = nullptr;
    other.m_Bytes = 0;
}

CKPixelBuffer& CKPixelBuffer::operator=(CKPixelBuffer&& other) noexcept
{
    if (this != &other) {
        QxDeleteAligned(m_Desc.Image);
        m_Desc = other.m_Desc;
        m_Bytes = other.m_Bytes;
        other.m_Desc.Image = nullptr;
        other.m_Bytes = 0;
    }
    return *this;
}

void CKPixelBuffer::Fill(CKDWORD word)
{
    if (m_Desc.BitsPerPixel != 32 || !m_Desc.Image)
        return;
    for (size_t i = 0; i + 4 <= m_Bytes; i += 4)
        std::memcpy(m_Desc.Image + i, &word, 4);
}

CKBYTE* CKPixelBuffer::Release()
{
    CKBYTE* block = m_Desc.Image;
    m_Desc.Image = nullptr;
    m_Bytes = 0;
    return block;
}

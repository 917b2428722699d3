#include "readers/common/ReaderSourceImage.h"

#include <cstdlib>

#include "core/bitmap/CKBitmapReader.h"
#include "system/image/QxBlitter.h"

ReaderSourceImage::~ReaderSourceImage()
{
    CKReaderFree(m_Owned);
}

bool ReaderSourceImage::Prepare(const QxImageDesc& desc, const void* data, bool needAlpha)
{
    CKReaderFree(m_Owned);
    m_Owned = nullptr;
    m_Pixels = nullptr;
    if (!data || !CKIsValidImageSize(desc.Width, desc.Height) || desc.BitsPerPixel <= 0)
        return false;
    const long long lineBytes = ((long long) desc.Width * desc.BitsPerPixel + 7) / 8;
    if (std::llabs((long long) desc.BytesPerLine) < lineBytes)
        return false;
    m_Width = desc.Width;
    m_Height = desc.Height;

    const bool bgr = desc.RedMask == 0x00FF0000 && desc.GreenMask == 0x0000FF00 && desc.BlueMask == 0x000000FF &&
                     desc.BytesPerColorEntry == 0 && desc.Flags == 0;
    if (bgr && desc.BitsPerPixel == 32 && (desc.AlphaMask == 0xFF000000 || !needAlpha)) {
        m_Pixels = static_cast<const CKBYTE*>(data);
        m_Pitch = desc.BytesPerLine;
        m_BytesPerPixel = 4;
        m_HasAlpha = desc.AlphaMask == 0xFF000000;
        return true;
    }
    if (bgr && desc.BitsPerPixel == 24 && desc.AlphaMask == 0 && !needAlpha) {
        m_Pixels = static_cast<const CKBYTE*>(data);
        m_Pitch = desc.BytesPerLine;
        m_BytesPerPixel = 3;
        m_HasAlpha = false;
        return true;
    }

    QxImageDesc src = desc;
    src.Size = QX_IMAGEDESC_SIZE;
    src.Image = static_cast<CKBYTE*>(const_cast<void*>(data));
    QxImageDesc dst;
    dst.Width = desc.Width;
    dst.Height = desc.Height;
    dst.BitsPerPixel = 32;
    dst.BytesPerLine = desc.Width * 4;
    dst.SetDefaultMasks();
    m_Owned = static_cast<CKBYTE*>(CKReaderAllocate((size_t) dst.BytesPerLine * dst.Height));
    if (!m_Owned)
        return false;
    dst.Image = m_Owned;
    if (!QxDoBlit(src, dst)) {
        CKReaderFree(m_Owned);
        m_Owned = nullptr;
        return false;
    }
    m_Pixels = m_Owned;
    m_Pitch = dst.BytesPerLine;
    m_BytesPerPixel = 4;
    m_HasAlpha = true;
    return true;
}

QxImageDesc ReaderSourceImage::Describe() const
{
    QxImageDesc d;
    d.Width = m_Width;
    d.Height = m_Height;
    d.BytesPerLine = m_Pitch;
    d.BitsPerPixel = m_BytesPerPixel * 8;
    d.SetDefaultMasks();
    if (!m_HasAlpha)
        d.AlphaMask = 0;
    d.Image = const_cast<CKBYTE*>(m_Pixels);
    return d;
}

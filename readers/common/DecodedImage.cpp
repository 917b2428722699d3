#include "readers/common/DecodedImage.h"

#include <cstring>

#include "core/bitmap/CKBitmapReader.h"

DecodedImage::~DecodedImage()
{
    CKReaderFree(m_Pixels);
    CKReaderFree(m_ColorMap);
}

bool DecodedImage::AllocatePixels(size_t size, bool zero)
{
    CKReaderFree(m_Pixels);
    m_Pixels = static_cast<CKBYTE*>(CKReaderAllocate(size));
    m_Desc.Image = m_Pixels;
    if (m_Pixels && zero)
        std::memset(m_Pixels, 0, size);
    return m_Pixels != nullptr;
}

bool DecodedImage::AllocateColorMap(size_t size)
{
    CKReaderFree(m_ColorMap);
    m_ColorMap = static_cast<CKBYTE*>(CKReaderAllocate(size));
    m_Desc.ColorMap = m_ColorMap;
    if (m_ColorMap)
        std::memset(m_ColorMap, 0, size);
    return m_ColorMap != nullptr;
}

void DecodedImage::Take(QxImageDesc& desc, void*& pixels)
{
    desc = m_Desc;
    pixels = m_Pixels;
    m_Pixels = nullptr;
    m_ColorMap = nullptr;
}

#include "readers/common/ImageReaderBase.h"

#include "readers/common/DecodedImage.h"
#include "readers/common/ReaderFileIO.h"

ImageReaderBase::ImageReaderBase(const CKBitmapProperties& defaults) : m_Properties(defaults)
{
    m_Properties.m_Data = nullptr;
    m_Properties.m_Format.ColorMap = nullptr;
    m_Properties.m_Format.Image = nullptr;
}

ImageReaderBase::~ImageReaderBase()
{
    FreeDecoded();
}

void ImageReaderBase::GetBitmapDefaultProperties(CKBitmapProperties** out)
{
    if (out)
        *out = &m_Properties;
}

void ImageReaderBase::SetBitmapDefaultProperties(const CKBitmapProperties* properties)
{
    if (!properties || properties == &m_Properties)
        return;
    void* data = m_Properties.m_Data;
    CKBYTE* colorMap = m_Properties.m_Format.ColorMap;
    CKBYTE* image = m_Properties.m_Format.Image;
    m_Properties = MergeOverDefaults(*properties);
    m_Properties.m_Data = data;
    m_Properties.m_Format.ColorMap = colorMap;
    m_Properties.m_Format.Image = image;
}

void ImageReaderBase::ReleaseMemory(void* memory)
{
    if (!memory)
        return;
    if (memory == m_Properties.m_Data) {
        FreeDecoded();
        return;
    }
    CKReaderFree(memory);
}

void ImageReaderBase::FreeDecoded()
{
    CKReaderFree(m_Properties.m_Data);
    CKReaderFree(m_Properties.m_Format.ColorMap);
    m_Properties.m_Data = nullptr;
    m_Properties.m_Format.ColorMap = nullptr;
    m_Properties.m_Format.Image = nullptr;
}

CKBitmapProperties ImageReaderBase::MakeDefaults(CKDWORD size, CKGUID readerGuid, const char* extension)
{
    CKBitmapProperties p;
    p.m_Size = size;
    p.m_ReaderGuid = readerGuid;
    p.m_Ext.Set(extension);
    return p;
}

CKBitmapProperties ImageReaderBase::MergeOverDefaults(const CKBitmapProperties& given) const
{
    if (given.m_Size == m_Properties.m_Size)
        return given;
    CKBitmapProperties merged = given;
    merged.m_Size = m_Properties.m_Size;
    for (int i = 0; i < CK_BITMAPPROPERTIES_MAXWORDS; ++i)
        merged.m_Words[i] = m_Properties.m_Words[i];
    return merged;
}

void ImageReaderBase::AdoptDecoded(DecodedImage& image)
{
    FreeDecoded();
    image.Take(m_Properties.m_Format, m_Properties.m_Data);
}

int ImageReaderBase::EncodeImage(const CKBitmapProperties& p, CKBYTE** block)
{
    (void) p;
    *block = nullptr;
    return 0;
}

int ImageReaderBase::SaveMemory(void** out, const CKBitmapProperties* properties)
{
    if (!out)
        return 0;
    *out = nullptr;
    if (!properties)
        return 0;
    const CKBitmapProperties p = MergeOverDefaults(*properties);
    CKBYTE* block = nullptr;
    const int size = EncodeImage(p, &block);
    *out = block;
    return size;
}

bool ImageReaderBase::WriteBlock(const char* name, CKBYTE* block, int size)
{
    const bool written = ReaderWriteWholeFile(name, block, (size_t) size);
    CKReaderFree(block);
    return written;
}

int ImageReaderBase::SaveFileThroughMemory(const char* name, const CKBitmapProperties* properties)
{
    void* block = nullptr;
    const int size = SaveMemory(&block, properties);
    if (size == 0)
        return 0;
    return WriteBlock(name, static_cast<CKBYTE*>(block), size) ? size : -1;
}

#include "readers/bmp/BmpReader.h"

#include "includes/XArray.h"
#include "readers/bmp/BmpDecoder.h"
#include "readers/bmp/BmpEncoder.h"
#include "readers/common/DecodedImage.h"
#include "readers/common/ImageReaderResults.h"
#include "readers/common/ReaderFileIO.h"
#include "readers/common/ReaderLog.h"

CKBitmapProperties BmpReader::DefaultProperties()
{
    CKBitmapProperties p;
    p.m_Size = kPropertiesSize;
    p.m_ReaderGuid = CKGUID(0x614a243f, 0x437b3343);
    p.m_Ext.Set("bmp");
    p.m_Words[kBitDepthWord] = 24;
    return p;
}

BmpReader::BmpReader() : ImageReaderBase(DefaultProperties())
{
}

const char* BmpReader::GetOptionDescription(int index)
{
    if (index == 0)
        return "Enum:Bit Depth:8 bit=8,8 bit RLE8 compression=9,16 bit=16,24 bit=24,32 bit=32";
    return "";
}

CKBOOL BmpReader::IsAlphaSaved(const CKBitmapProperties* properties)
{
    return properties && properties->m_Size == kPropertiesSize && properties->m_Words[kBitDepthWord] == 32;
}

int BmpReader::ReadFile(const char* name, CKBitmapProperties** out)
{
    FreeDecoded();
    if (!name || !out)
        return IMAGEREADER_NULLARGUMENT;
    XArray<CKBYTE> bytes;
    if (!ReaderReadWholeFile(name, bytes))
    {
        ReaderLogError("BMP: cannot read %s", name);
        return IMAGEREADER_CANNOTREAD;
    }
    return ReadMemory(bytes.Begin(), (CKDWORD) bytes.Size(), out);
}

int BmpReader::ReadMemory(const void* memory, CKDWORD size, CKBitmapProperties** out)
{
    FreeDecoded();
    if (!out || !memory)
        return IMAGEREADER_NULLARGUMENT;
    DecodedImage image;
    const int result = BmpDecode(static_cast<const CKBYTE*>(memory), size, image);
    if (result != IMAGEREADER_OK)
        return result;
    AdoptDecoded(image);
    *out = &m_Properties;
    return IMAGEREADER_OK;
}

int BmpReader::SaveFile(const char* name, const CKBitmapProperties* properties)
{
    if (!name || !properties)
        return 0;
    void* block = nullptr;
    const int size = SaveMemory(&block, properties);
    if (size == 0)
        return 0;
    const bool written = ReaderWriteWholeFile(name, block, (size_t) size);
    CKReaderFree(block);
    if (!written)
    {
        ReaderLogError("BMP: cannot write %s", name);
        return IMAGEWRITER_CANNOTWRITE;
    }
    return size;
}

int BmpReader::SaveMemory(void** out, const CKBitmapProperties* properties)
{
    if (!out)
        return 0;
    *out = nullptr;
    if (!properties)
        return 0;
    const CKBitmapProperties p = MergeOverDefaults(*properties);
    CKBYTE* block = nullptr;
    const int size = BmpEncode(p.m_Format, SavePixels(p), p.m_Words[kBitDepthWord], &block);
    *out = block;
    return size;
}

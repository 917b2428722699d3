#include "readers/tga/TgaReader.h"

#include "includes/XArray.h"
#include "readers/common/DecodedImage.h"
#include "readers/common/ImageReaderResults.h"
#include "readers/common/ReaderFileIO.h"
#include "readers/common/ReaderLog.h"
#include "readers/tga/TgaDecoder.h"
#include "readers/tga/TgaEncoder.h"

CKBitmapProperties TgaReader::DefaultProperties()
{
    CKBitmapProperties p;
    p.m_Size = kPropertiesSize;
    p.m_ReaderGuid = CKGUID(0xbca97223, 0x48578bca);
    p.m_Ext.Set("tga");
    p.m_Words[kBitDepthWord] = 32;
    p.m_Words[kRleWord] = 0;
    return p;
}

TgaReader::TgaReader() : ImageReaderBase(DefaultProperties())
{
}

const char* TgaReader::GetOptionDescription(int index)
{
    switch (index)
    {
    case 0: return "Enum:Bit Depth:16 bit=16,24 bit=24,32 bit=32,Greyscale=64";
    case 1: return "Boolean:Run Length Encoding";
    default: return "";
    }
}

CKBOOL TgaReader::IsAlphaSaved(const CKBitmapProperties* properties)
{
    if (!properties)
        return FALSE;
    if (properties->m_Size != kPropertiesSize)
        return TRUE;
    return properties->m_Words[kBitDepthWord] == 32;
}

int TgaReader::ReadFile(const char* name, CKBitmapProperties** out)
{
    FreeDecoded();
    if (!name || !out)
        return IMAGEREADER_NULLARGUMENT;
    XArray<CKBYTE> bytes;
    if (!ReaderReadWholeFile(name, bytes))
    {
        ReaderLogError("TGA: cannot read %s", name);
        return IMAGEREADER_CANNOTREAD;
    }
    return ReadMemory(bytes.Begin(), (CKDWORD) bytes.Size(), out);
}

int TgaReader::ReadMemory(const void* memory, CKDWORD size, CKBitmapProperties** out)
{
    FreeDecoded();
    if (!out || !memory)
        return IMAGEREADER_NULLARGUMENT;
    DecodedImage image;
    const int result = TgaDecode(static_cast<const CKBYTE*>(memory), size, image);
    if (result != IMAGEREADER_OK)
        return result;
    AdoptDecoded(image);
    *out = &m_Properties;
    return IMAGEREADER_OK;
}

int TgaReader::SaveFile(const char* name, const CKBitmapProperties* properties)
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
        ReaderLogError("TGA: cannot write %s", name);
        return IMAGEWRITER_CANNOTWRITE;
    }
    return size;
}

int TgaReader::SaveMemory(void** out, const CKBitmapProperties* properties)
{
    if (!out)
        return 0;
    *out = nullptr;
    if (!properties)
        return 0;
    const CKBitmapProperties p = MergeOverDefaults(*properties);
    CKBYTE* block = nullptr;
    const int size = TgaEncode(p.m_Format, SavePixels(p), p.m_Words[kBitDepthWord], p.m_Words[kRleWord] != 0, &block);
    *out = block;
    return size;
}

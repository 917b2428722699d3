#include "readers/pcx/PcxReader.h"

#include "includes/XArray.h"
#include "readers/common/DecodedImage.h"
#include "readers/common/ImageReaderResults.h"
#include "readers/common/ReaderFileIO.h"
#include "readers/common/ReaderLog.h"
#include "readers/pcx/PcxDecoder.h"

CKBitmapProperties PcxReader::DefaultProperties()
{
    CKBitmapProperties p;
    p.m_Size = kPropertiesSize;
    p.m_ReaderGuid = CKGUID(0x585c7216, 0x33302657);
    p.m_Ext.Set("pcx");
    p.m_Words[kBitDepthWord] = 24;
    p.m_Words[kRleWord] = 0;
    return p;
}

PcxReader::PcxReader() : ImageReaderBase(DefaultProperties())
{
}

const char* PcxReader::GetOptionDescription(int index)
{
    switch (index)
    {
    case 0: return "Enum:Bit Depth:1bit=1,4bit=4,8bit=8,24 bit=24";
    case 1: return "Boolean:Run Length Encoding";
    default: return "";
    }
}

CKBOOL PcxReader::IsAlphaSaved(const CKBitmapProperties* properties)
{
    return properties && properties->m_Size == kPropertiesSize && properties->m_Words[kBitDepthWord] == 32;
}

int PcxReader::ReadFile(const char* name, CKBitmapProperties** out)
{
    FreeDecoded();
    if (!name || !out)
        return IMAGEREADER_NULLARGUMENT;
    XArray<CKBYTE> bytes;
    if (!ReaderReadWholeFile(name, bytes))
    {
        ReaderLogError("PCX: cannot read %s", name);
        return IMAGEREADER_CANNOTREAD;
    }
    return ReadMemory(bytes.Begin(), (CKDWORD) bytes.Size(), out);
}

int PcxReader::ReadMemory(const void* memory, CKDWORD size, CKBitmapProperties** out)
{
    FreeDecoded();
    if (!out || !memory)
        return IMAGEREADER_NULLARGUMENT;
    DecodedImage image;
    const int result = PcxDecode(static_cast<const CKBYTE*>(memory), size, image);
    if (result != IMAGEREADER_OK)
        return result;
    AdoptDecoded(image);
    *out = &m_Properties;
    return IMAGEREADER_OK;
}

int PcxReader::SaveFile(const char* name, const CKBitmapProperties* properties)
{
    (void) name;
    (void) properties;
    return 0;
}

int PcxReader::SaveMemory(void** out, const CKBitmapProperties* properties)
{
    (void) properties;
    if (out)
        *out = nullptr;
    return 0;
}

#include "readers/dds/DDSReader.h"

#include <cstdio>

#include "includes/XArray.h"
#include "platform/PlatformSurface.h"
#include "readers/common/DecodedImage.h"
#include "readers/common/ReaderFileIO.h"
#include "readers/common/ReaderLog.h"
#include "readers/dds/DdsDecoder.h"
#include "readers/dds/DdsEncoder.h"
#include "readers/dds/DdsFormats.h"
#include "system/image/QxPixelFormat.h"

CKBitmapProperties DDSReader::DefaultProperties()
{
    CKBitmapProperties p = MakeDefaults(kPropertiesSize, CKGUID(0x338a39dd, 0x5d0d31b5), "dds");
    QxPixelFormat2ImageDesc(_32_ARGB8888, p.m_Format);
    p.m_Words[kFormatWord] = PLATFORM_D3DFMT_A8R8G8B8;
    return p;
}

DDSReader::DDSReader() : ImageReaderBase(DefaultProperties()) {}

const char* DDSReader::GetOptionDescription(int index)
{
    static const XArray<char> text = [] {
        XArray<char> t;
        const char* format =
            "Enum:Pixel Format:D3DFMT_R8G8B8=%d,D3DFMT_A8R8G8B8=%d,D3DFMT_R5G6B5=%d,D3DFMT_A1R5G5B5=%d,"
            "D3DFMT_A4R4G4B4=%d,D3DFMT_R3G3B2=%d,D3DFMT_DXT1=%d,D3DFMT_DXT2=%d,D3DFMT_DXT3=%d,D3DFMT_DXT4=%d,"
            "D3DFMT_DXT5=%d";
        const int values[] = {PLATFORM_D3DFMT_R8G8B8,     PLATFORM_D3DFMT_A8R8G8B8,   PLATFORM_D3DFMT_R5G6B5,
                              PLATFORM_D3DFMT_A1R5G5B5,   PLATFORM_D3DFMT_A4R4G4B4,   PLATFORM_D3DFMT_R3G3B2,
                              (int) PLATFORM_D3DFMT_DXT1, (int) PLATFORM_D3DFMT_DXT2, (int) PLATFORM_D3DFMT_DXT3,
                              (int) PLATFORM_D3DFMT_DXT4, (int) PLATFORM_D3DFMT_DXT5};
        t.Resize(512);
        std::snprintf(t.Begin(), t.Size(), format, values[0], values[1], values[2], values[3], values[4], values[5],
                      values[6], values[7], values[8], values[9], values[10]);
        return t;
    }();
    return index == 0 ? text.Begin() : "";
}

CKBOOL DDSReader::IsAlphaSaved(const CKBitmapProperties* properties)
{
    if (!properties || properties->m_Size != kPropertiesSize)
        return TRUE;
    switch (properties->m_Words[kFormatWord]) {
    case PLATFORM_D3DFMT_R8G8B8:
    case PLATFORM_D3DFMT_X8R8G8B8:
    case PLATFORM_D3DFMT_R5G6B5:
    case PLATFORM_D3DFMT_X1R5G5B5:
    case PLATFORM_D3DFMT_R3G3B2: return FALSE;
    default: return TRUE;
    }
}

int DDSReader::ReadFile(const char* name, CKBitmapProperties** out)
{
    FreeDecoded();
    if (!name || !out)
        return kReadNullArgument;
    XArray<CKBYTE> bytes;
    if (!ReaderReadWholeFile(name, bytes)) {
        ReaderLogError("DDS: cannot read %s", name);
        return kReadFailed;
    }
    return ReadMemory(bytes.Begin(), (CKDWORD) bytes.Size(), out);
}

int DDSReader::ReadMemory(const void* memory, CKDWORD size, CKBitmapProperties** out)
{
    FreeDecoded();
    if (!memory || !out)
        return kReadNullArgument;
    // The record's current pixel format decides the surface format read into;
    // one that has none reads as 32-bit ARGB.
    CKDWORD target = DdsSaveFormat(QxImageDesc2PixelFormat(m_Properties.m_Format));
    if (target == 0)
        target = PLATFORM_D3DFMT_A8R8G8B8;
    DecodedImage image;
    if (!DdsDecode(static_cast<const CKBYTE*>(memory), size, target, image))
        return kReadFailed;
    AdoptDecoded(image);
    *out = &m_Properties;
    return 0;
}

int DDSReader::EncodeImage(const CKBitmapProperties& p, CKBYTE** block)
{
    DdsEncodeFailure failure;
    return DdsEncode(p.m_Format, SavePixels(p), p.m_Words[kFormatWord], block, &failure);
}

int DDSReader::SaveFile(const char* name, const CKBitmapProperties* properties)
{
    if (!name || !properties)
        return 0;
    const CKBitmapProperties p = MergeOverDefaults(*properties);
    CKBYTE* block = nullptr;
    DdsEncodeFailure failure = DDS_ENCODE_NOSURFACE;
    const int size = DdsEncode(p.m_Format, SavePixels(p), p.m_Words[kFormatWord], &block, &failure);
    if (size == 0)
        return failure == DDS_ENCODE_CONVERSION ? kSaveConversionFailed : 0;
    if (!WriteBlock(name, block, size)) {
        ReaderLogError("DDS: cannot write %s", name);
        return 0;
    }
    return size;
}

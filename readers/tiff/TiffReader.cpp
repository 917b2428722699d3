#include "readers/tiff/TiffReader.h"

#include "readers/common/DecodedImage.h"
#include "readers/common/ReaderLog.h"
#include "readers/tiff/TiffDecoder.h"
#include "readers/tiff/TiffEncoder.h"

CKBitmapProperties TiffReader::DefaultProperties()
{
    CKBitmapProperties p = MakeDefaults(kPropertiesSize, CKGUID(0x1c9165c2, 0x177a7391), "Tiff");
    p.m_Words[kCompressionWord] = 32773;
    return p;
}

TiffReader::TiffReader() : ImageReaderBase(DefaultProperties()) {}

const char* TiffReader::GetOptionDescription(int index)
{
    return index == 0 ? "Enum:Compression Method:None=1,Macintosh RLE=32773" : "";
}

bool TiffReader::Decode(const char* name, const CKBYTE* data, size_t size, CKBitmapProperties** out)
{
    DecodedImage image;
    if (!TiffDecode(name, data, size, image))
        return false;
    AdoptDecoded(image);
    *out = &m_Properties;
    return true;
}

int TiffReader::ReadFile(const char* name, CKBitmapProperties** out)
{
    FreeDecoded();
    if (!name || !out)
        return -1;
    return Decode(name, nullptr, 0, out) ? 0 : -1;
}

int TiffReader::ReadMemory(const void* memory, CKDWORD size, CKBitmapProperties** out)
{
    FreeDecoded();
    if (!memory || !out)
        return 1;
    return Decode(nullptr, static_cast<const CKBYTE*>(memory), size, out) ? 0 : 1;
}

int TiffReader::SaveFile(const char* name, const CKBitmapProperties* properties)
{
    if (!name)
        return 1;
    const int size = SaveFileThroughMemory(name, properties);
    if (size < 0)
        ReaderLogError("TIFF: cannot write %s", name);
    return size > 0 ? 0 : 1;
}

int TiffReader::EncodeImage(const CKBitmapProperties& p, CKBYTE** block)
{
    return TiffEncode(p.m_Format, SavePixels(p), p.m_Words[kCompressionWord], block);
}

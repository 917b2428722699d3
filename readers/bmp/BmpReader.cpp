#include "readers/bmp/BmpReader.h"

#include "readers/bmp/BmpDecoder.h"
#include "readers/bmp/BmpEncoder.h"

CKBitmapProperties BmpReader::DefaultProperties()
{
    CKBitmapProperties p = MakeDefaults(kPropertiesSize, CKGUID(0x614a243f, 0x437b3343), "bmp");
    p.m_Words[kBitDepthWord] = 24;
    return p;
}

BmpReader::BmpReader() : BufferedImageReader(DefaultProperties(), "BMP", BmpDecode) {}

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

int BmpReader::EncodeImage(const CKBitmapProperties& p, CKBYTE** block)
{
    return BmpEncode(p.m_Format, SavePixels(p), p.m_Words[kBitDepthWord], block);
}

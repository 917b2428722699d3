#include "readers/tga/TgaReader.h"

#include "readers/tga/TgaDecoder.h"
#include "readers/tga/TgaEncoder.h"

CKBitmapProperties TgaReader::DefaultProperties()
{
    CKBitmapProperties p = MakeDefaults(kPropertiesSize, CKGUID(0xbca97223, 0x48578bca), "tga");
    p.m_Words[kBitDepthWord] = 32;
    p.m_Words[kRleWord] = 0;
    return p;
}

TgaReader::TgaReader() : BufferedImageReader(DefaultProperties(), "TGA", TgaDecode) {}

const char* TgaReader::GetOptionDescription(int index)
{
    switch (index) {
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

int TgaReader::EncodeImage(const CKBitmapProperties& p, CKBYTE** block)
{
    return TgaEncode(p.m_Format, SavePixels(p), p.m_Words[kBitDepthWord], p.m_Words[kRleWord] != 0, block);
}

#include "readers/pcx/PcxReader.h"

#include "readers/pcx/PcxDecoder.h"

CKBitmapProperties PcxReader::DefaultProperties()
{
    CKBitmapProperties p = MakeDefaults(kPropertiesSize, CKGUID(0x585c7216, 0x33302657), "pcx");
    p.m_Words[kBitDepthWord] = 24;
    p.m_Words[kRleWord] = 0;
    return p;
}

PcxReader::PcxReader() : BufferedImageReader(DefaultProperties(), "PCX", PcxDecode) {}

const char* PcxReader::GetOptionDescription(int index)
{
    switch (index) {
    case 0: return "Enum:Bit Depth:1bit=1,4bit=4,8bit=8,24 bit=24";
    case 1: return "Boolean:Run Length Encoding";
    default: return "";
    }
}

CKBOOL PcxReader::IsAlphaSaved(const CKBitmapProperties* properties)
{
    return properties && properties->m_Size == kPropertiesSize && properties->m_Words[kBitDepthWord] == 32;
}

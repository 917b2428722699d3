#include "readers/png/PngReader.h"

#include "readers/common/DecodedImage.h"
#include "readers/common/ReaderLog.h"
#include "readers/png/PngDecoder.h"
#include "readers/png/PngEncoder.h"
#include "system/io/QxFile.h"

namespace {

PngEncodeOptions OptionsOf(const CKBitmapProperties& p)
{
    PngEncodeOptions o;
    o.compressionLevel = p.m_Words[PngReader::kCompressionWord];
    o.filters = p.m_Words[PngReader::kFilterWord];
    o.bitDepth = p.m_Words[PngReader::kBitDepthWord];
    o.options = p.m_Words[PngReader::kOptionsWord];
    o.interlace = p.m_Words[PngReader::kInterlaceWord];
    return o;
}

} // namespace

CKBitmapProperties PngReader::DefaultProperties()
{
    CKBitmapProperties p = MakeDefaults(kPropertiesSize, CKGUID(0x02d45c7b, 0x4aac16ec), "png");
    p.m_Words[kCompressionWord] = 3;
    p.m_Words[kFilterWord] = 8;
    p.m_Words[kBitDepthWord] = 24;
    p.m_Words[kOptionsWord] = PNG_OPTION_ALPHA;
    p.m_Words[kInterlaceWord] = 0;
    return p;
}

PngReader::PngReader() : ImageReaderBase(DefaultProperties()) {}

const char* PngReader::GetOptionDescription(int index)
{
    switch (index) {
    case 0: return "Enum:Compression Level:0 (No Compression)=0,1=1,2=2,3=3,4=4,5=5,6=6,7=7,8=8,9 (Max Compression)=9";
    case 1: return "Flags:Filter Method:None=0,Sub=1,Up=2,Average=4,Paeth=8";
    case 2: return "Enum:Bit Depth:1=1,2=2,4=4,8=8,24=24";
    case 3: return "Flags:Options:Grayscale=1,Alpha Channel=2";
    case 4: return "Enum:Interlace Mode:None=0,Adam7=1";
    default: return "";
    }
}

CKBOOL PngReader::IsAlphaSaved(const CKBitmapProperties* properties)
{
    const CKBitmapProperties& p = properties && properties->m_Size == kPropertiesSize ? *properties : m_Properties;
    const CKDWORD options = p.m_Words[kOptionsWord];
    const CKDWORD depth = p.m_Words[kBitDepthWord];
    const bool alpha = (options & PNG_OPTION_ALPHA) != 0;
    const bool grey = (options & PNG_OPTION_GRAYSCALE) != 0;
    return (alpha && depth == 24) || (alpha && grey && depth == 8);
}

void PngReader::SetBitmapDefaultProperties(const CKBitmapProperties* properties)
{
    if (!properties || properties == &m_Properties)
        return;
    ImageReaderBase::SetBitmapDefaultProperties(properties);
    if (properties->m_Size != kPropertiesSize)
        m_Properties.m_Words[kBitDepthWord] = (CKDWORD) properties->m_Format.BitsPerPixel;
}

int PngReader::FinishRead(bool ok, DecodedImage& image, const PngFileInfo& info, CKBitmapProperties** out)
{
    if (!ok)
        return -1;
    AdoptDecoded(image);
    m_Properties.m_Words[kInterlaceWord] = (CKDWORD) info.interlace;
    switch (info.colorType) {
    case 0: m_Properties.m_Words[kBitDepthWord] = 8; break;
    case 2: m_Properties.m_Words[kBitDepthWord] = 24; break;
    case 6:
        m_Properties.m_Words[kOptionsWord] |= PNG_OPTION_ALPHA;
        m_Properties.m_Words[kBitDepthWord] = 24;
        break;
    default: break;
    }
    *out = &m_Properties;
    return 0;
}

int PngReader::ReadFile(const char* name, CKBitmapProperties** out)
{
    FreeDecoded();
    if (!name || !out)
        return -1;
    QxFile file;
    if (!file.Open(name, QX_FILE_READ)) {
        ReaderLogError("PNG: cannot open %s", name);
        return -1;
    }
    DecodedImage image;
    PngFileInfo info;
    const bool ok = PngDecode(&file, nullptr, 0, image, info);
    return FinishRead(ok, image, info, out);
}

int PngReader::ReadMemory(const void* memory, CKDWORD size, CKBitmapProperties** out)
{
    FreeDecoded();
    if (!memory || !out)
        return -1;
    DecodedImage image;
    PngFileInfo info;
    const bool ok = PngDecode(nullptr, static_cast<const CKBYTE*>(memory), size, image, info);
    return FinishRead(ok, image, info, out);
}

int PngReader::SaveFile(const char* name, const CKBitmapProperties* properties)
{
    if (!name || !properties)
        return 0;
    CKBitmapProperties p = MergeOverDefaults(*properties);
    if (properties->m_Size != kPropertiesSize)
        p.m_Words[kBitDepthWord] = (CKDWORD) properties->m_Format.BitsPerPixel;
    if (p.m_Words[kBitDepthWord] > 24)
        p.m_Words[kBitDepthWord] = 24;
    CKBYTE* block = nullptr;
    const int size = EncodeImage(p, &block);
    if (size == 0)
        return 0;
    if (!WriteBlock(name, block, size)) {
        ReaderLogError("PNG: cannot write %s", name);
        return 0;
    }
    return 1;
}

int PngReader::EncodeImage(const CKBitmapProperties& p, CKBYTE** block)
{
    return PngEncode(p.m_Format, SavePixels(p), OptionsOf(p), block);
}

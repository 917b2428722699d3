#include "readers/jpeg/JpgReader.h"

#include <cstdio>

#include "platform/PlatformPaths.h"
#include "readers/common/DecodedImage.h"
#include "readers/common/ReaderLog.h"
#include "readers/jpeg/JpegDecoder.h"
#include "readers/jpeg/JpegEncoder.h"

CKBitmapProperties JpgReader::DefaultProperties()
{
    CKBitmapProperties p = MakeDefaults(kPropertiesSize, CKGUID(0x4ae51ac4, 0x04587d76), "jpg");
    p.SetFloatWord(kQualityWord, 0.75f);
    p.SetFloatWord(kSmoothingWord, 0.0f);
    p.m_Words[kOptionsWord] = JPEG_OPTIMIZE | JPEG_BASELINE;
    return p;
}

JpgReader::JpgReader() : ImageReaderBase(DefaultProperties()) {}

const char* JpgReader::GetOptionDescription(int index)
{
    switch (index) {
    case 0: return "Percentage:Compression Level";
    case 1: return "Percentage:Smoothing";
    case 2: return "Flags:Options:Optimize=1,Grayscale=2,BaseLine=4";
    default: return "";
    }
}

bool JpgReader::Decode(FILE* file, const CKBYTE* data, size_t size, CKBitmapProperties** out)
{
    DecodedImage image;
    bool grayscale = false;
    if (!JpegDecode(file, data, size, image, grayscale))
        return false;
    AdoptDecoded(image);
    if (grayscale)
        m_Properties.m_Words[kOptionsWord] |= JPEG_GRAYSCALE;
    else
        m_Properties.m_Words[kOptionsWord] &= ~JPEG_GRAYSCALE;
    *out = &m_Properties;
    return true;
}

int JpgReader::ReadFile(const char* name, CKBitmapProperties** out)
{
    FreeDecoded();
    if (!name || !out)
        return -1;
    FILE* file = PlatformOpenFile(name, "rb");
    if (!file) {
        ReaderLogError("can't open %s", name);
        return -1;
    }
    const bool ok = Decode(file, nullptr, 0, out);
    std::fclose(file);
    return ok ? 0 : -1;
}

int JpgReader::ReadMemory(const void* memory, CKDWORD size, CKBitmapProperties** out)
{
    FreeDecoded();
    if (!memory || !out)
        return 1;
    return Decode(nullptr, static_cast<const CKBYTE*>(memory), size, out) ? 0 : 1;
}

int JpgReader::EncodeImage(const CKBitmapProperties& p, CKBYTE** block)
{
    JpegEncodeOptions options;
    options.quality = p.GetFloatWord(kQualityWord);
    options.smoothing = p.GetFloatWord(kSmoothingWord);
    options.flags = p.m_Words[kOptionsWord];
    return JpegEncode(p.m_Format, SavePixels(p), options, block);
}

int JpgReader::SaveFile(const char* name, const CKBitmapProperties* properties)
{
    if (!name)
        return 0;
    const int size = SaveFileThroughMemory(name, properties);
    if (size < 0)
        ReaderLogError("can't open %s", name);
    return size > 0 ? 1 : 0;
}

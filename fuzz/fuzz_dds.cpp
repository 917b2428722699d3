// DDS files (the platform's surface parser, the blitter and libsquish) read from memory. The last byte picks the
// pixel format read into, so that every conversion is reached, and small images are saved back in a format it also
// picks.
#include <cstddef>
#include <cstdint>

#include "readers/dds/DDSReader.h"
#include "system/image/QxPixelFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const int kReadInto[] = {_32_ARGB8888, _32_RGB888, _16_RGB565, _16_ARGB1555, _16_ARGB4444,
                                    _DXT1,        _DXT3,      _DXT5,      _16_V8U8,     _32_ABGR8888};
    static const CKDWORD kSaveAs[] = {20, 21, 23, 25, 26, 27, 60, 0x31545844, 0x32545844, 0x35545844};
    const uint8_t pick = size ? data[size - 1] : 0;
    DDSReader reader;
    CKBitmapProperties* p = nullptr;
    reader.GetBitmapDefaultProperties(&p);
    QxPixelFormat2ImageDesc(kReadInto[pick % 10], p->m_Format);
    if (reader.ReadMemory(data, (CKDWORD) size, &p) != 0 || p->m_Format.Width * p->m_Format.Height > 1024)
        return 0;
    CKBitmapProperties out = *p;
    out.m_Words[DDSReader::kFormatWord] = kSaveAs[(pick / 10) % 10];
    void* block = nullptr;
    if (reader.SaveMemory(&block, &out) > 0)
        reader.ReleaseMemory(block);
    return 0;
}

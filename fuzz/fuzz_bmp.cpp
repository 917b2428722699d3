// BMP files read from memory: every header field, run and offset is checked
// against the input.
#include <cstddef>
#include <cstdint>

#include "readers/bmp/BmpReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    BmpReader reader;
    CKBitmapProperties* properties = nullptr;
    const int result = reader.ReadMemory(data, (CKDWORD) size, &properties);
    (void) result;
    // The decoded image, whatever its layout, goes back through the writer
    // (small ones: the decoder is what is fuzzed).
    if (result == 0 && properties && properties->m_Format.Width * properties->m_Format.Height <= (1 << 16))
    {
        CKBitmapProperties out = *properties;
        out.m_Words[0] = 24;
        void* block = nullptr;
        if (reader.SaveMemory(&block, &out) > 0)
            reader.ReleaseMemory(block);
    }
    return 0;
}

// DCT-coded image planes: header fields and coefficient codes, every read
// checked against the end of the coded bytes.
#include <cstddef>
#include <cstdint>

#include "core/bitmap/CKBitmapReader.h"
#include "core/bitmap/CKTextureCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CKBYTE* plane = nullptr;
    int width = 0;
    int height = 0;
    if (CKTextureCodecDecode(nullptr, data, (CKDWORD) size, &plane, &width, &height))
        CKReaderFree(plane);
    return 0;
}

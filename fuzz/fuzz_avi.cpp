// AVI movies (the platform's movie service over FFmpeg's AVI demuxer, its decoders and libswscale) read from memory:
// the first frames in order, then one step back, each frame read whole.
#include <cstddef>
#include <cstdint>

#include "readers/avi/AVIReader.h"

namespace {

// Touches every byte the description announces, so that a frame smaller
// than its description is caught.
unsigned Sum(const CKBitmapProperties& p)
{
    const CKBYTE* bytes = static_cast<const CKBYTE*>(p.m_Data);
    const size_t size = size_t(p.m_Format.BytesPerLine) * size_t(p.m_Format.Height);
    unsigned sum = 0;
    for (size_t i = 0; i < size; ++i)
        sum += bytes[i];
    return sum;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    AVIReader reader;
    if (reader.OpenMemory(data, (CKDWORD) size) != 0)
        return 0;
    volatile unsigned sink = (unsigned) reader.GetMovieLength();
    const int count = reader.GetMovieFrameCount() < 6 ? reader.GetMovieFrameCount() : 6;
    CKBitmapProperties* p = nullptr;
    for (int k = 0; k < count; ++k)
        if (reader.ReadFrame(k, &p) == 0)
            sink = sink + Sum(*p);
    if (count > 1 && reader.ReadFrame(count / 2, &p) == 0)
        sink = sink + Sum(*p);
    return 0;
}

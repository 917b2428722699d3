#pragma once

#include <cstdint>

#include "platform/PlatformAviStream.h"
#include "platform/PlatformBitmap.h"

// Stand-in for the movie service's frame decompression (AVIStreamGetFrame),
// over FFmpeg's libavcodec and libswscale: any codec FFmpeg decodes, frames
// given as device-independent bitmaps, bottom-up, lines padded to 4 bytes.
// RGB 555 frames stay 16-bit; frames with an alpha channel or 32-bit pixels
// give 32 bits (blue, green, red, alpha bytes); every other frame,
// palettised ones included, gives 24 bits (blue, green, red) and no colour
// table. The first frame decoded fixes the size and depth: a later frame of
// another size is not given.

struct PlatformAviGetFrame;

// What is asked of the decompressor; both give the frames above.
enum PlatformAviFrameRequest
{
    PLATFORM_AVI_FRAME_NATIVE = 0,
    PLATFORM_AVI_FRAME_BESTDISPLAY = 1,
};

// One decompressed frame: its header (no colour table: ClrUsed 0) and its
// pixels, from the bottom line up.
struct PlatformAviFrame
{
    PlatformBitmapInfoHeader Header;
    const uint8_t* Bits = nullptr;
};

// Largest frame decoded: a side of at most 16384 pixels and at most 2^24
// pixels in all.
constexpr int32_t PLATFORM_AVI_MAX_SIDE = 16384;
constexpr int64_t PLATFORM_AVI_MAX_PIXELS = int64_t(1) << 24;

// A decompressor for the stream (holding a reference on it); null when no
// decoder of FFmpeg reads its codec or for a null stream.
PlatformAviGetFrame* PlatformAviStreamGetFrameOpen(PlatformAviStream* stream, PlatformAviFrameRequest request);

// The frame at a sample position (from PlatformAviStreamStart), decoding
// forward from the nearest key frame as needed. The frame belongs to the
// decompressor and stays valid until its next call or its closing. Null
// outside the stream, when the file holds no such frame, or when it cannot
// be decoded.
const PlatformAviFrame* PlatformAviStreamGetFrame(PlatformAviGetFrame* frames, int32_t position);

// Frees the decompressor and drops its reference on the stream; null is
// ignored.
void PlatformAviStreamGetFrameClose(PlatformAviGetFrame* frames);

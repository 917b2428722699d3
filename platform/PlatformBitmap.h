#pragma once

#include <cstdint>
#include <memory>

#include "platform/PlatformGdiObject.h"

// Stand-in for device-independent bitmap sections: bottom-up buffers of 24
// or 32 bits per pixel (blue, green, red[, unused] bytes), lines padded to
// 4 bytes, with the header fields the engine reads.

// The 40-byte header that describes a section.
struct PlatformBitmapInfoHeader
{
    uint32_t Size = 40;
    int32_t Width = 0;
    int32_t Height = 0; // positive: bottom-up
    uint16_t Planes = 1;
    uint16_t BitCount = 0;
    uint32_t Compression = 0; // 0: uncompressed
    uint32_t SizeImage = 0;
    int32_t XPelsPerMeter = 0;
    int32_t YPelsPerMeter = 0;
    uint32_t ClrUsed = 0;
    uint32_t ClrImportant = 0;
};

// What the platform reports for a bitmap (its BITMAP record).
struct PlatformBitmapDesc
{
    int32_t Type = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t WidthBytes = 0; // as the platform reports it: rounded to 2 bytes only
    uint16_t Planes = 0;
    uint16_t BitsPixel = 0;
    void* Bits = nullptr; // the first byte of the bottom line
};

// What the platform reports for a section: the bitmap record and its header
// (with SizeImage = the 4-byte aligned pitch x height).
struct PlatformDibSection
{
    PlatformBitmapDesc Bitmap;
    PlatformBitmapInfoHeader Header;
};

class PlatformBitmap : public PlatformGdiObject
{
public:
    PlatformBitmap(const PlatformBitmapInfoHeader& header, std::unique_ptr<uint8_t[]> pixels, int32_t pitch);

    const PlatformBitmapInfoHeader& Header() const { return m_Header; }
    int32_t Pitch() const { return m_Pitch; }
    uint8_t* Pixels() const { return m_Pixels.get(); }
    // Start of a row counted from the top of the picture.
    uint8_t* Row(int32_t y) const { return m_Pixels.get() + ptrdiff_t(m_Header.Height - 1 - y) * m_Pitch; }

private:
    PlatformBitmapInfoHeader m_Header;
    std::unique_ptr<uint8_t[]> m_Pixels;
    int32_t m_Pitch;
};

// Creates a section from a header (CreateDIBSection): 24 or 32 bits, one
// plane, no compression, width and height of at least 1, the pixel buffer
// below 2 GiB. Pixels start at zero. Null for any other header or when the
// pixels cannot be allocated.
PlatformBitmap* PlatformCreateDibSection(const PlatformBitmapInfoHeader& header);

// Fills the bitmap record and header of a section (GetObject). False for null.
bool PlatformGetDibSection(const PlatformBitmap* bitmap, PlatformDibSection* out);

// Copies width x height pixels from (srcX, srcY) of one bitmap to (x, y) of
// another, rows counted from the top, converting between 24 and 32 bits
// (BitBlt with the copy mode; the unused byte of 32-bit pixels becomes 0).
// The rectangle is clipped to both bitmaps. False for a null bitmap.
bool PlatformBitBlt(PlatformBitmap* dst, int32_t x, int32_t y, int32_t width, int32_t height, const PlatformBitmap* src,
                    int32_t srcX, int32_t srcY);

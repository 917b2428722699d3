#include "platform/PlatformDdsFile.h"

#include <cstring>

namespace {

constexpr uint32_t kMagic = PlatformFourCC('D', 'D', 'S', ' ');
constexpr uint32_t kHeaderSize = 124;
constexpr uint32_t kPixelFormatSize = 32;

// Byte offsets from the start of the file (the header starts at 4).
constexpr size_t kFlags = 8;
constexpr size_t kHeight = 12;
constexpr size_t kWidth = 16;
constexpr size_t kPitch = 20;
constexpr size_t kDepth = 24;
constexpr size_t kPixelFormat = 76;
constexpr size_t kPfFlags = 80;
constexpr size_t kPfFourCC = 84;
constexpr size_t kPfBits = 88;
constexpr size_t kPfMasks = 92; // red, green, blue, alpha
constexpr size_t kCaps = 108;
constexpr size_t kCaps2 = 112;

constexpr uint32_t kFlagsUncompressed = 0x100F; // caps, height, width, pitch, pixel format
constexpr uint32_t kFlagsCompressed = 0x81007;  // caps, height, width, pixel format, linear size
constexpr uint32_t kFlagDepth = 0x800000;
constexpr uint32_t kCapsTexture = 0x1000;
constexpr uint32_t kCaps2CubeMap = 0x200;
constexpr uint32_t kCaps2Volume = 0x200000;

constexpr uint32_t kPfAlphaPixels = 0x1;
constexpr uint32_t kPfFourCCFlag = 0x4;
constexpr uint32_t kPfRgb = 0x40;
constexpr uint32_t kPfLuminance = 0x20000;
constexpr uint32_t kPfBump = 0x80000;

uint32_t Load32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void Store32(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

// Masks must lie inside the depth and not overlap, and give some colour.
bool ValidMasks(const PlatformSurfaceLayout& l)
{
    const uint64_t inside = (uint64_t(1) << l.BitsPerPixel) - 1;
    const uint32_t masks[4] = {l.RedMask, l.GreenMask, l.BlueMask, l.AlphaMask};
    uint64_t seen = 0;
    for (uint32_t m : masks) {
        if ((m & ~inside) != 0 || (m & seen) != 0)
            return false;
        seen |= m;
    }
    return (l.RedMask | l.GreenMask | l.BlueMask) != 0;
}

PlatformDdsResult ParseFormat(const uint8_t* data, uint32_t& format, PlatformSurfaceLayout& layout)
{
    const uint32_t flags = Load32(data + kPfFlags);
    if (flags & kPfFourCCFlag) {
        const uint32_t code = Load32(data + kPfFourCC);
        if (code == PlatformFourCC('D', 'X', '1', '0'))
            return PLATFORM_DDS_EXTENDED;
        if (!PlatformGetSurfaceLayout(code, layout))
            return PLATFORM_DDS_FORMAT;
        format = code;
        return PLATFORM_DDS_OK;
    }
    PlatformSurfaceLayout l;
    l.BitsPerPixel = Load32(data + kPfBits);
    l.RedMask = Load32(data + kPfMasks);
    l.GreenMask = Load32(data + kPfMasks + 4);
    l.BlueMask = Load32(data + kPfMasks + 8);
    l.AlphaMask = (flags & kPfAlphaPixels) ? Load32(data + kPfMasks + 12) : 0;
    if (l.BitsPerPixel != 8 && l.BitsPerPixel != 16 && l.BitsPerPixel != 24 && l.BitsPerPixel != 32)
        return PLATFORM_DDS_FORMAT;
    // Luminance sits in the red mask; some writers flag RGB too, with no
    // green or blue mask. Grey is red, green and blue read from those bits.
    const bool luminance =
        (flags & kPfLuminance) && !(flags & kPfBump) && (!(flags & kPfRgb) || (l.GreenMask == 0 && l.BlueMask == 0));
    if (luminance) {
        l.GreenMask = 0;
        l.BlueMask = 0;
        if (!ValidMasks(l))
            return PLATFORM_DDS_FORMAT;
        l.GreenMask = l.BlueMask = l.RedMask;
        layout = l;
        return PLATFORM_DDS_OK;
    }
    if ((flags & (kPfRgb | kPfBump)) == 0)
        return PLATFORM_DDS_FORMAT; // alpha only, YUV
    if (!ValidMasks(l))
        return PLATFORM_DDS_FORMAT;
    format = PlatformFindSurfaceFormat(l);
    if (format != PLATFORM_D3DFMT_UNKNOWN) {
        PlatformGetSurfaceLayout(format, layout);
        return PLATFORM_DDS_OK;
    }
    if (flags & kPfBump)
        return PLATFORM_DDS_FORMAT; // difference channels of a layout no format names
    layout = l;
    return PLATFORM_DDS_OK;
}

} // namespace

PlatformDdsResult PlatformDdsParse(const uint8_t* data, size_t size, PlatformDdsImage& out)
{
    if (!data || size < PLATFORM_DDS_HEADER_BYTES)
        return PLATFORM_DDS_TOOSHORT;
    if (Load32(data) != kMagic || Load32(data + 4) != kHeaderSize || Load32(data + kPixelFormat) != kPixelFormatSize)
        return PLATFORM_DDS_NOTDDS;
    const uint32_t caps2 = Load32(data + kCaps2);
    if (caps2 & kCaps2CubeMap)
        return PLATFORM_DDS_CUBEMAP;
    if ((caps2 & kCaps2Volume) || ((Load32(data + kFlags) & kFlagDepth) && Load32(data + kDepth) > 1))
        return PLATFORM_DDS_VOLUME;

    PlatformDdsImage image;
    const PlatformDdsResult result = ParseFormat(data, image.Format, image.Layout);
    if (result != PLATFORM_DDS_OK)
        return result;
    const uint32_t width = Load32(data + kWidth);
    const uint32_t height = Load32(data + kHeight);
    if (width < 1 || height < 1 || width > uint32_t(PLATFORM_SURFACE_MAX_SIDE) ||
        height > uint32_t(PLATFORM_SURFACE_MAX_SIDE))
        return PLATFORM_DDS_SIZE;
    image.Width = int32_t(width);
    image.Height = int32_t(height);
    image.Size = PlatformSurfaceSize(image.Layout, image.Width, image.Height);
    if (image.Size == 0)
        return PLATFORM_DDS_FORMAT;
    if (size - PLATFORM_DDS_HEADER_BYTES < image.Size)
        return PLATFORM_DDS_TRUNCATED;
    image.Bits = data + PLATFORM_DDS_HEADER_BYTES;
    out = image;
    return PLATFORM_DDS_OK;
}

const char* PlatformDdsResultText(PlatformDdsResult result)
{
    switch (result) {
    case PLATFORM_DDS_OK: return "no error";
    case PLATFORM_DDS_TOOSHORT: return "shorter than its header";
    case PLATFORM_DDS_NOTDDS: return "not a DDS file";
    case PLATFORM_DDS_CUBEMAP: return "cube maps are not read";
    case PLATFORM_DDS_VOLUME: return "volume textures are not read";
    case PLATFORM_DDS_EXTENDED: return "the extended header is not read";
    case PLATFORM_DDS_FORMAT: return "unsupported pixel format";
    case PLATFORM_DDS_SIZE: return "invalid image size";
    case PLATFORM_DDS_TRUNCATED: return "truncated pixel data";
    }
    return "unknown error";
}

bool PlatformDdsWriteHeader(uint8_t* out, uint32_t format, int32_t width, int32_t height)
{
    PlatformSurfaceLayout layout;
    if (!out || !PlatformGetSurfaceLayout(format, layout))
        return false;
    const size_t size = PlatformSurfaceSize(layout, width, height);
    if (size == 0)
        return false;
    std::memset(out, 0, PLATFORM_DDS_HEADER_BYTES);
    Store32(out, kMagic);
    Store32(out + 4, kHeaderSize);
    Store32(out + kHeight, uint32_t(height));
    Store32(out + kWidth, uint32_t(width));
    Store32(out + kPixelFormat, kPixelFormatSize);
    Store32(out + kCaps, kCapsTexture);
    if (layout.BlockBytes != 0) {
        Store32(out + kFlags, kFlagsCompressed);
        Store32(out + kPitch, uint32_t(size));
        Store32(out + kPfFlags, kPfFourCCFlag);
        Store32(out + kPfFourCC, format);
        return true;
    }
    Store32(out + kFlags, kFlagsUncompressed);
    Store32(out + kPitch, PlatformSurfacePitch(layout, width));
    Store32(out + kPfFlags, layout.AlphaMask ? kPfRgb | kPfAlphaPixels : kPfRgb);
    Store32(out + kPfBits, layout.BitsPerPixel);
    Store32(out + kPfMasks, layout.RedMask);
    Store32(out + kPfMasks + 4, layout.GreenMask);
    Store32(out + kPfMasks + 8, layout.BlueMask);
    Store32(out + kPfMasks + 12, layout.AlphaMask);
    return true;
}

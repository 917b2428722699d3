#include "platform/PlatformDxtCodec.h"

#include <bit>
#include <cstring>

#include <squish.h>

namespace {

int SquishFlags(uint32_t format)
{
    switch (format) {
    case PLATFORM_D3DFMT_DXT1: return squish::kDxt1;
    case PLATFORM_D3DFMT_DXT2:
    case PLATFORM_D3DFMT_DXT3: return squish::kDxt3;
    case PLATFORM_D3DFMT_DXT4:
    case PLATFORM_D3DFMT_DXT5: return squish::kDxt5;
    default: return 0;
    }
}

bool IsBgra32(const PlatformSurface& s)
{
    const PlatformSurfaceLayout& l = s.Layout();
    return l.BlockBytes == 0 && l.BitsPerPixel == 32 && l.RedMask == 0x00FF0000 && l.GreenMask == 0x0000FF00 &&
           l.BlueMask == 0x000000FF && !l.Bump;
}

bool Fits(const PlatformSurface& blocks, const PlatformSurface& pixels, bool pixelsWritten)
{
    if (!blocks.Bits() || !pixels.Bits() || SquishFlags(blocks.Format()) == 0 || !IsBgra32(pixels))
        return false;
    if (blocks.Width() != pixels.Width() || blocks.Height() != pixels.Height())
        return false;
    return pixelsWritten ? pixels.MutableBits() != nullptr : blocks.MutableBits() != nullptr;
}

static_assert(std::endian::native == std::endian::little, "pixels are handled as little-endian words");

// Bytes R, G, B, A (libsquish's order) and B, G, R, A (the surface's) differ
// by the swap of bytes 0 and 2.
inline uint32_t SwapRedBlue(uint32_t v)
{
    return (v & 0xFF00FF00u) | ((v >> 16) & 0xFFu) | ((v & 0xFFu) << 16);
}

} // namespace

bool PlatformIsDxtFormat(uint32_t format)
{
    return SquishFlags(format) != 0;
}

bool PlatformDxtDecode(const PlatformSurface& src, const PlatformSurface& dst)
{
    if (!Fits(src, dst, true))
        return false;
    const int flags = SquishFlags(src.Format());
    const int width = src.Width();
    const int height = src.Height();
    const size_t blockBytes = src.Layout().BlockBytes;
    const uint8_t* block = src.Bits();
    uint8_t* out = dst.MutableBits();
    const size_t pitch = dst.Pitch();
    for (int by = 0; by < height; by += 4) {
        const int rows = height - by < 4 ? height - by : 4;
        for (int bx = 0; bx < width; bx += 4, block += blockBytes) {
            const int columns = width - bx < 4 ? width - bx : 4;
            uint32_t rgba[16];
            squish::Decompress(reinterpret_cast<squish::u8*>(rgba), block, flags);
            uint8_t* line = out + size_t(by) * pitch + size_t(bx) * 4;
            for (int r = 0; r < rows; ++r, line += pitch) {
                uint32_t bgra[4];
                for (int c = 0; c < 4; ++c)
                    bgra[c] = SwapRedBlue(rgba[r * 4 + c]);
                std::memcpy(line, bgra, size_t(columns) * 4);
            }
        }
    }
    return true;
}

bool PlatformDxtEncode(const PlatformSurface& src, const PlatformSurface& dst)
{
    if (!Fits(dst, src, false))
        return false;
    const int flags = SquishFlags(dst.Format());
    const int width = src.Width();
    const int height = src.Height();
    const uint32_t opaque = src.Layout().AlphaMask ? 0 : 0xFF000000u;
    const size_t blockBytes = dst.Layout().BlockBytes;
    uint8_t* block = dst.MutableBits();
    const size_t pitch = src.Pitch();
    for (int by = 0; by < height; by += 4) {
        const int rows = height - by < 4 ? height - by : 4;
        for (int bx = 0; bx < width; bx += 4, block += blockBytes) {
            const int columns = width - bx < 4 ? width - bx : 4;
            uint32_t rgba[16] = {};
            int mask = 0;
            const uint8_t* line = src.Bits() + size_t(by) * pitch + size_t(bx) * 4;
            for (int r = 0; r < rows; ++r, line += pitch)
                for (int c = 0; c < columns; ++c) {
                    uint32_t v;
                    std::memcpy(&v, line + c * 4, 4);
                    rgba[r * 4 + c] = SwapRedBlue(v | opaque);
                    mask |= 1 << (r * 4 + c);
                }
            squish::CompressMasked(reinterpret_cast<const squish::u8*>(rgba), mask, block, flags);
        }
    }
    return true;
}

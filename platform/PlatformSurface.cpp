#include "platform/PlatformSurface.h"

#include <new>

namespace {

struct FormatRow
{
    uint32_t format;
    PlatformSurfaceLayout layout;
};

// Channel masks as the platform documents its formats; the bump formats put
// U in the red mask, V in the green one and luminance in the blue one.
const FormatRow g_Formats[] = {
    {PLATFORM_D3DFMT_R8G8B8, {24, 0x00FF0000, 0x0000FF00, 0x000000FF, 0, 0, false}},
    {PLATFORM_D3DFMT_A8R8G8B8, {32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000, 0, false}},
    {PLATFORM_D3DFMT_X8R8G8B8, {32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0, 0, false}},
    {PLATFORM_D3DFMT_R5G6B5, {16, 0xF800, 0x07E0, 0x001F, 0, 0, false}},
    {PLATFORM_D3DFMT_X1R5G5B5, {16, 0x7C00, 0x03E0, 0x001F, 0, 0, false}},
    {PLATFORM_D3DFMT_A1R5G5B5, {16, 0x7C00, 0x03E0, 0x001F, 0x8000, 0, false}},
    {PLATFORM_D3DFMT_A4R4G4B4, {16, 0x0F00, 0x00F0, 0x000F, 0xF000, 0, false}},
    {PLATFORM_D3DFMT_R3G3B2, {8, 0xE0, 0x1C, 0x03, 0, 0, false}},
    {PLATFORM_D3DFMT_V8U8, {16, 0x00FF, 0xFF00, 0, 0, 0, true}},
    {PLATFORM_D3DFMT_L6V5U5, {16, 0x001F, 0x03E0, 0xFC00, 0, 0, true}},
    {PLATFORM_D3DFMT_X8L8V8U8, {32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0, 0, true}},
    {PLATFORM_D3DFMT_V16U16, {32, 0x0000FFFF, 0xFFFF0000, 0, 0, 0, true}},
    {PLATFORM_D3DFMT_DXT1, {0, 0, 0, 0, 0, 8, false}},
    {PLATFORM_D3DFMT_DXT2, {0, 0, 0, 0, 0, 16, false}},
    {PLATFORM_D3DFMT_DXT3, {0, 0, 0, 0, 0, 16, false}},
    {PLATFORM_D3DFMT_DXT4, {0, 0, 0, 0, 0, 16, false}},
    {PLATFORM_D3DFMT_DXT5, {0, 0, 0, 0, 0, 16, false}},
};

bool ValidSide(int32_t side)
{
    return side >= 1 && side <= PLATFORM_SURFACE_MAX_SIDE;
}

} // namespace

bool PlatformGetSurfaceLayout(uint32_t format, PlatformSurfaceLayout& out)
{
    for (const FormatRow& row : g_Formats)
        if (row.format == format) {
            out = row.layout;
            return true;
        }
    return false;
}

uint32_t PlatformFindSurfaceFormat(const PlatformSurfaceLayout& layout)
{
    for (const FormatRow& row : g_Formats) {
        const PlatformSurfaceLayout& l = row.layout;
        if (l.BlockBytes == 0 && l.BitsPerPixel == layout.BitsPerPixel && l.RedMask == layout.RedMask &&
            l.GreenMask == layout.GreenMask && l.BlueMask == layout.BlueMask && l.AlphaMask == layout.AlphaMask)
            return row.format;
    }
    return PLATFORM_D3DFMT_UNKNOWN;
}

uint32_t PlatformSurfacePitch(const PlatformSurfaceLayout& layout, int32_t width)
{
    if (!ValidSide(width))
        return 0;
    if (layout.BlockBytes != 0)
        return uint32_t((width + 3) / 4) * layout.BlockBytes;
    if (layout.BitsPerPixel == 0 || layout.BitsPerPixel % 8 != 0 || layout.BitsPerPixel > 32)
        return 0;
    return uint32_t(width) * (layout.BitsPerPixel / 8);
}

size_t PlatformSurfaceSize(const PlatformSurfaceLayout& layout, int32_t width, int32_t height)
{
    const uint32_t pitch = PlatformSurfacePitch(layout, width);
    if (pitch == 0 || !ValidSide(height))
        return 0;
    const size_t rows = layout.BlockBytes != 0 ? size_t((height + 3) / 4) : size_t(height);
    return size_t(pitch) * rows;
}

bool PlatformSurface::Describe(uint32_t format, const PlatformSurfaceLayout& layout, int32_t width, int32_t height)
{
    Reset();
    const size_t size = PlatformSurfaceSize(layout, width, height);
    if (size == 0)
        return false;
    m_Format = format;
    m_Layout = layout;
    m_Width = width;
    m_Height = height;
    m_Pitch = PlatformSurfacePitch(layout, width);
    m_Size = size;
    return true;
}

bool PlatformSurface::Create(uint32_t format, const PlatformSurfaceLayout& layout, int32_t width, int32_t height)
{
    if (!Describe(format, layout, width, height))
        return false;
    m_Own.reset(new (std::nothrow) uint8_t[m_Size]);
    if (!m_Own) {
        Reset();
        return false;
    }
    m_Bits = m_Own.get();
    m_Writable = true;
    return true;
}

bool PlatformSurface::Wrap(uint32_t format, const PlatformSurfaceLayout& layout, int32_t width, int32_t height,
                           const uint8_t* bits, size_t size)
{
    if (!bits || !Describe(format, layout, width, height))
        return false;
    if (size < m_Size) {
        Reset();
        return false;
    }
    m_Bits = bits;
    return true;
}

bool PlatformSurface::Wrap(uint32_t format, const PlatformSurfaceLayout& layout, int32_t width, int32_t height,
                           uint8_t* bits, size_t size)
{
    if (!Wrap(format, layout, width, height, static_cast<const uint8_t*>(bits), size))
        return false;
    m_Writable = true;
    return true;
}

void PlatformSurface::Reset()
{
    m_Own.reset();
    m_Bits = nullptr;
    m_Writable = false;
    m_Format = PLATFORM_D3DFMT_UNKNOWN;
    m_Layout = PlatformSurfaceLayout();
    m_Width = 0;
    m_Height = 0;
    m_Pitch = 0;
    m_Size = 0;
}

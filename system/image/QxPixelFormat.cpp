#include "system/image/QxPixelFormat.h"

namespace {

const QxPixelFormat g_PixelFormats[QX_MAXPIXELFORMATS] = {
    {0, 0, 0, 0, 0, "Unknown"},
    {32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000, "32 bits ARGB 8888"},
    {32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0, "32 bits RGB  888"},
    {24, 0x00FF0000, 0x0000FF00, 0x000000FF, 0, "24 bits RGB  888"},
    {16, 0xF800, 0x07E0, 0x001F, 0, "16 bits RGB  565"},
    {16, 0x7C00, 0x03E0, 0x001F, 0, "16 bits RGB  555"},
    {16, 0x7C00, 0x03E0, 0x001F, 0x8000, "16 bits ARGB 1555"},
    {16, 0x0F00, 0x00F0, 0x000F, 0xF000, "16 bits ARGB 4444"},
    {8, 0xE0, 0x1C, 0x03, 0, "8 bits RGB  332"},
    {8, 0x30, 0x0C, 0x03, 0xC0, "8 bits ARGB 2222"},
    {32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000, "32 bits ABGR 8888"},
    {32, 0xFF000000, 0x00FF0000, 0x0000FF00, 0x000000FF, "32 bits RGBA 8888"},
    {32, 0x0000FF00, 0x00FF0000, 0xFF000000, 0x000000FF, "32 bits BGRA 8888"},
    {32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0, "32 bits BGR  888"},
    {24, 0x000000FF, 0x0000FF00, 0x00FF0000, 0, "24 bits BGR  888"},
    {16, 0x001F, 0x07E0, 0xF800, 0, "16 bits BGR  565"},
    {16, 0x001F, 0x03E0, 0x7C00, 0, "16 bits BGR  555"},
    {16, 0x001F, 0x03E0, 0x7C00, 0x8000, "16 bits ABGR 1555"},
    {16, 0x000F, 0x00F0, 0x0F00, 0xF000, "16 bits ABGR 4444"},
    {0, 0, 0, 0, 0, "Compressed DXT1"},
    {0, 0, 0, 0, 0, "Compressed DXT2"},
    {0, 0, 0, 0, 0, "Compressed DXT3"},
    {0, 0, 0, 0, 0, "Compressed DXT4"},
    {0, 0, 0, 0, 0, "Compressed DXT5"},
    {16, 0x00FF, 0xFF00, 0, 0, "V8U8 BumpMap"},
    {32, 0x0000FFFF, 0xFFFF0000, 0, 0, "V16U16 BumpMap"},
    {16, 0x001F, 0x03E0, 0xFC00, 0, "L6V5U5 BumpMap"},
    {32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0, "L8V8U8 BumpMap"},
    {16, 0x0000FFFF, 0, 0, 0, "16 Bits R float16"},
    {32, 0x0000FFFF, 0xFFFF0000, 0, 0, "32 Bits RG float16"},
    {64, 0, 0, 0, 0, "64 Bits RGBA float16"},
    {32, 0xFFFFFFFF, 0, 0, 0, "32 Bits R float32"},
    {64, 0, 0, 0, 0, "64 Bits RG float32"},
    {128, 0, 0, 0, 0, "128 Bits RGBA float32"},
    {8, 0, 0, 0, 0, "8 Bits ABGR Paletted"},
    {8, 0, 0, 0, 0, "8 Bits ARGB Paletted"},
    {4, 0, 0, 0, 0, "8 Bits ABGR Paletted"},
    {4, 0, 0, 0, 0, "8 Bits ARGB Paletted"},
    {32, 0, 0, 0, 0, "D24S8 HW Shadow Map"},
    {16, 0, 0, 0, 0, "D16 HW Shadow Map"},
};

bool SameDepth(const QxPixelFormat& row, const QxImageDesc& desc)
{
    return (row.BitsPerPixel & 0xFFFF) == static_cast<CKDWORD>(desc.BitsPerPixel);
}

bool SameColorMasks(const QxPixelFormat& row, const QxImageDesc& desc)
{
    return row.RedMask == desc.RedMask && row.GreenMask == desc.GreenMask && row.BlueMask == desc.BlueMask;
}

} // namespace

const QxPixelFormat* QxGetPixelFormat(int id)
{
    return id >= 0 && id < QX_MAXPIXELFORMATS ? &g_PixelFormats[id] : nullptr;
}

const char* QxGetPixelFormatName(int id)
{
    const QxPixelFormat* row = QxGetPixelFormat(id);
    return row ? row->Name : nullptr;
}

int QxImageDesc2PixelFormat(const QxImageDesc& desc)
{
    for (int id = _32_ARGB8888; id <= _16_ABGR4444; ++id) {
        const QxPixelFormat& row = g_PixelFormats[id];
        if (SameDepth(row, desc) && SameColorMasks(row, desc) && row.AlphaMask == desc.AlphaMask)
            return id;
    }
    for (int id = _16_V8U8; id <= _32_X8L8V8U8; ++id) {
        const QxPixelFormat& row = g_PixelFormats[id];
        if (SameDepth(row, desc) && SameColorMasks(row, desc))
            return id;
    }
    if (desc.Flags >= _DXT1 && desc.Flags < QX_MAXPIXELFORMATS)
        return static_cast<int>(desc.Flags);
    return UNKNOWN_PF;
}

void QxPixelFormat2ImageDesc(int id, QxImageDesc& desc)
{
    if (id <= UNKNOWN_PF)
        return;
    if (id >= QX_MAXPIXELFORMATS) {
        desc.Flags = 0;
        return;
    }
    const QxPixelFormat& row = g_PixelFormats[id];
    desc.BitsPerPixel = static_cast<int32_t>(row.BitsPerPixel & 0xFFFF);
    desc.RedMask = row.RedMask;
    desc.GreenMask = row.GreenMask;
    desc.BlueMask = row.BlueMask;
    desc.AlphaMask = row.AlphaMask;
    desc.Flags = id >= _DXT1 ? static_cast<CKDWORD>(id) : 0;
}

CKDWORD QxGetMaskShift(CKDWORD mask)
{
    if (mask == 0)
        return 0;
    CKDWORD shift = 0;
    while (!(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

CKDWORD QxGetMaskTop(CKDWORD mask)
{
    if (mask == 0)
        return 0;
    CKDWORD top = QxGetMaskShift(mask);
    mask >>= top;
    while (mask & 1) {
        mask >>= 1;
        ++top;
    }
    return top;
}

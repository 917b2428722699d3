#include "readers/dds/DdsFormats.h"

#include "platform/PlatformSurface.h"
#include "system/image/QxPixelFormat.h"

namespace {

struct Pair
{
    int engine;
    CKDWORD surface;
};

// Reading takes the first row of a surface format; saving every row.
const Pair g_Pairs[] = {
    {_32_ARGB8888, PLATFORM_D3DFMT_A8R8G8B8},
    {_32_RGB888, PLATFORM_D3DFMT_X8R8G8B8},
    {_24_RGB888, PLATFORM_D3DFMT_X8R8G8B8},
    {_16_RGB565, PLATFORM_D3DFMT_R5G6B5},
    {_16_RGB555, PLATFORM_D3DFMT_X1R5G5B5},
    {_16_ARGB1555, PLATFORM_D3DFMT_A1R5G5B5},
    {_16_ARGB4444, PLATFORM_D3DFMT_A4R4G4B4},
    {_8_RGB332, PLATFORM_D3DFMT_A4R4G4B4},
    {_8_ARGB2222, PLATFORM_D3DFMT_A4R4G4B4},
    {_DXT1, PLATFORM_D3DFMT_DXT1},
    {_DXT2, PLATFORM_D3DFMT_DXT2},
    {_DXT3, PLATFORM_D3DFMT_DXT3},
    {_DXT4, PLATFORM_D3DFMT_DXT4},
    {_DXT5, PLATFORM_D3DFMT_DXT5},
    {_16_V8U8, PLATFORM_D3DFMT_V8U8},
    {_16_L6V5U5, PLATFORM_D3DFMT_L6V5U5},
    {_32_X8L8V8U8, PLATFORM_D3DFMT_X8L8V8U8},
    {_32_V16U16, PLATFORM_D3DFMT_V16U16},
};

} // namespace

CKDWORD DdsSaveFormat(int engineFormat)
{
    for (const Pair& p : g_Pairs)
        if (p.engine == engineFormat)
            return p.surface;
    return 0;
}

int DdsReadFormat(CKDWORD surfaceFormat)
{
    for (const Pair& p : g_Pairs)
        if (p.surface == surfaceFormat)
            return p.engine;
    return 0;
}

#pragma once

#include "includes/CKTypes.h"
#include "system/image/QxImageDesc.h"

// Pixel-format ids. Ids 1 to 18 are described by their masks alone; 19 to 39
// are kept in QxImageDesc::Flags because masks cannot describe them.
enum QX_PIXELFORMAT
{
    UNKNOWN_PF = 0,
    _32_ARGB8888 = 1,
    _32_RGB888 = 2,
    _24_RGB888 = 3,
    _16_RGB565 = 4,
    _16_RGB555 = 5,
    _16_ARGB1555 = 6,
    _16_ARGB4444 = 7,
    _8_RGB332 = 8,
    _8_ARGB2222 = 9,
    _32_ABGR8888 = 10,
    _32_RGBA8888 = 11,
    _32_BGRA8888 = 12,
    _32_BGR888 = 13,
    _24_BGR888 = 14,
    _16_BGR565 = 15,
    _16_BGR555 = 16,
    _16_ABGR1555 = 17,
    _16_ABGR4444 = 18,
    _DXT1 = 19,
    _DXT2 = 20,
    _DXT3 = 21,
    _DXT4 = 22,
    _DXT5 = 23,
    _16_V8U8 = 24,
    _32_V16U16 = 25,
    _16_L6V5U5 = 26,
    _32_X8L8V8U8 = 27,
    _16_R16F = 28,
    _32_G16R16F = 29,
    _64_A16B16G16R16F = 30,
    _32_R32F = 31,
    _64_G32R32F = 32,
    _128_A32B32G32R32F = 33,
    _8_ABGR8888_CLUT = 34,
    _8_ARGB8888_CLUT = 35,
    _4_ABGR8888_CLUT = 36,
    _4_ARGB8888_CLUT = 37,
    _32_D24S8 = 38,
    _16_D16 = 39,
    QX_MAXPIXELFORMATS = 40
};

// One row of the pixel-format table.
struct QxPixelFormat
{
    CKDWORD BitsPerPixel;
    CKDWORD RedMask;
    CKDWORD GreenMask;
    CKDWORD BlueMask;
    CKDWORD AlphaMask;
    char Name[24]; // display name, at most 23 characters
};

// The row of an id, or null when the id is outside 0..39.
const QxPixelFormat* QxGetPixelFormat(int id);

// The display name of an id ("Unknown" for id 0), or null outside 0..39.
const char* QxGetPixelFormatName(int id);

// The id of a description: the first of ids 1..18 whose depth and four masks
// match, else the first of 24..27 whose depth and colour masks match, else
// Flags when it lies in 19..39, else 0.
int QxImageDesc2PixelFormat(const QxImageDesc& desc);

// Writes the depth and masks of an id into the description. Id 0 (and a
// negative id, taken as unknown) leaves it unchanged; an id of 40 or more only
// clears Flags. Flags becomes the id for ids 19..39, else 0.
void QxPixelFormat2ImageDesc(int id, QxImageDesc& desc);

// Index of the lowest set bit of a mask; 0 for a zero mask.
CKDWORD QxGetMaskShift(CKDWORD mask);

// Position just above the top bit of the mask's lowest run of ones
// (24 for 0x00FF0000, 15 for 0x7C00, 32 for 0xFF000000, 0 for 0).
CKDWORD QxGetMaskTop(CKDWORD mask);

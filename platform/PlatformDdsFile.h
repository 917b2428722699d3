#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/PlatformSurface.h"

// The DDS file layout as the platform's texture loader reads and writes it:
// the magic "DDS ", a 124-byte header and the pixels of the top-level image
// (mipmaps after it are ignored). Only plain two-dimensional images are
// read: cube maps, volumes and files with the extended header are refused.

// Magic and header: the pixels start at this offset.
constexpr size_t PLATFORM_DDS_HEADER_BYTES = 128;

enum PlatformDdsResult
{
    PLATFORM_DDS_OK = 0,
    PLATFORM_DDS_TOOSHORT,  // fewer bytes than the magic and the header
    PLATFORM_DDS_NOTDDS,    // no magic, or a header or pixel-format size word that is not 124 or 32
    PLATFORM_DDS_CUBEMAP,   // a cube map
    PLATFORM_DDS_VOLUME,    // a volume texture
    PLATFORM_DDS_EXTENDED,  // the extended header ("DX10")
    PLATFORM_DDS_FORMAT,    // a pixel format that is not read
    PLATFORM_DDS_SIZE,      // width or height outside 1..PLATFORM_SURFACE_MAX_SIDE
    PLATFORM_DDS_TRUNCATED, // fewer pixel bytes than the top-level image needs
};

// The top-level image of a file: a view of the parsed bytes.
struct PlatformDdsImage
{
    // A format of PlatformSurface.h, or PLATFORM_D3DFMT_UNKNOWN for an
    // uncompressed layout that none of them has (its masks are in Layout).
    uint32_t Format = PLATFORM_D3DFMT_UNKNOWN;
    PlatformSurfaceLayout Layout;
    int32_t Width = 0;
    int32_t Height = 0;
    const uint8_t* Bits = nullptr;
    size_t Size = 0; // PlatformSurfaceSize of the image
};

// Parses size bytes at data (null reads as none). Uncompressed files are read
// by their depth (8, 16, 24 or 32 bits) and masks, the alpha mask only when
// the file says it has alpha; a luminance file (its grey in the red mask)
// gets that one mask for red, green and blue; compressed ones by the DXT1 to DXT5 codes (a
// format number in the code field is also taken). On failure out is left
// untouched.
PlatformDdsResult PlatformDdsParse(const uint8_t* data, size_t size, PlatformDdsImage& out);

// A short English text for a result ("truncated pixel data").
const char* PlatformDdsResultText(PlatformDdsResult result);

// Writes the magic and the header of a file holding one image of that format
// and size into out (PLATFORM_DDS_HEADER_BYTES bytes): flags 0x81007 and the
// linear size for compressed formats, else 0x100F and the pitch; pixel-format
// flags 4 with the code, else the format's depth and masks with flags 64, or
// 65 when it has an alpha mask; caps 0x1000; every other word 0. False, with
// nothing written, for an unknown format or size.
bool PlatformDdsWriteHeader(uint8_t* out, uint32_t format, int32_t width, int32_t height);

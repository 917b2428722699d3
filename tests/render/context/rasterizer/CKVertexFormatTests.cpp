// Engine vertex formats turn into Direct3D format codes and vertex sizes.
#include <gtest/gtest.h>

#include "render/context/rasterizer/CKVertexFormat.h"

namespace {

struct FormatCase
{
    CKDWORD format;
    CKDWORD fvf;
    CKDWORD size;
    const char* what;
};

const FormatCase kCases[] = {
    {0x1, 0x2, 12, "position only"},
    {0x1 | 0x2 | 0x200, 0x112, 32, "lit, one texture set"},
    {0x1 | 0x30 | 0x200, 0x1C2, 28, "prelit: diffuse and specular"},
    {0x214, 0x144, 28, "screen positions, diffuse, one set (2D quads)"},
    {0x20000214, 0x4142, 28, "positions in clip space"},
    {0x1 | 0x2 | 0x400, 0x212, 40, "two texture sets"},
    {0x1 | 0x2 | 0x100000 | 0x2000000 | 0x200, 0x1118, 40, "one weight and matrix indices"},
    {0x1 | 0x2 | 0x400000 | 0x200, 0x11A, 44, "three weights"},
    {0x1 | 0x2 | 0x40 | 0x200, 0x312 | (1u << 18) | (1u << 20), 56, "tangents after set 0"},
    {0x11, 0x42, 16, "lines: position and colour"},
    {0x201, 0x102, 20, "an unlit channel: position and one set"},
};

TEST(CKGetVertexFormatFVF, EachFormatGivesItsCodeAndSize)
{
    for (const FormatCase& c : kCases) {
        CKDWORD size = 0;
        EXPECT_EQ(CKGetVertexFormatFVF(c.format, size), c.fvf) << c.what;
        EXPECT_EQ(size, c.size) << c.what;
    }
}

} // namespace

#include <gtest/gtest.h>

#include <cstring>

#include "system/image/QxImageDesc.h"
#include "system/image/QxPixelFormat.h"

namespace {

QxImageDesc Desc(int bits, CKDWORD r, CKDWORD g, CKDWORD b, CKDWORD a, CKDWORD flags = 0)
{
    QxImageDesc d;
    d.BitsPerPixel = bits;
    d.RedMask = r;
    d.GreenMask = g;
    d.BlueMask = b;
    d.AlphaMask = a;
    d.Flags = flags;
    return d;
}

TEST(QxImageDescTests, InequalityIgnoresFlagsAndPointersButSeesEveryOtherField)
{
    QxImageDesc a = Desc(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    EXPECT_EQ(a.Size, 52u);
    a.Width = 4;
    a.Height = 3;
    a.BytesPerLine = 16;
    QxImageDesc b = a;
    CKBYTE pixels[4];
    b.Flags = 7;
    b.Image = pixels;
    b.ColorMap = pixels;
    EXPECT_FALSE(a != b);
    EXPECT_TRUE(a == b);
    void (*changes[])(QxImageDesc&) = {
        [](QxImageDesc& c) { c.Size = 40; },
        [](QxImageDesc& c) { c.Width = 5; },
        [](QxImageDesc& c) { c.Height = 5; },
        [](QxImageDesc& c) { c.BytesPerLine = 20; },
        [](QxImageDesc& c) { c.BitsPerPixel = 24; },
        [](QxImageDesc& c) { c.RedMask = 1; },
        [](QxImageDesc& c) { c.GreenMask = 1; },
        [](QxImageDesc& c) { c.BlueMask = 1; },
        [](QxImageDesc& c) { c.AlphaMask = 1; },
        [](QxImageDesc& c) { c.BytesPerColorEntry = 4; },
        [](QxImageDesc& c) { c.ColorMapEntries = 16; },
    };
    for (size_t i = 0; i < std::size(changes); ++i) {
        QxImageDesc c = a;
        changes[i](c);
        EXPECT_TRUE(a != c) << i;
        EXPECT_FALSE(a == c) << i;
    }
}

TEST(QxImageDescTests, DefaultMasksFollowTheDepth)
{
    const CKDWORD cases[][5] = {
        {16, 0x7C00, 0x03E0, 0x001F, 0},
        {15, 0x7C00, 0x03E0, 0x001F, 0},
        {24, 0xFF0000, 0xFF00, 0xFF, 0},
        {32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
        {8, 1, 2, 3, 4}, // left alone
    };
    for (const auto& c : cases) {
        QxImageDesc d = Desc(int(c[0]), 1, 2, 3, 4);
        d.SetDefaultMasks();
        EXPECT_TRUE(d == Desc(int(c[0]), c[1], c[2], c[3], c[4])) << c[0];
    }
}

TEST(QxImageDescTests, CopyBySizeKeepsOnlyTheFieldsAShorterRecordHolds)
{
    CKBYTE pixels[4];
    QxImageDesc d = Desc(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    d.Width = 2;
    d.BytesPerLine = 8;
    d.Image = d.ColorMap = pixels;
    d.ColorMapEntries = 3;
    EXPECT_EQ(QxCopyImageDescBySize(d).Image, pixels);
    d.Size = 48; // an older record without the image pointer
    const QxImageDesc shorter = QxCopyImageDescBySize(d);
    EXPECT_EQ(shorter.Size, 52u);
    EXPECT_EQ(shorter.Image, nullptr);
    EXPECT_EQ(shorter.ColorMap, pixels);
    EXPECT_EQ(shorter.AlphaMask, 0xFF000000u);
    d.Size = 24;
    const QxImageDesc tiny = QxCopyImageDescBySize(d);
    EXPECT_EQ(tiny.BitsPerPixel, 32);
    EXPECT_EQ(tiny.RedMask, 0u);
    EXPECT_EQ(tiny.ColorMapEntries, 0);
    d.Size = 0;
    EXPECT_EQ(QxCopyImageDescBySize(d).Width, 0);
}

TEST(QxPixelFormatTests, TableRowsHoldTheListedDepthsMasksAndNames)
{
    ASSERT_NE(QxGetPixelFormat(39), nullptr);
    EXPECT_EQ(QxGetPixelFormat(40), nullptr);
    EXPECT_EQ(QxGetPixelFormat(-1), nullptr);
    EXPECT_STREQ(QxGetPixelFormatName(0), "Unknown");
    EXPECT_STREQ(QxGetPixelFormatName(2), "32 bits RGB  888");
    EXPECT_STREQ(QxGetPixelFormatName(36), "8 Bits ABGR Paletted");
    EXPECT_STREQ(QxGetPixelFormatName(37), "8 Bits ARGB Paletted");
    EXPECT_STREQ(QxGetPixelFormatName(33), "128 Bits RGBA float32");
    EXPECT_EQ(QxGetPixelFormat(36)->BitsPerPixel, 4u);
    EXPECT_EQ(QxGetPixelFormat(_16_ARGB4444)->AlphaMask, 0xF000u);
    EXPECT_EQ(QxGetPixelFormat(_32_BGRA8888)->BlueMask, 0xFF000000u);
    for (int id = 0; id < QX_MAXPIXELFORMATS; ++id)
        EXPECT_LT(std::strlen(QxGetPixelFormatName(id)), 24u) << id;
}

TEST(QxPixelFormatTests, DescriptionsMapToIdsAndBack)
{
    struct Case
    {
        QxImageDesc Desc;
        int Id;
    };
    const Case cases[] = {
        {Desc(32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000), _32_ARGB8888},
        {Desc(32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0), _32_RGB888},
        {Desc(24, 0x00FF0000, 0x0000FF00, 0x000000FF, 0), _24_RGB888},
        {Desc(24, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000), UNKNOWN_PF}, // depth is part of the match
        {Desc(16, 0x00FF, 0xFF00, 0, 0), _16_V8U8},
        {Desc(16, 0x00FF, 0xFF00, 0, 0x1234), _16_V8U8}, // bump maps ignore alpha
        {Desc(16, 0x001F, 0x03E0, 0xFC00, 0), _16_L6V5U5},
        {Desc(32, 0xFF, 0xFF00, 0xFF0000, 0), _32_BGR888}, // found before the bump-map rows
        {Desc(32, 0xFF, 0xFF00, 0xFF0000, 0x0F000000), _32_X8L8V8U8},
        {Desc(0, 0, 0, 0, 0, 21), _DXT3},
        {Desc(0, 0, 0, 0, 0, 39), _16_D16},
        {Desc(0, 0, 0, 0, 0, 40), UNKNOWN_PF},
        {Desc(0, 0, 0, 0, 0, 18), UNKNOWN_PF}, // a mask-described id in Flags is not taken
    };
    for (const Case& c : cases)
        EXPECT_EQ(QxImageDesc2PixelFormat(c.Desc), c.Id) << c.Desc.BitsPerPixel << " " << c.Desc.Flags;
    for (int id = 1; id <= 18; ++id) {
        QxImageDesc d;
        QxPixelFormat2ImageDesc(id, d);
        EXPECT_EQ(d.Flags, 0u);
        EXPECT_EQ(QxImageDesc2PixelFormat(d), id);
    }
    // An id gives its depth, masks and flags; unknown ids leave the description.
    QxImageDesc d = Desc(32, 1, 2, 3, 4);
    QxPixelFormat2ImageDesc(_DXT1, d);
    EXPECT_TRUE(d == Desc(0, 0, 0, 0, 0));
    EXPECT_EQ(d.Flags, 19u);
    QxPixelFormat2ImageDesc(_16_ARGB1555, d);
    EXPECT_TRUE(d == Desc(16, 0x7C00, 0x03E0, 0x001F, 0x8000));
    EXPECT_EQ(d.Flags, 0u);
    d = Desc(32, 1, 2, 3, 4, 25);
    QxPixelFormat2ImageDesc(0, d);
    QxPixelFormat2ImageDesc(-3, d);
    EXPECT_TRUE(d == Desc(32, 1, 2, 3, 4));
    EXPECT_EQ(d.Flags, 25u);
    QxPixelFormat2ImageDesc(40, d); // beyond the table: only Flags cleared
    EXPECT_TRUE(d == Desc(32, 1, 2, 3, 4));
    EXPECT_EQ(d.Flags, 0u);
}

TEST(QxPixelFormatTests, MaskShiftIsTheLowestSetBitAndTopJustAboveTheLowestRunOfOnes)
{
    const CKDWORD cases[][3] = {
        {0, 0, 0},           {1, 0, 1},          {0x00FF0000, 16, 24}, {0x7C00, 10, 15}, {0x80000000, 31, 32},
        {0xFFFFFFFF, 0, 32}, {0x00F000F0, 4, 8},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QxGetMaskShift(c[0]), c[1]) << std::hex << c[0];
        EXPECT_EQ(QxGetMaskTop(c[0]), c[2]) << std::hex << c[0];
    }
}

} // namespace

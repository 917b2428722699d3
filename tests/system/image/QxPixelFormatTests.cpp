#include <gtest/gtest.h>

#include <cstring>

#include "system/image/QxImageDesc.h"
#include "system/image/QxPixelFormat.h"

namespace {

QxImageDesc Desc(int bits, CKDWORD r, CKDWORD g, CKDWORD b, CKDWORD a)
{
    QxImageDesc d;
    d.BitsPerPixel = bits;
    d.RedMask = r;
    d.GreenMask = g;
    d.BlueMask = b;
    d.AlphaMask = a;
    return d;
}

TEST(QxImageDescTests, NewDescriptionHoldsItsLogicalSizeAndZeroes)
{
    QxImageDesc d;
    EXPECT_EQ(d.Size, 52u);
    EXPECT_EQ(d.Flags, 0u);
    EXPECT_EQ(d.Width, 0);
    EXPECT_EQ(d.BitsPerPixel, 0);
    EXPECT_EQ(d.ColorMapEntries, 0);
    EXPECT_EQ(d.Image, nullptr);
    EXPECT_EQ(d.ColorMap, nullptr);
}

TEST(QxImageDescTests, InequalityIgnoresFlagsAndPointersButSeesEveryOtherField)
{
    QxImageDesc a = Desc(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
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

    auto differs = [&](auto change) {
        QxImageDesc c = a;
        change(c);
        return a != c;
    };
    EXPECT_TRUE(differs([](QxImageDesc& c) { c.Size = 40; }));
    EXPECT_TRUE(differs([](QxImageDesc& c) { c.Width = 5; }));
    EXPECT_TRUE(differs([](QxImageDesc& c) { c.Height = 5; }));
    EXPECT_TRUE(differs([](QxImageDesc& c) { c.BytesPerLine = 20; }));
    EXPECT_TRUE(differs([](QxImageDesc& c) { c.BitsPerPixel = 24; }));
    EXPECT_TRUE(differs([](QxImageDesc& c) { c.RedMask = 1; }));
    EXPECT_TRUE(differs([](QxImageDesc& c) { c.GreenMask = 1; }));
    EXPECT_TRUE(differs([](QxImageDesc& c) { c.BlueMask = 1; }));
    EXPECT_TRUE(differs([](QxImageDesc& c) { c.AlphaMask = 1; }));
    EXPECT_TRUE(differs([](QxImageDesc& c) { c.BytesPerColorEntry = 4; }));
    EXPECT_TRUE(differs([](QxImageDesc& c) { c.ColorMapEntries = 16; }));
}

TEST(QxImageDescTests, DefaultMasksFollowTheDepth)
{
    QxImageDesc d = Desc(16, 1, 2, 3, 4);
    d.SetDefaultMasks();
    EXPECT_EQ(d.RedMask, 0x7C00u);
    EXPECT_EQ(d.GreenMask, 0x03E0u);
    EXPECT_EQ(d.BlueMask, 0x001Fu);
    EXPECT_EQ(d.AlphaMask, 0u);
    d = Desc(15, 1, 2, 3, 4);
    d.SetDefaultMasks();
    EXPECT_EQ(d.RedMask, 0x7C00u);
    d = Desc(24, 1, 2, 3, 4);
    d.SetDefaultMasks();
    EXPECT_EQ(d.RedMask, 0x00FF0000u);
    EXPECT_EQ(d.GreenMask, 0x0000FF00u);
    EXPECT_EQ(d.BlueMask, 0x000000FFu);
    EXPECT_EQ(d.AlphaMask, 0u);
    d = Desc(32, 1, 2, 3, 4);
    d.SetDefaultMasks();
    EXPECT_EQ(d.AlphaMask, 0xFF000000u);
    d = Desc(8, 1, 2, 3, 4);
    d.SetDefaultMasks();
    EXPECT_EQ(d.RedMask, 1u);
    EXPECT_EQ(d.AlphaMask, 4u);
}

TEST(QxImageDescTests, CopyBySizeKeepsOnlyTheFieldsAShorterRecordHolds)
{
    CKBYTE pixels[4];
    QxImageDesc d = Desc(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    d.Width = 2;
    d.Height = 1;
    d.BytesPerLine = 8;
    d.Image = pixels;
    d.ColorMap = pixels;
    d.ColorMapEntries = 3;
    d.BytesPerColorEntry = 4;

    QxImageDesc full = QxCopyImageDescBySize(d);
    EXPECT_EQ(full.Image, pixels);
    EXPECT_EQ(full.Size, 52u);

    d.Size = 48; // an older record without the image pointer
    QxImageDesc shorter = QxCopyImageDescBySize(d);
    EXPECT_EQ(shorter.Size, 52u);
    EXPECT_EQ(shorter.Image, nullptr);
    EXPECT_EQ(shorter.ColorMap, pixels);
    EXPECT_EQ(shorter.AlphaMask, 0xFF000000u);

    d.Size = 24;
    QxImageDesc tiny = QxCopyImageDescBySize(d);
    EXPECT_EQ(tiny.BitsPerPixel, 32);
    EXPECT_EQ(tiny.RedMask, 0u);
    EXPECT_EQ(tiny.ColorMapEntries, 0);

    d.Size = 0;
    QxImageDesc empty = QxCopyImageDescBySize(d);
    EXPECT_EQ(empty.Width, 0);
    EXPECT_EQ(empty.BitsPerPixel, 0);
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

TEST(QxPixelFormatTests, ArgbAndRgbMasksMapToTheirIds)
{
    EXPECT_EQ(QxImageDesc2PixelFormat(Desc(32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000)), _32_ARGB8888);
    EXPECT_EQ(QxImageDesc2PixelFormat(Desc(32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0)), _32_RGB888);
    EXPECT_EQ(QxImageDesc2PixelFormat(Desc(24, 0x00FF0000, 0x0000FF00, 0x000000FF, 0)), _24_RGB888);
    // Depth is part of the match.
    EXPECT_EQ(QxImageDesc2PixelFormat(Desc(24, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000)), UNKNOWN_PF);
}

TEST(QxPixelFormatTests, EveryMaskDescribedIdRoundTrips)
{
    for (int id = 1; id <= 18; ++id) {
        QxImageDesc d;
        QxPixelFormat2ImageDesc(id, d);
        EXPECT_EQ(d.Flags, 0u);
        EXPECT_EQ(QxImageDesc2PixelFormat(d), id);
    }
}

TEST(QxPixelFormatTests, BumpMapsIgnoreAlpha)
{
    EXPECT_EQ(QxImageDesc2PixelFormat(Desc(16, 0x00FF, 0xFF00, 0, 0)), _16_V8U8);
    EXPECT_EQ(QxImageDesc2PixelFormat(Desc(16, 0x00FF, 0xFF00, 0, 0x1234)), _16_V8U8);
    EXPECT_EQ(QxImageDesc2PixelFormat(Desc(16, 0x001F, 0x03E0, 0xFC00, 0)), _16_L6V5U5);
    // 32-bit BGR without alpha is id 13, found before the bump-map rows.
    EXPECT_EQ(QxImageDesc2PixelFormat(Desc(32, 0xFF, 0xFF00, 0xFF0000, 0)), _32_BGR888);
    EXPECT_EQ(QxImageDesc2PixelFormat(Desc(32, 0xFF, 0xFF00, 0xFF0000, 0x0F000000)), _32_X8L8V8U8);
}

TEST(QxPixelFormatTests, FlagsNameTheFormatsMasksCannotDescribe)
{
    QxImageDesc d = Desc(0, 0, 0, 0, 0);
    d.Flags = 21;
    EXPECT_EQ(QxImageDesc2PixelFormat(d), _DXT3);
    d.Flags = 39;
    EXPECT_EQ(QxImageDesc2PixelFormat(d), _16_D16);
    d.Flags = 40;
    EXPECT_EQ(QxImageDesc2PixelFormat(d), UNKNOWN_PF);
    d.Flags = 18; // a mask-described id in Flags is not taken
    EXPECT_EQ(QxImageDesc2PixelFormat(d), UNKNOWN_PF);
}

TEST(QxPixelFormatTests, IdToDescriptionWritesDepthMasksAndFlags)
{
    QxImageDesc d = Desc(32, 1, 2, 3, 4);
    QxPixelFormat2ImageDesc(_DXT1, d);
    EXPECT_EQ(d.BitsPerPixel, 0);
    EXPECT_EQ(d.RedMask, 0u);
    EXPECT_EQ(d.AlphaMask, 0u);
    EXPECT_EQ(d.Flags, 19u);

    QxPixelFormat2ImageDesc(_16_ARGB1555, d);
    EXPECT_EQ(d.BitsPerPixel, 16);
    EXPECT_EQ(d.RedMask, 0x7C00u);
    EXPECT_EQ(d.AlphaMask, 0x8000u);
    EXPECT_EQ(d.Flags, 0u);
}

TEST(QxPixelFormatTests, UnknownIdsLeaveTheDescriptionAlone)
{
    QxImageDesc d = Desc(32, 1, 2, 3, 4);
    d.Flags = 25;
    QxPixelFormat2ImageDesc(0, d);
    EXPECT_EQ(d.BitsPerPixel, 32);
    EXPECT_EQ(d.Flags, 25u);
    QxPixelFormat2ImageDesc(-3, d); // negative: as unknown
    EXPECT_EQ(d.BitsPerPixel, 32);
    EXPECT_EQ(d.RedMask, 1u);
    EXPECT_EQ(d.Flags, 25u);
    QxPixelFormat2ImageDesc(40, d); // beyond the table: only Flags cleared
    EXPECT_EQ(d.BitsPerPixel, 32);
    EXPECT_EQ(d.RedMask, 1u);
    EXPECT_EQ(d.Flags, 0u);
}

TEST(QxPixelFormatTests, MaskShiftIsTheLowestSetBit)
{
    EXPECT_EQ(QxGetMaskShift(0), 0u);
    EXPECT_EQ(QxGetMaskShift(1), 0u);
    EXPECT_EQ(QxGetMaskShift(0x00FF0000), 16u);
    EXPECT_EQ(QxGetMaskShift(0x7C00), 10u);
    EXPECT_EQ(QxGetMaskShift(0x80000000), 31u);
}

TEST(QxPixelFormatTests, MaskTopIsJustAboveTheLowestRunOfOnes)
{
    EXPECT_EQ(QxGetMaskTop(0), 0u);
    EXPECT_EQ(QxGetMaskTop(0x00FF0000), 24u);
    EXPECT_EQ(QxGetMaskTop(0x7C00), 15u);
    EXPECT_EQ(QxGetMaskTop(0xFF000000), 32u);
    EXPECT_EQ(QxGetMaskTop(0xFFFFFFFF), 32u);
    EXPECT_EQ(QxGetMaskTop(0x00F000F0), 8u); // only the lowest run counts
}

} // namespace

#include <gtest/gtest.h>

#include <cstring>

#include "platform/PlatformBitmap.h"
#include "platform/PlatformFont.h"
#include "platform/PlatformMulDiv.h"

namespace {

PlatformBitmapInfoHeader Header(int w, int h, int bits)
{
    PlatformBitmapInfoHeader header;
    header.Width = w;
    header.Height = h;
    header.BitCount = uint16_t(bits);
    return header;
}

TEST(PlatformBitmapTests, SectionsAreBottomUpWithFourBytePitches)
{
    PlatformBitmap* bitmap = PlatformCreateDibSection(Header(3, 2, 24));
    ASSERT_NE(bitmap, nullptr);
    PlatformDibSection section;
    ASSERT_TRUE(PlatformGetDibSection(bitmap, &section));
    EXPECT_EQ(section.Bitmap.Width, 3);
    EXPECT_EQ(section.Bitmap.Height, 2);
    EXPECT_EQ(section.Bitmap.BitsPixel, 24);
    EXPECT_EQ(section.Bitmap.Planes, 1);
    EXPECT_EQ(section.Bitmap.WidthBytes, 10) << "reported rounded to 2 bytes, as the platform does";
    EXPECT_EQ(section.Header.SizeImage, 24u);
    EXPECT_EQ(section.Header.Size, 40u);
    EXPECT_EQ(section.Bitmap.Bits, bitmap->Pixels());
    EXPECT_EQ(bitmap->Pitch(), 12);
    EXPECT_EQ(bitmap->Row(0), bitmap->Pixels() + 12) << "the top row is the last in memory";
    for (uint32_t i = 0; i < section.Header.SizeImage; ++i)
        ASSERT_EQ(bitmap->Pixels()[i], 0);
    EXPECT_TRUE(PlatformDeleteObject(bitmap));
}

TEST(PlatformBitmapTests, HeadersOutsideTheStandInAreRefused)
{
    EXPECT_EQ(PlatformCreateDibSection(Header(4, 4, 16)), nullptr);
    EXPECT_EQ(PlatformCreateDibSection(Header(0, 4, 24)), nullptr);
    EXPECT_EQ(PlatformCreateDibSection(Header(4, -4, 24)), nullptr);
    EXPECT_EQ(PlatformCreateDibSection(Header(100000, 100000, 32)), nullptr);
    PlatformBitmapInfoHeader planes = Header(4, 4, 24);
    planes.Planes = 2;
    EXPECT_EQ(PlatformCreateDibSection(planes), nullptr);
    PlatformBitmapInfoHeader compressed = Header(4, 4, 24);
    compressed.Compression = 1;
    EXPECT_EQ(PlatformCreateDibSection(compressed), nullptr);
    PlatformBitmapInfoHeader size = Header(4, 4, 24);
    size.Size = 12;
    EXPECT_EQ(PlatformCreateDibSection(size), nullptr);
    EXPECT_FALSE(PlatformDeleteObject(nullptr));
    EXPECT_FALSE(PlatformGetDibSection(nullptr, nullptr));
}

TEST(PlatformBitmapTests, BitBltCopiesClippedRowsBetweenPixelSizes)
{
    PlatformBitmap* src = PlatformCreateDibSection(Header(3, 3, 32));
    PlatformBitmap* dst = PlatformCreateDibSection(Header(4, 2, 24));
    ASSERT_TRUE(src && dst);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) {
            uint8_t* p = src->Row(y) + x * 4;
            p[0] = uint8_t(10 * y + x);
            p[1] = 0x11;
            p[2] = 0x22;
            p[3] = 0x99;
        }
    // Asks for more than either bitmap holds, from (1, 1) to (2, -1).
    ASSERT_TRUE(PlatformBitBlt(dst, 2, -1, 10, 10, src, 1, 1));
    // Row -1 is cut off, so source row 2 lands on row 0, columns 2 and 3.
    EXPECT_EQ(dst->Row(0)[2 * 3], 21);
    EXPECT_EQ(dst->Row(0)[3 * 3], 22);
    EXPECT_EQ(dst->Row(0)[3 * 3 + 2], 0x22);
    EXPECT_EQ(dst->Row(0)[1 * 3], 0);
    EXPECT_EQ(dst->Row(1)[2 * 3], 0);

    ASSERT_TRUE(PlatformBitBlt(src, 0, 0, 1, 1, dst, 2, 0));
    EXPECT_EQ(src->Row(0)[0], 21);
    EXPECT_EQ(src->Row(0)[3], 0) << "the unused byte of 32-bit pixels is cleared";
    EXPECT_FALSE(PlatformBitBlt(nullptr, 0, 0, 1, 1, src, 0, 0));
    PlatformDeleteObject(src);
    PlatformDeleteObject(dst);
}

TEST(PlatformFontTests, FontsKeepTheirLogicalDescription)
{
    PlatformLogFont lf;
    lf.Height = -21;
    lf.Weight = 700;
    lf.Italic = 1;
    std::memset(lf.FaceName, 'A', sizeof(lf.FaceName)); // no terminator: cut to 31
    PlatformFont* font = PlatformCreateFont(lf);
    ASSERT_NE(font, nullptr);
    PlatformLogFont out;
    ASSERT_TRUE(PlatformGetFontLogFont(font, &out));
    EXPECT_EQ(out.Height, -21);
    EXPECT_EQ(out.Weight, 700);
    EXPECT_EQ(out.Italic, 1);
    EXPECT_EQ(std::strlen(out.FaceName), 31u);
    EXPECT_FALSE(PlatformGetFontLogFont(nullptr, &out));
    EXPECT_TRUE(PlatformDeleteObject(font));
}

TEST(PlatformMulDivTests, RoundsToNearestWithHalvesAwayFromZero)
{
    EXPECT_EQ(PlatformMulDiv(12, 96, 72), 16);
    EXPECT_EQ(PlatformMulDiv(10, 96, 72), 13);
    EXPECT_EQ(PlatformMulDiv(11, 96, 72), 15);
    EXPECT_EQ(PlatformMulDiv(-11, 96, 72), -15);
    EXPECT_EQ(PlatformMulDiv(3, 1, 2), 2);
    EXPECT_EQ(PlatformMulDiv(-3, 1, 2), -2);
    EXPECT_EQ(PlatformMulDiv(3, 1, -2), -2);
    EXPECT_EQ(PlatformMulDiv(1, 1, 0), -1);
    EXPECT_EQ(PlatformMulDiv(INT32_MAX, 4, 1), -1);
}

} // namespace

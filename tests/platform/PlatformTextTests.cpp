#include <gtest/gtest.h>

#include <cstring>

#include "platform/PlatformBitmap.h"
#include "platform/PlatformFont.h"
#include "platform/PlatformText.h"

namespace {

struct Surface
{
    PlatformBitmap* Bitmap;
    explicit Surface(int w, int h, int bits = 24)
    {
        PlatformBitmapInfoHeader header;
        header.Width = w;
        header.Height = h;
        header.BitCount = uint16_t(bits);
        Bitmap = PlatformCreateDibSection(header);
        // Grey everywhere, so that both background and ink show.
        std::memset(Bitmap->Pixels(), 0x80, Bitmap->Header().SizeImage);
    }
    ~Surface() { PlatformDeleteObject(Bitmap); }
    const uint8_t* Pixel(int x, int y) const { return Bitmap->Row(y) + x * (Bitmap->Header().BitCount / 8); }
    bool IsGrey(int x, int y) const
    {
        const uint8_t* p = Pixel(x, y);
        return p[0] == 0x80 && p[1] == 0x80 && p[2] == 0x80;
    }
};

struct Font
{
    PlatformFont* Handle;
    explicit Font(int height, int weight = 400, const char* face = "Arial")
    {
        PlatformLogFont lf;
        lf.Height = height;
        lf.Weight = weight;
        std::strncpy(lf.FaceName, face, sizeof(lf.FaceName) - 1);
        Handle = PlatformCreateFont(lf);
    }
    ~Font() { PlatformDeleteObject(Handle); }
};

const uint32_t kWhite = 0x00FFFFFF;
const uint32_t kBlueRef = 0x00FF0000; // 0x00BBGGRR

int CellHeight(const Font& font)
{
    int32_t w = 0, h = 0;
    EXPECT_TRUE(PlatformGetTextExtent(font.Handle, "x", -1, &w, &h));
    return h;
}

TEST(PlatformTextTests, CharacterAndCellHeightsFollowTheLogicalHeight)
{
    Font character(-20);
    const int cell = CellHeight(character);
    EXPECT_GE(cell, 22); // DejaVu's cell is about 1.16 em
    EXPECT_LE(cell, 25);
    Font byCell(30);
    EXPECT_NEAR(CellHeight(byCell), 30, 1);
    Font byDefault(0);
    EXPECT_NEAR(CellHeight(byDefault), 16, 2);
}

TEST(PlatformTextTests, LeftTopTextFillsItsCellAndStaysInsideTheRectangle)
{
    Surface s(120, 60);
    Font font(-16);
    PlatformRect rect{10, 5, 110, 55};
    PlatformRect drawn;
    ASSERT_TRUE(PlatformDrawTextA(s.Bitmap, font.Handle, "Hello", -1, rect, 0, kWhite, kBlueRef, &drawn));
    int32_t width = 0, height = 0;
    ASSERT_TRUE(PlatformGetTextExtent(font.Handle, "Hello", -1, &width, &height));
    EXPECT_EQ(drawn.Left, 10);
    EXPECT_EQ(drawn.Top, 5);
    EXPECT_GE(drawn.Right, 10 + width);
    EXPECT_LE(drawn.Right, 10 + width + 2);
    EXPECT_EQ(drawn.Bottom, 5 + height);
    int ink = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 120; ++x) {
            const bool inside = x >= drawn.Left && x < drawn.Right && y >= drawn.Top && y < drawn.Bottom;
            if (!inside)
                ASSERT_TRUE(s.IsGrey(x, y)) << x << "," << y;
            else {
                const uint8_t* p = s.Pixel(x, y);
                ASSERT_EQ(p[0], 0xFF) << "blue stays full over white";
                if (p[1] < 0x80)
                    ++ink;
            }
        }
    EXPECT_GT(ink, 20);
}

TEST(PlatformTextTests, AlignmentPlacesTheCellAndVerticalAlignmentNeedsASingleLine)
{
    Font font(-14);
    int32_t width = 0, cell = 0;
    ASSERT_TRUE(PlatformGetTextExtent(font.Handle, "Ag", -1, &width, &cell));
    const PlatformRect rect{7, 10, 193, 90};
    const int centre = (7 + 193 - width) / 2, middle = (10 + 90 - cell) / 2;
    const uint32_t single = PLATFORM_DT_SINGLELINE, bottom = PLATFORM_DT_BOTTOM, vcentre = PLATFORM_DT_VCENTER;
    const struct Case
    {
        uint32_t Format;
        int Left, Top;
    } cases[] = {
        {0, 7, 10},
        {PLATFORM_DT_RIGHT, 193 - width, 10},
        {PLATFORM_DT_CENTER, centre, 10},
        {PLATFORM_DT_CENTER | PLATFORM_DT_RIGHT, centre, 10},
        {single | vcentre, 7, middle},
        {single | bottom, 7, 90 - cell},
        {single | bottom | vcentre, 7, middle},
        {bottom, 7, 10},
        {vcentre, 7, 10},
    };
    for (const Case& c : cases) {
        Surface s(200, 100);
        PlatformRect drawn;
        ASSERT_TRUE(PlatformDrawTextA(s.Bitmap, font.Handle, "Ag", -1, rect, c.Format, kWhite, 0, &drawn));
        EXPECT_EQ(drawn.Left, c.Left) << c.Format;
        // Ink may overhang the last advance by a pixel, as on the platform.
        EXPECT_GE(drawn.Right, c.Left + width) << c.Format;
        EXPECT_LE(drawn.Right, c.Left + width + 2) << c.Format;
        EXPECT_EQ(drawn.Top, c.Top) << c.Format;
        EXPECT_EQ(drawn.Bottom, c.Top + cell) << c.Format;
    }
}

TEST(PlatformTextTests, LineBreaksStackLinesUnlessSingleLine)
{
    Font font(-12);
    const int cell = CellHeight(font);
    Surface multi(100, 100), single(100, 100);
    PlatformRect a, b;
    ASSERT_TRUE(
        PlatformDrawTextA(multi.Bitmap, font.Handle, "one\r\ntwo\nthree", -1, {0, 0, 100, 100}, 0, kWhite, 0, &a));
    EXPECT_EQ(a.Bottom, 3 * cell);
    ASSERT_TRUE(PlatformDrawTextA(single.Bitmap, font.Handle, "one\r\ntwo\nthree", -1, {0, 0, 100, 100},
                                  PLATFORM_DT_SINGLELINE, kWhite, 0, &b));
    EXPECT_EQ(b.Bottom, cell);
    EXPECT_GT(b.Right, a.Right);
}

TEST(PlatformTextTests, OutputIsClippedToTheRectangleAndTheBitmap)
{
    Font font(-30);
    Surface s(60, 40);
    const PlatformRect rect{-20, 10, 25, 22};
    PlatformRect drawn;
    ASSERT_TRUE(PlatformDrawTextA(s.Bitmap, font.Handle, "WWWW", -1, rect, 0, kWhite, 0, &drawn));
    EXPECT_EQ(drawn.Left, 0);
    EXPECT_EQ(drawn.Top, 10);
    EXPECT_EQ(drawn.Right, 25);
    EXPECT_EQ(drawn.Bottom, 22);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x)
            if (x >= 25 || y < 10 || y >= 22) {
                ASSERT_TRUE(s.IsGrey(x, y)) << x << "," << y;
            }

    Surface empty(10, 10);
    ASSERT_TRUE(PlatformDrawTextA(empty.Bitmap, font.Handle, "W", -1, {5, 5, 5, 9}, 0, kWhite, 0, &drawn));
    EXPECT_EQ(drawn.Right, drawn.Left) << "an empty rectangle draws nothing";
}

TEST(PlatformTextTests, BoldItalicAndUnderlineChangeTheInk)
{
    auto inkOf = [](int weight, bool italic, bool underline) {
        PlatformLogFont lf;
        lf.Height = -20;
        lf.Weight = weight;
        lf.Italic = italic;
        lf.Underline = underline;
        PlatformFont* font = PlatformCreateFont(lf);
        Surface s(200, 40);
        PlatformDrawTextA(s.Bitmap, font, "Ink", -1, {0, 0, 200, 40}, 0, kWhite, 0);
        PlatformDeleteObject(font);
        long ink = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 200; ++x)
                if (!s.IsGrey(x, y))
                    ink += 255 - s.Pixel(x, y)[0];
        return ink;
    };
    const long regular = inkOf(400, false, false);
    EXPECT_GT(inkOf(700, false, false), regular);
    EXPECT_GT(inkOf(400, false, true), regular);
    EXPECT_NE(inkOf(400, true, false), regular);
}

TEST(PlatformTextTests, EightBitTextIsWindows1252AndWideTextIsUtf16)
{
    Font font(-16);
    int32_t euro = 0, e = 0;
    ASSERT_TRUE(PlatformGetTextExtent(font.Handle, "\x80", 1, &euro, nullptr));
    ASSERT_TRUE(PlatformGetTextExtent(font.Handle, "e", 1, &e, nullptr));
    EXPECT_GT(euro, 0);

    Surface a(100, 30), w(100, 30);
    PlatformRect da, dw;
    ASSERT_TRUE(PlatformDrawTextA(a.Bitmap, font.Handle, "\x80 caf\xE9", -1, {0, 0, 100, 30}, 0, kWhite, 0, &da));
    ASSERT_TRUE(PlatformDrawTextW(w.Bitmap, font.Handle, u"\u20AC caf\u00E9", -1, {0, 0, 100, 30}, 0, kWhite, 0, &dw));
    EXPECT_EQ(da.Right, dw.Right);
    EXPECT_EQ(0, std::memcmp(a.Bitmap->Pixels(), w.Bitmap->Pixels(), a.Bitmap->Header().SizeImage));
    // A lone surrogate is drawn as a replacement character, not skipped.
    PlatformRect lone;
    ASSERT_TRUE(PlatformDrawTextW(w.Bitmap, font.Handle, u"\xD800", 1, {0, 0, 100, 30}, 0, kWhite, 0, &lone));
    EXPECT_GT(lone.Right, lone.Left);
}

TEST(PlatformTextTests, NullArgumentsFail)
{
    Font font(-12);
    Surface s(10, 10);
    EXPECT_FALSE(PlatformDrawTextA(nullptr, font.Handle, "a", -1, {0, 0, 10, 10}, 0, 0, 0));
    EXPECT_FALSE(PlatformDrawTextA(s.Bitmap, nullptr, "a", -1, {0, 0, 10, 10}, 0, 0, 0));
    EXPECT_FALSE(PlatformDrawTextA(s.Bitmap, font.Handle, nullptr, -1, {0, 0, 10, 10}, 0, 0, 0));
    EXPECT_FALSE(PlatformDrawTextW(s.Bitmap, font.Handle, nullptr, -1, {0, 0, 10, 10}, 0, 0, 0));
    EXPECT_FALSE(PlatformGetTextExtent(nullptr, "a", -1, nullptr, nullptr));
}

TEST(PlatformTextTests, ThirtyTwoBitBitmapsKeepTheirUnusedByte)
{
    Font font(-12);
    Surface s(40, 20, 32);
    ASSERT_TRUE(PlatformDrawTextA(s.Bitmap, font.Handle, "x", -1, {0, 0, 40, 20}, 0, kWhite, 0));
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(s.Pixel(x, y)[3], 0x80);
}

} // namespace

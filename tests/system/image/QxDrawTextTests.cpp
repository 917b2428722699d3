#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/PlatformBitmap.h"
#include "platform/PlatformText.h"
#include "system/image/QxBitmap.h"
#include "system/image/QxDrawText.h"
#include "system/image/QxFont.h"
#include "system/image/QxPixelFormat.h"

namespace {

TEST(QxFontTests, PointSizesBecomeNegativePixelHeightsAt96DpiAndOptionsTextFormats)
{
    PlatformFont* font = QxCreateFont("Arial", 12, 700, TRUE, FALSE);
    ASSERT_NE(font, nullptr);
    QxFontInfo info;
    ASSERT_TRUE(QxGetFontInfo(font, info));
    EXPECT_STREQ(info.FaceName.CStr(), "Arial");
    EXPECT_EQ(info.Height, -16);
    EXPECT_EQ(info.Weight, 700);
    EXPECT_EQ(info.Italic, TRUE);
    EXPECT_EQ(info.Underline, FALSE);
    PlatformLogFont lf;
    ASSERT_TRUE(PlatformGetFontLogFont(font, &lf));
    EXPECT_EQ(lf.Quality, 4);
    EXPECT_EQ(lf.CharSet, 1);
    EXPECT_EQ(lf.Width, 0);
    EXPECT_EQ(lf.StrikeOut, 0);
    PlatformDeleteObject(font);

    font = QxCreateFont(nullptr, 11, 400, FALSE, TRUE);
    ASSERT_TRUE(QxGetFontInfo(font, info));
    EXPECT_STREQ(info.FaceName.CStr(), "");
    EXPECT_EQ(info.Height, -15);
    EXPECT_EQ(info.Underline, TRUE);
    PlatformDeleteObject(font);
    EXPECT_FALSE(QxGetFontInfo(nullptr, info));
    // Option bits map to the text format.
    // Pairs of option bits and the text format they give.
    const CKDWORD cases[] = {
        1 + 4 + 32, 39, 0,  0,  2,       0,  8,  0, 1,      1, 4,       2,  1 + 4,           3,  16,      40,
        4 + 16,     42, 32, 36, 16 + 32, 44, 64, 1, 64 + 4, 3, 64 + 16, 41, 64 + 4 + 16 + 1, 43, 64 + 32, 37};
    for (size_t i = 0; i < std::size(cases); i += 2)
        EXPECT_EQ(QxDrawTextFormat(cases[i]), cases[i + 1]) << cases[i];
}

// A 24-bit image drawn into through a bitmap, as the sprite text does.
struct Canvas
{
    int W, H;
    std::vector<CKBYTE> Pixels;
    QxImageDesc Desc;
    PlatformBitmap* Bitmap = nullptr;

    Canvas(int w, int h, CKDWORD fill) : W(w), H(h), Pixels(size_t(w) * h * 4)
    {
        QxPixelFormat2ImageDesc(_32_ARGB8888, Desc);
        Desc.Width = w;
        Desc.Height = h;
        Desc.BytesPerLine = w * 4;
        Desc.Image = Pixels.data();
        for (int i = 0; i < w * h; ++i)
            std::memcpy(&Pixels[size_t(i) * 4], &fill, 4);
        Bitmap = QxCreateBitmapFromImage(Desc);
    }
    ~Canvas() { PlatformDeleteObject(Bitmap); }
    void Back() { ASSERT_TRUE(QxCopyBitmapToImage(Bitmap, Desc)); }
    CKDWORD At(int x, int y) const
    {
        CKDWORD p;
        std::memcpy(&p, &Pixels[(size_t(y) * W + x) * 4], 4);
        return p;
    }
    // Bounds of every pixel that is not the fill colour.
    PlatformRect Changed(CKDWORD fill) const
    {
        PlatformRect r{W, H, -1, -1};
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                if (At(x, y) != fill) {
                    r.Left = std::min(r.Left, x);
                    r.Top = std::min(r.Top, y);
                    r.Right = std::max(r.Right, x + 1);
                    r.Bottom = std::max(r.Bottom, y + 1);
                }
        return r;
    }
};

TEST(QxDrawTextTests, TextLandsInsideItsRectangleWithTheRequestedAlignment)
{
    const CKDWORD fill = 0xFF102030;
    PlatformFont* font = QxCreateFont("Arial", 10, 400, FALSE, FALSE);
    int32_t width = 0, height = 0;
    ASSERT_TRUE(PlatformGetTextExtent(font, "Sprite", -1, &width, &height));
    const PlatformRect rect{20, 10, 180, 90};
    struct Case
    {
        CKDWORD Options;
        int Left, Top; // of the text's cell
    } cases[] = {
        {2 + 8, 20, 10},                                           // left, top
        {4, 180 - width, 10},                                      // right
        {1, (20 + 180 - width) / 2, 10},                           // centre
        {64 + 32, (20 + 180 - width) / 2, (10 + 90 - height) / 2}, // both centred
        {4 + 16, 180 - width, 90 - height},                        // right, bottom
        {2 + 32, 20, (10 + 90 - height) / 2},                      // left, vertical centre
    };
    for (const Case& c : cases) {
        Canvas canvas(200, 100, fill);
        ASSERT_NE(canvas.Bitmap, nullptr);
        ASSERT_TRUE(QxDrawText(canvas.Bitmap, font, "Sprite", rect, c.Options, 0x00FF8000, 0x000000FF));
        canvas.Back();
        const PlatformRect changed = canvas.Changed(fill);
        EXPECT_EQ(changed.Left, c.Left) << c.Options;
        EXPECT_EQ(changed.Top, c.Top) << c.Options;
        EXPECT_GE(changed.Right, c.Left + width) << c.Options;
        EXPECT_LE(changed.Right, c.Left + width + 2) << c.Options;
        EXPECT_EQ(changed.Bottom, c.Top + height) << c.Options;
        EXPECT_GE(changed.Left, rect.Left);
        EXPECT_LE(changed.Right, rect.Right);
        EXPECT_GE(changed.Top, rect.Top);
        EXPECT_LE(changed.Bottom, rect.Bottom);
        // Colours are given as 0x00RRGGBB: the cell's corner is the background,
        // and ink in full text colour shows.
        EXPECT_EQ(canvas.At(c.Left, c.Top), 0xFFFF8000u) << c.Options;
        int fullInk = 0;
        for (int y = c.Top; y < changed.Bottom; ++y)
            for (int x = c.Left; x < changed.Right; ++x)
                fullInk += canvas.At(x, y) == 0xFF0000FFu;
        EXPECT_GT(fullInk, 10) << c.Options;
    }
    PlatformDeleteObject(font);
}

TEST(QxDrawTextTests, WideTextUsesThePlatformColoursByDefaultAndNullsFail)
{
    const CKDWORD fill = 0xFF808080;
    PlatformFont* font = QxCreateFont("Arial", 12, 400, FALSE, FALSE);
    Canvas canvas(100, 30, fill);
    ASSERT_TRUE(QxDrawTextW(canvas.Bitmap, font, u"\u00C9t\u00E9", PlatformRect{0, 0, 100, 30}, 0));
    canvas.Back();
    EXPECT_EQ(canvas.At(0, 0), 0xFFFFFFFFu);
    bool black = false;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 100; ++x)
            black = black || canvas.At(x, y) == 0xFF000000u;
    EXPECT_TRUE(black);
    // A null bitmap, font or text fails; an empty text draws nothing.
    Canvas small(10, 10, 0);
    const PlatformRect rect{0, 0, 10, 10};
    EXPECT_FALSE(QxDrawText(nullptr, font, "a", rect, 0, 0, 0));
    EXPECT_FALSE(QxDrawText(small.Bitmap, nullptr, "a", rect, 0, 0, 0));
    EXPECT_FALSE(QxDrawText(small.Bitmap, font, nullptr, rect, 0, 0, 0));
    EXPECT_FALSE(QxDrawTextW(small.Bitmap, font, nullptr, rect, 0));
    EXPECT_TRUE(QxDrawText(small.Bitmap, font, "", rect, 0, 0, 0));
    PlatformDeleteObject(font);
}

} // namespace

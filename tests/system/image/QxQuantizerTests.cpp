#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "system/image/QxBlitter.h"
#include "system/image/QxImageDesc.h"
#include "system/image/QxPixelFormat.h"
#include "system/image/QxQuantizer.h"
#include "tests/support/TestPaths.h"

namespace {

QxImageDesc Argb(int w, int h, std::vector<CKDWORD>& pixels)
{
    QxImageDesc d;
    QxPixelFormat2ImageDesc(_32_ARGB8888, d);
    d.Width = w;
    d.Height = h;
    d.BytesPerLine = w * 4;
    d.Image = reinterpret_cast<CKBYTE*>(pixels.data());
    return d;
}

// 8-bit indices into 256 4-byte entries laid out as the quantizer writes
// them: byte 0 red, byte 1 green, byte 2 blue.
QxImageDesc Paletted(int w, int h, std::vector<CKBYTE>& indices, std::vector<CKBYTE>& palette)
{
    QxImageDesc d;
    d.Width = w;
    d.Height = h;
    d.BytesPerLine = w;
    d.BitsPerPixel = 8;
    d.RedMask = 0x000000FF;
    d.GreenMask = 0x0000FF00;
    d.BlueMask = 0x00FF0000;
    d.BytesPerColorEntry = 4;
    d.ColorMapEntries = 256;
    d.ColorMap = palette.data();
    d.Image = indices.data();
    return d;
}

// A picture with the statistics of a photograph: light that varies smoothly
// over a few coloured regions, with sensor noise.
std::vector<CKDWORD> PhotoLike(int w, int h)
{
    std::mt19937 rng(7);
    std::vector<CKDWORD> img(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double light = 0.55 + 0.45 * std::sin(x * 0.021 + 0.4) * std::cos(y * 0.017);
            const bool sky = y < h / 3 + 10 * std::sin(x * 0.05);
            const bool disk = (x - w / 2) * (x - w / 2) + (y - 2 * h / 3) * (y - 2 * h / 3) < (h / 4) * (h / 4);
            double r = sky ? 110 : disk ? 200 : 90, g = sky ? 160 : disk ? 70 : 140, b = sky ? 230 : disk ? 50 : 60;
            const double n = double(int(rng() % 5) - 2);
            auto clamp = [](double v) { return CKDWORD(v < 0 ? 0 : v > 255 ? 255 : v); };
            img[size_t(y) * w + x] =
                0xFF000000 | clamp(r * light + n) << 16 | clamp(g * light + n) << 8 | clamp(b * light + n);
        }
    return img;
}

// Quantises through the blitter and converts the indices back to ARGB.
std::vector<CKDWORD> RoundTrip(std::vector<CKDWORD>& src, int w, int h, std::vector<CKBYTE>* paletteOut = nullptr)
{
    std::vector<CKBYTE> indices(size_t(w) * h), palette(1024, 0);
    EXPECT_TRUE(QxDoBlit(Argb(w, h, src), Paletted(w, h, indices, palette)));
    std::vector<CKDWORD> back(size_t(w) * h);
    QxImageDesc pal = Paletted(w, h, indices, palette);
    EXPECT_TRUE(QxDoBlit(pal, Argb(w, h, back)));
    if (paletteOut)
        *paletteOut = palette;
    return back;
}

int Channel(CKDWORD p, int c)
{
    return int((p >> (8 * c)) & 0xFF);
}

double Psnr(const std::vector<CKDWORD>& a, const std::vector<CKDWORD>& b)
{
    double se = 0;
    for (size_t i = 0; i < a.size(); ++i)
        for (int c = 0; c < 3; ++c) {
            const double d = Channel(a[i], c) - Channel(b[i], c);
            se += d * d;
        }
    return 10 * std::log10(255.0 * 255.0 / (se / (a.size() * 3.0)));
}

TEST(QxQuantizerTests, OnlyFourByte256EntryPalettesFrom32BitPixelsAreLearntAndOneColourIsFound)
{
    std::vector<CKDWORD> src(64, 0xFF102030);
    std::vector<CKBYTE> indices(64, 0x77), palette(1024, 0xAB);
    void (*changes[])(QxImageDesc&, QxImageDesc&) = {
        [](QxImageDesc&, QxImageDesc& d) { d.ColorMapEntries = 16; },
        [](QxImageDesc&, QxImageDesc& d) { d.BytesPerColorEntry = 3; }, // learnt, but not blitted
        [](QxImageDesc& s, QxImageDesc&) { s.BitsPerPixel = 16; },
        [](QxImageDesc&, QxImageDesc& d) { d.ColorMap = nullptr; },
    };
    for (size_t i = 0; i < std::size(changes); ++i) {
        std::fill(palette.begin(), palette.end(), 0xAB);
        QxImageDesc from = Argb(8, 8, src), to = Paletted(8, 8, indices, palette);
        changes[i](from, to);
        EXPECT_EQ(QxQuantizeImage(from, to), i == 1) << i;
        EXPECT_FALSE(QxDoBlit(from, to)) << i;
        for (CKBYTE b : indices)
            ASSERT_EQ(b, 0x77) << i;
        for (size_t b = 0; b < palette.size(); ++b)
            ASSERT_EQ(palette[b], i == 1 && b < 768 ? palette[b] : 0xAB) << i;
    }
    // A single colour is found in the palette.
    for (int size : {64, 20, 4}) // 20 x 20 and 4 x 4: well below 1500 pixels
    {
        std::vector<CKDWORD> one(size_t(size) * size, 0xFF3C82C8);
        std::vector<CKBYTE> oneIndices(one.size()), onePalette(1024, 0);
        ASSERT_TRUE(QxQuantizeImage(Argb(size, size, one), Paletted(size, size, oneIndices, onePalette)));
        const int i = QxQuantizerSearch(0x3C, 0x82, 0xC8);
        EXPECT_NEAR(onePalette[i * 4 + 0], 0x3C, 1) << size;
        EXPECT_NEAR(onePalette[i * 4 + 1], 0x82, 1) << size;
        EXPECT_NEAR(onePalette[i * 4 + 2], 0xC8, 1) << size;
    }
}

TEST(QxQuantizerTests, APhotoLikeImageKeeps30DecibelsAndRepeatedRunsGiveIdenticalPalettes)
{
    const int w = 256, h = 192;
    std::vector<CKDWORD> src = PhotoLike(w, h);
    std::vector<CKBYTE> indices(src.size()), palette(1024, 0x5A);
    ASSERT_TRUE(QxQuantizeImage(Argb(w, h, src), Paletted(w, h, indices, palette)));
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(palette[i * 4 + 3], 0x5A);
    std::vector<CKBYTE> first, second;
    const std::vector<CKDWORD> a = RoundTrip(src, w, h, &first);
    const std::vector<CKDWORD> b = RoundTrip(src, w, h, &second);
    EXPECT_EQ(first, second);
    EXPECT_EQ(a, b);
    // A photo-like image keeps 30 dB through eight bits.
    const double psnr = Psnr(src, a);
    RecordProperty("psnr", std::to_string(psnr));
    EXPECT_GE(psnr, 30.0);
    for (CKDWORD p : a)
        ASSERT_EQ(p >> 24, 0xFFu) << "palette entries without alpha come back opaque";
}

TEST(QxQuantizerTests, SixteenColoursSurviveWithinAFewLevels)
{
    const int w = 128, h = 64;
    std::vector<CKDWORD> colours;
    std::mt19937 rng(3);
    for (int i = 0; i < 16; ++i)
        colours.push_back(0xFF000000 | (rng() & 0xFFFFFF));
    std::vector<CKDWORD> src(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            src[size_t(y) * w + x] = colours[(x / 32) + 4 * (y / 16)];
    const std::vector<CKDWORD> back = RoundTrip(src, w, h);
    int worst = 0;
    for (size_t i = 0; i < src.size(); ++i)
        for (int c = 0; c < 3; ++c)
            worst = std::max(worst, std::abs(Channel(src[i], c) - Channel(back[i], c)));
    EXPECT_LE(worst, 4);
}

TEST(QxQuantizerTests, ARealPhotographKeeps30DecibelsThroughEightBits)
{
    SKIP_WITHOUT_SHARED_DATA();
    std::ifstream file(TestSharedDataDir() + "/images/jpeg/testorig.ppm", std::ios::binary);
    ASSERT_TRUE(file) << "the shared test photograph is missing";
    std::string magic;
    int w = 0, h = 0, maxValue = 0;
    file >> magic >> w >> h >> maxValue;
    file.get();
    ASSERT_EQ(magic, "P6");
    ASSERT_EQ(maxValue, 255);
    std::vector<unsigned char> rgb(size_t(w) * h * 3);
    ASSERT_TRUE(file.read(reinterpret_cast<char*>(rgb.data()), std::streamsize(rgb.size())));
    std::vector<CKDWORD> src(size_t(w) * h);
    for (size_t i = 0; i < src.size(); ++i)
        src[i] = 0xFF000000 | CKDWORD(rgb[i * 3]) << 16 | CKDWORD(rgb[i * 3 + 1]) << 8 | rgb[i * 3 + 2];
    const double psnr = Psnr(src, RoundTrip(src, w, h));
    RecordProperty("psnr", std::to_string(psnr));
    EXPECT_GE(psnr, 30.0);
}

TEST(QxQuantizerTests, DestinationsWithoutColourMasksUseThePaletteLayout)
{
    const int w = 64, h = 32;
    std::vector<CKDWORD> src = PhotoLike(w, h);
    std::vector<CKBYTE> withMasks(size_t(w) * h), withoutMasks(size_t(w) * h), palette(1024, 0);
    ASSERT_TRUE(QxDoBlit(Argb(w, h, src), Paletted(w, h, withMasks, palette)));
    QxImageDesc bare = Paletted(w, h, withoutMasks, palette);
    bare.RedMask = bare.GreenMask = bare.BlueMask = 0;
    ASSERT_TRUE(QxDoBlit(Argb(w, h, src), bare));
    EXPECT_EQ(withMasks, withoutMasks);
}

} // namespace

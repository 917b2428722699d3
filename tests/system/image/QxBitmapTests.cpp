#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "platform/PlatformBitmap.h"
#include "system/image/QxBitmap.h"
#include "system/image/QxPixelFormat.h"

namespace {

QxImageDesc Image(int id, int w, int h, std::vector<CKBYTE>& pixels)
{
    QxImageDesc d;
    QxPixelFormat2ImageDesc(id, d);
    d.Width = w;
    d.Height = h;
    d.BytesPerLine = w * d.BitsPerPixel / 8;
    pixels.assign(size_t(d.BytesPerLine) * h, 0);
    d.Image = pixels.data();
    return d;
}

TEST(QxBitmapTests, A24BitImageRoundTripsExactlyAndArgbComesBackOpaque)
{
    std::mt19937 rng(11);
    for (int w : {1, 2, 3, 5, 13}) {
        const int h = 7;
        std::vector<CKBYTE> in, out;
        QxImageDesc src = Image(_24_RGB888, w, h, in);
        for (CKBYTE& b : in)
            b = CKBYTE(rng());
        PlatformBitmap* bitmap = QxCreateBitmapFromImage(src);
        ASSERT_NE(bitmap, nullptr) << w;
        QxImageDesc dst = Image(_24_RGB888, w, h, out);
        ASSERT_TRUE(QxCopyBitmapToImage(bitmap, dst));
        EXPECT_EQ(in, out) << w;

        // The section is bottom-up: the image's first line is its top row.
        EXPECT_EQ(0, std::memcmp(bitmap->Row(0), in.data(), size_t(w) * 3)) << w;
        EXPECT_EQ(0, std::memcmp(bitmap->Pixels(), in.data() + size_t(h - 1) * w * 3, size_t(w) * 3)) << w;
        PlatformDeleteObject(bitmap);
    }
    // ARGB images come back opaque.
    std::vector<CKBYTE> in, out;
    QxImageDesc src = Image(_32_ARGB8888, 3, 2, in);
    const CKDWORD pixels[6] = {0x11223344, 0x80FFFFFF, 0x00000000, 0xFF010203, 0x7F7F7F7F, 0x12345678};
    std::memcpy(in.data(), pixels, sizeof(pixels));
    PlatformBitmap* bitmap = QxCreateBitmapFromImage(src);
    ASSERT_NE(bitmap, nullptr);
    QxImageDesc dst = Image(_32_ARGB8888, 3, 2, out);
    ASSERT_TRUE(QxCopyBitmapToImage(bitmap, dst));
    for (int i = 0; i < 6; ++i) {
        CKDWORD got;
        std::memcpy(&got, out.data() + i * 4, 4);
        EXPECT_EQ(got, 0xFF000000 | (pixels[i] & 0xFFFFFF)) << i;
    }
    PlatformDeleteObject(bitmap);
}

TEST(QxBitmapTests, ImagesThatCannotBecomeABitmapGiveNull)
{
    std::vector<CKBYTE> pixels;
    QxImageDesc empty = Image(_24_RGB888, 0, 4, pixels);
    EXPECT_EQ(QxCreateBitmapFromImage(empty), nullptr);

    // Paletted images convert only to 32-bit destinations.
    std::vector<CKBYTE> indices(16, 0), palette(16, 0);
    QxImageDesc paletted;
    paletted.Width = paletted.Height = 4;
    paletted.BytesPerLine = 4;
    paletted.BitsPerPixel = 8;
    paletted.RedMask = 0xFF0000;
    paletted.BytesPerColorEntry = 4;
    paletted.ColorMapEntries = 4;
    paletted.ColorMap = palette.data();
    paletted.Image = indices.data();
    EXPECT_EQ(QxCreateBitmapFromImage(paletted), nullptr);

    QxImageDesc noPixels = Image(_24_RGB888, 4, 4, pixels);
    noPixels.Image = nullptr;
    EXPECT_EQ(QxCreateBitmapFromImage(noPixels), nullptr);
}

TEST(QxBitmapTests, Only24BitSectionsAreKeptAsTheyAre)
{
    PlatformBitmapInfoHeader header;
    header.Width = 3;
    header.Height = 2;
    header.BitCount = 24;
    PlatformBitmap* rgb = PlatformCreateDibSection(header);
    EXPECT_EQ(QxConvertBitmapTo24Bit(rgb), rgb);
    PlatformDeleteObject(rgb);
    EXPECT_EQ(QxConvertBitmapTo24Bit(nullptr), nullptr);

    header.BitCount = 32;
    PlatformBitmap* wide = PlatformCreateDibSection(header);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            CKBYTE* p = wide->Row(y) + x * 4;
            p[0] = CKBYTE(x);
            p[1] = CKBYTE(y);
            p[2] = 0x40;
            p[3] = 0x99;
        }
    PlatformBitmap* converted = QxConvertBitmapTo24Bit(wide);
    ASSERT_NE(converted, nullptr);
    ASSERT_NE(converted, wide);
    EXPECT_EQ(converted->Header().BitCount, 24);
    EXPECT_EQ(converted->Row(1)[2 * 3 + 0], 2);
    EXPECT_EQ(converted->Row(1)[2 * 3 + 1], 1);
    EXPECT_EQ(converted->Row(1)[2 * 3 + 2], 0x40);
    PlatformDeleteObject(converted);

    // Copying a 32-bit section into an image goes through a temporary one.
    std::vector<CKBYTE> out;
    QxImageDesc dst = Image(_32_ARGB8888, 3, 2, out);
    ASSERT_TRUE(QxCopyBitmapToImage(wide, dst));
    CKDWORD first;
    std::memcpy(&first, out.data(), 4);
    EXPECT_EQ(first, 0xFF400000u);
    PlatformDeleteObject(wide);
    EXPECT_FALSE(QxCopyBitmapToImage(nullptr, dst));
}

} // namespace

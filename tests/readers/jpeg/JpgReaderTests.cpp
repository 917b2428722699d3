#include "readers/jpeg/JpgReader.h"

#include <cstdio>
#include <cstring>

#include <jpeglib.h>

#include <gtest/gtest.h>

#include "core/context/CKPluginInfo.h"
#include "readers/jpeg/JpegEncoder.h"
#include "tests/readers/support/ReaderTestSupport.h"
#include "tests/support/TestPaths.h"
#include "tools/testdata/LibjpegCodec.h"

namespace {

std::vector<uint8_t> SaveJpeg(JpgReader& reader, std::vector<uint32_t>& pixels, int width, int height,
                              float quality = 0.75f, CKDWORD flags = 5, float smoothing = 0.0f)
{
    CKBitmapProperties p = ArgbRecord(JpgReader::DefaultProperties(), pixels, width, height);
    p.SetFloatWord(JpgReader::kQualityWord, quality);
    p.SetFloatWord(JpgReader::kSmoothingWord, smoothing);
    p.m_Words[JpgReader::kOptionsWord] = flags;
    return SaveToBytes(reader, p);
}

std::string SharedJpeg(const char* name)
{
    return TestSharedDataDir() + "/images/jpeg/" + name;
}

} // namespace

TEST(JpgReader, SharedFilesDecodeLikeLibjpegItself)
{
    SKIP_WITHOUT_SHARED_DATA();
    for (const char* name : {"testorig.jpg", "testimgint.jpg", "testimgari.jpg"}) {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> bytes = LoadFileBytes(SharedJpeg(name));
        ASSERT_FALSE(bytes.empty()) << "shared data missing";
        const LibDecode lib = LibjpegDecode(bytes);
        JpgReader reader;
        int result = -1;
        const RgbaImage fromMemory = DecodeWith(reader, bytes, &result);
        if (!lib.ok) {
            EXPECT_EQ(result, 1) << "the library refuses it, so does the reader";
            continue;
        }
        ASSERT_EQ(result, 0);
        EXPECT_EQ(DescribeDifference(fromMemory, lib.image), "");
        CKBitmapProperties* p = nullptr;
        ASSERT_EQ(reader.ReadFile(SharedJpeg(name).c_str(), &p), 0);
        EXPECT_EQ(p->m_Format.BitsPerPixel, 24);
        EXPECT_EQ(p->m_Format.BytesPerLine, p->m_Format.Width * 3);
        EXPECT_EQ(p->m_Format.RedMask, 0xFFu);
        EXPECT_EQ(DescribeDifference(ToRgba(p->m_Format, p->m_Data), lib.image), "");
    }
}

TEST(JpgReader, DecodeStaysCloseToTheSuiteSourcePicture)
{
    SKIP_WITHOUT_SHARED_DATA();
    // testorig.ppm is the picture testorig.jpg was compressed from.
    RgbaImage source;
    ASSERT_TRUE(LoadPnm(SharedJpeg("testorig.ppm"), source));
    JpgReader reader;
    const RgbaImage image = DecodeWith(reader, LoadFileBytes(SharedJpeg("testorig.jpg")));
    ASSERT_EQ(image.width, source.width);
    ASSERT_EQ(image.height, source.height);
    double error = 0;
    for (size_t i = 0; i < image.pixels.size(); ++i)
        for (int s : {0, 8, 16})
            error += std::abs((int) (image.pixels[i] >> s & 0xFF) - (int) (source.pixels[i] >> s & 0xFF));
    EXPECT_LT(error / (image.pixels.size() * 3), 4.0);
}

TEST(JpgReader, GreyFilesReadAsEqualChannelsAndSetTheGrayscaleBit)
{
    const int width = 19, height = 11;
    std::vector<uint8_t> grey((size_t) width * height);
    for (size_t i = 0; i < grey.size(); ++i)
        grey[i] = (uint8_t) (i * 7);
    const std::vector<uint8_t> bytes = LibjpegEncode(grey, width, height, 1, JCS_GRAYSCALE, 90);
    JpgReader reader;
    CKBitmapProperties* p = nullptr;
    ASSERT_EQ(reader.ReadMemory(bytes.data(), (CKDWORD) bytes.size(), &p), 0);
    EXPECT_EQ(p->m_Format.BitsPerPixel, 24);
    EXPECT_NE(p->m_Words[JpgReader::kOptionsWord] & JPEG_GRAYSCALE, 0u);
    const RgbaImage image = ToRgba(p->m_Format, p->m_Data);
    for (uint32_t px : image.pixels) {
        EXPECT_EQ(px >> 16 & 0xFF, px & 0xFF);
        EXPECT_EQ(px >> 8 & 0xFF, px & 0xFF);
    }
    EXPECT_EQ(DescribeDifference(image, LibjpegDecode(bytes).image), "");

    std::vector<uint32_t> colour = MakePicture(8, 8, true);
    const std::vector<uint8_t> colourBytes = LibjpegEncode(RgbSamples(colour), 8, 8, 3, JCS_RGB, 90);
    ASSERT_EQ(reader.ReadMemory(colourBytes.data(), (CKDWORD) colourBytes.size(), &p), 0);
    EXPECT_EQ(p->m_Words[JpgReader::kOptionsWord] & JPEG_GRAYSCALE, 0u) << "a colour file clears it";
}

TEST(JpgReader, InkFilesDecodeAsInvertedCmykTurnedToRgb)
{
    // Every ink varies, so that a channel taken from the wrong sample shows.
    const int width = 24, height = 16;
    std::vector<uint8_t> inks;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (const int v : {x * 10, y * 15, 255 - x * 7, 100 + y * 9})
                inks.push_back((uint8_t) v);
    for (const J_COLOR_SPACE stored : {JCS_CMYK, JCS_YCCK}) {
        SCOPED_TRACE(stored == JCS_CMYK ? "CMYK" : "YCCK");
        const std::vector<uint8_t> bytes = LibjpegEncode(inks, width, height, 4, JCS_CMYK, 95, false, stored);
        ASSERT_FALSE(bytes.empty());
        // libjpeg's own inks, turned to RGB the way Adobe's inverted inks
        // are (ImageMagick gives the same): each colour scaled by black.
        const std::vector<uint8_t> decoded = LibjpegDecodeInks(bytes);
        ASSERT_EQ(decoded.size(), inks.size());
        RgbaImage expected{width, height, {}};
        for (size_t i = 0; i < decoded.size(); i += 4) {
            const unsigned k = decoded[i + 3];
            uint32_t pixel = 0xFF000000u;
            for (int c = 0; c < 3; ++c)
                pixel |= (uint32_t) ((decoded[i + c] * k + 127) / 255) << (16 - 8 * c);
            expected.pixels.push_back(pixel);
        }
        JpgReader reader;
        int result = -1;
        const RgbaImage image = DecodeWith(reader, bytes, &result);
        ASSERT_EQ(result, 0);
        EXPECT_EQ(DescribeDifference(image, expected), "");
        CKBitmapProperties* p = nullptr;
        reader.GetBitmapDefaultProperties(&p);
        EXPECT_EQ(p->m_Words[JpgReader::kOptionsWord] & JPEG_GRAYSCALE, 0u);
        CheckEveryPrefix(reader, bytes, {0, 1});
    }
}

TEST(JpgReader, EveryPrefixOfAFileDecodesOrFailsCleanly)
{
    std::vector<uint32_t> pixels = MakePicture(24, 16, true);
    JpgReader reader;
    for (bool progressive : {false, true}) {
        const std::vector<uint8_t> bytes = progressive ? LibjpegEncode(RgbSamples(pixels), 24, 16, 3, JCS_RGB, 80, true)
                                                       : SaveJpeg(reader, pixels, 24, 16);
        ASSERT_FALSE(bytes.empty());
        if (progressive) {
            EXPECT_EQ(DescribeDifference(DecodeWith(reader, bytes), LibjpegDecode(bytes).image), "");
        }
        CheckEveryPrefix(reader, bytes, {0, 1});
        // A stream cut inside its data still decodes, as libjpeg's own
        // sources do, grey where the data end.
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + (ptrdiff_t) bytes.size() * 2 / 3);
        const LibDecode lib = LibjpegDecode(cut);
        int result = -1;
        const RgbaImage image = DecodeWith(reader, cut, &result);
        EXPECT_EQ(result, lib.ok ? 0 : 1);
        if (lib.ok) {
            EXPECT_EQ(DescribeDifference(image, lib.image), "");
        }
    }
}

TEST(JpgReader, SavesWithLibjpegSettingsFromTheRecord)
{
    std::vector<uint32_t> pixels = MakePicture(29, 13, true);
    JpgReader reader;
    // Quality 0.75 is libjpeg's quality 75 (optimised, baseline: the defaults).
    const std::vector<uint8_t> ours = SaveJpeg(reader, pixels, 29, 13, 0.75f, 5);
    EXPECT_EQ(ours, LibjpegEncode(RgbSamples(pixels), 29, 13, 3, JCS_RGB, 75));
    const std::vector<uint8_t> low = SaveJpeg(reader, pixels, 29, 13, 0.2f, 5);
    EXPECT_LT(low.size(), ours.size());
    EXPECT_NE(SaveJpeg(reader, pixels, 29, 13, 0.75f, 5, 0.5f), ours) << "smoothing changes the output";
    EXPECT_LE(ours.size(), SaveJpeg(reader, pixels, 29, 13, 0.75f, 4).size()) << "optimised coding is not larger";
}

TEST(JpgReader, SavingIgnoresAlpha)
{
    std::vector<uint32_t> withAlpha = MakePicture(16, 9, false);
    std::vector<uint32_t> opaque = MakePicture(16, 9, true);
    JpgReader reader;
    EXPECT_EQ(SaveJpeg(reader, withAlpha, 16, 9), SaveJpeg(reader, opaque, 16, 9));
}

TEST(JpgReader, GrayscaleOptionWritesOneRoundedComponent)
{
    std::vector<uint32_t> pixels = MakePicture(16, 8, true);
    JpgReader reader;
    const std::vector<uint8_t> bytes = SaveJpeg(reader, pixels, 16, 8, 1.0f, 5 | JPEG_GRAYSCALE);
    std::vector<uint8_t> grey;
    for (uint32_t p : pixels)
        grey.push_back((uint8_t) (int) (0.587 * (p >> 8 & 0xFF) + 0.299 * (p >> 16 & 0xFF) + 0.114 * (p & 0xFF) + 0.5));
    EXPECT_EQ(bytes, LibjpegEncode(grey, 16, 8, 1, JCS_GRAYSCALE, 100));
}

TEST(JpgReader, SixteenBitImagesAreConvertedBeforeSaving)
{
    std::vector<uint16_t> pixels(10 * 4, 0x7C00); // red in 555
    CKBitmapProperties p = JpgReader::DefaultProperties();
    p.m_Format = QxMakeImageDesc32(10, 4);
    p.m_Format.BitsPerPixel = 16;
    p.m_Format.BytesPerLine = 20;
    p.m_Format.SetDefaultMasks();
    p.m_Data = pixels.data();
    JpgReader reader;
    const RgbaImage image = DecodeWith(reader, SaveToBytes(reader, p));
    ASSERT_EQ(image.width, 10);
    EXPECT_GT((int) (image.At(5, 2) >> 16 & 0xFF), 240);
    EXPECT_LT((int) (image.At(5, 2) & 0xFF), 16);
}

TEST(JpgReader, RefusesJunkAndDescribesItsOptions)
{
    JpgReader reader;
    CKBitmapProperties* out = nullptr;
    const uint8_t junk[] = {1, 2, 3, 4};
    EXPECT_EQ(reader.ReadMemory(junk, sizeof(junk), &out), 1);
    EXPECT_EQ(reader.ReadMemory(nullptr, 4, &out), 1);
    EXPECT_EQ(reader.GetOptionsCount(), 3);
    EXPECT_STREQ(reader.GetOptionDescription(2), "Flags:Options:Optimize=1,Grayscale=2,BaseLine=4");
    EXPECT_STREQ(reader.GetOptionDescription(3), "");
}

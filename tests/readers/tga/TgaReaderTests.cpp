#include "readers/tga/TgaReader.h"

#include <gtest/gtest.h>

#include "includes/CKByteOrder.h"
#include "readers/common/ImageReaderResults.h"
#include "tests/readers/support/ReaderTestSupport.h"
#include "tests/support/TestPaths.h"

namespace {

std::vector<uint8_t> Save(TgaReader& reader, std::vector<uint32_t>& pixels, int width, int height, CKDWORD depth,
                          bool rle)
{
    CKBitmapProperties p = ArgbRecord(TgaReader::DefaultProperties(), pixels, width, height);
    p.m_Words[TgaReader::kBitDepthWord] = depth;
    p.m_Words[TgaReader::kRleWord] = rle ? 1 : 0;
    return SaveToBytes(reader, p);
}

} // namespace

TEST(TgaReader, CorpusDecodesToItsPixelsAndToTheReferenceDecode)
{
    TgaReader reader;
    for (const CorpusFile& f : BuildTgaCorpus())
        CheckCorpusFile(reader, f);
}

TEST(TgaReader, FilesWrittenByAnotherEncoderDecodeLikeItsOwnDecoder)
{
    TgaReader reader;
    for (const char* name : {"im_24.tga", "im_rle24.tga", "im_rle32.tga", "im_rle8map.tga", "im_grey_rle.tga"})
        CheckForeignFile(reader, name);
}

TEST(TgaReader, GreyWithAlphaAndSixteenBitIndicesAreRead)
{
    TgaRecipe s;
    s.type = 3;
    s.depth = 16;
    s.descriptor = 0x28;
    TgaReader reader;
    EXPECT_EQ(DecodeWith(reader, BuildTga(s)), ExpectedTga(s));
    s.type = 11;
    EXPECT_EQ(DecodeWith(reader, BuildTga(s)), ExpectedTga(s));
    TgaRecipe m;
    m.type = 1;
    m.depth = 16;
    m.mapFirst = 300;
    EXPECT_EQ(DecodeWith(reader, BuildTga(m)), ExpectedTga(m));
}

TEST(TgaReader, ColourMapIndicesOutsideTheMapGiveThePixelZero)
{
    TgaRecipe s;
    s.type = 1;
    s.depth = 8;
    s.mapFirst = 10;
    s.descriptor = 0x20;
    std::vector<uint8_t> f = BuildTga(s);
    const size_t pixels = 18 + 40 * 3;
    f[pixels] = 9;           // below the first entry
    f[pixels + 1] = 10 + 40; // past the last
    TgaReader reader;
    const RgbaImage image = DecodeWith(reader, f);
    ASSERT_EQ(image.width, 13);
    EXPECT_EQ(image.At(0, 0), 0u);
    EXPECT_EQ(image.At(1, 0), 0u);
    EXPECT_EQ(image.At(2, 0), ExpectedTga(s).At(2, 0));
}

TEST(TgaReader, RefusesWhatItCannotRead)
{
    TgaReader reader;
    TgaRecipe s;
    const std::vector<uint8_t> good = BuildTga(s);
    auto patched = [&](size_t at, uint32_t value, int bytes) { return DecodePatched(reader, good, at, value, bytes); };
    EXPECT_EQ(patched(2, 0, 1), IMAGEREADER_INVALID) << "no image";
    EXPECT_EQ(patched(2, 32, 1), IMAGEREADER_INVALID) << "Huffman-coded type";
    EXPECT_EQ(patched(16, 12, 1), IMAGEREADER_INVALID) << "pixel depth";
    EXPECT_EQ(patched(1, 2, 1), IMAGEREADER_INVALID) << "colour-map type";
    EXPECT_EQ(patched(12, 0, 2), IMAGEREADER_INVALID) << "zero width";
    EXPECT_EQ(patched(14, 0, 2), IMAGEREADER_INVALID) << "zero height";
    EXPECT_EQ(patched(12, 0xFFFF, 2), IMAGEREADER_INVALID) << "width above the cap";
    EXPECT_EQ(patched(14, 8, 2), IMAGEREADER_SHORTFILE) << "a line more than the file holds";
    EXPECT_EQ(patched(0, 255, 1), IMAGEREADER_SHORTFILE) << "identification past the end";

    TgaRecipe m;
    m.type = 1;
    m.depth = 8;
    std::vector<uint8_t> f = BuildTga(m);
    f[7] = 12;
    int result = -1;
    DecodeWith(reader, f, &result);
    EXPECT_EQ(result, IMAGEREADER_INVALID) << "colour-map entry size";
    f = BuildTga(m);
    f[1] = 0;
    DecodeWith(reader, f, &result);
    EXPECT_EQ(result, IMAGEREADER_INVALID) << "colour-mapped without a map";

    // A run-length file far too short for its size is refused before any
    // allocation: 65535 x 16384 pixels from a few bytes.
    TgaRecipe r;
    r.type = 10;
    std::vector<uint8_t> tiny = BuildTga(r);
    StoreLE16(&tiny[12], 16384);
    StoreLE16(&tiny[14], 16384);
    DecodeWith(reader, tiny, &result);
    EXPECT_EQ(result, IMAGEREADER_SHORTFILE);
}

TEST(TgaReader, FooterOffsetsOutsideTheFileAreIgnored)
{
    TgaRecipe s;
    s.footer = true;
    std::vector<uint8_t> f = BuildTga(s);
    StoreLE32(&f[f.size() - 26], 0xFFFFFF00u);
    StoreLE32(&f[f.size() - 22], 3);
    TgaReader reader;
    EXPECT_EQ(DecodeWith(reader, f), ExpectedTga(s));
}

TEST(TgaReader, EveryPrefixOfAFileIsShortOrWhole)
{
    TgaReader reader;
    CheckEveryCorpusPrefix(reader, BuildTgaCorpus());
}

TEST(TgaReader, RoundTripsWithAndWithoutRunLengths)
{
    TgaReader reader;
    for (bool rle : {false, true})
        for (int width : {1, 5, 130, 300}) {
            const int height = 3;
            std::vector<uint32_t> pixels = MakePicture(width, height, false);
            // Long runs, so that packets reach their 128-pixel limit.
            for (int x = 0; x < width; ++x)
                if (x % 150 < 140)
                    pixels[(size_t) width + x] = 0x80112233u;
            const std::vector<uint8_t> f32 = Save(reader, pixels, width, height, 32, rle);
            EXPECT_EQ(f32[2], rle ? 10 : 2);
            EXPECT_EQ(DescribeDifference(DecodeWith(reader, f32), AsImage(pixels, width, height, false)), "")
                << width << (rle ? " rle" : "");
            const std::vector<uint8_t> f24 = Save(reader, pixels, width, height, 24, rle);
            EXPECT_EQ(DescribeDifference(DecodeWith(reader, f24), AsImage(pixels, width, height, true)), "")
                << width << (rle ? " rle" : "");
            if (rle && width >= 130) {
                EXPECT_LT(f24.size(), (size_t) 18 + (size_t) width * height * 3) << "long runs pack";
            }
        }
}

TEST(TgaReader, WritesATopLeftHeader)
{
    TgaReader reader;
    std::vector<uint32_t> pixels = MakePicture(7, 2, false);
    const std::vector<uint8_t> f = Save(reader, pixels, 7, 2, 32, false);
    ASSERT_EQ(f.size(), 18u + 7 * 2 * 4) << "no footer";
    const uint8_t header[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7, 0, 2, 0, 32, 0x28};
    EXPECT_EQ(std::vector<uint8_t>(f.begin(), f.begin() + 18), std::vector<uint8_t>(header, header + 18));
    EXPECT_EQ(LoadLE32(&f[18]), pixels[0]) << "first line first";
    const std::vector<uint8_t> f16 = Save(reader, pixels, 7, 2, 16, false);
    EXPECT_EQ(f16[16], 16);
    EXPECT_EQ(f16[17], 0x20);
    const uint32_t c = pixels[0];
    EXPECT_EQ(LoadLE16(&f16[18]), ((c >> 19 & 31) << 10) | ((c >> 11 & 31) << 5) | (c >> 3 & 31));
}

TEST(TgaReader, GreyscaleOptionAveragesTheChannels)
{
    TgaReader reader;
    std::vector<uint32_t> pixels = MakePicture(6, 3, false);
    for (bool rle : {false, true}) {
        const std::vector<uint8_t> f = Save(reader, pixels, 6, 3, 64, rle);
        ASSERT_FALSE(f.empty());
        EXPECT_EQ(f[2], rle ? 11 : 3);
        EXPECT_EQ(f[16], 8);
        const RgbaImage image = DecodeWith(reader, f);
        ASSERT_EQ(image.width, 6);
        for (size_t i = 0; i < pixels.size(); ++i) {
            const uint32_t p = pixels[i];
            const uint32_t grey = ((p >> 16 & 0xFF) + (p >> 8 & 0xFF) + (p & 0xFF)) / 3;
            EXPECT_EQ(image.pixels[i], 0xFF000000u | grey * 0x010101u) << i;
        }
    }
}

TEST(TgaReader, RefusesDepthsItDoesNotWrite)
{
    TgaReader reader;
    std::vector<uint32_t> pixels = MakePicture(4, 4, true);
    for (CKDWORD depth : {0u, 8u, 15u, 48u})
        EXPECT_TRUE(Save(reader, pixels, 4, 4, depth, false).empty()) << depth;
}

TEST(TgaReader, AlphaIsSavedByThirtyTwoBitsOrByAForeignRecord)
{
    TgaReader reader;
    CKBitmapProperties p = TgaReader::DefaultProperties();
    EXPECT_TRUE(reader.IsAlphaSaved(&p));
    p.m_Words[0] = 24;
    EXPECT_FALSE(reader.IsAlphaSaved(&p));
    p.m_Size = 140;
    EXPECT_TRUE(reader.IsAlphaSaved(&p));
}

#include "readers/bmp/BmpReader.h"

#include <cstring>

#include <gtest/gtest.h>

#include "includes/CKByteOrder.h"
#include "readers/common/ImageReaderResults.h"
#include "tests/readers/support/PeakMemory.h"
#include "tests/readers/support/ReaderTestSupport.h"
#include "tests/support/TestPaths.h"

namespace {

std::vector<uint8_t> Save(BmpReader& reader, std::vector<uint32_t>& pixels, int width, int height, CKDWORD depth)
{
    CKBitmapProperties p = ArgbRecord(BmpReader::DefaultProperties(), pixels, width, height);
    p.m_Words[BmpReader::kBitDepthWord] = depth;
    return SaveToBytes(reader, p);
}

} // namespace

TEST(BmpReader, CorpusDecodesToItsPixelsAndToTheReferenceDecode)
{
    BmpReader reader;
    for (const CorpusFile& f : BuildBmpCorpus())
        CheckCorpusFile(reader, f);
}

TEST(BmpReader, FilesWrittenByAnotherEncoderDecodeLikeItsOwnDecoder)
{
    BmpReader reader;
    for (const char* name : {"im_24.bmp", "im_8.bmp", "im_rle8.bmp", "im_core24.bmp", "im_v5_24.bmp", "im_v5_32.bmp"})
        CheckForeignFile(reader, name);
}

TEST(BmpReader, VersionFiveFilesOfAnotherEncoderEqualTheirFortyByteTwins)
{
    // The same picture written with today's default header (124 bytes; with
    // alpha, 32 bits in bit fields) and with the 40-byte one (24 bits).
    BmpReader reader;
    const auto load = [](const char* name) { return LoadFileBytes(ReaderTestDataDir() + "/foreign/" + name); };
    const RgbaImage twin = DecodeWith(reader, load("im_v3_24.bmp"));
    ASSERT_EQ(twin.width, 13);
    EXPECT_EQ(DescribeDifference(DecodeWith(reader, load("im_v5_24.bmp")), twin), "");
    EXPECT_EQ(DescribeDifference(DecodeWith(reader, load("im_v5_32.bmp")), twin, false), "");
}

TEST(BmpReader, VersionFourAndFiveHeadersReadLikeTheFortyByteOneWithItsBitFields)
{
    BmpReader reader;
    for (const int bits : {4, 8, 16, 24, 32})
        for (const int compression : {0, 1, 2, 3})
            for (const int headerSize : {108, 124}) {
                BmpRecipe twin;
                twin.bits = bits;
                twin.compression = compression;
                const uint32_t masks[3] = {0xF800, 0x07E0, 0x001F};
                if (compression == 3)
                    for (int i = 0; i < 3; ++i)
                        twin.masks[i] = bits == 16 ? masks[i] : 0xFFu << (8 * i); // red lowest
                if ((compression == 1 && bits != 8) || (compression == 2 && bits != 4) ||
                    (compression == 3 && bits != 16 && bits != 32))
                    continue;
                SCOPED_TRACE(testing::Message() << headerSize << " bytes, " << bits << " bits, " << compression);
                BmpRecipe recipe = twin;
                recipe.headerSize = headerSize;
                const std::vector<uint8_t> bytes = BuildBmp(recipe);
                EXPECT_EQ(DescribeDifference(DecodeWith(reader, bytes), ExpectedBmp(twin)), "");
                EXPECT_EQ(DecodeWith(reader, bytes), DecodeWith(reader, BuildBmp(twin)));
                CheckEveryPrefix(reader, bytes, {IMAGEREADER_OK, IMAGEREADER_SHORTFILE});
            }
}

TEST(BmpReader, ATinyRunLengthFileDeclaringAHugeImageIsRefused)
{
    // Runs that end the bitmap at once: 16384 x 16384 would be 1 GB of
    // zeros; up to 64 MB the image of zeros is still given.
    BmpRecipe s;
    s.compression = 1;
    s.bits = 8;
    std::vector<uint8_t> f = BuildBmp(s);
    f.resize(LoadLE32(&f[10]));
    f.insert(f.end(), {0, 1});
    BmpReader reader;
    int result = -1;
    for (const int size : {16384, 1024}) {
        StoreLE32(&f[18], (CKDWORD) size);
        StoreLE32(&f[22], (CKDWORD) size);
        PeakMemoryProbe probe;
        const RgbaImage image = DecodeWith(reader, f, &result);
        EXPECT_EQ(result, size == 1024 ? IMAGEREADER_OK : IMAGEREADER_SHORTFILE);
        EXPECT_LT(probe.GrowthMegabytes(), 50.0);
        EXPECT_EQ(image.width, size == 1024 ? 1024 : 0);
    }
}

TEST(BmpReader, CoreHeaderReadsLikeItsFortyByteEquivalent)
{
    BmpReader reader;
    for (int bits : {1, 4, 8, 24}) {
        BmpRecipe core;
        core.bits = bits;
        core.headerSize = 12;
        BmpRecipe info = core;
        info.headerSize = 40;
        EXPECT_EQ(DecodeWith(reader, BuildBmp(core)), DecodeWith(reader, BuildBmp(info))) << bits;
    }
}

TEST(BmpReader, KeepsSixteenTwentyFourAndThirtyTwoBitsAndExpandsPalettes)
{
    BmpReader reader;
    struct Case
    {
        int bits, outBits, bytesPerLine;
        CKDWORD red, alpha;
    };
    // Lines come out unpadded; palettes become 32 bits.
    const Case cases[] = {{16, 16, 26, 0x7C00, 0},
                          {24, 24, 39, 0xFF0000, 0},
                          {32, 32, 52, 0xFF0000, 0xFF000000u},
                          {4, 32, 52, 0xFF0000, 0xFF000000u}};
    for (const Case& c : cases) {
        BmpRecipe s;
        s.bits = c.bits;
        const std::vector<uint8_t> f = BuildBmp(s);
        CKBitmapProperties* p = nullptr;
        ASSERT_EQ(reader.ReadMemory(f.data(), (CKDWORD) f.size(), &p), 0);
        EXPECT_EQ(p->m_Format.BitsPerPixel, c.outBits) << c.bits;
        EXPECT_EQ(p->m_Format.BytesPerLine, c.bytesPerLine) << c.bits;
        EXPECT_EQ(p->m_Format.RedMask, c.red) << c.bits;
        EXPECT_EQ(p->m_Format.AlphaMask, c.alpha) << c.bits;
        EXPECT_EQ(p->m_Format.Image, p->m_Data);
        CKBitmapProperties* defaults = nullptr;
        reader.GetBitmapDefaultProperties(&defaults);
        EXPECT_EQ(p, defaults) << "the decoded image is the reader's own record";
    }
}

TEST(BmpReader, AnIndexPastTheTableGivesThePixelZero)
{
    BmpRecipe s;
    s.bits = 8;
    s.paletteEntries = 20;
    std::vector<uint8_t> f = BuildBmp(s);
    const size_t pixels = LoadLE32(&f[10]);
    f[pixels] = 20; // bottom line, first pixel
    f[pixels + 1] = 255;
    BmpReader reader;
    const RgbaImage image = DecodeWith(reader, f);
    ASSERT_EQ(image.height, 7);
    EXPECT_EQ(image.At(0, 6), 0u);
    EXPECT_EQ(image.At(1, 6), 0u);
    EXPECT_EQ(image.At(2, 6), PaletteColor(PatternIndex(2, 6, 20)));
}

TEST(BmpReader, RefusesWhatItCannotRead)
{
    BmpReader reader;
    BmpRecipe s;
    s.bits = 8;
    const std::vector<uint8_t> good = BuildBmp(s);
    auto patched = [&](size_t at, uint32_t value, int bytes) { return DecodePatched(reader, good, at, value, bytes); };
    EXPECT_EQ(patched(0, 'X', 1), IMAGEREADER_INVALID) << "signature";
    for (const uint32_t size : {16u, 52u, 56u, 100u, 128u})
        EXPECT_EQ(patched(14, size, 4), IMAGEREADER_INVALID) << "information header size " << size;
    EXPECT_EQ(patched(28, 7, 2), IMAGEREADER_INVALID) << "bit count";
    EXPECT_EQ(patched(30, 2, 4), IMAGEREADER_INVALID) << "RLE4 on 8 bits";
    EXPECT_EQ(patched(30, 3, 4), IMAGEREADER_INVALID) << "bit fields on 8 bits";
    EXPECT_EQ(patched(30, 4, 4), IMAGEREADER_INVALID) << "JPEG compression";
    EXPECT_EQ(patched(18, 0, 4), IMAGEREADER_INVALID) << "zero width";
    EXPECT_EQ(patched(18, 0xFFFFFFF0u, 4), IMAGEREADER_INVALID) << "negative width";
    EXPECT_EQ(patched(18, CK_MAX_IMAGE_DIMENSION + 1, 4), IMAGEREADER_INVALID) << "width above the cap";
    EXPECT_EQ(patched(22, 0, 4), IMAGEREADER_INVALID) << "zero height";
    EXPECT_EQ(patched(22, 0x80000000u, 4), IMAGEREADER_INVALID) << "the most negative height";
    EXPECT_EQ(patched(10, (uint32_t) good.size() + 1, 4), IMAGEREADER_SHORTFILE) << "offset past the end";
    EXPECT_EQ(patched(22, 8, 4), IMAGEREADER_SHORTFILE) << "one line more than the file holds";
    EXPECT_EQ(patched(22, 7, 4), IMAGEREADER_OK);

    CKBitmapProperties* p = nullptr;
    EXPECT_EQ(reader.ReadMemory(nullptr, 10, &p), IMAGEREADER_NULLARGUMENT);
    EXPECT_EQ(reader.ReadMemory(good.data(), (CKDWORD) good.size(), nullptr), IMAGEREADER_NULLARGUMENT);
    EXPECT_EQ(reader.ReadFile(nullptr, &p), IMAGEREADER_NULLARGUMENT);
    EXPECT_EQ(reader.ReadFile("/nonexistent/folder/x.bmp", &p), IMAGEREADER_CANNOTREAD);
}

TEST(BmpReader, RunLengthDataIsBoundedByTheImage)
{
    // Runs and deltas that reach past the right edge and the top line.
    BmpRecipe s;
    s.bits = 8;
    s.compression = 1;
    s.width = 4;
    s.height = 2;
    std::vector<uint8_t> f = BuildBmp(s);
    const size_t at = LoadLE32(&f[10]);
    f.resize(at);
    const uint8_t runs[] = {255, 3, 0, 2, 255, 255, 200, 4, 0, 5, 1, 2, 3, 4, 5, 0, 0, 0, 0, 0, 0, 0, 1};
    f.insert(f.end(), runs, runs + sizeof(runs));
    BmpReader reader;
    int result = -1;
    const RgbaImage image = DecodeWith(reader, f, &result);
    ASSERT_EQ(result, 0);
    EXPECT_EQ(image.At(0, 1), PaletteColor(3));
    EXPECT_EQ(image.At(3, 1), PaletteColor(3));

    // An absolute run that promises more bytes than remain.
    std::vector<uint8_t> g(f.begin(), f.begin() + (ptrdiff_t) at);
    const uint8_t cut[] = {0, 200, 1, 2};
    g.insert(g.end(), cut, cut + sizeof(cut));
    DecodeWith(reader, g, &result);
    EXPECT_EQ(result, IMAGEREADER_SHORTFILE);
}

TEST(BmpReader, EveryPrefixOfAFileIsShortOrWhole)
{
    BmpReader reader;
    CheckEveryCorpusPrefix(reader, BuildBmpCorpus());
}

TEST(BmpReader, SixteenTwentyFourAndThirtyTwoBitFilesRoundTrip)
{
    BmpReader reader;
    for (int height : {1, 5})
        for (int width : {1, 3, 13}) {
            std::vector<uint32_t> pixels = MakePicture(width, height, false);
            EXPECT_EQ(DecodeWith(reader, Save(reader, pixels, width, height, 24)), AsImage(pixels, width, height, true))
                << width << "x" << height;
            EXPECT_EQ(DecodeWith(reader, Save(reader, pixels, width, height, 32)),
                      AsImage(pixels, width, height, false));
            // Sixteen bits keep five bits a channel.
            const RgbaImage image = DecodeWith(reader, Save(reader, pixels, width, height, 16));
            ASSERT_EQ(image.pixels.size(), pixels.size());
            for (size_t i = 0; i < pixels.size(); ++i)
                EXPECT_EQ(image.pixels[i] & 0xFFF8F8F8u, (pixels[i] | 0xFF000000u) & 0xFFF8F8F8u) << i;
        }
}

TEST(BmpReader, WritesTheHeadersWithTheTrueFileSize)
{
    BmpReader reader;
    std::vector<uint32_t> pixels = MakePicture(5, 3, true);
    const std::vector<uint8_t> f = Save(reader, pixels, 5, 3, 24);
    ASSERT_EQ(f.size(), 54u + 16 * 3);
    EXPECT_EQ(f[0], 'B');
    EXPECT_EQ(f[1], 'M');
    EXPECT_EQ(LoadLE32(&f[2]), f.size());
    EXPECT_EQ(LoadLE32(&f[10]), 54u);
    EXPECT_EQ(LoadLE32(&f[14]), 40u);
    EXPECT_EQ(LoadLE32(&f[18]), 5u);
    EXPECT_EQ(LoadLE32(&f[22]), 3u);
    EXPECT_EQ(LoadLE16(&f[26]), 1u);
    EXPECT_EQ(LoadLE16(&f[28]), 24u);
    EXPECT_EQ(LoadLE32(&f[30]), 0u);
    EXPECT_EQ(LoadLE32(&f[46]), 0u);
    // The image's last line is written first.
    EXPECT_EQ(f[54], (uint8_t) pixels[10]);
}

TEST(BmpReader, OptionNineWritesRunLengthEightBitsWithAFullTable)
{
    BmpReader reader;
    std::vector<uint32_t> pixels((size_t) 40 * 6);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = (i % 40) < 25 ? 0xFF2040C0u : (i % 3 ? 0xFF00FF00u : 0xFFFF0000u);
    const std::vector<uint8_t> rle = Save(reader, pixels, 40, 6, 9);
    const std::vector<uint8_t> raw = Save(reader, pixels, 40, 6, 8);
    ASSERT_FALSE(rle.empty());
    EXPECT_EQ(LoadLE16(&rle[28]), 8u);
    EXPECT_EQ(LoadLE32(&rle[30]), 1u);
    EXPECT_EQ(LoadLE32(&rle[46]), 256u);
    EXPECT_EQ(LoadLE32(&rle[10]), 54u + 1024u);
    EXPECT_EQ(LoadLE32(&rle[2]), rle.size());
    EXPECT_EQ(LoadLE32(&rle[34]), rle.size() - 54 - 1024) << "a compressed image states its size";
    EXPECT_LT(rle.size(), raw.size());
    EXPECT_EQ(rle[rle.size() - 2], 0);
    EXPECT_EQ(rle[rle.size() - 1], 1) << "ends with the end-of-bitmap code";
    const RgbaImage fromRle = DecodeWith(reader, rle);
    EXPECT_EQ(fromRle, DecodeWith(reader, raw)) << "the same colour table and indices either way";
    // Three colours are learnt closely enough.
    for (size_t i = 0; i < pixels.size(); ++i)
        for (int shift : {0, 8, 16})
            EXPECT_NEAR((int) (fromRle.pixels[i] >> shift & 0xFF), (int) (pixels[i] >> shift & 0xFF), 12) << i;
}

TEST(BmpReader, RunLengthOutputOfNoisyLinesFitsItsBlock)
{
    // Two-pixel lines of differing colours: every run is a single pixel.
    BmpReader reader;
    std::vector<uint32_t> pixels((size_t) 2 * 300);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = 0xFF000000u | (uint32_t) (i * 2654435761u >> 8);
    const std::vector<uint8_t> rle = Save(reader, pixels, 2, 300, 9);
    ASSERT_FALSE(rle.empty());
    EXPECT_EQ(DecodeWith(reader, rle), DecodeWith(reader, Save(reader, pixels, 2, 300, 8)));
}

TEST(BmpReader, ALiteralStretchStopsWhereThreeEqualPixelsBegin)
{
    // Lines of A B C D D D: three single pixels as one absolute run (padded to
    // a word), D three times as one encoded run, then the end-of-line code.
    BmpReader reader;
    const uint32_t line[] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
    std::vector<uint32_t> pixels;
    for (int y = 0; y < 40; ++y)
        pixels.insert(pixels.end(), line, line + 6);
    const std::vector<uint8_t> rle = Save(reader, pixels, 6, 40, 9);
    ASSERT_EQ(rle.size(), 54u + 1024u + 40u * 10u + 2u);
    for (size_t at = 54 + 1024; at + 2 < rle.size(); at += 10) {
        const uint8_t* d = &rle[at];
        const uint8_t expected[] = {0, 3, d[2], d[3], d[4], 0, 3, d[7], 0, 0};
        ASSERT_EQ(std::vector<uint8_t>(d, d + 10), std::vector<uint8_t>(expected, expected + 10)) << at;
        EXPECT_NE(d[4], d[7]);
    }
    EXPECT_EQ(DecodeWith(reader, rle), DecodeWith(reader, Save(reader, pixels, 6, 40, 8)));
}

TEST(BmpReader, RefusesOutputItCannotConvert)
{
    BmpReader reader;
    std::vector<uint32_t> pixels = MakePicture(4, 4, true);
    for (CKDWORD depth : {1u, 4u, 5u, 7u, 0u, 64u})
        EXPECT_TRUE(Save(reader, pixels, 4, 4, depth).empty()) << depth;
    CKBitmapProperties p = ArgbRecord(BmpReader::DefaultProperties(), pixels, 0, 4);
    void* block = reinterpret_cast<void*>(1);
    EXPECT_EQ(reader.SaveMemory(&block, &p), 0);
    EXPECT_EQ(block, nullptr);
    p.m_Format = ArgbDesc(4, 4, pixels.data());
    p.m_Data = nullptr;
    p.m_Format.Image = nullptr;
    EXPECT_EQ(reader.SaveMemory(&block, &p), 0);
    EXPECT_EQ(reader.SaveMemory(&block, nullptr), 0);
    EXPECT_EQ(reader.SaveFile("x.bmp", nullptr), 0);
}

TEST(BmpReader, AlphaIsSavedOnlyByAThirtyTwoBitRecord)
{
    BmpReader reader;
    CKBitmapProperties p = BmpReader::DefaultProperties();
    EXPECT_FALSE(reader.IsAlphaSaved(&p));
    p.m_Words[0] = 32;
    EXPECT_TRUE(reader.IsAlphaSaved(&p));
    p.m_Size = 148;
    EXPECT_FALSE(reader.IsAlphaSaved(&p));
    EXPECT_FALSE(reader.IsAlphaSaved(nullptr));
}

// A run-length bitmap is whole once its last line ended: the end-of-bitmap
// code may follow, be left out (the data ends right after the last
// end-of-line) or stand for the last end-of-line; what follows it does not
// matter. Data that ends before the last line is ended is short.
TEST(BmpReader, RunLengthDataNeedsNoEndOfBitmapAfterItsLastLine)
{
    struct Case
    {
        const char* what;
        std::vector<uint8_t> tail; // after the first line and its end-of-line
        int result;
    };
    for (const int bits : {8, 4}) {
        // Line one: three pixels of index 1; line two: of index 2 (RLE4:
        // 1 and 2 alternate in both).
        const uint8_t first = bits == 8 ? 1 : 0x12;
        const uint8_t second = bits == 8 ? 2 : 0x21;
        const std::vector<Case> cases = {
            {"end of line then end of bitmap", {3, second, 0, 0, 0, 1}, IMAGEREADER_OK},
            {"data ends right after the last end of line", {3, second, 0, 0}, IMAGEREADER_OK},
            {"a stray byte after the last end of line", {3, second, 0, 0, 7}, IMAGEREADER_OK},
            {"end of bitmap ends the last line", {3, second, 0, 1}, IMAGEREADER_OK},
            {"the last end of line cut in half", {3, second, 0}, IMAGEREADER_SHORTFILE},
            {"no last end of line", {3, second}, IMAGEREADER_SHORTFILE},
        };
        BmpRecipe s;
        s.bits = bits;
        s.compression = bits == 8 ? 1 : 2;
        s.width = 3;
        s.height = 2;
        std::vector<uint8_t> head = BuildBmp(s);
        head.resize(LoadLE32(&head[10]));
        head.insert(head.end(), {3, first, 0, 0});
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << bits << " bits: " << c.what);
            std::vector<uint8_t> f = head;
            f.insert(f.end(), c.tail.begin(), c.tail.end());
            BmpReader reader;
            int result = -1;
            const RgbaImage image = DecodeWith(reader, f, &result);
            ASSERT_EQ(result, c.result);
            if (c.result != IMAGEREADER_OK)
                continue;
            ASSERT_EQ(image.width, 3);
            ASSERT_EQ(image.height, 2);
            for (int x = 0; x < 3; ++x) {
                // Bottom-up: the first line is the bottom one.
                const int bottom = bits == 8 ? 1 : (x & 1 ? 2 : 1);
                const int top = bits == 8 ? 2 : (x & 1 ? 1 : 2);
                EXPECT_EQ(image.At(x, 1), PaletteColor(bottom)) << x;
                EXPECT_EQ(image.At(x, 0), PaletteColor(top)) << x;
            }
        }
    }
}

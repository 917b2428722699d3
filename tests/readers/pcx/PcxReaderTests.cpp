#include "readers/pcx/PcxReader.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "includes/CKByteOrder.h"
#include "readers/common/ImageReaderResults.h"
#include "tests/readers/support/ReaderTestSupport.h"
#include "tests/support/TestPaths.h"

TEST(PcxReader, CorpusDecodesToItsPixelsAndToTheReferenceDecode)
{
    PcxReader reader;
    for (const CorpusFile& f : BuildPcxCorpus())
        CheckCorpusFile(reader, f);
}

TEST(PcxReader, FilesWrittenByAnotherEncoderDecodeLikeItsOwnDecoder)
{
    PcxReader reader;
    for (const char* name : {"im_8.pcx", "im_24.pcx"})
        CheckForeignFile(reader, name);
}

TEST(PcxReader, KeepsTheFileDepthWithAColourMap)
{
    PcxReader reader;
    struct Case
    {
        int bitsPerPlane, planes, bits, pitch, entries;
    };
    const Case cases[] = {{1, 1, 1, 2, 16}, {1, 4, 4, 7, 16}, {4, 1, 4, 7, 16}, {8, 1, 8, 13, 256}, {8, 3, 24, 39, 0}};
    for (const Case& c : cases) {
        PcxRecipe s;
        s.bitsPerPlane = c.bitsPerPlane;
        s.planes = c.planes;
        const std::vector<uint8_t> f = BuildPcx(s);
        CKBitmapProperties* p = nullptr;
        ASSERT_EQ(reader.ReadMemory(f.data(), (CKDWORD) f.size(), &p), 0);
        EXPECT_EQ(p->m_Format.BitsPerPixel, c.bits);
        EXPECT_EQ(p->m_Format.BytesPerLine, c.pitch);
        EXPECT_EQ(p->m_Format.ColorMapEntries, c.entries);
        EXPECT_EQ(p->m_Format.BytesPerColorEntry, c.entries ? 3 : 0);
        EXPECT_EQ(p->m_Format.RedMask, 0xFFu);
        EXPECT_EQ(p->m_Format.BlueMask, 0xFF0000u);
        EXPECT_EQ(p->m_Format.AlphaMask, 0u);
        EXPECT_EQ(p->m_Format.ColorMap == nullptr, c.entries == 0);
    }
    // ReleaseMemory of the pixels takes the colour map with them.
    CKBitmapProperties* p = nullptr;
    const std::vector<uint8_t> f = BuildPcx(PcxRecipe());
    ASSERT_EQ(reader.ReadMemory(f.data(), (CKDWORD) f.size(), &p), 0);
    reader.ReleaseMemory(p->m_Data);
    EXPECT_EQ(p->m_Data, nullptr);
    EXPECT_EQ(p->m_Format.ColorMap, nullptr);
}

TEST(PcxReader, RefusesWhatItCannotRead)
{
    PcxReader reader;
    PcxRecipe s;
    s.rle = false;
    s.planes = 3;
    const std::vector<uint8_t> good = BuildPcx(s);
    auto patched = [&](size_t at, uint32_t value, int bytes) { return DecodePatched(reader, good, at, value, bytes); };
    EXPECT_EQ(patched(0, 11, 1), IMAGEREADER_INVALID) << "signature";
    EXPECT_EQ(patched(8, 0, 2), IMAGEREADER_OK) << "a one-pixel-wide window";
    EXPECT_EQ(patched(4, 1, 2), IMAGEREADER_OK) << "a window not at the origin";
    EXPECT_EQ(patched(4, 13, 2), IMAGEREADER_INVALID) << "inverted window";
    EXPECT_EQ(patched(6, 7, 2), IMAGEREADER_INVALID) << "inverted window";
    EXPECT_EQ(patched(8, 0xFFFF, 2), IMAGEREADER_INVALID) << "width above the cap";
    EXPECT_EQ(patched(66, 12, 2), IMAGEREADER_INVALID) << "bytes per line below the width";
    EXPECT_EQ(patched(65, 1, 1), IMAGEREADER_OK) << "one 8-bit plane";
    EXPECT_EQ(patched(66, 0, 2), IMAGEREADER_INVALID) << "no bytes per line";
    EXPECT_EQ(patched(3, 2, 1), IMAGEREADER_INVALID) << "2 bits per plane";
    EXPECT_EQ(patched(65, 2, 1), IMAGEREADER_INVALID) << "two 8-bit planes";
    EXPECT_EQ(patched(65, 4, 1), IMAGEREADER_INVALID) << "four 8-bit planes";
    EXPECT_EQ(patched(10, 7, 2), IMAGEREADER_SHORTFILE) << "a line more than the file holds";

    // A run-length image far larger than its data could hold.
    PcxRecipe r;
    std::vector<uint8_t> f = BuildPcx(r);
    StoreLE16(&f[8], 16000);
    StoreLE16(&f[10], 16000);
    StoreLE16(&f[66], 16002);
    int result = -1;
    DecodeWith(reader, f, &result);
    EXPECT_EQ(result, IMAGEREADER_SHORTFILE);
}

TEST(PcxReader, FourBitLineSizesAreCountedInBits)
{
    // Four 1-bit planes of 13 pixels need 2 bytes a plane line, not 13 / 2.
    PcxRecipe s;
    s.bitsPerPlane = 1;
    s.planes = 4;
    s.rle = false;
    std::vector<uint8_t> f = BuildPcx(s);
    ASSERT_EQ(LoadLE16(&f[66]), 2u);
    PcxReader reader;
    EXPECT_EQ(DecodeWith(reader, f), ExpectedPcx(s));
    StoreLE16(&f[66], 1);
    int result = -1;
    DecodeWith(reader, f, &result);
    EXPECT_EQ(result, IMAGEREADER_INVALID);
}

TEST(PcxReader, AnEightBitFileWithoutItsPaletteUsesTheHeaderPalette)
{
    PcxRecipe s;
    s.bitsPerPlane = 8;
    s.vgaPalette = true;
    std::vector<uint8_t> f = BuildPcx(s);
    f[f.size() - 769] = 11; // not the palette marker
    PcxReader reader;
    const RgbaImage image = DecodeWith(reader, f);
    ASSERT_EQ(image.width, 13);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const int i = PatternIndex(x, y, 256);
            EXPECT_EQ(image.At(x, y), i < 16 ? PaletteColor(i) : 0xFF000000u) << x << "," << y;
        }
}

TEST(PcxReader, AMonochromeFileWhoseTwoColoursAreEqualIsBlackAndWhite)
{
    PcxRecipe s;
    s.bitsPerPlane = 1;
    const std::vector<uint8_t> f = BuildPcx(s);
    PcxReader reader;
    for (const uint8_t fill : {0x00, 0x5A}) {
        std::vector<uint8_t> g = f;
        std::fill(g.begin() + 16, g.begin() + 16 + 48, fill);
        const RgbaImage image = DecodeWith(reader, g);
        ASSERT_EQ(image.width, 13);
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x)
                EXPECT_EQ(image.At(x, y), PatternIndex(x, y, 16) & 1 ? 0xFFFFFFFFu : 0xFF000000u) << x << "," << y;
    }
    // Two different colours are kept, whatever they are.
    std::vector<uint8_t> g = f;
    std::fill(g.begin() + 16, g.begin() + 16 + 48, 0);
    g[16 + 3] = 0x80; // entry 1 is dark red
    const RgbaImage image = DecodeWith(reader, g);
    EXPECT_EQ(image.At(1, 0), PatternIndex(1, 0, 16) & 1 ? 0xFF800000u : 0xFF000000u);
}

TEST(PcxReader, EveryPrefixOfAFileIsShortOrWhole)
{
    PcxReader reader;
    CheckEveryCorpusPrefix(reader, BuildPcxCorpus());
}

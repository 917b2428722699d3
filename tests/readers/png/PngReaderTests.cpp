#include "readers/png/PngReader.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <png.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include "includes/CKByteOrder.h"
#include "tests/readers/support/ReaderTestSupport.h"
#include "tests/support/TestPaths.h"

namespace {

std::string PngSuiteDir()
{
    return TestSharedDataDir() + "/images/png";
}

// libpng's own decode through its simplified interface, as 8-bit BGRA.
bool SimplifiedDecode(const std::vector<uint8_t>& bytes, RgbaImage& out)
{
    png_image image;
    std::memset(&image, 0, sizeof(image));
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()))
        return false;
    image.format = PNG_FORMAT_BGRA;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    out.width = (int) image.width;
    out.height = (int) image.height;
    out.pixels.resize((size_t) out.width * out.height);
    for (size_t i = 0; i < out.pixels.size(); ++i)
        out.pixels[i] = LoadLE32(&pixels[i * 4]);
    return true;
}

struct PngFacts
{
    int depth = 0, colorType = -1, interlace = -1;
    std::vector<int> filterBytes; // of a non-interlaced image
    int paletteEntries = 0;
};

// Reads the chunks of a PNG this test trusts: IHDR, PLTE, and the filter
// byte of every row (non-interlaced images).
PngFacts Inspect(const std::vector<uint8_t>& f)
{
    PngFacts facts;
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> idat;
    auto be32 = [&](size_t at) {
        return (uint32_t) f[at] << 24 | (uint32_t) f[at + 1] << 16 | (uint32_t) f[at + 2] << 8 | f[at + 3];
    };
    for (size_t p = 8; p + 8 <= f.size(); p += 12 + be32(p)) {
        const uint32_t n = be32(p);
        const std::string type(f.begin() + (ptrdiff_t) p + 4, f.begin() + (ptrdiff_t) p + 8);
        const size_t body = p + 8;
        if (type == "IHDR") {
            width = be32(body);
            height = be32(body + 4);
            facts.depth = f[body + 8];
            facts.colorType = f[body + 9];
            facts.interlace = f[body + 12];
        } else if (type == "PLTE")
            facts.paletteEntries = (int) n / 3;
        else if (type == "IDAT")
            idat.insert(idat.end(), f.begin() + (ptrdiff_t) body, f.begin() + (ptrdiff_t) (body + n));
    }
    if (facts.interlace == 0 && width) {
        const int channels[] = {1, 0, 3, 1, 2, 0, 4};
        const size_t rowBytes = ((size_t) width * facts.depth * channels[facts.colorType] + 7) / 8 + 1;
        std::vector<uint8_t> raw(rowBytes * height);
        uLongf size = (uLongf) raw.size();
        if (uncompress(raw.data(), &size, idat.data(), (uLong) idat.size()) == Z_OK && size == raw.size())
            for (uint32_t y = 0; y < height; ++y)
                facts.filterBytes.push_back(raw[y * rowBytes]);
    }
    return facts;
}

std::vector<uint8_t> SavePng(PngReader& reader, std::vector<uint32_t>& pixels, int width, int height, CKDWORD depth,
                             CKDWORD options, CKDWORD filters = 8, CKDWORD interlace = 0, CKDWORD level = 3)
{
    CKBitmapProperties p = ArgbRecord(PngReader::DefaultProperties(), pixels, width, height);
    p.m_Words[PngReader::kCompressionWord] = level;
    p.m_Words[PngReader::kFilterWord] = filters;
    p.m_Words[PngReader::kBitDepthWord] = depth;
    p.m_Words[PngReader::kOptionsWord] = options;
    p.m_Words[PngReader::kInterlaceWord] = interlace;
    return SaveToBytes(reader, p);
}

// The grey a pixel gets (rounded or not).
uint32_t Grey(uint32_t p, double round)
{
    return (uint32_t) (int) (0.299 * (p >> 16 & 0xFF) + 0.587 * (p >> 8 & 0xFF) + 0.114 * (p & 0xFF) + round);
}

} // namespace

TEST(PngReader, SuiteFilesDecodeLikeLibpngsSimplifiedInterface)
{
    SKIP_WITHOUT_SHARED_DATA();
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(PngSuiteDir())) {
        if (entry.path().extension() != ".png")
            continue;
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        const std::vector<uint8_t> bytes = LoadFileBytes(entry.path().string());
        RgbaImage lib;
        const bool libOk = SimplifiedDecode(bytes, lib);
        PngReader reader;
        int result = -9;
        const RgbaImage image = DecodeWith(reader, bytes, &result);
        if (!libOk) {
            EXPECT_EQ(result, -1) << "the library refuses it, so does the reader";
            continue;
        }
        ASSERT_EQ(result, 0);
        ++files;
        const PngFacts facts = Inspect(bytes);
        if (facts.interlace == 1 && facts.depth == 16 && DescribeDifference(image, lib) != "") {
            // libpng 1.6's simplified reader misplaces the rows of interlaced
            // 16-bit images it converts from linear light. The suite holds
            // each such picture non-interlaced too ("i" dropped from the
            // name), with gAMA 1.0, the linear default of 16-bit files: its
            // decode is the same picture's.
            RgbaImage twin;
            ASSERT_TRUE(SimplifiedDecode(LoadFileBytes(PngSuiteDir() + "/" + name.substr(1)), twin));
            EXPECT_NE(DescribeDifference(lib, twin), "") << "the library disagrees with itself";
            lib = twin;
        }
        EXPECT_EQ(DescribeDifference(image, lib), "");
    }
    EXPECT_GT(files, 50);
}

TEST(PngReader, RecordWordsFollowTheFile)
{
    SKIP_WITHOUT_SHARED_DATA();
    struct Case
    {
        const char* name;
        CKDWORD depth, options, interlace;
    };
    // Starting from the defaults (24, no interlace) with the options 0: an
    // RGBA file sets the alpha option.
    const Case cases[] = {{"basn3p08.png", 24, 0, 0}, {"basn0g08.png", 8, 0, 0},  {"basn2c08.png", 24, 0, 0},
                          {"basn4a08.png", 24, 0, 0}, {"basn6a08.png", 24, 2, 0}, {"ibasn6a08.png", 24, 2, 1},
                          {"ibasn0g04.png", 8, 0, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PngReader reader;
        CKBitmapProperties* defaults = nullptr;
        reader.GetBitmapDefaultProperties(&defaults);
        defaults->m_Words[PngReader::kOptionsWord] = 0;
        const std::vector<uint8_t> bytes = LoadFileBytes(PngSuiteDir() + "/" + c.name);
        CKBitmapProperties* p = nullptr;
        ASSERT_EQ(reader.ReadMemory(bytes.data(), (CKDWORD) bytes.size(), &p), 0);
        EXPECT_EQ(p->m_Words[PngReader::kBitDepthWord], c.depth);
        EXPECT_EQ(p->m_Words[PngReader::kOptionsWord], c.options);
        EXPECT_EQ(p->m_Words[PngReader::kInterlaceWord], c.interlace);
        EXPECT_EQ(p->m_Format.BitsPerPixel, 32);
        EXPECT_EQ(p->m_Format.AlphaMask, 0xFF000000u);
        EXPECT_EQ(p->m_Format.BytesPerLine, p->m_Format.Width * 4);
    }
    // A palette file reads opaque.
    PngReader reader;
    for (uint32_t px : DecodeWith(reader, LoadFileBytes(PngSuiteDir() + "/basn3p08.png")).pixels)
        EXPECT_EQ(px >> 24, 0xFFu);
}

TEST(PngReader, EveryPrefixOfAFileDecodesOrFailsCleanly)
{
    PngReader reader;
    std::vector<uint32_t> pixels = MakePicture(11, 7, false);
    for (CKDWORD interlace : {0u, 1u}) {
        const std::vector<uint8_t> bytes = SavePng(reader, pixels, 11, 7, 24, 2, 8, interlace);
        ASSERT_FALSE(bytes.empty());
        CheckEveryPrefix(reader, bytes, {0, -1});
    }
    if (TestSharedDataMissing().empty())
        CheckEveryPrefix(reader, LoadFileBytes(PngSuiteDir() + "/basn3p04.png"), {0, -1});
}

TEST(PngReader, TrueColourRoundTripsExactly)
{
    PngReader reader;
    for (CKDWORD interlace : {0u, 1u})
        for (int width : {1, 9, 33})
            for (CKDWORD depth : {24u, 32u}) {
                SCOPED_TRACE(testing::Message() << width << " " << depth << " " << interlace);
                const int height = 5;
                std::vector<uint32_t> pixels = MakePicture(width, height, false);
                // The alpha option gives RGBA, its absence RGB, at 24 or 32.
                const std::vector<uint8_t> rgba = SavePng(reader, pixels, width, height, depth, 2, 8, interlace);
                const PngFacts facts = Inspect(rgba);
                EXPECT_EQ(facts.colorType, 6);
                EXPECT_EQ(facts.depth, 8);
                EXPECT_EQ(facts.interlace, (int) interlace);
                EXPECT_EQ(DescribeDifference(DecodeWith(reader, rgba), AsImage(pixels, width, height, false)), "");
                RgbaImage lib;
                ASSERT_TRUE(SimplifiedDecode(rgba, lib));
                EXPECT_EQ(DescribeDifference(lib, AsImage(pixels, width, height, false)), "") << "libpng agrees";
                const std::vector<uint8_t> rgb = SavePng(reader, pixels, width, height, depth, 0, 8, interlace);
                EXPECT_EQ(Inspect(rgb).colorType, 2);
                EXPECT_EQ(DescribeDifference(DecodeWith(reader, rgb), AsImage(pixels, width, height, true)), "");
            }
}

TEST(PngReader, PaletteImagesAreWrittenAtDepthEight)
{
    PngReader reader;
    std::vector<uint32_t> pixels((size_t) 20 * 6);
    const uint32_t colours[4] = {0xFF102030u, 0xFFF0E0D0u, 0xFF00FF00u, 0xFF808080u};
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = colours[(i / 3) % 4];
    for (CKDWORD depth : {1u, 2u, 4u, 8u}) {
        SCOPED_TRACE(depth);
        const std::vector<uint8_t> bytes = SavePng(reader, pixels, 20, 6, depth, 0);
        const PngFacts facts = Inspect(bytes);
        EXPECT_EQ(facts.colorType, 3);
        EXPECT_EQ(facts.depth, 8);
        EXPECT_EQ(facts.paletteEntries, 256);
        const RgbaImage image = DecodeWith(reader, bytes);
        ASSERT_EQ(image.width, 20);
        for (size_t i = 0; i < pixels.size(); ++i)
            for (int s : {0, 8, 16})
                EXPECT_NEAR((int) (image.pixels[i] >> s & 0xFF), (int) (pixels[i] >> s & 0xFF), 8) << i;
    }
}

TEST(PngReader, GreyOptionScalesToTheDepthAndGreyWithAlphaIsWrittenAtDepthEight)
{
    PngReader reader;
    std::vector<uint32_t> pixels = {0xFFFFFFFFu, 0xFFFEFFFFu, 0xFF000000u, 0xFF808080u, 0xFF102030u, 0xFFFF0000u};
    for (CKDWORD depth : {1u, 2u, 4u, 8u}) {
        SCOPED_TRACE(depth);
        const std::vector<uint8_t> bytes = SavePng(reader, pixels, 6, 1, depth, 1);
        const PngFacts facts = Inspect(bytes);
        EXPECT_EQ(facts.colorType, 0);
        EXPECT_EQ(facts.depth, (int) depth);
        const RgbaImage image = DecodeWith(reader, bytes);
        ASSERT_EQ(image.width, 6);
        const uint32_t top = (1u << depth) - 1;
        for (size_t i = 0; i < pixels.size(); ++i)
            EXPECT_EQ(image.pixels[i], 0xFF000000u | Grey(pixels[i], 0) * top / 255 * 255 / top * 0x010101u) << i;
    }
    // At one bit only a grey of 255 gives the sample 1.
    const RgbaImage mono = DecodeWith(reader, SavePng(reader, pixels, 6, 1, 1, 1));
    EXPECT_EQ(mono.pixels[0], 0xFFFFFFFFu);
    EXPECT_EQ(mono.pixels[1], 0xFF000000u);

    pixels = MakePicture(7, 3, false);
    for (CKDWORD depth : {1u, 8u}) {
        const std::vector<uint8_t> bytes = SavePng(reader, pixels, 7, 3, depth, 3);
        const PngFacts facts = Inspect(bytes);
        EXPECT_EQ(facts.colorType, 4);
        EXPECT_EQ(facts.depth, 8);
        const RgbaImage image = DecodeWith(reader, bytes);
        ASSERT_EQ(image.width, 7);
        for (size_t i = 0; i < pixels.size(); ++i)
            EXPECT_EQ(image.pixels[i], (pixels[i] & 0xFF000000u) | Grey(pixels[i], 0.5) * 0x010101u) << i;
    }
}

TEST(PngReader, FilterWordSelectsTheRowFiltersAndLevelTheSize)
{
    PngReader reader;
    std::vector<uint32_t> pixels = MakePicture(24, 12, false);
    // The word 0 ("None") writes unfiltered rows, one bit one filter.
    for (CKDWORD word : {0u, 1u, 2u, 4u, 8u}) {
        const PngFacts one = Inspect(SavePng(reader, pixels, 24, 12, 24, 2, word));
        ASSERT_EQ(one.filterBytes.size(), 12u);
        const int expected = word == 0 ? 0 : word == 1 ? 1 : word == 2 ? 2 : word == 4 ? 3 : 4;
        for (int f : one.filterBytes)
            EXPECT_EQ(f, expected) << word << " row filters " << ::testing::PrintToString(one.filterBytes);
    }
    pixels = MakePicture(64, 64, true);
    const std::vector<uint8_t> stored = SavePng(reader, pixels, 64, 64, 24, 0, 8, 0, 0);
    const std::vector<uint8_t> packed = SavePng(reader, pixels, 64, 64, 24, 0, 8, 0, 9);
    EXPECT_LT(packed.size(), stored.size());
    EXPECT_TRUE(SavePng(reader, pixels, 64, 64, 24, 0, 8, 0, 77).empty()) << "a level zlib refuses fails";
}

TEST(PngReader, WrittenFilesPassPngfix)
{
    // pngfix (libpng-tools) exits 0 for a file it finds sound.
    if (std::system("command -v pngfix > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "pngfix (libpng-tools) not installed";
    PngReader reader;
    TestTempDir dir;
    std::vector<uint32_t> pixels = MakePicture(17, 9, false);
    const CKDWORD cases[][3] = {{24, 2, 0}, {24, 0, 1}, {32, 0, 0}, {8, 0, 0},
                                {4, 1, 0},  {1, 1, 1},  {8, 3, 0},  {2, 3, 1}};
    for (const auto& c : cases) {
        const std::string path = dir.File("f.png");
        ASSERT_TRUE(SaveFileBytes(path, SavePng(reader, pixels, 17, 9, c[0], c[1], 15, c[2])));
        EXPECT_EQ(std::system(("pngfix --quiet '" + path + "' > /dev/null 2>&1").c_str()), 0)
            << c[0] << " " << c[1] << " " << c[2];
    }
}

TEST(PngReader, AForeignRecordGivesItsDepthAndAlphaIsSavedByTheRightWords)
{
    PngReader reader;
    TestTempDir dir;
    std::vector<uint32_t> pixels = MakePicture(6, 5, false);
    CKBitmapProperties p; // a bare 140-byte record of a 32-bit image
    p.m_Format = ArgbDesc(6, 5, pixels.data());
    p.m_Data = pixels.data();
    ASSERT_EQ(reader.SaveFile(dir.File("a.png").c_str(), &p), 1);
    const std::vector<uint8_t> bytes = LoadFileBytes(dir.File("a.png"));
    EXPECT_EQ(Inspect(bytes).colorType, 6) << "32 becomes 24, with the default alpha option";
    EXPECT_EQ(DescribeDifference(DecodeWith(reader, bytes), AsImage(pixels, 6, 5, false)), "");
    CKBitmapProperties* out = nullptr;
    ASSERT_EQ(reader.ReadFile(dir.File("a.png").c_str(), &out), 0);
    EXPECT_EQ(DescribeDifference(ToRgba(out->m_Format, out->m_Data), AsImage(pixels, 6, 5, false)), "");
    EXPECT_EQ(reader.SaveFile((dir.Path() + "/missing/a.png").c_str(), &p), 0);
    p.m_Format.BitsPerPixel = 16;
    p.m_Format.BytesPerLine = 12;
    EXPECT_EQ(reader.SaveFile(dir.File("b.png").c_str(), &p), 0) << "depth 16 is no PNG writer depth";

    CKBitmapProperties bare;
    EXPECT_TRUE(reader.IsAlphaSaved(&bare)) << "a foreign record is judged by the defaults";
    bare.m_Format.BitsPerPixel = 8;
    reader.SetBitmapDefaultProperties(&bare);
    CKBitmapProperties* d = nullptr;
    reader.GetBitmapDefaultProperties(&d);
    EXPECT_EQ(d->m_Size, PngReader::kPropertiesSize);
    EXPECT_EQ(d->m_Words[PngReader::kBitDepthWord], 8u);
    EXPECT_EQ(d->m_Words[PngReader::kFilterWord], 8u) << "the other words stay";

    CKBitmapProperties q = PngReader::DefaultProperties();
    EXPECT_TRUE(reader.IsAlphaSaved(&q));
    q.m_Words[PngReader::kOptionsWord] = 0;
    EXPECT_FALSE(reader.IsAlphaSaved(&q));
    q.m_Words[PngReader::kOptionsWord] = 3;
    q.m_Words[PngReader::kBitDepthWord] = 8;
    EXPECT_TRUE(reader.IsAlphaSaved(&q));
    q.m_Words[PngReader::kOptionsWord] = 2;
    EXPECT_FALSE(reader.IsAlphaSaved(&q));
}

TEST(PngReader, RefusesWhatLibpngRefuses)
{
    PngReader reader;
    TestTempDir dir;
    std::vector<uint32_t> pixels = MakePicture(8, 8, true);
    std::vector<uint8_t> bytes = SavePng(reader, pixels, 8, 8, 24, 0);
    std::vector<uint8_t> broken = bytes;
    broken[1] = 'X';
    int result = 0;
    DecodeWith(reader, broken, &result);
    EXPECT_EQ(result, -1) << "signature";
    broken = bytes;
    broken[20] = 0x7F; // height far above the cap; the CRC check comes first
    DecodeWith(reader, broken, &result);
    EXPECT_EQ(result, -1);
    broken = bytes;
    broken[bytes.size() / 2] ^= 0x55;
    RgbaImage lib;
    const bool libOk = SimplifiedDecode(broken, lib);
    DecodeWith(reader, broken, &result);
    EXPECT_EQ(result == 0, libOk) << "a damaged IDAT";
    CKBitmapProperties* out = nullptr;
    EXPECT_EQ(reader.ReadMemory(nullptr, 3, &out), -1);
    EXPECT_EQ(reader.ReadFile("/nonexistent/a.png", &out), -1);
    ASSERT_TRUE(SaveFileBytes(dir.File("cut.png"), std::vector<uint8_t>(bytes.begin(), bytes.begin() + 40)));
    EXPECT_EQ(reader.ReadFile(dir.File("cut.png").c_str(), &out), -1) << "read Error on a short file";
}

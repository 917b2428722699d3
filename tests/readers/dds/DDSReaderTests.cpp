#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <squish.h>

#include "includes/CKByteOrder.h"
#include "readers/dds/DDSReader.h"
#include "system/image/QxPixelFormat.h"
#include "tests/readers/support/ReaderTestSupport.h"
#include "tests/support/TestPaths.h"
#include "tools/testdata/ImageFileBuilders.h"

namespace {

constexpr uint32_t kDxt[5] = {0x31545844, 0x32545844, 0x33545844, 0x34545844, 0x35545844}; // "DXT1".."DXT5"

struct Offered
{
    uint32_t format;
    uint32_t pitchOrSize, pfFlags, fourCC, bits, r, g, b, a;
    int rBits, gBits, bBits, aBits; // what survives a round trip (0: no alpha)
};

// 64 x 32 images in each format the option string offers.
const Offered kOffered[] = {
    {20, 192, 64, 0, 24, 0xFF0000, 0xFF00, 0xFF, 0, 8, 8, 8, 0},
    {21, 256, 65, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 8, 8, 8, 8},
    {23, 128, 64, 0, 16, 0xF800, 0x7E0, 0x1F, 0, 5, 6, 5, 0},
    {25, 128, 65, 0, 16, 0x7C00, 0x3E0, 0x1F, 0x8000, 5, 5, 5, 1},
    {26, 128, 65, 0, 16, 0xF00, 0xF0, 0xF, 0xF000, 4, 4, 4, 4},
    {27, 64, 64, 0, 8, 0xE0, 0x1C, 0x3, 0, 3, 3, 2, 0},
    {kDxt[0], 1024, 4, kDxt[0], 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {kDxt[1], 2048, 4, kDxt[1], 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {kDxt[2], 2048, 4, kDxt[2], 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {kDxt[3], 2048, 4, kDxt[3], 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {kDxt[4], 2048, 4, kDxt[4], 0, 0, 0, 0, 0, 0, 0, 0, 0},
};

std::vector<uint8_t> Save(DDSReader& reader, std::vector<uint32_t>& pixels, int width, int height, uint32_t format)
{
    CKBitmapProperties p = ArgbRecord(DDSReader::DefaultProperties(), pixels, width, height);
    p.m_Words[0] = format;
    return SaveToBytes(reader, p);
}

// Channels equal in their top bits (alpha 0xFF where the format has none).
std::string TopBitsDiffer(const RgbaImage& a, const RgbaImage& e, const Offered& f)
{
    const int bits[4] = {f.bBits, f.gBits, f.rBits, f.aBits};
    for (size_t i = 0; i < e.pixels.size(); ++i)
        for (int c = 0; c < 4; ++c) {
            const uint32_t x = (a.pixels[i] >> (8 * c)) & 0xFF;
            const uint32_t y = c == 3 && bits[3] == 0 ? 0xFF : (e.pixels[i] >> (8 * c)) & 0xFF;
            const int keep = c == 3 && bits[3] == 0 ? 8 : bits[c];
            if ((x >> (8 - keep)) != (y >> (8 - keep)))
                return "pixel " + std::to_string(i) + " channel " + std::to_string(c);
        }
    return "";
}

std::vector<uint8_t> DxtFile(int width, int height, int n, uint32_t seed)
{
    const uint32_t blockBytes = n == 0 ? 8 : 16;
    const uint32_t size = uint32_t((width + 3) / 4) * uint32_t((height + 3) / 4) * blockBytes;
    std::vector<uint8_t> f = BuildDdsHeader(width, height, 0x81007, size, 4, kDxt[n], 0, 0, 0, 0, 0);
    for (uint32_t i = 0; i < size; ++i) {
        seed = seed * 214013 + 2531011;
        f.push_back(uint8_t(seed >> 16));
    }
    return f;
}

} // namespace

TEST(DDSReader, EachOfferedFormatWritesItsHeaderWordsAndWholeDataAndReadsBack)
{
    std::vector<uint32_t> pixels = MakePicture(64, 32, false);
    const RgbaImage source = AsImage(pixels, 64, 32, false);
    DDSReader reader;
    for (const Offered& f : kOffered) {
        SCOPED_TRACE(f.format);
        const std::vector<uint8_t> file = Save(reader, pixels, 64, 32, f.format);
        const uint32_t flags = f.fourCC ? 0x81007 : 0x100F;
        const uint32_t data = f.fourCC ? f.pitchOrSize : f.pitchOrSize * 32;
        ASSERT_EQ(file.size(), 128 + data);
        const std::vector<uint8_t> expected =
            BuildDdsHeader(64, 32, flags, f.pitchOrSize, f.pfFlags, f.fourCC, f.bits, f.r, f.g, f.b, f.a);
        EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + 128), expected);
        if (f.fourCC)
            continue; // compressed colours are compared below
        // Uncompressed formats read back in their top bits.
        DDSReader fresh;
        int result = -1;
        const RgbaImage back = DecodeWith(fresh, file, &result);
        ASSERT_EQ(result, 0);
        ASSERT_EQ(back.width, 64);
        ASSERT_EQ(back.height, 32);
        EXPECT_EQ(TopBitsDiffer(back, source, f), "");
    }
}

TEST(DDSReader, CompressedImagesCountWholeBlocksAndKeepTheirColours)
{
    const struct
    {
        int width, height, n;
        size_t fileSize;
    } cases[] = {{16, 16, 0, 256}, {2, 2, 4, 144}, {5, 3, 2, 160}, {64, 32, 4, 2176}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
        std::vector<uint32_t> pixels; // smooth, so that compression keeps it closely
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                pixels.push_back(uint32_t(255 - 2 * y) << 24 | uint32_t(4 * x) << 16 | uint32_t(8 * y) << 8 | 40);
        DDSReader writer, reader;
        const std::vector<uint8_t> file = Save(writer, pixels, c.width, c.height, kDxt[c.n]);
        ASSERT_EQ(file.size(), c.fileSize);
        EXPECT_EQ(LoadLE32(&file[20]), c.fileSize - 128) << "linear size";
        const RgbaImage back = DecodeWith(reader, file);
        ASSERT_EQ(back.pixels.size(), pixels.size());
        for (size_t i = 0; i < pixels.size(); ++i)
            for (int shift = 0; shift < (c.n == 0 ? 24 : 32); shift += 8)
                ASSERT_LE(std::abs(int((back.pixels[i] >> shift) & 0xFF) - int((pixels[i] >> shift) & 0xFF)), 12) << i;
    }
}

TEST(DDSReader, CompressedBlocksDecodeAsLibsquishDecodesThem)
{
    for (int n = 0; n < 5; ++n)
        for (const auto& size : {std::pair(8, 4), std::pair(5, 7), std::pair(1, 2)}) {
            SCOPED_TRACE(testing::Message() << "DXT" << n + 1 << " " << size.first << "x" << size.second);
            const std::vector<uint8_t> file = DxtFile(size.first, size.second, n, 77 + n);
            DDSReader reader;
            int result = -1;
            const RgbaImage image = DecodeWith(reader, file, &result);
            ASSERT_EQ(result, 0);
            // DXT2 and DXT4 blocks are read as DXT3 and DXT5 ones.
            const int flags[5] = {squish::kDxt1, squish::kDxt3, squish::kDxt3, squish::kDxt5, squish::kDxt5};
            std::vector<uint8_t> rgba(size_t(size.first) * size.second * 4);
            squish::DecompressImage(rgba.data(), size.first, size.second, file.data() + 128, flags[n]);
            for (size_t i = 0; i < image.pixels.size(); ++i) {
                const uint8_t* p = &rgba[i * 4];
                ASSERT_EQ(image.pixels[i], uint32_t(p[3]) << 24 | p[0] << 16 | p[1] << 8 | p[2]) << i;
            }
        }
}

TEST(DDSReader, TheRecordsFormatDecidesWhatAReadGivesAndASaveConverts)
{
    const std::vector<uint8_t> dxt1 = DxtFile(6, 5, 0, 5);
    DDSReader reader;
    CKBitmapProperties* p = nullptr;
    reader.GetBitmapDefaultProperties(&p);
    QxPixelFormat2ImageDesc(_DXT1, p->m_Format);
    ASSERT_EQ(reader.ReadMemory(dxt1.data(), (CKDWORD) dxt1.size(), &p), 0);
    EXPECT_EQ(QxImageDesc2PixelFormat(p->m_Format), _DXT1);
    EXPECT_EQ(p->m_Format.BytesPerLine, 0);
    EXPECT_EQ(std::vector<uint8_t>((uint8_t*) p->m_Data, (uint8_t*) p->m_Data + 32),
              std::vector<uint8_t>(dxt1.begin() + 128, dxt1.end()))
        << "the blocks are kept as they are";
    CKBitmapProperties again = *p;
    again.m_Words[0] = kDxt[0];
    EXPECT_EQ(SaveToBytes(reader, again), dxt1) << "and saved back as they were";

    // 16-bit records read into their own format; one without a surface
    // format reads as 32-bit ARGB.
    std::vector<uint32_t> pixels = MakePicture(8, 8, false);
    const std::vector<uint8_t> argb = Save(reader, pixels, 8, 8, 21);
    QxPixelFormat2ImageDesc(_16_ARGB4444, p->m_Format);
    ASSERT_EQ(reader.ReadMemory(argb.data(), (CKDWORD) argb.size(), &p), 0);
    EXPECT_EQ(QxImageDesc2PixelFormat(p->m_Format), _16_ARGB4444);
    EXPECT_EQ(p->m_Format.BytesPerLine, 16);
    QxPixelFormat2ImageDesc(_32_ABGR8888, p->m_Format);
    ASSERT_EQ(reader.ReadMemory(argb.data(), (CKDWORD) argb.size(), &p), 0);
    EXPECT_EQ(QxImageDesc2PixelFormat(p->m_Format), _32_ARGB8888);
    EXPECT_EQ(ToRgba(p->m_Format, p->m_Data), AsImage(pixels, 8, 8, false));

    // Images of other pixel sizes are converted, not copied.
    std::vector<uint32_t> opaque = MakePicture(7, 3, true);
    std::vector<uint8_t> rgb24;
    for (uint32_t c : opaque)
        rgb24.insert(rgb24.end(), {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16)});
    CKBitmapProperties small = DDSReader::DefaultProperties();
    QxPixelFormat2ImageDesc(_24_RGB888, small.m_Format);
    small.m_Format.Width = 7;
    small.m_Format.Height = 3;
    small.m_Format.BytesPerLine = 21;
    small.m_Data = rgb24.data();
    small.m_Words[0] = 22; // X8R8G8B8, which 24-bit images save as
    const std::vector<uint8_t> file = SaveToBytes(reader, small);
    ASSERT_EQ(file.size(), 128u + 7 * 3 * 4);
    DDSReader back;
    EXPECT_EQ(DecodeWith(back, file), AsImage(opaque, 7, 3, true));
}

// Files laid out as other writers make them: luminance decodes grey, and a
// narrow alpha that is full stays full (0xFF).
TEST(DDSReader, LuminanceIsGreyAndFullNarrowAlphaIsOpaque)
{
    struct Case
    {
        const char* what;
        uint32_t pfFlags, bits, r, g, b, a;
        std::vector<uint8_t> pixels; // two pixels
        uint32_t first, second;      // 0xAARRGGBB
    };
    const Case cases[] = {
        {"L8", 0x20000, 8, 0xFF, 0, 0, 0, {0x00, 0x9C}, 0xFF000000, 0xFF9C9C9C},
        {"L8 flagged RGB too", 0x20040, 8, 0xFF, 0, 0, 0, {0xFF, 0x41}, 0xFFFFFFFF, 0xFF414141},
        {"L8 with an alpha mask not flagged", 0x20000, 8, 0xFF, 0, 0, 0xFF00, {0x12, 0x34}, 0xFF121212, 0xFF343434},
        {"A8L8", 0x20001, 16, 0xFF, 0, 0, 0xFF00, {0x80, 0xFF, 0x10, 0x40}, 0xFF808080, 0x40101010},
        {"A4L4", 0x20001, 8, 0x0F, 0, 0, 0xF0, {0xFF, 0x8A}, 0xFFF0F0F0, 0x88A0A0A0},
        {"L16", 0x20000, 16, 0xFFFF, 0, 0, 0, {0x34, 0x12, 0xFF, 0xFF}, 0xFF121212, 0xFFFFFFFF},
        {"A1R5G5B5", 0x41, 16, 0x7C00, 0x3E0, 0x1F, 0x8000, {0xFF, 0xFF, 0x00, 0x7C}, 0xFFF8F8F8, 0x00F80000},
        {"A4R4G4B4", 0x41, 16, 0xF00, 0xF0, 0xF, 0xF000, {0x56, 0xF4, 0x56, 0x74}, 0xFF405060, 0x77405060},
        {"A2R10G10B10",
         0x41,
         32,
         0x3FF00000,
         0xFFC00,
         0x3FF,
         0xC0000000,
         {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0xF0, 0x7F},
         0xFFFFFFFF,
         0x55FF0000},
        {"A2B10G10R10",
         0x41,
         32,
         0x3FF,
         0xFFC00,
         0x3FF00000,
         0xC0000000,
         {0xFF, 0x03, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x80},
         0xFFFF0000,
         0xAA000000},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> file = BuildDdsHeader(2, 1, 0x100F, c.bits / 4, c.pfFlags, 0, c.bits, c.r, c.g, c.b, c.a);
        file.insert(file.end(), c.pixels.begin(), c.pixels.end());
        DDSReader reader;
        int result = -1;
        const RgbaImage image = DecodeWith(reader, file, &result);
        ASSERT_EQ(result, 0) << c.what;
        ASSERT_EQ(image.pixels.size(), 2u) << c.what;
        EXPECT_EQ(image.pixels[0], c.first) << c.what << std::hex << ": 0x" << image.pixels[0];
        EXPECT_EQ(image.pixels[1], c.second) << c.what << std::hex << ": 0x" << image.pixels[1];
    }
    // Luminance that overlaps its alpha, or lies past the depth, is refused.
    DDSReader reader;
    for (uint32_t a : {0xFFu, 0x1FF00u}) {
        std::vector<uint8_t> file = BuildDdsHeader(2, 1, 0x100F, 4, 0x20001, 0, 16, 0xFF, 0, 0, a);
        file.resize(file.size() + 4);
        EXPECT_EQ(DecodePatched(reader, file, 0, 0x20534444, 4), 2) << std::hex << a;
    }
}

TEST(DDSReader, EveryPrefixGivesTwoNullArgumentsOneMipmapsAreSkippedAndSavesFail)
{
    std::vector<uint32_t> pixels = MakePicture(4, 4, false);
    DDSReader reader;
    const std::vector<uint8_t> good = Save(reader, pixels, 4, 4, 21);
    CheckEveryPrefix(reader, good, {2});
    CKBitmapProperties* read = nullptr;
    EXPECT_EQ(reader.ReadMemory(nullptr, 4, &read), 1);
    EXPECT_EQ(reader.ReadMemory(good.data(), (CKDWORD) good.size(), nullptr), 1);
    EXPECT_EQ(reader.ReadFile(nullptr, &read), 1);
    EXPECT_EQ(reader.ReadFile("no/such/file.dds", &read), 2);
    std::vector<uint8_t> mipmapped = good;
    mipmapped.resize(good.size() + 16, 0x55);
    EXPECT_EQ(DecodePatched(reader, mipmapped, 28, 2, 4), 0) << "levels past the first are ignored";

    EXPECT_TRUE(Save(reader, pixels, 4, 4, 99).empty()) << "no surface format 99";
    EXPECT_TRUE(Save(reader, pixels, 4, 4, 60).empty()) << "colours are not bump-map differences";
    CKBitmapProperties p = ArgbRecord(DDSReader::DefaultProperties(), pixels, 4, 4);
    TestTempDir dir;
    const std::string name = dir.File("out.dds");
    p.m_Words[0] = 60;
    EXPECT_EQ(reader.SaveFile(name.c_str(), &p), 2);
    p.m_Words[0] = 99;
    EXPECT_EQ(reader.SaveFile(name.c_str(), &p), 0);
    p.m_Words[0] = kDxt[2];
    EXPECT_EQ(reader.SaveFile(name.c_str(), &p), 144);
    EXPECT_EQ(LoadFileBytes(name), SaveToBytes(reader, p));
    EXPECT_EQ(reader.SaveFile(nullptr, &p), 0);
    p.m_Data = nullptr;
    p.m_Format.Image = nullptr;
    EXPECT_TRUE(SaveToBytes(reader, p).empty());

    for (uint32_t format : {20u, 21u, 22u, 23u, 24u, 26u, 27u, kDxt[0]}) {
        p.m_Words[0] = format;
        const bool alpha = format == 21 || format == 26 || format == kDxt[0];
        EXPECT_EQ(reader.IsAlphaSaved(&p), alpha ? TRUE : FALSE) << format;
    }
    CKBitmapProperties bare;
    EXPECT_TRUE(reader.IsAlphaSaved(&bare));
    EXPECT_STREQ(reader.GetOptionDescription(0),
                 "Enum:Pixel Format:D3DFMT_R8G8B8=20,D3DFMT_A8R8G8B8=21,D3DFMT_R5G6B5=23,D3DFMT_A1R5G5B5=25,"
                 "D3DFMT_A4R4G4B4=26,D3DFMT_R3G3B2=27,D3DFMT_DXT1=827611204,D3DFMT_DXT2=844388420,"
                 "D3DFMT_DXT3=861165636,D3DFMT_DXT4=877942852,D3DFMT_DXT5=894720068");
}

// ImageMagick's DDS coder, an independent reader, when it is installed. It
// knows every offered format but DXT2 and DXT4.
TEST(DDSReader, AnotherReaderAcceptsEveryWrittenFile)
{
    if (std::system("identify -version > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "ImageMagick is not installed";
    std::vector<uint32_t> pixels = MakePicture(64, 32, false);
    DDSReader reader;
    TestTempDir dir;
    for (const Offered& f : kOffered) {
        if (f.format == kDxt[1] || f.format == kDxt[3])
            continue;
        const std::string name = dir.File("image.dds");
        ASSERT_TRUE(SaveFileBytes(name, Save(reader, pixels, 64, 32, f.format)));
        const std::string command = "identify -format '%w %h' " + name + " 2>&1";
        std::string out;
        if (FILE* pipe = popen(command.c_str(), "r")) {
            char line[256];
            while (std::fgets(line, sizeof line, pipe))
                out += line;
            pclose(pipe);
        }
        EXPECT_EQ(out, "64 32") << f.format;
    }
}

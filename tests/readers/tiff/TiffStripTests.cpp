// Files whose strips are not all in the file, or could not describe a large
// image, are refused; whole strips are read as libtiff gives them, clean or
// not.
#include <cstdarg>
#include <utility>
#include <vector>

#include <tiffio.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include "readers/tiff/TiffReader.h"
#include "tests/readers/support/PeakMemory.h"
#include "tests/readers/support/ReaderTestSupport.h"
#include "tests/support/TestPaths.h"
#include "tools/testdata/ImageFileBuilders.h"

namespace {

uint8_t Grey(int x, int y)
{
    return (uint8_t) (x * 7 + y * 13);
}

// An 8-bit grey TIFF of one line a strip, written byte by byte with its
// directory first and its strips last, so that cutting the file cuts only
// strips. stripBytes other than 0 makes the image one strip of that many
// bytes.
std::vector<uint8_t> BuildTiff(int width, int height, int compression, size_t* dataStart, uint32_t stripBytes = 0)
{
    std::vector<std::vector<uint8_t>> strips;
    for (int y = 0; y < height && !stripBytes; ++y) {
        std::vector<uint8_t> line;
        for (int x = 0; x < width; ++x)
            line.push_back(Grey(x, y));
        uLongf size = compressBound((uLong) line.size());
        std::vector<uint8_t> packed(size);
        compress2(packed.data(), &size, line.data(), (uLong) line.size(), 9);
        packed.resize(size);
        strips.push_back(compression == COMPRESSION_NONE ? line : packed);
    }
    if (stripBytes)
        strips.emplace_back(stripBytes, 0x78);
    const uint32_t n = (uint32_t) strips.size(), tables = 8 + 2 + 9 * 12 + 4;
    std::vector<uint8_t> f = {'I', 'I', 42, 0, 8, 0, 0, 0, 9, 0};
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            f.push_back((uint8_t) (v >> (8 * i)));
    };
    const uint32_t entries[9][3] = {
        {TIFFTAG_IMAGEWIDTH, 1, (uint32_t) width},
        {TIFFTAG_IMAGELENGTH, 1, (uint32_t) height},
        {TIFFTAG_BITSPERSAMPLE, 1, 8},
        {TIFFTAG_COMPRESSION, 1, (uint32_t) compression},
        {TIFFTAG_PHOTOMETRIC, 1, PHOTOMETRIC_MINISBLACK},
        {TIFFTAG_STRIPOFFSETS, n, n > 1 ? tables : tables + 8},
        {TIFFTAG_SAMPLESPERPIXEL, 1, 1},
        {TIFFTAG_ROWSPERSTRIP, 1, stripBytes ? (uint32_t) height : 1},
        {TIFFTAG_STRIPBYTECOUNTS, n, n > 1 ? tables + 4 * n : stripBytes},
    };
    for (const auto& e : entries) {
        put32(e[0] | (uint32_t) TIFF_LONG << 16);
        put32(e[1]);
        put32(e[2]);
    }
    put32(0);
    uint32_t at = tables + 8 * n;
    for (const std::vector<uint8_t>& s : strips)
        put32(std::exchange(at, at + (uint32_t) s.size()));
    for (const std::vector<uint8_t>& s : strips)
        put32((uint32_t) s.size());
    *dataStart = f.size();
    for (const std::vector<uint8_t>& s : strips)
        f.insert(f.end(), s.begin(), s.end());
    return f;
}

// Whether libtiff's own decode, stopping at the first error, reads the
// 4 x 2 image.
bool LibtiffReadsWithoutError(const std::vector<uint8_t>& file)
{
    TestTempDir dir;
    const std::string name = dir.File("planar.tif");
    if (!SaveFileBytes(name, file))
        return false;
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    auto quiet = [](TIFF*, void*, const char*, const char*, va_list) { return 1; };
    TIFFOpenOptionsSetErrorHandlerExtR(options, quiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, quiet, nullptr);
    TIFF* tif = TIFFOpenExt(name.c_str(), "r", options);
    TIFFOpenOptionsFree(options);
    if (!tif)
        return false;
    std::vector<uint32_t> raster(64 * 64);
    const bool ok = TIFFReadRGBAImageOriented(tif, 4, 2, raster.data(), ORIENTATION_TOPLEFT, 1) != 0;
    TIFFClose(tif);
    return ok;
}

} // namespace

TEST(TiffStrips, AFileCutInsideItsStripsIsRefused)
{
    RgbaImage expected{40, 30, {}};
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            expected.pixels.push_back(0xFF000000u | Grey(x, y) * 0x010101u);
    for (const int compression : {COMPRESSION_NONE, COMPRESSION_ADOBE_DEFLATE}) {
        size_t dataStart = 0;
        const std::vector<uint8_t> f = BuildTiff(40, 30, compression, &dataStart);
        TiffReader reader;
        EXPECT_EQ(DescribeDifference(DecodeWith(reader, f), expected), "");
        // Cut anywhere in the strips, the missing ones are not made up.
        for (size_t n = dataStart; n < f.size(); ++n) {
            int result = -1;
            DecodeWith(reader, std::vector<uint8_t>(f.begin(), f.begin() + (ptrdiff_t) n), &result);
            EXPECT_EQ(result, 1) << compression << " cut at " << n;
        }
        // Whole strips whose data do not inflate are taken as libtiff gives
        // them.
        std::vector<uint8_t> damaged = f;
        for (size_t i = dataStart; i < dataStart + 100; ++i)
            damaged[i] ^= 0x5A;
        EXPECT_EQ(DecodeWith(reader, damaged).At(3, 29), expected.At(3, 29));
    }
}

TEST(TiffStrips, ATinyFileDeclaringAHugeImageIsRefused)
{
    // One strip of 64 bytes for 16384 x 16384 pixels (1 GB decoded): libtiff
    // cuts an uncompressed one into strips of a few lines, most not in the
    // file; deflated, it could describe only a sliver of the image. Up to
    // 64 MB it is taken as libtiff gives it.
    for (const int compression : {COMPRESSION_NONE, COMPRESSION_ADOBE_DEFLATE})
        for (const int size : {16384, 1024}) {
            size_t dataStart = 0;
            TiffReader reader;
            PeakMemoryProbe probe;
            int result = -1;
            DecodeWith(reader, BuildTiff(size, size, compression, &dataStart, 64), &result);
            EXPECT_EQ(result, size == 1024 && compression != COMPRESSION_NONE ? 0 : 1) << compression << " " << size;
            EXPECT_LT(probe.GrowthMegabytes(), 50.0);
        }
}

TEST(TiffStrips, AnEmptyStripOfAPlaneThatIsNotDecodedIsAllowed)
{
    const std::vector<uint8_t> grey = {0, 40, 80, 120, 160, 200, 240, 255}, alpha(8, 0x80), none;
    const std::vector<uint8_t> red(8, 0x11), green(8, 0x22), blue(8, 0x33);
    struct Case
    {
        const char* what;
        uint16_t photometric;
        std::vector<std::vector<uint8_t>> planes;
        std::vector<uint16_t> extra;
        bool read;
    };
    const Case cases[] = {
        {"grey with an empty unspecified extra plane",
         PHOTOMETRIC_MINISBLACK,
         {grey, none},
         {EXTRASAMPLE_UNSPECIFIED},
         true},
        {"white-is-zero grey with an empty unspecified extra plane",
         PHOTOMETRIC_MINISWHITE,
         {grey, none},
         {EXTRASAMPLE_UNSPECIFIED},
         true},
        {"grey with an empty alpha plane", PHOTOMETRIC_MINISBLACK, {grey, none}, {EXTRASAMPLE_UNASSALPHA}, false},
        {"grey with an empty grey plane", PHOTOMETRIC_MINISBLACK, {none, alpha}, {EXTRASAMPLE_UNSPECIFIED}, false},
        {"RGB, alpha and an empty unspecified plane",
         PHOTOMETRIC_RGB,
         {red, green, blue, alpha, none},
         {EXTRASAMPLE_ASSOCALPHA, EXTRASAMPLE_UNSPECIFIED},
         true},
        {"RGB with an empty fourth plane, taken as alpha",
         PHOTOMETRIC_RGB,
         {red, green, blue, none},
         {EXTRASAMPLE_UNSPECIFIED},
         false},
        {"RGB with an empty blue plane", PHOTOMETRIC_RGB, {red, green, none, alpha}, {EXTRASAMPLE_UNSPECIFIED}, false},
    };
    for (const Case& c : cases) {
        const std::vector<uint8_t> file = BuildPlanarTiff(4, 2, c.photometric, c.planes, c.extra);
        EXPECT_EQ(LibtiffReadsWithoutError(file), c.read) << c.what << ": as libtiff itself";
        TiffReader reader;
        int result = -1;
        const RgbaImage image = DecodeWith(reader, file, &result);
        ASSERT_EQ(result, c.read ? 0 : 1) << c.what;
        if (!c.read)
            continue;
        for (int i = 0; i < 8; ++i) {
            // libtiff's RGBA decode of separate grey planes does not invert
            // white-is-zero: neither does the reader.
            const uint32_t want = c.photometric == PHOTOMETRIC_RGB ? 0x80112233u : 0xFF000000u | grey[i] * 0x010101u;
            EXPECT_EQ(image.pixels[(size_t) i], want) << c.what << " pixel " << i;
        }
    }
}

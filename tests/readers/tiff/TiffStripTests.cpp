// Files whose strips are not all in the file, or could not describe a large
// image, are refused; files whose strips are whole are read as libtiff
// gives them, clean or not.
#include <cstdint>
#include <vector>

#include <tiffio.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include "includes/CKByteOrder.h"
#include "readers/tiff/TiffReader.h"
#include "tests/readers/support/PeakMemory.h"
#include "tests/readers/support/ReaderLogCapture.h"
#include "tests/readers/support/ReaderTestSupport.h"

namespace {

uint8_t Grey(int x, int y)
{
    return (uint8_t) (x * 7 + y * 13);
}

struct StripTiff
{
    std::vector<uint8_t> bytes;
    size_t dataStart = 0;               // the first strip's offset
    std::vector<uint32_t> stripOffsets; // of each strip
};

// An 8-bit grey TIFF written byte by byte: the directory first, then the
// strip tables, then the strips (none or deflate), so that cutting the file
// cuts only strips. stripBytes other than 0 replaces the data of a single
// strip with that many bytes.
StripTiff BuildStripTiff(int width, int height, int rowsPerStrip, int compression, size_t stripBytes = 0)
{
    std::vector<std::vector<uint8_t>> strips;
    for (int top = 0; top < height; top += rowsPerStrip) {
        if (stripBytes) {
            strips.emplace_back(stripBytes, 0x78);
            continue;
        }
        std::vector<uint8_t> raw;
        for (int y = top; y < height && y < top + rowsPerStrip; ++y)
            for (int x = 0; x < width; ++x)
                raw.push_back(Grey(x, y));
        if (compression == COMPRESSION_ADOBE_DEFLATE) {
            uLongf size = compressBound((uLong) raw.size());
            std::vector<uint8_t> packed(size);
            compress2(packed.data(), &size, raw.data(), (uLong) raw.size(), 9);
            packed.resize(size);
            raw = packed;
        }
        strips.push_back(raw);
    }
    const uint32_t n = (uint32_t) strips.size();
    const uint32_t entries = 9;
    const uint32_t tables = 8 + 2 + entries * 12 + 4;
    uint32_t data = tables + (n > 1 ? 8 * n : 0);
    StripTiff t;
    t.dataStart = data;
    for (const std::vector<uint8_t>& s : strips) {
        t.stripOffsets.push_back(data);
        data += (uint32_t) s.size();
    }
    std::vector<uint8_t>& f = t.bytes;
    f = {'I', 'I', 42, 0, 8, 0, 0, 0};
    auto put16 = [&](uint32_t v) {
        f.push_back((uint8_t) v);
        f.push_back((uint8_t) (v >> 8));
    };
    auto put32 = [&](uint32_t v) {
        put16(v & 0xFFFF);
        put16(v >> 16);
    };
    auto entry = [&](uint32_t tag, uint32_t type, uint32_t count, uint32_t value) {
        put16(tag);
        put16(type);
        put32(count);
        put32(value);
    };
    put16(entries);
    entry(TIFFTAG_IMAGEWIDTH, TIFF_LONG, 1, (uint32_t) width);
    entry(TIFFTAG_IMAGELENGTH, TIFF_LONG, 1, (uint32_t) height);
    entry(TIFFTAG_BITSPERSAMPLE, TIFF_SHORT, 1, 8);
    entry(TIFFTAG_COMPRESSION, TIFF_SHORT, 1, (uint32_t) compression);
    entry(TIFFTAG_PHOTOMETRIC, TIFF_SHORT, 1, PHOTOMETRIC_MINISBLACK);
    entry(TIFFTAG_STRIPOFFSETS, TIFF_LONG, n, n > 1 ? tables : t.stripOffsets[0]);
    entry(TIFFTAG_SAMPLESPERPIXEL, TIFF_SHORT, 1, 1);
    entry(TIFFTAG_ROWSPERSTRIP, TIFF_LONG, 1, (uint32_t) rowsPerStrip);
    entry(TIFFTAG_STRIPBYTECOUNTS, TIFF_LONG, n, n > 1 ? tables + 4 * n : (uint32_t) strips[0].size());
    put32(0);
    if (n > 1) {
        for (uint32_t offset : t.stripOffsets)
            put32(offset);
        for (const std::vector<uint8_t>& s : strips)
            put32((uint32_t) s.size());
    }
    for (const std::vector<uint8_t>& s : strips)
        f.insert(f.end(), s.begin(), s.end());
    return t;
}

RgbaImage ExpectedGrey(int width, int height)
{
    RgbaImage e{width, height, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            e.pixels.push_back(0xFF000000u | Grey(x, y) * 0x010101u);
    return e;
}

} // namespace

TEST(TiffStrips, AFileCutInsideItsStripsIsRefused)
{
    for (const int compression : {COMPRESSION_NONE, COMPRESSION_ADOBE_DEFLATE}) {
        SCOPED_TRACE(compression);
        const StripTiff t = BuildStripTiff(40, 30, 4, compression);
        TiffReader reader;
        int result = -1;
        EXPECT_EQ(DescribeDifference(DecodeWith(reader, t.bytes, &result), ExpectedGrey(40, 30)), "");
        ASSERT_EQ(result, 0);
        // Whatever is cut, from the first strip's first byte to the last
        // strip's last, the missing strips are not made up.
        for (size_t n = t.dataStart; n < t.bytes.size(); ++n) {
            std::vector<uint8_t> cut(t.bytes.begin(), t.bytes.begin() + (ptrdiff_t) n);
            DecodeWith(reader, cut, &result);
            EXPECT_EQ(result, 1) << "cut at " << n;
        }
        CheckEveryPrefix(reader, t.bytes, {0, 1});
    }
}

TEST(TiffStrips, WholeStripsThatDoNotDecodeCleanlyAreStillRead)
{
    StripTiff t = BuildStripTiff(40, 30, 4, COMPRESSION_ADOBE_DEFLATE);
    // The third strip's deflate data damaged in place: its size stays true.
    for (size_t i = t.stripOffsets[2]; i < t.stripOffsets[3]; ++i)
        t.bytes[i] ^= 0xA5;
    TiffReader reader;
    int result = -1;
    const RgbaImage image = DecodeWith(reader, t.bytes, &result);
    ASSERT_EQ(result, 0);
    EXPECT_EQ(image.At(5, 0), ExpectedGrey(40, 30).At(5, 0)) << "the strips before it are right";
    EXPECT_EQ(image.At(5, 29), ExpectedGrey(40, 30).At(5, 29)) << "and those after it";
}

TEST(TiffStrips, ATinyFileDeclaringAHugeImageIsRefused)
{
    // One strip of 64 bytes for 16384 x 16384 pixels (1 GB decoded). libtiff
    // cuts a single uncompressed strip into strips of a few lines, most of
    // them past the end of the file; deflated, the strip is whole but could
    // describe only a sliver of the image.
    struct Case
    {
        int compression;
        const char* why;
    };
    for (const Case c : {Case{COMPRESSION_NONE, "is not in the file"},
                         Case{COMPRESSION_ADOBE_DEFLATE, "whose data could describe at most"}}) {
        SCOPED_TRACE(c.compression);
        const StripTiff t = BuildStripTiff(16384, 16384, 16384, c.compression, 64);
        TiffReader reader;
        ReaderLogCapture log;
        PeakMemoryProbe probe;
        int result = 0;
        DecodeWith(reader, t.bytes, &result);
        EXPECT_EQ(result, 1);
        EXPECT_TRUE(log.Saw(c.why));
        if (probe.Works()) {
            EXPECT_LT(probe.GrowthMegabytes(), 50.0);
        }
    }
    // Up to 64 MB decoded, the same strip is read as libtiff gives it.
    const StripTiff t = BuildStripTiff(1024, 1024, 1024, COMPRESSION_ADOBE_DEFLATE, 64);
    TiffReader reader;
    int result = -1;
    EXPECT_EQ(DecodeWith(reader, t.bytes, &result).width, 1024);
    EXPECT_EQ(result, 0);
}

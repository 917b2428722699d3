// What a JPEG may cost: a file whose data could not describe a large image
// is refused before decoding, and the scans of a progressive file may not
// decode more than twelve passes over the image's blocks (a million blocks
// for small images).
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "readers/jpeg/JpgReader.h"
#include "tests/readers/support/LibjpegCodec.h"
#include "tests/readers/support/PeakMemory.h"
#include "tests/readers/support/ReaderLogCapture.h"
#include "tests/readers/support/ReaderTestSupport.h"
#include "tests/support/TestPaths.h"

namespace {

// Offset of the first marker `code` at a segment boundary (after the SOI),
// or 0.
size_t FindMarker(const std::vector<uint8_t>& f, uint8_t code)
{
    size_t p = 2;
    while (p + 4 <= f.size() && f[p] == 0xFF) {
        if (f[p + 1] == code)
            return p;
        if (f[p + 1] == 0xDA || f[p + 1] == 0xD9)
            return 0; // scan data follow: no plain segment walk past them
        p += 2 + ((size_t) f[p + 2] << 8 | f[p + 3]);
    }
    return 0;
}

// The file with its frame header saying width x height.
std::vector<uint8_t> Declaring(std::vector<uint8_t> f, int width, int height)
{
    const size_t sof = FindMarker(f, 0xC0) ? FindMarker(f, 0xC0) : FindMarker(f, 0xC2);
    EXPECT_NE(sof, 0u);
    f[sof + 5] = (uint8_t) (height >> 8);
    f[sof + 6] = (uint8_t) height;
    f[sof + 7] = (uint8_t) (width >> 8);
    f[sof + 8] = (uint8_t) width;
    return f;
}

// The progressive file with its last scan (and the tables just before it)
// repeated until the file holds `scans` scans.
std::vector<uint8_t> WithScans(const std::vector<uint8_t>& f, int scans)
{
    // Segments from the end: the last DHT or SOS that follows scan data
    // starts the piece to repeat, the EOI ends it.
    std::vector<size_t> starts;
    for (size_t p = 2; p + 1 < f.size(); ++p)
        if (f[p] == 0xFF && (f[p + 1] == 0xC4 || f[p + 1] == 0xDA))
            starts.push_back(p);
    int have = 0;
    for (size_t p = 2; p + 1 < f.size(); ++p)
        have += f[p] == 0xFF && f[p + 1] == 0xDA;
    size_t from = starts.back();
    if (starts.size() >= 2 && f[starts[starts.size() - 2] + 1] == 0xC4)
        from = starts[starts.size() - 2];
    const size_t end = f.size() - 2; // the EOI
    std::vector<uint8_t> out(f.begin(), f.begin() + (ptrdiff_t) end);
    for (int i = have; i < scans; ++i)
        out.insert(out.end(), f.begin() + (ptrdiff_t) from, f.begin() + (ptrdiff_t) end);
    out.push_back(0xFF);
    out.push_back(0xD9);
    return out;
}

std::vector<uint8_t> UniformGrey(int width, int height, bool progressive)
{
    std::vector<uint8_t> grey((size_t) width * height, 0x5A);
    return LibjpegEncode(grey, width, height, 1, JCS_GRAYSCALE, 90, progressive);
}

} // namespace

TEST(JpgWorkLimits, ATinyFileDeclaringAHugeImageIsRefusedUndecoded)
{
    std::vector<uint32_t> colour = MakePicture(16, 16, true);
    for (const std::vector<uint8_t>& small :
         {UniformGrey(8, 8, false), LibjpegEncode(RgbSamples(colour), 16, 16, 3, JCS_RGB, 90)}) {
        const std::vector<uint8_t> huge = Declaring(small, 16384, 16384);
        ASSERT_LT(huge.size(), 1000u);
        JpgReader reader;
        ReaderLogCapture log;
        PeakMemoryProbe probe;
        int result = 0;
        DecodeWith(reader, huge, &result);
        EXPECT_EQ(result, 1);
        EXPECT_TRUE(log.Saw("whose data could describe at most"));
        if (probe.Works()) {
            EXPECT_LT(probe.GrowthMegabytes(), 50.0) << "refused before the image or the coefficients are made";
        }
        TestTempDir dir;
        ASSERT_TRUE(SaveFileBytes(dir.File("huge.jpg"), huge));
        CKBitmapProperties* p = nullptr;
        EXPECT_EQ(reader.ReadFile(dir.File("huge.jpg").c_str(), &p), -1) << "a file is measured the same way";
    }
}

TEST(JpgWorkLimits, ShortDataForAnImageUpToSixtyFourMegabytesIsFilledAsBefore)
{
    // 4096 x 4096 x 3 bytes is 48 MB: read, grey where the data end.
    const std::vector<uint8_t> bytes = Declaring(UniformGrey(8, 8, false), 4096, 4096);
    JpgReader reader;
    int result = -1;
    const RgbaImage image = DecodeWith(reader, bytes, &result);
    ASSERT_EQ(result, 0);
    EXPECT_EQ(image.At(0, 0), 0xFF5A5A5Au);
    EXPECT_EQ(image.At(4095, 4095), 0xFF808080u);
}

TEST(JpgWorkLimits, ScansBeyondTwelvePassesOverALargeImageAreRefused)
{
    // 4096 x 2048 grey is 131072 blocks, twelve passes 1572864 blocks.
    // libjpeg's own script has six scans, each over every block.
    const std::vector<uint8_t> plain = UniformGrey(4096, 2048, true);
    JpgReader reader;
    int result = -1;
    DecodeWith(reader, plain, &result);
    ASSERT_EQ(result, 0);
    DecodeWith(reader, WithScans(plain, 12), &result);
    EXPECT_EQ(result, 0);
    ReaderLogCapture log;
    PeakMemoryProbe probe;
    DecodeWith(reader, WithScans(plain, 13), &result);
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(log.Saw("13 scans would decode more than 1572864 blocks")) << "charged before the 13th is decoded";
    DecodeWith(reader, WithScans(plain, 1000), &result);
    EXPECT_EQ(result, 1);
    if (probe.Works()) {
        EXPECT_LT(probe.GrowthMegabytes(), 50.0) << "refused before the image is made";
    }
}

TEST(JpgWorkLimits, SmallImagesMayHaveManyScansUpToAThousand)
{
    const std::vector<uint8_t> plain = UniformGrey(64, 64, true);
    JpgReader reader;
    int result = -1;
    DecodeWith(reader, WithScans(plain, 1000), &result);
    EXPECT_EQ(result, 0);
    ReaderLogCapture log;
    DecodeWith(reader, WithScans(plain, 1001), &result);
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(log.Saw("more than 1000 scans"));
}

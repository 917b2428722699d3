// What a JPEG may cost: a large image whose data could not describe it is
// refused undecoded, and scans may decode at most twelve passes over the
// image's blocks.
#include <vector>

#include <gtest/gtest.h>

#include "readers/jpeg/JpgReader.h"
#include "tests/readers/support/PeakMemory.h"
#include "tests/readers/support/ReaderTestSupport.h"
#include "tests/support/TestPaths.h"
#include "tools/testdata/LibjpegCodec.h"

namespace {

// The file with its frame header saying 16384 x 16384.
std::vector<uint8_t> DeclaringHuge(std::vector<uint8_t> f)
{
    size_t p = 2;
    while (p + 9 < f.size() && !(f[p] == 0xFF && (f[p + 1] == 0xC0 || f[p + 1] == 0xC2)))
        ++p;
    for (const size_t at : {p + 5, p + 7}) {
        f[at] = 0x40;
        f[at + 1] = 0;
    }
    return f;
}

// The file with its last scan and the table before it (a progressive file
// of libjpeg has one before each scan that codes AC) repeated until it holds
// `scans` scans.
std::vector<uint8_t> WithScans(const std::vector<uint8_t>& f, int scans)
{
    size_t from = 0;
    int have = 0;
    for (size_t p = 2; p + 1 < f.size(); ++p) {
        from = f[p] == 0xFF && f[p + 1] == 0xC4 ? p : from;
        have += f[p] == 0xFF && f[p + 1] == 0xDA;
    }
    std::vector<uint8_t> out(f.begin(), f.end() - 2);
    for (int i = have; i < scans; ++i)
        out.insert(out.end(), f.begin() + (ptrdiff_t) from, f.end() - 2);
    out.insert(out.end(), {0xFF, 0xD9});
    return out;
}

} // namespace

TEST(JpgWorkLimits, ATinyFileDeclaringAHugeImageIsRefusedUndecoded)
{
    const std::vector<uint32_t> colour = MakePicture(16, 16, true);
    for (const std::vector<uint8_t>& small : {LibjpegEncode(std::vector<uint8_t>(64, 90), 8, 8, 1, JCS_GRAYSCALE, 90),
                                              LibjpegEncode(RgbSamples(colour), 16, 16, 3, JCS_RGB, 90)}) {
        const std::vector<uint8_t> huge = DeclaringHuge(small);
        ASSERT_LT(huge.size(), 1000u);
        JpgReader reader;
        PeakMemoryProbe probe;
        int result = 0;
        DecodeWith(reader, huge, &result);
        EXPECT_EQ(result, 1);
        EXPECT_LT(probe.GrowthMegabytes(), 50.0) << "refused before the image or its coefficients exist";
        TestTempDir dir;
        ASSERT_TRUE(SaveFileBytes(dir.File("huge.jpg"), huge));
        CKBitmapProperties* p = nullptr;
        EXPECT_EQ(reader.ReadFile(dir.File("huge.jpg").c_str(), &p), -1) << "a file is measured the same way";
    }
}

TEST(JpgWorkLimits, ScansBeyondTwelvePassesOverTheImageAreRefused)
{
    // 4096 x 2048 grey: 131072 blocks, each of libjpeg's six scans over all.
    const std::vector<uint8_t> plain =
        LibjpegEncode(std::vector<uint8_t>(4096 * 2048, 90), 4096, 2048, 1, JCS_GRAYSCALE, 90, true);
    JpgReader reader;
    int result = -1;
    DecodeWith(reader, WithScans(plain, 12), &result);
    EXPECT_EQ(result, 0);
    PeakMemoryProbe probe;
    for (const int scans : {13, 1000}) {
        DecodeWith(reader, WithScans(plain, scans), &result);
        EXPECT_EQ(result, 1) << scans;
    }
    EXPECT_LT(probe.GrowthMegabytes(), 50.0) << "refused before the image exists";
}

#include <vector>

#include <gtest/gtest.h>

#include "includes/CKByteOrder.h"
#include "platform/PlatformDdsFile.h"

namespace {

// A 3 x 2 file of 32-bit pixels with these masks, alpha flagged.
std::vector<uint8_t> File(uint32_t r, uint32_t g, uint32_t b, uint32_t a)
{
    std::vector<uint8_t> f(128 + 3 * 2 * 4, 0);
    const uint32_t words[][2] = {{0, 0x20534444}, {4, 124}, {12, 2}, {16, 3},  {76, 32}, {80, 0x41},
                                 {88, 32},        {92, r},  {96, g}, {100, b}, {104, a}};
    for (const auto& w : words)
        StoreLE32(&f[w[0]], w[1]);
    return f;
}

PlatformDdsResult Parse(const std::vector<uint8_t>& f, PlatformDdsImage& image)
{
    return PlatformDdsParse(f.data(), f.size(), image);
}

} // namespace

TEST(PlatformDdsFile, LayoutsAreFoundByMasksAndForeignOnesKeptAsMasks)
{
    PlatformDdsImage image;
    ASSERT_EQ(Parse(File(0xFF0000, 0xFF00, 0xFF, 0xFF000000), image), PLATFORM_DDS_OK);
    EXPECT_EQ(image.Format, (uint32_t) PLATFORM_D3DFMT_A8R8G8B8);
    EXPECT_EQ(image.Size, 24u);
    ASSERT_EQ(Parse(File(0xFF, 0xFF00, 0xFF0000, 0xFF000000), image), PLATFORM_DDS_OK);
    EXPECT_EQ(image.Format, (uint32_t) PLATFORM_D3DFMT_UNKNOWN) << "A8B8G8R8 has no number here";
    EXPECT_EQ(image.Layout.RedMask, 0xFFu);
    std::vector<uint8_t> noAlphaFlag = File(0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    noAlphaFlag[80] = 0x40;
    ASSERT_EQ(Parse(noAlphaFlag, image), PLATFORM_DDS_OK);
    EXPECT_EQ(image.Format, (uint32_t) PLATFORM_D3DFMT_X8R8G8B8) << "alpha is read only when flagged";
}

TEST(PlatformDdsFile, LuminanceGivesItsMaskToRedGreenAndBlue)
{
    PlatformDdsImage image;
    std::vector<uint8_t> f = File(0xFF, 0, 0, 0xFF00);
    StoreLE32(&f[80], 0x20001);
    ASSERT_EQ(Parse(f, image), PLATFORM_DDS_OK);
    EXPECT_EQ(image.Format, (uint32_t) PLATFORM_D3DFMT_UNKNOWN);
    EXPECT_EQ(image.Layout.RedMask, 0xFFu);
    EXPECT_EQ(image.Layout.GreenMask, 0xFFu);
    EXPECT_EQ(image.Layout.BlueMask, 0xFFu);
    EXPECT_EQ(image.Layout.AlphaMask, 0xFF00u);
    // Flagged RGB as well, with green and blue masks, it is a colour file.
    f = File(0xFF0000, 0xFF00, 0xFF, 0);
    StoreLE32(&f[80], 0x20040);
    ASSERT_EQ(Parse(f, image), PLATFORM_DDS_OK);
    EXPECT_EQ(image.Format, (uint32_t) PLATFORM_D3DFMT_X8R8G8B8);
}

TEST(PlatformDdsFile, EachRefusalHasItsOwnResult)
{
    const std::vector<uint8_t> good = File(0xFF0000, 0xFF00, 0xFF, 0);
    // Words patched in turn; the volume and extended-header cases patch two.
    const struct
    {
        size_t at;
        uint32_t value;
        size_t at2;
        uint32_t value2;
        PlatformDdsResult result;
    } cases[] = {
        {0, 0x20534440, 0, 0x20534440, PLATFORM_DDS_NOTDDS},
        {4, 128, 4, 128, PLATFORM_DDS_NOTDDS},
        {76, 0, 76, 0, PLATFORM_DDS_NOTDDS},
        {112, 0x200, 112, 0x200, PLATFORM_DDS_CUBEMAP},
        {112, 0x200000, 112, 0x200000, PLATFORM_DDS_VOLUME},
        {8, 0x800000, 24, 2, PLATFORM_DDS_VOLUME},
        {80, 4, 84, 0x30315844, PLATFORM_DDS_EXTENDED},
        {80, 4, 84, 0, PLATFORM_DDS_FORMAT},
        {80, 0x2, 80, 0x2, PLATFORM_DDS_FORMAT},           // alpha only
        {80, 0x20000, 92, 0, PLATFORM_DDS_FORMAT},         // luminance without a mask
        {80, 0x20001, 104, 0xFF0000, PLATFORM_DDS_FORMAT}, // grey and alpha in one byte
        {88, 12, 88, 12, PLATFORM_DDS_FORMAT},
        {92, 0xFFFF00, 92, 0xFFFF00, PLATFORM_DDS_FORMAT},
        {16, 0, 16, 0, PLATFORM_DDS_SIZE},
        {12, 16385, 12, 16385, PLATFORM_DDS_SIZE},
    };
    PlatformDdsImage image;
    for (const auto& c : cases) {
        std::vector<uint8_t> f = good;
        StoreLE32(&f[c.at], c.value);
        StoreLE32(&f[c.at2], c.value2);
        EXPECT_EQ(Parse(f, image), c.result) << c.at << " " << c.at2;
    }
    EXPECT_EQ(Parse(std::vector<uint8_t>(good.begin(), good.end() - 1), image), PLATFORM_DDS_TRUNCATED);
    EXPECT_EQ(Parse(std::vector<uint8_t>(good.begin(), good.begin() + 127), image), PLATFORM_DDS_TOOSHORT);
}

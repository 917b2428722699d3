#include <vector>

#include <gtest/gtest.h>

#include "includes/CKByteOrder.h"
#include "platform/PlatformDdsFile.h"

namespace {

// A 3 x 2 file of 32-bit pixels with the masks given (alpha flag set).
std::vector<uint8_t> File(uint32_t r, uint32_t g, uint32_t b, uint32_t a)
{
    std::vector<uint8_t> f(128 + 3 * 2 * 4, 0x11);
    std::fill(f.begin(), f.begin() + 128, 0);
    const uint32_t words[][2] = {{0, 0x20534444}, {4, 124}, {12, 2}, {16, 3},  {76, 32}, {80, 0x41},
                                 {88, 32},        {92, r},  {96, g}, {100, b}, {104, a}};
    for (const auto& w : words)
        StoreLE32(&f[w[0]], w[1]);
    return f;
}

PlatformDdsResult Parse(const std::vector<uint8_t>& f, PlatformDdsImage* out = nullptr)
{
    PlatformDdsImage image;
    const PlatformDdsResult r = PlatformDdsParse(f.data(), f.size(), image);
    if (out)
        *out = image;
    return r;
}

} // namespace

TEST(PlatformDdsFile, LayoutsAreFoundByMasksAndForeignOnesKeptAsMasks)
{
    PlatformDdsImage image;
    ASSERT_EQ(Parse(File(0xFF0000, 0xFF00, 0xFF, 0xFF000000), &image), PLATFORM_DDS_OK);
    EXPECT_EQ(image.Format, (uint32_t) PLATFORM_D3DFMT_A8R8G8B8);
    EXPECT_EQ(image.Size, 24u);
    ASSERT_EQ(Parse(File(0xFF, 0xFF00, 0xFF0000, 0xFF000000), &image), PLATFORM_DDS_OK);
    EXPECT_EQ(image.Format, (uint32_t) PLATFORM_D3DFMT_UNKNOWN) << "A8B8G8R8 has no number here";
    EXPECT_EQ(image.Layout.RedMask, 0xFFu);
    std::vector<uint8_t> noAlphaFlag = File(0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    noAlphaFlag[80] = 0x40;
    ASSERT_EQ(Parse(noAlphaFlag, &image), PLATFORM_DDS_OK);
    EXPECT_EQ(image.Format, (uint32_t) PLATFORM_D3DFMT_X8R8G8B8) << "alpha is read only when flagged";
}

TEST(PlatformDdsFile, EachRefusalHasItsOwnResult)
{
    const std::vector<uint8_t> good = File(0xFF0000, 0xFF00, 0xFF, 0);
    const struct
    {
        size_t at;
        uint32_t value;
        PlatformDdsResult result;
    } cases[] = {
        {0, 0x20534440, PLATFORM_DDS_NOTDDS}, {112, 0x200, PLATFORM_DDS_CUBEMAP}, {112, 0x200000, PLATFORM_DDS_VOLUME},
        {80, 0x4, PLATFORM_DDS_FORMAT},       {88, 12, PLATFORM_DDS_FORMAT},      {92, 0xFFFF00, PLATFORM_DDS_FORMAT},
        {16, 0, PLATFORM_DDS_SIZE},           {12, 16385, PLATFORM_DDS_SIZE},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> f = good;
        StoreLE32(&f[c.at], c.value);
        EXPECT_EQ(Parse(f), c.result) << c.at;
    }
    std::vector<uint8_t> dx10 = good;
    StoreLE32(&dx10[80], 4);
    StoreLE32(&dx10[84], 0x30315844); // "DX10"
    EXPECT_EQ(Parse(dx10), PLATFORM_DDS_EXTENDED);
    std::vector<uint8_t> volume = good;
    StoreLE32(&volume[8], 0x800000);
    StoreLE32(&volume[24], 2);
    EXPECT_EQ(Parse(volume), PLATFORM_DDS_VOLUME);
    EXPECT_EQ(Parse(std::vector<uint8_t>(good.begin(), good.end() - 1)), PLATFORM_DDS_TRUNCATED);
    EXPECT_EQ(Parse(std::vector<uint8_t>(good.begin(), good.begin() + 127)), PLATFORM_DDS_TOOSHORT);
}

TEST(PlatformDdsFile, SurfaceSizesRoundBlocksUpAndStayWithinTheLimit)
{
    PlatformSurfaceLayout dxt5;
    ASSERT_TRUE(PlatformGetSurfaceLayout(PLATFORM_D3DFMT_DXT5, dxt5));
    EXPECT_EQ(PlatformSurfaceSize(dxt5, 2, 2), 16u);
    EXPECT_EQ(PlatformSurfaceSize(dxt5, 5, 9), 2u * 3 * 16);
    PlatformSurfaceLayout argb;
    ASSERT_TRUE(PlatformGetSurfaceLayout(PLATFORM_D3DFMT_A8R8G8B8, argb));
    EXPECT_EQ(PlatformSurfaceSize(argb, 16384, 16384), size_t(1) << 30);
    EXPECT_EQ(PlatformSurfaceSize(argb, 16385, 1), 0u);
    EXPECT_EQ(PlatformSurfaceSize(argb, 1, 0), 0u);
    uint8_t header[128];
    EXPECT_FALSE(PlatformDdsWriteHeader(header, 99, 4, 4));
    EXPECT_FALSE(PlatformDdsWriteHeader(header, PLATFORM_D3DFMT_DXT1, 0, 4));
    PlatformSurface surface;
    uint8_t bits[15];
    EXPECT_FALSE(surface.Wrap(PLATFORM_D3DFMT_A8R8G8B8, argb, 2, 2, bits, sizeof bits)) << "16 bytes needed";
}

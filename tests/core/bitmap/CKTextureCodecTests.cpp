#include "core/bitmap/CKTextureCodec.h"

#include <cmath>
#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>

#include "core/bitmap/CKBitmapReader.h"
#include "core/bitmap/CKTextureBitReader.h"
#include "tools/testdata/TextureCodecTestEncoder.h"

namespace {

struct Decoded
{
    CKDWORD result = 0;
    int width = 0;
    int height = 0;
    std::vector<CKBYTE> pixels;
};

Decoded DecodeBytes(const std::vector<uint8_t>& bytes)
{
    Decoded d;
    CKBYTE* plane = nullptr;
    d.result = CKTextureCodecDecode(nullptr, bytes.data(), (CKDWORD) bytes.size(), &plane, &d.width, &d.height);
    if (plane) {
        d.pixels.assign(plane, plane + (size_t) d.width * d.height);
        CKReaderFree(plane);
    }
    return d;
}

// A block of zeros at quality 100 decodes to flat 128.
void PutZeroBlocks(TextureBitWriter& w, int blocks)
{
    for (int i = 0; i < blocks * 4; ++i)
        w.PutZeroRun(16);
}

} // namespace

TEST(CKTextureBitReader, ReadsPastTheEndFailForGood)
{
    const CKBYTE bytes[] = {0xFF, 0xFF};
    CKTextureBitReader r(bytes, sizeof(bytes));
    EXPECT_EQ(r.ReadField32(0), 0u);
    EXPECT_FALSE(r.Ok());
    CKTextureBitReader r2(bytes, sizeof(bytes));
    r2.SetCursor(10);
    EXPECT_EQ(r2.ReadCode(6), 0x3Fu);
    EXPECT_EQ(r2.ReadCode(1), 0u);
    EXPECT_FALSE(r2.Ok());
    CKTextureBitReader empty(nullptr, 4);
    EXPECT_EQ(empty.ReadField8(0), 0u);
    EXPECT_FALSE(empty.Ok());
}

TEST(CKTextureCodec, QualityFiftyUsesTheStandardTableAndHundredAllOnes)
{
    CKTextureCodec codec;
    codec.BuildTables(50);
    EXPECT_EQ(codec.GetQuantization(0, 0), 16);
    EXPECT_EQ(codec.GetQuantization(0, 7), 61);
    EXPECT_EQ(codec.GetQuantization(4, 5), 109);
    EXPECT_EQ(codec.GetQuantization(7, 7), 99);
    codec.BuildTables(100);
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c)
            EXPECT_EQ(codec.GetQuantization(r, c), 1);
    codec.BuildTables(0);
    EXPECT_EQ(codec.GetQuantization(0, 0), 32) << "quality 0 doubles the table";
    codec.BuildTables(25);
    EXPECT_EQ(codec.GetQuantization(0, 1), 11 + 11 * 25 / 50) << "the scaled part is truncated";
    codec.BuildTables(50 + 256);
    EXPECT_EQ(codec.GetQuantization(0, 0), 16) << "only the quality's low 8 bits count";
}

TEST(CKTextureCodec, EverySizeDecodesItsExtremes)
{
    CKTextureCodec codec;
    for (int s = 1; s <= 10; ++s) {
        const int values[] = {-((1 << s) - 1), -(1 << (s - 1)), 1 << (s - 1), (1 << s) - 1};
        TextureBitWriter w;
        for (int v : values)
            w.PutValue(v);
        CKTextureBitReader bits(w.Bytes().data(), (CKDWORD) w.Bytes().size());
        for (int v : values)
            EXPECT_EQ(codec.DecodeCoefficient(bits), v) << "size " << s;
        EXPECT_TRUE(bits.Ok());
    }
}

TEST(CKTextureCodec, ZeroCodeWithFifteenGivesSixteenZerosThenReadsTheNextCode)
{
    TextureBitWriter w;
    w.PutCode(0, 2);
    w.PutCode(15, 4);
    w.PutValue(3);
    CKTextureBitReader bits(w.Bytes().data(), (CKDWORD) w.Bytes().size());
    CKTextureCodec codec;
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(codec.DecodeCoefficient(bits), 0) << i;
    EXPECT_EQ(bits.GetCursor(), 6u) << "the run is read once";
    EXPECT_EQ(codec.DecodeCoefficient(bits), 3);
}

TEST(CKTextureCodec, AnEightByEightPlaneReadsExactlyOneBlock)
{
    TextureBitWriter w;
    w.PutHeader(100, 8, 8);
    w.PutValue(8); // DC 8 x 1/8 x 1 = +1 over the whole block
    w.PutZeroRun(16);
    w.PutZeroRun(16);
    w.PutZeroRun(16);
    w.PutZeroRun(15);
    ASSERT_EQ(w.BitCount() % 8, 0u);
    const Decoded d = DecodeBytes(w.Bytes());
    ASSERT_EQ(d.result, 64u);
    EXPECT_EQ(d.width, 8);
    EXPECT_EQ(d.height, 8);
    for (CKBYTE p : d.pixels)
        EXPECT_EQ(p, 129);
}

TEST(CKTextureCodec, ZeroRunsCarryIntoTheNextBlock)
{
    // 16 x 8: block 0 is a DC of 16 then 63 zeros, whose last run spills one
    // zero into block 1 (so block 1's DC is its second code).
    TextureBitWriter w;
    w.PutHeader(100, 16, 8);
    w.PutValue(16);
    for (int i = 0; i < 4; ++i)
        w.PutZeroRun(16); // 64 zeros: 63 in block 0, 1 in block 1
    w.PutValue(-24);      // block 1, coefficient 1 (row 0, column 1)
    for (int i = 0; i < 4; ++i)
        w.PutZeroRun(16);
    const Decoded d = DecodeBytes(w.Bytes());
    ASSERT_EQ(d.result, 128u);
    EXPECT_EQ(d.pixels[0], 130);
    EXPECT_EQ(d.pixels[7 * 16 + 7], 130);
    // Block 1: a horizontal cosine of amplitude -24 x (1/sqrt 8) x 0.5 cos(...)
    const double pi = 4.0 * std::atan(1.0);
    for (int x = 0; x < 8; ++x) {
        double expected = -24.0 / std::sqrt(8.0) * 0.5 * std::cos((2 * x + 1) * pi / 16.0) + 128.0;
        EXPECT_EQ(d.pixels[16 + 8 + x], (CKBYTE) (int) (expected + 0.5)) << x;
    }
}

TEST(CKTextureCodec, ClampsAndRoundsLikeItsDefinition)
{
    // A DC value over the block: 1023 / 8 + 128 > 255, -1023 / 8 + 128 < 0,
    // 4 / 8 = 0.5 gives 128.5, rounded to 129.
    const int cases[][2] = {{1023, 255}, {-1023, 0}, {4, 129}};
    for (const auto& c : cases) {
        TextureBitWriter w;
        w.PutHeader(100, 8, 8);
        w.PutValue(c[0]);
        PutZeroBlocks(w, 1);
        const Decoded d = DecodeBytes(w.Bytes());
        ASSERT_EQ(d.result, 64u);
        EXPECT_EQ(d.pixels[0], c[1]) << c[0];
        EXPECT_EQ(d.pixels[63], c[1]) << c[0];
    }
}

TEST(CKTextureCodec, PartialBlocksAtTheEdgesAreCut)
{
    // 9 x 10: two block columns, two bands, every block flat at 128 + k.
    TextureBitWriter w;
    w.PutHeader(100, 9, 10);
    for (int k = 1; k <= 4; ++k) {
        w.PutValue(8 * k);
        w.PutZeroRun(16);
        w.PutZeroRun(16);
        w.PutZeroRun(16);
        w.PutZeroRun(15);
    }
    const Decoded d = DecodeBytes(w.Bytes());
    ASSERT_EQ(d.result, 90u);
    ASSERT_EQ(d.width, 9);
    ASSERT_EQ(d.height, 10);
    EXPECT_EQ(d.pixels[0 * 9 + 7], 129);
    EXPECT_EQ(d.pixels[0 * 9 + 8], 130);
    EXPECT_EQ(d.pixels[9 * 9 + 0], 131);
    EXPECT_EQ(d.pixels[9 * 9 + 8], 132);
}

TEST(CKTextureCodec, RefusesBadHeadersAndShortStreams)
{
    auto header = [](uint32_t width, uint32_t height) {
        TextureBitWriter w;
        w.PutHeader(50, width, height);
        PutZeroBlocks(w, 4);
        return w.Bytes();
    };
    EXPECT_EQ(DecodeBytes(header(0, 8)).result, 0u);
    EXPECT_EQ(DecodeBytes(header(8, 0)).result, 0u);
    EXPECT_EQ(DecodeBytes(header(0xFFFFFFF8u, 8)).result, 0u) << "negative width";
    EXPECT_EQ(DecodeBytes(header(CK_MAX_IMAGE_DIMENSION + 1, 8)).result, 0u);
    EXPECT_EQ(DecodeBytes(header(16, 16)).result, 256u);
    EXPECT_EQ(DecodeBytes(header(4096, 4096)).result, 0u) << "far too few bits for the blocks";

    std::vector<uint8_t> bytes = header(16, 16);
    for (size_t n = 0; n < bytes.size(); ++n) {
        std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + n);
        CKBYTE* plane = reinterpret_cast<CKBYTE*>(1);
        EXPECT_EQ(CKTextureCodecDecode(nullptr, prefix.data(), (CKDWORD) n, &plane), 0u) << n;
        EXPECT_EQ(plane, nullptr);
    }
    CKBYTE* plane = nullptr;
    EXPECT_EQ(CKTextureCodecDecode(nullptr, nullptr, 100, &plane), 0u);
    EXPECT_EQ(CKTextureCodecDecode(nullptr, bytes.data(), (CKDWORD) bytes.size(), nullptr), 0u);
}

TEST(CKTextureCodec, EncodedPlanesDecodeBackWithinTolerance)
{
    // A smooth gradient with a soft edge, 21 x 13 so both edges are partial.
    const int width = 21;
    const int height = 13;
    std::vector<uint8_t> plane((size_t) width * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            plane[(size_t) y * width + x] = (uint8_t) (40 + 6 * x + 3 * y + (x > 10 ? 30 : 0));

    // Quality 100 quantises by 1: only rounding of the coefficients is lost.
    const Decoded fine = DecodeBytes(EncodeTexturePlane(plane.data(), width, height, 100));
    ASSERT_EQ(fine.result, (CKDWORD) (width * height));
    int maxError = 0;
    for (size_t i = 0; i < plane.size(); ++i)
        maxError = std::max(maxError, std::abs(fine.pixels[i] - plane[i]));
    EXPECT_LE(maxError, 2);

    // Quality 50: the standard table; the mean error stays small.
    const Decoded coarse = DecodeBytes(EncodeTexturePlane(plane.data(), width, height, 50));
    ASSERT_EQ(coarse.result, (CKDWORD) (width * height));
    double sum = 0.0;
    for (size_t i = 0; i < plane.size(); ++i)
        sum += std::abs(coarse.pixels[i] - plane[i]);
    EXPECT_LE(sum / plane.size(), 4.0);
}

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "system/image/QxBlitter.h"
#include "system/image/QxImageDesc.h"
#include "system/image/QxPixelFormat.h"
#include "system/image/QxResampler.h"

// Resampling against a 64-bit reference of the 16.16 algorithm written with
// explicit overlap weights, and against double-precision filters.

namespace {

using Image = std::vector<CKDWORD>;

int Channel(CKDWORD p, int c)
{
    return int((p >> (8 * c)) & 0xFF);
}

// Overlap, in 1/65536 pixel, of [start, end) with source pixel s.
int64_t Overlap(int64_t start, int64_t end, int64_t s)
{
    const int64_t lo = std::max(start, s << 16);
    const int64_t hi = std::min(end, (s + 1) << 16);
    return hi > lo ? hi - lo : 0;
}

// One axis of the reference: n source values to m destination values.
std::vector<int> RefAxis(const std::vector<int>& in, int m)
{
    const int n = int(in.size());
    std::vector<int> out(m);
    const int64_t step = (int64_t(n) << 16) / m;
    const int64_t scale = (int64_t(m) << 16) / n;
    for (int i = 0; i < m; ++i) {
        const int64_t pos = int64_t(i) * step;
        if (m == n)
            out[i] = in[i];
        else if (m > n) {
            if (pos < (int64_t(n - 1) << 16)) {
                const int64_t s = pos >> 16, f = pos & 0xFFFF;
                out[i] = int((in[s] * (65536 - f) + in[s + 1] * f) >> 16);
            } else
                out[i] = in[n - 1];
        } else {
            uint64_t sum = 0;
            for (int64_t s = pos >> 16; s < n && (s << 16) < pos + step; ++s)
                sum += uint64_t(in[s]) * uint64_t(Overlap(pos, pos + step, s));
            out[i] = int((sum * uint64_t(scale) + 0x80000000ull) >> 32);
        }
    }
    return out;
}

// Vertical pass first, then horizontal, as the blitter does.
Image RefResize(const Image& src, int sw, int sh, int dw, int dh)
{
    Image out(size_t(dw) * dh, 0);
    for (int c = 0; c < 4; ++c) {
        std::vector<std::vector<int>> columns(sw);
        for (int x = 0; x < sw; ++x) {
            std::vector<int> col(sh);
            for (int y = 0; y < sh; ++y)
                col[y] = Channel(src[size_t(y) * sw + x], c);
            columns[x] = RefAxis(col, dh);
        }
        for (int y = 0; y < dh; ++y) {
            std::vector<int> row(sw);
            for (int x = 0; x < sw; ++x)
                row[x] = columns[x][y];
            const std::vector<int> line = RefAxis(row, dw);
            for (int x = 0; x < dw; ++x)
                out[size_t(y) * dw + x] |= CKDWORD(line[x]) << (8 * c);
        }
    }
    return out;
}

Image RandomSmoothImage(int w, int h, std::mt19937& rng)
{
    Image img(size_t(w) * h);
    const double a = (rng() % 100) / 10.0, b = (rng() % 100) / 10.0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            CKDWORD p = 0;
            for (int c = 0; c < 4; ++c) {
                const double v = 127.5 + 100 * std::sin(0.07 * (c + 1) * x + a) * std::cos(0.05 * (c + 2) * y + b);
                p |= CKDWORD(int(v) + int(rng() % 20) - 10 < 0 ? 0 : std::min(255, int(v) + int(rng() % 20) - 10))
                     << (8 * c);
            }
            img[size_t(y) * w + x] = p;
        }
    return img;
}

QxImageDesc Desc32(int w, int h, void* pixels, int pitch)
{
    QxImageDesc d;
    QxPixelFormat2ImageDesc(_32_ARGB8888, d);
    d.Width = w;
    d.Height = h;
    d.BytesPerLine = pitch;
    d.Image = static_cast<CKBYTE*>(pixels);
    return d;
}

// Resizes through QxResizeImage with padded pitches.
Image Resize(const Image& src, int sw, int sh, int dw, int dh)
{
    const int sp = sw + 3, dp = dw + 5;
    std::vector<CKDWORD> in(size_t(sp) * sh, 0xDEADBEEF), out(size_t(dp) * dh, 0xDEADBEEF);
    for (int y = 0; y < sh; ++y)
        for (int x = 0; x < sw; ++x)
            in[size_t(y) * sp + x] = src[size_t(y) * sw + x];
    EXPECT_TRUE(QxResizeImage(Desc32(sw, sh, in.data(), sp * 4), Desc32(dw, dh, out.data(), dp * 4)));
    Image result(size_t(dw) * dh);
    for (int y = 0; y < dh; ++y)
        for (int x = 0; x < dw; ++x)
            result[size_t(y) * dw + x] = out[size_t(y) * dp + x];
    for (int y = 0; y < dh; ++y)
        for (int x = dw; x < dp; ++x)
            EXPECT_EQ(out[size_t(y) * dp + x], 0xDEADBEEFu) << "padding written";
    return result;
}

struct Sizes
{
    int sw, sh, dw, dh;
};

const Sizes kSizes[] = {
    {1, 1, 4, 4},   {4, 1, 2, 1},   {257, 131, 100, 50}, {13, 7, 40, 29},  {40, 29, 13, 7},
    {17, 3, 5, 11}, {3, 17, 11, 5}, {1, 5, 1, 20},       {33, 33, 33, 33}, {5, 5, 5, 9},
    {9, 2, 9, 1},   {100, 1, 3, 1}, {3, 1, 2, 1},
};

TEST(QxResamplerTests, ResizeEqualsThe64BitReferenceBitForBit)
{
    std::mt19937 rng(5);
    for (const Sizes& s : kSizes) {
        const Image src = RandomSmoothImage(s.sw, s.sh, rng);
        const Image want = RefResize(src, s.sw, s.sh, s.dw, s.dh);
        const Image got = Resize(src, s.sw, s.sh, s.dw, s.dh);
        ASSERT_EQ(got.size(), want.size());
        int bad = 0;
        for (size_t i = 0; i < got.size() && bad < 5; ++i)
            if (got[i] != want[i]) {
                ++bad;
                ADD_FAILURE() << s.sw << "x" << s.sh << " -> " << s.dw << "x" << s.dh << " pixel " << i << ": 0x"
                              << std::hex << got[i] << " want 0x" << want[i];
            }
    }
}

TEST(QxResamplerTests, BlitWithDifferentSizesResamplesThenConverts)
{
    std::mt19937 rng(31);
    const int sw = 61, sh = 37, dw = 23, dh = 50;
    const Image src = RandomSmoothImage(sw, sh, rng);
    const Image want = RefResize(src, sw, sh, dw, dh);
    Image in = src;
    std::vector<CKWORD> out(size_t(dw) * dh);
    QxImageDesc dst;
    QxPixelFormat2ImageDesc(_16_RGB565, dst);
    dst.Width = dw;
    dst.Height = dh;
    dst.BytesPerLine = dw * 2;
    dst.Image = reinterpret_cast<CKBYTE*>(out.data());
    ASSERT_TRUE(QxDoBlitUpsideDown(Desc32(sw, sh, in.data(), sw * 4), dst));
    for (int y = 0; y < dh; ++y)
        for (int x = 0; x < dw; ++x) {
            const CKDWORD p = want[size_t(dh - 1 - y) * dw + x];
            const CKWORD expect = CKWORD(((p >> 8) & 0xF800) | ((p >> 5) & 0x07E0) | ((p >> 3) & 0x1F));
            ASSERT_EQ(out[size_t(y) * dw + x], expect) << x << "," << y;
        }
}

TEST(QxResamplerTests, OnlyNonEmpty32BitImagesAreResampled)
{
    CKBYTE a[12] = {}, b[48] = {1};
    QxImageDesc src, dst;
    QxPixelFormat2ImageDesc(_24_RGB888, src);
    QxPixelFormat2ImageDesc(_24_RGB888, dst);
    src.Width = src.Height = 2;
    src.BytesPerLine = 6;
    src.Image = a;
    dst.Width = dst.Height = 4;
    dst.BytesPerLine = 12;
    dst.Image = b;
    EXPECT_FALSE(QxResizeImage(src, dst));
    EXPECT_FALSE(QxResizeImage(Desc32(2, 2, a, 8), dst));
    EXPECT_FALSE(QxResizeImage(Desc32(2, -2, a, 8), Desc32(4, 0, b, 16))) << "even into an empty destination";
    // An empty destination, of no width or of no height, takes nothing.
    EXPECT_TRUE(QxResizeImage(Desc32(2, 2, a, 8), Desc32(4, 0, b, 16)));
    EXPECT_TRUE(QxResizeImage(Desc32(2, 2, a, 8), Desc32(0, 4, b, 16)));
    // An empty source has nothing to fill one that is not.
    EXPECT_FALSE(QxResizeImage(Desc32(0, 2, a, 0), Desc32(4, 4, b, 16)));
    EXPECT_FALSE(QxResizeImage(Desc32(2, 0, a, 8), Desc32(4, 4, b, 16)));
    EXPECT_EQ(b[0], 1);
    QxResampler r;
    EXPECT_FALSE(r.Setup(0, 4, 4, 4));
    EXPECT_FALSE(r.Setup(4, 4, 4, 0));
    EXPECT_TRUE(r.Setup(1, 1, 1, 1));
}

} // namespace

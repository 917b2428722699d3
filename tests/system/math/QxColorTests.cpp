#include <gtest/gtest.h>

#include <limits>

#include "system/math/QxColor.h"

namespace {
const float kInf = std::numeric_limits<float>::infinity();
const float kNaN = std::numeric_limits<float>::quiet_NaN();
} // namespace

TEST(QxColor, PackedWordsTruncateEachClampedChannelTimes255AndComeBack)
{
    EXPECT_EQ(QxColor(1.0f, 0.5f, 0.0f, 1.0f).GetARGB(), 0xFFFF7F00u);
    EXPECT_EQ(QxColor(1.0f, 0.5f, 0.0f, 1.0f).GetABGR(), 0xFF007FFFu);
    EXPECT_EQ(QxColor(0.999f, 0, 0, 0).GetARGB(), 0x00FE0000u);
    EXPECT_EQ(QxColor(0.99999994f, 0, 0, 0).GetARGB(), 0x00FE0000u);
    // Each of these floats lies just above its decimal value, so x 255 truncates to 51, 102, 153, 204.
    EXPECT_EQ(QxColor(0.2f, 0.4f, 0.6f, 0.8f).GetABGR(), 0xCC996633u);
    EXPECT_EQ(QxColor(-0.5f, 2.0f, 0.0f, 1.0f).GetARGB(), 0xFF00FF00u);
    EXPECT_EQ(QxColor(kInf, -kInf, kNaN, 1e30f).GetARGB(), 0xFFFF0000u);
    // Construction from a packed word divides each channel by 255.
    const QxColor c(0x80FF4000u);
    EXPECT_EQ(c.a, 128.0f / 255.0f);
    EXPECT_EQ(c.r, 1.0f);
    EXPECT_EQ(c.g, 64.0f / 255.0f);
    EXPECT_EQ(c.b, 0.0f);
    // Every byte survives the round trip through floats.
    for (CKDWORD v = 0; v < 256; ++v) {
        const CKDWORD word = (v << 24) | ((255 - v) << 16) | (v << 8) | (v ^ 0x5A);
        EXPECT_EQ(QxColor(word).GetARGB(), word);
    }
}

TEST(QxPackColor, RoundsAlphaAndBlueMasksRedAndGreenAndClampsFirst)
{
    EXPECT_EQ(QxPackColor(1.0f, 0.0f, 0.0f, 1.0f), 0xFFFF0000u);
    // g x 65280 = 32640 = 0x7F80: the mask keeps 0x7F.
    EXPECT_EQ(QxPackColor(0.0f, 0.5f, 0.0f, 0.0f), 0x00007F00u);
    // b x 255 = 127.5 rounds to even.
    EXPECT_EQ(QxPackColor(0.0f, 0.0f, 0.5f, 0.0f), 0x00000080u);
    EXPECT_EQ(QxPackColor(0.0f, 0.0f, 0.0f, 0.5f), 0x80000000u);
    EXPECT_EQ(QxPackColor(1.0f, 1.0f, 1.0f, 1.0f), 0xFFFFFFFFu);
    EXPECT_EQ(QxPackColor(2.0f, -1.0f, 1.5f, 7.0f), 0xFFFF00FFu);
    EXPECT_EQ(QxPackColor(kNaN, kInf, -kInf, kNaN), 0x0000FF00u);
}

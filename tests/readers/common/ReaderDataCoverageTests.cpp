#include "readers/common/ReaderDataCoverage.h"

#include <gtest/gtest.h>

namespace {

struct Case
{
    const char* what;
    unsigned long long decodedBytes, pixels, describable;
    bool allowed;
};

} // namespace

TEST(ReaderDataCoverage, LargeImagesNeedDataForASixtyFourthOfTheirPixels)
{
    constexpr unsigned long long kLarge = 64ull << 20;
    const Case cases[] = {
        {"64 MB is not large, whatever the data", kLarge, kLarge / 4, 0, true},
        {"one byte more is", kLarge + 1, kLarge / 4, 0, false},
        {"a 64th of the pixels is enough", kLarge + 4, kLarge / 4 + 1, (kLarge / 4 + 1 + 63) / 64, true},
        {"one pixel fewer is not", kLarge + 4, kLarge / 4 + 1, (kLarge / 4 + 1 + 63) / 64 - 1, false},
        {"1 GB from one run of 255 pixels", 1ull << 30, 1ull << 28, 255, false},
        {"data that bound nothing", 1ull << 30, 1ull << 28, READER_ANY_PIXEL_COUNT, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReaderDataMayDescribeImage("TEST", c.decodedBytes, c.pixels, c.describable), c.allowed) << c.what;
}

TEST(ReaderDataCoverage, ProductsSaturate)
{
    EXPECT_EQ(ReaderSaturatingProduct(1ull << 40, 1ull << 30), READER_ANY_PIXEL_COUNT);
    EXPECT_EQ(ReaderSaturatingProduct(0, READER_ANY_PIXEL_COUNT), 0u);
    EXPECT_EQ(ReaderSaturatingProduct(1ull << 31, 1ull << 32), 1ull << 63);
}

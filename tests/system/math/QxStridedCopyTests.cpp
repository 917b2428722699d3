#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "system/math/QxStridedCopy.h"
#include "tests/support/AssertCapture.h"

namespace {

std::vector<CKDWORD> Pattern(size_t words)
{
    std::vector<CKDWORD> v(words);
    for (size_t i = 0; i < words; ++i)
        v[i] = 0x1000u + static_cast<CKDWORD>(i);
    return v;
}

} // namespace

TEST(QxFillStructure, WritesTheElementAtEveryStrideForEachSizeAndRefusesBadArguments)
{
    for (CKDWORD size : {4u, 8u, 12u, 16u, 20u, 28u}) {
        const std::vector<CKDWORD> element = Pattern(size / 4);
        const CKDWORD stride = size + 8;
        std::vector<unsigned char> buffer(stride * 5 + 3, 0xEE);
        // An odd address: no alignment is needed.
        EXPECT_TRUE(QxFillStructure(5, buffer.data() + 1, stride, size, element.data()));
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(std::memcmp(buffer.data() + 1 + i * stride, element.data(), size), 0) << size;
            EXPECT_EQ(buffer[1 + i * stride + size], 0xEE);
        }
        EXPECT_EQ(buffer[0], 0xEE);
    }
    // Bad arguments are refused without writing.
    std::vector<unsigned char> buffer(64, 0xEE);
    const std::vector<CKDWORD> element = Pattern(4);
    EXPECT_FALSE(QxFillStructure(2, buffer.data(), 8, 6, element.data()));
    EXPECT_FALSE(QxFillStructure(2, buffer.data(), 0, 4, element.data()));
    EXPECT_FALSE(QxFillStructure(0, buffer.data(), 8, 4, element.data()));
    EXPECT_FALSE(QxFillStructure(-1, buffer.data(), 8, 4, element.data()));
    EXPECT_FALSE(QxFillStructure(2, buffer.data(), 8, 0, element.data()));
    EXPECT_FALSE(QxFillStructure(2, nullptr, 8, 4, element.data()));
    EXPECT_FALSE(QxFillStructure(2, buffer.data(), 8, 4, nullptr));
    for (unsigned char b : buffer)
        EXPECT_EQ(b, 0xEE);
}

TEST(QxCopyStructure, CopiesBetweenDifferentStridesForEachSizeAndCompactsInPlace)
{
    for (CKDWORD size : {4u, 8u, 12u, 16u, 24u}) {
        const CKDWORD sourceStride = size + 4, destinationStride = size * 2;
        std::vector<unsigned char> source(sourceStride * 7);
        for (size_t i = 0; i < source.size(); ++i)
            source[i] = static_cast<unsigned char>(i * 7 + 1);
        std::vector<unsigned char> destination(destinationStride * 7, 0);
        EXPECT_TRUE(QxCopyStructure(7, destination.data(), destinationStride, size, source.data(), sourceStride));
        for (int i = 0; i < 7; ++i)
            EXPECT_EQ(std::memcmp(destination.data() + i * destinationStride, source.data() + i * sourceStride, size),
                      0);
    }
    std::vector<unsigned char> a(32), b(32);
    EXPECT_FALSE(QxCopyStructure(2, a.data(), 8, 4, b.data(), 0));
    EXPECT_FALSE(QxCopyStructure(2, a.data(), 8, 4, nullptr, 8));
    EXPECT_FALSE(QxCopyStructure(2, a.data(), 8, 5, b.data(), 8));
    // It compacts in place when each element moves downward.
    // Packing 16-byte records into 12-byte ones inside the same buffer.
    std::vector<CKDWORD> words = Pattern(4 * 6);
    ASSERT_TRUE(QxCopyStructure(6, words.data(), 12, 12, words.data(), 16));
    for (int i = 0; i < 6; ++i)
        for (int w = 0; w < 3; ++w)
            EXPECT_EQ(words[i * 3 + w], 0x1000u + static_cast<CKDWORD>(i * 4 + w));
}

TEST(QxStridedData, RecordFormsPassTheirPointerAndStrideThroughAndWordsNarrowAndWiden)
{
    const std::vector<CKDWORD> element = Pattern(3);
    std::vector<CKDWORD> destination(4 * 3, 0);
    EXPECT_TRUE(QxFillStridedData(3, QxStridedData(destination.data(), 16), 12, element.data()));
    EXPECT_EQ(destination[4], element[0]);
    EXPECT_EQ(destination[3], 0u);
    std::vector<CKDWORD> copy(3 * 3, 0);
    EXPECT_TRUE(QxCopyStridedData(3, QxStridedData(copy.data(), 12), 12, QxStridedData(destination.data(), 16)));
    EXPECT_EQ(copy[8], element[2]);
    EXPECT_FALSE(QxFillStridedData(3, QxStridedData(destination.data(), 0), 12, element.data()));
    // Words keep the low bits of dwords and widen back.
    const CKDWORD dwords[4] = {0x12345678u, 0xFFFF0001u, 0, 65535};
    CKWORD words[4] = {};
    QxCopyDwordsToWords(words, dwords, 4);
    EXPECT_EQ(words[0], 0x5678);
    EXPECT_EQ(words[1], 0x0001);
    EXPECT_EQ(words[3], 0xFFFF);
    CKDWORD back[4] = {9, 9, 9, 9};
    QxCopyWordsToDwords(back, words, 4);
    EXPECT_EQ(back[0], 0x5678u);
    EXPECT_EQ(back[3], 0xFFFFu);
    // No elements, no access.
    QxCopyDwordsToWords(nullptr, nullptr, 0);
    QxCopyWordsToDwords(nullptr, nullptr, 0);
}

TEST(QxIndexedCopy, GathersSourceElementsByIndexForEachSizeAndRefusesUnalignedSizes)
{
    for (CKDWORD size : {4u, 8u, 12u, 16u, 20u, 24u, 32u}) {
        const std::vector<CKDWORD> source = Pattern(size / 4 * 10);
        const CKDWORD indices[5] = {9, 0, 3, 3, 7};
        std::vector<CKDWORD> destination(size / 4 * 5 + 1, 0);
        EXPECT_TRUE(QxIndexedCopy(QxStridedData(destination.data(), size), QxStridedData(source.data(), size), size,
                                  indices, 5));
        for (int k = 0; k < 5; ++k)
            EXPECT_EQ(std::memcmp(&destination[k * size / 4], &source[indices[k] * size / 4], size), 0) << size;
        EXPECT_EQ(destination.back(), 0u);
    }
    // Unaligned sizes are refused; no elements, nothing done.
    std::vector<CKDWORD> buffer(8, 0);
    const CKDWORD index = 0;
    EXPECT_FALSE(QxIndexedCopy(QxStridedData(buffer.data(), 8), QxStridedData(buffer.data(), 8), 6, &index, 1));
    EXPECT_TRUE(QxIndexedCopy(QxStridedData(nullptr, 8), QxStridedData(nullptr, 8), 8, nullptr, 0));
    AssertCapture capture;
    EXPECT_FALSE(QxIndexedCopy(QxStridedData(nullptr, 8), QxStridedData(buffer.data(), 8), 8, &index, 1));
    EXPECT_EQ(capture.Texts().size(), 1u);
}

#include "core/file/CKFileChecksum.h"

#include <vector>
#include <zlib.h>

#include <gtest/gtest.h>

namespace {

CKDWORD Reference(CKDWORD previous, const std::vector<CKBYTE>& bytes, size_t offset, size_t n)
{
    return (CKDWORD) adler32(previous, bytes.data() + offset, (uInt) n);
}

std::vector<CKBYTE> Noise(size_t n, CKDWORD seed)
{
    std::vector<CKBYTE> bytes(n);
    for (CKBYTE& b : bytes) {
        seed = seed * 214013 + 2531011;
        b = (CKBYTE) (seed >> 16);
    }
    return bytes;
}

} // namespace

TEST(CKFileChecksum, AgreesWithZlibForEveryShortLengthAndAlignment)
{
    std::vector<CKBYTE> bytes = Noise(600, 3);
    for (CKDWORD previous : {0u, 1u, 0xFFF0FFF0u, 0x12345678u, 0xFFFFFFFFu})
        for (size_t offset = 0; offset < 33; offset += 7)
            for (size_t n = 0; n + offset <= bytes.size(); n += (n < 140 ? 1 : 37))
                ASSERT_EQ(CKFileChecksum(previous, bytes.data() + offset, n), Reference(previous, bytes, offset, n))
                    << "previous " << previous << " offset " << offset << " length " << n;
}

TEST(CKFileChecksum, AgreesWithZlibOnLongRunsOfHighBytesAndInPieces)
{
    // All 0xFF is where the sums come closest to overflowing between reductions.
    for (CKBYTE fill : {(CKBYTE) 0xFF, (CKBYTE) 0x00}) {
        std::vector<CKBYTE> bytes(3 * 5552 + 77, fill);
        EXPECT_EQ(CKFileChecksum(0, bytes.data(), bytes.size()), Reference(0, bytes, 0, bytes.size()));
        EXPECT_EQ(CKFileChecksum(0xFFF0FFF0u, bytes.data(), bytes.size()),
                  Reference(0xFFF0FFF0u, bytes, 0, bytes.size()));
    }
    std::vector<CKBYTE> bytes = Noise(1 << 20, 11);
    CKDWORD whole = CKFileChecksum(0, bytes.data(), bytes.size());
    EXPECT_EQ(whole, Reference(0, bytes, 0, bytes.size()));
    CKDWORD pieces = 0;
    for (size_t at = 0, step = 1; at < bytes.size(); at += step, step = step * 3 % 70001 + 1) {
        size_t n = at + step > bytes.size() ? bytes.size() - at : step;
        pieces = CKFileChecksum(pieces, bytes.data() + at, n);
    }
    EXPECT_EQ(pieces, whole);
}

TEST(CKFileChecksum, TwoRunsCombineIntoTheChecksumOfBoth)
{
    std::vector<CKBYTE> bytes = Noise(200000, 5);
    for (size_t cut : {(size_t) 0, (size_t) 1, (size_t) 63, (size_t) 5552, (size_t) 65521 * 2 + 7, bytes.size()})
        for (CKDWORD start : {0u, 1u, 0xFFF0FFF0u}) {
            CKDWORD first = CKFileChecksum(start, bytes.data(), cut);
            CKDWORD second = CKFileChecksum(0, bytes.data() + cut, bytes.size() - cut);
            EXPECT_EQ(CKFileChecksumCombine(first, second, bytes.size() - cut),
                      Reference(start, bytes, 0, bytes.size()))
                << "cut " << cut << " start " << start;
        }
}

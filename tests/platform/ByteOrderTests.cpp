#include <gtest/gtest.h>

#include "includes/CKByteOrder.h"

TEST(ByteOrder, WordsAreLittleEndianWhateverTheHost)
{
    uint8_t b[4];
    StoreLE32(b, 0x11223344u);
    EXPECT_EQ(b[0], 0x44);
    EXPECT_EQ(b[3], 0x11);
    EXPECT_EQ(LoadLE32(b), 0x11223344u);
    StoreLEFloat(b, 1.0f);
    EXPECT_EQ(LoadLE32(b), 0x3F800000u);
}

TEST(ByteOrder, ReaderFailsForGoodPastTheEndAndZeroesTheOutput)
{
    const uint8_t data[6] = {1, 0, 0, 0, 2, 0};
    ByteReader r(data, sizeof data);
    uint32_t w = 99;
    EXPECT_TRUE(r.Read32(w));
    EXPECT_EQ(w, 1u);
    EXPECT_FALSE(r.Read32(w));
    EXPECT_EQ(w, 0u);
    EXPECT_EQ(r.Position(), 4u);
    uint16_t h = 7;
    EXPECT_FALSE(r.Read16(h)); // the failure is sticky even though 2 bytes remain
    EXPECT_EQ(h, 0);
    EXPECT_FALSE(r.Ok());
}

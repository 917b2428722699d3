#include <gtest/gtest.h>

#include <cstring>

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
    EXPECT_EQ(r.Remaining(), 2u);
    uint16_t h = 7;
    EXPECT_FALSE(r.Read16(h)); // the failure is sticky even though 2 bytes remain
    EXPECT_EQ(h, 0);
    EXPECT_FALSE(r.Ok());
}

TEST(ByteOrder, WriterStoresLittleEndianFieldsThatTheReaderGivesBack)
{
    uint8_t data[19];
    ByteWriter w(data, sizeof data);
    const uint8_t name[3] = {'a', 'b', 'c'};
    EXPECT_TRUE(w.Write32(0x11223344u) && w.WriteS32(-2) && w.Write16(0xBEEF) && w.Write8(0x7F) && w.WriteFloat(1.0f) &&
                w.WriteBytes(name, 3) && w.WriteZeros(1));
    EXPECT_EQ(w.Remaining(), 0u);
    const uint8_t expected[19] = {0x44, 0x33, 0x22, 0x11, 0xFE, 0xFF, 0xFF, 0xFF, 0xEF, 0xBE,
                                  0x7F, 0x00, 0x00, 0x80, 0x3F, 'a',  'b',  'c',  0x00};
    EXPECT_EQ(std::memcmp(data, expected, sizeof data), 0);

    ByteReader r(data, sizeof data);
    uint32_t word = 0;
    int32_t signedWord = 0;
    uint16_t half = 0;
    uint8_t byte = 0;
    float real = 0;
    uint8_t text[4] = {};
    EXPECT_TRUE(r.Read32(word) && r.ReadS32(signedWord) && r.Read16(half) && r.Read8(byte) && r.ReadFloat(real) &&
                r.ReadBytes(text, 4));
    EXPECT_EQ(word, 0x11223344u);
    EXPECT_EQ(signedWord, -2);
    EXPECT_EQ(half, 0xBEEF);
    EXPECT_EQ(byte, 0x7F);
    EXPECT_EQ(real, 1.0f);
    EXPECT_EQ(std::memcmp(text, "abc", 4), 0);
}

TEST(ByteOrder, WriterFailsForGoodPastTheEndAndStoresNothingThere)
{
    uint8_t data[6] = {9, 9, 9, 9, 9, 9};
    ByteWriter w(data, sizeof data);
    EXPECT_TRUE(w.Write32(1));
    EXPECT_FALSE(w.Write32(2)); // 2 bytes left: none of the word is stored
    EXPECT_EQ(w.Position(), 4u);
    EXPECT_EQ(data[4], 9);
    EXPECT_EQ(data[5], 9);
    EXPECT_FALSE(w.Write8(3)); // the failure is sticky although a byte would fit
    EXPECT_EQ(data[4], 9);
    EXPECT_FALSE(w.Ok());

    ByteWriter none(nullptr, 8); // no buffer holds nothing
    EXPECT_FALSE(none.WriteZeros(1));
    EXPECT_TRUE(ByteWriter(nullptr, 0).WriteBytes(nullptr, 0));
}

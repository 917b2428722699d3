#include "core/bitmap/CKBitmapProperties.h"

#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "includes/CKByteOrder.h"

static CKBitmapProperties MakeJpegLikeRecord()
{
    CKBitmapProperties p;
    p.m_Size = 152;
    p.m_ReaderGuid = CKGUID(0x4ae51ac4, 0x04587d76);
    p.m_Ext.Set("jpg");
    p.m_Format.Width = 3;
    p.m_Format.Height = 2;
    p.m_Format.BytesPerLine = 12;
    p.m_Format.BitsPerPixel = 32;
    p.m_Format.RedMask = 0xFF0000;
    p.m_Format.GreenMask = 0xFF00;
    p.m_Format.BlueMask = 0xFF;
    p.m_Format.AlphaMask = 0xFF000000;
    p.m_Format.BytesPerColorEntry = 4;
    p.m_Format.ColorMapEntries = 0x0102;
    p.m_Format.ColorMap = reinterpret_cast<CKBYTE*>(0x1234);
    p.m_Format.Image = reinterpret_cast<CKBYTE*>(0x5678);
    p.m_Data = reinterpret_cast<void*>(0x9abc);
    p.SetFloatWord(0, 0.75f);
    p.SetFloatWord(1, 0.0f);
    p.m_Words[2] = 5;
    return p;
}

TEST(CKBitmapProperties, WritesTheThirtyTwoBitLayoutFieldByField)
{
    const CKBitmapProperties p = MakeJpegLikeRecord();
    std::vector<CKBYTE> bytes(200, 0xEE);
    ASSERT_EQ(CKWriteBitmapProperties(p, bytes.data(), (CKDWORD) bytes.size()), 152u);

    std::vector<CKBYTE> expected(152, 0);
    StoreLE32(&expected[0], 152);
    StoreLE32(&expected[4], 0x4ae51ac4);
    StoreLE32(&expected[8], 0x04587d76);
    // short extension (12..15) stays zero
    StoreLE32(&expected[16], 52);
    StoreLE32(&expected[20], 0);
    StoreLE32(&expected[24], 3);
    StoreLE32(&expected[28], 2);
    StoreLE32(&expected[32], 12);
    StoreLE32(&expected[36], 32);
    StoreLE32(&expected[40], 0xFF0000);
    StoreLE32(&expected[44], 0xFF00);
    StoreLE32(&expected[48], 0xFF);
    StoreLE32(&expected[52], 0xFF000000);
    StoreLE16(&expected[56], 4);
    StoreLE16(&expected[58], 0x0102);
    // colour-map, image and pixel pointers (60, 64, 68) are written as 0
    std::memcpy(&expected[72], "jpg", 3);
    StoreLE32(&expected[140], 0x3F400000); // 0.75f
    StoreLE32(&expected[144], 0);
    StoreLE32(&expected[148], 5);
    EXPECT_EQ(std::vector<CKBYTE>(bytes.begin(), bytes.begin() + 152), expected);
    EXPECT_EQ(bytes[152], 0xEE) << "nothing is written past the record";
}

TEST(CKBitmapProperties, ReadsBackWhatWasWrittenWithNullPointers)
{
    const CKBitmapProperties p = MakeJpegLikeRecord();
    CKBYTE bytes[152];
    ASSERT_EQ(CKWriteBitmapProperties(p, bytes, sizeof(bytes)), 152u);
    CKBitmapProperties q;
    ASSERT_TRUE(CKReadBitmapProperties(bytes, sizeof(bytes), q));
    EXPECT_EQ(q.m_Size, 152u);
    EXPECT_EQ(q.m_ReaderGuid, p.m_ReaderGuid);
    EXPECT_STREQ(q.m_Ext.CStr(), "jpg");
    EXPECT_TRUE(q.m_Format == p.m_Format);
    EXPECT_EQ(q.m_Format.ColorMap, nullptr);
    EXPECT_EQ(q.m_Format.Image, nullptr);
    EXPECT_EQ(q.m_Data, nullptr);
    EXPECT_EQ(q.GetWordCount(), 3);
    EXPECT_FLOAT_EQ(q.GetFloatWord(0), 0.75f);
    EXPECT_EQ(q.m_Words[2], 5u);

    // A copy keeps every word, and the pixel pointer.
    CKBitmapProperties* copy = CKCopyBitmapProperties(&p);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->m_Size, 152u);
    EXPECT_EQ(copy->m_Words[2], 5u);
    EXPECT_EQ(copy->m_Data, p.m_Data);
    CKDeleteBitmapProperties(copy);
}

TEST(CKBitmapProperties, RefusesRecordsOfImpossibleSizes)
{
    CKBitmapProperties p = MakeJpegLikeRecord();
    CKBYTE bytes[256] = {};
    p.m_Size = 150; // not a whole word past the base
    EXPECT_EQ(CKWriteBitmapProperties(p, bytes, sizeof(bytes)), 0u);
    p.m_Size = 152;
    EXPECT_EQ(CKWriteBitmapProperties(p, bytes, 151), 0u) << "output too small";
    ASSERT_EQ(CKWriteBitmapProperties(p, bytes, sizeof(bytes)), 152u);

    CKBitmapProperties q;
    q.m_Size = 777;
    EXPECT_FALSE(CKReadBitmapProperties(bytes, 151, q)) << "record longer than the data";
    EXPECT_EQ(q.m_Size, 777u) << "a refused read leaves the output alone";
    StoreLE32(bytes, 139);
    EXPECT_FALSE(CKReadBitmapProperties(bytes, sizeof(bytes), q));
    StoreLE32(bytes, 256);
    EXPECT_FALSE(CKReadBitmapProperties(bytes, sizeof(bytes), q));
    EXPECT_FALSE(CKReadBitmapProperties(nullptr, 152, q));
    EXPECT_EQ(CKCopyBitmapProperties(nullptr), nullptr);
    p.m_Size = 0;
    EXPECT_EQ(CKCopyBitmapProperties(&p), nullptr);
    p.m_Size = 256;
    EXPECT_EQ(CKCopyBitmapProperties(&p), nullptr);
}

TEST(CKBitmapProperties, ReadTerminatesExtensionsThatFillTheirField)
{
    CKBYTE bytes[140];
    std::memset(bytes, 'x', sizeof(bytes));
    StoreLE32(bytes, 140);
    CKBitmapProperties q;
    ASSERT_TRUE(CKReadBitmapProperties(bytes, sizeof(bytes), q));
    EXPECT_EQ(std::strlen(q.m_ShortExt.CStr()), 3u);
    EXPECT_EQ(std::strlen(q.m_Ext.CStr()), 67u);
}

TEST(CKBitmapProperties, WordCountFollowsTheSizeWord)
{
    CKBitmapProperties p;
    EXPECT_EQ(p.GetWordCount(), 0);
    p.m_Size = 160;
    EXPECT_EQ(p.GetWordCount(), 5);
    p.m_Size = 100;
    EXPECT_EQ(p.GetWordCount(), 0);
    p.m_Size = 143;
    EXPECT_EQ(p.GetWordCount(), 0);
}

#include "core/bitmap/CKConvertBitmapProperties.h"

#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "includes/CKByteOrder.h"

namespace {

// An older record of the given layout followed by eight reader words
// (0x100, 0x101, ...), every pointer word set to garbage.
std::vector<CKBYTE> OldRecord(CKDWORD layout, CKDWORD sizeWord)
{
    std::vector<CKBYTE> b(layout + 32, 0);
    StoreLE32(&b[0], sizeWord);
    StoreLE32(&b[4], 0x11223344);
    StoreLE32(&b[8], 0x55667788);
    std::memcpy(&b[12], "tiff", 4);
    CKBYTE* d = &b[16];
    if (layout == CK_BITMAPPROPERTIES_OLDDESCSIZE) {
        StoreLE32(d, 52);      // description size
        StoreLE32(d + 4, 21);  // flags: a compressed format
        StoreLE32(d + 44, 99); // colour map
        StoreLE32(d + 48, 98); // image
        d += 8;
        StoreLE16(d + 32, 4);
        StoreLE16(d + 34, 256);
    }
    const CKDWORD fields[8] = {640, 480, 2560, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    for (int i = 0; i < 8; ++i)
        StoreLE32(d + 4 * i, fields[i]);
    StoreLE32(&b[layout - 4], 0xDEADBEEF); // pixel pointer
    for (int i = 0; i < 8; ++i)
        StoreLE32(&b[layout + 4 * i], 0x100 + i);
    return b;
}

void ExpectConverted(const CKBitmapProperties& p)
{
    EXPECT_EQ(p.m_Size, 140u + 32u);
    EXPECT_EQ(p.m_ReaderGuid, CKGUID(0x11223344, 0x55667788));
    EXPECT_STREQ(p.m_Ext.CStr(), "tiff");
    EXPECT_STREQ(p.m_ShortExt.CStr(), "tif");
    EXPECT_EQ(p.m_Data, nullptr);
    EXPECT_EQ(p.m_Format.Width, 640);
    EXPECT_EQ(p.m_Format.Height, 480);
    EXPECT_EQ(p.m_Format.BytesPerLine, 2560);
    EXPECT_EQ(p.m_Format.BitsPerPixel, 32);
    EXPECT_EQ(p.m_Format.RedMask, 0xFF0000u);
    EXPECT_EQ(p.m_Format.GreenMask, 0xFF00u);
    EXPECT_EQ(p.m_Format.BlueMask, 0xFFu);
    EXPECT_EQ(p.m_Format.AlphaMask, 0xFF000000u);
    EXPECT_EQ(p.m_Format.ColorMap, nullptr);
    EXPECT_EQ(p.m_Format.Image, nullptr);
    ASSERT_EQ(p.GetWordCount(), 8);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(p.m_Words[i], 0x100u + i);
}

TEST(CKConvertBitmapProperties, The52ByteLayoutBecomesAFullRecordWithTheSameWords)
{
    const std::vector<CKBYTE> b = OldRecord(CK_BITMAPPROPERTIES_OLDSIZE, 52);
    CKBitmapProperties p;
    ASSERT_TRUE(CKConvertBitmapProperties(b.data(), (CKDWORD) b.size(), p));
    ExpectConverted(p);
    EXPECT_EQ(p.m_Format.Size, 52u);
    EXPECT_EQ(p.m_Format.Flags, 0u);
    EXPECT_EQ(p.m_Format.BytesPerColorEntry, 0);

    // The full record writes out as 172 bytes that read back the same.
    std::vector<CKBYTE> full(172);
    ASSERT_EQ(CKWriteBitmapProperties(p, full.data(), 172), 172u);
    EXPECT_EQ(LoadLE32(&full[0]), 172u);
    EXPECT_EQ(LoadLE32(&full[140]), 0x100u);
}

TEST(CKConvertBitmapProperties, The72ByteLayoutKeepsItsWholeDescription)
{
    const std::vector<CKBYTE> b = OldRecord(CK_BITMAPPROPERTIES_OLDDESCSIZE, 72);
    CKBitmapProperties p;
    ASSERT_TRUE(CKConvertBitmapProperties(b.data(), (CKDWORD) b.size(), p));
    ExpectConverted(p);
    EXPECT_EQ(p.m_Format.Size, 52u);
    EXPECT_EQ(p.m_Format.Flags, 21u);
    EXPECT_EQ(p.m_Format.BytesPerColorEntry, 4);
    EXPECT_EQ(p.m_Format.ColorMapEntries, 256);
}

TEST(CKConvertBitmapProperties, RefusesWhatItsBufferCannotHold)
{
    CKBitmapProperties untouched;
    untouched.m_Size = 1234;
    std::vector<CKBYTE> b = OldRecord(CK_BITMAPPROPERTIES_OLDSIZE, 52);
    for (CKDWORD sizeWord : {0u, 51u, 85u, 0xFFFFFFFFu}) {
        StoreLE32(&b[0], sizeWord);
        CKBitmapProperties p = untouched;
        EXPECT_FALSE(CKConvertBitmapProperties(b.data(), (CKDWORD) b.size(), p)) << sizeWord;
        EXPECT_EQ(p.m_Size, 1234u);
    }
    CKBitmapProperties p;
    EXPECT_FALSE(CKConvertBitmapProperties(nullptr, 100, p));
    // More reader words than a record holds.
    std::vector<CKBYTE> big(52 + 4 * (CK_BITMAPPROPERTIES_MAXWORDS + 1), 0);
    StoreLE32(&big[0], 52);
    EXPECT_FALSE(CKConvertBitmapProperties(big.data(), (CKDWORD) big.size(), p));

    // Every cut of a good record either fails or keeps the whole words left.
    b = OldRecord(CK_BITMAPPROPERTIES_OLDDESCSIZE, 72);
    for (CKDWORD n = 0; n <= b.size(); ++n) {
        CKBitmapProperties cut;
        const bool ok = CKConvertBitmapProperties(b.data(), n, cut);
        EXPECT_EQ(ok, n >= 72 && n % 4 == 0) << n;
        if (ok) {
            EXPECT_EQ(cut.GetWordCount(), (int) (n - 72) / 4);
        }
    }
}

} // namespace

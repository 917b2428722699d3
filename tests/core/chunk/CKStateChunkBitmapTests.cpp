#include "core/chunk/CKStateChunk.h"

#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "core/bitmap/CKBitmapReader.h"
#include "core/context/CKDefines.h"
#include "core/context/CKPluginInfo.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "system/memory/QxAlignedAlloc.h"
#include "tests/core/support/ChunkTestSupport.h"
#include "tests/core/support/TestBitmapReader.h"
#include "tools/testdata/TextureCodecTestEncoder.h"

// Bitmaps in chunks: the raw planes, and images encoded by a reader found
// through the plug-in manager (the test readers, which store the pixels as
// they are behind a width and a height).

namespace {

struct Image32
{
    int Width, Height;
    std::vector<CKDWORD> Pixels; // ARGB words, first row first

    QxImageDesc Desc(bool alpha = true)
    {
        QxImageDesc d = QxMakeImageDesc32(Width, Height);
        d.AlphaMask = alpha ? d.AlphaMask : 0;
        d.Image = reinterpret_cast<CKBYTE*>(Pixels.data());
        return d;
    }
};

Image32 MakeImage(int w, int h, CKDWORD seed)
{
    Image32 image{w, h, {}};
    for (int i = 0; i < w * h; ++i)
        image.Pixels.push_back(seed * 0x01010101u + (CKDWORD) i * 0x00030507u + ((CKDWORD) (i * 37) << 24));
    return image;
}

class ChunkBitmapTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(CKStartUp(), 0);
        RegisterTestReaders();
    }
    void TearDown() override { CKShutdown(); }
};

// A new chunk holding the image encoded by a "tst" reader, which is released.
ChunkPtr ChunkWithReaderBitmap(Image32& image)
{
    TestBitmapReader* reader = new TestBitmapReader("tst");
    CKBitmapProperties properties = reader->m_Properties;
    ChunkPtr chunk = NewChunk(31);
    chunk->StartWrite();
    chunk->WriteReaderBitmap(image.Desc(), reader, &properties);
    reader->Release();
    return chunk;
}

// Reads a raw bitmap back into pixels of the size its header gives; empty
// when refused.
std::vector<CKDWORD> ReadRaw(CKStateChunk* chunk, QxImageDesc& desc)
{
    chunk->StartRead();
    std::vector<CKDWORD> pixels;
    if (chunk->ReadRawBitmapHeader(desc)) {
        pixels.assign((size_t) desc.Width * desc.Height, 0);
        desc.Image = reinterpret_cast<CKBYTE*>(pixels.data());
        if (!chunk->ReadRawBitmap(desc))
            pixels.clear();
    }
    return pixels;
}

} // namespace

TEST_F(ChunkBitmapTest, RawBitmapIsAHeaderAndFourPlanesLastRowFirst)
{
    Image32 image{2, 2, {0x44332211, 0x88776655, 0xCCBBAA99, 0x00FFEEDD}};
    ChunkPtr chunk = NewChunk(31);
    chunk->StartWrite();
    chunk->WriteRawBitmap(image.Desc());
    // Planes: bytes 0, 1, 2, 3 of the pixels, rows bottom-up.
    std::vector<CKDWORD> expected = {32, 2,          2, 0xFF000000, 0x00FF0000, 0x0000FF00, 0x000000FF, 0,
                                     4,  0x5511DD99, 4, 0x6622EEAA, 4,          0x7733FFBB, 4,          0x884400CC};
    EXPECT_EQ(DataWords(chunk.get()), expected);
    QxImageDesc desc;
    EXPECT_EQ(ReadRaw(chunk.get(), desc), image.Pixels);
    EXPECT_EQ(desc.Width, 2);
    EXPECT_EQ(desc.BytesPerLine, 8);

    // Memory for another size than stored is left untouched.
    desc.Width = 3;
    desc.BytesPerLine = 12;
    std::vector<CKDWORD> pixels(6, 0xABABABAB);
    desc.Image = reinterpret_cast<CKBYTE*>(pixels.data());
    EXPECT_FALSE(chunk->ReadRawBitmap(desc));
    EXPECT_EQ(chunk->GetReadError(), CKErr::InvalidFile);
    EXPECT_EQ(pixels, std::vector<CKDWORD>(6, 0xABABABAB));

    // Without alpha, the fourth plane is one zero word.
    image = MakeImage(3, 5, 7);
    chunk = NewChunk(31);
    chunk->StartWrite();
    chunk->WriteRawBitmap(image.Desc(false));
    std::vector<CKDWORD> words = DataWords(chunk.get());
    EXPECT_EQ(words.back(), 0u);
    EXPECT_EQ(words.size(), 8u + 3 * (1 + 4) + 1);
    pixels = ReadRaw(chunk.get(), desc);
    EXPECT_EQ(desc.AlphaMask, 0u);
    ASSERT_EQ(pixels.size(), 15u);
    for (size_t i = 0; i < 15; ++i)
        EXPECT_EQ(pixels[i] & 0x00FFFFFF, image.Pixels[i] & 0x00FFFFFF);
}

// Every width from 1 to 21 and a wide one, so that each way a row splits
// into runs of eight, groups of four and single pixels, at every byte of a
// word, is written; compared with planes gathered byte by byte.
TEST_F(ChunkBitmapTest, RawPlanesMatchAByteByByteGatherAtEveryWidth)
{
    std::vector<int> widths;
    for (int w = 1; w <= 21; ++w)
        widths.push_back(w);
    widths.push_back(67);
    for (int w : widths)
        for (int h : {1, 2, 5})
            for (bool alpha : {true, false}) {
                Image32 image = MakeImage(w, h, (CKDWORD) (w * 7 + h));
                const QxImageDesc desc = image.Desc(alpha);
                std::vector<CKDWORD> expected = {32,           (CKDWORD) w,    (CKDWORD) h,   desc.AlphaMask,
                                                 desc.RedMask, desc.GreenMask, desc.BlueMask, 0};
                const int planes = alpha ? 4 : 3;
                for (int c = 0; c < planes; ++c) {
                    std::vector<CKBYTE> bytes;
                    for (int y = h - 1; y >= 0; --y)
                        for (int x = 0; x < w; ++x)
                            bytes.push_back((CKBYTE) (image.Pixels[(size_t) y * w + x] >> (8 * c)));
                    expected.push_back((CKDWORD) bytes.size());
                    bytes.resize((bytes.size() + 3) / 4 * 4, 0);
                    for (size_t i = 0; i < bytes.size(); i += 4)
                        expected.push_back(bytes[i] | bytes[i + 1] << 8 | bytes[i + 2] << 16 |
                                           (CKDWORD) bytes[i + 3] << 24);
                }
                if (!alpha)
                    expected.push_back(0);
                ChunkPtr chunk = NewChunk(31);
                chunk->StartWrite();
                chunk->WriteRawBitmap(desc);
                EXPECT_EQ(DataWords(chunk.get()), expected) << w << "x" << h << (alpha ? " with alpha" : "");
            }
}

TEST_F(ChunkBitmapTest, CodedPlanesDecodeIntoTheImage)
{
    const int w = 16, h = 8;
    ChunkPtr chunk = NewChunk(31);
    chunk->StartWrite();
    for (CKDWORD v : {32u, (CKDWORD) w, (CKDWORD) h, 0u, 0xFF0000u, 0xFF00u, 0xFFu, 1u})
        chunk->WriteDword(v);
    for (int c = 0; c < 3; ++c) {
        const std::vector<uint8_t> plane((size_t) w * h, (uint8_t) (64 + c * 40)); // flat planes survive the codec
        std::vector<uint8_t> coded = EncodeTexturePlane(plane.data(), w, h, 80);
        chunk->WriteBuffer((int) coded.size(), coded.data());
    }
    chunk->WriteDword(0);
    QxImageDesc desc;
    const std::vector<CKDWORD> pixels = ReadRaw(chunk.get(), desc);
    ASSERT_EQ(pixels.size(), (size_t) w * h);
    for (CKDWORD p : pixels) {
        EXPECT_NEAR((int) (p & 0xFF), 64, 2);
        EXPECT_NEAR((int) ((p >> 8) & 0xFF), 104, 2);
        EXPECT_NEAR((int) ((p >> 16) & 0xFF), 144, 2);
    }
}

TEST_F(ChunkBitmapTest, ReaderBitmapRoundTripsThroughThePluginManager)
{
    for (bool alphaSaved : {true, false}) {
        TestReaders().AlphaSaved = alphaSaved;
        Image32 image = MakeImage(3, 2, 9);
        ChunkPtr chunk = ChunkWithReaderBitmap(image);
        std::vector<CKDWORD> words = DataWords(chunk.get());
        ASSERT_GE(words.size(), 5u);
        EXPECT_EQ(words[0], alphaSaved ? 1u : 2u);
        EXPECT_EQ(words[1], 0x00747374u); // "tst" and its zero
        EXPECT_EQ(words[2], 0x51u);
        EXPECT_EQ(words[3], 0x52u);
        EXPECT_EQ(words[4], 8u + 6 * 4);
        if (!alphaSaved) {
            // Six distinct alpha values, then the alpha map, first row first.
            EXPECT_EQ(words[5 + 8], 6u);
            EXPECT_EQ(words[5 + 9], 6u);
        }

        chunk->StartRead();
        std::vector<CKDWORD> pixels(6, 0);
        QxImageDesc desc = Image32{3, 2, {}}.Desc();
        desc.Image = reinterpret_cast<CKBYTE*>(pixels.data());
        EXPECT_EQ(chunk->ReadReaderBitmap(desc), 1);
        EXPECT_EQ(pixels, image.Pixels);
        EXPECT_EQ(chunk->GetReadError(), 0);

        // Allocated pixels (here taken over from the reader).
        chunk->StartRead();
        QxImageDesc wanted = Image32{0, 0, {}}.Desc();
        EXPECT_EQ(chunk->ReadReaderBitmap(wanted, CKSTATECHUNK_ALLOCATEPIXELS), 1);
        ASSERT_NE(wanted.Image, nullptr);
        EXPECT_EQ(wanted.Width, 3);
        EXPECT_EQ(std::memcmp(wanted.Image, image.Pixels.data(), 24), 0);
        QxDeleteAligned(wanted.Image);

        // Memory for another size is not written.
        chunk->StartRead();
        std::vector<CKDWORD> other(4, 0x12345678);
        desc = Image32{2, 2, {}}.Desc();
        desc.Image = reinterpret_cast<CKBYTE*>(other.data());
        EXPECT_EQ(chunk->ReadReaderBitmap(desc), 0);
        EXPECT_EQ(other, std::vector<CKDWORD>(4, 0x12345678));
    }
    EXPECT_EQ(TestReaders().Released, 8);
}

TEST_F(ChunkBitmapTest, SingleAlphaValueIsStoredOnce)
{
    TestReaders().AlphaSaved = false;
    Image32 image{2, 1, {0x80010203, 0x80040506}};
    std::vector<CKDWORD> words = DataWords(ChunkWithReaderBitmap(image).get());
    EXPECT_EQ(std::vector<CKDWORD>(words.end() - 2, words.end()), (std::vector<CKDWORD>{1, 0x80}));
}

TEST_F(ChunkBitmapTest, FormatNamedBitmapPicksTheReaderByItsName)
{
    Image32 image = MakeImage(2, 3, 4);
    std::vector<CKBYTE> payload(8 + 24);
    int w = 2, h = 3;
    std::memcpy(payload.data(), &w, 4);
    std::memcpy(payload.data() + 4, &h, 4);
    std::memcpy(payload.data() + 8, image.Pixels.data(), 24);
    for (bool named : {true, false}) {
        std::vector<CKBYTE> buffer;
        if (named)
            buffer.insert(buffer.end(), {'c', 'k', 'T', 'g', 'a'});
        buffer.insert(buffer.end(), payload.begin(), payload.end());
        ChunkPtr chunk = NewChunk(31);
        chunk->StartWrite();
        chunk->WriteInt(0);
        chunk->WriteBuffer((int) buffer.size(), buffer.data());
        chunk->StartRead();
        QxImageDesc desc;
        CKBYTE* pixels = chunk->ReadFormatNamedBitmap(desc);
        ASSERT_NE(pixels, nullptr);
        EXPECT_EQ(desc.Width, 2);
        EXPECT_EQ(desc.Height, 3);
        EXPECT_EQ(std::memcmp(pixels, image.Pixels.data(), 24), 0);
        CKReaderFree(pixels);
    }
}

TEST_F(ChunkBitmapTest, AReaderBitmapWhoseExtensionNoPluginHasIsFoundByItsGuid)
{
    Image32 image = MakeImage(2, 2, 3);
    TestBitmapReader* reader = new TestBitmapReader("tga");
    CKBitmapProperties properties = reader->m_Properties;
    properties.m_Ext.Set("tgx"); // as a record may name its format
    CKStateChunk* chunk = CKCreateStateChunk(31);
    chunk->StartWrite();
    chunk->WriteReaderBitmap(image.Desc(), reader, &properties);
    reader->Release();
    chunk->StartRead();
    QxImageDesc desc = Image32{0, 0, {}}.Desc();
    ASSERT_EQ(chunk->ReadReaderBitmap(desc, CKSTATECHUNK_ALLOCATEPIXELS), 1);
    EXPECT_EQ(std::memcmp(desc.Image, image.Pixels.data(), 16), 0);
    QxDeleteAligned(desc.Image);

    // An unknown GUID with an unknown extension finds nothing.
    EXPECT_EQ(CKFindBitmapReader("tgx", nullptr), nullptr);
    CKGUID unknown(0x99, 0x99);
    EXPECT_EQ(CKFindBitmapReader("tgx", &unknown), nullptr);
    CKDeleteStateChunk(chunk);
}

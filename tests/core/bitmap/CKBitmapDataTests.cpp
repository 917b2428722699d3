#include "core/bitmap/CKBitmapData.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/bitmap/CKBitmapProperties.h"
#include "core/bitmap/CKBitmapSaveResult.h"
#include "core/chunk/CKStateChunk.h"
#include "core/context/CKPathManager.h"
#include "core/file/CKFile.h"
#include "core/object/CKBeObject.h"
#include "core/object/CKBeObjectLinks.h"
#include "core/object/CKClassRegistry.h"
#include "system/image/QxPixelFormat.h"
#include "tests/core/support/CoreTestSupport.h"
#include "tests/core/support/TestBitmapReader.h"
#include "tests/support/TestPaths.h"

// Bitmap data with the test readers: slots, pixels, transparency, files,
// resizing, movies, and its sections of a chunk with each save option.

namespace {

const CKDWORD kIds[5] = {0x10, 0x11, 0x12, 0x13, 0x14};
enum
{
    kMovie,
    kEncoded,
    kRaw,
    kNames,
    kOld
};

std::vector<CKDWORD> Picture(int w, int h, CKDWORD seed)
{
    std::vector<CKDWORD> pixels;
    for (int i = 0; i < w * h; ++i)
        pixels.push_back(0xFF000000u | (seed * 0x00112233u + (CKDWORD) i * 0x00030507u));
    return pixels;
}

void WriteBytes(const std::string& path, const std::vector<CKBYTE>& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), (long) bytes.size());
}

std::vector<CKDWORD> SlotPixels(const CKBitmapData& data, int slot)
{
    std::vector<CKDWORD> pixels;
    for (int y = 0; y < data.GetHeight(); ++y)
        for (int x = 0; x < data.GetWidth(); ++x)
            pixels.push_back(data.GetPixel(x, y, slot));
    return pixels;
}

class BitmapDataTest : public EngineFixture
{
protected:
    void SetUp() override
    {
        EngineFixture::SetUp();
        RegisterTestReaders();
    }

    // A "tst" file of w x h 32-bit pixels.
    std::string TstFile(const std::string& name, int w, int h, const std::vector<CKDWORD>& pixels)
    {
        std::string path = m_Dir.File(name);
        WriteBytes(path, TestBitmapReader("tst").Encode(w, h, pixels.data()));
        return path;
    }

    // Three 4 x 2 slots read from s0.tst, s1.tst, s2.tst of the folder.
    void MakeThreeSlots(CKBitmapData& data)
    {
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(
                data.LoadSlotImage(TstFile("s" + std::to_string(i) + ".tst", 4, 2, Picture(4, 2, i + 1)).c_str(), i));
    }

    // The chunk bytes of the data saved with a file (or without one).
    std::vector<CKBYTE> Save(CKBitmapData& data, bool withFile = true)
    {
        CKFile* file = withFile ? m_Context->CreateCKFile() : nullptr;
        CKStateChunk* chunk = CKCreateStateChunk(31);
        chunk->StartWrite();
        EXPECT_TRUE(data.WriteToChunk(chunk, file, kIds));
        if (file)
            m_Included = file->GetIncludedFileCount();
        std::vector<CKBYTE> bytes((size_t) chunk->ConvertToBuffer(nullptr));
        chunk->ConvertToBuffer(bytes.data());
        CKDeleteStateChunk(chunk);
        if (file)
            m_Context->DeleteCKFile(file);
        return bytes;
    }

    // A chunk of those bytes (the caller deletes it).
    static CKStateChunk* Chunk(const std::vector<CKBYTE>& bytes)
    {
        CKStateChunk* chunk = CKCreateStateChunk(0);
        EXPECT_TRUE(chunk->ConvertFromBuffer(bytes.data(), (int) bytes.size()));
        return chunk;
    }

    // The next test context starts from nothing but the chunk; the temporary
    // folder is on the bitmap paths, as an engine file's included files are.
    void FreshContext()
    {
        ASSERT_EQ(CKCloseContext(m_Context), 0);
        ASSERT_EQ(CKCreateContext(&m_Context, nullptr, nullptr), 0);
        m_Context->GetPathManager()->AddPath(CKPathManager::BITMAP_PATH_IDX, XString(m_Dir.Path().c_str()));
    }

    TestTempDir m_Dir;
    int m_Included = 0;
};

} // namespace

TEST_F(BitmapDataTest, SlotsShareOneSizeExceptWhileTheFirstIsMade)
{
    CKBitmapData data(m_Context);
    EXPECT_EQ(data.GetBitmapFlags(), (CKDWORD) CKBITMAPDATA_NOIMAGE);
    ASSERT_TRUE(data.CreateImage(4, 2, 32, 0));
    EXPECT_EQ(data.GetBitmapFlags(), (CKDWORD) CKBITMAPDATA_MODIFIED);
    EXPECT_EQ(data.GetPixel(3, 1), 0xFF000000u) << "fresh pixels are black and opaque";
    EXPECT_TRUE(data.CreateImage(8, 8, 32, 0)) << "the only slot may change its size";
    EXPECT_TRUE(data.CreateImage(8, 8, 32, 2));
    EXPECT_EQ(data.GetSlotCount(), 3);
    EXPECT_FALSE(data.CreateImage(4, 8, 32, 1)) << "a second slot of another size";
    EXPECT_FALSE(data.CreateImage(4, 8, 32, 0)) << "slot 0 among others keeps the size";
    EXPECT_EQ(data.GetWidth(), 8);

    ASSERT_TRUE(data.ReleaseAllSlots());
    EXPECT_TRUE(data.CreateImage(5, 3, 32, 1)) << "with flag 0x1 any slot sets the size";
    EXPECT_EQ(data.GetWidth(), 5);
    CKBitmapData empty(m_Context);
    EXPECT_FALSE(empty.CreateImage(0, 3, 32, 0));
    EXPECT_TRUE(empty.GetBitmapFlags() & CKBITMAPDATA_NOIMAGE);

    CKBitmapData other(m_Context);
    EXPECT_FALSE(other.CreateImage(CK_MAX_IMAGE_DIMENSION + 1, 1, 32, 0));
    EXPECT_FALSE(other.CreateImage(1, 1, 32, CK_MAX_BITMAP_SLOTS));
    EXPECT_FALSE(other.CreateImage(1, 1, 32, -1));
    EXPECT_FALSE(other.SetSlotFileName(CK_MAX_BITMAP_SLOTS, "far.tst"));
    EXPECT_EQ(other.GetSlotCount(), 0);
    EXPECT_EQ(other.GetWidth(), -1) << "refused sizes change nothing";
}

TEST_F(BitmapDataTest, SlotIndicesPastTheEndMeanTheCurrentSlot)
{
    CKBitmapData data(m_Context);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(data.CreateImage(2, 2, 32, i));
    ASSERT_TRUE(data.SetCurrentSlot(2));
    EXPECT_EQ(data.GetSlotImageData(7), data.GetSlotImageData(2));
    EXPECT_EQ(data.GetSlotImageData(-1), data.GetSlotImageData(2));
    EXPECT_NE(data.GetSlotImageData(0), data.GetSlotImageData(2));
    EXPECT_FALSE(data.SetCurrentSlot(3));
    EXPECT_EQ(data.GetSlotFileName(3), nullptr);
    EXPECT_STREQ(data.GetSlotFileName(1), "");

    data.SetBitmapFlags(0);
    ASSERT_TRUE(data.RemoveSlot(2));
    EXPECT_EQ(data.GetCurrentSlot(), 1) << "the last index";
    EXPECT_TRUE(data.GetBitmapFlags() & CKBITMAPDATA_MODIFIED);
    EXPECT_FALSE(data.RemoveSlot(2));
    ASSERT_TRUE(data.SetSlotCount(0));
    EXPECT_TRUE(data.GetBitmapFlags() & CKBITMAPDATA_NOIMAGE);

    data.SetBitmapFlags(CKBITMAPDATA_NOIMAGE);
    ASSERT_TRUE(data.SetSlotFileName(4, "far.tst"));
    EXPECT_EQ(data.GetSlotCount(), 5);
    EXPECT_EQ(data.GetBitmapFlags(), (CKDWORD) CKBITMAPDATA_MODIFIED);
}

TEST_F(BitmapDataTest, PixelsOutsideTheImageOrWithoutDataReadAsZero)
{
    CKBitmapData data(m_Context);
    EXPECT_EQ(data.GetPixel(0, 0), 0u);
    ASSERT_TRUE(data.CreateImage(3, 2, 32, 0));
    ASSERT_TRUE(data.SetPixel(2, 1, 0x80123456));
    EXPECT_EQ(data.GetPixel(2, 1), 0x80123456u);
    const int outside[][2] = {{-1, 0}, {0, -1}, {3, 0}, {0, 2}, {100000, 0}, {0, -100000}};
    for (const auto& at : outside) {
        EXPECT_EQ(data.GetPixel(at[0], at[1]), 0u) << at[0] << "," << at[1];
        EXPECT_FALSE(data.SetPixel(at[0], at[1], 1));
    }
    EXPECT_EQ(data.GetPixel(0, 0, 1), 0u) << "no such slot";
    ASSERT_TRUE(data.FreeSlotPixels(0));
    EXPECT_EQ(data.GetPixel(2, 1), 0u);
    EXPECT_FALSE(data.SetPixel(2, 1, 1));
}

TEST_F(BitmapDataTest, PixelsOfAStoredFormatAreReadAndWrittenAsArgb)
{
    CKBitmapData data(m_Context);
    data.SetStoredFormat(_16_RGB565);
    data.SetSystemCaching(CKBITMAP_VIDEOSHADOW);
    ASSERT_TRUE(data.CreateImage(2, 2, 16, 0));
    ASSERT_TRUE(data.SetPixel(1, 1, 0xFFFF0000));
    EXPECT_EQ(data.GetPixel(1, 1), 0xFFF80000u) << "red through 5 bits";
    CKWORD stored;
    std::memcpy(&stored, data.GetSlotImageData(0) + 6, 2);
    EXPECT_EQ(stored, 0xF800);
    // Read as 32-bit, pixel (1, 1) would lie past the 8 bytes the slot holds.
    data.SetStoredFormat(_32_ARGB8888);
    EXPECT_EQ(data.GetPixel(1, 1), 0u);
    EXPECT_NE(data.GetPixel(1, 0), 0u);
}

TEST_F(BitmapDataTest, TransparentColorDropsTheLowestBitOfEveryChannel)
{
    CKBitmapData data(m_Context);
    data.SetTransparentColor(0x010101);
    std::vector<CKDWORD> pixels = {0xFF000000, 0x80010101, 0x12345679, 0x00FFFFFF};
    QxImageDesc image = QxMakeImageDesc32(2, 2);
    image.Image = reinterpret_cast<CKBYTE*>(pixels.data());
    data.ApplyTransparentColor(image);
    EXPECT_EQ(pixels, (std::vector<CKDWORD>{0x00000000, 0x00000000, 0xFF345678, 0xFFFEFEFE}));

    EXPECT_EQ(data.GetBitmapFlags() & CKBITMAPDATA_MODIFIED, 0u);
    data.SetTransparent(TRUE);
    EXPECT_EQ(data.GetBitmapFlags(),
              (CKDWORD) (CKBITMAPDATA_NOIMAGE | CKBITMAPDATA_TRANSPARENT | CKBITMAPDATA_MODIFIED));
    data.SetBitmapFlags(CKBITMAPDATA_TRANSPARENT);
    data.SetTransparentColor(0x010101);
    EXPECT_EQ(data.GetBitmapFlags(), (CKDWORD) CKBITMAPDATA_TRANSPARENT) << "the same colour";
    data.SetTransparentColor(0x020202);
    EXPECT_TRUE(data.GetBitmapFlags() & CKBITMAPDATA_MODIFIED);
    data.SetTransparent(FALSE);
    EXPECT_FALSE(data.IsTransparent());

    std::vector<CKDWORD> square(4 * 3, 0xFF808080);
    QxImageDesc border = QxMakeImageDesc32(4, 3);
    border.Image = reinterpret_cast<CKBYTE*>(square.data());
    data.SetBorderTransparent(border);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) {
            bool edge = x == 0 || x == 3 || y == 0 || y == 2;
            EXPECT_EQ(square[(size_t) (y * 4 + x)], edge ? 0x00808080u : 0xFF808080u) << x << "," << y;
        }
    EXPECT_TRUE(data.GetBitmapFlags() & CKBITMAPDATA_BORDERTRANSPARENT);
}

TEST_F(BitmapDataTest, SlotImagesAreReadThroughTheReaderOfTheirExtension)
{
    CKBitmapData data(m_Context);
    std::vector<CKDWORD> pixels = Picture(3, 2, 5);
    std::string path = TstFile("a.tst", 3, 2, pixels);
    ASSERT_TRUE(data.LoadSlotImage(path.c_str(), 0));
    EXPECT_EQ(SlotPixels(data, 0), pixels);
    EXPECT_STREQ(data.GetSlotFileName(0), path.c_str());
    ASSERT_NE(data.GetSaveFormat(), nullptr) << "the loaded format becomes the save format";
    EXPECT_EQ(data.GetSaveFormat()->m_ReaderGuid, TestReaderInfo("tst").m_GUID);
    EXPECT_EQ(data.GetSaveFormat()->m_Data, nullptr);

    EXPECT_FALSE(data.LoadSlotImage(m_Dir.File("missing.tst").c_str(), 2));
    EXPECT_EQ(data.GetSlotCount(), 1) << "the slot count is put back";
    EXPECT_FALSE(data.LoadSlotImage(m_Dir.File("a.xyz").c_str(), 1)) << "no reader";
    EXPECT_FALSE(data.LoadSlotImage(m_Dir.File("noextension").c_str(), 1));
    EXPECT_EQ(data.GetSlotCount(), 1);
    std::string other = TstFile("b.tst", 2, 2, Picture(2, 2, 1));
    EXPECT_FALSE(data.LoadSlotImage(other.c_str(), 1)) << "another size";
    EXPECT_EQ(data.GetSlotCount(), 1);
}

TEST_F(BitmapDataTest, A16BitImageInVideoShadowCachingBecomesTheDesiredFormat)
{
    std::vector<CKWORD> pixels = {0xF800, 0x07E0, 0x001F, 0xFFFF};
    std::string path = m_Dir.File("c.t16");
    WriteBytes(path, TestBitmapReader("t16").Encode(2, 2, pixels.data()));

    CKBitmapData data(m_Context);
    data.SetSystemCaching(CKBITMAP_VIDEOSHADOW);
    ASSERT_TRUE(data.LoadSlotImage(path.c_str(), 0));
    EXPECT_EQ(data.GetDesiredVideoFormat(), _16_RGB565);
    EXPECT_EQ(data.GetStoredFormat(), _16_RGB565);
    EXPECT_EQ(TestReaders().LastAsked.BitsPerPixel, 0) << "format 0 was asked for";
    EXPECT_EQ(std::memcmp(data.GetSlotImageData(0), pixels.data(), 8), 0) << "kept as read";
    EXPECT_EQ(SlotPixels(data, 0), (std::vector<CKDWORD>{0xFFF80000, 0xFF00FC00, 0xFF0000F8, 0xFFF8FCF8}));

    CKBitmapData argb(m_Context);
    ASSERT_TRUE(argb.LoadSlotImage(path.c_str(), 0));
    EXPECT_EQ(argb.GetDesiredVideoFormat(), 0);
    EXPECT_EQ(SlotPixels(argb, 0), SlotPixels(data, 0)) << "procedural caching converts to 32-bit ARGB";
}

TEST_F(BitmapDataTest, SaveImageHandsArgbToTheWriterAndMapsItsResult)
{
    CKBitmapData data(m_Context);
    data.SetStoredFormat(_16_RGB565);
    data.SetSystemCaching(CKBITMAP_VIDEOSHADOW);
    ASSERT_TRUE(data.CreateImage(2, 2, 16, 0));
    ASSERT_TRUE(data.SetPixel(0, 0, 0xFF00FF00));

    std::string name = m_Dir.File("out.tst");
    ASSERT_TRUE(data.SaveImage(name.c_str(), 0, FALSE));
    EXPECT_EQ(TestReaders().LastSaved.BitsPerPixel, 32);
    EXPECT_EQ(TestReaders().LastSaved.RedMask, 0x00FF0000u);
    CKBitmapData back(m_Context);
    ASSERT_TRUE(back.LoadSlotImage(name.c_str(), 0));
    EXPECT_EQ(back.GetPixel(0, 0), 0xFF00FC00u);

    TestReaders().SaveResult = 0;
    EXPECT_FALSE(data.SaveImage(name.c_str(), 0, FALSE)) << "the reader said it failed";
    TestReaders().SaveResult = 1;
    EXPECT_FALSE(data.SaveImage(m_Dir.File("out").c_str(), 0, FALSE)) << "\".bmp\": no reader here";
    EXPECT_FALSE(data.SaveImage(nullptr, 0, FALSE));

    // With the save format: its reader and its extension.
    CKBitmapProperties format;
    format.m_ReaderGuid = TestReaderInfo("tga").m_GUID;
    format.m_Ext.Set("tga");
    data.SetSaveFormat(&format);
    ASSERT_TRUE(data.SaveImage(m_Dir.File("other.tst").c_str(), 0, TRUE));
    EXPECT_TRUE(std::ifstream(m_Dir.File("other.tga")).good());
    format.m_Ext.Set("tgx"); // no plug-in has it: the GUID finds the reader
    data.SetSaveFormat(&format);
    ASSERT_TRUE(data.SaveImage(m_Dir.File("other.tst").c_str(), 0, TRUE));
    EXPECT_TRUE(std::ifstream(m_Dir.File("other.tgx")).good());

    CKBitmapData empty(m_Context);
    EXPECT_FALSE(empty.SaveImage(name.c_str(), 0, FALSE)) << "no pixels";
}

TEST(BitmapSaveResult, EachReaderHasItsOwnConvention)
{
    const CKGUID other(0x51, 0x52);
    struct Case
    {
        CKGUID reader;
        int result;
        bool saved;
    };
    const Case cases[] = {{CKBMP_READER_GUID, 0, false},
                          {CKBMP_READER_GUID, 5, false},
                          {CKBMP_READER_GUID, 58, true},
                          {CKTGA_READER_GUID, 5, false},
                          {CKTGA_READER_GUID, 19, true},
                          {CKJPG_READER_GUID, 1, true},
                          {CKJPG_READER_GUID, 0, false},
                          {CKPNG_READER_GUID, 1, true},
                          {CKPNG_READER_GUID, 300, false},
                          {CKTIF_READER_GUID, 0, true},
                          {CKTIF_READER_GUID, 1, false},
                          {CKPCX_READER_GUID, 0, false},
                          {CKDDS_READER_GUID, 127, false},
                          {CKDDS_READER_GUID, 2, false},
                          {CKDDS_READER_GUID, 144, true},
                          {other, 0, false},
                          {other, 3, true}};
    for (const Case& c : cases)
        EXPECT_EQ(CKIsBitmapSaved(c.reader, c.result), (CKBOOL) c.saved) << c.reader.d1 << " " << c.result;
}

TEST_F(BitmapDataTest, ResizeResamplesEverySlotWithoutLosingCachedPixels)
{
    CKBitmapData data(m_Context);
    ASSERT_TRUE(data.CreateImage(4, 4, 32, 0));
    ASSERT_TRUE(data.CreateImage(4, 4, 32, 1));
    ASSERT_TRUE(data.CreateImage(4, 4, 32, 2));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            data.SetPixel(x, y, 0xFF336699, 0);
            data.SetPixel(x, y, 0x80FFFFFF, 1);
        }
    data.FreeSlotPixels(2);
    EXPECT_TRUE(data.Resize(4, 4)) << "the same size";
    ASSERT_TRUE(data.Resize(8, 2));
    EXPECT_EQ(data.GetWidth(), 8);
    EXPECT_EQ(SlotPixels(data, 0), std::vector<CKDWORD>(16, 0xFF336699));
    EXPECT_EQ(SlotPixels(data, 1), std::vector<CKDWORD>(16, 0x80FFFFFF));
    EXPECT_EQ(SlotPixels(data, 2), std::vector<CKDWORD>(16, 0xFF000000)) << "a slot without pixels";
    EXPECT_FALSE(data.Resize(0, 2));
    EXPECT_FALSE(data.Resize(8, CK_MAX_IMAGE_DIMENSION + 1));

    // A reloadable file cached in 16 bits keeps its pixels, in 16 bits.
    CKBitmapData cached(m_Context);
    cached.SetSaveOptions(CKBITMAP_SAVEREFERENCES);
    cached.SetStoredFormat(_16_RGB565);
    cached.SetSystemCaching(CKBITMAP_VIDEOSHADOW);
    ASSERT_TRUE(cached.CreateImage(2, 2, 16, 0));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            cached.SetPixel(x, y, 0xFF0000FF);
    ASSERT_TRUE(cached.Resize(4, 4));
    EXPECT_EQ(cached.GetSystemCaching(), CKBITMAP_VIDEOSHADOW);
    ASSERT_NE(cached.GetSlotImageData(0), nullptr);
    EXPECT_EQ(SlotPixels(cached, 0), std::vector<CKDWORD>(16, 0xFF0000F8));

    CKBitmapData discard(m_Context);
    ASSERT_TRUE(discard.CreateImage(2, 2, 32, 0));
    discard.SetSystemCaching(CKBITMAP_DISCARD);
    EXPECT_FALSE(discard.Resize(4, 4));
    ASSERT_EQ(Console().size(), 1u);
    EXPECT_EQ(Console()[0], "Image can not be resized in discard mode. Resize the source image file.");
    CKBitmapData none(m_Context);
    EXPECT_FALSE(none.Resize(4, 4));
}

TEST_F(BitmapDataTest, SaveOptionsChooseTheSectionsOfTheChunk)
{
    struct Case
    {
        int options;
        bool withFile;
        bool encoded, raw;
    };
    const Case cases[] = {
        {CKBITMAP_SAVERAWDATA, true, false, true},     {CKBITMAP_SAVEREFERENCES, true, false, false},
        {CKBITMAP_SAVEFORMAT, true, true, false},      {CKBITMAP_SAVEINCLUDEFILES, true, false, false},
        {CKBITMAP_SAVEREFERENCES, false, false, true}, {CKBITMAP_SAVEFORMAT, false, false, true}};
    CKBitmapProperties format;
    format.m_ReaderGuid = TestReaderInfo("tst").m_GUID;
    format.m_Ext.Set("tst");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options * 10 + c.withFile);
        CKBitmapData data(m_Context);
        MakeThreeSlots(data);
        data.SetSaveOptions(c.options);
        data.SetSaveFormat(&format);
        std::vector<CKBYTE> bytes = Save(data, c.withFile);
        CKStateChunk* chunk = Chunk(bytes);
        EXPECT_EQ(chunk->SeekIdentifierAndReturnSize(kIds[kEncoded]) >= 0, c.encoded);
        EXPECT_EQ(chunk->SeekIdentifierAndReturnSize(kIds[kRaw]) >= 0, c.raw);
        EXPECT_LT(chunk->SeekIdentifierAndReturnSize(kIds[kMovie]), 0);
        // Names: the count, then three names of a length word and two words.
        EXPECT_EQ(chunk->SeekIdentifierAndReturnSize(kIds[kNames]), 4 * 10);
        EXPECT_EQ(chunk->ReadInt(), 3);
        EXPECT_STREQ(chunk->ReadXString().CStr(), "s0.tst");
        if (c.options == CKBITMAP_SAVEREFERENCES && c.withFile) {
            EXPECT_EQ(chunk->GetDataSize(), 4 * (2 + 1 + 3 * 3)) << "option 1 writes only the names";
        }
        if (c.withFile) {
            EXPECT_EQ(m_Included, c.options == CKBITMAP_SAVEINCLUDEFILES ? 3 : 0);
        }
        CKDeleteStateChunk(chunk);
    }
}

TEST_F(BitmapDataTest, EachSaveOptionReadsBackInAFreshContext)
{
    CKBitmapProperties format;
    format.m_ReaderGuid = TestReaderInfo("tst").m_GUID;
    format.m_Ext.Set("tst");
    for (int options :
         {CKBITMAP_SAVERAWDATA, CKBITMAP_SAVEREFERENCES, CKBITMAP_SAVEFORMAT, CKBITMAP_SAVEINCLUDEFILES}) {
        SCOPED_TRACE(options);
        std::vector<CKBYTE> bytes;
        {
            CKBitmapData data(m_Context);
            MakeThreeSlots(data);
            data.SetSaveOptions(options);
            data.SetSaveFormat(&format);
            bytes = Save(data);
        }
        FreshContext();
        CKBitmapData loaded(m_Context);
        CKStateChunk* chunk = Chunk(bytes);
        ASSERT_TRUE(loaded.ReadFromChunk(chunk, nullptr, kIds));
        CKDeleteStateChunk(chunk);
        ASSERT_EQ(loaded.GetSlotCount(), 3);
        EXPECT_EQ(loaded.GetWidth(), 4);
        EXPECT_EQ(loaded.GetBitmapFlags() & CKBITMAPDATA_NOIMAGE, 0u);
        for (int i = 0; i < 3; ++i) {
            std::string name = "s" + std::to_string(i) + ".tst";
            const std::string stored = loaded.GetSlotFileName(i);
            EXPECT_EQ(stored.substr(stored.size() - name.size()), name);
            EXPECT_EQ(SlotPixels(loaded, i), Picture(4, 2, i + 1)) << "slot " << i;
        }
    }
}

TEST_F(BitmapDataTest, AFileThatCannotBeIncludedTurnsTheSaveIntoRawData)
{
    CKBitmapData data(m_Context);
    MakeThreeSlots(data);
    std::remove(m_Dir.File("s1.tst").c_str());
    data.SetSaveOptions(CKBITMAP_SAVEINCLUDEFILES);
    std::vector<CKBYTE> bytes = Save(data);
    EXPECT_EQ(m_Included, 2);
    CKStateChunk* chunk = Chunk(bytes);
    ASSERT_GE(chunk->SeekIdentifierAndReturnSize(kIds[kRaw]), 0);
    EXPECT_EQ(chunk->ReadInt(), 3);
    QxImageDesc header;
    EXPECT_FALSE(chunk->ReadRawBitmapHeader(header)) << "slot 0 was included: an empty image";
    ASSERT_TRUE(chunk->ReadRawBitmapHeader(header));
    EXPECT_EQ(header.Width, 4);

    // Slot 1 comes from the chunk, slots 0 and 2 from their files.
    FreshContext();
    CKBitmapData loaded(m_Context);
    ASSERT_TRUE(loaded.ReadFromChunk(chunk, nullptr, kIds));
    CKDeleteStateChunk(chunk);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(SlotPixels(loaded, i), Picture(4, 2, i + 1)) << "slot " << i;
    EXPECT_EQ(std::string(loaded.GetSlotFileName(0)), m_Dir.File("s0.tst"));
    EXPECT_STREQ(loaded.GetSlotFileName(1), "s1.tst");
}

TEST_F(BitmapDataTest, DiscardCachingLoadsTheNamesOnly)
{
    CKBitmapData data(m_Context);
    MakeThreeSlots(data);
    data.SetSaveOptions(CKBITMAP_SAVEREFERENCES);
    std::vector<CKBYTE> bytes = Save(data);
    FreshContext();
    CKBitmapData loaded(m_Context);
    loaded.SetSystemCaching(CKBITMAP_DISCARD);
    CKStateChunk* chunk = Chunk(bytes);
    ASSERT_TRUE(loaded.ReadFromChunk(chunk, nullptr, kIds));
    CKDeleteStateChunk(chunk);
    ASSERT_EQ(loaded.GetSlotCount(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(std::string(loaded.GetSlotFileName(i)), m_Dir.File("s" + std::to_string(i) + ".tst"))
            << "stored resolved";
        EXPECT_EQ(loaded.GetSlotImageData(i), nullptr);
    }
    EXPECT_EQ(loaded.GetBitmapFlags() & CKBITMAPDATA_NOIMAGE, 0u);
    ASSERT_TRUE(loaded.ReadSlotImage(1, nullptr)) << "the owner reads them when it needs them";
    EXPECT_EQ(SlotPixels(loaded, 1), Picture(4, 2, 2));
}

TEST_F(BitmapDataTest, AMovieShowsItsFramesUpsideDownInSlotZero)
{
    CKBitmapData data(m_Context);
    ASSERT_TRUE(data.CreateImage(9, 9, 32, 0));
    ASSERT_TRUE(data.CreateImage(9, 9, 32, 1));
    ASSERT_TRUE(data.LoadMovieFile(XString(m_Dir.File("clip.tmv").c_str())));
    EXPECT_EQ(data.GetSlotCount(), TestMovieReader::kFrames);
    EXPECT_EQ(data.GetWidth(), TestMovieReader::kWidth);
    EXPECT_EQ(data.GetCurrentSlot(), 0);
    for (int frame : {11, 0, 16}) {
        data.SetBitmapFlags(0);
        ASSERT_TRUE(data.SetCurrentSlot(frame));
        EXPECT_EQ(data.GetCurrentSlot(), frame);
        EXPECT_TRUE(data.GetBitmapFlags() & CKBITMAPDATA_MODIFIED);
        for (int y = 0; y < TestMovieReader::kHeight; ++y)
            for (int x = 0; x < TestMovieReader::kWidth; ++x)
                EXPECT_EQ(data.GetPixel(x, y), TestMovieReader::Pixel(frame, x, y)) << frame << ": " << x << "," << y;
    }
    EXPECT_FALSE(data.SetCurrentSlot(-1));
    EXPECT_FALSE(data.SetCurrentSlot(TestMovieReader::kFrames));
    EXPECT_EQ(data.GetCurrentSlot(), 16) << "a frame that cannot be read is not shown";
    EXPECT_FALSE(data.SetSlotCount(2));
    EXPECT_FALSE(data.RemoveSlot(0));
    EXPECT_FALSE(data.Resize(10, 10));

    // Saved as the movie's name alone, and opened again from it.
    data.SetSaveOptions(CKBITMAP_SAVERAWDATA);
    std::vector<CKBYTE> bytes = Save(data);
    CKStateChunk* chunk = Chunk(bytes);
    ASSERT_GE(chunk->SeekIdentifierAndReturnSize(kIds[kMovie]), 0);
    EXPECT_STREQ(chunk->ReadXString().CStr(), "clip.tmv");
    EXPECT_LT(chunk->SeekIdentifierAndReturnSize(kIds[kNames]), 0);
    CKBitmapData loaded(m_Context);
    ASSERT_TRUE(loaded.ReadFromChunk(chunk, nullptr, kIds));
    CKDeleteStateChunk(chunk);
    EXPECT_EQ(loaded.GetSlotCount(), TestMovieReader::kFrames);
    EXPECT_EQ(loaded.GetPixel(1, 2), TestMovieReader::Pixel(0, 1, 2));

    // A movie that does not open keeps its name and shows nothing.
    ASSERT_FALSE(data.LoadMovieFile(XString("broken.tmv")));
    EXPECT_STREQ(data.GetMovieFileName(), "broken.tmv");
    EXPECT_EQ(data.GetSlotCount(), 0);
    EXPECT_EQ(data.GetMovieReader(), nullptr);
}

TEST_F(BitmapDataTest, BrokenSectionsLoadNoImageAndNeverReadPastTheChunk)
{
    CKBitmapData data(m_Context);
    MakeThreeSlots(data);
    CKBitmapProperties format;
    format.m_ReaderGuid = TestReaderInfo("tst").m_GUID;
    format.m_Ext.Set("tst");
    data.SetSaveFormat(&format);
    for (int options : {CKBITMAP_SAVERAWDATA, CKBITMAP_SAVEFORMAT}) {
        data.SetSaveOptions(options);
        CKStateChunk* whole = Chunk(Save(data));
        whole->StartRead();
        const CKDWORD* words = whole->LockReadBuffer(whole->GetDataSize() / 4);
        ASSERT_NE(words, nullptr);
        std::vector<CKDWORD> all(words, words + whole->GetDataSize() / 4);
        CKDeleteStateChunk(whole);
        // Every prefix of the data words.
        for (size_t n = 0; n <= all.size(); ++n) {
            CKStateChunk* cut = CKCreateStateChunk(31);
            cut->StartWrite();
            for (size_t i = 0; i < n; ++i)
                cut->WriteDword(all[i]);
            CKBitmapData loaded(m_Context);
            loaded.SetSystemCaching(CKBITMAP_DISCARD); // names are not opened
            EXPECT_TRUE(loaded.ReadFromChunk(cut, nullptr, kIds));
            EXPECT_LE(loaded.GetSlotCount(), 3);
            if (n == all.size()) {
                EXPECT_EQ(SlotPixels(loaded, 2), Picture(4, 2, 3)) << "the whole chunk";
            }
            CKDeleteStateChunk(cut);
        }
    }

    // Sizes no image has.
    for (int width : {0x7FFFFFFF, CK_MAX_IMAGE_DIMENSION + 1, -4, 0}) {
        CKStateChunk* chunk = CKCreateStateChunk(31);
        chunk->StartWrite();
        chunk->WriteIdentifier(kIds[kEncoded]);
        for (int v : {1, width, 2, 32, 0})
            chunk->WriteInt(v);
        CKBitmapData loaded(m_Context);
        loaded.SetSystemCaching(CKBITMAP_VIDEOSHADOW);
        EXPECT_TRUE(loaded.ReadFromChunk(chunk, nullptr, kIds));
        EXPECT_EQ(loaded.GetSlotImageData(0), nullptr) << width;
        CKDeleteStateChunk(chunk);
    }

    // Counts that the section cannot hold are refused.
    for (CKDWORD count : {0x7FFFFFFFu, 0xFFFFFFFFu, (CKDWORD) CK_MAX_BITMAP_SLOTS + 1, 5u}) {
        CKStateChunk* chunk = CKCreateStateChunk(31);
        chunk->StartWrite();
        chunk->WriteIdentifier(kIds[kRaw]);
        chunk->WriteDword(count);
        chunk->WriteDword(0);
        chunk->WriteIdentifier(kIds[kNames]);
        chunk->WriteDword(count);
        CKBitmapData loaded(m_Context);
        EXPECT_TRUE(loaded.ReadFromChunk(chunk, nullptr, kIds));
        EXPECT_EQ(loaded.GetSlotCount(), 0) << count;
        CKDeleteStateChunk(chunk);
    }
}

namespace {

// A class standing in for textures (class 31): a behavioural object with
// bitmap data.
class BitmapTestTexture : public CKBeObject
{
public:
    explicit BitmapTestTexture(CKContext* context) : CKBeObject(context), m_Bitmap(context) {}
    CK_CLASSID GetClassID() override { return m_ClassID; }

    CKBitmapData m_Bitmap;

    static CK_CLASSID m_ClassID;
    static void Register() {}
    static CKObject* CreateInstance(CKContext* context) { return new BitmapTestTexture(context); }
    static void ReleaseInstance(CKContext* context, CKObject* object) { CKReleaseObjectDefault(context, object); }
    static const char* GetClassName() { return "Bitmap Test Texture"; }
    static const char* GetDependencies(int, int) { return nullptr; }
    static int GetDependenciesCount(int) { return 0; }
};
CK_CLASSID BitmapTestTexture::m_ClassID = CKCID_TEXTURE;

CKBitmapData* BitmapOf(CKObject* object)
{
    return object && object->GetClassID() == CKCID_TEXTURE ? &static_cast<BitmapTestTexture*>(object)->m_Bitmap
                                                           : nullptr;
}

const CKFilePluginDependency* DependenciesOf(CKFile* file, int category)
{
    for (const CKFilePluginDependency& d : file->m_PluginsDep)
        if (d.m_PluginCategory == category)
            return &d;
    return nullptr;
}

} // namespace

TEST_F(BitmapDataTest, ASavedFileNeedsTheReadersOfItsBitmaps)
{
    StopEngine();
    ASSERT_EQ(CKStartUp(), 0);
    CKClassRegisterT<BitmapTestTexture, CKBeObject>("BitmapTestTexture");
    CKBuildClassHierarchyTable();
    ASSERT_EQ(CKCreateContext(&m_Context, nullptr, nullptr), 0);
    m_Started = true;
    RegisterTestReaders();
    CKBeObjectLinks links = CKGetBeObjectLinks();
    links.GetBitmapData = BitmapOf;
    CKSetBeObjectLinks(links);

    auto texture = [&](const char* name) {
        return static_cast<BitmapTestTexture*>(m_Context->CreateObject(CKCID_TEXTURE, name));
    };
    CKBitmapProperties tga;
    tga.m_ReaderGuid = TestReaderInfo("tga").m_GUID;
    BitmapTestTexture* own = texture("own format");
    own->m_Bitmap.SetSaveOptions(CKBITMAP_SAVEFORMAT);
    own->m_Bitmap.SetSaveFormat(&tga);
    BitmapTestTexture* movie = texture("movie");
    ASSERT_TRUE(movie->m_Bitmap.LoadMovieFile(XString("a.tmv")));
    BitmapTestTexture* global = texture("global format");
    CKBitmapProperties t16;
    t16.m_ReaderGuid = TestReaderInfo("t16").m_GUID;
    m_Context->SetGlobalImagesSaveFormat(&t16);

    for (int globalOptions : {CKBITMAP_SAVERAWDATA, CKBITMAP_SAVEFORMAT}) {
        m_Context->SetGlobalImagesSaveOptions(globalOptions);
        CKFile* file = m_Context->CreateCKFile();
        ASSERT_EQ(file->StartSave(m_Dir.File("bitmaps.qdx").c_str()), 0);
        for (CKObject* object : {(CKObject*) own, (CKObject*) movie, (CKObject*) global})
            file->SaveObject(object);
        ASSERT_EQ(file->EndSave(), 0);
        const CKFilePluginDependency* readers = DependenciesOf(file, CKPLUGIN_BITMAP_READER);
        ASSERT_NE(readers, nullptr);
        std::vector<CKGUID> expected = {TestReaderInfo("tga").m_GUID};
        if (globalOptions == CKBITMAP_SAVEFORMAT)
            expected.push_back(TestReaderInfo("t16").m_GUID);
        EXPECT_EQ(std::vector<CKGUID>(readers->m_Guids.Begin(), readers->m_Guids.End()), expected);
        const CKFilePluginDependency* movies = DependenciesOf(file, CKPLUGIN_MOVIE_READER);
        ASSERT_NE(movies, nullptr);
        EXPECT_EQ(movies->m_Guids.Size(), 1);
        EXPECT_EQ(movies->m_Guids[0], TestReaderInfo("tmv").m_GUID);
        m_Context->DeleteCKFile(file);
    }
}

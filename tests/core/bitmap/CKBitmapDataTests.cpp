#include "core/bitmap/CKBitmapData.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/bitmap/CKBitmapProperties.h"
#include "core/chunk/CKStateChunk.h"
#include "core/context/CKPathManager.h"
#include "core/file/CKFile.h"
#include "core/object/CKBeObject.h"
#include "core/object/CKBeObjectLinks.h"
#include "core/object/CKClassRegistry.h"
#include "system/image/QxPixelFormat.h"
#include "tests/core/support/CoreTestSupport.h"
#include "tests/core/support/TestBitmapReader.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPaths.h"

// Bitmap data with the test readers: slots, pixels, files, resizing, movies,
// its chunk sections, and the readers a saved file needs. The round trips
// with every save option and the engine's own readers are in the readers'
// tests.

namespace {

const CKDWORD kIds[5] = {0x10, 0x11, 0x12, 0x13, 0x14}; // movie, encoded, raw, names, older

std::vector<CKDWORD> Picture(int w, int h, CKDWORD seed)
{
    std::vector<CKDWORD> pixels;
    for (int i = 0; i < w * h; ++i)
        pixels.push_back(0xFF000000u | (seed * 0x00112233u + (CKDWORD) i * 0x00030507u));
    return pixels;
}

std::vector<CKDWORD> SlotPixels(const CKBitmapData& data, int slot)
{
    std::vector<CKDWORD> pixels;
    for (int y = 0; y < data.GetHeight(); ++y)
        for (int x = 0; x < data.GetWidth(); ++x)
            pixels.push_back(data.GetPixel(x, y, slot));
    return pixels;
}

CKBitmapProperties FormatOf(const char* extension)
{
    CKBitmapProperties format;
    format.m_ReaderGuid = TestReaderInfo(extension).m_GUID;
    format.m_Ext.Set(extension);
    return format;
}

class BitmapDataTest : public EngineFixture
{
protected:
    void SetUp() override
    {
        EngineFixture::SetUp();
        RegisterTestReaders();
    }

    // A file of the test reader of the name's extension.
    std::string File(const std::string& name, int w, int h, const void* pixels)
    {
        const std::string path = m_Dir.File(name);
        std::vector<CKBYTE> bytes = TestBitmapReader(name.substr(name.size() - 3).c_str()).Encode(w, h, pixels);
        TestWriteFile(path, std::string(bytes.begin(), bytes.end()));
        return path;
    }

    // Three 4 x 2 slots read from s0.tst, s1.tst, s2.tst.
    void MakeThreeSlots(CKBitmapData& data)
    {
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(data.LoadSlotImage(
                File("s" + std::to_string(i) + ".tst", 4, 2, Picture(4, 2, i + 1).data()).c_str(), i));
    }

    // A chunk holding the data saved with a file (or without one).
    CKStateChunk* Save(CKBitmapData& data, bool withFile = true)
    {
        CKFile* file = withFile ? m_Context->CreateCKFile() : nullptr;
        CKStateChunk* chunk = CKCreateStateChunk(31);
        chunk->StartWrite();
        EXPECT_TRUE(data.WriteToChunk(chunk, file, kIds));
        m_Included = file ? file->GetIncludedFileCount() : 0;
        m_Context->DeleteCKFile(file);
        chunk->CloseChunk();
        return chunk;
    }

    // A new context with the temporary folder on the bitmap paths, as an
    // engine file's included files are.
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
    ASSERT_TRUE(data.CreateImage(4, 2, 32, 0));
    EXPECT_EQ(data.GetBitmapFlags(), (CKDWORD) CKBITMAPDATA_MODIFIED) << "no longer without image";
    EXPECT_EQ(data.GetPixel(3, 1), 0xFF000000u) << "fresh pixels are black and opaque";
    EXPECT_TRUE(data.CreateImage(8, 8, 32, 0)) << "the only slot may change its size";
    EXPECT_TRUE(data.CreateImage(8, 8, 32, 2));
    EXPECT_FALSE(data.CreateImage(4, 8, 32, 1)) << "a second slot of another size";
    EXPECT_FALSE(data.CreateImage(4, 8, 32, 0)) << "slot 0 among others";
    EXPECT_EQ(data.GetSlotCount(), 3);
    ASSERT_TRUE(data.SetCurrentSlot(2));
    EXPECT_EQ(data.GetSlotImageData(7), data.GetSlotImageData(2)) << "past the end: the current slot";
    EXPECT_NE(data.GetSlotImageData(0), data.GetSlotImageData(2));
    ASSERT_TRUE(data.RemoveSlot(2));
    EXPECT_EQ(data.GetCurrentSlot(), 1);

    ASSERT_TRUE(data.ReleaseAllSlots());
    EXPECT_TRUE(data.CreateImage(5, 3, 32, 1)) << "with flag 0x1 any slot sets the size";
    EXPECT_EQ(data.GetWidth(), 5);

    CKBitmapData refused(m_Context);
    EXPECT_FALSE(refused.CreateImage(CK_MAX_IMAGE_DIMENSION + 1, 1, 32, 0));
    EXPECT_FALSE(refused.CreateImage(1, 1, 32, CK_MAX_BITMAP_SLOTS));
    EXPECT_FALSE(refused.SetSlotFileName(CK_MAX_BITMAP_SLOTS, "far.tst"));
    EXPECT_EQ(refused.GetWidth(), -1);
    EXPECT_FALSE(refused.CreateImage(0, 3, 32, 0));
    EXPECT_TRUE(refused.GetBitmapFlags() & CKBITMAPDATA_NOIMAGE);
}

TEST_F(BitmapDataTest, PixelsAreCheckedAgainstTheImageAndItsRealFormat)
{
    CKBitmapData data(m_Context);
    EXPECT_EQ(data.GetPixel(0, 0), 0u);
    ASSERT_TRUE(data.CreateImage(3, 2, 32, 0));
    ASSERT_TRUE(data.SetPixel(2, 1, 0x80123456));
    EXPECT_EQ(data.GetPixel(2, 1), 0x80123456u);
    for (const auto& at : {std::pair{-1, 0}, {0, -1}, {3, 0}, {0, 2}, {100000, 0}}) {
        EXPECT_EQ(data.GetPixel(at.first, at.second), 0u);
        EXPECT_FALSE(data.SetPixel(at.first, at.second, 1));
    }
    EXPECT_EQ(data.GetPixel(0, 0, 1), 0u) << "no such slot";
    ASSERT_TRUE(data.FreeSlotPixels(0));
    EXPECT_FALSE(data.SetPixel(2, 1, 1)) << "no pixels";

    // Kept as 16-bit 565: colours go through the format.
    CKBitmapData cached(m_Context);
    cached.SetStoredFormat(_16_RGB565);
    cached.SetSystemCaching(CKBITMAP_VIDEOSHADOW);
    ASSERT_TRUE(cached.CreateImage(2, 2, 16, 0));
    ASSERT_TRUE(cached.SetPixel(1, 1, 0xFFFF0000));
    EXPECT_EQ(cached.GetPixel(1, 1), 0xFFF80000u);
    CKWORD stored;
    std::memcpy(&stored, cached.GetSlotImageData(0) + 6, 2);
    EXPECT_EQ(stored, 0xF800);
    // Read as 32-bit, pixel (1, 1) would lie past the 8 bytes the slot holds.
    cached.SetStoredFormat(_32_ARGB8888);
    EXPECT_EQ(cached.GetPixel(1, 1), 0u);
    EXPECT_NE(cached.GetPixel(1, 0), 0u);
}

TEST_F(BitmapDataTest, TheColourKeyDropsTheLowestBitOfEveryChannel)
{
    CKBitmapData data(m_Context);
    data.SetTransparentColor(0x010101);
    std::vector<CKDWORD> pixels = {0xFF000000, 0x80010101, 0x12345679, 0x00FFFFFF};
    QxImageDesc image = QxMakeImageDesc32(2, 2);
    image.Image = reinterpret_cast<CKBYTE*>(pixels.data());
    data.ApplyTransparentColor(image);
    EXPECT_EQ(pixels, (std::vector<CKDWORD>{0x00000000, 0x00000000, 0xFF345678, 0xFFFEFEFE}));
}

TEST_F(BitmapDataTest, SlotFilesAreReadThroughTheReaderOfTheirExtension)
{
    CKBitmapData data(m_Context);
    std::vector<CKDWORD> pixels = Picture(3, 2, 5);
    std::string path = File("a.tst", 3, 2, pixels.data());
    ASSERT_TRUE(data.LoadSlotImage(path.c_str(), 0));
    EXPECT_EQ(SlotPixels(data, 0), pixels);
    EXPECT_STREQ(data.GetSlotFileName(0), path.c_str());
    ASSERT_NE(data.GetSaveFormat(), nullptr) << "the loaded format becomes the save format";
    EXPECT_EQ(data.GetSaveFormat()->m_ReaderGuid, TestReaderInfo("tst").m_GUID);
    EXPECT_EQ(data.GetSaveFormat()->m_Data, nullptr);
    for (const char* name : {"missing.tst", "a.xyz", "noextension"})
        EXPECT_FALSE(data.LoadSlotImage(m_Dir.File(name).c_str(), 2)) << name;
    EXPECT_FALSE(data.LoadSlotImage(File("b.tst", 2, 2, pixels.data()).c_str(), 1)) << "another size";
    EXPECT_EQ(data.GetSlotCount(), 1) << "the slot count is put back";

    // A 16-bit image in video-shadow caching becomes the desired format and
    // is kept as read.
    std::vector<CKWORD> p565 = {0xF800, 0x07E0, 0x001F, 0xFFFF};
    path = File("c.t16", 2, 2, p565.data());
    CKBitmapData cached(m_Context);
    cached.SetSystemCaching(CKBITMAP_VIDEOSHADOW);
    ASSERT_TRUE(cached.LoadSlotImage(path.c_str(), 0));
    EXPECT_EQ(cached.GetDesiredVideoFormat(), _16_RGB565);
    EXPECT_EQ(cached.GetStoredFormat(), _16_RGB565);
    EXPECT_EQ(std::memcmp(cached.GetSlotImageData(0), p565.data(), 8), 0);
    const std::vector<CKDWORD> argb = {0xFFF80000, 0xFF00FC00, 0xFF0000F8, 0xFFF8FCF8};
    EXPECT_EQ(SlotPixels(cached, 0), argb);
    CKBitmapData procedural(m_Context);
    ASSERT_TRUE(procedural.LoadSlotImage(path.c_str(), 0));
    EXPECT_EQ(procedural.GetDesiredVideoFormat(), 0);
    EXPECT_EQ(SlotPixels(procedural, 0), argb);
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
    CKBitmapData back(m_Context);
    ASSERT_TRUE(back.LoadSlotImage(name.c_str(), 0));
    EXPECT_EQ(back.GetPixel(0, 0), 0xFF00FC00u);

    TestReaders().SaveResult = 0;
    EXPECT_FALSE(data.SaveImage(name.c_str(), 0, FALSE)) << "the reader said it failed";
    TestReaders().SaveResult = 1;
    EXPECT_FALSE(data.SaveImage(m_Dir.File("out").c_str(), 0, FALSE)) << "\".bmp\": no reader here";
    EXPECT_FALSE(CKBitmapData(m_Context).SaveImage(name.c_str(), 0, FALSE)) << "no pixels";

    // The save format's reader and extension; the GUID finds the reader of
    // an extension no plug-in has.
    for (const char* extension : {"tga", "tgx"}) {
        CKBitmapProperties format = FormatOf("tga");
        format.m_Ext.Set(extension);
        data.SetSaveFormat(&format);
        ASSERT_TRUE(data.SaveImage(m_Dir.File("other.tst").c_str(), 0, TRUE));
        EXPECT_FALSE(TestReadFile(m_Dir.File(std::string("other.") + extension)).empty());
    }
}

TEST_F(BitmapDataTest, ResizeResamplesEverySlotWithoutLosingCachedPixels)
{
    CKBitmapData data(m_Context);
    for (int slot = 0; slot < 3; ++slot)
        ASSERT_TRUE(data.CreateImage(4, 4, 32, slot));
    for (int i = 0; i < 16; ++i)
        data.SetPixel(i % 4, i / 4, 0x80FFFFFF, 1);
    data.FreeSlotPixels(2);
    EXPECT_TRUE(data.Resize(4, 4)) << "the same size";
    ASSERT_TRUE(data.Resize(8, 2));
    EXPECT_EQ(data.GetWidth(), 8);
    EXPECT_EQ(SlotPixels(data, 1), std::vector<CKDWORD>(16, 0x80FFFFFF));
    EXPECT_EQ(SlotPixels(data, 2), std::vector<CKDWORD>(16, 0xFF000000)) << "a slot without pixels";
    EXPECT_FALSE(data.Resize(8, CK_MAX_IMAGE_DIMENSION + 1));

    // A reloadable file cached in 16 bits keeps its pixels, in 16 bits.
    CKBitmapData cached(m_Context);
    cached.SetSaveOptions(CKBITMAP_SAVEREFERENCES);
    cached.SetStoredFormat(_16_RGB565);
    cached.SetSystemCaching(CKBITMAP_VIDEOSHADOW);
    ASSERT_TRUE(cached.CreateImage(2, 2, 16, 0));
    for (int i = 0; i < 4; ++i)
        cached.SetPixel(i % 2, i / 2, 0xFF0000FF);
    ASSERT_TRUE(cached.Resize(4, 4));
    EXPECT_EQ(cached.GetSystemCaching(), CKBITMAP_VIDEOSHADOW);
    EXPECT_EQ(SlotPixels(cached, 0), std::vector<CKDWORD>(16, 0xFF0000F8));

    cached.SetSystemCaching(CKBITMAP_DISCARD);
    EXPECT_FALSE(cached.Resize(8, 8));
    ASSERT_EQ(Console().size(), 1u);
    EXPECT_EQ(Console()[0], "Image can not be resized in discard mode. Resize the source image file.");
    EXPECT_FALSE(CKBitmapData(m_Context).Resize(4, 4)) << "no slot";
}

TEST_F(BitmapDataTest, OptionOneWritesOnlyTheNamesAndWithoutAFileAllIsRaw)
{
    CKBitmapData data(m_Context);
    MakeThreeSlots(data);
    data.SetSaveOptions(CKBITMAP_SAVEREFERENCES);
    CKStateChunk* chunk = Save(data);
    // The identifier, the count, three names of a length word and two words.
    const CKDWORD* words = chunk->GetBuffer();
    ASSERT_EQ(words[0], 2u + 1 + 3 * 3);
    EXPECT_EQ(words[1], kIds[3]);
    EXPECT_EQ(words[3], 3u);
    EXPECT_EQ(words[4], 7u);
    EXPECT_EQ(std::memcmp(words + 5, "s0.tst", 7), 0);
    CKDeleteStateChunk(chunk);
    for (int options : {CKBITMAP_SAVEREFERENCES, CKBITMAP_SAVEFORMAT, CKBITMAP_SAVEINCLUDEFILES}) {
        data.SetSaveOptions(options);
        chunk = Save(data, false);
        EXPECT_GE(chunk->SeekIdentifierAndReturnSize(kIds[2]), 0) << options;
        CKDeleteStateChunk(chunk);
    }

    // Raw pixels read into 16-bit caching are kept in 16 bits.
    CKBitmapData cached(m_Context);
    cached.SetStoredFormat(_16_RGB565);
    cached.SetSystemCaching(CKBITMAP_VIDEOSHADOW);
    ASSERT_TRUE(cached.ReadFromChunk(chunk = Save(data, false), nullptr, kIds));
    CKDeleteStateChunk(chunk);
    EXPECT_EQ(cached.GetSlotCount(), 3);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(cached.GetPixel(i % 4, i / 4, 1), Picture(4, 2, 2)[(size_t) i] & 0xFFF8FCF8) << i;
}

TEST_F(BitmapDataTest, AFileThatCannotBeIncludedTurnsTheSaveIntoRawData)
{
    CKBitmapData data(m_Context);
    MakeThreeSlots(data);
    std::remove(m_Dir.File("s1.tst").c_str());
    data.SetSaveOptions(CKBITMAP_SAVEINCLUDEFILES);
    CKStateChunk* chunk = Save(data);
    EXPECT_EQ(m_Included, 2);
    ASSERT_GE(chunk->SeekIdentifierAndReturnSize(kIds[2]), 0);
    EXPECT_EQ(chunk->ReadInt(), 3);
    QxImageDesc header;
    EXPECT_FALSE(chunk->ReadRawBitmapHeader(header)) << "slot 0 was included: an empty image";

    // Slot 1 comes from the chunk, slots 0 and 2 from their files.
    FreshContext();
    CKBitmapData loaded(m_Context);
    ASSERT_TRUE(loaded.ReadFromChunk(chunk, nullptr, kIds));
    CKDeleteStateChunk(chunk);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(SlotPixels(loaded, i), Picture(4, 2, i + 1)) << "slot " << i;
    EXPECT_EQ(loaded.GetSlotFileName(0), m_Dir.File("s0.tst"));
    EXPECT_STREQ(loaded.GetSlotFileName(1), "s1.tst");
}

TEST_F(BitmapDataTest, DiscardCachingLoadsTheNamesOnly)
{
    CKBitmapData data(m_Context);
    MakeThreeSlots(data);
    data.SetSaveOptions(CKBITMAP_SAVEREFERENCES);
    CKStateChunk* chunk = Save(data);
    FreshContext();
    CKBitmapData loaded(m_Context);
    loaded.SetSystemCaching(CKBITMAP_DISCARD);
    ASSERT_TRUE(loaded.ReadFromChunk(chunk, nullptr, kIds));
    CKDeleteStateChunk(chunk);
    ASSERT_EQ(loaded.GetSlotCount(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(loaded.GetSlotFileName(i), m_Dir.File("s" + std::to_string(i) + ".tst")) << "stored resolved";
        EXPECT_EQ(loaded.GetSlotImageData(i), nullptr);
    }
    EXPECT_EQ(loaded.GetBitmapFlags() & CKBITMAPDATA_NOIMAGE, 0u);
    ASSERT_TRUE(loaded.ReadSlotImage(1, nullptr)) << "the owner reads them when it needs them";
    EXPECT_EQ(SlotPixels(loaded, 1), Picture(4, 2, 2));
}

TEST_F(BitmapDataTest, AMovieShowsItsFramesUpsideDownInSlotZero)
{
    CKBitmapData data(m_Context);
    ASSERT_TRUE(data.CreateImage(9, 9, 32, 1));
    ASSERT_TRUE(data.LoadMovieFile(XString(m_Dir.File("clip.tmv").c_str())));
    EXPECT_EQ(data.GetSlotCount(), TestMovieReader::kFrames) << "the movie replaces the slots";
    EXPECT_EQ(data.GetWidth(), TestMovieReader::kWidth);
    for (int frame : {11, 0, 16}) {
        data.SetBitmapFlags(0);
        ASSERT_TRUE(data.SetCurrentSlot(frame));
        EXPECT_EQ(data.GetCurrentSlot(), frame);
        EXPECT_TRUE(data.GetBitmapFlags() & CKBITMAPDATA_MODIFIED);
        for (int i = 0; i < TestMovieReader::kWidth * TestMovieReader::kHeight; ++i) {
            const int x = i % TestMovieReader::kWidth, y = i / TestMovieReader::kWidth;
            EXPECT_EQ(data.GetPixel(x, y), TestMovieReader::Pixel(frame, x, y)) << frame << ": " << x << "," << y;
        }
    }
    EXPECT_FALSE(data.SetCurrentSlot(-1));
    EXPECT_FALSE(data.SetCurrentSlot(TestMovieReader::kFrames));
    EXPECT_EQ(data.GetCurrentSlot(), 16) << "a frame that cannot be read is not shown";
    EXPECT_FALSE(data.SetSlotCount(2));
    EXPECT_FALSE(data.Resize(10, 10));

    // Saved as the movie's name alone, and opened again from it.
    CKStateChunk* chunk = Save(data);
    ASSERT_GE(chunk->SeekIdentifierAndReturnSize(kIds[0]), 0);
    EXPECT_STREQ(chunk->ReadXString().CStr(), "clip.tmv");
    EXPECT_LT(chunk->SeekIdentifierAndReturnSize(kIds[3]), 0);
    CKBitmapData loaded(m_Context);
    ASSERT_TRUE(loaded.ReadFromChunk(chunk, nullptr, kIds));
    CKDeleteStateChunk(chunk);
    EXPECT_EQ(loaded.GetSlotCount(), TestMovieReader::kFrames);
    EXPECT_EQ(loaded.GetPixel(1, 2), TestMovieReader::Pixel(0, 1, 2));

    // A movie that does not open keeps its name and shows nothing.
    ASSERT_FALSE(data.LoadMovieFile(XString("broken.tmv")));
    EXPECT_STREQ(data.GetMovieFileName(), "broken.tmv");
    EXPECT_EQ(data.GetSlotCount(), 0);
}

TEST_F(BitmapDataTest, BrokenSectionsLoadNoImageAndNeverReadPastTheChunk)
{
    CKBitmapData data(m_Context);
    MakeThreeSlots(data);
    const CKBitmapProperties format = FormatOf("tst");
    data.SetSaveFormat(&format);
    for (int options : {CKBITMAP_SAVERAWDATA, CKBITMAP_SAVEFORMAT}) {
        data.SetSaveOptions(options);
        CKStateChunk* whole = Save(data);
        const CKDWORD* words = whole->GetBuffer() + 1;
        // Every prefix of the data words.
        for (CKDWORD n = 0; n <= whole->GetBuffer()[0]; ++n) {
            CKStateChunk* cut = CKCreateStateChunk(31);
            cut->StartWrite();
            for (CKDWORD i = 0; i < n; ++i)
                cut->WriteDword(words[i]);
            CKBitmapData loaded(m_Context);
            loaded.SetSystemCaching(CKBITMAP_DISCARD); // names open no file
            EXPECT_TRUE(loaded.ReadFromChunk(cut, nullptr, kIds));
            EXPECT_LE(loaded.GetSlotCount(), 3);
            if (n == whole->GetBuffer()[0]) {
                EXPECT_EQ(SlotPixels(loaded, 2), Picture(4, 2, 3)) << "the whole chunk";
            }
            CKDeleteStateChunk(cut);
        }
        CKDeleteStateChunk(whole);
    }

    // Sizes no image has, and counts the section cannot hold.
    struct Case
    {
        CKDWORD id;
        std::vector<int> words;
    };
    for (const Case& c : {Case{kIds[1], {1, 0x7FFFFFFF, 2, 32, 0}}, Case{kIds[1], {1, -4, 2, 32, 0}},
                          Case{kIds[1], {1, CK_MAX_IMAGE_DIMENSION + 1, 1, 32, 0}}, Case{kIds[2], {0x7FFFFFFF, 0}},
                          Case{kIds[2], {-1, 0}}, Case{kIds[2], {5, 0}}, Case{kIds[3], {CK_MAX_BITMAP_SLOTS + 1}}}) {
        CKStateChunk* chunk = CKCreateStateChunk(31);
        chunk->StartWrite();
        chunk->WriteIdentifier(c.id);
        for (int v : c.words)
            chunk->WriteInt(v);
        CKBitmapData loaded(m_Context);
        loaded.SetSystemCaching(CKBITMAP_VIDEOSHADOW);
        EXPECT_TRUE(loaded.ReadFromChunk(chunk, nullptr, kIds));
        EXPECT_EQ(loaded.GetSlotImageData(0), nullptr) << c.words[0];
        EXPECT_LE(loaded.GetSlotCount(), 1);
        CKDeleteStateChunk(chunk);
    }
}

namespace {

// Stands in for textures (class 31): a behavioural object with bitmap data.
class BitmapTestTexture : public CKClass<BitmapTestTexture, CKBeObject, CKCID_TEXTURE>
{
public:
    explicit BitmapTestTexture(CKContext* context) : CKClass(context), m_Bitmap(context) {}
    CKBitmapData m_Bitmap;

    static const char* GetClassName() { return "Bitmap Test Texture"; }
};

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
    links.GetBitmapData = [](CKObject* object) { return &static_cast<BitmapTestTexture*>(object)->m_Bitmap; };
    CKSetBeObjectLinks(links);

    XArray<CKObject*> textures;
    for (int i = 0; i < 3; ++i)
        textures.PushBack(m_Context->CreateObject(CKCID_TEXTURE));
    CKBitmapData& own = static_cast<BitmapTestTexture*>(textures[0])->m_Bitmap;
    own.SetSaveOptions(CKBITMAP_SAVEFORMAT);
    const CKBitmapProperties tga = FormatOf("tga"), t16 = FormatOf("t16");
    own.SetSaveFormat(&tga);
    ASSERT_TRUE(static_cast<BitmapTestTexture*>(textures[1])->m_Bitmap.LoadMovieFile(XString("a.tmv")));
    m_Context->SetGlobalImagesSaveFormat(&t16); // the third uses the global setting

    for (int global : {CKBITMAP_SAVERAWDATA, CKBITMAP_SAVEFORMAT}) {
        m_Context->SetGlobalImagesSaveOptions(global);
        CKFile* file = m_Context->CreateCKFile();
        ASSERT_EQ(file->StartSave(m_Dir.File("bitmaps.qdx").c_str()), 0);
        file->SaveObjects(textures.Begin(), textures.Size());
        ASSERT_EQ(file->EndSave(), 0);
        std::vector<CKGUID> readers = {tga.m_ReaderGuid}, movies = {TestReaderInfo("tmv").m_GUID};
        if (global == CKBITMAP_SAVEFORMAT)
            readers.push_back(t16.m_ReaderGuid);
        ASSERT_EQ(file->m_PluginsDep.Size(), 2);
        EXPECT_EQ(file->m_PluginsDep[0].m_PluginCategory, (int) CKPLUGIN_BITMAP_READER);
        EXPECT_EQ(std::vector<CKGUID>(file->m_PluginsDep[0].m_Guids.Begin(), file->m_PluginsDep[0].m_Guids.End()),
                  readers);
        EXPECT_EQ(file->m_PluginsDep[1].m_PluginCategory, (int) CKPLUGIN_MOVIE_READER);
        EXPECT_EQ(std::vector<CKGUID>(file->m_PluginsDep[1].m_Guids.Begin(), file->m_PluginsDep[1].m_Guids.End()),
                  movies);
        m_Context->DeleteCKFile(file);
    }
}

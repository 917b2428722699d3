#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/bitmap/CKBitmapData.h"
#include "core/bitmap/CKBitmapProperties.h"
#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKPathManager.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "core/file/CKFile.h"
#include "readers/imagereader/ImageReaderPlugin.h"
#include "readers/jpeg/JpgReaderPlugin.h"
#include "readers/pcx/PcxReader.h"
#include "readers/png/PngReaderPlugin.h"
#include "readers/tiff/TiffReaderPlugin.h"
#include "system/image/QxBlitter.h"
#include "system/image/QxPixelFormat.h"
#include "system/memory/QxAlignedAlloc.h"
#include "tests/core/support/TextureCodecTestEncoder.h"
#include "tests/readers/support/ReaderTestSupport.h"
#include "tests/support/TestPaths.h"

// Bitmap data and the bitmap forms of chunks with the engine's own readers:
// three slots saved with each save option and each reader, and the older
// format-named images.

namespace {

const CKDWORD kIds[5] = {0x10, 0x11, 0x12, 0x13, 0x14};
constexpr int kWidth = 32, kHeight = 16;

// A smooth picture per slot (JPEG keeps it close), with varying alpha.
std::vector<CKDWORD> SlotPicture(int slot)
{
    std::vector<CKDWORD> pixels;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            pixels.push_back((CKDWORD) (255 - x * 3 - slot * 20) << 24 | (CKDWORD) (x * 5 + slot * 30) << 16 |
                             (CKDWORD) (y * 15) << 8 | (CKDWORD) (90 + slot * 40));
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

void RegisterReaders()
{
    CKPluginManager* pm = CKGetPluginManager();
    RegisterImageReaderPlugin(pm);
    pm->RegisterPlugin(0, CKGetPngPluginInfo(0), nullptr, CKGetPngReader);
    pm->AddStaticDll("PNG Reader", 1);
    pm->RegisterPlugin(0, CKGetJpgPluginInfo(0), nullptr, CKGetJpgReader);
    pm->AddStaticDll("JPG Reader", 1);
    pm->RegisterPlugin(0, CKGetTiffPluginInfo(0), nullptr, CKGetTiffReader);
    pm->AddStaticDll("Tiff Reader", 1);
}

class BitmapDataReaders : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(CKStartUp(), 0);
        RegisterReaders();
        ASSERT_EQ(CKCreateContext(&m_Context, nullptr, nullptr), 0);
    }
    void TearDown() override
    {
        EXPECT_EQ(CKCloseContext(m_Context), 0);
        EXPECT_EQ(CKShutdown(), 0);
    }

    // Three slots whose files are PNG files of the folder (s0.png ...).
    void MakeThreeSlots(CKBitmapData& data)
    {
        for (int slot = 0; slot < 3; ++slot) {
            ASSERT_TRUE(data.CreateImage(kWidth, kHeight, 32, slot));
            std::vector<CKDWORD> pixels = SlotPicture(slot);
            for (int i = 0; i < kWidth * kHeight; ++i)
                data.SetPixel(i % kWidth, i / kWidth, pixels[(size_t) i], slot);
            std::string path = m_Dir.File("s" + std::to_string(slot) + ".png");
            ASSERT_TRUE(data.SaveImage(path.c_str(), slot, FALSE));
            data.SetSlotFileName(slot, path.c_str());
        }
    }

    // The default save record of a reader.
    static CKBitmapProperties DefaultsOf(const char* extension)
    {
        CKBitmapReader* reader = static_cast<CKBitmapReader*>(CKGetPluginManager()->GetBitmapReader(extension));
        EXPECT_NE(reader, nullptr) << extension;
        CKBitmapProperties* defaults = nullptr;
        if (reader)
            reader->GetBitmapDefaultProperties(&defaults);
        CKBitmapProperties copy = defaults ? *defaults : CKBitmapProperties();
        if (reader)
            reader->Release();
        return copy;
    }

    void FreshContext()
    {
        ASSERT_EQ(CKCloseContext(m_Context), 0);
        ASSERT_EQ(CKCreateContext(&m_Context, nullptr, nullptr), 0);
        m_Context->GetPathManager()->AddPath(CKPathManager::BITMAP_PATH_IDX, XString(m_Dir.Path().c_str()));
    }

    CKContext* m_Context = nullptr;
    TestTempDir m_Dir;
};

CKStateChunk* ChunkOf(const std::vector<CKBYTE>& bytes)
{
    CKStateChunk* chunk = CKCreateStateChunk(0);
    EXPECT_TRUE(chunk->ConvertFromBuffer(bytes.data(), (int) bytes.size()));
    return chunk;
}

// Mean and largest difference of the colour channels.
void ColourError(const std::vector<CKDWORD>& a, const std::vector<CKDWORD>& b, double& mean, int& largest)
{
    mean = 0;
    largest = 0;
    for (size_t i = 0; i < a.size(); ++i)
        for (int s : {0, 8, 16}) {
            int d = std::abs((int) (a[i] >> s & 0xFF) - (int) (b[i] >> s & 0xFF));
            mean += d;
            largest = d > largest ? d : largest;
        }
    mean /= (double) a.size() * 3;
}

} // namespace

TEST_F(BitmapDataReaders, ThreeSlotsComeBackWithEachSaveOptionAndEachReader)
{
    struct Case
    {
        int options;
        const char* reader; // the save format's reader for option 2
        bool lossy;
    };
    const Case cases[] = {{CKBITMAP_SAVERAWDATA, "", false},     {CKBITMAP_SAVEREFERENCES, "", false},
                          {CKBITMAP_SAVEFORMAT, "bmp", false},   {CKBITMAP_SAVEFORMAT, "tga", false},
                          {CKBITMAP_SAVEFORMAT, "pcx", false},   {CKBITMAP_SAVEFORMAT, "png", false},
                          {CKBITMAP_SAVEFORMAT, "jpg", true},    {CKBITMAP_SAVEFORMAT, "tif", false},
                          {CKBITMAP_SAVEINCLUDEFILES, "", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.options) + " " + c.reader);
        std::vector<CKBYTE> bytes;
        int included = 0;
        {
            CKBitmapData data(m_Context);
            MakeThreeSlots(data);
            data.SetSaveOptions(c.options);
            if (*c.reader) {
                CKBitmapProperties format = DefaultsOf(c.reader);
                data.SetSaveFormat(&format);
            }
            CKFile* file = m_Context->CreateCKFile();
            CKStateChunk* chunk = CKCreateStateChunk(31);
            chunk->StartWrite();
            ASSERT_TRUE(data.WriteToChunk(chunk, file, kIds));
            included = file->GetIncludedFileCount();
            m_Context->DeleteCKFile(file);
            bytes.resize((size_t) chunk->ConvertToBuffer(nullptr));
            chunk->ConvertToBuffer(bytes.data());
            CKDeleteStateChunk(chunk);
        }
        EXPECT_EQ(included, c.options == CKBITMAP_SAVEINCLUDEFILES ? 3 : 0);

        FreshContext();
        CKStateChunk* chunk = ChunkOf(bytes);
        const bool namesOnly = c.options == CKBITMAP_SAVEREFERENCES || c.options == CKBITMAP_SAVEINCLUDEFILES;
        EXPECT_EQ(chunk->SeekIdentifierAndReturnSize(kIds[1]) >= 0, c.options == CKBITMAP_SAVEFORMAT);
        EXPECT_EQ(chunk->SeekIdentifierAndReturnSize(kIds[2]) >= 0, c.options == CKBITMAP_SAVERAWDATA);
        EXPECT_GE(chunk->SeekIdentifierAndReturnSize(kIds[3]), 0);
        CKBitmapData loaded(m_Context);
        ASSERT_TRUE(loaded.ReadFromChunk(chunk, nullptr, kIds));
        CKDeleteStateChunk(chunk);
        ASSERT_EQ(loaded.GetSlotCount(), 3);
        ASSERT_EQ(loaded.GetWidth(), kWidth);
        ASSERT_EQ(loaded.GetHeight(), kHeight);
        for (int slot = 0; slot < 3; ++slot) {
            SCOPED_TRACE(slot);
            const std::string name = "s" + std::to_string(slot) + ".png";
            const std::string stored = loaded.GetSlotFileName(slot);
            // Images read from their files keep the path they were found at.
            const bool fromFile = namesOnly || std::string(c.reader) == "pcx";
            EXPECT_EQ(stored, fromFile ? m_Dir.File(name) : name);
            const std::vector<CKDWORD> expected = SlotPicture(slot);
            const std::vector<CKDWORD> pixels = SlotPixels(loaded, slot);
            if (!c.lossy) {
                EXPECT_EQ(pixels, expected);
                continue;
            }
            double mean;
            int largest;
            ColourError(pixels, expected, mean, largest);
            EXPECT_LT(mean, 3.0);
            EXPECT_LT(largest, 24);
            for (size_t i = 0; i < pixels.size(); ++i)
                ASSERT_EQ(pixels[i] >> 24, expected[i] >> 24) << "alpha is kept apart from the JPEG";
        }
    }
}

TEST_F(BitmapDataReaders, AReaderBitmapIsKeptInTheWantedFormatOrConvertedToArgb)
{
    std::vector<CKDWORD> pixels = SlotPicture(1);
    QxImageDesc image = QxMakeImageDesc32(kWidth, kHeight);
    image.Image = reinterpret_cast<CKBYTE*>(pixels.data());
    CKBitmapReader* bmp = static_cast<CKBitmapReader*>(CKGetPluginManager()->GetBitmapReader("bmp"));
    ASSERT_NE(bmp, nullptr);
    CKBitmapProperties properties = DefaultsOf("bmp");
    CKStateChunk* chunk = CKCreateStateChunk(31);
    chunk->StartWrite();
    chunk->WriteReaderBitmap(image, bmp, &properties);
    bmp->Release();

    struct Case
    {
        int format;
        int bits; // of the pixels handed back
    };
    for (const Case& c : {Case{_24_RGB888, 24}, Case{_16_RGB565, 32}, Case{_32_ARGB8888, 32}}) {
        SCOPED_TRACE(c.format);
        chunk->StartRead();
        QxImageDesc wanted;
        QxPixelFormat2ImageDesc(c.format, wanted);
        ASSERT_EQ(chunk->ReadReaderBitmap(wanted, CKSTATECHUNK_ALLOCATEPIXELS), 1);
        EXPECT_EQ(wanted.BitsPerPixel, c.bits);
        EXPECT_EQ(wanted.Width, kWidth);
        ASSERT_NE(wanted.Image, nullptr);
        QxImageDesc argb = QxMakeImageDesc32(kWidth, kHeight);
        std::vector<CKDWORD> back((size_t) kWidth * kHeight);
        argb.Image = reinterpret_cast<CKBYTE*>(back.data());
        ASSERT_TRUE(QxDoBlit(wanted, argb));
        for (size_t i = 0; i < back.size(); ++i)
            ASSERT_EQ(back[i] & 0xFFFFFF, pixels[i] & 0xFFFFFF) << i;
        if (c.bits == 32) {
            EXPECT_EQ(back, pixels) << "the alpha map is put back";
        }
        QxDeleteAligned(wanted.Image);
    }
    CKDeleteStateChunk(chunk);
}

TEST_F(BitmapDataReaders, FormatNamedImagesReadThroughTheReaderOfTheirName)
{
    std::vector<CKDWORD> pixels = SlotPicture(2);
    struct Case
    {
        const char* tag; // "" for a bare TGA file
        const char* reader;
    };
    const std::vector<CorpusFile> pcx = BuildPcxCorpus();
    for (const Case& c : {Case{"CKTGA", "tga"}, Case{"ckbmp", "bmp"}, Case{"CKDIB", "bmp"}, Case{"CKPNG", ""},
                          Case{"", "tga"}, Case{"CKPCX", "pcx"}}) {
        SCOPED_TRACE(c.tag);
        std::vector<CKBYTE> encoded;
        RgbaImage expected;
        if (std::string(c.tag) == "CKPCX") {
            // Paletted: the colour map stays with the reader.
            for (const CorpusFile& f : pcx)
                if (f.name == "pcx_8_rle.pcx") {
                    encoded = f.bytes;
                    PcxReader reader;
                    expected = DecodeWith(reader, f.bytes);
                }
            ASSERT_FALSE(encoded.empty());
        } else {
            const char* extension = *c.reader ? c.reader : "tga";
            CKBitmapReader* reader = static_cast<CKBitmapReader*>(CKGetPluginManager()->GetBitmapReader(extension));
            ASSERT_NE(reader, nullptr);
            CKBitmapProperties p = DefaultsOf(extension);
            encoded = SaveToBytes(*reader, ArgbRecord(p, pixels, kWidth, kHeight));
            expected = DecodeWith(*reader, encoded);
            reader->Release();
        }
        std::vector<CKBYTE> buffer(c.tag, c.tag + std::string(c.tag).size());
        buffer.insert(buffer.end(), encoded.begin(), encoded.end());
        CKStateChunk* chunk = CKCreateStateChunk(31);
        chunk->StartWrite();
        chunk->WriteIdentifier(kIds[4]);
        chunk->WriteInt(1);
        chunk->WriteInt(0);
        chunk->WriteBuffer((int) buffer.size(), buffer.data());
        chunk->WriteIdentifier(kIds[3]);
        chunk->WriteInt(1);
        chunk->WriteString("old.tga");

        CKBitmapData data(m_Context);
        ASSERT_TRUE(data.ReadFromChunk(chunk, nullptr, kIds));
        CKDeleteStateChunk(chunk);
        if (!*c.reader) {
            // "CKPNG" names no format: the whole buffer is taken as a TGA file.
            EXPECT_EQ(data.GetSlotImageData(0), nullptr);
            continue;
        }
        ASSERT_EQ(data.GetWidth(), expected.width);
        EXPECT_STREQ(data.GetSlotFileName(0), "old.tga");
        EXPECT_EQ(SlotPixels(data, 0), expected.pixels);
    }
}

namespace {

// A seed of fuzz/fuzz_state_chunk: control byte 0, a script, the chunk.
std::vector<CKBYTE> StateChunkSeed(CKStateChunk* chunk, const std::vector<CKBYTE>& script)
{
    std::vector<CKBYTE> seed = {0, (CKBYTE) script.size()};
    seed.insert(seed.end(), script.begin(), script.end());
    std::vector<CKBYTE> bytes((size_t) chunk->ConvertToBuffer(nullptr));
    chunk->ConvertToBuffer(bytes.data());
    seed.insert(seed.end(), bytes.begin(), bytes.end());
    return seed;
}

} // namespace

// Writes seeds of the state-chunk fuzz target with bitmap data sections
// (identifiers 1 to 5) into $FUZZ_SEEDS_OUT/state_chunk/ (run once, the
// output is committed under fuzz/corpus/):
//   FUZZ_SEEDS_OUT=fuzz/corpus readers_tests --gtest_also_run_disabled_tests
//   --gtest_filter='*WriteBitmapChunkSeeds*'
TEST_F(BitmapDataReaders, DISABLED_WriteBitmapChunkSeeds)
{
    const char* root = std::getenv("FUZZ_SEEDS_OUT");
    ASSERT_NE(root, nullptr);
    const std::string folder = std::string(root) + "/state_chunk/";
    const CKDWORD ids[5] = {1, 2, 3, 4, 5};
    // Read the bitmap data in video-shadow caching as 16-bit 565, then the
    // first encoded image into 565 pixels.
    const std::vector<CKBYTE> script = {32, 1 | _16_RGB565 << 1, 17, 2, 16, 4, 31, _16_RGB565};
    struct Case
    {
        const char* name;
        int options;
        const char* reader;
    };
    for (const Case& c :
         {Case{"bitmap_bmp", CKBITMAP_SAVEFORMAT, "bmp"}, Case{"bitmap_tga", CKBITMAP_SAVEFORMAT, "tga"},
          Case{"bitmap_png", CKBITMAP_SAVEFORMAT, "png"}, Case{"bitmap_jpg", CKBITMAP_SAVEFORMAT, "jpg"},
          Case{"bitmap_tif", CKBITMAP_SAVEFORMAT, "tif"}, Case{"bitmap_raw", CKBITMAP_SAVERAWDATA, ""},
          Case{"bitmap_names", CKBITMAP_SAVEREFERENCES, ""}}) {
        CKBitmapData data(m_Context);
        for (int slot = 0; slot < 2; ++slot) {
            ASSERT_TRUE(data.CreateImage(4, 4, 32, slot));
            for (int i = 0; i < 16; ++i)
                data.SetPixel(i % 4, i / 4, SlotPicture(slot)[(size_t) i], slot);
            data.SetSlotFileName(slot, slot ? "b.png" : "a.png");
        }
        data.SetSaveOptions(c.options);
        if (*c.reader) {
            CKBitmapProperties format = DefaultsOf(c.reader);
            data.SetSaveFormat(&format);
        }
        CKFile* file = m_Context->CreateCKFile();
        CKStateChunk* chunk = CKCreateStateChunk(31);
        chunk->StartWrite();
        data.WriteToChunk(chunk, file, ids);
        m_Context->DeleteCKFile(file);
        ASSERT_TRUE(SaveFileBytes(folder + c.name, StateChunkSeed(chunk, script)));
        CKDeleteStateChunk(chunk);
    }

    // The older form: format-named buffers.
    CKStateChunk* chunk = CKCreateStateChunk(31);
    chunk->StartWrite();
    chunk->WriteIdentifier(5);
    chunk->WriteInt(2);
    std::vector<CKDWORD> pixels = SlotPicture(0);
    pixels.resize(16);
    CKBitmapReader* tga = static_cast<CKBitmapReader*>(CKGetPluginManager()->GetBitmapReader("tga"));
    std::vector<CKBYTE> named = {'C', 'K', 'T', 'G', 'A'};
    const std::vector<CKBYTE> tgaBytes = SaveToBytes(*tga, ArgbRecord(DefaultsOf("tga"), pixels, 4, 4));
    tga->Release();
    named.insert(named.end(), tgaBytes.begin(), tgaBytes.end());
    chunk->WriteInt(0);
    chunk->WriteBuffer((int) named.size(), named.data());
    for (const CorpusFile& f : BuildPcxCorpus())
        if (f.name == "pcx_4planes_rle.pcx") {
            named = {'C', 'K', 'P', 'C', 'X'};
            named.insert(named.end(), f.bytes.begin(), f.bytes.end());
        }
    chunk->WriteInt(0);
    chunk->WriteBuffer((int) named.size(), named.data());
    ASSERT_TRUE(SaveFileBytes(folder + "format_named", StateChunkSeed(chunk, {32, 0, 17, 5, 16, 1, 29, 0})));
    CKDeleteStateChunk(chunk);

    // Raw planes coded by the texture codec.
    chunk = CKCreateStateChunk(31);
    chunk->StartWrite();
    chunk->WriteIdentifier(3);
    chunk->WriteInt(1);
    for (CKDWORD v : {32u, 8u, 8u, 0u, 0xFF0000u, 0xFF00u, 0xFFu, 1u})
        chunk->WriteDword(v);
    for (int c = 0; c < 3; ++c) {
        std::vector<uint8_t> plane(64);
        for (int i = 0; i < 64; ++i)
            plane[(size_t) i] = (uint8_t) (i * 3 + c * 50);
        std::vector<uint8_t> coded = EncodeTexturePlane(plane.data(), 8, 8, 80);
        chunk->WriteBuffer((int) coded.size(), coded.data());
    }
    chunk->WriteDword(0);
    ASSERT_TRUE(SaveFileBytes(folder + "coded_planes", StateChunkSeed(chunk, {32, 0, 17, 3, 16, 1, 30, 0})));
    CKDeleteStateChunk(chunk);
}

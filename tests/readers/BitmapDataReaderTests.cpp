#include <cstring>
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
#include "readers/png/PngReaderPlugin.h"
#include "readers/tiff/TiffReaderPlugin.h"
#include "system/image/QxPixelFormat.h"
#include "tests/readers/support/ReaderTestSupport.h"
#include "tests/support/TestPaths.h"

// Bitmap data and the bitmap forms of chunks with the engine's own readers:
// three slots saved with each save option and each reader, and the older
// format-named images.

namespace {

const CKDWORD kIds[5] = {0x10, 0x11, 0x12, 0x13, 0x14}; // movie, encoded, raw, names, older
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
    for (int i = 0; i < data.GetWidth() * data.GetHeight(); ++i)
        pixels.push_back(data.GetPixel(i % data.GetWidth(), i / data.GetWidth(), slot));
    return pixels;
}

CKBitmapReader* ReaderOf(const char* extension)
{
    return static_cast<CKBitmapReader*>(CKGetPluginManager()->GetBitmapReader(extension));
}

// The default save record of a reader.
CKBitmapProperties DefaultsOf(const char* extension)
{
    CKBitmapReader* reader = ReaderOf(extension);
    CKBitmapProperties* defaults = nullptr;
    reader->GetBitmapDefaultProperties(&defaults);
    CKBitmapProperties copy = *defaults;
    reader->Release();
    return copy;
}

class BitmapDataReaders : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(CKStartUp(), 0);
        CKPluginManager* pm = CKGetPluginManager();
        RegisterImageReaderPlugin(pm);
        pm->RegisterPlugin(0, CKGetPngPluginInfo(0), nullptr, CKGetPngReader);
        pm->AddStaticDll("PNG Reader", 1);
        pm->RegisterPlugin(0, CKGetJpgPluginInfo(0), nullptr, CKGetJpgReader);
        pm->AddStaticDll("JPG Reader", 1);
        pm->RegisterPlugin(0, CKGetTiffPluginInfo(0), nullptr, CKGetTiffReader);
        pm->AddStaticDll("Tiff Reader", 1);
        ASSERT_EQ(CKCreateContext(&m_Context, nullptr, nullptr), 0);
    }
    void TearDown() override
    {
        EXPECT_EQ(CKCloseContext(m_Context), 0);
        EXPECT_EQ(CKShutdown(), 0);
    }

    // Slots of SlotPicture whose files are PNG files of the folder (s0.png ...).
    void MakeSlots(CKBitmapData& data, int count)
    {
        for (int slot = 0; slot < count; ++slot) {
            ASSERT_TRUE(data.CreateImage(kWidth, kHeight, 32, slot));
            std::vector<CKDWORD> pixels = SlotPicture(slot);
            std::memcpy(data.GetSlotImageData(slot), pixels.data(), pixels.size() * 4);
            std::string path = m_Dir.File("s" + std::to_string(slot) + ".png");
            ASSERT_TRUE(data.SaveImage(path.c_str(), slot, FALSE));
            data.SetSlotFileName(slot, path.c_str());
        }
    }

    // The data saved with a file into a closed chunk.
    CKStateChunk* Save(CKBitmapData& data, int options, const char* reader)
    {
        data.SetSaveOptions(options);
        if (*reader) {
            CKBitmapProperties format = DefaultsOf(reader);
            data.SetSaveFormat(&format);
        }
        CKFile* file = m_Context->CreateCKFile();
        CKStateChunk* chunk = CKCreateStateChunk(31);
        chunk->StartWrite();
        EXPECT_TRUE(data.WriteToChunk(chunk, file, kIds));
        m_Included = file->GetIncludedFileCount();
        m_Context->DeleteCKFile(file);
        chunk->CloseChunk();
        return chunk;
    }

    CKContext* m_Context = nullptr;
    TestTempDir m_Dir;
    int m_Included = 0;
};

} // namespace

TEST_F(BitmapDataReaders, ThreeSlotsComeBackWithEachSaveOptionAndEachReader)
{
    const struct
    {
        int options;
        const char* reader; // the save format's reader for option 2
    } cases[] = {{CKBITMAP_SAVERAWDATA, ""},   {CKBITMAP_SAVEREFERENCES, ""}, {CKBITMAP_SAVEFORMAT, "bmp"},
                 {CKBITMAP_SAVEFORMAT, "tga"}, {CKBITMAP_SAVEFORMAT, "pcx"},  {CKBITMAP_SAVEFORMAT, "png"},
                 {CKBITMAP_SAVEFORMAT, "jpg"}, {CKBITMAP_SAVEFORMAT, "tif"},  {CKBITMAP_SAVEINCLUDEFILES, ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.options) + " " + c.reader);
        CKStateChunk* chunk;
        {
            CKBitmapData data(m_Context);
            MakeSlots(data, 3);
            chunk = Save(data, c.options, c.reader);
        }
        EXPECT_EQ(m_Included, c.options == CKBITMAP_SAVEINCLUDEFILES ? 3 : 0);
        EXPECT_EQ(chunk->SeekIdentifierAndReturnSize(kIds[1]) >= 0, c.options == CKBITMAP_SAVEFORMAT);
        EXPECT_EQ(chunk->SeekIdentifierAndReturnSize(kIds[2]) >= 0, c.options == CKBITMAP_SAVERAWDATA);

        // A fresh context, with the folder on the bitmap paths as an engine
        // file's included files are.
        ASSERT_EQ(CKCloseContext(m_Context), 0);
        ASSERT_EQ(CKCreateContext(&m_Context, nullptr, nullptr), 0);
        m_Context->GetPathManager()->AddPath(CKPathManager::BITMAP_PATH_IDX, XString(m_Dir.Path().c_str()));
        CKBitmapData loaded(m_Context);
        ASSERT_TRUE(loaded.ReadFromChunk(chunk, nullptr, kIds));
        CKDeleteStateChunk(chunk);
        ASSERT_EQ(loaded.GetSlotCount(), 3);
        ASSERT_EQ(loaded.GetWidth(), kWidth);
        ASSERT_EQ(loaded.GetHeight(), kHeight);
        for (int slot = 0; slot < 3; ++slot) {
            SCOPED_TRACE(slot);
            // PCX writes no image: every slot is read from its file, and keeps
            // the path it was found at.
            const std::string name = "s" + std::to_string(slot) + ".png";
            const bool fromFile = c.options == CKBITMAP_SAVEREFERENCES || c.options == CKBITMAP_SAVEINCLUDEFILES ||
                                  std::string(c.reader) == "pcx";
            EXPECT_EQ(loaded.GetSlotFileName(slot), fromFile ? m_Dir.File(name) : name);
            const std::vector<CKDWORD> expected = SlotPicture(slot), pixels = SlotPixels(loaded, slot);
            if (std::string(c.reader) != "jpg") {
                EXPECT_EQ(pixels, expected);
                continue;
            }
            double error = 0;
            for (size_t i = 0; i < pixels.size(); ++i) {
                ASSERT_EQ(pixels[i] >> 24, expected[i] >> 24) << "alpha is kept apart from the JPEG";
                for (int s : {0, 8, 16}) {
                    const int d = std::abs((int) (pixels[i] >> s & 0xFF) - (int) (expected[i] >> s & 0xFF));
                    ASSERT_LT(d, 24);
                    error += d;
                }
            }
            EXPECT_LT(error / (double) (pixels.size() * 3), 3.0);
        }
    }
}

TEST_F(BitmapDataReaders, FormatNamedImagesReadThroughTheReaderOfTheirName)
{
    std::vector<CKDWORD> pixels = SlotPicture(2);
    std::vector<CKBYTE> pcx;
    for (const CorpusFile& f : BuildPcxCorpus())
        if (f.name == "pcx_8_rle.pcx")
            pcx = f.bytes; // paletted: the colour map stays with the reader
    ASSERT_FALSE(pcx.empty());
    for (const char* tag : {"CKTGA", "ckbmp", "CKDIB", "", "CKPCX", "CKPNG"}) {
        SCOPED_TRACE(tag);
        const std::string name = tag;
        const char* extension = name == "CKPCX" ? "pcx" : name == "ckbmp" || name == "CKDIB" ? "bmp" : "tga";
        CKBitmapReader* reader = ReaderOf(extension);
        std::vector<CKBYTE> encoded =
            *extension == 'p' ? pcx : SaveToBytes(*reader, ArgbRecord(DefaultsOf(extension), pixels, kWidth, kHeight));
        const RgbaImage expected = DecodeWith(*reader, encoded);
        reader->Release();
        std::vector<CKBYTE> buffer(name.begin(), name.end());
        buffer.insert(buffer.end(), encoded.begin(), encoded.end());
        CKStateChunk* chunk = CKCreateStateChunk(31);
        chunk->StartWrite();
        chunk->WriteIdentifier(kIds[4]);
        chunk->WriteInt(1);
        chunk->WriteInt(0);
        chunk->WriteBuffer((int) buffer.size(), buffer.data());

        CKBitmapData data(m_Context);
        ASSERT_TRUE(data.ReadFromChunk(chunk, nullptr, kIds));
        CKDeleteStateChunk(chunk);
        if (name == "CKPNG") {
            EXPECT_EQ(data.GetSlotImageData(0), nullptr) << "no format of that name: the buffer is no TGA file";
            continue;
        }
        ASSERT_EQ(data.GetWidth(), expected.width);
        EXPECT_EQ(SlotPixels(data, 0), expected.pixels);
    }
}

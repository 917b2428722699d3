#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "core/context/CKPluginInfo.h"
#include "core/context/CKPluginManager.h"
#include "readers/avi/AVIReader.h"
#include "readers/avi/AVIReaderPlugin.h"
#include "readers/bmp/BmpReader.h"
#include "readers/common/ImageReaderResults.h"
#include "readers/dds/DDSReaderPlugin.h"
#include "readers/imagereader/ImageReaderPlugin.h"
#include "readers/jpeg/JpgReader.h"
#include "readers/jpeg/JpgReaderPlugin.h"
#include "readers/png/PngReader.h"
#include "readers/png/PngReaderPlugin.h"
#include "readers/tiff/TiffReader.h"
#include "readers/tiff/TiffReaderPlugin.h"
#include "tests/readers/support/ReaderTestSupport.h"
#include "tests/support/TestPaths.h"

namespace {

struct Expected
{
    CKDataReader* (*make)(int);
    CKPluginInfo* (*info)(int);
    int index;
    CKGUID guid;
    const char* extension;
    const char* description;
    const char* summary;
    const char* recordExtension;
    CKDWORD recordSize;
    CKDWORD flags;
};

const Expected kReaders[] = {
    {CKGetImageReader, CKGetImageReaderPluginInfo, 0, CKGUID(0x614a243f, 0x437b3343), "Bmp", "Windows Bitmap",
     "Windows Bitmap", "bmp", 144, 15},
    {CKGetImageReader, CKGetImageReaderPluginInfo, 1, CKGUID(0xbca97223, 0x48578bca), "Tga", "Truevision Targa",
     "Targa", "tga", 148, 15},
    {CKGetImageReader, CKGetImageReaderPluginInfo, 2, CKGUID(0x585c7216, 0x33302657), "Pcx", "ZSoft PCX", "PCX", "pcx",
     148, 5},
    {CKGetPngReader, CKGetPngPluginInfo, 0, CKGUID(0x02d45c7b, 0x4aac16ec), "Png", "Portable Network Graphics", "PNG",
     "png", 160, 15},
    {CKGetJpgReader, CKGetJpgPluginInfo, 0, CKGUID(0x4ae51ac4, 0x04587d76), "Jpg", "Joint Photographic Experts Group",
     "JPEG", "jpg", 152, 15},
    {CKGetTiffReader, CKGetTiffPluginInfo, 0, CKGUID(0x1c9165c2, 0x177a7391), "Tif", "Tagged-Image File Format", "TIFF",
     "Tiff", 144, 15},
    {CKGetDdsReader, CKGetDdsPluginInfo, 0, CKGUID(0x338a39dd, 0x5d0d31b5), "Dds", "Direct Draw Surface",
     "Direct Draw Surface", "dds", 144, 15},
};
constexpr int kReaderCount = 7;

CKBitmapReader* MakeReader(int i)
{
    return static_cast<CKBitmapReader*>(kReaders[i].make(kReaders[i].index));
}

void RegisterAll(CKPluginManager& manager)
{
    const char* categories[] = {"Bitmap Readers", "Sound Readers",  "Model Readers", "Managers",
                                "BuildingBlocks", "Render Engines", "Movie Readers", "Extensions"};
    for (const char* c : categories)
        manager.AddCategory(c);
    RegisterImageReaderPlugin(&manager);
    manager.RegisterPlugin(0, CKGetPngPluginInfo(0), nullptr, CKGetPngReader);
    manager.AddStaticDll("PNG Reader", 1);
    manager.RegisterPlugin(0, CKGetJpgPluginInfo(0), nullptr, CKGetJpgReader);
    manager.AddStaticDll("JPG Reader", 1);
    manager.RegisterPlugin(0, TiffReader::GetReaderInfo(0), nullptr, CKGetTiffReader);
    manager.AddStaticDll("Tiff Reader", 1);
    manager.RegisterPlugin(0, CKGetDdsPluginInfo(0), nullptr, CKGetDdsReader);
    manager.AddStaticDll("DDS Reader", 1);
    manager.RegisterPlugin(0, CKGetAviPluginInfo(0), nullptr, CKGetAviReader);
    manager.AddStaticDll("AVI Reader", 1);
}

} // namespace

TEST(ReaderPlugins, RecordsDescribeEachReader)
{
    for (int i = 0; i < kReaderCount; ++i) {
        const Expected& e = kReaders[i];
        SCOPED_TRACE(e.extension);
        CKPluginInfo* info = e.info(e.index);
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->m_GUID, e.guid);
        EXPECT_STREQ(info->m_Extension, e.extension);
        EXPECT_STREQ(info->m_Description.CStr(), e.description);
        EXPECT_STREQ(info->m_Summary.CStr(), e.summary);
        EXPECT_STREQ(info->m_Author.CStr(), "Keltrane");
        EXPECT_EQ(info->m_Version, 1u);
        EXPECT_EQ(info->m_Type, (CKDWORD) CKPLUGIN_BITMAP_READER);
        EXPECT_EQ(info->m_InitInstanceFct, nullptr);
        EXPECT_EQ(info->m_ExitInstanceFct, nullptr);

        CKBitmapReader* reader = MakeReader(i);
        ASSERT_NE(reader, nullptr);
        EXPECT_EQ(reader->GetReaderInfo(), info) << "the reader gives the same record";
        EXPECT_EQ(reader->GetFlags(), e.flags);
        CKBitmapProperties* defaults = nullptr;
        reader->GetBitmapDefaultProperties(&defaults);
        ASSERT_NE(defaults, nullptr);
        EXPECT_EQ(defaults->m_Size, e.recordSize);
        EXPECT_EQ(defaults->m_ReaderGuid, e.guid);
        EXPECT_STREQ(defaults->m_Ext.CStr(), e.recordExtension);
        EXPECT_STREQ(defaults->m_ShortExt.CStr(), "");
        EXPECT_EQ(defaults->m_Data, nullptr);
        EXPECT_EQ(reader->ReservedRead(nullptr, nullptr), 0);
        EXPECT_EQ(reader->ReadFromStream(nullptr, &defaults), 7);
        // Descriptions past the last are empty, never null.
        const int count = reader->GetOptionsCount();
        EXPECT_GT(count, 0);
        for (int k = 0; k < count; ++k)
            EXPECT_NE(std::strchr(reader->GetOptionDescription(k), ':'), nullptr) << k;
        EXPECT_STREQ(reader->GetOptionDescription(count + (i == 3 ? 1 : 0)), "");
        EXPECT_STREQ(reader->GetOptionDescription(-1), "");
        reader->Release();
        // Factories make readers only for their own indices.
        const int past = e.make == CKGetImageReader ? 3 : 1;
        EXPECT_EQ(e.make(past), nullptr);
        EXPECT_EQ(e.info(past), nullptr);
    }
    EXPECT_EQ(CKGetImageReader(-1), nullptr);
    EXPECT_EQ(PngReader::GetReaderInfo(0), CKGetPngPluginInfo(0));
    EXPECT_EQ(JpgReader::GetReaderInfo(1), nullptr);
}

TEST(ReaderPlugins, RegisteredReadersAreFoundByExtension)
{
    CKPluginManager manager;
    RegisterAll(manager);
    EXPECT_EQ(manager.GetPluginCount(CKPLUGIN_BITMAP_READER), kReaderCount);
    EXPECT_EQ(manager.GetPluginCount(CKPLUGIN_MOVIE_READER), 1);
    EXPECT_EQ(manager.GetPluginDllCount(), 6);
    const char* lookups[] = {"bmp", "TGA", "Pcx", "png", "jpg", "tif", "DDS"};
    for (int i = 0; i < kReaderCount; ++i) {
        SCOPED_TRACE(lookups[i]);
        CKDataReader* reader = manager.GetBitmapReader(lookups[i]);
        ASSERT_NE(reader, nullptr);
        EXPECT_EQ(reader->GetReaderInfo()->m_GUID, kReaders[i].guid);
        reader->Release();
    }
    EXPECT_EQ(manager.GetBitmapReader("gif"), nullptr);
    CKDataReader* movie = manager.GetMovieReader("avi");
    ASSERT_NE(movie, nullptr);
    EXPECT_NE(dynamic_cast<AVIReader*>(movie), nullptr);
    movie->Release();
    CKPluginEntry* entry = manager.FindComponent(kReaders[1].guid, CKPLUGIN_BITMAP_READER);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->m_PositionInDll, 1);
    EXPECT_EQ(entry->m_PluginDllIndex, 0);
    EXPECT_STREQ(manager.GetPluginDllInfo(0)->m_DllFileName.CStr(), "Image Reader");
    EXPECT_EQ(manager.GetPluginDllInfo(0)->m_PluginInfoCount, 3);
}

TEST(ReaderPlugins, TheMovieReaderHasItsOwnRecord)
{
    CKPluginInfo* info = CKGetAviPluginInfo(0);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(CKGetAviPluginInfo(1), nullptr);
    EXPECT_EQ(CKGetAviReader(1), nullptr);
    EXPECT_EQ(info->m_GUID, CKGUID(0x67541bfe, 0x75e510c0));
    EXPECT_STREQ(info->m_Extension, "Avi");
    EXPECT_STREQ(info->m_Description.CStr(), "Win32 AVI Movie Reader");
    EXPECT_STREQ(info->m_Summary.CStr(), "AVI Reader");
    EXPECT_STREQ(info->m_Author.CStr(), "Keltrane");
    EXPECT_EQ(info->m_Type, (CKDWORD) CKPLUGIN_MOVIE_READER);
    CKDataReader* reader = CKGetAviReader(0);
    EXPECT_EQ(reader->GetReaderInfo(), info);
    EXPECT_EQ(reader->GetFlags(), 1u);
    const CKBitmapProperties record = AVIReader::DefaultProperties();
    EXPECT_EQ(record.m_Size, 140u);
    EXPECT_EQ(record.m_ReaderGuid, info->m_GUID);
    EXPECT_STREQ(record.m_Ext.CStr(), "avi");
    reader->Release();
}

TEST(ReaderPlugins, ABareRecordSetsOnlyTheBaseOfTheDefaults)
{
    for (int i = 0; i < kReaderCount; ++i) {
        SCOPED_TRACE(kReaders[i].extension);
        CKBitmapReader* reader = MakeReader(i);
        CKBitmapProperties* defaults = nullptr;
        reader->GetBitmapDefaultProperties(&defaults);
        const CKBitmapProperties before = *defaults;
        CKBitmapProperties bare;
        bare.m_ReaderGuid = CKGUID(1, 2);
        bare.m_Ext.Set("xyz");
        bare.m_Format.Width = 77;
        bare.m_Format.BitsPerPixel = 16;
        bare.m_Data = &bare; // never adopted
        for (CKDWORD& w : bare.m_Words)
            w = 0xDEAD;
        reader->SetBitmapDefaultProperties(&bare);
        EXPECT_EQ(defaults->m_Size, before.m_Size) << "the record keeps its type";
        EXPECT_EQ(defaults->m_ReaderGuid, CKGUID(1, 2));
        EXPECT_STREQ(defaults->m_Ext.CStr(), "xyz");
        EXPECT_EQ(defaults->m_Format.Width, 77);
        EXPECT_EQ(defaults->m_Data, nullptr) << "a foreign pixel pointer is not taken";
        for (int k = 0; k < 5; ++k) {
            if (i == 3 && k == PngReader::kBitDepthWord)
                continue; // PNG takes the depth of a foreign record
            EXPECT_EQ(defaults->m_Words[k], before.m_Words[k]) << k;
        }
        // A record of the reader's own size is taken whole.
        CKBitmapProperties own = before;
        own.m_Words[0] = 1234;
        reader->SetBitmapDefaultProperties(&own);
        EXPECT_EQ(defaults->m_Words[0], 1234u);
        reader->SetBitmapDefaultProperties(nullptr);
        reader->Release();
    }
}

TEST(ReaderPlugins, ANewReadFreesThePreviousImageAndPixelsAreAlignedBlocks)
{
    // Run under the leak checker: every decode is freed by the next read,
    // ReleaseMemory or the destructor.
    const std::vector<uint8_t> f = BuildBmp(BmpRecipe());
    BmpReader reader;
    CKBitmapProperties* p = nullptr;
    ASSERT_EQ(reader.ReadMemory(f.data(), (CKDWORD) f.size(), &p), 0);
    ASSERT_EQ(reader.ReadMemory(f.data(), (CKDWORD) f.size(), &p), 0);
    const uint8_t junk[4] = {};
    EXPECT_NE(reader.ReadMemory(junk, 4, &p), 0);
    EXPECT_EQ(p->m_Data, nullptr) << "a failed read leaves no image";
    ASSERT_EQ(reader.ReadMemory(f.data(), (CKDWORD) f.size(), &p), 0);
    reader.ReleaseMemory(p->m_Data);
    EXPECT_EQ(p->m_Data, nullptr);
    reader.ReleaseMemory(nullptr);
    ASSERT_EQ(reader.ReadMemory(f.data(), (CKDWORD) f.size(), &p), 0);

    // The pixels may be adopted and freed as an aligned block.
    void* pixels = p->m_Data;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(pixels) % 16, 0u);
    p->m_Data = nullptr;
    p->m_Format.Image = nullptr;
    CKReaderFree(pixels);
}

TEST(ReaderPlugins, SaveFileWritesWhatSaveMemoryGivesAndReadFileReadsIt)
{
    // SaveFile's result for a written file (-1: its byte count) and for an
    // unwritable one, ReadFile's for a missing one, IsAlphaSaved of the
    // defaults. The PCX reader saves nothing.
    const int results[6][4] = {{-1, IMAGEWRITER_CANNOTWRITE, IMAGEREADER_CANNOTREAD, 0},
                               {-1, IMAGEWRITER_CANNOTWRITE, IMAGEREADER_CANNOTREAD, 1},
                               {0, 0, IMAGEREADER_CANNOTREAD, 0},
                               {1, 0, -1, 1},
                               {1, 0, -1, 0},
                               {0, 1, -1, 0}};
    TestTempDir dir;
    std::vector<uint32_t> pixels = MakePicture(6, 2, false);
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(kReaders[i].extension);
        CKBitmapReader* reader = MakeReader(i);
        CKBitmapProperties* defaults = nullptr;
        reader->GetBitmapDefaultProperties(&defaults);
        const CKBitmapProperties p = ArgbRecord(*defaults, pixels, 6, 2);
        const std::vector<uint8_t> bytes = SaveToBytes(*reader, p);
        const std::string path = dir.File("a" + std::to_string(i));
        EXPECT_EQ(reader->SaveFile(path.c_str(), &p), results[i][0] < 0 ? (int) bytes.size() : results[i][0]);
        EXPECT_EQ(LoadFileBytes(path), bytes);
        CKBitmapProperties* out = nullptr;
        if (!bytes.empty()) {
            ASSERT_EQ(reader->ReadFile(path.c_str(), &out), 0);
            const RgbaImage fromFile = ToRgba(out->m_Format, out->m_Data);
            EXPECT_EQ(fromFile, DecodeWith(*reader, bytes));
        }
        const std::string missing = dir.Path() + "/missing/a";
        EXPECT_EQ(reader->SaveFile(missing.c_str(), &p), results[i][1]);
        EXPECT_EQ(reader->ReadFile(missing.c_str(), &out), results[i][2]);
        EXPECT_EQ(reader->IsAlphaSaved(defaults) != 0, results[i][3] != 0);
        reader->Release();
    }
}

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "core/context/CKPluginInfo.h"
#include "core/context/CKPluginManager.h"
#include "readers/avi/AviReader.h"
#include "readers/avi/AviReaderPlugin.h"
#include "readers/bmp/BmpReader.h"
#include "readers/dds/DdsReaderPlugin.h"
#include "readers/imagereader/ImageReaderPlugin.h"
#include "readers/jpeg/JpgReader.h"
#include "readers/jpeg/JpgReaderPlugin.h"
#include "readers/pcx/PcxReader.h"
#include "readers/png/PngReader.h"
#include "readers/png/PngReaderPlugin.h"
#include "readers/tga/TgaReader.h"
#include "readers/tiff/TiffReader.h"
#include "readers/tiff/TiffReaderPlugin.h"
#include "tests/readers/support/ReaderTestSupport.h"

namespace {

struct Expected
{
    CKGUID guid;
    const char* extension;
    const char* description;
    const char* summary;
    const char* recordExtension;
    CKDWORD recordSize;
    CKDWORD flags;
};

const Expected kReaders[] = {
    {CKGUID(0x614a243f, 0x437b3343), "Bmp", "Windows Bitmap", "Windows Bitmap", "bmp", 144, 15},
    {CKGUID(0xbca97223, 0x48578bca), "Tga", "Truevision Targa", "Targa", "tga", 148, 15},
    {CKGUID(0x585c7216, 0x33302657), "Pcx", "ZSoft PCX", "PCX", "pcx", 148, 5},
    {CKGUID(0x02d45c7b, 0x4aac16ec), "Png", "Portable Network Graphics", "PNG", "png", 160, 15},
    {CKGUID(0x4ae51ac4, 0x04587d76), "Jpg", "Joint Photographic Experts Group", "JPEG", "jpg", 152, 15},
    {CKGUID(0x1c9165c2, 0x177a7391), "Tif", "Tagged-Image File Format", "TIFF", "Tiff", 144, 15},
    {CKGUID(0x338a39dd, 0x5d0d31b5), "Dds", "Direct Draw Surface", "Direct Draw Surface", "dds", 144, 15},
};
constexpr int kReaderCount = 7;

CKDataReader* MakeReader(int i)
{
    switch (i) {
    case 0:
    case 1:
    case 2: return CKGetImageReader(i);
    case 3: return CKGetPngReader(0);
    case 4: return CKGetJpgReader(0);
    case 5: return CKGetTiffReader(0);
    default: return CKGetDdsReader(0);
    }
}

CKPluginInfo* InfoOf(int i)
{
    switch (i) {
    case 0:
    case 1:
    case 2: return CKGetImageReaderPluginInfo(i);
    case 3: return CKGetPngPluginInfo(0);
    case 4: return CKGetJpgPluginInfo(0);
    case 5: return CKGetTiffPluginInfo(0);
    default: return CKGetDdsPluginInfo(0);
    }
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
        CKPluginInfo* info = InfoOf(i);
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

        CKDataReader* reader = MakeReader(i);
        ASSERT_NE(reader, nullptr);
        EXPECT_EQ(reader->GetReaderInfo(), info) << "the reader gives the same record";
        EXPECT_EQ(reader->GetFlags(), e.flags);
        auto* bitmapReader = static_cast<CKBitmapReader*>(reader);
        CKBitmapProperties* defaults = nullptr;
        bitmapReader->GetBitmapDefaultProperties(&defaults);
        ASSERT_NE(defaults, nullptr);
        EXPECT_EQ(defaults->m_Size, e.recordSize);
        EXPECT_EQ(defaults->m_ReaderGuid, e.guid);
        EXPECT_STREQ(defaults->m_Ext.CStr(), e.recordExtension);
        EXPECT_STREQ(defaults->m_ShortExt.CStr(), "");
        EXPECT_EQ(defaults->m_Data, nullptr);
        EXPECT_EQ(bitmapReader->ReservedRead(nullptr, nullptr), 0);
        EXPECT_EQ(bitmapReader->ReadFromStream(nullptr, &defaults), 7);
        // Descriptions past the last are empty, never null.
        const int count = reader->GetOptionsCount();
        EXPECT_GT(count, 0);
        for (int k = 0; k < count; ++k)
            EXPECT_NE(std::strchr(reader->GetOptionDescription(k), ':'), nullptr) << k;
        EXPECT_STREQ(reader->GetOptionDescription(count + (i == 3 ? 1 : 0)), "");
        EXPECT_STREQ(reader->GetOptionDescription(-1), "");
        reader->Release();
    }
}

TEST(ReaderPlugins, FactoriesMakeReadersOnlyForTheirIndices)
{
    CKDataReader* tga = CKGetImageReader(1);
    ASSERT_NE(tga, nullptr);
    EXPECT_NE(dynamic_cast<TgaReader*>(tga), nullptr);
    tga->Release();
    EXPECT_EQ(CKGetImageReader(3), nullptr);
    EXPECT_EQ(CKGetImageReader(-1), nullptr);
    EXPECT_EQ(CKGetImageReaderPluginInfo(3), nullptr);
    EXPECT_EQ(CKGetPngReader(1), nullptr);
    EXPECT_EQ(CKGetJpgReader(1), nullptr);
    EXPECT_EQ(CKGetTiffReader(1), nullptr);
    EXPECT_EQ(CKGetDdsReader(1), nullptr);
    EXPECT_EQ(CKGetDdsPluginInfo(1), nullptr);
    EXPECT_EQ(CKGetPngPluginInfo(1), nullptr);
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
    EXPECT_NE(dynamic_cast<AviReader*>(movie), nullptr);
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
    const CKBitmapProperties record = AviReader::DefaultProperties();
    EXPECT_EQ(record.m_Size, 140u);
    EXPECT_EQ(record.m_ReaderGuid, info->m_GUID);
    EXPECT_STREQ(record.m_Ext.CStr(), "avi");
    reader->Release();
}

TEST(ReaderPlugins, ABareRecordSetsOnlyTheBaseOfTheDefaults)
{
    for (int i = 0; i < kReaderCount; ++i) {
        SCOPED_TRACE(kReaders[i].extension);
        auto* reader = static_cast<CKBitmapReader*>(MakeReader(i));
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

TEST(ReaderPlugins, ANewReadFreesThePreviousImage)
{
    // Run under the leak checker: every decode is freed by the next read,
    // ReleaseMemory or the destructor.
    BmpRecipe s;
    const std::vector<uint8_t> f = BuildBmp(s);
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
}

TEST(ReaderPlugins, DecodedPixelsCanBeAdoptedAndFreedAsAlignedBlocks)
{
    BmpRecipe s;
    const std::vector<uint8_t> f = BuildBmp(s);
    BmpReader reader;
    CKBitmapProperties* p = nullptr;
    ASSERT_EQ(reader.ReadMemory(f.data(), (CKDWORD) f.size(), &p), 0);
    void* pixels = p->m_Data;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(pixels) % 16, 0u);
    p->m_Data = nullptr;
    p->m_Format.Image = nullptr;
    CKReaderFree(pixels);
}

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/bitmap/CKBitmapReader.h"
#include "core/bitmap/CKSaveBitmap.h"
#include "core/context/CKPathManager.h"
#include "core/context/CKPluginManager.h"
#include "core/file/CKFile.h"
#include "core/file/CKFileFormat.h"
#include "core/file/CKFileStreamWriter.h"
#include "core/file/CKFileThumbnail.h"
#include "core/object/CKBeObject.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKObjectIDList.h"
#include "core/scene/CKLevel.h"
#include "includes/CKByteOrder.h"
#include "platform/PlatformPaths.h"
#include "tests/core/support/FileTestSupport.h"
#include "tests/support/TestPaths.h"

namespace {

using Bytes = std::vector<CKBYTE>;

std::set<std::string> Listing(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// A level class, to see the order of its PreSave.
class FileTestLevel : public CKClass<FileTestLevel, CKLevel, 0>
{
public:
    explicit FileTestLevel(CKContext* context) : CKClass(context) {}
    void PreSave(CKFile* file, CKDWORD flags) override
    {
        CKLevel::PreSave(file, flags);
        for (CK_ID id : m_SaveAlso)
            file->SaveObject(m_Context->GetObject(id), flags);
    }
    std::vector<CK_ID> m_SaveAlso;
    static const char* GetClassName() { return "File Test Level"; }
};

class CKFileSave : public FileFixture
{
protected:
    void SetUp() override
    {
        FileFixture::SetUp();
        CKClassRegisterT<FileTestLevel, CKLevel>("FileTestLevel");
        CKBuildClassHierarchyTable();
    }

    std::vector<CK_ID> RecordIds(CKFile* file)
    {
        std::vector<CK_ID> ids;
        for (int i = 0; i < file->GetObjectRecordCount(); ++i)
            ids.push_back(file->m_FileObjects[i].m_ObjectID);
        return ids;
    }
};

} // namespace

TEST_F(CKFileSave, StartSaveRefusesExecutableExtensionsAndUnwritablePlaces)
{
    TestTempDir dir;
    CKFile* file = m_Context->CreateCKFile();
    EXPECT_EQ(file->StartSave(nullptr), CKErr::InvalidFile);
    EXPECT_EQ(file->StartSave(""), CKErr::InvalidFile);
    EXPECT_EQ(file->StartSave(dir.File("virus.EXE").c_str()), CKErr::InvalidFile);
    EXPECT_FALSE(m_Context->IsInSave());
    EXPECT_EQ(file->EndSave(), CKErr::InvalidFile) << "a refused save writes nothing afterwards";
    EXPECT_FALSE(PlatformPathExists(dir.File("virus.EXE").c_str()));
    EXPECT_EQ(file->StartSave(dir.File("lib.Dll").c_str()), CKErr::InvalidFile);
    EXPECT_FALSE(PlatformPathExists(dir.File("virus.EXE").c_str()));
    EXPECT_EQ(file->StartSave(dir.File("no/such/folder/x.qdx").c_str()), CKErr::CannotWriteToFile);
    EXPECT_FALSE(PlatformPathExists(dir.File("no").c_str()));
    EXPECT_EQ(file->StartSave(dir.File("good.qdx").c_str()), 0);
    EXPECT_TRUE(m_Context->IsInSave());
    EXPECT_FALSE(PlatformPathExists(dir.File("good.qdx").c_str())) << "the appendable test leaves nothing behind";
    EXPECT_EQ(file->EndSave(), 0);
    EXPECT_FALSE(m_Context->IsInSave());
    m_Context->DeleteCKFile(file);
}

TEST_F(CKFileSave, ObjectsAreRecordedOnceAndExcludedOnesNever)
{
    TestTempDir dir;
    m_Context->SetFileWriteMode(0);
    CKFile* file = m_Context->CreateCKFile();
    ASSERT_EQ(file->StartSave(dir.File("a.qdx").c_str()), 0);
    FileTestItem* a = NewItem(m_Context, "A");
    FileTestItem* b = NewItem(m_Context, "B");
    FileTestItem* dynamic = NewItem(m_Context, "D", CK_OBJECTCREATION_DYNAMIC);
    FileTestItem* kept = NewItem(m_Context, "K");
    kept->ModifyObjectFlags(CK_OBJECT_NOTTOBESAVED, 0);
    FileTestItem* byFlag = NewItem(m_Context, "F");
    byFlag->ModifyObjectFlags(CK_OBJECT_ONLYFORFILEREFERENCE, 0);

    file->SaveObject(a);
    file->SaveObject(a);
    file->SaveObject(nullptr);
    file->SaveObject(dynamic);
    file->SaveObject(kept);
    file->SaveObjectAsReference(b);
    file->SaveObject(b); // saved in full after all: the first record stays
    file->SaveObject(byFlag);
    EXPECT_EQ(RecordIds(file), (std::vector<CK_ID>{a->GetID(), b->GetID(), byFlag->GetID()}));
    EXPECT_EQ(file->m_ReferencedObjects.Size(), 1);
    EXPECT_EQ(file->m_ReferencedObjects[0], byFlag);
    ASSERT_EQ(file->EndSave(), 0);
    EXPECT_EQ(byFlag->GetObjectFlags() & CK_OBJECT_ONLYFORFILEREFERENCE, (CKDWORD) CK_OBJECT_ONLYFORFILEREFERENCE)
        << "an object's own flag is left as it was";
    EXPECT_EQ(b->GetObjectFlags() & CK_OBJECT_ONLYFORFILEREFERENCE, 0u) << "no mark is left behind";
    m_Context->DeleteCKFile(file);

    Bytes bytes = ReadWholeFile(dir.File("a.qdx"));
    ASSERT_GT(bytes.size(), 64u + 48u);
    EXPECT_EQ(LoadLE32(bytes.data() + 44), 3u);
    EXPECT_EQ(LoadLE32(bytes.data() + 64), a->GetID());
    CKDWORD nameA = LoadLE32(bytes.data() + 64 + 12);
    EXPECT_EQ(LoadLE32(bytes.data() + 64 + 16 + nameA), b->GetID()) << "b lost its reference mark";
    CKDWORD nameB = LoadLE32(bytes.data() + 64 + 16 + nameA + 12);
    EXPECT_EQ(LoadLE32(bytes.data() + 64 + 32 + nameA + nameB), byFlag->GetID() | 0x80000000u);
}

TEST_F(CKFileSave, ALevelAddsItsContentAfterItselfOtherObjectsBefore)
{
    TestTempDir dir;
    CKFile* file = m_Context->CreateCKFile();
    ASSERT_EQ(file->StartSave(dir.File("l.qdx").c_str()), 0);
    FileTestItem* content = NewItem(m_Context, "Content");
    auto* level = static_cast<FileTestLevel*>(m_Context->CreateObject(FileTestLevel::m_ClassID, "Level"));
    ASSERT_NE(level, nullptr);
    level->m_SaveAlso = {content->GetID()};
    FileTestItem* holder = NewItem(m_Context, "Holder");
    FileTestItem* inner = NewItem(m_Context, "Inner");
    holder->m_SaveAlso = {inner->GetID()};
    file->SaveObject(level);
    file->SaveObject(holder);
    EXPECT_EQ(RecordIds(file), (std::vector<CK_ID>{level->GetID(), content->GetID(), inner->GetID(), holder->GetID()}));
    EXPECT_TRUE(file->m_SceneSaved);
    ASSERT_EQ(file->EndSave(), 0);
    m_Context->DeleteCKFile(file);

    // Loading: the first level becomes the current level.
    CKContext* fresh = NewContext();
    ASSERT_EQ(LoadFile(fresh, dir.File("l.qdx")), 0);
    ASSERT_NE(fresh->GetCurrentLevel(), nullptr);
    EXPECT_STREQ(reinterpret_cast<CKObject*>(fresh->GetCurrentLevel())->GetName(), "Level");
}

TEST_F(CKFileSave, IncludeFileRefusesEmptyDuplicateAndUnresolvedNames)
{
    TestTempDir dir;
    CKFile* file = m_Context->CreateCKFile();
    EXPECT_FALSE(file->IncludeFile(nullptr));
    EXPECT_FALSE(file->IncludeFile(""));
    EXPECT_TRUE(file->IncludeFile("/some/Path/Image.PNG"));
    EXPECT_FALSE(file->IncludeFile("/some/path/image.png")) << "the same path in other letters";
    EXPECT_FALSE(file->IncludeFile("not-anywhere.png", 0)) << "a category resolves through the path manager";
    EXPECT_EQ(file->GetIncludedFileCount(), 1);
    m_Context->DeleteCKFile(file);
}

TEST_F(CKFileSave, AThrowingObjectIsReportedAndSkippedAndTheSaveGoesOn)
{
    TestTempDir dir;
    CKFile* file = m_Context->CreateCKFile();
    ASSERT_EQ(file->StartSave(dir.File("t.qdx").c_str()), 0);
    FileTestItem* bad = NewItem(m_Context, "Bad");
    bad->m_ThrowOnSave = true;
    FileTestItem* good = NewItem(m_Context, "Good");
    good->m_Priority = 5;
    file->SaveObject(bad);
    file->SaveObject(good);
    Console().clear();
    ASSERT_EQ(file->EndSave(), 0);
    m_Context->DeleteCKFile(file);
    EXPECT_TRUE(Said("Save Error:Bad"));
    CKContext* fresh = NewContext();
    ASSERT_EQ(LoadFile(fresh, dir.File("t.qdx")), 0);
    EXPECT_EQ(fresh->GetObjectByNameAndClass("Bad", FileTestItem::m_ClassID), nullptr) << "no chunk, no object";
    auto* back = static_cast<FileTestItem*>(fresh->GetObjectByNameAndClass("Good", FileTestItem::m_ClassID));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->m_Priority, 5);
}

TEST_F(CKFileSave, AFailedSaveKeepsThePreviousFileAndLeavesNoMarks)
{
    TestTempDir dir;
    std::string folder = dir.File("sub");
    std::filesystem::create_directory(folder);
    std::string target = folder + "/keep.qdx";
    WriteWholeFile(target, Bytes{1, 2, 3});
    CKFile* file = m_Context->CreateCKFile();
    ASSERT_EQ(file->StartSave(target.c_str()), 0);
    FileTestItem* shared = NewItem(m_Context, "Shared");
    file->SaveObjectAsReference(shared);
    file->SaveObject(NewItem(m_Context, "Other"));
    // The target's folder disappears: the writer cannot open anything.
    std::filesystem::remove_all(folder);
    EXPECT_EQ(file->EndSave(), CKErr::CannotWriteToFile);
    EXPECT_EQ(shared->GetObjectFlags() & CK_OBJECT_ONLYFORFILEREFERENCE, 0u);
    EXPECT_FALSE(m_Context->IsInSave());
    m_Context->DeleteCKFile(file);

    // A successful save replaces the old bytes only at the end.
    std::filesystem::create_directory(folder);
    WriteWholeFile(target, Bytes{1, 2, 3});
    file = m_Context->CreateCKFile();
    ASSERT_EQ(file->StartSave(target.c_str()), 0);
    FileTestItem* watcher = NewItem(m_Context, "Watcher");
    file->SaveObject(watcher);
    EXPECT_EQ(ReadWholeFile(target), (Bytes{1, 2, 3}));
    ASSERT_EQ(file->EndSave(), 0);
    m_Context->DeleteCKFile(file);
    EXPECT_GT(ReadWholeFile(target).size(), 64u);
    EXPECT_EQ(Listing(folder), (std::set<std::string>{"keep.qdx"}));
    EXPECT_STREQ(m_Context->GetLastSavedFile(), target.c_str());
}

TEST_F(CKFileSave, TheHeaderDataIsDescriptorsDependenciesAndTableWithTheLastNamePaddedEvenWhenEmpty)
{
    TestTempDir dir;
    for (auto* manager : {Manager(m_Context, kTestManagerGuid1), Manager(m_Context, kTestManagerGuid2)})
        manager->m_Saves = false;
    m_Context->SetFileWriteMode(0);
    FileTestItem* named = NewItem(m_Context, "ab");
    FileTestItem* nameless = NewItem(m_Context);
    CKFile* file = m_Context->CreateCKFile();
    ASSERT_EQ(file->StartSave(dir.File("header.qdx").c_str()), 0);
    file->SaveObject(named);
    file->SaveObjectAsReference(nameless);
    ASSERT_EQ(file->EndSave(), 0);
    m_Context->DeleteCKFile(file);

    Bytes bytes = ReadWholeFile(dir.File("header.qdx"));
    const CKDWORD header = 16 + 2 + 16 + 0 + 2 + 4 + 8;
    ASSERT_EQ(LoadLE32(bytes.data() + 28), header);
    ASSERT_GE(bytes.size(), 64u + header + 4u);
    // The managers' records come first (GUID, size word, chunk).
    CKDWORD first = 64 + header;
    for (CKDWORD m = 0; m < LoadLE32(bytes.data() + 40); ++m)
        first += 12 + LoadLE32(bytes.data() + first + 8);
    const CKDWORD second = first + 4 + LoadLE32(bytes.data() + first);
    Bytes expected;
    auto word = [&](CKDWORD w) {
        for (int k = 0; k < 4; ++k)
            expected.push_back((CKBYTE) (w >> (8 * k)));
    };
    word(named->GetID());
    word((CKDWORD) FileTestItem::m_ClassID);
    word(first);
    word(2);
    expected.insert(expected.end(), {'a', 'b'});
    word(nameless->GetID() | 0x80000000u);
    word((CKDWORD) FileTestItem::m_ClassID);
    word(second);
    word(2); // no name, two bytes of padding: 34 descriptor bytes become 36
    expected.insert(expected.end(), {0, 0});
    word(0); // no plug-in dependencies
    word(4); // the included-file table: its size, then the count
    word(0);
    EXPECT_EQ(Bytes(bytes.begin() + 64, bytes.begin() + 64 + header), expected);

    CKFile* back = m_Context->CreateCKFile();
    ASSERT_EQ(back->OpenMemory(bytes.data(), (int) bytes.size()), 0);
    ASSERT_EQ(back->GetObjectRecordCount(), 2);
    EXPECT_STREQ(back->m_FileObjects[0].m_Name, "ab");
    EXPECT_EQ(back->m_FileObjects[0].m_DataOffset, first);
    EXPECT_EQ(back->m_FileObjects[1].m_Name, nullptr) << "padding is no name";
    EXPECT_EQ(back->m_FileObjects[1].m_ObjectID, nameless->GetID() | 0x80000000u);
    EXPECT_EQ(back->m_FileObjects[1].m_DataOffset, second);
    m_Context->DeleteCKFile(back);

    // No objects: no descriptors, no plug-in entries, the empty table.
    file = m_Context->CreateCKFile();
    ASSERT_EQ(file->StartSave(dir.File("empty.qdx").c_str()), 0);
    ASSERT_EQ(file->EndSave(), 0);
    m_Context->DeleteCKFile(file);
    bytes = ReadWholeFile(dir.File("empty.qdx"));
    ASSERT_GE(bytes.size(), 76u);
    EXPECT_EQ(LoadLE32(bytes.data() + 44), 0u);
    EXPECT_EQ(LoadLE32(bytes.data() + 28), 12u);
    EXPECT_EQ(Bytes(bytes.begin() + 64, bytes.begin() + 76), (Bytes{0, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(CKFileFormat, TheHeaderIsWrittenFieldByField)
{
    CKFileInfo info;
    info.Crc = 0x11223344;
    info.CKVersion = CK_FILE_ENGINE_VERSION;
    info.FileVersion = 8;
    info.FileWriteMode = 8;
    info.Hdr1PackSize = 100;
    info.DataPackSize = 200;
    info.DataUnPackSize = 300;
    info.ManagerCount = 2;
    info.ObjectCount = 3;
    info.MaxIDSaved = 44;
    info.ProductVersion = 0;
    info.ProductBuild = 0x04001000;
    info.Hdr1UnPackSize = 120;
    CKBYTE out[64];
    CKWriteFileHeader(info, out);
    const CKBYTE golden[64] = {'D', 'o', 'r', 'n', ' ',  'F', 'i', 0, 0x44, 0x33, 0x22, 0x11, 0x08, 0x20, 0x03, 0x07,
                               8,   0,   0,   0,   0,    0,   0,   0, 8,    0,    0,    0,    100,  0,    0,    0,
                               200, 0,   0,   0,   0x2C, 1,   0,   0, 2,    0,    0,    0,    3,    0,    0,    0,
                               44,  0,   0,   0,   0,    0,   0,   0, 0,    0x10, 0,    4,    120,  0,    0,    0};
    EXPECT_EQ(std::memcmp(out, golden, 64), 0);
    CKFileInfo back;
    EXPECT_EQ(CKReadFileHeaderPart0(out, back), 0u);
    CKReadFileHeaderPart1(out + 32, back);
    EXPECT_EQ(back.Crc, info.Crc);
    EXPECT_EQ(back.Hdr1UnPackSize, 120u);
    EXPECT_EQ(back.ProductBuild, 0x04001000u);
    EXPECT_EQ(CKDescriptorPadding(33), 3);
    EXPECT_EQ(CKDescriptorPadding(32), 0);
}

TEST(CKFileStreamWriter, CheckAppendableCreatesNothingAndChangesNothing)
{
    TestTempDir dir;
    CKFileStreamWriter writer;
    EXPECT_FALSE(writer.CheckAppendable(dir.File("none/x.qdx").c_str()));
    EXPECT_FALSE(PlatformPathExists(dir.File("none").c_str()));
    WriteWholeFile(dir.File("old.qdx"), Bytes{4, 5, 6});
    EXPECT_TRUE(writer.CheckAppendable(dir.File("old.qdx").c_str()));
    EXPECT_EQ(ReadWholeFile(dir.File("old.qdx")), (Bytes{4, 5, 6}));
    EXPECT_TRUE(writer.CheckAppendable(dir.File("new.qdx").c_str()));
    EXPECT_FALSE(PlatformPathExists(dir.File("new.qdx").c_str()));

    std::string name = dir.File("old.qdx");
    ASSERT_TRUE(writer.Open(name.c_str()));
    EXPECT_EQ(writer.GetFileName(), name.c_str());
    EXPECT_EQ(writer.Write("ab", 2), 2u);
    EXPECT_TRUE(writer.Close());
    EXPECT_EQ(writer.GetFileName(), nullptr);
    EXPECT_EQ(ReadWholeFile(name), (Bytes{'a', 'b'})) << "opening empties the file";
}

namespace {

// A ".jpg" bitmap reader standing in for the JPEG writer: it writes a fixed
// header and the first pixel, and records what it was given.
int g_SavedBits = 0;
CKDWORD g_SavedRedMask = 0;
class FakeJpegReader : public CKBitmapReader
{
public:
    void Release() override { delete this; }
    CKPluginInfo* GetReaderInfo() override { return &Info(); }
    CKBOOL IsAlphaSaved(const CKBitmapProperties*) override { return FALSE; }
    void GetBitmapDefaultProperties(CKBitmapProperties** out) override { *out = &m_Defaults; }
    void SetBitmapDefaultProperties(const CKBitmapProperties*) override {}
    int ReadFile(const char*, CKBitmapProperties**) override { return 1; }
    int ReadMemory(const void*, CKDWORD, CKBitmapProperties**) override { return 1; }
    int SaveFile(const char* name, const CKBitmapProperties* p) override
    {
        g_SavedBits = p->m_Format.BitsPerPixel;
        g_SavedRedMask = p->m_Format.RedMask;
        const CKBYTE* pixels = static_cast<const CKBYTE*>(p->m_Data);
        Bytes bytes(8);
        bytes[0] = 0xFF;
        bytes[1] = 0xD8;
        bytes[2] = 0xFF;
        bytes[3] = 0xE0;
        std::memcpy(bytes.data() + 4, pixels, 4);
        WriteWholeFile(name, bytes);
        return 0;
    }
    int SaveMemory(void** out, const CKBitmapProperties*) override
    {
        *out = nullptr;
        return 0;
    }
    void ReleaseMemory(void*) override {}
    static CKPluginInfo& Info()
    {
        static CKPluginInfo info;
        info.m_GUID = CKGUID(0x1234, 0x5678);
        info.m_Type = CKPLUGIN_BITMAP_READER;
        std::memcpy(info.m_Extension, "jpg", 4);
        return info;
    }
    static CKDataReader* Make(int) { return new FakeJpegReader; }

private:
    CKBitmapProperties m_Defaults;
};

} // namespace

TEST_F(CKFileSave, TheThumbnailIsAJpegFollowedByItsTrailerAndTravelsAsAnIncludedFile)
{
    int w = 0, h = 0;
    CKThumbnailSize(640, 480, w, h);
    EXPECT_EQ(w, 128);
    EXPECT_EQ(h, 96);
    CKThumbnailSize(100, 300, w, h);
    EXPECT_EQ(w, 43) << "128 x 100 / 300 + 0.5, truncated";
    EXPECT_EQ(h, 128);
    CKThumbnailSize(300, 0, w, h);
    EXPECT_EQ(w, 128);
    EXPECT_EQ(h, 128) << "a shorter side of 0 becomes 128";

    TestTempDir dir;
    std::vector<CKDWORD> pixels(256 * 128, 0xFF336699);
    QxImageDesc image = QxMakeImageDesc32(256, 128);
    image.Image = reinterpret_cast<CKBYTE*>(pixels.data());
    std::string path = dir.File("zkthumbnail.jpg");
    EXPECT_FALSE(CKWriteThumbnail(path.c_str(), image, 128, 64)) << "no reader for .jpg yet";
    EXPECT_FALSE(PlatformPathExists(path.c_str()));

    CKGetPluginManager()->RegisterPlugin(0, &FakeJpegReader::Info(), nullptr, &FakeJpegReader::Make);
    CKGetPluginManager()->AddStaticDll("fake jpeg", 1);
    WriteWholeFile(path, Bytes(50, 1)); // an old thumbnail must not be extended
    ASSERT_TRUE(CKWriteThumbnail(path.c_str(), image, 128, 64));
    Bytes bytes = ReadWholeFile(path);
    ASSERT_EQ(bytes.size(), 8u + 20u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(LoadLE32(bytes.data() + 4), 0xFF336699u) << "the resampled image was handed over";
    EXPECT_EQ(LoadLE32(bytes.data() + 8), 64u) << "height";
    EXPECT_EQ(LoadLE32(bytes.data() + 12), 128u) << "width";
    EXPECT_EQ(LoadLE32(bytes.data() + 16), 8u) << "JPEG byte count";
    EXPECT_EQ(LoadLE32(bytes.data() + 20), 0x53800EA4u);
    EXPECT_EQ(LoadLE32(bytes.data() + 24), 0x65D47D2Du);
    EXPECT_FALSE(CKAppendThumbnailTrailer(dir.File("absent.jpg").c_str(), 1, 1));

    // A 16-bit image is saved as 32 bits.
    std::vector<CKWORD> small(4 * 4, 0xF800);
    QxImageDesc image16 = QxMakeImageDesc32(4, 4);
    image16.BitsPerPixel = 16;
    image16.BytesPerLine = 8;
    image16.RedMask = 0xF800;
    image16.GreenMask = 0x7E0;
    image16.BlueMask = 0x1F;
    image16.AlphaMask = 0;
    image16.Image = reinterpret_cast<CKBYTE*>(small.data());
    EXPECT_TRUE(CKSaveBitmap(dir.File("red.jpg").c_str(), image16));
    EXPECT_EQ(g_SavedBits, 32);
    EXPECT_EQ(g_SavedRedMask, 0xFF0000u);
    EXPECT_FALSE(CKSaveBitmap(dir.File("red.xyz").c_str(), image16)) << "no reader for the extension";
    EXPECT_FALSE(CKSaveBitmap(nullptr, image16));

    // The thumbnail travels with the file and its extension names the reader.
    CKFile* file = m_Context->CreateCKFile();
    ASSERT_EQ(file->StartSave(dir.File("with.qdx").c_str()), 0);
    file->SaveObject(NewItem(m_Context, "Thing"));
    ASSERT_TRUE(file->IncludeFile(path.c_str()));
    ASSERT_EQ(file->EndSave(), 0);
    ASSERT_EQ(file->m_PluginsDep.Size(), 1) << "the JPEG reader";
    EXPECT_EQ(file->m_PluginsDep[0].m_PluginCategory, (int) CKPLUGIN_BITMAP_READER);
    EXPECT_EQ(file->m_PluginsDep[0].m_Guids.Size(), 1);
    m_Context->DeleteCKFile(file);
    CKContext* fresh = NewContext();
    ASSERT_EQ(LoadFile(fresh, dir.File("with.qdx"), CK_LOAD_CHECKDEPENDENCIES), 0);
    std::string folder = fresh->GetPathManager()->GetTempFolder().CStr();
    EXPECT_EQ(ReadWholeFile(folder + "/zkthumbnail.jpg"), bytes);
}

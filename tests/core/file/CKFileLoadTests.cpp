#include <algorithm>
#include <chrono>
#include <cstring>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>
#include <zlib.h>

#include <gtest/gtest.h>

#include "core/context/CKPathManager.h"
#include "core/context/CKPluginManager.h"
#include "core/file/CKFile.h"
#include "core/file/CKFileFormat.h"
#include "core/object/CKObjectIDList.h"
#include "includes/CKByteOrder.h"
#include "platform/PlatformDebugOutput.h"
#include "platform/PlatformPaths.h"
#include "tests/core/support/ChunkTestSupport.h"
#include "tests/core/support/FileTestSupport.h"
#include "tests/support/TestPaths.h"

namespace {

using Bytes = std::vector<CKBYTE>;

void Put(Bytes& out, CKDWORD word)
{
    CKBYTE b[4];
    StoreLE32(b, word);
    out.insert(out.end(), b, b + 4);
}

void PutBytes(Bytes& out, const Bytes& bytes)
{
    out.insert(out.end(), bytes.begin(), bytes.end());
}

// A chunk as FileTestItem writes it, not bound to a file (references are
// saved ids), with the name under identifier 1 as old files keep it.
Bytes ItemChunk(const char* name, short priority, CK_ID ref, bool hidden)
{
    ChunkPtr chunk = NewChunk(FileTestItem::m_ClassID);
    chunk->StartWrite();
    if (name) {
        chunk->WriteIdentifier(1);
        chunk->WriteString(name);
    }
    if (hidden)
        chunk->WriteIdentifier(4);
    chunk->WriteIdentifier(FileTestItem::kIdentifier);
    chunk->WriteInt(priority);
    chunk->WriteFloat(2.5f);
    chunk->WriteObjectID(ref);
    chunk->StartObjectIDSequence(1);
    chunk->WriteObjectIDSequenceItem(ref);
    chunk->WriteBuffer(3, "abc");
    return Serialised(chunk.get());
}

Bytes ManagerChunk(std::vector<int> numbers)
{
    ChunkPtr chunk = NewChunk(0x42);
    chunk->StartWrite();
    chunk->WriteIdentifier(0x42);
    chunk->WriteInt((int) numbers.size());
    for (int n : numbers)
        chunk->WriteInt(n);
    chunk->WriteObjectID(0);
    return Serialised(chunk.get());
}

struct OldItem
{
    CK_ID id;
    std::string name;
    Bytes chunk;
    CK_CLASSID cid = FileTestItem::m_ClassID;
};

// A file of an older layout, built from the format description.
Bytes BuildOldFile(CKDWORD version, const std::vector<OldItem>& items,
                   const std::vector<std::pair<CKGUID, Bytes>>& managers, CKDWORD writeMode = 0, int crcDelta = 0)
{
    Bytes header;
    if (version >= 7)
        for (const OldItem& item : items) {
            Put(header, item.id);
            Put(header, (CKDWORD) item.cid);
            Put(header, 0);
            Put(header, (CKDWORD) item.name.size());
            header.insert(header.end(), item.name.begin(), item.name.end());
        }
    CK_ID highest = 0;
    for (const OldItem& item : items)
        highest = std::max(highest, item.id);
    Bytes data;
    Put(data, highest);
    Put(data, (CKDWORD) items.size());
    if (version >= 6)
        for (const auto& [guid, chunk] : managers) {
            Put(data, guid.d1);
            Put(data, guid.d2);
            Put(data, (CKDWORD) chunk.size());
            PutBytes(data, chunk);
        }
    for (const OldItem& item : items) {
        if (version < 7)
            Put(data, item.id);
        Put(data, (CKDWORD) item.chunk.size());
        PutBytes(data, item.chunk);
    }
    CKDWORD crc = (CKDWORD) adler32(0, data.data(), (uInt) data.size()) + (CKDWORD) crcDelta;
    Bytes stored = data;
    if (writeMode & 8) {
        uLongf size = compressBound(data.size());
        stored.resize(size);
        compress2(stored.data(), &size, data.data(), data.size(), 6);
        stored.resize(size);
    }
    Bytes file = {'D', 'o', 'r', 'n', ' ', 'F', 'i', 0};
    Put(file, crc);
    Put(file, 0x06012005);
    Put(file, version);
    Put(file, 0);
    Put(file, writeMode);
    Put(file, (CKDWORD) header.size());
    if (version >= 5) {
        Put(file, (CKDWORD) stored.size());
        Put(file, (CKDWORD) data.size());
        Put(file, (CKDWORD) (version >= 6 ? managers.size() : 0));
        Put(file, (CKDWORD) items.size());
        Put(file, highest);
        Put(file, 0);
        Put(file, 0x01010000);
        Put(file, (CKDWORD) header.size());
    }
    PutBytes(file, header);
    PutBytes(file, stored);
    return file;
}

Bytes WordsOf(std::initializer_list<CKDWORD> words)
{
    Bytes out;
    for (CKDWORD word : words)
        Put(out, word);
    return out;
}

// The file with what follows its object descriptors in the header data (the
// plug-in dependencies and the included-file table) replaced by `tail`; the
// header data must be stored plain.
Bytes WithHeaderTail(const Bytes& file, const Bytes& tail)
{
    const CKDWORD headerSize = LoadLE32(file.data() + 28);
    EXPECT_EQ(headerSize, LoadLE32(file.data() + 60)) << "the header data is stored plain";
    size_t at = 64;
    for (CKDWORD i = 0, count = LoadLE32(file.data() + 44); i < count; ++i)
        at += 16 + LoadLE32(file.data() + at + 12);
    Bytes out(file.begin(), file.begin() + (long) at);
    PutBytes(out, tail);
    out.insert(out.end(), file.begin() + 64 + headerSize, file.end());
    StoreLE32(out.data() + 28, (CKDWORD) (at - 64 + tail.size()));
    StoreLE32(out.data() + 60, (CKDWORD) (at - 64 + tail.size()));
    return out;
}

// A behaviour's chunk naming its plug-in by a prototype GUID (flags == -1)
// or by its flags and GUID, in the order of the chunk's data version.
Bytes BehaviorChunk(CKGUID guid, int flags, CKDWORD dataVersion = 0)
{
    ChunkPtr chunk = NewChunk(CKCID_BEHAVIOR);
    chunk->StartWrite();
    chunk->SetDataVersion(dataVersion);
    if (flags < 0) {
        chunk->WriteIdentifier(0x40000);
        chunk->WriteGuid(guid);
    } else {
        chunk->WriteIdentifier(32);
        if (dataVersion < 5)
            chunk->WriteGuid(guid);
        chunk->WriteDword((CKDWORD) flags);
        if (dataVersion >= 5)
            chunk->WriteGuid(guid);
    }
    return Serialised(chunk.get());
}

class CKFileLoad : public FileFixture
{
protected:
    CKERROR LoadBytes(CKContext* context, const Bytes& bytes, CKDWORD flags = 0, CKObjectIDList* list = nullptr)
    {
        CKFile* file = context->CreateCKFile();
        CKERROR result = file->OpenMemory(bytes.data(), (int) bytes.size(), flags);
        if (result == 0 || result == CKErr::PluginsMissing)
            result = file->LoadFileData(list);
        context->DeleteCKFile(file);
        return result;
    }

    FileTestItem* Find(CKContext* context, const char* name)
    {
        return static_cast<FileTestItem*>(context->GetObjectByNameAndClass(name, FileTestItem::m_ClassID));
    }

    // A small valid file of this engine's own layout.
    Bytes SaveSmall(TestTempDir& dir, int mode, const std::vector<std::string>& includes = {}, int items = 30)
    {
        m_Context->SetFileWriteMode(mode);
        CKFile* file = m_Context->CreateCKFile();
        EXPECT_EQ(file->StartSave(dir.File("small.qdx").c_str()), 0);
        FileTestItem* previous = nullptr;
        for (int i = 0; i < items; ++i) {
            FileTestItem* item = NewItem(m_Context, ("Item" + std::to_string(i)).c_str());
            item->m_Priority = (short) i;
            item->m_Ref = previous ? previous->GetID() : 0;
            item->m_Blob.assign((size_t) i, (CKBYTE) i);
            file->SaveObject(item);
            previous = item;
        }
        for (const std::string& include : includes)
            file->IncludeFile(include.c_str());
        EXPECT_EQ(file->EndSave(), 0);
        m_Context->DeleteCKFile(file);
        return ReadWholeFile(dir.File("small.qdx"));
    }
};

int g_ClashAnswer = 0;
int g_ClashMessages = 0;
CKERROR ClashCallback(CKUICallbackStruct& message, void*)
{
    if (message.Reason == CKUIM_LOADSAVENAMECLASH) {
        ++g_ClashMessages;
        return g_ClashAnswer;
    }
    return 0;
}

} // namespace

TEST_F(CKFileLoad, AHandBuiltVersion7FileLoadsPlainAndPacked)
{
    for (CKDWORD mode : {0u, 8u}) {
        SCOPED_TRACE(mode);
        CKContext* fresh = NewContext();
        fresh->SetInterfaceMode(TRUE, nullptr, nullptr);
        std::vector<OldItem> items = {{5, "Alpha", ItemChunk(nullptr, 11, 9, false)},
                                      {9, "Beta", ItemChunk(nullptr, 22, 5, true)}};
        Bytes file = BuildOldFile(7, items, {{kTestManagerGuid1, ManagerChunk({4, 5})}}, mode);
        ASSERT_EQ(LoadBytes(fresh, file), 0);
        FileTestItem* alpha = Find(fresh, "Alpha");
        FileTestItem* beta = Find(fresh, "Beta");
        ASSERT_NE(alpha, nullptr);
        ASSERT_NE(beta, nullptr);
        EXPECT_EQ(alpha->m_Priority, 11);
        EXPECT_EQ(beta->m_Priority, 22);
        EXPECT_EQ(alpha->m_Ref, beta->GetID()) << "saved ids are remapped to the new ones";
        EXPECT_EQ(beta->m_Ref, alpha->GetID());
        EXPECT_EQ(alpha->m_Refs, std::vector<CK_ID>{beta->GetID()});
        EXPECT_EQ(alpha->m_Blob, (std::vector<CKBYTE>{'a', 'b', 'c'}));
        EXPECT_TRUE(alpha->IsVisible());
        EXPECT_FALSE(beta->IsVisible());
        EXPECT_EQ(Manager(fresh, kTestManagerGuid1)->m_Loaded, (std::vector<int>{4, 5}));
        EXPECT_TRUE(CKIsLoadedFileObsolete());
        EXPECT_EQ(CKGetLoadedFileVersion(), 7u);
        EXPECT_EQ(CKGetLoadedFileEngineVersion(), 0x06012005u);
        CloseContext(fresh);
    }
}

TEST_F(CKFileLoad, HandBuiltVersion6To4FilesTakeNamesAndClassesFromTheChunks)
{
    for (CKDWORD version : {6u, 5u, 4u}) {
        SCOPED_TRACE(version);
        Console().clear();
        std::vector<OldItem> items = {{3, "", ItemChunk("Gamma", 33, 4, false)},
                                      {4, "", ItemChunk("Delta", 44, 0, false)}};
        Bytes file = BuildOldFile(version, items, {{kTestManagerGuid1, ManagerChunk({8})}});
        CKContext* fresh = NewContext();
        fresh->SetInterfaceMode(TRUE, ConsoleHook, nullptr);
        ASSERT_EQ(LoadBytes(fresh, file), 0);
        FileTestItem* gamma = Find(fresh, "Gamma");
        FileTestItem* delta = Find(fresh, "Delta");
        ASSERT_NE(gamma, nullptr);
        ASSERT_NE(delta, nullptr);
        EXPECT_EQ(gamma->m_Priority, 33);
        EXPECT_EQ(gamma->m_Ref, delta->GetID());
        EXPECT_EQ(delta->m_Ref, 0u);
        FileTestManager* manager = Manager(fresh, kTestManagerGuid1);
        if (version == 6)
            EXPECT_EQ(manager->m_Loaded, std::vector<int>{8}) << "version 6 has manager records";
        else
            EXPECT_EQ(manager->m_LoadCalls, 0) << "version 5 has none";
        EXPECT_TRUE(Said("Obsolete File Format,Please Re-Save..."));
        CloseContext(fresh);
    }
}

TEST_F(CKFileLoad, NewerVersionsShortFilesAndBadChecksumsAreRefusedAndCreateNothing)
{
    std::vector<OldItem> items = {{5, "Alpha", ItemChunk(nullptr, 1, 0, false)}};
    int before = m_Context->GetObjectsCountByClassID(FileTestItem::m_ClassID);

    Bytes newer = BuildOldFile(7, items, {});
    StoreLE32(newer.data() + 16, 10);
    Console().clear();
    EXPECT_EQ(LoadBytes(m_Context, newer), CKErr::ObsoleteKeltrane);
    EXPECT_TRUE(Said("This version is too old to load this file"));

    Bytes shortFile(newer.begin(), newer.begin() + 31);
    EXPECT_EQ(LoadBytes(m_Context, shortFile), CKErr::InvalidFile);
    EXPECT_EQ(LoadBytes(m_Context, Bytes{'D', 'o', 'r', 'n'}), CKErr::InvalidFile);
    Bytes noSignature = BuildOldFile(7, items, {});
    noSignature[0] = 'X';
    EXPECT_EQ(LoadBytes(m_Context, noSignature), CKErr::InvalidFile);
    Bytes onlyPart0(newer.begin(), newer.begin() + 40);
    StoreLE32(onlyPart0.data() + 16, 7);
    EXPECT_EQ(LoadBytes(m_Context, onlyPart0), CKErr::InvalidFile) << "version 5 and above need 64 bytes";

    Console().clear();
    EXPECT_EQ(LoadBytes(m_Context, BuildOldFile(7, items, {}, 0, 1)), CKErr::FileCRCError);
    EXPECT_TRUE(Said("Crc Error in m_File"));
    EXPECT_EQ(LoadBytes(m_Context, BuildOldFile(6, items, {}, 8, 1)), CKErr::FileCRCError);

    TestTempDir dir;
    for (int mode : {0, 8}) {
        Bytes current = SaveSmall(dir, mode);
        int saved = m_Context->GetObjectsCountByClassID(FileTestItem::m_ClassID);
        // One bit of the stored data flipped: version 8 files are checked too.
        CKDWORD hdr = LoadLE32(current.data() + 28);
        Bytes sizeWord = current;
        current[64 + hdr + 5] ^= 0x10;
        Console().clear();
        EXPECT_EQ(LoadBytes(m_Context, current), CKErr::FileCRCError);
        EXPECT_TRUE(Said("Crc Error in m_File"));
        // A broken size word is a checksum error too, not a layout error.
        sizeWord[64 + hdr + 10] ^= 0x40;
        EXPECT_EQ(LoadBytes(m_Context, sizeWord), CKErr::FileCRCError);
        EXPECT_EQ(m_Context->GetObjectsCountByClassID(FileTestItem::m_ClassID), saved);
    }
    EXPECT_EQ(m_Context->GetObjectsCountByClassID(FileTestItem::m_ClassID), before + 60);

    CKFile* file = m_Context->CreateCKFile();
    EXPECT_EQ(file->OpenFile(dir.File("missing.qdx").c_str()), CKErr::InvalidParameter);
    EXPECT_EQ(file->OpenFile(nullptr), CKErr::InvalidParameter);
    EXPECT_EQ(file->OpenMemory(nullptr, 100), CKErr::InvalidParameter);
    EXPECT_EQ(file->LoadFileData(nullptr), CKErr::InvalidFile) << "nothing open";
    WriteWholeFile(dir.File("short.qdx"), Bytes(20, 'D'));
    EXPECT_EQ(file->OpenFile(dir.File("short.qdx").c_str()), CKErr::InvalidFile);
    m_Context->DeleteCKFile(file);
}

TEST_F(CKFileLoad, EveryPrefixOfAValidFileIsRefusedAndCreatesNothing)
{
    TestTempDir dir;
    WriteWholeFile(dir.File("inc.bin"), Bytes{9, 8, 7});
    for (int mode : {0, 8}) {
        SCOPED_TRACE(mode);
        Bytes file = SaveSmall(dir, mode, {dir.File("inc.bin")}, 6);
        CKContext* fresh = NewContext();
        ASSERT_EQ(LoadBytes(fresh, file), 0);
        int full = fresh->GetObjectsCountByClassID(FileTestItem::m_ClassID);
        EXPECT_EQ(full, 6);
        CloseContext(fresh);
        fresh = NewContext();
        for (size_t length = 0; length < file.size(); ++length) {
            Bytes prefix(file.begin(), file.begin() + (long) length);
            CKERROR result = LoadBytes(fresh, prefix);
            EXPECT_NE(result, 0) << "prefix of " << length << " bytes";
            ASSERT_EQ(fresh->GetObjectsCountByClassID(FileTestItem::m_ClassID), 0) << "prefix of " << length;
        }
        CloseContext(fresh);
    }
}

TEST_F(CKFileLoad, IncludedFileNamesAreReducedToBareNamesInsideTheTemporaryFolder)
{
    TestTempDir dir;
    for (const char* name : {"zzzz", "yyyy", "wwww", "vvvv", "uuuu"})
        WriteWholeFile(dir.File(name), Bytes(10, (CKBYTE) name[0]));
    WriteWholeFile(dir.File("empty"), Bytes{});
    Bytes file = SaveSmall(dir, 8,
                           {dir.File("zzzz"), dir.File("yyyy"), dir.File("wwww"), dir.File("vvvv"), dir.File("uuuu"),
                            dir.File("empty"), dir.File("missing")},
                           1);
    auto patch = [&](const char* from, const char* to) {
        auto at = std::search(file.begin() + 64, file.end(), from, from + 4);
        ASSERT_NE(at, file.end());
        std::memcpy(&*at, to, 4);
    };
    patch("zzzz", "../x");
    patch("yyyy", "....");
    patch("wwww", "/../");
    patch("vvvv", "a\\/v");
    patch("uuuu", "\\...");
    CKContext* fresh = NewContext();
    std::string folder = fresh->GetPathManager()->GetTempFolder().CStr();
    std::string parent = folder.substr(0, folder.find_last_of('/'));
    bool xBefore = PlatformPathExists((parent + "/x").c_str());
    ASSERT_EQ(LoadBytes(fresh, file), 0);
    EXPECT_EQ(ReadWholeFile(folder + "/x"), Bytes(10, 'z')) << "../x becomes x inside the folder";
    EXPECT_EQ(PlatformPathExists((parent + "/x").c_str()), xBefore) << "nothing is written outside";
    EXPECT_FALSE(PlatformPathExists((folder + "/....").c_str())) << "a name of dots is refused";
    EXPECT_FALSE(PlatformPathExists((folder + "/...").c_str())) << "so is one after a separator";
    EXPECT_EQ(ReadWholeFile(folder + "/v"), Bytes(10, 'v'));
    EXPECT_FALSE(PlatformPathExists((folder + "/empty").c_str())) << "size 0 extracts nothing";
    EXPECT_FALSE(PlatformPathExists((folder + "/missing").c_str()));
    EXPECT_EQ(fresh->GetObjectsCountByClassID(FileTestItem::m_ClassID), 1) << "the objects still load";
}

TEST_F(CKFileLoad, ANameClashAnsweredCancelCancelsTheLoadAndCreatesNothing)
{
    TestTempDir dir;
    Bytes file = SaveSmall(dir, 8, {}, 3);
    CKContext* fresh = NewContext();
    NewItem(fresh, "Item1");
    fresh->SetInterfaceMode(TRUE, ClashCallback, nullptr);
    g_ClashAnswer = CKErr::Canceled;
    g_ClashMessages = 0;
    EXPECT_EQ(LoadBytes(fresh, file, CK_LOAD_DODIALOG), CKErr::Canceled);
    EXPECT_EQ(g_ClashMessages, 1);
    EXPECT_EQ(fresh->GetObjectsCountByClassID(FileTestItem::m_ClassID), 1);

    // No clash, no question.
    CKContext* clean = NewContext();
    clean->SetInterfaceMode(TRUE, ClashCallback, nullptr);
    EXPECT_EQ(LoadBytes(clean, file, CK_LOAD_DODIALOG), 0);
    EXPECT_EQ(g_ClashMessages, 1);

    // Answered otherwise, the load goes on and makes every object.
    g_ClashAnswer = 0;
    EXPECT_EQ(LoadBytes(fresh, file, CK_LOAD_DODIALOG), 0);
    EXPECT_EQ(fresh->GetObjectsCountByClassID(FileTestItem::m_ClassID), 4);

    // Policies: 2 (a numbered name) through the context, reset after the load.
    CKContext* other = NewContext();
    FileTestItem* existing = NewItem(other, "Item1");
    other->SetNameClashPolicy(CK_NAMECLASH_ALL, 2);
    EXPECT_EQ(LoadBytes(other, file, CK_LOAD_AUTOMATICMODE), 0);
    EXPECT_NE(Find(other, "Item1000"), nullptr);
    EXPECT_EQ(existing->m_Loads, 0);
    EXPECT_EQ(other->GetNameClashPolicy(CK_NAMECLASH_ALL), -1);

    // Replacing loads over the existing object.
    CKContext* third = NewContext();
    FileTestItem* replaced = NewItem(third, "Item1");
    EXPECT_EQ(LoadBytes(third, file, CK_LOAD_CHECKDUPLICATES | CK_LOAD_REPLACEDUPLICATES), 0);
    EXPECT_EQ(third->GetObjectsCountByClassID(FileTestItem::m_ClassID), 3);
    EXPECT_EQ(replaced->m_Loads, 1);
    EXPECT_EQ(replaced->m_Priority, 1);
}

TEST_F(CKFileLoad, UnknownClassesGiveNoObjectAndLyingCountsAreRefused)
{
    TestTempDir dir;
    Bytes file = SaveSmall(dir, 0, {}, 3);
    // The second descriptor names a class the registry does not know: just
    // past its classes, far past them, or a negative one.
    CKContext* fresh = nullptr;
    for (const CKDWORD cid : {200u, 0x7FFFFFF0u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(cid);
        Bytes unknown = file;
        CKDWORD nameLength = LoadLE32(unknown.data() + 64 + 12);
        StoreLE32(unknown.data() + 64 + 16 + nameLength + 4, cid);
        fresh = NewContext();
        CKFile* loader = fresh->CreateCKFile();
        ASSERT_EQ(loader->OpenMemory(unknown.data(), (int) unknown.size(), 0), 0);
        ASSERT_EQ(loader->LoadFileData(nullptr), 0);
        EXPECT_EQ(loader->m_FileObjects[1].m_CreatedObject, 0u);
        CK_ID third = loader->m_FileObjects[2].m_CreatedObject;
        fresh->DeleteCKFile(loader);
        EXPECT_EQ(fresh->GetObjectsCountByClassID(FileTestItem::m_ClassID), 2);
        auto* item = static_cast<FileTestItem*>(fresh->GetObject(third));
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->m_Ref, 0u) << "the reference to the missing object is empty";
    }

    for (int field : {44 /*object count*/, 40 /*manager count*/, 60 /*header unpacked*/, 32 /*data stored*/, 28}) {
        Bytes lying = file;
        StoreLE32(lying.data() + field, 0x7FFFFFF0);
        EXPECT_NE(LoadBytes(fresh, lying), 0) << "field at " << field;
        EXPECT_EQ(fresh->GetObjectsCountByClassID(FileTestItem::m_ClassID), 2);
    }
    // A highest id that claims more than any allocation may hold loads fine:
    // the load table never sizes by it.
    Bytes high = file;
    StoreLE32(high.data() + 48, 0x7FFFFFFF);
    EXPECT_EQ(LoadBytes(fresh, high), 0);
}

TEST_F(CKFileLoad, MissingPluginsAreReportedButDoNotStopTheLoad)
{
    TestTempDir dir;
    CKPluginInfo info(kTestManagerGuid1, nullptr, "Test manager", "", "", 1, nullptr, nullptr, CKPLUGIN_MANAGER_DLL);
    CKGetPluginManager()->RegisterPlugin(0, &info, nullptr, nullptr);
    CKGetPluginManager()->AddStaticDll("test", 1);
    Manager(m_Context, kTestManagerGuid1)->m_Numbers = {1};
    Bytes file = SaveSmall(dir, 0, {}, 2);
    // The dependency list names the manager's plug-in in category 3.
    CKBYTE guid[8];
    StoreLE32(guid, kTestManagerGuid1.d1);
    StoreLE32(guid + 4, kTestManagerGuid1.d2);
    auto where = std::search(file.begin() + 64, file.begin() + 64 + LoadLE32(file.data() + 28), guid, guid + 8);
    ASSERT_NE(where, file.begin() + 64 + LoadLE32(file.data() + 28));
    EXPECT_EQ(LoadLE32(&*(where - 8)), (CKDWORD) CKPLUGIN_MANAGER_DLL);
    EXPECT_EQ(LoadBytes(NewContext(), file, CK_LOAD_CHECKDEPENDENCIES), 0) << "present";

    Bytes missing = file;
    std::memset(&missing[(size_t) (where - file.begin())], 0x5A, 8);
    CKContext* fresh = NewContext();
    CKFile* loader = fresh->CreateCKFile();
    EXPECT_EQ(loader->OpenMemory(missing.data(), (int) missing.size(), CK_LOAD_CHECKDEPENDENCIES),
              CKErr::PluginsMissing);
    ASSERT_EQ(loader->m_PluginsDep.Size(), 1);
    EXPECT_FALSE(loader->m_PluginsDep[0].m_ValidGuids.IsSet(0));
    EXPECT_EQ(loader->LoadFileData(nullptr), 0) << "the objects load anyway";
    fresh->DeleteCKFile(loader);
    EXPECT_EQ(fresh->GetObjectsCountByClassID(FileTestItem::m_ClassID), 2);
    EXPECT_EQ(LoadBytes(NewContext(), missing, 0), 0) << "unchecked without the flag";

    // Missing plug-ins do not stop the search for name clashes either.
    CKContext* clashing = NewContext();
    NewItem(clashing, "Item1");
    loader = clashing->CreateCKFile();
    EXPECT_EQ(
        loader->OpenMemory(missing.data(), (int) missing.size(), CK_LOAD_CHECKDEPENDENCIES | CK_LOAD_CHECKDUPLICATES),
        CKErr::PluginsMissing);
    EXPECT_EQ(std::vector<int>(loader->m_DuplicateNameFounds.Begin(), loader->m_DuplicateNameFounds.End()),
              std::vector<int>{1});
    clashing->DeleteCKFile(loader);

    Bytes always = file;
    StoreLE32(&always[(size_t) (where - file.begin())], 0x511928D5);
    StoreLE32(&always[(size_t) (where - file.begin()) + 4], 0x536A4D32);
    EXPECT_EQ(LoadBytes(NewContext(), always, CK_LOAD_CHECKDEPENDENCIES), 0);
}

TEST_F(CKFileLoad, OnlyBehaviorsLoadsNoOtherObjectAndCallsNoPostLoad)
{
    TestTempDir dir;
    Bytes file = SaveSmall(dir, 8, {}, 4);
    CKContext* fresh = NewContext();
    CKObjectIDList list;
    EXPECT_EQ(LoadBytes(fresh, file, CK_LOAD_ONLYBEHAVIORS, &list), 0);
    EXPECT_EQ(fresh->GetObjectsCountByClassID(FileTestItem::m_ClassID), 0) << "their chunks were skipped";
    EXPECT_EQ(list.GetCount(), 0);
}

TEST_F(CKFileLoad, TheGridManagerIsAlwaysCalledAndLoadedFilesAreRemembered)
{
    TestTempDir dir;
    Bytes file = SaveSmall(dir, 8, {}, 2);
    CKContext* fresh = NewContext();
    auto* grid = new FileTestManager(fresh, GRID_MANAGER_GUID, "Grid");
    grid->m_Saves = false;
    WriteWholeFile(dir.File("level.qbx"), file);
    ASSERT_EQ(LoadFile(fresh, dir.File("level.qbx")), 0);
    EXPECT_EQ(grid->m_LoadCalls, 1);
    EXPECT_TRUE(grid->m_LoadedNull) << "called with no chunk when the file holds none for it";
    EXPECT_EQ(std::string(fresh->GetLastCompositionLoaded()), dir.File("level.qbx"));
}

TEST_F(CKFileLoad, DependencyAndIncludedTablesThatPassTheHeaderDataAreRefused)
{
    TestTempDir dir;
    const Bytes file = SaveSmall(dir, 0, {}, 3);
    struct Case
    {
        const char* what;
        Bytes tail;
        CKERROR expected;
    };
    const Case cases[] = {
        // Entries are a category and a GUID count (8 bytes), then the GUIDs.
        {"no dependency and no table", WordsOf({0, 0}), CKErr::Ok},
        {"two empty entries that fill the rest", WordsOf({2, 1, 0, 2, 0, 0}), CKErr::Ok},
        {"one entry with its GUID", WordsOf({1, 3, 1, 7, 8, 0}), CKErr::Ok},
        {"an entry more than the rest holds", WordsOf({3, 1, 0, 2, 0, 0}), CKErr::InvalidFile},
        {"an entry count no header holds", WordsOf({0x7FFFFFFF, 0}), CKErr::InvalidFile},
        {"GUIDs past the header data", WordsOf({1, 3, 2, 7, 8, 0}), CKErr::InvalidFile},
        {"a GUID count no header holds", WordsOf({1, 3, 0xFFFFFFFF, 0}), CKErr::InvalidFile},
        {"nothing after the descriptors", Bytes{}, CKErr::InvalidFile},
        {"an entry count cut short", Bytes{0, 0}, CKErr::InvalidFile},
        {"no included-file table size", WordsOf({0}), CKErr::InvalidFile},
        // The table: its size, the count, the rest skipped.
        {"a table of only its count", WordsOf({0, 4, 0}), CKErr::Ok},
        {"a table that ends the header data", WordsOf({0, 12, 0, 7, 7}), CKErr::Ok},
        {"a table a byte past the header data", WordsOf({0, 13, 0, 7, 7}), CKErr::InvalidFile},
        {"a table far past the header data", WordsOf({0, 0x7FFFFFFF, 0, 7, 7}), CKErr::InvalidFile},
        {"a table size below its count", WordsOf({0, 3, 0}), CKErr::InvalidFile},
        {"a table without its count", WordsOf({0, 8}), CKErr::InvalidFile},
        {"included files with no bytes after the data", WordsOf({0, 4, 1}), CKErr::InvalidFile},
    };
    // Loaded asking about name clashes: a refused file asks nothing.
    g_ClashAnswer = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CKContext* fresh = NewContext();
        NewItem(fresh, "Item0");
        fresh->SetInterfaceMode(TRUE, ClashCallback, nullptr);
        g_ClashMessages = 0;
        EXPECT_EQ(LoadBytes(fresh, WithHeaderTail(file, c.tail), CK_LOAD_DODIALOG), c.expected);
        const bool loaded = c.expected == CKErr::Ok;
        EXPECT_EQ(g_ClashMessages, loaded ? 1 : 0);
        EXPECT_EQ(fresh->GetObjectsCountByClassID(FileTestItem::m_ClassID), 1 + (loaded ? 3 : 0));
        CloseContext(fresh);
    }
}

// A dependency count that no header data could hold is refused on its own,
// before any entry is read, with a message that says so; the file object is
// then left with no dependency, not with those of the file it opened before.
TEST_F(CKFileLoad, ADependencyCountNoHeaderHoldsIsRefusedAndLeavesNoDependency)
{
    TestTempDir dir;
    const Bytes file = SaveSmall(dir, 0, {}, 3);
    CKContext* fresh = NewContext();
    CKFile* loader = fresh->CreateCKFile();
    const Bytes one = WithHeaderTail(file, WordsOf({1, 3, 1, 7, 8, 0}));
    ASSERT_EQ(loader->OpenMemory(one.data(), (int) one.size(), 0), CKErr::Ok);
    ASSERT_EQ(loader->m_PluginsDep.Size(), 1);

    static std::vector<std::string> lines;
    lines.clear();
    const PlatformDebugOutputHook previous =
        PlatformSetDebugOutputHook([](const char* text) { lines.emplace_back(text); });
    const Bytes counts[] = {WithHeaderTail(file, WordsOf({0xFFFFFFFF, 0})), WithHeaderTail(file, WordsOf({2, 0}))};
    for (const Bytes& bad : counts)
        EXPECT_EQ(loader->OpenMemory(bad.data(), (int) bad.size(), CK_LOAD_CHECKDEPENDENCIES), CKErr::InvalidFile);
    PlatformSetDebugOutputHook(previous);
    EXPECT_EQ(loader->m_PluginsDep.Size(), 0);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find(": 4294967295 plug-in dependency entries cannot fit in the header data"), std::string::npos)
        << lines[0];
    EXPECT_NE(lines[1].find(": 2 plug-in dependency entries cannot fit in the header data"), std::string::npos)
        << lines[1];

    // An entry read before the refusal is not kept either.
    const Bytes partial = WithHeaderTail(file, WordsOf({2, 3, 1, 7, 8, 0}));
    EXPECT_EQ(loader->OpenMemory(partial.data(), (int) partial.size(), 0), CKErr::InvalidFile);
    EXPECT_EQ(loader->m_PluginsDep.Size(), 0);
    fresh->DeleteCKFile(loader);
}

TEST_F(CKFileLoad, OldFilesNameTheBuildingBlocksTheyMissAndSkipEmptyRecords)
{
    const CKGUID absent(0x0BADF00D, 0x12345678);
    const CK_CLASSID item = FileTestItem::m_ClassID;
    struct Case
    {
        const char* what;
        CK_CLASSID cid;
        Bytes chunk;
        bool missing;
    };
    const Case cases[] = {
        {"a prototype GUID", CKCID_BEHAVIOR, BehaviorChunk(absent, -1), true},
        {"a building block, GUID first", CKCID_BEHAVIOR, BehaviorChunk(absent, 0x8000), true},
        {"a building block, flags first", CKCID_BEHAVIOR, BehaviorChunk(absent, 0x8001, 5), true},
        {"a behaviour that is no building block", CKCID_BEHAVIOR, BehaviorChunk(absent, 0x0001, 5), false},
        {"a behaviour without a chunk", CKCID_BEHAVIOR, Bytes{}, false},
        {"another class with a GUID where a behaviour keeps it", item, BehaviorChunk(absent, -1), false},
        {"another class without a chunk", item, Bytes{}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes file =
            BuildOldFile(7, {{3, "Named", ItemChunk(nullptr, 1, 0, false)}, {4, "Probe", c.chunk, c.cid}}, {});
        CKContext* fresh = NewContext();
        CKFile* loader = fresh->CreateCKFile();
        EXPECT_EQ(loader->OpenMemory(file.data(), (int) file.size(), CK_LOAD_CHECKDEPENDENCIES),
                  c.missing ? CKErr::PluginsMissing : CKErr::Ok);
        ASSERT_EQ(loader->m_PluginsDep.Size(), 2);
        EXPECT_EQ(loader->m_PluginsDep[0].m_PluginCategory, CKPLUGIN_BEHAVIOR_DLL);
        std::vector<CKGUID> named(loader->m_PluginsDep[0].m_Guids.Begin(), loader->m_PluginsDep[0].m_Guids.End());
        EXPECT_EQ(named, c.missing ? std::vector<CKGUID>{absent} : std::vector<CKGUID>{});
        fresh->DeleteCKFile(loader);
        CloseContext(fresh);
    }
}

TEST_F(CKFileLoad, OnlyNamedNewObjectsOfKnownClassesAreNameClashes)
{
    // Records against a context holding "Taken" and an unnamed item: a
    // reference is looked up rather than created, an unknown class (even a
    // named one) is never created, an unnamed record cannot clash.
    struct Record
    {
        CK_ID id;
        const char* name;
        CK_CLASSID cid;
        bool clash;
    };
    const CK_CLASSID item = FileTestItem::m_ClassID;
    const Record records[] = {
        {5, "Taken", item, true}, {6 | CK_FILE_REFERENCE_BIT, "Taken", item, false},
        {7, "Taken", 200, false}, {8, "Taken", -3, false},
        {9, "", item, false},     {10, "Free", item, false},
    };
    std::vector<OldItem> items;
    std::vector<int> clashes;
    for (const Record& r : records) {
        if (r.clash)
            clashes.push_back((int) items.size());
        items.push_back({r.id, r.name, ItemChunk(nullptr, 1, 0, false), r.cid});
    }
    const Bytes file = BuildOldFile(7, items, {});
    CKContext* fresh = NewContext();
    FileTestItem* taken = NewItem(fresh, "Taken");
    NewItem(fresh);
    CKFile* loader = fresh->CreateCKFile();
    ASSERT_EQ(loader->OpenMemory(file.data(), (int) file.size(), CK_LOAD_CHECKDUPLICATES), 0);
    EXPECT_EQ(std::vector<int>(loader->m_DuplicateNameFounds.Begin(), loader->m_DuplicateNameFounds.End()), clashes);
    ASSERT_EQ(loader->LoadFileData(nullptr), 0);
    EXPECT_EQ(loader->m_FileObjects[1].m_CreatedObject, taken->GetID()) << "the reference finds the object";
    EXPECT_EQ(loader->m_FileObjects[2].m_CreatedObject, 0u);
    EXPECT_EQ(loader->m_FileObjects[3].m_CreatedObject, 0u);
    fresh->DeleteCKFile(loader);
    EXPECT_EQ(fresh->GetObjectsCountByClassID(item), 2 + 3) << "the clashing, unnamed and free records";
}

TEST_F(CKFileLoad, OldObjectCountsThatPassTheDataAreRefused)
{
    // Version 5 keeps no descriptors: the data's count says how many records
    // follow, each an id and a chunk size at least (8 bytes).
    const Bytes named = BuildOldFile(5, {{3, "", {}}, {4, "", {}}, {5, "", ItemChunk("Epsilon", 5, 0, false)}}, {});
    const Bytes empty = BuildOldFile(5, {{3, "", {}}, {4, "", {}}}, {});
    struct Case
    {
        const Bytes* file;
        CKDWORD count;
        CKERROR expected;
        bool epsilon;
    };
    const Case cases[] = {
        {&named, 3, CKErr::Ok, true},
        {&named, 2, CKErr::Ok, false}, // the last record is left unread
        {&named, 4, CKErr::InvalidFile, false},
        {&empty, 2, CKErr::Ok, false}, // empty records that fill the data exactly
        {&empty, 3, CKErr::InvalidFile, false},
        {&empty, 0x7FFFFFFF, CKErr::InvalidFile, false},
        {&empty, 0xFFFFFFFF, CKErr::InvalidFile, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.file->size() << " bytes, count " << c.count);
        Bytes lying = *c.file;
        StoreLE32(lying.data() + 64 + 4, c.count);
        StoreLE32(lying.data() + 8, (CKDWORD) adler32(0, lying.data() + 64, (uInt) (lying.size() - 64)));
        CKContext* fresh = NewContext();
        EXPECT_EQ(LoadBytes(fresh, lying), c.expected);
        EXPECT_EQ(Find(fresh, "Epsilon") != nullptr, c.epsilon);
        CloseContext(fresh);
    }
}

TEST_F(CKFileLoad, OldHeaderSizesThatPassTheFileAreRefused)
{
    const std::vector<OldItem> items = {{5, "Alpha", ItemChunk(nullptr, 1, 0, false)}};
    const Bytes plain = BuildOldFile(7, items, {});
    const Bytes packed = BuildOldFile(7, items, {}, 8);
    // Header data stored (at 28) and data stored (at 32), both behind the
    // 64-byte header.
    const CKDWORD plainRest = (CKDWORD) plain.size() - 64;
    const CKDWORD packedData = LoadLE32(packed.data() + 32);
    struct Case
    {
        const char* what;
        const Bytes* file;
        size_t field;
        CKDWORD value;
        CKERROR expected;
    };
    const Case cases[] = {
        {"as written, plain", &plain, 28, LoadLE32(plain.data() + 28), CKErr::Ok},
        {"as written, packed", &packed, 32, packedData, CKErr::Ok},
        {"header data a byte past the file", &plain, 28, plainRest + 1, CKErr::InvalidFile},
        {"header data 60 bytes past the file", &plain, 28, plainRest + 60, CKErr::InvalidFile},
        {"packed data a byte past the file", &packed, 32, packedData + 1, CKErr::InvalidFile},
        {"packed data far past the file", &packed, 32, packedData + 1000, CKErr::InvalidFile},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes lying = *c.file;
        StoreLE32(lying.data() + c.field, c.value);
        CKContext* fresh = NewContext();
        EXPECT_EQ(LoadBytes(fresh, lying), c.expected);
        EXPECT_EQ(Find(fresh, "Alpha") != nullptr, c.expected == CKErr::Ok);
        CloseContext(fresh);
    }
}

TEST_F(CKFileLoad, TheResolverRunsWithoutTheCreationLockAmongManyCreations)
{
    // Created records around a reference, more than one run of creations
    // under one hold of the context's creation lock: the resolver, the
    // caller's code, may have another thread create an object.
    const CK_CLASSID item = FileTestItem::m_ClassID;
    std::vector<OldItem> items;
    for (int i = 0; i < 600; ++i) {
        const CK_ID id = (CK_ID) (i + 1) | (i == 300 ? CK_FILE_REFERENCE_BIT : 0);
        items.push_back({id, "Item" + std::to_string(i), ItemChunk(nullptr, 1, 0, false), item});
    }
    const Bytes file = BuildOldFile(7, items, {});
    CKContext* fresh = NewContext();
    FileTestItem* target = NewItem(fresh, "Target");
    struct Resolving
    {
        FileTestItem* target = nullptr;
        std::thread helper;
        bool createdMeanwhile = false;
        int calls = 0;
    } resolving;
    resolving.target = target;
    CKFile* loader = fresh->CreateCKFile();
    loader->SetReferenceResolver(
        [](CKContext* context, const CKFileObjectRecord&, void* data) -> CKObject* {
            auto* r = static_cast<Resolving*>(data);
            ++r->calls;
            auto made = std::make_shared<std::promise<void>>();
            std::future<void> done = made->get_future();
            r->helper = std::thread([context, made] {
                context->CreateObject(FileTestItem::m_ClassID, "FromAnotherThread");
                made->set_value();
            });
            // Held by the loader, the lock would keep the helper waiting
            // until the load ends.
            r->createdMeanwhile = done.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
            return r->target;
        },
        &resolving);
    ASSERT_EQ(loader->OpenMemory(file.data(), (int) file.size(), 0), 0);
    ASSERT_EQ(loader->LoadFileData(nullptr), 0);
    if (resolving.helper.joinable())
        resolving.helper.join();
    EXPECT_EQ(resolving.calls, 1);
    EXPECT_TRUE(resolving.createdMeanwhile);
    EXPECT_EQ(loader->m_FileObjects[300].m_CreatedObject, target->GetID());
    EXPECT_EQ(loader->m_FileObjects[599].m_Object, Find(fresh, "Item599"));
    fresh->DeleteCKFile(loader);
    EXPECT_EQ(fresh->GetObjectsCountByClassID(item), 1 + 599 + 1);
    CloseContext(fresh);
}

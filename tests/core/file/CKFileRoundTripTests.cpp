#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>
#include <zlib.h>

#include <gtest/gtest.h>

#include "core/context/CKPathManager.h"
#include "core/file/CKFile.h"
#include "core/object/CKBeObject.h"
#include "core/object/CKObjectIDList.h"
#include "core/object/CKObjectManager.h"
#include "includes/CKByteOrder.h"
#include "platform/PlatformPaths.h"
#include "tests/core/support/FileTestSupport.h"
#include "tests/support/TestPaths.h"

namespace {

using Bytes = std::vector<CKBYTE>;

// A reader of engine files written from the description of the format
// alone, sharing no code with the engine's own loader.
struct IndependentReader
{
    struct Descriptor
    {
        CKDWORD id = 0;
        CKDWORD cid = 0;
        CKDWORD offset = 0;
        CKDWORD nameLength = 0;
        std::string name; // without the padding
        Bytes rawName;
    };
    struct Record
    {
        CKGUID guid;
        Bytes chunk;
    };
    struct Included
    {
        std::string name;
        Bytes content;
    };

    CKDWORD crc = 0, engineVersion = 0, fileVersion = 0, reserved = 0, saveOptions = 0, hdrStored = 0;
    CKDWORD dataStored = 0, dataUnpacked = 0, managerCount = 0, objectCount = 0, highestId = 0;
    CKDWORD productVersion = 0, productBuild = 0, hdrUnpacked = 0;
    Bytes headerStored, header, dataStoredBytes, data;
    std::vector<Descriptor> descriptors;
    std::vector<std::pair<CKDWORD, std::vector<CKGUID>>> dependencies;
    CKDWORD includedTableSize = 0, includedCount = 0;
    std::vector<Record> managers;
    std::vector<Bytes> objects;
    std::vector<Included> included;
    std::string error;

    static CKDWORD Word(const Bytes& b, size_t at) { return at + 4 <= b.size() ? LoadLE32(b.data() + at) : 0xDEADBEEF; }

    static bool Inflate(const Bytes& in, CKDWORD size, Bytes& out)
    {
        out.assign(size, 0);
        uLongf outSize = size;
        return uncompress(out.data(), &outSize, in.data(), in.size()) == Z_OK && outSize == size;
    }

    bool Parse(const Bytes& file)
    {
        if (file.size() < 64)
            return Fail("short");
        if (std::memcmp(file.data(), "Dorn Fi\0", 8) != 0)
            return Fail("signature");
        crc = Word(file, 8);
        engineVersion = Word(file, 12);
        fileVersion = Word(file, 16);
        reserved = Word(file, 20);
        saveOptions = Word(file, 24);
        hdrStored = Word(file, 28);
        dataStored = Word(file, 32);
        dataUnpacked = Word(file, 36);
        managerCount = Word(file, 40);
        objectCount = Word(file, 44);
        highestId = Word(file, 48);
        productVersion = Word(file, 52);
        productBuild = Word(file, 56);
        hdrUnpacked = Word(file, 60);
        if ((uint64_t) 64 + hdrStored + dataStored > file.size())
            return Fail("sections pass the file");
        headerStored.assign(file.begin() + 64, file.begin() + 64 + hdrStored);
        dataStoredBytes.assign(file.begin() + 64 + hdrStored, file.begin() + 64 + hdrStored + dataStored);
        if (hdrStored != hdrUnpacked) {
            if (!Inflate(headerStored, hdrUnpacked, header))
                return Fail("header data does not inflate");
        } else {
            header = headerStored;
        }
        if ((saveOptions & 9) && dataStored != dataUnpacked) {
            if (!Inflate(dataStoredBytes, dataUnpacked, data))
                return Fail("data does not inflate");
        } else {
            data = dataStoredBytes;
        }
        // Header data.
        size_t at = 0;
        for (CKDWORD i = 0; i < objectCount; ++i) {
            Descriptor d;
            d.id = Word(header, at);
            d.cid = Word(header, at + 4);
            d.offset = Word(header, at + 8);
            d.nameLength = Word(header, at + 12);
            at += 16;
            if (at + d.nameLength > header.size())
                return Fail("descriptor name passes the header data");
            d.rawName.assign(header.begin() + (long) at, header.begin() + (long) (at + d.nameLength));
            for (CKBYTE c : d.rawName) {
                if (!c)
                    break;
                d.name += (char) c;
            }
            at += d.nameLength;
            descriptors.push_back(d);
        }
        CKDWORD entries = Word(header, at);
        at += 4;
        for (CKDWORD e = 0; e < entries; ++e) {
            CKDWORD category = Word(header, at);
            CKDWORD count = Word(header, at + 4);
            at += 8;
            std::vector<CKGUID> guids;
            for (CKDWORD g = 0; g < count; ++g, at += 8)
                guids.emplace_back(Word(header, at), Word(header, at + 4));
            dependencies.emplace_back(category, guids);
        }
        includedTableSize = Word(header, at);
        includedCount = Word(header, at + 4);
        at += 4 + includedTableSize;
        if (at != header.size())
            return Fail("header data has bytes left over");
        // Data.
        at = 0;
        for (CKDWORD m = 0; m < managerCount; ++m) {
            Record r;
            r.guid = CKGUID(Word(data, at), Word(data, at + 4));
            CKDWORD size = Word(data, at + 8);
            at += 12;
            if (at + size > data.size())
                return Fail("manager record passes the data");
            r.chunk.assign(data.begin() + (long) at, data.begin() + (long) (at + size));
            at += size;
            managers.push_back(r);
        }
        for (CKDWORD o = 0; o < objectCount; ++o) {
            CKDWORD size = Word(data, at);
            at += 4;
            if (at + size > data.size())
                return Fail("object record passes the data");
            objects.emplace_back(data.begin() + (long) at, data.begin() + (long) (at + size));
            at += size;
        }
        if (at != data.size())
            return Fail("data has bytes left over");
        // Included files.
        at = 64 + hdrStored + dataStored;
        for (CKDWORD i = 0; i < includedCount; ++i) {
            Included f;
            CKDWORD length = Word(file, at);
            at += 4;
            if (at + length + 4 > file.size())
                return Fail("included name passes the file");
            f.name.assign(reinterpret_cast<const char*>(file.data() + at), length);
            at += length;
            CKDWORD size = Word(file, at);
            at += 4;
            if (at + size > file.size())
                return Fail("included content passes the file");
            f.content.assign(file.begin() + (long) at, file.begin() + (long) (at + size));
            at += size;
            included.push_back(f);
        }
        if (at != file.size())
            return Fail("bytes after the included files");
        return true;
    }

    bool Fail(const char* what)
    {
        error = what;
        return false;
    }
};

struct SavedWorld
{
    std::vector<CK_ID> saved;   // objects handed to SaveObjects, in order
    std::vector<CK_ID> unsaved; // dynamic and not-to-be-saved objects
    std::vector<CK_ID> shared;  // saved as references
    std::map<CK_ID, CK_CLASSID> cids;
};

std::string RandomName(CKDWORD& seed, int length)
{
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 _-.#";
    std::string name;
    for (int i = 0; i < length; ++i) {
        seed = seed * 214013 + 2531011;
        name += letters[(seed >> 16) % (sizeof(letters) - 1)];
    }
    return name;
}

CKDWORD Next(CKDWORD& seed)
{
    seed = seed * 214013 + 2531011;
    return (seed >> 16) & 0x7FFF;
}

class CKFileRoundTrip : public FileFixture
{
protected:
    int m_LiveReferences = 0;
    int m_Priorities = 0;

    // 1,000 saved objects of the core classes and the test class, with
    // dynamic, not-to-be-saved and shared objects for them to point at.
    SavedWorld Build(CKContext* context)
    {
        SavedWorld world;
        CKDWORD seed = 12345;
        for (int i = 0; i < 20; ++i) {
            FileTestItem* shared = NewItem(context, ("Shared" + std::to_string(i)).c_str());
            shared->m_Priority = 999;
            world.shared.push_back(shared->GetID());
        }
        for (int i = 0; i < 20; ++i) {
            CKObject* dynamic = NewItem(context, "Dynamic", CK_OBJECTCREATION_DYNAMIC);
            world.unsaved.push_back(dynamic->GetID());
            CKObject* kept = NewItem(context, "Kept");
            kept->ModifyObjectFlags(CK_OBJECT_NOTTOBESAVED, 0);
            world.unsaved.push_back(kept->GetID());
        }
        for (int i = 0; i < 1000; ++i) {
            int length = (int) (Next(seed) % 41);
            std::string name = RandomName(seed, length);
            CK_CLASSID cid = i % 7 == 0   ? CKCID_OBJECT
                             : i % 7 == 1 ? CKCID_SCENEOBJECT
                             : i % 7 == 2 ? CKCID_BEOBJECT
                                          : FileTestItem::m_ClassID;
            CKObject* object = context->CreateObject(cid, length ? name.c_str() : nullptr);
            EXPECT_NE(object, nullptr);
            if (cid == CKCID_BEOBJECT)
                static_cast<CKBeObject*>(object)->SetPriority((int) (Next(seed) * 2) - 32000);
            if (i % 5 == 3)
                object->Show(CKHIDE);
            else if (i % 11 == 4)
                object->Show(CKHIERARCHICALHIDE);
            world.saved.push_back(object->GetID());
            world.cids[object->GetID()] = cid;
        }
        std::vector<CK_ID> targets = world.saved;
        targets.insert(targets.end(), world.unsaved.begin(), world.unsaved.end());
        targets.insert(targets.end(), world.shared.begin(), world.shared.end());
        targets.push_back(0);
        for (CK_ID id : world.saved) {
            if (world.cids[id] != FileTestItem::m_ClassID)
                continue;
            auto* item = static_cast<FileTestItem*>(context->GetObject(id));
            item->m_Priority = (short) (Next(seed) - 16384);
            item->m_Value = (float) Next(seed) / 7.0f;
            item->m_Ref = targets[Next(seed) % targets.size()];
            int refs = (int) (Next(seed) % 6);
            for (int r = 0; r < refs; ++r)
                item->m_Refs.push_back(targets[(Next(seed) * 3 + r) % targets.size()]);
            // Enough small pieces that the writer gathers several runs.
            int blob = (int) (Next(seed) % 1000);
            for (int b = 0; b < blob; ++b)
                item->m_Blob.push_back((CKBYTE) Next(seed));
        }
        return world;
    }

    CKERROR Save(CKContext* context, const SavedWorld& world, const std::string& path, int writeMode,
                 const std::vector<std::string>& includes = {})
    {
        context->SetFileWriteMode(writeMode);
        CKFile* file = context->CreateCKFile();
        CKERROR result = file->StartSave(path.c_str());
        if (result == 0) {
            for (CK_ID id : world.saved)
                file->SaveObject(context->GetObject(id));
            for (CK_ID id : world.unsaved)
                file->SaveObject(context->GetObject(id));
            for (CK_ID id : world.shared)
                file->SaveObjectAsReference(context->GetObject(id));
            for (const std::string& include : includes)
                file->IncludeFile(include.c_str());
            result = file->EndSave();
        }
        context->DeleteCKFile(file);
        return result;
    }

    // Loads into a fresh context holding the shared objects; fills the map
    // from saved ids to the new objects.
    CKERROR LoadFresh(const std::string& path, CKContext*& fresh, std::map<CK_ID, CK_ID>& map,
                      std::map<std::string, CK_ID>& sharedInFresh)
    {
        fresh = NewContext();
        for (int i = 0; i < 20; ++i) {
            std::string name = "Shared" + std::to_string(i);
            FileTestItem* shared = NewItem(fresh, name.c_str());
            shared->m_Priority = -7;
            sharedInFresh[name] = shared->GetID();
        }
        CKFile* file = fresh->CreateCKFile();
        CKObjectIDList list;
        CKERROR result = file->Load(path.c_str(), &list, 0);
        for (int i = 0; i < file->GetObjectRecordCount(); ++i)
            map[file->m_FileObjects[i].m_ObjectID & 0x7FFFFFFF] = file->m_FileObjects[i].m_CreatedObject;
        fresh->DeleteCKFile(file);
        return result;
    }

    void Verify(CKContext* original, const SavedWorld& world, CKContext* fresh, const std::map<CK_ID, CK_ID>& map,
                const std::map<std::string, CK_ID>& sharedInFresh)
    {
        std::set<CK_ID> savedSet(world.saved.begin(), world.saved.end());
        auto image = [&](CK_ID id) -> CK_ID {
            if (savedSet.count(id))
                return map.at(id);
            for (CK_ID s : world.shared)
                if (s == id)
                    return sharedInFresh.at(original->GetObject(id)->GetName());
            return 0;
        };
        std::set<CK_ID> images;
        for (CK_ID id : world.saved) {
            ASSERT_TRUE(map.count(id)) << "object " << id << " has a record";
            CK_ID newId = map.at(id);
            ASSERT_NE(newId, 0u);
            EXPECT_TRUE(images.insert(newId).second) << "no two saved objects load into one";
            CKObject* a = original->GetObject(id);
            CKObject* b = fresh->GetObject(newId);
            ASSERT_NE(b, nullptr);
            ASSERT_EQ(a->GetClassID(), b->GetClassID());
            EXPECT_STREQ(a->GetName() ? a->GetName() : "", b->GetName() ? b->GetName() : "");
            EXPECT_EQ(a->GetObjectFlags() & (CK_OBJECT_VISIBLE | CK_OBJECT_HIERACHICALHIDE),
                      b->GetObjectFlags() & (CK_OBJECT_VISIBLE | CK_OBJECT_HIERACHICALHIDE));
            if (a->GetClassID() == CKCID_BEOBJECT) {
                EXPECT_EQ(static_cast<CKBeObject*>(a)->GetPriority(), static_cast<CKBeObject*>(b)->GetPriority());
                ++m_Priorities;
            }
            if (a->GetClassID() != FileTestItem::m_ClassID)
                continue;
            auto* x = static_cast<FileTestItem*>(a);
            auto* y = static_cast<FileTestItem*>(b);
            EXPECT_EQ(x->m_Priority, y->m_Priority);
            EXPECT_EQ(x->m_Value, y->m_Value);
            EXPECT_EQ(x->m_Blob, y->m_Blob);
            EXPECT_EQ(image(x->m_Ref), y->m_Ref) << "reference of " << id << " to " << x->m_Ref;
            ASSERT_EQ(x->m_Refs.size(), y->m_Refs.size());
            for (size_t r = 0; r < x->m_Refs.size(); ++r)
                EXPECT_EQ(image(x->m_Refs[r]), y->m_Refs[r]);
            if (y->m_Ref)
                ++m_LiveReferences;
            EXPECT_EQ(y->m_Loads, 1);
            EXPECT_EQ(y->m_PostLoads, 1);
        }
        EXPECT_GT(m_LiveReferences, 300) << "most references survive";
        EXPECT_GT(m_Priorities, 100);
        // The shared objects were found, not made again, and not loaded over.
        EXPECT_EQ(fresh->GetObjectsCountByClassID(FileTestItem::m_ClassID),
                  (int) std::count_if(world.saved.begin(), world.saved.end(), [&](CK_ID id) {
                      return world.cids.at(id) == FileTestItem::m_ClassID;
                  }) + 20);
        for (const auto& [name, id] : sharedInFresh) {
            auto* shared = static_cast<FileTestItem*>(fresh->GetObject(id));
            EXPECT_EQ(shared->m_Priority, -7);
            EXPECT_EQ(shared->m_Loads, 0);
        }
    }
};

} // namespace

TEST_F(CKFileRoundTrip, AThousandObjectsComeBackFieldForFieldCompressedAndNotAndSaveAlike)
{
    TestTempDir dir;
    SavedWorld world = Build(m_Context);
    Manager(m_Context, kTestManagerGuid1)->m_Numbers = {1, 2, 3};
    Manager(m_Context, kTestManagerGuid1)->m_Object = world.saved[10];
    Manager(m_Context, kTestManagerGuid2)->m_Numbers = {-9};
    for (int mode : {0, 8}) {
        SCOPED_TRACE(mode);
        std::string path = dir.File(mode ? "packed.qdx" : "plain.qdx");
        ASSERT_EQ(Save(m_Context, world, path, mode), 0);
        ASSERT_EQ(Save(m_Context, world, dir.File("again.qdx"), mode), 0);
        EXPECT_EQ(ReadWholeFile(path), ReadWholeFile(dir.File("again.qdx"))) << "the same content, the same bytes";
        std::remove(dir.File("again.qdx").c_str());
        CKContext* fresh = nullptr;
        std::map<CK_ID, CK_ID> map;
        std::map<std::string, CK_ID> shared;
        ASSERT_EQ(LoadFresh(path, fresh, map, shared), 0);
        m_LiveReferences = 0;
        Verify(m_Context, world, fresh, map, shared);
        FileTestManager* m1 = Manager(fresh, kTestManagerGuid1);
        EXPECT_EQ(m1->m_Loaded, (std::vector<int>{1, 2, 3}));
        EXPECT_EQ(m1->m_LoadedObject, map[world.saved[10]]);
        EXPECT_EQ(Manager(fresh, kTestManagerGuid2)->m_Loaded, (std::vector<int>{-9}));
        EXPECT_EQ(CKGetLoadedFileVersion(), 8u);
        EXPECT_EQ(CKGetLoadedFileEngineVersion(), 0x07032008u);
        EXPECT_EQ(CKGetLoadedFileWriteMode(), (CKDWORD) mode);
        EXPECT_FALSE(CKIsLoadedFileObsolete());
        CloseContext(fresh);
    }
    // Nothing but the two files is left in the folder: no temporary files.
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"packed.qdx", "plain.qdx"}));
}

TEST_F(CKFileRoundTrip, AnIndependentReaderFindsTheLayoutTheFormatDescribes)
{
    TestTempDir dir;
    SavedWorld world = Build(m_Context);
    Manager(m_Context, kTestManagerGuid1)->m_Numbers = {5};
    Manager(m_Context, kTestManagerGuid2)->m_Numbers = {6, 7};
    WriteWholeFile(dir.File("picture.png"), Bytes{1, 2, 3, 4, 5, 6, 7});
    WriteWholeFile(dir.File("empty.png"), Bytes{});
    std::vector<std::string> includes = {dir.File("picture.png"), dir.File("empty.png"), dir.File("missing.png")};
    for (int mode : {0, 8}) {
        SCOPED_TRACE(mode);
        std::string path = dir.File("layout.qdx");
        ASSERT_EQ(Save(m_Context, world, path, mode, includes), 0);
        Bytes file = ReadWholeFile(path);
        IndependentReader r;
        ASSERT_TRUE(r.Parse(file)) << r.error;
        EXPECT_EQ(r.engineVersion, 0x07032008u);
        EXPECT_EQ(r.fileVersion, 8u);
        EXPECT_EQ(r.reserved, 0u);
        EXPECT_EQ(r.saveOptions, (CKDWORD) mode);
        EXPECT_EQ(r.productVersion, 0u);
        EXPECT_EQ(r.productBuild, 0x04001000u);
        EXPECT_EQ(r.objectCount, 1000u + 20u) << "the saved objects and the shared references";
        EXPECT_EQ(r.crc, (CKDWORD) adler32(0, r.dataStoredBytes.data(), (uInt) r.dataStoredBytes.size()))
            << "Adler-32 from 0 of the data as stored";
        // Packing is kept only when it is smaller.
        if (mode == 0) {
            EXPECT_EQ(r.hdrStored, r.hdrUnpacked);
            EXPECT_EQ(r.dataStored, r.dataUnpacked);
        } else {
            EXPECT_LT(r.hdrStored, r.hdrUnpacked);
            EXPECT_LT(r.dataStored, r.dataUnpacked);
            uLongf bound = compressBound(r.data.size());
            Bytes again(bound);
            ASSERT_EQ(compress2(again.data(), &bound, r.data.data(), r.data.size(), m_Context->GetCompressionLevel()),
                      Z_OK);
            EXPECT_EQ(again.size() > 0 ? Bytes(again.begin(), again.begin() + (long) bound) : Bytes(),
                      r.dataStoredBytes)
                << "zlib at the context's level";
        }
        // Descriptors: ids, classes, names, and the padding counted in the last name.
        ASSERT_EQ(r.descriptors.size(), 1020u);
        uint64_t descriptorBytes = 0;
        for (size_t i = 0; i < r.descriptors.size(); ++i) {
            const auto& d = r.descriptors[i];
            descriptorBytes += 16 + d.nameLength;
            if (i < 1000) {
                EXPECT_EQ(d.id, world.saved[i]);
                EXPECT_EQ(d.cid, (CKDWORD) world.cids.at(world.saved[i]));
                CKObject* o = m_Context->GetObject(world.saved[i]);
                EXPECT_EQ(d.name, o->GetName() ? o->GetName() : "");
            } else {
                EXPECT_EQ(d.id, world.shared[i - 1000] | 0x80000000u) << "references carry bit 31";
            }
            if (i + 1 < r.descriptors.size()) {
                EXPECT_EQ(d.nameLength, d.name.size()) << "only the last name is padded";
            }
        }
        EXPECT_EQ(descriptorBytes % 4, 0u);
        const auto& last = r.descriptors.back();
        uint64_t unpadded = descriptorBytes - (last.nameLength - last.name.size());
        EXPECT_EQ(last.nameLength - last.name.size(), (4 - unpadded % 4) % 4);
        for (size_t k = last.name.size(); k < last.rawName.size(); ++k)
            EXPECT_EQ(last.rawName[k], 0);
        // Data offsets: after the header, the unpacked header data and the manager records.
        uint64_t offset = 64 + r.hdrUnpacked;
        for (const auto& m : r.managers)
            offset += 12 + m.chunk.size();
        for (size_t i = 0; i < r.descriptors.size(); ++i) {
            EXPECT_EQ(r.descriptors[i].offset, offset);
            offset += 4 + r.objects[i].size();
        }
        // Manager records in manager-table order.
        std::vector<int> order;
        for (const auto& m : r.managers)
            for (int i = 0; i < m_Context->GetManagerCount(); ++i)
                if (m_Context->GetManager(i)->GetGuid() == m.guid)
                    order.push_back(i);
        ASSERT_EQ(order.size(), r.managers.size());
        EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
        EXPECT_TRUE(
            std::any_of(r.managers.begin(), r.managers.end(), [](auto& m) { return m.guid == kTestManagerGuid1; }));
        EXPECT_TRUE(
            std::any_of(r.managers.begin(), r.managers.end(), [](auto& m) { return m.guid == kTestManagerGuid2; }));
        // The highest id among the saved objects.
        CK_ID highest = 0;
        for (CK_ID id : world.saved)
            highest = std::max(highest, id);
        for (CK_ID id : world.shared)
            highest = std::max(highest, id);
        EXPECT_EQ(r.highestId, highest);
        // Included files: bare names; the empty and the missing one with size 0.
        EXPECT_EQ(r.includedTableSize, 4u);
        ASSERT_EQ(r.included.size(), 3u);
        EXPECT_EQ(r.included[0].name, "picture.png");
        EXPECT_EQ(r.included[0].content, (Bytes{1, 2, 3, 4, 5, 6, 7}));
        EXPECT_EQ(r.included[1].name, "empty.png");
        EXPECT_TRUE(r.included[1].content.empty());
        EXPECT_EQ(r.included[2].name, "missing.png");
        EXPECT_TRUE(r.included[2].content.empty());
    }
}

TEST_F(CKFileRoundTrip, DataThatDoesNotShrinkIsStoredPlainAndSummedAsStored)
{
    TestTempDir dir;
    std::string path = dir.File("noise.qdx");
    FileTestItem* item = NewItem(m_Context, "Noise");
    CKDWORD seed = 77;
    item->m_Blob.resize(200000);
    for (CKBYTE& b : item->m_Blob) {
        seed = seed * 214013 + 2531011;
        b = (CKBYTE) (seed >> 16);
    }
    Manager(m_Context, kTestManagerGuid1)->m_Numbers = {4, 5};
    for (int mode : {0, 8}) {
        SCOPED_TRACE(mode);
        m_Context->SetFileWriteMode(mode);
        CKFile* file = m_Context->CreateCKFile();
        ASSERT_EQ(file->StartSave(path.c_str()), 0);
        file->SaveObject(item);
        ASSERT_EQ(file->EndSave(), 0);
        m_Context->DeleteCKFile(file);
        IndependentReader r;
        ASSERT_TRUE(r.Parse(ReadWholeFile(path))) << r.error;
        EXPECT_EQ(r.dataStored, r.dataUnpacked);
        EXPECT_EQ(r.managerCount, 4u) << "the test managers, the attribute and hide-content managers";
        EXPECT_EQ(r.crc, (CKDWORD) adler32(0, r.dataStoredBytes.data(), (uInt) r.dataStoredBytes.size()));

        CKContext* fresh = NewContext();
        ASSERT_EQ(LoadFile(fresh, path), 0);
        auto* back = static_cast<FileTestItem*>(fresh->GetObjectByNameAndClass("Noise", FileTestItem::m_ClassID));
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(back->m_Blob, item->m_Blob);
        EXPECT_EQ(Manager(fresh, kTestManagerGuid1)->m_Loaded, (std::vector<int>{4, 5}));
        CloseContext(fresh);
    }
}

TEST_F(CKFileRoundTrip, LoadedChunksBorrowFromAMappedPlainFileOrTheInflatedDataAndNeverWriteIt)
{
    TestTempDir dir;
    SavedWorld world = Build(m_Context);
    for (int mode : {0, 8}) {
        SCOPED_TRACE(mode);
        std::string path = dir.File("lent.qdx");
        ASSERT_EQ(Save(m_Context, world, path, mode), 0);
        const Bytes before = ReadWholeFile(path);
        for (bool fromMemory : {false, true}) {
            CKContext* fresh = NewContext();
            CKFile* file = fresh->CreateCKFile();
            if (fromMemory) {
                ASSERT_EQ(file->OpenMemory(before.data(), (int) before.size()), 0);
                ASSERT_EQ(file->LoadFileData(nullptr), 0);
            } else {
                ASSERT_EQ(file->Load(path.c_str(), nullptr, 0), 0);
            }
            // The plain data of a mapped file is lent, and packed data once
            // inflated (never the caller's memory); the chunks that are left
            // after the load still read back whole.
            const CKFileInfo& info = file->GetFileInfo();
            const bool packed = info.DataPackSize != info.DataUnPackSize;
            EXPECT_EQ(packed, mode == 8);
            int withChunks = 0;
            for (CKFileObjectRecord& record : file->m_FileObjects) {
                // Every record is found again by its saved id.
                if (record.m_CreatedObject) {
                    EXPECT_EQ(file->FindCreatedObjectID(record.m_ObjectID), record.m_CreatedObject)
                        << record.m_ObjectID;
                }
                if (!record.m_Data)
                    continue;
                ++withChunks;
                bool borrowed = (record.m_Data->GetChunkOptions() & CHNK_OPTION_DONTDELETE_PTR) != 0;
                EXPECT_EQ(borrowed, packed || !fromMemory);
                record.m_Data->StartRead();
                if (record.m_ClassID == FileTestItem::m_ClassID) {
                    EXPECT_TRUE(record.m_Data->SeekIdentifier(FileTestItem::kIdentifier));
                }
                EXPECT_EQ(record.m_Data->GetReadError(), 0);
            }
            EXPECT_GT(withChunks, 0);
            fresh->DeleteCKFile(file);
            CloseContext(fresh);
        }
        EXPECT_EQ(ReadWholeFile(path), before);
    }
}

TEST_F(CKFileRoundTrip, ReferencesResolveWhetherSavedIdsAreDenseOrFarAboveTheirCount)
{
    // One object with a low id, then ids thousands above the ten saved: the
    // loader indexes the first directly and the rest through its table.
    TestTempDir dir;
    std::string path = dir.File("sparse.qdx");
    std::vector<FileTestItem*> items = {NewItem(m_Context, "Item0")};
    std::vector<CK_ID> gone;
    for (int i = 0; i < 3000; ++i)
        gone.push_back(NewItem(m_Context)->GetID());
    m_Context->DestroyObjects(gone.data(), (int) gone.size());
    for (int i = 1; i < 10; ++i)
        items.push_back(NewItem(m_Context, ("Item" + std::to_string(i)).c_str()));
    for (size_t i = 0; i < items.size(); ++i)
        items[i]->m_Ref = items[(i + 3) % items.size()]->GetID();
    CKFile* file = m_Context->CreateCKFile();
    ASSERT_EQ(file->StartSave(path.c_str()), 0);
    for (FileTestItem* item : items)
        file->SaveObject(item);
    ASSERT_EQ(file->EndSave(), 0);
    m_Context->DeleteCKFile(file);

    CKContext* fresh = NewContext();
    CKFile* loader = fresh->CreateCKFile();
    ASSERT_EQ(loader->Load(path.c_str(), nullptr, 0), 0);
    fresh->DeleteCKFile(loader);
    for (size_t i = 0; i < items.size(); ++i) {
        auto* back = static_cast<FileTestItem*>(
            fresh->GetObjectByNameAndClass(("Item" + std::to_string(i)).c_str(), FileTestItem::m_ClassID));
        ASSERT_NE(back, nullptr);
        CKObject* target = fresh->GetObject(back->m_Ref);
        ASSERT_NE(target, nullptr) << i;
        EXPECT_STREQ(target->GetName(), items[(i + 3) % items.size()]->GetName());
    }
    CloseContext(fresh);
}

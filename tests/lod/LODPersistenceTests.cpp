// "LOD Object" values go to a file and come back unchanged.
#include <array>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/context/CKRandom.h"
#include "core/context/CKStartUp.h"
#include "core/file/CKFile.h"
#include "core/object/CKBeObject.h"
#include "core/parameter/CKParameter.h"
#include "core/scene/CKLevel.h"
#include "render/objects/CK3dEntity.h"
#include "tests/lod/LodTestSupport.h"
#include "tests/support/TestPaths.h"

namespace {

class LodPersistenceTest : public LodFixture
{};

CKDWORD RandomWord()
{
    return ((CKDWORD) CKRand() << 17) ^ ((CKDWORD) CKRand() << 8) ^ (CKDWORD) CKRand();
}

TEST_F(LodPersistenceTest, TwoHundredRecordsSurviveASaveAndALoad)
{
    CKSrand(7);
    CKLevel* level = New<CKLevel>(CKCID_LEVEL, "Level");
    std::vector<std::array<CKDWORD, 7>> records;
    for (int i = 0; i < 200; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "E%03d", i);
        CK3dEntity* e = New<CK3dEntity>(CKCID_3DOBJECT, name);
        std::array<CKDWORD, 7> words;
        for (CKDWORD& w : words)
            w = RandomWord();
        LODOptions options;
        std::memcpy(static_cast<void*>(&options), words.data(), 28);
        ASSERT_NE(Attach(e, options), nullptr);
        records.push_back(words);
        level->AddObject(e);
    }
    TestTempDir dir;
    const std::string path = dir.File("lod.qbx");
    CKFile* file = m_Context->CreateCKFile();
    ASSERT_EQ(file->StartSave(path.c_str()), 0);
    file->SaveObject(level, 0xFFFFFFFF);
    ASSERT_EQ(file->EndSave(), 0);
    m_Context->DeleteCKFile(file);

    CKContext* fresh = nullptr;
    ASSERT_EQ(CKCreateContext(&fresh, nullptr), 0);
    CKFile* loader = fresh->CreateCKFile();
    ASSERT_EQ(loader->Load(path.c_str(), nullptr, 0), 0);
    fresh->DeleteCKFile(loader);
    auto* manager = static_cast<LODManager*>(fresh->GetManagerByGuid(LOD_MANAGER_GUID));
    ASSERT_NE(manager, nullptr);
    for (int i = 0; i < 200; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "E%03d", i);
        auto* e = static_cast<CK3dEntity*>(fresh->GetObjectByNameAndClass(name, CKCID_3DOBJECT));
        ASSERT_NE(e, nullptr) << name;
        LODOptions* loaded = manager->GetLodOptions(e);
        ASSERT_NE(loaded, nullptr) << name;
        EXPECT_EQ(std::memcmp(loaded, records[i].data(), 28), 0) << name;
    }
    EXPECT_EQ(CKCloseContext(fresh), 0);
}

} // namespace

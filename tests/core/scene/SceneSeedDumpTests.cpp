#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/attribute/CKAttributeManager.h"
#include "core/chunk/CKStateChunk.h"
#include "core/context/CKFunctions.h"
#include "core/parameter/CKParameterGuids.h"
#include "tests/core/scene/SceneTestSupport.h"
#include "tests/support/TestPaths.h"

// Writes seeds of the scene-chunk and engine-file fuzz targets into
// $FUZZ_SEEDS_OUT/scene_chunk/ and $FUZZ_SEEDS_OUT/engine_file/ (run once,
// the output is committed under fuzz/corpus/):
//   FUZZ_SEEDS_OUT=fuzz/corpus core_tests --gtest_also_run_disabled_tests
//   --gtest_filter='*WriteSceneSeeds*'
namespace {

using SceneSeeds = SceneFixture;

void WriteSeed(const std::string& path, CKBYTE control, const std::vector<CKBYTE>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.put((char) control);
    out.write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize) bytes.size());
}

std::vector<CKBYTE> ChunkBytes(CKStateChunk* chunk)
{
    std::vector<CKBYTE> bytes((size_t) chunk->ConvertToBuffer(nullptr));
    chunk->ConvertToBuffer(bytes.data());
    CKDeleteStateChunk(chunk);
    return bytes;
}

} // namespace

TEST_F(SceneSeeds, DISABLED_WriteSceneSeeds)
{
    const char* root = std::getenv("FUZZ_SEEDS_OUT");
    ASSERT_NE(root, nullptr);
    const std::string chunks = std::string(root) + "/scene_chunk";
    const std::string files = std::string(root) + "/engine_file";
    std::filesystem::create_directories(chunks);

    CKAttributeManager* attributes = m_Context->GetAttributeManager();
    const int tag = attributes->RegisterNewAttributeType("Tag", CKGUID());
    const int value = attributes->RegisterNewAttributeType("Value", CKPGUID_INT);
    attributes->SetAttributeCategory(value, "Values");
    CKLevel* level = NewLevel("Level");
    CKScene* scene = NewScene("Scene");
    level->AddScene(scene);
    scene->SetFogMode(2);
    CKGroup* group = NewGroup("Group");
    CKGroup* inner = NewGroup("Inner");
    group->AddObject(inner);
    level->AddObject(group);
    for (int i = 0; i < 3; ++i) {
        CKBeObject* object = NewBeObject(("Object " + std::to_string(i)).c_str());
        level->AddObject(object);
        scene->AddObject(object, TRUE);
        inner->AddObject(object);
        object->SetAttribute(i % 2 ? tag : value);
        scene->GetSceneObjectDesc(object)->SetInitialValue(CKSaveObjectState(object));
    }

    const struct
    {
        const char* name;
        CKBYTE control;
        CKStateChunk* chunk;
    } seeds[] = {
        {"scene", 0, CKSaveObjectState(scene)},
        {"level", 1, level->Save(nullptr, 0xFFFFFFFF)},
        {"level_file", 9, level->Save(nullptr, 0xFFFFFFFF)},
        {"group", 2, CKSaveObjectState(group)},
        {"object", 3, CKSaveObjectState(level->GetLevelScene())},
        {"attributes", 4, attributes->SaveData(nullptr)},
        {"level_scene", 5, CKSaveObjectState(level->GetLevelScene())},
        {"inner", 6, CKSaveObjectState(inner)},
    };
    for (const auto& seed : seeds)
        WriteSeed(chunks + "/" + seed.name, seed.control, ChunkBytes(seed.chunk));

    // The oldest scene form: descriptor chunks of class 47 under 256.
    CKStateChunk* oldest = CKCreateStateChunk(CKCID_SCENE);
    oldest->StartWrite();
    oldest->SetDataVersion(0);
    oldest->WriteIdentifier(CK_STATESAVE_SCENEOLD_LEVEL);
    oldest->WriteObjectID(level->GetID());
    oldest->WriteIdentifier(CK_STATESAVE_SCENEOLD_OBJECTS);
    oldest->WriteInt(1);
    oldest->WriteObjectID(group->GetID());
    CKStateChunk* desc = CKCreateStateChunk(47);
    desc->StartWrite();
    desc->WriteIdentifier(CK_STATESAVE_SCENEOLD_DESCFLAGS16);
    desc->WriteIdentifier(CK_STATESAVE_SCENEOLD_DESCRIPTOR);
    desc->WriteObjectID(group->GetID());
    desc->WriteSubChunk(nullptr);
    desc->WriteSubChunk(nullptr);
    desc->WriteDword(9);
    desc->WriteDword(0);
    desc->CloseChunk();
    oldest->WriteSubChunk(desc);
    CKDeleteStateChunk(desc);
    oldest->CloseChunk();
    WriteSeed(chunks + "/scene_oldest", 7, ChunkBytes(oldest));

    // Whole files, stored plain and packed.
    TestTempDir dir;
    for (int mode : {0, 8}) {
        m_Context->SetFileWriteMode(mode);
        const std::string path = dir.File("level.qbx");
        CKFile* file = m_Context->CreateCKFile();
        ASSERT_EQ(file->StartSave(path.c_str()), 0);
        file->SaveObject(level, 0xFFFFFFFF);
        ASSERT_EQ(file->EndSave(), 0);
        m_Context->DeleteCKFile(file);
        WriteSeed(files + (mode ? "/level_packed" : "/level_plain"), 0, ReadWholeFile(path));
    }
}

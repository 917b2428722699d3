#include "core/scene/CKLevel.h"

#include <gtest/gtest.h>

#include "core/chunk/CKStateChunk.h"
#include "tests/core/scene/SceneTestSupport.h"
#include "tests/support/TestPaths.h"

namespace {

CKERROR CountSceneMessages(CKUICallbackStruct& message, void* data)
{
    if (message.Reason == 12)
        static_cast<std::vector<CK_ID>*>(data)->push_back((CK_ID) message.Param1);
    return 0;
}

class LevelTest : public SceneFixture
{
protected:
    // Saves the level with the flags into a file and loads it into a fresh
    // context; the level read back.
    CKLevel* RoundTrip(CKLevel* level, CKDWORD flags, CKContext** out)
    {
        TestTempDir dir;
        const std::string path = dir.File("level.qdx");
        EXPECT_TRUE(SaveFile(m_Context, path, level, flags));
        *out = NewContext();
        EXPECT_TRUE(LoadsFile(*out, path));
        return (*out)->GetCurrentLevel();
    }
};

} // namespace

TEST_F(LevelTest, ANewLevelHasItsOwnSceneAsCurrentSceneUntilItIsDestroyed)
{
    CKLevel* level = NewLevel("Main");
    CKScene* scene = level->GetLevelScene();
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(level->GetCurrentScene(), scene);
    EXPECT_EQ(m_Context->GetCurrentScene(), scene);
    EXPECT_EQ(scene->GetLevel(), level);
    EXPECT_TRUE(scene->IsObjectHere(level));
    EXPECT_EQ(level->GetPriority(), 32000);
    EXPECT_EQ(level->GetSceneCount(), 0) << "the level scene is not listed";
    EXPECT_TRUE(level->IsObjectUsed(scene, CKCID_SCENE));
    EXPECT_STREQ(scene->GetName(), "Main") << "the level scene takes the level's name";

    auto* dynamic = static_cast<CKLevel*>(m_Context->CreateObject(CKCID_LEVEL, "D", CK_OBJECTCREATION_DYNAMIC));
    EXPECT_TRUE(dynamic->GetLevelScene()->IsDynamic());
    EXPECT_STREQ(dynamic->GetLevelScene()->GetName(), "D");
    auto* unnamed = static_cast<CKLevel*>(m_Context->CreateObject(CKCID_LEVEL, nullptr));
    EXPECT_EQ(unnamed->GetLevelScene()->GetName(), nullptr);
    EXPECT_EQ(m_Context->GetCreatingName(), nullptr) << "only while a creation function runs";
    // Destroying the current level clears the context's level and scene.
    m_Context->DestroyObject(level);
    EXPECT_EQ(m_Context->GetCurrentLevel(), nullptr);
    EXPECT_EQ(m_Context->GetCurrentScene(), nullptr);
}

TEST_F(LevelTest, AddObjectTakesSceneObjectsButNoLevelAndAddSceneListsOnce)
{
    CKLevel* level = NewLevel();
    CKLevel* other = NewLevel("Other");
    m_Context->SetCurrentLevel(level);
    TestObject* plain = static_cast<TestObject*>(m_Context->CreateObject(TestObject::m_ClassID));
    const int before = level->GetLevelScene()->GetObjectCount();
    EXPECT_EQ(level->AddObject(other), CKErr::InvalidParameter);
    EXPECT_EQ(level->AddObject(plain), CKErr::InvalidParameter);
    EXPECT_EQ(level->AddObject(nullptr), CKErr::InvalidParameter);
    EXPECT_EQ(level->GetLevelScene()->GetObjectCount(), before);
    CKBeObject* object = NewBeObject();
    EXPECT_EQ(level->AddObject(object), CKErr::Ok);
    EXPECT_TRUE(level->GetLevelScene()->IsObjectHere(object));
    // A scene is listed once but always holds its level.
    std::vector<CK_ID> messages;
    m_Context->SetInterfaceMode(TRUE, CountSceneMessages, &messages);
    CKScene* scene = NewScene("S");
    EXPECT_EQ(level->AddScene(nullptr), CKErr::InvalidParameter);
    EXPECT_EQ(level->AddScene(scene), CKErr::Ok);
    scene->RemoveObjectFromScene(level);
    EXPECT_EQ(level->AddScene(scene), CKErr::Ok);
    EXPECT_EQ(level->GetSceneCount(), 1);
    EXPECT_EQ(level->GetScene(0), scene);
    EXPECT_EQ(level->GetScene(1), nullptr);
    EXPECT_TRUE(scene->IsObjectHere(level)) << "added again";
    EXPECT_EQ(scene->GetLevel(), level);
    EXPECT_EQ(messages, (std::vector<CK_ID>{scene->GetID()}));
}

TEST_F(LevelTest, ScenesRoundTripInOrderWithTheLevelSceneContent)
{
    CKLevel* level = NewLevel("L");
    std::vector<std::string> names = {"Third", "First", "Second"};
    for (const std::string& name : names)
        level->AddScene(NewScene(name.c_str()));

    CKContext* fresh = nullptr;
    CKLevel* back = RoundTrip(level, 0xFFFFFFFF, &fresh);
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(back->GetSceneCount(), 3);
    EXPECT_STREQ(back->GetLevelScene()->GetName(), "L") << "the loaded level's own scene is named after it";
    for (int i = 0; i < 3; ++i) {
        EXPECT_STREQ(back->GetScene(i)->GetName(), names[i].c_str());
        EXPECT_EQ(back->GetScene(i)->GetLevel(), back);
    }
    CKScene* scene = back->GetLevelScene();
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(back->GetCurrentScene(), scene) << "a current level scene stays current";
    EXPECT_TRUE(scene->IsObjectHere(back));

    // Without bit 29 no scene is listed.
    CKContext* bare = nullptr;
    CKLevel* none = RoundTrip(level, 0xFFFFFFFF & ~0x20000000u, &bare);
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(none->GetSceneCount(), 0);
}

TEST_F(LevelTest, OlderScenesSequencesAndManagerStatesLoadAsWritten)
{
    CKLevel* level = NewLevel();
    CKBaseManager* recorder = m_Recorder;
    auto load = [&](bool withGuids, std::vector<const char*> names) {
        CKStateChunk* chunk = CKCreateStateChunk(CKCID_LEVEL);
        chunk->StartWrite();
        if (withGuids)
            chunk->WriteIdentifier(CK_STATESAVE_LEVELINACTIVEMAN);
        chunk->WriteIdentifier(CK_STATESAVE_LEVELDUPLICATEMAN);
        for (const char* name : names)
            chunk->WriteString(name);
        chunk->CloseChunk();
        LoadWithFile(level, chunk);
        CKDeleteStateChunk(chunk);
    };
    m_Context->ActivateManager(recorder, FALSE);
    load(false, {"Scene Recorder", nullptr});
    EXPECT_TRUE(m_Context->IsManagerInactive(recorder)) << "no 0x2000 section: 0x4000 is not read";
    load(true, {"", "Scene Recorder", nullptr});
    EXPECT_TRUE(m_Context->IsManagerInactive(recorder)) << "an empty name ends the list";
    load(true, {"scene recorder", nullptr});
    EXPECT_FALSE(m_Context->IsManagerInactive(recorder));

    // A saved level switches off what was off when it was saved.
    m_Context->ActivateManager(recorder, FALSE);
    CKStateChunk* saved = level->Save(nullptr, 0x6000);
    m_Context->ActivateManager(recorder, TRUE);
    LoadWithFile(level, saved);
    CKDeleteStateChunk(saved);
    EXPECT_TRUE(m_Context->IsManagerInactive(recorder));
    m_Context->ActivateManager(recorder, TRUE);
    // An older writer's three scene sequences yield the last one only.
    CKScene* a = NewScene("A");
    CKScene* b = NewScene("B");
    CKBeObject* notAScene = NewBeObject();
    CKStateChunk* scenes = CKCreateStateChunk(CKCID_LEVEL);
    scenes->StartWrite();
    scenes->WriteIdentifier(CK_STATESAVE_LEVELSCENE);
    for (const std::vector<CK_ID>& ids : std::vector<std::vector<CK_ID>>{
             {a->GetID()}, {b->GetID()}, {b->GetID(), notAScene->GetID(), b->GetID(), a->GetID()}}) {
        scenes->StartObjectIDSequence((int) ids.size());
        for (CK_ID id : ids)
            scenes->WriteObjectIDSequenceItem(id);
    }
    scenes->CloseChunk();
    ASSERT_EQ(LoadWithFile(level, scenes), 0);
    CKDeleteStateChunk(scenes);
    ASSERT_EQ(level->GetSceneCount(), 2);
    EXPECT_EQ(level->GetScene(0), b);
    EXPECT_EQ(level->GetScene(1), a);
}

TEST_F(LevelTest, BehavioursNoObjectOwnsAsAScriptGoAfterLoad)
{
    CKLevel* level = NewLevel();
    CKBeObject* owner = NewBeObject();
    level->AddObject(owner);
    CKScene* scene = level->GetLevelScene();
    SceneTestBehavior* kept = NewScript(owner);
    // Described by the scene, out of the owner's list.
    SceneTestBehavior* unlisted = NewScript(nullptr);
    unlisted->SetOwner(owner, FALSE);
    scene->AddObjectToScene(unlisted);
    SceneTestBehavior* orphan = NewScript(nullptr);
    orphan->SetOwner(owner, FALSE);
    scene->AddObjectToScene(orphan);
    orphan->SetOwner(nullptr, FALSE);
    ASSERT_TRUE(scene->IsObjectHere(kept));
    ASSERT_TRUE(scene->IsObjectHere(unlisted));
    const CK_ID keptId = kept->GetID(), unlistedId = unlisted->GetID(), orphanId = orphan->GetID();
    level->PatchAfterLoad(0, nullptr);
    EXPECT_NE(m_Context->GetObject(keptId), nullptr);
    EXPECT_EQ(m_Context->GetObject(unlistedId), nullptr);
    EXPECT_EQ(m_Context->GetObject(orphanId), nullptr);
}

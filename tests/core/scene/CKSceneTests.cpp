#include "core/scene/CKScene.h"

#include <gtest/gtest.h>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKFunctions.h"
#include "core/context/CKGlobals.h"
#include "core/object/CKObjectManager.h"
#include "includes/CKByteOrder.h"
#include "tests/core/scene/SceneTestSupport.h"
#include "tests/support/TestPaths.h"

namespace {

class SceneTest : public SceneFixture
{
protected:
    void SetUp() override
    {
        SceneFixture::SetUp();
        m_Level = NewLevel();
        m_Scene = m_Level->GetLevelScene();
        m_Recorder->m_Added.clear();
    }

    // The ids the scene describes, in table order.
    static std::vector<CK_ID> Members(CKScene* scene)
    {
        std::vector<CK_ID> ids;
        for (CKSceneObjectIterator it = scene->GetObjectIterator(); !it.End(); ++it)
            ids.push_back(it.GetObjectID());
        return ids;
    }

    CKLevel* m_Level = nullptr;
    CKScene* m_Scene = nullptr;
};

} // namespace

TEST_F(SceneTest, ANewSceneAndAnObjectAddedOrRemovedTwiceAnnouncedOnce)
{
    CKBeObject* object = NewBeObject("Box");
    m_Scene->AddObjectToScene(object);
    m_Scene->AddObjectToScene(object);
    ASSERT_EQ(m_Recorder->m_Added.size(), 1u);
    EXPECT_EQ(m_Recorder->m_Added[0], (std::vector<CK_ID>{object->GetID()}));
    EXPECT_EQ(Members(m_Scene), (std::vector<CK_ID>{m_Level->GetID(), object->GetID()}));
    CKSceneObjectDesc* desc = m_Scene->GetSceneObjectDesc(object);
    ASSERT_NE(desc, nullptr);
    EXPECT_EQ(desc->m_Flags, (CKDWORD) (CK_SCENEOBJECT_START_ACTIVATE | CK_SCENEOBJECT_START_RESET));
    EXPECT_EQ(desc->m_InitialValue, nullptr);
    EXPECT_TRUE(object->IsInScene(m_Scene));
    EXPECT_TRUE(m_Scene->IsObjectHere(object));
    EXPECT_EQ(object->GetSceneIn(0), m_Scene);
    EXPECT_EQ(object->GetSceneIn(1), nullptr);

    // A new scene is active in itself with the default environment, and never a member.
    CKScene* other = NewScene("Other");
    EXPECT_TRUE(other->IsObjectActive(other));
    EXPECT_TRUE(other->IsInScene(other));
    EXPECT_EQ(other->GetAmbientLightColor(), 0x000F0F0Fu);
    EXPECT_EQ(other->GetFogStart(), 1.0f);
    EXPECT_EQ(other->GetFogEnd(), 100.0f);
    EXPECT_EQ(other->GetFogDensity(), 1.0f);
    EXPECT_EQ(other->GetPriority(), 30000);
    EXPECT_EQ(other->GetSceneFlags(), 2u);
    EXPECT_EQ(other->GetObjectCount(), 0);
    EXPECT_NE(other->GetSceneIndex(), m_Scene->GetSceneIndex());
    m_Scene->AddObjectToScene(other);
    EXPECT_FALSE(m_Scene->IsObjectHere(other)) << "a scene is never a member";
    EXPECT_EQ(m_Recorder->m_Added.size(), 1u);
    // Removing drops the descriptor and the bit and is announced once.
    m_Scene->RemoveObjectFromScene(object);
    m_Scene->RemoveObjectFromScene(object);
    EXPECT_FALSE(object->IsInScene(m_Scene));
    EXPECT_EQ(m_Scene->GetSceneObjectDesc(object), nullptr);
    ASSERT_EQ(m_Recorder->m_Removed.size(), 1u);
    EXPECT_EQ(m_Recorder->m_Removed[0], (std::vector<CK_ID>{object->GetID()}));

    m_Level->AddObject(object);
    other->AddObjectToScene(object);
    EXPECT_EQ(object->GetSceneInCount(), 2);
    object->RemoveFromAllScenes();
    EXPECT_EQ(object->GetSceneInCount(), 0);
    EXPECT_EQ(m_Scene->GetObjectCount(), 1) << "the level stays";
}

TEST_F(SceneTest, AdditionsInsideASequenceReachTheManagersInOneCall)
{
    std::vector<CK_ID> ids;
    m_Scene->BeginAddSequence(TRUE);
    m_Scene->BeginAddSequence(TRUE);
    for (int i = 0; i < 500; ++i) {
        CKBeObject* object = NewBeObject();
        ids.push_back(object->GetID());
        m_Level->AddObject(object);
        if (i == 250)
            m_Scene->BeginAddSequence(FALSE); // the inner sequence ends: still waiting
    }
    EXPECT_TRUE(m_Recorder->m_Added.empty());
    m_Scene->BeginAddSequence(FALSE);
    ASSERT_EQ(m_Recorder->m_Added.size(), 1u);
    EXPECT_EQ(m_Recorder->m_Added[0], ids);

    m_Recorder->m_Added.clear();
    for (int i = 0; i < 3; ++i)
        m_Level->AddObject(NewBeObject());
    EXPECT_EQ(m_Recorder->m_Added.size(), 3u) << "one call each outside a sequence";
    m_Scene->BeginAddSequence(TRUE);
    m_Scene->BeginAddSequence(FALSE);
    EXPECT_EQ(m_Recorder->m_Added.size(), 3u) << "an empty sequence announces nothing";
}

TEST_F(SceneTest, OnlyOwnedScriptsGetDescriptorsAndFollowTheirOwnersScenes)
{
    CKBeObject* owner = NewBeObject("Owner");
    SceneTestBehavior* script = NewScript(owner);
    SceneTestBehavior* block = NewScript(owner, CKBEHAVIOR_BUILDINGBLOCK);
    SceneTestBehavior* orphan = NewScript(nullptr);
    SceneTestBehavior* graph = NewScript(owner, 0);
    for (CKSceneObject* b : std::vector<CKSceneObject*>{block, orphan, graph}) {
        m_Scene->AddObjectToScene(b);
        EXPECT_FALSE(m_Scene->IsObjectHere(b));
    }
    m_Scene->AddObject(owner, TRUE);
    EXPECT_TRUE(m_Scene->IsObjectHere(owner));
    EXPECT_TRUE(m_Scene->IsObjectHere(script)) << "a behavioural object brings its scripts";
    EXPECT_FALSE(m_Scene->IsObjectHere(block));

    // A script of the level keeps its reset flag only in the level scene.
    SceneTestBehavior* levelScript = NewScript(m_Level);
    EXPECT_EQ(m_Scene->GetObjectFlags(levelScript) & CK_SCENEOBJECT_START_RESET, (CKDWORD) CK_SCENEOBJECT_START_RESET);
    CKScene* other = NewScene("Other");
    m_Level->AddScene(other);
    EXPECT_EQ(other->GetObjectFlags(levelScript), (CKDWORD) CK_SCENEOBJECT_START_ACTIVATE);
    // An object can join and leave every scene of another; a later script joins its owner's scenes.
    CKBeObject* holder = NewBeObject("Holder");
    CKBeObject* guest = NewBeObject("Guest");
    m_Level->AddObject(holder);
    other->AddObject(holder, TRUE);
    holder->AddObjectToOwnScenes(guest);
    EXPECT_TRUE(guest->IsInScene(m_Scene));
    EXPECT_TRUE(guest->IsInScene(other));
    holder->RemoveObjectFromOwnScenes(guest);
    EXPECT_EQ(guest->GetSceneInCount(), 0);

    // A script added later joins its owner's scenes.
    SceneTestBehavior* late = NewScript(holder);
    EXPECT_TRUE(m_Scene->IsObjectHere(late));
    EXPECT_TRUE(other->IsObjectHere(late));
}

TEST_F(SceneTest, ActivationInTheCurrentSceneCountsScriptsResetsAndCallsThem)
{
    CKBeObject* object = NewBeObject("Actor");
    SceneTestBehavior* script = NewScript(object);
    m_Level->AddObject(object);
    CKSceneObjectDesc* desc = m_Scene->GetSceneObjectDesc(object);
    ASSERT_NE(desc, nullptr);
    desc->SetInitialValue(CKSaveObjectState(object));
    object->Show(CKHIDE);

    m_Scene->ActivateObject(object, TRUE);
    m_Scene->ActivateObject(object, TRUE);
    EXPECT_TRUE(m_Scene->IsObjectActive(object));
    EXPECT_TRUE(object->IsActiveInCurrentScene());
    EXPECT_EQ(SceneActiveCounts()[object->GetID()], 1) << "only the first activation counts";
    EXPECT_TRUE(object->IsVisible()) << "reset from the initial value";
    EXPECT_EQ(script->m_Messages, (std::vector<CKDWORD>{16}));
    m_Scene->DeactivateObject(object);
    EXPECT_FALSE(m_Scene->IsObjectActive(object));
    EXPECT_EQ(SceneActiveCounts()[object->GetID()], 0);
    EXPECT_EQ(script->m_Messages, (std::vector<CKDWORD>{16, 17}));

    // A behaviour: its flags and its owner's count.
    m_Scene->ActivateObject(object, FALSE);
    m_Scene->ActivateObject(script, TRUE);
    EXPECT_EQ(script->GetFlags() & 0x10C00000u, 0x10800000u);
    EXPECT_EQ(SceneActiveCounts()[object->GetID()], 2);
    m_Scene->DeactivateObject(script);
    EXPECT_EQ(script->GetFlags() & 0x10C00000u, 0x400000u);

    // Outside the current scene only the active bit changes.
    CKScene* other = NewScene("Other");
    other->AddObject(object, TRUE);
    script->m_Messages.clear();
    const int count = SceneActiveCounts()[object->GetID()];
    other->ActivateObject(object, TRUE);
    other->ActivateObject(script, TRUE);
    EXPECT_TRUE(other->IsObjectActive(object) && other->IsObjectActive(script));
    EXPECT_EQ(SceneActiveCounts()[object->GetID()], count);
    EXPECT_TRUE(script->m_Messages.empty());
}

TEST_F(SceneTest, SceneFlagsALoadedObjectOrACopyBringsAreAppliedWhenItJoins)
{
    CKBeObject* object = NewBeObject();
    object->SetPriority(7);
    m_Context->GetObjectManager()->SetObjectData(object, CK_SCENEOBJECT_INTERNAL_IC | CK_SCENEOBJECT_START_ACTIVATE |
                                                             CK_SCENEOBJECT_START_RESET | 0x8);
    m_Level->AddObject(object);
    CKSceneObjectDesc* desc = m_Scene->GetSceneObjectDesc(object);
    ASSERT_NE(desc, nullptr);
    ASSERT_NE(desc->m_InitialValue, nullptr) << "0x80 captures the state on arrival";
    EXPECT_TRUE(m_Scene->IsObjectActive(object));
    EXPECT_EQ(desc->m_Flags,
              (CKDWORD) (CK_SCENEOBJECT_START_ACTIVATE | CK_SCENEOBJECT_START_RESET | CK_SCENEOBJECT_ACTIVE));
    EXPECT_FALSE(object->GetObjectFlags() & CK_OBJECT_HASOBJECTDATA) << "taken out";

    CKScene* other = NewScene("Other");
    other->AddObjectToScene(object);
    EXPECT_EQ(other->GetObjectFlags(object), (CKDWORD) (CK_SCENEOBJECT_START_ACTIVATE | CK_SCENEOBJECT_START_RESET));

    CKBeObject* idle = NewBeObject();
    m_Context->GetObjectManager()->SetObjectData(idle, CK_SCENEOBJECT_START_DEACTIVATE);
    m_Level->AddObject(idle);
    EXPECT_EQ(m_Scene->GetObjectFlags(idle), (CKDWORD) CK_SCENEOBJECT_START_DEACTIVATE);
    // Copies join the level scene with the flags of their source.
    CKBeObject* source = NewBeObject("Source");
    m_Level->AddObject(source);
    m_Scene->ActivateObject(source, FALSE);
    m_Scene->SetObjectFlags(source, m_Scene->GetObjectFlags(source) | CK_SCENEOBJECT_START_DEACTIVATE);
    CKObject* copy = m_Context->CopyObjects(source);
    ASSERT_NE(copy, nullptr);
    ASSERT_TRUE(m_Scene->IsObjectHere(copy));
    EXPECT_TRUE(m_Scene->IsObjectActive(static_cast<CKSceneObject*>(copy)));
    EXPECT_EQ(m_Scene->GetObjectFlags(static_cast<CKSceneObject*>(copy)),
              m_Scene->GetObjectFlags(source) | CK_SCENEOBJECT_ACTIVE);
}

TEST_F(SceneTest, TheStateRoundTripsThroughAChunkWithoutFileWithLiveDescriptorsOnly)
{
    CKScene* scene = NewScene("Saved");
    m_Level->AddScene(scene);
    CKBeObject* a = NewBeObject("A");
    CKBeObject* b = NewBeObject("B");
    scene->AddObjectToScene(a);
    scene->AddObjectToScene(b);
    scene->SetObjectFlags(b, CK_SCENEOBJECT_START_DEACTIVATE | CK_SCENEOBJECT_ACTIVE);
    scene->GetSceneObjectDesc(b)->SetInitialValue(CKSaveObjectState(b));
    scene->SetFogMode(2);
    scene->SetFogDensity(0.25f);
    scene->SetBackgroundTexture(a);
    scene->SetStartingCamera(b);
    scene->SetSceneFlags(7);

    CKStateChunk* chunk = CKSaveObjectState(scene);
    CKScene* back = NewScene("Back");
    ASSERT_EQ(back->Load(chunk, nullptr), 0);
    CKDeleteStateChunk(chunk);
    EXPECT_EQ(Members(back), (std::vector<CK_ID>{m_Level->GetID(), a->GetID(), b->GetID()}));
    EXPECT_EQ(back->GetLevel(), m_Level);
    EXPECT_TRUE(b->IsInScene(back));
    EXPECT_EQ(back->GetObjectFlags(b), (CKDWORD) (CK_SCENEOBJECT_START_DEACTIVATE | CK_SCENEOBJECT_ACTIVE));
    ASSERT_NE(back->GetObjectInitialValue(b), nullptr);
    EXPECT_EQ(back->GetObjectInitialValue(a), nullptr);
    EXPECT_EQ(back->GetFogMode(), 2u) << "no file, no fog change";
    EXPECT_EQ(back->GetFogDensity(), 0.25f);
    EXPECT_EQ(back->GetBackgroundTexture(), a);
    EXPECT_EQ(back->GetStartingCamera(), b);
    EXPECT_EQ(back->GetSceneFlags(), 7u);
    // Saving writes only live descriptors and drops the dead ones.
    CKBeObject* alive = NewBeObject("Alive");
    CKBeObject* doomed = NewBeObject("Doomed");
    CKBeObject* dynamic = NewBeObject("Dynamic", nullptr, CK_OBJECTCREATION_DYNAMIC);
    m_Level->AddObject(alive);
    m_Level->AddObject(doomed);
    m_Level->AddObject(dynamic);
    // Destroyed without telling the scenes.
    CK_ID id = doomed->GetID();
    m_Context->GetObjectManager()->DeleteObjects(&id, 1, 0, CK_DESTROY_NOCLASSNOTIFY);
    EXPECT_EQ(m_Scene->GetObjectCount(), 4);

    CKStateChunk* launched = CKSaveObjectState(m_Scene);
    EXPECT_EQ(m_Scene->GetObjectCount(), 3) << "the dead descriptor went";
    launched->StartRead();
    ASSERT_TRUE(chunk->SeekIdentifier(CK_STATESAVE_SCENELAUNCHED));
    launched->ReadObjectID();
    EXPECT_EQ(chunk->ReadInt(), 2) << "the level and the live object, not the dynamic one";
    CKDeleteStateChunk(launched);
}

TEST_F(SceneTest, DeletingAMemberOrTheSceneKeepsBothSidesInStep)
{
    CKScene* scene = NewScene("Doomed");
    m_Level->AddScene(scene);
    CKBeObject* kept = NewBeObject();
    CKBeObject* gone = NewBeObject();
    scene->AddObjectToScene(kept);
    scene->AddObjectToScene(gone);
    scene->SetStartingCamera(gone);
    m_Context->DestroyObject(gone);
    EXPECT_EQ(scene->GetObjectCount(), 2);
    EXPECT_EQ(scene->GetStartingCamera(), nullptr);

    const int index = scene->GetSceneIndex();
    m_Context->DestroyObject(scene);
    EXPECT_FALSE(kept->IsInSceneIndex(index)) << "a later scene with this index starts empty";
    EXPECT_EQ(m_Level->GetSceneCount(), 0);
    CKScene* next = NewScene();
    EXPECT_EQ(next->GetSceneIndex(), index);
    EXPECT_FALSE(next->IsObjectHere(kept));

    m_Context->DestroyObject(m_Scene);
    EXPECT_EQ(m_Level->GetLevelScene(), nullptr);
    EXPECT_EQ(m_Context->GetCurrentScene(), nullptr);
    EXPECT_EQ(m_Level->AddObject(kept), CKErr::InvalidParameter);
}

// Older chunks, built word by word.

namespace {

// An old descriptor chunk: identifier 255 with the object, an initial value,
// a skipped sub-chunk and the flags; with identifier 2, 16-bit flags and an
// extra word.
CKStateChunk* OldDescriptor(CK_CLASSID cid, CK_ID object, CKDWORD flags, bool shortFlags)
{
    CKStateChunk* desc = CKCreateStateChunk(cid);
    desc->StartWrite();
    if (shortFlags)
        desc->WriteIdentifier(CK_STATESAVE_SCENEOLD_DESCFLAGS16);
    desc->WriteIdentifier(CK_STATESAVE_SCENEOLD_DESCRIPTOR);
    desc->WriteObjectID(object);
    desc->WriteSubChunk(nullptr);
    desc->WriteSubChunk(nullptr);
    desc->WriteDword(shortFlags ? flags | 0xABCD0000 : flags);
    if (shortFlags)
        desc->WriteDword(0x12345678);
    desc->CloseChunk();
    return desc;
}

void WriteOldDescriptors(CKStateChunk* chunk, CK_CLASSID cid, const std::vector<std::pair<CK_ID, CKDWORD>>& entries)
{
    chunk->WriteInt((int) entries.size());
    bool shortFlags = false;
    for (const auto& [id, flags] : entries) {
        chunk->WriteObjectID(id);
        CKStateChunk* desc = OldDescriptor(cid, id, flags, shortFlags);
        chunk->WriteSubChunk(desc);
        CKDeleteStateChunk(desc);
        shortFlags = !shortFlags;
    }
}

} // namespace

TEST_F(SceneTest, DataVersion7And0ChunksConvertTheirDescriptorFlags)
{
    CKBeObject* a = NewBeObject();
    CKBeObject* b = NewBeObject();
    CKStateChunk* chunk = CKCreateStateChunk(CKCID_SCENE);
    chunk->StartWrite();
    chunk->SetDataVersion(7);
    chunk->WriteIdentifier(CK_STATESAVE_SCENELAUNCHED);
    chunk->WriteObjectID(m_Level->GetID());
    chunk->WriteInt(2);
    chunk->StartObjectIDSequence(2);
    chunk->WriteObjectIDSequenceItem(a->GetID());
    chunk->WriteObjectIDSequenceItem(b->GetID());
    chunk->StartSubChunkSequence(4);
    for (int i = 0; i < 4; ++i)
        chunk->WriteSubChunkSequenceItem(nullptr);
    chunk->WriteDword(8 | 2 | 1); // active, reset, activate
    chunk->WriteDword(0);         // deactivate
    chunk->CloseChunk();

    CKScene* scene = NewScene();
    scene->SetSceneFlags(3);
    ASSERT_EQ(scene->Load(chunk, nullptr), 0);
    CKDeleteStateChunk(chunk);
    EXPECT_EQ(scene->GetSceneFlags(), 2u) << "bit 1 is cleared by every load";
    EXPECT_EQ(scene->GetObjectFlags(a),
              (CKDWORD) (CK_SCENEOBJECT_ACTIVE | CK_SCENEOBJECT_START_RESET | CK_SCENEOBJECT_START_ACTIVATE));
    EXPECT_EQ(scene->GetObjectFlags(b), (CKDWORD) CK_SCENEOBJECT_START_DEACTIVATE);
    EXPECT_TRUE(scene->IsObjectHere(m_Level)) << "the level joins its scene";
    // Data version 0: both old forms.
    const std::vector<std::pair<CK_ID, CKDWORD>> entries = {{a->GetID(), 8 | 1}, {b->GetID(), 2}};
    const auto expectMembers = [&](CKScene* scene) {
        EXPECT_EQ(scene->GetObjectFlags(a), (CKDWORD) (CK_SCENEOBJECT_ACTIVE | CK_SCENEOBJECT_START_ACTIVATE));
        EXPECT_EQ(scene->GetObjectFlags(b), (CKDWORD) (CK_SCENEOBJECT_START_RESET | CK_SCENEOBJECT_START_DEACTIVATE));
        EXPECT_EQ(scene->GetLevel(), m_Level);
        EXPECT_EQ(scene->GetAmbientLightColor(), 0x000F0F0Fu) << "no environment in these forms";
    };

    // The oldest form: descriptor chunks of class 47 (in memory) under 256.
    CKStateChunk* oldest = CKCreateStateChunk(CKCID_SCENE);
    oldest->StartWrite();
    oldest->SetDataVersion(0);
    oldest->WriteIdentifier(CK_STATESAVE_SCENEOLD_AFTERCHUNK);
    oldest->WriteDword(99);
    oldest->WriteIdentifier(CK_STATESAVE_SCENEOLD_LEVEL);
    oldest->WriteObjectID(m_Level->GetID());
    oldest->WriteIdentifier(CK_STATESAVE_SCENEOLD_OBJECTS);
    WriteOldDescriptors(oldest, 47, entries);
    oldest->CloseChunk();
    CKGetGlobals().m_LoadedFileObsolete = FALSE;
    CKScene* first = NewScene();
    ASSERT_EQ(first->Load(oldest, nullptr), 0);
    CKDeleteStateChunk(oldest);
    EXPECT_TRUE(CKGetGlobals().m_LoadedFileObsolete);
    expectMembers(first);

    // The form after it: a behavioural object with the list under 0x10000.
    CKStateChunk* second = CKCreateStateChunk(CKCID_SCENE);
    second->StartWrite();
    second->SetDataVersion(0);
    second->WriteIdentifier(CK_STATESAVE_SCENENEW_LEVEL);
    second->WriteObjectID(m_Level->GetID());
    second->WriteIdentifier(CK_STATESAVE_SCENENEW_OBJECTS);
    WriteOldDescriptors(second, 33, entries);
    second->CloseChunk();
    CKGetGlobals().m_LoadedFileObsolete = FALSE;
    CKScene* next = NewScene();
    ASSERT_EQ(next->Load(second, nullptr), 0);
    CKDeleteStateChunk(second);
    EXPECT_FALSE(CKGetGlobals().m_LoadedFileObsolete);
    expectMembers(next);
}

TEST_F(SceneTest, FilesBefore2_1ReadFogModes1And2As3AndObjectsSavedAloneKeepTheirSceneFlags)
{
    TestTempDir dir;
    const std::string path = dir.File("fog.qdx");
    CKScene* scene = NewScene("Fog");
    m_Level->AddScene(scene);
    scene->SetFogMode(1);
    ASSERT_TRUE(SaveFile(m_Context, path, scene));
    std::vector<CKBYTE> bytes = ReadWholeFile(path);

    for (CKDWORD version : {0x02000000u, 0x02010000u}) {
        SCOPED_TRACE(version);
        StoreLE32(bytes.data() + 12, version);
        WriteWholeFile(path, bytes);
        CKContext* fresh = NewContext();
        ASSERT_TRUE(LoadsFile(fresh, path));
        auto* back = static_cast<CKScene*>(fresh->GetObjectByNameAndClass("Fog", CKCID_SCENE));
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(back->GetFogMode(), version < 0x02010000u ? 3u : 1u);
        CloseContext(fresh);
    }
    // An object saved without its scene brings its scene flags to the next scene it joins.
    const std::string alone = dir.File("alone.qdx");
    CKBeObject* object = NewBeObject("Alone");
    m_Level->AddObject(object);
    m_Scene->SetObjectFlags(object, CK_SCENEOBJECT_START_DEACTIVATE);
    m_Scene->GetSceneObjectDesc(object)->SetInitialValue(CKSaveObjectState(object));
    ASSERT_TRUE(SaveFile(m_Context, alone, object));

    CKContext* other = NewContext();
    CKLevel* level = NewLevel("Other", other);
    ASSERT_TRUE(LoadsFile(other, alone));
    auto* moved = static_cast<CKBeObject*>(other->GetObjectByNameAndClass("Alone", CKCID_BEOBJECT));
    ASSERT_NE(moved, nullptr);
    EXPECT_FALSE(level->GetLevelScene()->IsObjectHere(moved)) << "loading puts it in no scene";
    level->AddObject(moved);
    EXPECT_EQ(level->GetLevelScene()->GetObjectFlags(moved), (CKDWORD) CK_SCENEOBJECT_START_DEACTIVATE);
    EXPECT_NE(level->GetLevelScene()->GetObjectInitialValue(moved), nullptr);
}

TEST_F(SceneTest, SectionsCutAtEveryWordOrFilledWithNoiseLoadWithoutHarm)
{
    CKBeObject* a = NewBeObject();
    m_Level->AddObject(a);
    m_Scene->GetSceneObjectDesc(a)->SetInitialValue(CKSaveObjectState(a));
    CKStateChunk* full = CKSaveObjectState(m_Scene);
    for (CKDWORD identifier : {(CKDWORD) CK_STATESAVE_SCENELAUNCHED, (CKDWORD) CK_STATESAVE_SCENEENVIRONMENT}) {
        full->StartRead();
        const int words = full->SeekIdentifierAndReturnSize(identifier) / 4;
        ASSERT_GT(words, 0);
        std::vector<CKDWORD> section(words);
        for (CKDWORD& w : section)
            w = full->ReadDword();
        for (int cut = 0; cut <= words; ++cut) {
            for (int noise = 0; noise < 2; ++noise) {
                CKStateChunk* chunk = CKCreateStateChunk(CKCID_SCENE);
                chunk->StartWrite();
                chunk->SetDataVersion(noise ? 0 : 10);
                chunk->WriteIdentifier(noise ? (CKDWORD) CK_STATESAVE_SCENEOLD_OBJECTS : identifier);
                for (int i = 0; i < cut; ++i)
                    chunk->WriteDword(noise ? section[i] * 2654435761u : section[i]);
                chunk->CloseChunk();
                CKScene* scene = NewScene();
                EXPECT_EQ(scene->Load(chunk, nullptr), 0);
                CKDeleteStateChunk(chunk);
                m_Context->DestroyObject(scene);
            }
        }
    }
    CKDeleteStateChunk(full);
}

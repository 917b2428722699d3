#pragma once

#include <map>
#include <string>
#include <vector>

#include "core/behavior/CKBehavior.h"
#include "core/object/CKBeObject.h"
#include "core/object/CKBeObjectLinks.h"
#include "core/scene/CKGroup.h"
#include "core/scene/CKLevel.h"
#include "core/scene/CKScene.h"
#include "tests/core/support/FileTestSupport.h"

// Hears the scene notifications the context dispatches.
class SceneRecorder : public CKBaseManager
{
public:
    explicit SceneRecorder(CKContext* context);
    CKDWORD GetValidFunctionsMask() override
    {
        return CKMANAGER_FUNC_OnObjectsAddedToScene | CKMANAGER_FUNC_OnObjectsRemovedFromScene;
    }
    CKERROR OnObjectsAddedToScene(CKScene* scene, CK_ID* ids, int count) override;
    CKERROR OnObjectsRemovedFromScene(CKScene* scene, CK_ID* ids, int count) override;

    std::vector<std::vector<CK_ID>> m_Added;
    std::vector<std::vector<CK_ID>> m_Removed;
};

// A behaviour that records the callback messages scenes send it.
class SceneTestBehavior : public CKClass<SceneTestBehavior, CKBehavior, 0>
{
public:
    explicit SceneTestBehavior(CKContext* context) : CKClass(context) {}

    std::vector<CKDWORD> m_Messages;

    static const char* GetClassName() { return "Scene Test Behavior"; }
};

// The behaviour manager's count of active scripts per object, as the scenes
// change it.
std::map<CK_ID, int>& SceneActiveCounts();

// Engine with the file test classes, the recording behaviour (its message
// and activation links)
// and a scene recorder in the context.
class SceneFixture : public FileFixture
{
protected:
    void SetUp() override;

    CKBeObject* NewBeObject(const char* name = nullptr, CKContext* context = nullptr, CKDWORD options = 0);
    // A level that becomes the context's current level.
    CKLevel* NewLevel(const char* name = "Level", CKContext* context = nullptr);
    CKScene* NewScene(const char* name = nullptr, CKContext* context = nullptr);
    CKGroup* NewGroup(const char* name = nullptr, CKContext* context = nullptr);
    // A script of the owner (null: a behaviour without owner).
    SceneTestBehavior* NewScript(CKBeObject* owner, CKDWORD flags = CKBEHAVIOR_SCRIPT);

    SceneRecorder* m_Recorder = nullptr;
};

// Saves an object (with what the flags take along; none: an empty file) into
// a file, loads a file into a context, loads a chunk with a file of the
// object's context: each says whether it worked.
bool SaveFile(CKContext* context, const std::string& path, CKObject* object, CKDWORD flags = 0xFFFFFFFF);
bool LoadsFile(CKContext* context, const std::string& path);
CKERROR LoadWithFile(CKObject* object, CKStateChunk* chunk);

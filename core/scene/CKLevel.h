#pragma once

#include "core/object/CKBeObject.h"
#include "core/object/XObjectPointerArray.h"

class CKScene;
class CKRenderContext;

// Chunk identifiers of a level's sections.
enum : CKDWORD
{
    CK_STATESAVE_LEVELINACTIVEMAN = 0x2000,     // GUIDs of inactive managers that no active one replaces
    CK_STATESAVE_LEVELDUPLICATEMAN = 0x4000,    // names of registered managers switched off
    CK_STATESAVE_LEVELSCENE = 0x20000000,       // the scenes
    CK_STATESAVE_LEVELDEFAULTDATA = 0x80000000, // current scene, level scene and the level scene's state
};

// The root of what one context plays or saves: the scenes of the
// composition in the order they were added, the level's own scene (which
// holds every object of the level), the current scene and the render
// contexts that show the level. A level always has a level scene.
class CKLevel : public CKClass<CKLevel, CKBeObject, CKCID_LEVEL>
{
public:
    // Creates the level scene at once (dynamic when the level is).
    explicit CKLevel(CKContext* context, const char* name = nullptr);
    // Clears the context's current level when it is this one.
    ~CKLevel() override;

    // With flag bit 31, the scenes and the level scene's content are saved
    // too.
    void PreSave(CKFile* file, CKDWORD flags) override;
    // CKBeObject's sections, then the scenes (flag bit 29), the current and
    // level scenes with the level scene's state (flag bit 31) and the
    // managers switched off (flags 0x2000, 0x4000).
    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    // -1 for a null chunk; 0 and nothing read without a file.
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    void CheckPreDeletion() override;
    void CheckPostDeletion() override;
    int GetMemoryOccupation() override;
    CKBOOL IsObjectUsed(CKObject* object, CK_CLASSID cid) override;
    CKERROR PrepareDependencies(CKDependenciesContext& context, CKBOOL caller = TRUE) override;
    // Gives the level's scripts descriptors in its scenes and destroys the
    // behaviours that the scenes describe but no object owns as a script.
    void PatchAfterLoad(int count, CKFileObjectRecord* records) override;

    // -1 unless the object is a scene object and no level; else it joins the
    // level scene with its dependencies. 0.
    CKERROR AddObject(CKObject* object);
    // -1 for null. The scene belongs to this level and holds it; it is
    // listed once, and the host hears of a newly listed scene. 0.
    CKERROR AddScene(CKScene* scene);
    int GetSceneCount() const { return m_SceneList.Size(); }
    // Null past the count.
    CKScene* GetScene(int index) const;
    // Null when the scene no longer exists.
    CKScene* GetLevelScene() const;
    CKScene* GetCurrentScene() const;

    int GetRenderContextCount() const { return m_RenderContextList.Size(); }
    // Null past the count.
    CKRenderContext* GetRenderContext(int index) const;
    // -1 for null, -17 when attached already; else appended, 0.
    CKERROR AddRenderContext(CKRenderContext* context);
    // Detaches it; when it was the context's main render context, the first
    // one left (or none) becomes the main one.
    void RemoveRenderContext(CKRenderContext* context);

    // A scene going away: the references that name it become 0.
    void ForgetScene(CK_ID scene);

    static void Register();
    static const char* GetClassName();

private:
    // Makes the level scene, named name, when the level scene id names no
    // scene.
    void CreateLevelScene(CKBOOL dynamic, const char* name);
    void SaveManagerStates(CKStateChunk* chunk, CKDWORD flags);
    void LoadManagerStates(CKStateChunk* chunk);

    XObjectPointerArray m_SceneList;
    XObjectPointerArray m_RenderContextList;
    CK_ID m_CurrentScene = 0;
    CK_ID m_LevelScene = 0;
};

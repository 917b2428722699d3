#pragma once

#include "core/object/CKObject.h"
#include "includes/XBitArray.h"

class CKScene;

// An object that can belong to scenes: one bit per scene, indexed by the
// scene's index (CKObjectManager::GetFreeSceneIndex).
class CKSceneObject : public CKClass<CKSceneObject, CKObject, CKCID_SCENEOBJECT>
{
public:
    explicit CKSceneObject(CKContext* context, const char* name = nullptr);
    ~CKSceneObject() override;

    // CKObject's figure + 8 + 4 for each 32 bits of the scene set.
    int GetMemoryOccupation() override;
    // Have the scene add / remove this object (CKScene::AddObjectToScene,
    // CKScene::RemoveObjectFromScene). Nothing for a null scene.
    virtual void AddToScene(CKScene* scene, CKBOOL dependencies = TRUE);
    virtual void RemoveFromScene(CKScene* scene, CKBOOL dependencies = TRUE);

    // Scenes.
    // False without a current scene; else whether the object is active there.
    CKBOOL IsActiveInCurrentScene();
    // The scene's bit; false for null.
    CKBOOL IsInScene(CKScene* scene) const;
    // The scene of the n-th set bit among the context's scenes; null when
    // there is none.
    CKScene* GetSceneIn(int n) const;
    // Every scene that holds the object removes it, the last one first.
    void RemoveFromAllScenes();
    // Sets the scene's bit; when it was clear, the attribute manager hears
    // that the object entered the scene. True when newly set.
    CKBOOL AddSceneIn(CKScene* scene);
    void RemoveSceneIn(CKScene* scene);

    // Scene-set primitives by scene index.
    CKBOOL IsInSceneIndex(int index) const { return m_Scenes.IsSet(index); }
    // True when the bit was newly set.
    CKBOOL AddSceneInIndex(int index);
    void RemoveSceneInIndex(int index) { m_Scenes.Unset(index); }
    int GetSceneInCount() const;
    // The scene index of the n-th set bit, -1 when there is none.
    int GetSceneInIndex(int n) const;
    const XBitArray& GetSceneSet() const { return m_Scenes; }

    static void Register();
    static const char* GetClassName();
    static const char* GetDependencies(int index, int mode);
    static int GetDependenciesCount(int mode);

protected:
    XBitArray m_Scenes;
};

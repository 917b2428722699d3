#pragma once

#include "core/context/CKDefines.h"
#include "system/runtime/QxCycleProfiler.h"

class CKContext;
class CKFile;
class CKStateChunk;
class CKScene;
class CKObject;
struct CKDependencies;
class CKDependenciesContext;
class CKRenderContext;

// A service of one context, registered under its GUID. The context calls the
// operations whose bits GetValidFunctionsMask declares, in decreasing
// GetFunctionPriority order; every default does nothing and returns 0.
// A concrete manager's constructor calls CKContext::RegisterNewManager(this).
class CKBaseManager
{
public:
    // The name is copied.
    CKBaseManager(CKContext* context, CKGUID guid, const char* name);
    // Unregisters from the context (unless the context is being destroyed)
    // and frees the name.
    virtual ~CKBaseManager();
    CKBaseManager(const CKBaseManager&) = delete;
    CKBaseManager& operator=(const CKBaseManager&) = delete;

    // The manager's own state chunk for a file being saved; null for none.
    virtual CKStateChunk* SaveData(CKFile* file)
    {
        (void) file;
        return nullptr;
    }
    // The manager's chunk of a file being loaded (may be null).
    virtual CKERROR LoadData(CKStateChunk* chunk, CKFile* file)
    {
        (void) chunk;
        (void) file;
        return 0;
    }
    virtual CKERROR PreClearAll() { return 0; }
    virtual CKERROR PostClearAll() { return 0; }
    virtual CKERROR PreProcess() { return 0; }
    virtual CKERROR PostProcess() { return 0; }
    virtual CKERROR OnObjectsAddedToScene(CKScene* scene, CK_ID* ids, int count)
    {
        (void) scene;
        (void) ids;
        (void) count;
        return 0;
    }
    virtual CKERROR OnObjectsRemovedFromScene(CKScene* scene, CK_ID* ids, int count)
    {
        (void) scene;
        (void) ids;
        (void) count;
        return 0;
    }
    virtual CKERROR ReservedOperationA(CKDWORD a, CKDWORD b)
    {
        (void) a;
        (void) b;
        return 0;
    }
    virtual CKERROR ReservedOperationB(CKDWORD a, CKDWORD b)
    {
        (void) a;
        (void) b;
        return 0;
    }
    virtual CKERROR OnCKInit() { return 0; }
    virtual CKERROR OnCKEnd() { return 0; }
    virtual CKERROR OnCKReset() { return 0; }
    virtual CKERROR OnCKPostReset() { return 0; }
    virtual CKERROR OnCKPause() { return 0; }
    virtual CKERROR OnCKPlay() { return 0; }
    virtual CKERROR OnObjectsToBeDeleted(CK_ID* ids, int count)
    {
        (void) ids;
        (void) count;
        return 0;
    }
    virtual CKERROR OnObjectsDeleted(CK_ID* ids, int count)
    {
        (void) ids;
        (void) count;
        return 0;
    }
    virtual CKERROR PreLoad() { return 0; }
    virtual CKERROR PostLoad() { return 0; }
    virtual CKERROR PreSave() { return 0; }
    virtual CKERROR PostSave() { return 0; }
    virtual CKERROR OnPreCopy(CKDependenciesContext& context)
    {
        (void) context;
        return 0;
    }
    virtual CKERROR OnPostCopy(CKDependenciesContext& context)
    {
        (void) context;
        return 0;
    }
    virtual CKERROR OnPreRender(CKRenderContext* dev)
    {
        (void) dev;
        return 0;
    }
    virtual CKERROR OnPostRender(CKRenderContext* dev)
    {
        (void) dev;
        return 0;
    }
    virtual CKERROR OnPreSpriteRender(CKRenderContext* dev)
    {
        (void) dev;
        return 0;
    }
    virtual CKERROR OnPostSpriteRender(CKRenderContext* dev)
    {
        (void) dev;
        return 0;
    }
    // Priority of the manager in the list of one callback bit (a mask with
    // one bit set); higher runs first.
    virtual int GetFunctionPriority(CKDWORD function)
    {
        (void) function;
        return 0;
    }
    // CKMANAGER_FUNC_ bits of the callbacks implemented.
    virtual CKDWORD GetValidFunctionsMask() { return 0; }
    virtual CKERROR OnPreBackToFront(CKRenderContext* dev)
    {
        (void) dev;
        return 0;
    }
    virtual CKERROR OnPostBackToFront(CKRenderContext* dev)
    {
        (void) dev;
        return 0;
    }
    virtual CKERROR OnPreFullScreen(CKBOOL goingToFullScreen, CKRenderContext* dev)
    {
        (void) goingToFullScreen;
        (void) dev;
        return 0;
    }
    virtual CKERROR OnPostFullScreen(CKBOOL goingToFullScreen, CKRenderContext* dev)
    {
        (void) goingToFullScreen;
        (void) dev;
        return 0;
    }
    virtual CKERROR OnRasterizerEvent(CKDWORD event, CKDWORD param)
    {
        (void) event;
        (void) param;
        return 0;
    }

    CKGUID GetGuid() const { return m_ManagerGuid; }
    const char* GetName() const { return m_ManagerName; }
    CKContext* GetCKContext() const { return m_Context; }
    float GetProcessingTime() const { return m_ProcessingTime; }
    void AddProcessingTime(float ms) { m_ProcessingTime += ms; }
    void ResetProcessingTime() { m_ProcessingTime = 0.0f; }
    QxCycleProfiler& GetProfiler() { return m_Profiler; }

    // Shortcut to the context's destruction of one object.
    CKERROR DestroyObject(CKObject* object, CKDWORD flags = 0, CKDependencies* dependencies = nullptr);

protected:
    CKGUID m_ManagerGuid;
    char* m_ManagerName = nullptr;
    CKContext* m_Context = nullptr;
    float m_ProcessingTime = 0.0f;
    QxCycleProfiler m_Profiler;
};

#pragma once

#include "core/context/CKRenderManager.h"
#include "includes/XArray.h"
#include "includes/XClassArray.h"
#include "render/context/CKEffectDescription.h"
#include "render/context/RenderCallbackList.h"
#include "render/context/SceneGraphNode.h"
#include "render/context/rasterizer/CKRasterizer.h"

class CK3dEntity;
class CKMaterial;
class RCKRenderContext;

// The render manager's variables, bound under "CK2_3D/..." and
// "Points Cloud/..." while the manager lives.
struct CKRenderSettings
{
    int EnableDebugMode = 0;
    int DisplayObjectInformation = 0; // 1 AABB, 2 OBB, 4 HAABB, 8 sphere, 16.. mesh details
    int SaveOptimizedMesh = 0;
    int VertexCache = 16;
    int DX5LightingModel = 0;
    int Antialias = 0;
    int SpriteVideoFormat = 1;    // 32 bits ARGB
    int DefaultSystemCaching = 1; // VideoShadow
    int TextureClamping = 0;
    int PointsVerticesPerVB = 135535;
    float PointsMaxTimeToFillVB = 50.0f;
    float PointsDefaultPrecision = 5e-6f;
    float PointsMinPointSize = 1.0f;
    float PointsMaxPointSize = 128.0f;
    int PointsProfMemTree = 0;
    int PointsProfMemAttributes = 0;
    int PointsProfMemVideoMem = 0;
    int PointsProfCountPoints = 0;
    int PointsProfCountPointsDrawn = 0;
    int PointsProfCountVBDrawn = 0;
    float PointsProfTimeLoading = 0.0f;
    float PointsProfTimeLODCreation = 0.0f;
    float PointsProfTimeCulling = 0.0f;
    float PointsProfTimeVBFill = 0.0f;
};

// The render library's manager of one context: the rasterizers and their
// drivers, the render contexts, the scene graph and the lists the 3D
// entities keep with it, the rasterizer object indices, the temporary
// render callbacks, the default materials and the effects.
class RCKRenderManager : public CKRenderManager
{
public:
    // Starts every rasterizer of the table and registers with the context.
    explicit RCKRenderManager(CKContext* context);
    // Destroys the render contexts left, then stops the rasterizers.
    ~RCKRenderManager() override;

    CKERROR PreProcess() override;
    CKERROR PostProcess() override;
    CKERROR OnObjectsToBeDeleted(CK_ID* ids, int count) override;
    CKERROR PreClearAll() override;
    CKERROR PostClearAll() override;
    CKDWORD GetValidFunctionsMask() override;

    int GetRenderContextCount() override { return m_RenderContexts.Size(); }
    CKRenderContext* GetRenderContext(int index) override;
    CKRenderContext* CreateRenderContext(void* window, int driver = 0, const QxIntRect* rect = nullptr) override;
    CKERROR DestroyRenderContext(CKRenderContext* context) override;
    int GetRenderDriverCount() override { return m_Drivers.Size(); }
    const char* GetRenderDriverDescription(int driver) override;
    int GetEffectCount() override { return m_Effects.Size(); }
    const CKEffectDescription* GetEffectDescription(int index) override;

    // Null outside the range.
    CKRasterizerDriver* GetDriver(int index) const;
    // A render context joins the manager: its mask bit, 0 when all 32 bits
    // are taken. Called by the render contexts themselves.
    CKDWORD RegisterRenderContext(RCKRenderContext* context);
    void UnregisterRenderContext(RCKRenderContext* context);

    // A free rasterizer object index of the kind (CKRST_OBJ_...); 0 when no
    // rasterizer is started or the kind is unknown.
    CKDWORD CreateObjectIndex(CKDWORD type);
    // Gives the index back and deletes its object in every render context.
    void ReleaseObjectIndex(CKDWORD index, CKDWORD type);

    SceneGraphNode* GetRootNode() { return &m_RootNode; }
    // A node for the entity, under the root.
    SceneGraphNode* CreateNode(CK3dEntity* entity);
    void DeleteNode(SceneGraphNode* node);

    // Entities whose matrix changed (set CK_3DENTITY_INMOVEDLIST first).
    void AddMovedEntity(CK3dEntity* entity);
    const XArray<CK3dEntity*>& GetMovedEntities() const { return m_MovedEntities; }
    // Entities that keep their last frame's matrix.
    void RegisterLastFrameEntity(CK3dEntity* entity);
    void UnregisterLastFrameEntity(CK3dEntity* entity);
    const XArray<CK3dEntity*>& GetLastFrameEntities() const { return m_LastFrameEntities; }

    // Temporary render callbacks, removed from their lists after a frame.
    void AddTemporaryCallback(RenderCallbackList* list, CKRenderCallbackFunction function, void* argument, CKBOOL post);
    void RemoveTemporaryCallbacks(RenderCallbackList* list);
    void RemoveAllTemporaryCallbacks();
    int GetTemporaryCallbackCount() const { return m_TemporaryCallbacks.Size(); }

    // "Default Mat", "Stencil Only Mat", "ZBufferOnly Mat" and
    // "WireframeLayer Mat"; null until the material class can be created.
    CKMaterial* GetDefaultMaterial() const;
    CKMaterial* GetStencilOnlyMaterial() const;
    CKMaterial* GetZBufferOnlyMaterial() const;
    CKMaterial* GetWireframeLayerMaterial() const;

    // Debug drawing of the entity's boxes by "CK2_3D/DisplayObjectInformation"
    // (AABB, OBB, hierarchical AABB, bounding sphere), as line lists.
    void DrawObjectInformation(RCKRenderContext* context, CK3dEntity* entity);

    const CKRenderSettings& GetSettings() const { return m_Settings; }
    CKRenderSettings& GetSettings() { return m_Settings; }
    CKBOOL IsProfilingEnabled() const { return m_Profiling; }
    void EnableProfiling(CKBOOL on) { m_Profiling = on; }

private:
    struct TemporaryCallback
    {
        RenderCallbackList* List;
        CKRenderCallbackFunction Function;
        void* Argument;
        CKBOOL Post;
    };

    void BindVariables();
    void UnbindVariables();
    void RegisterEffects();
    void CreateDefaultMaterials();
    CKMaterial* MaterialById(CK_ID id) const;

    XArray<CKRasterizer*> m_Rasterizers;   // owned
    XArray<CKRasterizerDriver*> m_Drivers; // of the rasterizers
    XArray<RCKRenderContext*> m_RenderContexts;
    CKDWORD m_UsedMaskBits = 0;
    XArray<CKBYTE> m_UsedIndices[5]; // by kind, 1 when handed out
    SceneGraphNode m_RootNode;
    XArray<CK3dEntity*> m_MovedEntities;
    XArray<CK3dEntity*> m_LastFrameEntities;
    XArray<TemporaryCallback> m_TemporaryCallbacks;
    CK_ID m_DefaultMaterials[4] = {};
    XClassArray<CKEffectDescription> m_Effects;
    CKRenderSettings m_Settings;
    CKBOOL m_Profiling = FALSE;
};

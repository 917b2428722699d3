#pragma once

#include "core/context/CKRenderContext.h"
#include "includes/XArray.h"
#include "includes/XClassArray.h"
#include "includes/XString.h"
#include "render/context/CKMaterialBinding.h"
#include "render/context/CKRenderedScene.h"
#include "render/context/RenderBatchList.h"
#include "render/context/RenderCallbackList.h"
#include "render/context/rasterizer/CKDrawPrimitiveData.h"
#include "system/runtime/QxTimeProfiler.h"

class RCKRenderManager;
class CKRasterizerDriver;
struct CKPickResult;

// Pass kinds of the drawing code.
enum : CKDWORD
{
    CK_PASS_OVERRIDEMATERIAL = 0x1,
    CK_PASS_NOMATERIAL = 0x2,
    CK_PASS_NOCHANNELS = 0x4,
};

// Debug flags.
enum : CKDWORD
{
    CK_RENDERDEBUG_LOG = 0x1,            // entities write a debug line
    CK_RENDERDEBUG_SHOWEACHOBJECT = 0x4, // the frame is shown after each object
};

// The render flags a render context hands its 3D entities: the low byte
// asks for their screen extents.
constexpr CKDWORD CK_RENDER_UPDATEEXTENTS = 0xFF;

// Screen extents of one drawn object.
struct CKObjectExtents
{
    QxRect Rect;
    CK_ID Object;
};

// The render library's render context: a device of one of the render
// manager's drivers on a window rectangle, the scene it shows, its 2D roots
// and viewpoint, its callbacks and batches, and the words the drawing code
// of the render classes reads and writes.
class RCKRenderContext : public CKRenderContext
{
public:
    // Joins the context's render manager (when there is one) and takes a
    // render-context bit from it. Never saved, kept by ClearAll.
    explicit RCKRenderContext(CKContext* context, const char* name = nullptr);
    ~RCKRenderContext() override;

    static CKObject* CreateInstance(CKContext* context) { return new RCKRenderContext(context); }
    static const char* GetClassName() { return "Render Context"; }

    // Makes the device on the window through the driver, of the rectangle's
    // size (640 x 480 when null): -18 without a render manager or driver,
    // -14 when the device refuses. Also makes the 2D roots and the
    // viewpoint when their classes can be created.
    CKERROR Create(void* window, int driver, const QxIntRect* rect);
    // Releases the device and leaves the render manager (it is going away).
    void DetachFromManager();
    // Forgets every object being deleted (render manager's notification).
    void ForgetObjectsToBeDeleted();

    // CKRenderContext
    void AddObject(CKRenderObject* object) override;
    void RemoveObject(CKRenderObject* object) override;
    CKBOOL IsObjectAttached(CKRenderObject* object) override;
    void DetachAll() override;
    CKERROR Render(CKDWORD flags = 0) override;
    CKERROR Clear(CKDWORD flags = 0, CKDWORD stencil = 0) override;
    CKERROR DrawScene(CKDWORD flags = 0) override;
    CKERROR BackToFront(CKDWORD flags = 0) override;
    CKDWORD GetCurrentRenderOptions() override { return m_RenderOptions; }
    void SetCurrentRenderOptions(CKDWORD options) override { m_RenderOptions = options; }
    void AddPreRenderCallBack(CK_RENDERCALLBACK function, void* argument, CKBOOL temporary = FALSE) override;
    void RemovePreRenderCallBack(CK_RENDERCALLBACK function, void* argument) override;
    void AddPostRenderCallBack(CK_RENDERCALLBACK function, void* argument, CKBOOL temporary = FALSE) override;
    void RemovePostRenderCallBack(CK_RENDERCALLBACK function, void* argument) override;
    void GetViewRect(QxRect& rect) override { rect = m_ViewRect; }
    void SetViewRect(const QxRect& rect) override;
    // The view rectangle as the device's viewport (integer x, y, width,
    // height).
    CKViewportData GetViewport() const;
    void GetWindowRect(QxRect& rect, CKBOOL screenRelative = FALSE) override;
    int GetWidth() override { return m_Width; }
    int GetHeight() override { return m_Height; }
    CKERROR Resize(int x, int y, int width, int height) override;
    CKERROR ChangeDriver(int driver) override;
    int GetDriverIndex() override { return m_DriverIndex; }
    CKRasterizerContext* GetRasterizerContext() override { return m_RasterizerContext; }
    int DumpToMemory(const QxRect* rect, CKDWORD buffer, QxImageDesc& desc) override;
    void AttachViewpointToCamera(CKCamera* camera) override;
    void DetachViewpointFromCamera() override;
    CKCamera* GetAttachedCamera() override;
    CK3dEntity* GetViewpoint() override;
    CKBOOL SetState(CKDWORD state, CKDWORD value) override;
    CKDWORD GetState(CKDWORD state) override;
    CKBOOL SetTexture(CKTexture* texture, CKBOOL clamped = FALSE, int stage = 0) override;
    CKBOOL SetTextureStageState(int stage, CKDWORD state, CKDWORD value) override;
    void SetWorldTransformationMatrix(const QxMatrix& matrix) override;
    void SetProjectionTransformationMatrix(const QxMatrix& matrix) override;
    void SetViewTransformationMatrix(const QxMatrix& matrix) override;
    const QxMatrix& GetWorldTransformationMatrix() override { return m_WorldMatrix; }
    const QxMatrix& GetProjectionTransformationMatrix() override { return m_ProjectionMatrix; }
    const QxMatrix& GetViewTransformationMatrix() override { return m_ViewMatrix; }
    void DrawWithEntityTransform(CK3dEntity* entity) override;
    CKDrawPrimitiveData* GetDrawPrimitiveStructure(CKDWORD flags, int vertexCount) override;
    CKWORD* GetDrawPrimitiveIndices(int count) override;
    CKBOOL DrawPrimitive(int type, CKWORD* indices, int indexCount, CKDrawPrimitiveData* data) override;
    CK2dEntity* Get2dRoot(CKBOOL background) override;
    CK2dEntity* Pick2D(const Qx2DVector& point) override;
    // The nearest 3D entity of the scene under a point of the window: the
    // segment from the near to the far plane through it is tested against
    // every visible entity not flagged never picked (object flag 0x2) and,
    // unless ignoreUnpickable, pickable. Null when none is hit; result,
    // when given, receives the hit.
    CK3dEntity* Pick(const Qx2DVector& point, CKPickResult* result = nullptr, CKBOOL ignoreUnpickable = FALSE);
    CKMaterial* ResolveOverriddenRendering(CKMaterial* material, CKMaterialBinding& binding) override;

    // Screen extents: with an object, recorded for it; always merged into
    // the frame's 2D extents. Both start empty at every frame.
    void AddExtents2D(const QxRect& rect, CKObject* object);
    const QxRect& GetExtents2D() const { return m_Extents2D; }
    const XArray<CKObjectExtents>& GetObjectExtents() const { return m_ObjectExtents; }

    // The view when no camera is attached: perspective of this full field
    // of view and planes, at the view rectangle's aspect.
    void SetPerspective(float fov, float nearPlane, float farPlane);

    // Words the drawing code reads and writes.
    RCKRenderManager* GetRenderManager() const { return m_RenderManager; }
    CKDWORD GetMaskBit() const { return m_MaskBit; }
    CKRenderedScene* GetRenderedScene() { return &m_RenderedScene; }
    RenderBatchList* GetBatchList() { return &m_BatchList; }
    // Non-zero: entities and meshes queue into the batch list.
    CKDWORD GetBatching() const { return m_Batching; }
    void SetBatching(CKDWORD batching) { m_Batching = batching; }
    CKDWORD GetOverrideMode() const { return m_OverrideMode; }
    void SetOverrideMode(CKDWORD mode) { m_OverrideMode = mode; }
    CK3dEntity* GetCurrentEntity() const { return m_CurrentEntity; }
    void SetCurrentEntity(CK3dEntity* entity) { m_CurrentEntity = entity; }
    CKDWORD GetPassKind() const { return m_PassKind; }
    void SetPassKind(CKDWORD kind) { m_PassKind = kind; }
    CKMaterial* GetOverrideMaterial() const { return m_OverrideMaterial; }
    void SetOverrideMaterial(CKMaterial* material) { m_OverrideMaterial = material; }
    int GetFogMode() const { return m_FogMode; }
    void SetFogMode(int mode) { m_FogMode = mode; }
    CKDWORD GetDebugFlags() const { return m_DebugFlags; }
    void SetDebugFlags(CKDWORD flags) { m_DebugFlags = flags; }
    XClassArray<XString>& GetDebugLines() { return m_DebugLines; }
    float& CallbackTime2D() { return m_CallbackTime2D; }
    float& CallbackTime3D() { return m_CallbackTime3D; }
    QxTimeProfiler& GetProfiler() { return m_Profiler; }
    int GetDrawnObjectCount() const { return m_DrawnObjectCount; }
    void AddDrawnObject() { ++m_DrawnObjectCount; }
    // The drawn entities of the frame, kept only while asked for.
    void KeepDrawnEntities(CKBOOL keep) { m_KeepDrawnEntities = keep; }
    XArray<CK3dEntity*>* GetDrawnEntities() { return m_KeepDrawnEntities ? &m_DrawnEntities : nullptr; }
    void* GetShaderManager() const { return m_ShaderManager; }
    CKBOOL AreShadersDisabled() const { return m_ShadersDisabled; }
    void DisableShaders(CKBOOL disable) { m_ShadersDisabled = disable; }
    CKBOOL IsWireframeLayerOn() const { return m_WireframeLayer; }
    void SetWireframeLayer(CKBOOL on) { m_WireframeLayer = on; }
    // Set while many objects attach at once: their nodes take the new mask
    // without passing it up, and the scene graph is updated at the end.
    CKBOOL IsAttachingObjects() const { return m_AttachingObjects; }
    // The render flags the scene hands its entities.
    CKDWORD GetEntityRenderFlags() const { return m_EntityRenderFlags; }
    void SetEntityRenderFlags(CKDWORD flags) { m_EntityRenderFlags = flags; }

private:
    // Creates the device of the current driver and rectangle.
    CKERROR CreateDevice();
    void ReleaseDevice();
    // Viewport, projection and view from the view rectangle and camera.
    void PrepareCameras();
    void ComputeDefaultProjection();
    void CreateOwnObjects();
    void Draw2D(CK2dEntity* root);
    void CallCallbacks(const XArray<RenderCallbackRecord>& records);

    RCKRenderManager* m_RenderManager = nullptr;
    CKDWORD m_MaskBit = 0;
    void* m_Window = nullptr;
    int m_DriverIndex = -1;
    CKRasterizerContext* m_RasterizerContext = nullptr;
    int m_PosX = 0;
    int m_PosY = 0;
    int m_Width = 0;
    int m_Height = 0;
    QxRect m_ViewRect;
    CKDWORD m_RenderOptions = CK_RENDER_DEFAULTSETTINGS;
    CKDWORD m_BackgroundColor = 0xFF000000;
    CKRenderedScene m_RenderedScene;
    RenderCallbackList m_Callbacks;
    QxMatrix m_WorldMatrix;
    QxMatrix m_ViewMatrix;
    QxMatrix m_ProjectionMatrix;
    float m_Fov = 0.5f;
    float m_NearPlane = 1.0f;
    float m_FarPlane = 4000.0f;
    CK_ID m_AttachedCamera = 0;
    CK_ID m_Viewpoint = 0;
    CK_ID m_2dRoots[2] = {}; // foreground, background
    CKDrawPrimitiveData m_DrawData;
    XArray<CKBYTE> m_DrawStorage;
    XArray<CKWORD> m_DrawIndices;
    RenderBatchList m_BatchList;
    CKDWORD m_Batching = 0;
    CKDWORD m_OverrideMode = 0;
    CK3dEntity* m_CurrentEntity = nullptr;
    CKDWORD m_PassKind = 0;
    CKMaterial* m_OverrideMaterial = nullptr;
    int m_FogMode = 0;
    CKDWORD m_DebugFlags = 0;
    XClassArray<XString> m_DebugLines;
    float m_CallbackTime2D = 0.0f;
    float m_CallbackTime3D = 0.0f;
    QxTimeProfiler m_Profiler;
    int m_DrawnObjectCount = 0;
    CKBOOL m_KeepDrawnEntities = FALSE;
    XArray<CK3dEntity*> m_DrawnEntities;
    void* m_ShaderManager = nullptr;
    CKBOOL m_ShadersDisabled = FALSE;
    CKBOOL m_WireframeLayer = FALSE;
    CKBOOL m_AttachingObjects = FALSE;
    CKDWORD m_EntityRenderFlags = CK_RENDER_UPDATEEXTENTS;
    QxRect m_Extents2D;
    XArray<CKObjectExtents> m_ObjectExtents;
};

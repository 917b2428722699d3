#include "render/context/RCKRenderContext.h"

#include <cstring>

#include "core/context/CKContext.h"
#include "core/object/CKClassRegistry.h"
#include "render/context/CKRenderGlobals.h"
#include "render/context/RCKRenderManager.h"
#include "render/context/rasterizer/CKRasterizer.h"
#include "render/context/rasterizer/CKRasterizerContext.h"
#include "render/context/rasterizer/CKVertexFormat.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKTexture.h"
#include "render/objects/CK2dEntity.h"
#include "render/objects/CKCamera.h"
#include "render/objects/CKLight.h"
#include "system/log/QxLogManager.h"

namespace {

// The flags of the render context's own hidden objects (2D roots and
// viewpoint): not saved, kept by ClearAll, hidden.
constexpr CKDWORD kOwnObjectFlags = 0x2023;
// Limits of the context's own draw record.
constexpr int kMaxDrawVertices = 0x100000;
constexpr int kDefaultWidth = 640;
constexpr int kDefaultHeight = 480;

template <class T>
T* ObjectOfClass(CKContext* context, CK_ID id, CK_CLASSID cid)
{
    CKObject* object = id ? context->GetObject(id) : nullptr;
    return object && !object->IsToBeDeleted() && CKIsChildClassOfObject(object, cid) ? static_cast<T*>(object)
                                                                                     : nullptr;
}

// The object of the class, made hidden for the render context, when the
// class can be created yet.
CK_ID CreateOwnObject(CKContext* context, CK_CLASSID cid, const char* name)
{
    CKClassDesc* desc = CKGetClassDesc(cid);
    if (!desc || !desc->m_CreationFct)
        return 0;
    CKObject* object = context->CreateObject(cid, name);
    if (!object)
        return 0;
    object->SetObjectFlags(kOwnObjectFlags);
    return object->GetID();
}

} // namespace

RCKRenderContext::RCKRenderContext(CKContext* context, const char* name)
    : CKRenderContext(context, name), m_RenderedScene(this)
{
    m_ObjectFlags |= CK_OBJECT_NOTTOBESAVED | CK_OBJECT_NOTTOBEDELETED;
    m_WorldMatrix.SetIdentity();
    m_ViewMatrix.SetIdentity();
    m_ProjectionMatrix.SetIdentity();
    CKRenderManager* manager = context ? context->GetRenderManager() : nullptr;
    if (manager) {
        m_RenderManager = static_cast<RCKRenderManager*>(manager);
        m_MaskBit = m_RenderManager->RegisterRenderContext(this);
    }
}

RCKRenderContext::~RCKRenderContext()
{
    // A context being closed releases the objects left in no set order; only
    // a render context of a render manager goes before them (and so may
    // still call back into what it shows).
    bool objectsAlive = m_Context && !(m_Context->IsInDestruction() && !m_RenderManager);
    if (objectsAlive) {
        DetachAll();
        // Its own objects go with it, unless the context is clearing them.
        if (!m_Context->IsInClearAll())
            for (CK_ID id : {m_2dRoots[0], m_2dRoots[1], m_Viewpoint})
                if (CKObject* object = id ? m_Context->GetObject(id) : nullptr)
                    if (!object->IsToBeDeleted())
                        m_Context->DestroyObject(object);
    } else {
        m_RenderedScene.Clear();
    }
    m_BatchList.Clear();
    DetachFromManager();
}

void RCKRenderContext::DetachFromManager()
{
    ReleaseDevice();
    if (m_RenderManager) {
        m_Callbacks.RemoveAll(m_RenderManager);
        m_RenderManager->UnregisterRenderContext(this);
        m_RenderManager = nullptr;
    }
}

CKERROR RCKRenderContext::Create(void* window, int driver, const QxIntRect* rect)
{
    if (!m_RenderManager || !m_RenderManager->GetDriver(driver))
        return CKErr::InvalidRenderContext;
    m_Window = window;
    m_DriverIndex = driver;
    if (rect) {
        m_PosX = rect->left;
        m_PosY = rect->top;
        m_Width = rect->right - rect->left;
        m_Height = rect->bottom - rect->top;
    } else {
        m_PosX = m_PosY = 0;
        m_Width = kDefaultWidth;
        m_Height = kDefaultHeight;
    }
    if (m_Width <= 0 || m_Height <= 0)
        return CKErr::CannotCreateRenderContext;
    m_ViewRect.Set(0.0f, 0.0f, (float) m_Width, (float) m_Height);
    ComputeDefaultProjection();
    CKERROR result = CreateDevice();
    if (result == CKErr::Ok)
        CreateOwnObjects();
    return result;
}

CKERROR RCKRenderContext::CreateDevice()
{
    ReleaseDevice();
    CKRasterizerDriver* driver = m_RenderManager ? m_RenderManager->GetDriver(m_DriverIndex) : nullptr;
    if (!driver)
        return CKErr::InvalidRenderContext;
    CKRasterizerContext* rst = driver->CreateContext();
    if (!rst)
        return CKErr::CannotCreateRenderContext;
    if (!rst->Create(m_Window, m_PosX, m_PosY, m_Width, m_Height, 32, FALSE)) {
        driver->DestroyContext(rst);
        CKRenderLog(QXLOG_ERROR, __LINE__, "RCKRenderContext", "The driver %s refused a %d x %d device",
                    driver->GetDescription(), m_Width, m_Height);
        return CKErr::CannotCreateRenderContext;
    }
    m_RasterizerContext = rst;
    rst->SetTransform(CKRST_TRANSFORM_WORLD, m_WorldMatrix);
    rst->SetTransform(CKRST_TRANSFORM_VIEW, m_ViewMatrix);
    rst->SetTransform(CKRST_TRANSFORM_PROJECTION, m_ProjectionMatrix);
    return CKErr::Ok;
}

void RCKRenderContext::ReleaseDevice()
{
    if (!m_RasterizerContext)
        return;
    // What is queued may point at device objects.
    m_BatchList.Clear();
    CKRasterizerDriver* driver = m_RasterizerContext->GetDriver();
    if (driver)
        driver->DestroyContext(m_RasterizerContext);
    else
        delete m_RasterizerContext;
    m_RasterizerContext = nullptr;
}

void RCKRenderContext::CreateOwnObjects()
{
    if (!m_Context)
        return;
    static const char* const kRootNames[2] = {"2DRootFore", "2DRootBack"};
    for (int i = 0; i < 2; ++i) {
        if (Get2dRoot(i))
            continue;
        m_2dRoots[i] = CreateOwnObject(m_Context, CKCID_2DENTITY, kRootNames[i]);
        if (CK2dEntity* root = Get2dRoot(i))
            root->ModifyFlags(0, CK2D_VIEWPORTRELATIVE | CK2D_CLIPTOVIEWPORT);
    }
    if (!ObjectOfClass<CK3dEntity>(m_Context, m_Viewpoint, CKCID_3DENTITY))
        m_Viewpoint = CreateOwnObject(m_Context, CKCID_3DENTITY, "Viewpoint");
}

void RCKRenderContext::ForgetObjectsToBeDeleted()
{
    m_RenderedScene.ForgetObjectsToBeDeleted();
    m_BatchList.Clear();
    m_DrawnEntities.Clear();
    if (m_CurrentEntity && m_CurrentEntity->IsToBeDeleted())
        m_CurrentEntity = nullptr;
    if (m_OverrideMaterial && m_OverrideMaterial->IsToBeDeleted())
        m_OverrideMaterial = nullptr;
}

void RCKRenderContext::AddObject(CKRenderObject* object)
{
    if (!object || object->IsToBeDeleted() || !m_RenderedScene.AddObject(object))
        return;
    object->AddToRenderContext(this);
}

void RCKRenderContext::RemoveObject(CKRenderObject* object)
{
    if (!object || !m_RenderedScene.RemoveObject(object))
        return;
    object->RemoveFromRenderContext(this);
}

CKBOOL RCKRenderContext::IsObjectAttached(CKRenderObject* object)
{
    return object && m_RenderedScene.IsAttached(object);
}

void RCKRenderContext::DetachAll()
{
    XArray<CKRenderObject*> objects = m_RenderedScene.GetRenderObjects();
    m_RenderedScene.Clear();
    m_AttachingObjects = TRUE;
    for (CKRenderObject* object : objects)
        object->RemoveFromRenderContext(this);
    m_AttachingObjects = FALSE;
    if (m_RenderManager && objects.Size())
        m_RenderManager->GetRootNode()->RecomputeRenderContextMasks();
}

void RCKRenderContext::AddPreRenderCallBack(CK_RENDERCALLBACK function, void* argument, CKBOOL temporary)
{
    m_Callbacks.AddPreCallback(CKRenderCallbackFrom(function), argument,
                               temporary ? (CKDWORD) CK_RENDERCALLBACK_TEMPORARY : 0u, m_RenderManager);
}

void RCKRenderContext::RemovePreRenderCallBack(CK_RENDERCALLBACK function, void* argument)
{
    m_Callbacks.RemovePreCallback(CKRenderCallbackFrom(function), argument);
}

void RCKRenderContext::AddPostRenderCallBack(CK_RENDERCALLBACK function, void* argument, CKBOOL temporary)
{
    m_Callbacks.AddPostCallback(CKRenderCallbackFrom(function), argument,
                                temporary ? (CKDWORD) CK_RENDERCALLBACK_TEMPORARY : 0u, m_RenderManager);
}

void RCKRenderContext::RemovePostRenderCallBack(CK_RENDERCALLBACK function, void* argument)
{
    m_Callbacks.RemovePostCallback(CKRenderCallbackFrom(function), argument);
}

void RCKRenderContext::SetViewRect(const QxRect& rect)
{
    m_ViewRect = rect;
    ComputeDefaultProjection();
}

CKViewportData RCKRenderContext::GetViewport() const
{
    CKViewportData viewport;
    viewport.ViewX = (int) m_ViewRect.left;
    viewport.ViewY = (int) m_ViewRect.top;
    viewport.ViewWidth = (int) m_ViewRect.GetWidth();
    viewport.ViewHeight = (int) m_ViewRect.GetHeight();
    return viewport;
}

void RCKRenderContext::GetWindowRect(QxRect& rect, CKBOOL screenRelative)
{
    float x = screenRelative ? (float) m_PosX : 0.0f;
    float y = screenRelative ? (float) m_PosY : 0.0f;
    rect.Set(x, y, x + (float) m_Width, y + (float) m_Height);
}

CKERROR RCKRenderContext::Resize(int x, int y, int width, int height)
{
    if (width <= 0 || height <= 0)
        return CKErr::InvalidParameter;
    if (m_RasterizerContext && !m_RasterizerContext->Resize(x, y, width, height))
        return CKErr::InvalidParameter;
    m_PosX = x;
    m_PosY = y;
    m_Width = width;
    m_Height = height;
    SetViewRect(QxRect(0.0f, 0.0f, (float) width, (float) height));
    return CKErr::Ok;
}

CKERROR RCKRenderContext::ChangeDriver(int driver)
{
    if (driver == -1)
        driver = m_DriverIndex;
    if (!m_RenderManager || !m_RenderManager->GetDriver(driver))
        return CKErr::InvalidRenderContext;
    m_DriverIndex = driver;
    return CreateDevice();
}

int RCKRenderContext::DumpToMemory(const QxRect* rect, CKDWORD buffer, QxImageDesc& desc)
{
    if (!m_RasterizerContext)
        return 0;
    return m_RasterizerContext->CopyToMemoryBuffer(rect ? *rect : m_ViewRect, buffer, desc);
}

void RCKRenderContext::AttachViewpointToCamera(CKCamera* camera)
{
    m_AttachedCamera = camera ? camera->GetID() : 0;
    // The new camera's projection must be taken again.
    if (camera)
        camera->ModifyObjectFlags(0, CK_OBJECT_UPTODATE);
}

void RCKRenderContext::DetachViewpointFromCamera()
{
    m_AttachedCamera = 0;
    ComputeDefaultProjection();
}

CKCamera* RCKRenderContext::GetAttachedCamera()
{
    return m_Context ? ObjectOfClass<CKCamera>(m_Context, m_AttachedCamera, CKCID_CAMERA) : nullptr;
}

CK3dEntity* RCKRenderContext::GetViewpoint()
{
    if (CKCamera* camera = GetAttachedCamera())
        return camera;
    return m_Context ? ObjectOfClass<CK3dEntity>(m_Context, m_Viewpoint, CKCID_3DENTITY) : nullptr;
}

CKBOOL RCKRenderContext::SetState(CKDWORD state, CKDWORD value)
{
    return m_RasterizerContext ? m_RasterizerContext->SetRenderState(state, value) : FALSE;
}

CKDWORD RCKRenderContext::GetState(CKDWORD state)
{
    CKDWORD value = 0;
    if (m_RasterizerContext)
        m_RasterizerContext->GetRenderState(state, &value);
    return value;
}

CKBOOL RCKRenderContext::SetTexture(CKTexture* texture, CKBOOL clamped, int stage)
{
    if (texture)
        return texture->SetAsCurrent(this, clamped, stage);
    return m_RasterizerContext ? m_RasterizerContext->SetTexture(0, stage) : FALSE;
}

CKBOOL RCKRenderContext::SetTextureStageState(int stage, CKDWORD state, CKDWORD value)
{
    return m_RasterizerContext ? m_RasterizerContext->SetTextureStageState(stage, state, value) : FALSE;
}

void RCKRenderContext::SetWorldTransformationMatrix(const QxMatrix& matrix)
{
    m_WorldMatrix = matrix;
    if (m_RasterizerContext)
        m_RasterizerContext->SetTransform(CKRST_TRANSFORM_WORLD, matrix);
}

void RCKRenderContext::SetProjectionTransformationMatrix(const QxMatrix& matrix)
{
    m_ProjectionMatrix = matrix;
    if (m_RasterizerContext)
        m_RasterizerContext->SetTransform(CKRST_TRANSFORM_PROJECTION, matrix);
}

void RCKRenderContext::SetViewTransformationMatrix(const QxMatrix& matrix)
{
    m_ViewMatrix = matrix;
    if (m_RasterizerContext)
        m_RasterizerContext->SetTransform(CKRST_TRANSFORM_VIEW, matrix);
}

void RCKRenderContext::DrawWithEntityTransform(CK3dEntity* entity)
{
    SetWorldTransformationMatrix(entity ? entity->GetWorldMatrix() : QxMatrix::Identity());
}

CKDrawPrimitiveData* RCKRenderContext::GetDrawPrimitiveStructure(CKDWORD flags, int vertexCount)
{
    if (vertexCount <= 0 || vertexCount > kMaxDrawVertices)
        return nullptr;
    // One block of separate arrays: positions with room for a fourth
    // component, then each component the format asks for.
    int sets = 0;
    for (CKDWORD stages = (flags & CKRST_DP_STAGESMASK) / CKRST_DP_STAGES0; stages; stages >>= 1)
        ++sets;
    if (sets > CKRST_MAX_STAGES)
        sets = CKRST_MAX_STAGES;
    size_t n = (size_t) vertexCount;
    size_t bytes = n * 16 + ((flags & CKRST_DP_LIGHT) ? n * 12 : 0) + ((flags & CKRST_DP_DIFFUSE) ? n * 4 : 0) +
                   ((flags & CKRST_DP_SPECULAR) ? n * 4 : 0) + n * 8 * (size_t) sets;
    m_DrawStorage.Resize((int) bytes);
    if (m_DrawStorage.Size() != (int) bytes)
        return nullptr;
    std::memset(m_DrawStorage.Begin(), 0, bytes);
    m_DrawData = CKDrawPrimitiveData();
    m_DrawData.VertexCount = vertexCount;
    m_DrawData.Flags = flags;
    CKBYTE* at = m_DrawStorage.Begin();
    m_DrawData.PositionPtr = at;
    m_DrawData.PositionStride = 16;
    at += n * 16;
    if (flags & CKRST_DP_LIGHT) {
        m_DrawData.NormalPtr = at;
        m_DrawData.NormalStride = 12;
        at += n * 12;
    }
    if (flags & CKRST_DP_DIFFUSE) {
        m_DrawData.ColorPtr = at;
        m_DrawData.ColorStride = 4;
        at += n * 4;
    }
    if (flags & CKRST_DP_SPECULAR) {
        m_DrawData.SpecularColorPtr = at;
        m_DrawData.SpecularColorStride = 4;
        at += n * 4;
    }
    for (int set = 0; set < sets; ++set) {
        if (set == 0) {
            m_DrawData.TexCoordPtr = at;
            m_DrawData.TexCoordStride = 8;
        } else {
            m_DrawData.TexCoordPtrs[set - 1] = at;
            m_DrawData.TexCoordStrides[set - 1] = 8;
        }
        at += n * 8;
    }
    return &m_DrawData;
}

CKWORD* RCKRenderContext::GetDrawPrimitiveIndices(int count)
{
    if (count <= 0 || count > 3 * kMaxDrawVertices)
        return nullptr;
    m_DrawIndices.Resize(count);
    return m_DrawIndices.Size() == count ? m_DrawIndices.Begin() : nullptr;
}

CKBOOL RCKRenderContext::DrawPrimitive(int type, CKWORD* indices, int indexCount, CKDrawPrimitiveData* data)
{
    if (!m_RasterizerContext || !data)
        return FALSE;
    return m_RasterizerContext->DrawPrimitive(type, indices, indexCount, data);
}

CK2dEntity* RCKRenderContext::Get2dRoot(CKBOOL background)
{
    return m_Context ? ObjectOfClass<CK2dEntity>(m_Context, m_2dRoots[background ? 1 : 0], CKCID_2DENTITY) : nullptr;
}

CK2dEntity* RCKRenderContext::Pick2D(const Qx2DVector& point)
{
    for (int background = 0; background < 2; ++background) {
        CK2dEntity* root = Get2dRoot(background);
        if (!root)
            continue;
        // The last child is drawn last: it is on top.
        for (int i = root->GetChildrenCount() - 1; i >= 0; --i)
            if (CK2dEntity* child = root->GetChild(i))
                if (CK2dEntity* hit = child->Pick(point))
                    return hit;
    }
    return nullptr;
}

CKMaterial* RCKRenderContext::ResolveOverriddenRendering(CKMaterial* material, CKMaterialBinding& binding)
{
    binding = CKMaterialBinding();
    binding.Source = material;
    if (m_PassKind & CK_PASS_NOMATERIAL)
        binding.Material = nullptr;
    else if ((m_PassKind & CK_PASS_OVERRIDEMATERIAL) && m_OverrideMaterial)
        binding.Material = m_OverrideMaterial;
    else
        binding.Material = material;
    return binding.Material;
}

void RCKRenderContext::AddExtents2D(const QxRect& rect, CKObject* object)
{
    if (object)
        m_ObjectExtents.PushBack(CKObjectExtents{rect, object->GetID()});
    if (m_Extents2D.IsNull()) {
        m_Extents2D = rect;
        return;
    }
    if (rect.left < m_Extents2D.left)
        m_Extents2D.left = rect.left;
    if (rect.top < m_Extents2D.top)
        m_Extents2D.top = rect.top;
    if (rect.right > m_Extents2D.right)
        m_Extents2D.right = rect.right;
    if (rect.bottom > m_Extents2D.bottom)
        m_Extents2D.bottom = rect.bottom;
}

void RCKRenderContext::SetPerspective(float fov, float nearPlane, float farPlane)
{
    m_Fov = fov;
    m_NearPlane = nearPlane;
    m_FarPlane = farPlane;
    ComputeDefaultProjection();
}

void RCKRenderContext::ComputeDefaultProjection()
{
    float width = m_ViewRect.GetWidth();
    float height = m_ViewRect.GetHeight();
    QxMatrix projection;
    projection.Perspective(m_Fov, height > 0.0f ? width / height : 1.0f, m_NearPlane, m_FarPlane);
    SetProjectionTransformationMatrix(projection);
}

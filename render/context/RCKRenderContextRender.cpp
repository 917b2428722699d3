// The frame: cameras, clearing, the scene and its passes, the swap.
#include "core/context/CKContext.h"
#include "render/context/RCKRenderContext.h"
#include "render/context/RCKRenderManager.h"
#include "render/context/rasterizer/CKRasterizerContext.h"
#include "render/objects/CK2dEntity.h"
#include "render/objects/CKCamera.h"

CKERROR RCKRenderContext::Render(CKDWORD flags)
{
    if (!m_RasterizerContext)
        return CKErr::RenderContextInactive;
    if (!flags)
        flags = m_RenderOptions;
    if (flags & CK_RENDER_SKIPDRAWSCENE)
        return CKErr::Ok;
    PrepareCameras();
    CKERROR result = Clear(flags);
    if (result == CKErr::Ok)
        result = DrawScene(flags);
    if (result == CKErr::Ok && (flags & CK_RENDER_DOBACKTOFRONT))
        result = BackToFront(flags & CK_RENDER_WAITVBL);
    // Temporary callbacks ran for this frame only.
    if (m_RenderManager)
        m_RenderManager->RemoveAllTemporaryCallbacks();
    return result;
}

CKERROR RCKRenderContext::Clear(CKDWORD flags, CKDWORD stencil)
{
    if (!m_RasterizerContext)
        return CKErr::RenderContextInactive;
    if (!flags)
        flags = m_RenderOptions;
    CKDWORD clear = flags & (CKRST_CTXCLEAR_COLOR | CKRST_CTXCLEAR_DEPTH | CKRST_CTXCLEAR_STENCIL);
    if (!clear)
        return CKErr::Ok;
    if (flags & CK_RENDER_CLEARVIEWPORT)
        m_RasterizerContext->Clear(clear, m_BackgroundColor, 1.0f, stencil, 1, &m_ViewRect);
    else
        m_RasterizerContext->Clear(clear, m_BackgroundColor, 1.0f, stencil, 0, nullptr);
    return CKErr::Ok;
}

CKERROR RCKRenderContext::BackToFront(CKDWORD flags)
{
    if (!m_RasterizerContext)
        return CKErr::RenderContextInactive;
    if (m_Context)
        m_Context->ExecuteManagersOnPreBackToFront(this);
    m_RasterizerContext->BackToFront(flags ? TRUE : FALSE);
    if (m_Context)
        m_Context->ExecuteManagersOnPostBackToFront(this);
    return CKErr::Ok;
}

void RCKRenderContext::PrepareCameras()
{
    m_RasterizerContext->SetViewport(GetViewport());
    if (CKCamera* camera = GetAttachedCamera()) {
        // The camera's projection is taken again when it changed (object
        // flag 0x400 cleared by its setters).
        if (!(camera->GetObjectFlags() & CK_OBJECT_UPTODATE)) {
            QxMatrix projection;
            camera->ComputeProjectionMatrix(projection);
            SetProjectionTransformationMatrix(projection);
            camera->ModifyObjectFlags(CK_OBJECT_UPTODATE, 0);
        }
    }
    if (CK3dEntity* viewpoint = GetViewpoint())
        SetViewTransformationMatrix(viewpoint->GetInverseWorldMatrix());
    m_RasterizerContext->SetTransform(CKRST_TRANSFORM_PROJECTION, m_ProjectionMatrix);
    m_RasterizerContext->SetTransform(CKRST_TRANSFORM_VIEW, m_ViewMatrix);
}

void RCKRenderContext::CallCallbacks(const XArray<RenderCallbackRecord>& records)
{
    // A callback may add or remove callbacks: run over a copy.
    XArray<RenderCallbackRecord> copy = records;
    for (const RenderCallbackRecord& r : copy)
        CKRenderCallbackAs<CK_RENDERCALLBACK>(r)(this, r.Argument);
}

void RCKRenderContext::Draw2D(CK2dEntity* root)
{
    if (!root)
        return;
    for (int i = 0; i < root->GetChildrenCount(); ++i)
        if (CK2dEntity* child = root->GetChild(i))
            child->Render(this);
}

CKERROR RCKRenderContext::DrawScene(CKDWORD flags)
{
    if (!m_RasterizerContext)
        return CKErr::RenderContextInactive;
    if (!flags)
        flags = m_RenderOptions;
    m_DrawnObjectCount = 0;
    m_DrawnEntities.Clear();
    m_DebugLines.Clear();
    m_Extents2D = QxRect();
    m_ObjectExtents.Clear();
    m_CallbackTime2D = 0.0f;
    m_CallbackTime3D = 0.0f;
    m_Profiler.Reset();

    m_RasterizerContext->BeginScene();
    if (m_Context)
        m_Context->ExecuteManagersOnPreRender(this);
    CallCallbacks(m_Callbacks.GetPreCallbacks());
    if (flags & CK_RENDER_BACKGROUNDSPRITES)
        Draw2D(Get2dRoot(TRUE));
    if (!(flags & CK_RENDER_SKIP3D)) {
        SetWorldTransformationMatrix(QxMatrix::Identity());
        m_RenderedScene.Draw(m_EntityRenderFlags);
    }
    if (m_Context)
        m_Context->ExecuteManagersOnPostRender(this);
    if (flags & CK_RENDER_FOREGROUNDSPRITES) {
        if (m_Context)
            m_Context->ExecuteManagersOnPreSpriteRender(this);
        Draw2D(Get2dRoot(FALSE));
        if (m_Context)
            m_Context->ExecuteManagersOnPostSpriteRender(this);
    }
    CallCallbacks(m_Callbacks.GetPostCallbacks());
    m_RasterizerContext->EndScene();
    return CKErr::Ok;
}

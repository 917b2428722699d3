// What a 2D entity does in a frame: clipping, the render of the hierarchy,
// the textured quad and picking.
#include <cmath>

#include "core/context/CKContext.h"
#include "core/file/CKFile.h"
#include "render/context/CKMaterialBinding.h"
#include "render/context/RCKRenderContext.h"
#include "render/context/RenderCallbackList.h"
#include "render/context/rasterizer/CKDrawPrimitiveData.h"
#include "render/context/rasterizer/CKRasterizer.h"
#include "render/context/rasterizer/CKRasterizerContext.h"
#include "render/context/rasterizer/CKVertexFormat.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKTestMaterialTexelAlpha.h"
#include "render/objects/RCK2dEntity.h"
#include "system/runtime/QxTimeProfiler.h"

namespace {

// Files saved from the build of April 2007 on run the post-render callbacks
// before the children and clip again after the pre-render callbacks.
constexpr CKDWORD kCallbackOrderYear = 0x2007;
constexpr CKDWORD kCallbackOrderMonth = 4;

CKDWORD LoadedYear()
{
    return CKGetLoadedFileEngineVersion() & 0xFFFF;
}

bool ClipsAfterCallbacks()
{
    const CKDWORD version = CKGetLoadedFileEngineVersion();
    return (version & 0xFFFF) >= kCallbackOrderYear && ((version >> 16) & 0xFF) >= kCallbackOrderMonth;
}

// The screen position of a quad corner: whole pixels plus the driver's
// offset.
float PixelPosition(float value, float offset)
{
    return std::trunc(value + 0.5f) + offset;
}

void SetVertex(CKDrawPrimitiveData* data, int i, float x, float y)
{
    float* p = reinterpret_cast<float*>(static_cast<CKBYTE*>(data->PositionPtr) + i * data->PositionStride);
    p[0] = x;
    p[1] = y;
    p[2] = 0.0f;
    p[3] = 1.0f;
}

void SetColor(CKDrawPrimitiveData* data, int i, CKDWORD color)
{
    *reinterpret_cast<CKDWORD*>(static_cast<CKBYTE*>(data->ColorPtr) + i * data->ColorStride) = color;
}

void SetUV(CKDrawPrimitiveData* data, int i, float u, float v)
{
    float* t = reinterpret_cast<float*>(static_cast<CKBYTE*>(data->TexCoordPtr) + i * data->TexCoordStride);
    t[0] = u;
    t[1] = v;
}

} // namespace

void RCK2dEntity::GetClipRect(CKRenderContext* context, QxRect& rect)
{
    RCKRenderContext* rc = static_cast<RCKRenderContext*>(context);
    if (m_Flags & CK2D_CLIPTOVIEWPORT) {
        const CKViewportData v = rc->GetViewport();
        rect.Set((float) v.ViewX, (float) v.ViewY, (float) (v.ViewX + v.ViewWidth), (float) (v.ViewY + v.ViewHeight));
    } else {
        rect.Set(0.0f, 0.0f, (float) rc->GetWidth(), (float) rc->GetHeight());
    }
}

QxRect RCK2dEntity::GetFrameSourceRect()
{
    return (m_Flags & CK2D_USESOURCERECT) ? m_SourceRect : QxRect(0.0f, 0.0f, 1.0f, 1.0f);
}

CKBOOL RCK2dEntity::UpdateExtents(CKRenderContext* context)
{
    QxRect s = GetFrameSourceRect();
    m_ClippedRect = QxRect();
    m_ClippedSourceRect = QxRect();
    QxRect c;
    GetClipRect(context, c);
    if ((m_Flags & CK2D_CLIPTOPARENT) && m_Parent && !c.Clip(m_Parent->m_ClippedRect))
        return FALSE;

    if ((m_Flags & CK2D_HOMOGENEOUS) && (m_Flags & CK2D_RELATIVEOUTDATED)) {
        m_Flags &= ~CK2D_RELATIVEOUTDATED;
        if (m_HomogeneousRect) {
            QxRect reference;
            GetReferenceRect(reference);
            if (reference.GetWidth() > 0.0f && reference.GetHeight() > 0.0f) {
                *m_HomogeneousRect = m_Rect;
                m_HomogeneousRect->TransformToRelative(reference);
            }
        }
    } else {
        UpdateFromRelative();
    }
    QxRect r = m_Rect;
    const float w = r.right - r.left;
    const float h = r.bottom - r.top;
    if (r.right < r.left)
        r.right = r.left;
    if (r.bottom < r.top)
        r.bottom = r.top;
    if (m_Flags & CK2D_VIEWPORTRELATIVE) {
        const CKViewportData v = static_cast<RCKRenderContext*>(context)->GetViewport();
        r.left += (float) v.ViewX;
        r.right += (float) v.ViewX;
        r.top += (float) v.ViewY;
        r.bottom += (float) v.ViewY;
    }
    // Edges that touch count as overlapping.
    if (!(c.left <= r.right && c.right >= r.left && c.top <= r.bottom && c.bottom >= r.top))
        return FALSE;

    const float sl = s.left;
    const float st = s.top;
    const float sw = s.right - s.left;
    const float sh = s.bottom - s.top;
    float d = c.left - r.left;
    if (d > 0.0f && w > 0.0f) {
        r.left = c.left;
        s.left += d * sw / w;
    }
    d = c.top - r.top;
    if (d > 0.0f && h > 0.0f) {
        r.top = c.top;
        s.top += d * sh / h;
    }
    d = r.right - c.right;
    if (d > 0.0f && w > 0.0f) {
        r.right = c.right;
        s.right = sl + (w - d) * sw / w;
    }
    d = r.bottom - c.bottom;
    if (d > 0.0f && h > 0.0f) {
        r.bottom = c.bottom;
        s.bottom = st + (h - d) * sh / h;
    }
    m_ClippedRect = r;
    m_ClippedSourceRect = s;
    return TRUE;
}

void RCK2dEntity::RunCallbacks(RCKRenderContext* context, bool post)
{
    if (!m_Callbacks)
        return;
    // A callback may add or remove callbacks: run over a copy.
    XArray<RenderCallbackRecord> records = post ? m_Callbacks->GetPostCallbacks() : m_Callbacks->GetPreCallbacks();
    QxTimeProfiler timer;
    for (const RenderCallbackRecord& r : records)
        CKRenderCallbackAs<CK_RENDEROBJECT_CALLBACK>(r)(context, this, r.Argument);
    context->CallbackTime2D() += timer.Current();
}

CKERROR RCK2dEntity::Render(CKRenderContext* context)
{
    if (!context || (m_ObjectFlags & CK_OBJECT_HIERACHICALHIDE))
        return CKErr::Ok;
    RCKRenderContext* rc = static_cast<RCKRenderContext*>(context);
    const bool drawSelf = IsVisible() && (IsInCurrentScene() || (m_ObjectFlags & 0x1));
    if (!drawSelf && m_Children.Size() == 0)
        return CKErr::Ok;
    CKBOOL visible = UpdateExtents(context);
    if (drawSelf && m_Callbacks) {
        RunCallbacks(rc, false);
        if (ClipsAfterCallbacks()) {
            visible = UpdateExtents(context);
        } else {
            // Zero clipped rectangles mark an entity that does not show:
            // they touch a viewport at the origin all the same.
            const CKViewportData v = rc->GetViewport();
            const QxRect& r = m_ClippedRect;
            visible = !r.IsNull() && (float) v.ViewX <= r.right && (float) (v.ViewX + v.ViewWidth) >= r.left &&
                      (float) v.ViewY <= r.bottom && (float) (v.ViewY + v.ViewHeight) >= r.top;
        }
    }
    if (drawSelf && visible) {
        const RenderCallbackRecord* replacement = m_Callbacks ? m_Callbacks->GetRenderCallback() : nullptr;
        if (replacement)
            CKRenderCallbackAs<CK_RENDEROBJECT_CALLBACK> (*replacement)(context, this, replacement->Argument);
        else
            Draw(context);
    }
    const bool postBeforeChildren = LoadedYear() >= kCallbackOrderYear;
    if (drawSelf && postBeforeChildren)
        RunCallbacks(rc, true);
    // The list may change while the children draw.
    XArray<RCK2dEntity*> children = m_Children;
    for (RCK2dEntity* child : children)
        if (visible || !(child->m_Flags & CK2D_CLIPTOPARENT))
            child->Render(context);
    if (drawSelf && !postBeforeChildren)
        RunCallbacks(rc, true);
    return CKErr::Ok;
}

CKERROR RCK2dEntity::Draw(CKRenderContext* context)
{
    RCKRenderContext* rc = static_cast<RCKRenderContext*>(context);
    CKRasterizerContext* rst = rc ? rc->GetRasterizerContext() : nullptr;
    if (!rst)
        return CKErr::Ok;
    CKMaterialBinding binding;
    CKMaterial* material = rc->ResolveOverriddenRendering(m_Material, binding);
    if (!material) {
        DrawOutline(rc);
        return CKErr::Ok;
    }
    const bool wholeWindow = !(m_Flags & CK2D_CLIPTOVIEWPORT);
    QxRect kept;
    if (wholeWindow) {
        rc->GetViewRect(kept);
        QxRect window;
        rc->GetWindowRect(window, FALSE);
        CKViewportData v;
        v.ViewWidth = (int) window.GetWidth();
        v.ViewHeight = (int) window.GetHeight();
        rst->SetViewport(v);
    }
    material->SetAsCurrent(rc, TRUE, 0);
    if (material->GetEffect() == 0)
        rst->SetTextureStageState(1, CKRST_TSS_STAGEBLEND, 0);
    rc->SetState(CKRST_RS_CULLMODE, 1);
    rc->SetState(CKRST_RS_FOGENABLE, 0);
    if (m_Flags & CK2D_BACKGROUND) {
        rc->SetState(CKRST_RS_ZFUNC, 8);
        rc->SetState(CKRST_RS_ZWRITEENABLE, 0);
    }

    CKDrawPrimitiveData* data = rc->GetDrawPrimitiveStructure(CKRST_DP_STAGES0 | CKRST_DP_DIFFUSE | CKRST_DP_DOCLIP, 4);
    if (data) {
        const CKDWORD color = material->GetDiffuse().GetARGB();
        const QxRect& s = m_ClippedSourceRect;
        const QxRect& r = m_ClippedRect;
        CKRasterizerDriver* driver = rst->GetDriver();
        const float offset = (!driver || driver->GetCaps().Family == 0) ? -0.5f : 0.0f;
        const float x0 = PixelPosition(r.left, offset), x1 = PixelPosition(r.right, offset);
        const float y0 = PixelPosition(r.top, offset), y1 = PixelPosition(r.bottom, offset);
        SetVertex(data, 0, x0, y0);
        SetVertex(data, 1, x1, y0);
        SetVertex(data, 2, x1, y1);
        SetVertex(data, 3, x0, y1);
        SetUV(data, 0, s.left, s.top);
        SetUV(data, 1, s.right, s.top);
        SetUV(data, 2, s.right, s.bottom);
        SetUV(data, 3, s.left, s.bottom);
        for (int i = 0; i < 4; ++i)
            SetColor(data, i, color);
        rc->DrawPrimitive(CKRST_PT_TRIANGLEFAN, nullptr, 4, data);
    }

    rc->SetState(CKRST_RS_FOGENABLE, rc->GetFogMode() != 0 ? 1 : 0);
    if (wholeWindow) {
        CKViewportData v;
        v.ViewX = (int) kept.left;
        v.ViewY = (int) kept.top;
        v.ViewWidth = (int) kept.GetWidth();
        v.ViewHeight = (int) kept.GetHeight();
        rst->SetViewport(v);
    }
    return CKErr::Ok;
}

void RCK2dEntity::DrawOutline(RCKRenderContext* rc)
{
    if (!m_Context || m_Context->IsPlaying() || !m_Context->IsInInterfaceMode())
        return;
    rc->SetState(CKRST_RS_ALPHABLENDENABLE, 1);
    rc->SetState(CKRST_RS_ALPHATESTENABLE, 0);
    rc->SetState(CKRST_RS_SRCBLEND, 5);
    rc->SetState(CKRST_RS_DESTBLEND, 6);
    rc->SetState(CKRST_RS_CULLMODE, 1);
    rc->SetState(CKRST_RS_ZWRITEENABLE, 0);
    rc->SetState(CKRST_RS_ZFUNC, 8);
    rc->SetState(CKRST_RS_FOGENABLE, 0);
    rc->SetTexture(nullptr, FALSE, 0);
    CKDrawPrimitiveData* data = rc->GetDrawPrimitiveStructure(CKRST_DP_DIFFUSE | CKRST_DP_DOCLIP, 4);
    if (data) {
        const QxRect& r = m_ClippedRect;
        SetVertex(data, 0, r.left, r.top);
        SetVertex(data, 1, r.right, r.top);
        SetVertex(data, 2, r.right, r.bottom);
        SetVertex(data, 3, r.left, r.bottom);
        const CKDWORD shade = QxColor(0.0f, 0.0f, 0.0f, 0.4f).GetARGB();
        for (int i = 0; i < 4; ++i)
            SetColor(data, i, shade);
        rc->DrawPrimitive(CKRST_PT_TRIANGLEFAN, nullptr, 4, data);
        SetVertex(data, 0, r.left, r.top);
        SetVertex(data, 1, r.right - 1.0f, r.top);
        SetVertex(data, 2, r.right - 1.0f, r.bottom - 1.0f);
        SetVertex(data, 3, r.left, r.bottom - 1.0f);
        for (int i = 0; i < 4; ++i)
            SetColor(data, i, 0xFFFFFFFF);
        if (CKWORD* indices = rc->GetDrawPrimitiveIndices(5)) {
            const CKWORD loop[5] = {0, 1, 2, 3, 0};
            for (int i = 0; i < 5; ++i)
                indices[i] = loop[i];
            rc->DrawPrimitive(CKRST_PT_LINESTRIP, indices, 5, data);
        }
    }
    rc->SetState(CKRST_RS_FOGENABLE, rc->GetFogMode() != 0 ? 1 : 0);
}

CK2dEntity* RCK2dEntity::Pick(const Qx2DVector& point, CKBOOL ignoreUnpickable)
{
    if (m_ObjectFlags & CK_OBJECT_HIERACHICALHIDE)
        return nullptr;
    RCKRenderContext* rc = GetMainRenderContext();
    if ((m_Flags & CK2D_CLIPTOPARENT) && m_Parent && rc) {
        QxRect c;
        GetClipRect(rc, c);
        if (!c.Clip(m_Parent->m_ClippedRect))
            return nullptr;
    }
    for (int i = m_Children.Size() - 1; i >= 0; --i)
        if (CK2dEntity* hit = m_Children[i]->Pick(point, ignoreUnpickable))
            return hit;
    if (((m_Flags & CK2D_NOTPICKABLE) && !ignoreUnpickable) || !IsVisible() || (m_ObjectFlags & 0x2) ||
        !IsInCurrentScene() || !m_ClippedRect.IsInside(point))
        return nullptr;
    if (!m_Material)
        return this;
    Qx2DVector p = point;
    if ((m_Flags & CK2D_VIEWPORTRELATIVE) && rc) {
        const CKViewportData v = rc->GetViewport();
        p -= Qx2DVector((float) v.ViewX, (float) v.ViewY);
    }
    const float w = m_Rect.GetWidth();
    const float h = m_Rect.GetHeight();
    const Qx2DVector uv(w > 0.0f ? (p.x - m_Rect.left) / w : 0.0f, h > 0.0f ? (p.y - m_Rect.top) / h : 0.0f);
    const Qx2DVector texel = m_SourceRect.Interpolate(uv);
    return CKTestMaterialTexelAlpha(m_Material, texel.x, texel.y) ? this : nullptr;
}

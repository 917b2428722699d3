#include <cmath>

#include "render/context/RCKRenderContext.h"
#include "render/context/RenderBatchList.h"
#include "render/context/RenderCallbackList.h"
#include "render/context/SceneGraphNode.h"
#include "render/context/rasterizer/CKDrawPrimitiveData.h"
#include "render/context/rasterizer/CKRasterizerContext.h"
#include "render/context/rasterizer/CKVertexFormat.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKTestMaterialTexelAlpha.h"
#include "render/objects/RCKSprite3D.h"
#include "system/runtime/QxTimeProfiler.h"

namespace {

QxVector Row(const QxMatrix& m, int i)
{
    return QxVector(m[i][0], m[i][1], m[i][2]);
}

void SetRow(QxMatrix& m, int i, const QxVector& v)
{
    m[i][0] = v.x;
    m[i][1] = v.y;
    m[i][2] = v.z;
}

// The normalised vector, or the fallback's when the vector has no length
// (a viewpoint looking straight along the axis the sprite turns about).
QxVector NormalizedOr(const QxVector& v, const QxVector& fallback)
{
    return QxMagnitude(v) > 1e-6f ? QxNormalize(v) : QxNormalize(fallback);
}

template <class T>
void Store(void* base, CKDWORD stride, int i, const T& value)
{
    *reinterpret_cast<T*>(static_cast<CKBYTE*>(base) + i * stride) = value;
}

} // namespace

void RCKSprite3D::UpdateOrientation(CKRenderContext* context)
{
    if (m_Mode == CKSPRITE3D_ORIENTABLE || m_Mode < CKSPRITE3D_BILLBOARD || m_Mode > CKSPRITE3D_ORIENTABLE)
        return;
    CK3dEntity* viewpoint = context ? context->GetViewpoint() : nullptr;
    if (!viewpoint)
        return;
    const QxMatrix& v = viewpoint->GetWorldMatrix();
    const QxVector vx = Row(v, 0), vy = Row(v, 1), vz = Row(v, 2);
    QxVector x, y, z;
    switch (m_Mode) {
    case CKSPRITE3D_BILLBOARD:
        x = QxNormalize(vx);
        y = QxNormalize(vy);
        z = QxNormalize(vz);
        break;
    case CKSPRITE3D_XROTATE:
        x = QxVector(1.0f, 0.0f, 0.0f);
        z = NormalizedOr(QxVector(0.0f, -vy.z, vy.y), QxVector(0.0f, vz.y, vz.z));
        y = QxNormalize(QxVector(0.0f, z.z, -z.y));
        break;
    default:
        y = QxVector(0.0f, 1.0f, 0.0f);
        x = NormalizedOr(QxVector(vz.z, 0.0f, -vz.x), QxVector(vx.x, 0.0f, vx.z));
        z = QxNormalize(QxVector(-x.z, 0.0f, x.x));
        break;
    }
    SetRow(m_WorldMatrix, 0, x);
    SetRow(m_WorldMatrix, 1, y);
    SetRow(m_WorldMatrix, 2, z);
    WorldMatrixChanged(TRUE, TRUE);
}

CKBOOL RCKSprite3D::IsInViewFrustrum(CKRenderContext* context, CKDWORD flags)
{
    RCKRenderContext* rc = static_cast<RCKRenderContext*>(context);
    CKRasterizerContext* rst = rc ? rc->GetRasterizerContext() : nullptr;
    if (!rst)
        return FALSE;
    UpdateOrientation(context);
    ModifyMoveableFlags(CK_3DENTITY_FRUSTUMTESTED, 0);
    if (!(flags & 0x100))
        rc->SetWorldTransformationMatrix(m_WorldMatrix);
    QxRect* extents = nullptr;
    if (flags & 0xFF) {
        m_RenderExtents = QxRect(1e8f, 1e8f, -1e8f, -1e8f);
        extents = &m_RenderExtents;
    }
    const CKDWORD visibility = rst->ComputeBoxVisibility(m_LocalBox, FALSE, extents);
    if (visibility == 0) {
        if (m_SceneGraphNode)
            m_SceneGraphNode->ModifyFlags(CK_SCENEGRAPH_ALLOUTSIDE, 0);
        return FALSE;
    }
    if (visibility == 2 && m_SceneGraphNode)
        m_SceneGraphNode->ModifyFlags(CK_SCENEGRAPH_ALLINSIDE, 0);
    return TRUE;
}

void RCKSprite3D::Draw(RCKRenderContext* rc, CKMaterial* material)
{
    CKRasterizerContext* rst = rc->GetRasterizerContext();
    material->SetAsCurrent(rc, FALSE, 0);
    if (material->GetEffect() == 0)
        rst->SetTextureStageState(1, CKRST_TSS_STAGEBLEND, 0);
    rst->SetRenderState(CKRST_RS_LIGHTING, 0);
    rst->SetRenderState(CKRST_RS_WRAP0, 0);
    // The corners go out in world space.
    rc->SetWorldTransformationMatrix(QxMatrix::Identity());
    CKDrawPrimitiveData* data = rc->GetDrawPrimitiveStructure(
        CKRST_DP_TRANSFORM | CKRST_DP_DOCLIP | CKRST_DP_DIFFUSE | CKRST_DP_SPECULAR | CKRST_DP_STAGES0, 4);
    if (!data)
        return;
    const QxBbox& b = m_LocalBox;
    const QxVector corners[4] = {QxVector(b.Min.x, b.Min.y, 0.0f), QxVector(b.Min.x, b.Max.y, 0.0f),
                                 QxVector(b.Max.x, b.Max.y, 0.0f), QxVector(b.Max.x, b.Min.y, 0.0f)};
    const QxRect& uv = m_UVMapping;
    const float u[4] = {uv.left, uv.left, uv.right, uv.right};
    const float v[4] = {uv.bottom, uv.top, uv.top, uv.bottom};
    const CKDWORD diffuse = material->GetDiffuse().GetARGB();
    const CKDWORD specular = material->GetMaterialData().Specular.GetARGB();
    for (int i = 0; i < 4; ++i) {
        QxVector world;
        QxMultiplyMatrixVector(world, m_WorldMatrix, corners[i]);
        Store(data->PositionPtr, data->PositionStride, i, world);
        Store(data->ColorPtr, data->ColorStride, i, diffuse);
        Store(data->SpecularColorPtr, data->SpecularColorStride, i, specular);
        Store(data->TexCoordPtr, data->TexCoordStride, i, u[i]);
        Store(static_cast<CKBYTE*>(data->TexCoordPtr) + 4, data->TexCoordStride, i, v[i]);
    }
    rc->DrawPrimitive(CKRST_PT_TRIANGLEFAN, nullptr, 4, data);
}

CKBOOL RCKSprite3D::Render(CKRenderContext* context, CKDWORD flags)
{
    RCKRenderContext* rc = static_cast<RCKRenderContext*>(context);
    if (!rc || !rc->GetRasterizerContext())
        return FALSE;
    QxTimeProfiler timer;
    if (!(m_MoveableFlags & CK_3DENTITY_FRUSTUMTESTED) && !IsInViewFrustrum(context, flags)) {
        WriteDebugLine(rc, "Skipped", timer.Current());
        return TRUE;
    }
    if (m_Callbacks && !(flags & 0x100))
        rc->SetWorldTransformationMatrix(m_WorldMatrix);
    CKMaterialBinding binding;
    CKMaterial* material = rc->ResolveOverriddenRendering(m_Material, binding);
    if (rc->GetBatching()) {
        RenderBatchGroup* group = rc->GetBatchList()->GetGroup(m_SceneGraphNode ? m_SceneGraphNode->GetPriority() : 0);
        if (m_Callbacks && !m_Callbacks->IsEmpty() && (m_Callbacks->GetFlags() & 0x2)) {
            group->m_Entities.PushBack(this);
        } else {
            CKBatchKey key;
            key.Material = binding.Material;
            key.ShaderData = binding.Shader;
            key.Technique = binding.Technique;
            key.Format = CK_SPRITE3D_BATCHFORMAT;
            key.Hash = (binding.Material ? binding.Material->GetID() : 0) ^ CK_SPRITE3D_BATCHFORMAT;
            RenderBatchList::AddSprite3D(rc, group, key, this);
        }
    } else {
        CallRenderCallbacks(rc, false);
        if (material)
            Draw(rc, material);
        CallRenderCallbacks(rc, true);
        WriteDebugLine(rc, "Not Batched", timer.Current());
    }
    if (flags & 0xFF)
        rc->AddExtents2D(m_RenderExtents, this);
    else if (XArray<CK3dEntity*>* drawn = rc->GetDrawnEntities())
        drawn->PushBack(this);
    return TRUE;
}

CKBOOL RCKSprite3D::RayIntersection(const QxVector* start, const QxVector* end, CKPickResult* result,
                                    CK3dEntity* referential, CKDWORD flags)
{
    if (!start || !end)
        return FALSE;
    QxVector s = *start, e = *end;
    if (referential != this) {
        InverseTransform(&s, start, referential);
        InverseTransform(&e, end, referential);
    }
    const QxVector d = e - s;
    if (d.z == 0.0f)
        return FALSE;
    if ((flags & CK_PICK_SEGMENT) && s.z * d.z > 0.0f)
        return FALSE;
    const float t = -s.z / d.z;
    const QxVector h = s + d * t;
    const QxBbox& b = m_LocalBox;
    if (h.x < b.Min.x || h.x > b.Max.x || h.y < b.Min.y || h.y > b.Max.y)
        return FALSE;
    if (!result)
        return TRUE;
    const QxRect& uv = m_UVMapping;
    const float width = b.Max.x - b.Min.x, height = b.Max.y - b.Min.y;
    // A rectangle of no width or height maps its one line to the left or
    // bottom coordinate.
    const float u = width > 0.0f ? uv.left + (uv.right - uv.left) * (h.x - b.Min.x) / width : uv.left;
    const float v = height > 0.0f ? uv.bottom - (uv.bottom - uv.top) * (h.y - b.Min.y) / height : uv.bottom;
    if (!(flags & CK_PICK_IGNOREALPHA) && m_Material && !CKTestMaterialTexelAlpha(m_Material, u, v))
        return FALSE;
    result->Distance = QxMagnitude(*end - *start) * t;
    result->Point = h;
    result->FaceIndex = 0;
    result->U = u;
    result->V = v;
    result->Normal = QxVector(0.0f, 0.0f, -1.0f);
    result->Object = this;
    return TRUE;
}

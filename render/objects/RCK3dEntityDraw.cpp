// The 3D entity's geometry: its boxes, the view tests, picking by a segment,
// the order of two entities seen from a point, and its drawing.
#include <algorithm>
#include <cmath>

#include "core/context/CKContext.h"
#include "core/object/CKClassRegistry.h"
#include "render/animation/RCKSkin.h"
#include "render/context/RCKRenderContext.h"
#include "render/context/RCKRenderManager.h"
#include "render/context/RenderBatchList.h"
#include "render/context/RenderCallbackList.h"
#include "render/context/SceneGraphNode.h"
#include "render/context/rasterizer/CKRasterizerContext.h"
#include "render/mesh/CKPatchMesh.h"
#include "render/mesh/CKTestMaterialTexelAlpha.h"
#include "render/mesh/MeshRayIntersection.h"
#include "render/mesh/RCKMesh.h"
#include "render/objects/CKPickResult.h"
#include "render/objects/RCK3dEntity.h"
#include "system/math/QxPlane.h"
#include "system/runtime/QxTimeProfiler.h"

namespace {

// Render flags: the low byte asks for screen extents; 0x100 says the world
// matrix is loaded.
constexpr CKDWORD kRenderExtents = 0xFF;
constexpr CKDWORD kWorldLoaded = 0x100;
// A box side at most this thick is flat.
constexpr float kFlat = 1.1920929e-7f;

float AxisLength(const QxMatrix& m, int row)
{
    return std::sqrt(m[row][0] * m[row][0] + m[row][1] * m[row][1] + m[row][2] * m[row][2]);
}

// The texel test of the material of the face hit, at the texture
// coordinates there.
bool FaceAlphaFilter(void* argument, int face, float u, float v)
{
    CKMesh* mesh = static_cast<CKMesh*>(argument);
    CKMaterial* material = mesh->GetFaceMaterial(face);
    if (!material)
        return true;
    int a = 0, b = 0, c = 0;
    mesh->GetFaceVertexIndex(face, a, b, c);
    float uv[3][2] = {};
    mesh->GetVertexTextureCoordinates(a, &uv[0][0], &uv[0][1]);
    mesh->GetVertexTextureCoordinates(b, &uv[1][0], &uv[1][1]);
    mesh->GetVertexTextureCoordinates(c, &uv[2][0], &uv[2][1]);
    const float w = 1.0f - u - v;
    return CKTestMaterialTexelAlpha(material, w * uv[0][0] + u * uv[1][0] + v * uv[2][0],
                                    w * uv[0][1] + u * uv[1][1] + v * uv[2][1]) != FALSE;
}

} // namespace

// Boxes.

void RCK3dEntity::UpdateBox(CKBOOL)
{
    if (m_MoveableFlags & CK_3DENTITY_USERBOX) {
        m_MoveableFlags |= CK_3DENTITY_BOXVALID;
        m_WorldBox.TransformFrom(m_LocalBox, m_WorldMatrix);
        return;
    }
    if (m_CurrentMesh) {
        if ((m_MoveableFlags & CK_3DENTITY_BOXUPTODATE) && (m_CurrentMesh->GetFlags() & CKMESH_BOUNDINGUPTODATE))
            return;
        m_MoveableFlags |= CK_3DENTITY_BOXVALID;
        m_LocalBox = m_CurrentMesh->GetLocalBox();
        if (m_Skin) {
            QxBbox bones;
            if (m_Skin->GetBoneBoundingBox(bones, m_Context, this))
                m_LocalBox.Merge(bones);
            const float extent = static_cast<RCKMesh*>(m_CurrentMesh)->GetBlendShapeExtent();
            if (extent >= 0.0f) {
                m_LocalBox.Max += QxVector(extent);
                m_LocalBox.Min -= QxVector(extent);
            }
        }
        m_WorldBox.TransformFrom(m_LocalBox, m_WorldMatrix);
        m_MoveableFlags |= CK_3DENTITY_BOXUPTODATE;
        return;
    }
    const QxVector position(m_WorldMatrix[3][0], m_WorldMatrix[3][1], m_WorldMatrix[3][2]);
    m_WorldBox = QxBbox(position, position);
    m_LocalBox = QxBbox();
    m_MoveableFlags &= ~CK_3DENTITY_BOXVALID;
}

const QxBbox& RCK3dEntity::GetBoundingBox(CKBOOL local)
{
    UpdateBox(!local);
    return local ? m_LocalBox : m_WorldBox;
}

CKBOOL RCK3dEntity::SetBoundingBox(const QxBbox* box, CKBOOL local)
{
    if (box) {
        if (local) {
            m_LocalBox = *box;
            m_WorldBox.TransformFrom(m_LocalBox, m_WorldMatrix);
        } else {
            m_WorldBox = *box;
            m_LocalBox.TransformFrom(m_WorldBox, GetInverseWorldMatrix());
        }
        m_MoveableFlags |= CK_3DENTITY_USERBOX | CK_3DENTITY_BOXVALID;
    } else {
        m_MoveableFlags &= ~(CK_3DENTITY_USERBOX | CK_3DENTITY_BOXUPTODATE);
    }
    InvalidateNode(TRUE);
    return TRUE;
}

const QxBbox& RCK3dEntity::GetHierarchicalBox(CKBOOL local)
{
    if (!local)
        return m_SceneGraphNode ? m_SceneGraphNode->GetHierarchicalBox() : GetBoundingBox(FALSE);
    if (m_Children.Size() == 0 || !m_SceneGraphNode)
        return GetBoundingBox(TRUE);
    m_HierarchicalBox.TransformFrom(m_SceneGraphNode->GetHierarchicalBox(), GetInverseWorldMatrix());
    return m_HierarchicalBox;
}

CKBOOL RCK3dEntity::GetBaryCenter(QxVector* position)
{
    if (!position)
        return m_CurrentMesh != nullptr;
    if (m_CurrentMesh) {
        const QxVector center = m_CurrentMesh->GetBaryCenter();
        Transform(position, &center);
        return TRUE;
    }
    *position = QxVector(m_WorldMatrix[3][0], m_WorldMatrix[3][1], m_WorldMatrix[3][2]);
    return FALSE;
}

float RCK3dEntity::GetRadius()
{
    if (m_CurrentMesh) {
        const float scale =
            std::max({AxisLength(m_WorldMatrix, 0), AxisLength(m_WorldMatrix, 1), AxisLength(m_WorldMatrix, 2)});
        return m_CurrentMesh->GetRadius() * scale;
    }
    UpdateBox(TRUE);
    if (!(m_MoveableFlags & CK_3DENTITY_BOXVALID))
        return 0.0f;
    const QxVector size = m_WorldBox.Max - m_WorldBox.Min;
    return 0.5f * std::max({size.x, size.y, size.z});
}

// View tests.

CKBOOL RCK3dEntity::MarkVisibility(CKDWORD visibility)
{
    if (m_SceneGraphNode) {
        // The last test's answer only: a node once wholly inside is not so
        // for ever.
        m_SceneGraphNode->ModifyFlags(0, CK_SCENEGRAPH_ALLINSIDE | CK_SCENEGRAPH_ALLOUTSIDE);
        if (visibility == 0)
            m_SceneGraphNode->ModifyFlags(CK_SCENEGRAPH_ALLOUTSIDE, 0);
        else if (visibility == 2)
            m_SceneGraphNode->ModifyFlags(CK_SCENEGRAPH_ALLINSIDE, 0);
    }
    return visibility != 0;
}

CKBOOL RCK3dEntity::IsInViewFrustrum(CKRenderContext* context, CKDWORD flags)
{
    RCKRenderContext* rc = static_cast<RCKRenderContext*>(context);
    CKRasterizerContext* rst = rc ? rc->GetRasterizerContext() : nullptr;
    if (!rst)
        return FALSE;
    m_MoveableFlags |= CK_3DENTITY_FRUSTUMTESTED;
    QxRect* extents = nullptr;
    if (flags & kRenderExtents) {
        m_RenderExtents = QxRect(1e8f, 1e8f, -1e8f, -1e8f);
        extents = &m_RenderExtents;
    }
    const QxBbox* box = nullptr;
    QxBbox point;
    if ((m_MoveableFlags & (CK_3DENTITY_BOXVALID | CK_3DENTITY_USERBOX)) ==
        (CK_3DENTITY_BOXVALID | CK_3DENTITY_USERBOX)) {
        box = &m_LocalBox;
    } else if (m_CurrentMesh) {
        if (m_CurrentMesh->GetVertexCount() == 0)
            return FALSE;
        if (!(m_CurrentMesh->GetFlags() & CKMESH_BOUNDINGUPTODATE)) {
            m_MoveableFlags &= ~CK_3DENTITY_BOXUPTODATE;
            InvalidateNode(TRUE);
        }
        if (m_Skin) {
            UpdateBox(FALSE);
            box = &m_LocalBox;
        } else {
            box = &m_CurrentMesh->GetLocalBox();
        }
    } else {
        box = &point;
    }
    if (!(flags & kWorldLoaded))
        rc->SetWorldTransformationMatrix(m_WorldMatrix);
    return MarkVisibility(rst->ComputeBoxVisibility(*box, FALSE, extents));
}

CKBOOL RCK3dEntity::IsInViewFrustrumHierarchic(CKRenderContext* context)
{
    RCKRenderContext* rc = static_cast<RCKRenderContext*>(context);
    CKRasterizerContext* rst = rc ? rc->GetRasterizerContext() : nullptr;
    if (!rst || !m_SceneGraphNode)
        return TRUE;
    return MarkVisibility(rst->ComputeBoxVisibility(m_SceneGraphNode->GetHierarchicalBox(), TRUE, nullptr));
}

// Picking.

CKBOOL RCK3dEntity::RayIntersection(const QxVector* start, const QxVector* end, CKPickResult* result,
                                    CK3dEntity* referential, CKDWORD flags)
{
    if (!m_CurrentMesh || !start || !end)
        return FALSE;
    QxVector s = *start, e = *end;
    if (referential != this) {
        InverseTransform(&s, start, referential);
        InverseTransform(&e, end, referential);
    }
    CKMesh* mesh = m_CurrentMesh;
    if (!(mesh->GetFlags() & CKMESH_FACENORMALSVALID))
        mesh->BuildFaceNormals();
    const QxVector direction = e - s;
    if (result)
        result->Object = referential;
    CKDWORD stride = 0;
    const CKVertex* vertices = static_cast<const CKVertex*>(mesh->GetPositionsPtr(&stride));
    const CKFace* faces = static_cast<const CKFace*>(mesh->GetFaceNormalsPtr(&stride));
    CKMeshRayHit hit;
    const int found =
        CKRayMeshIntersection(vertices, mesh->GetVertexCount(), mesh->GetFacesIndices(), faces, mesh->GetFaceCount(), s,
                              direction, flags, &m_WorldMatrix, &hit, &FaceAlphaFilter, mesh);
    if (found && result) {
        result->Object = this;
        result->Point = hit.Point;
        result->Normal = hit.Normal;
        result->FaceIndex = hit.Face;
        // The texture coordinates at the point.
        int a = 0, b = 0, c = 0;
        mesh->GetFaceVertexIndex(hit.Face, a, b, c);
        float uv[3][2] = {};
        mesh->GetVertexTextureCoordinates(a, &uv[0][0], &uv[0][1]);
        mesh->GetVertexTextureCoordinates(b, &uv[1][0], &uv[1][1]);
        mesh->GetVertexTextureCoordinates(c, &uv[2][0], &uv[2][1]);
        const float w = 1.0f - hit.U - hit.V;
        result->U = w * uv[0][0] + hit.U * uv[1][0] + hit.V * uv[2][0];
        result->V = w * uv[0][1] + hit.U * uv[1][1] + hit.V * uv[2][1];
        // A fraction of the segment, measured in the referential's frame.
        result->Distance = hit.Distance * QxMagnitude(*end - *start);
    }
    return found ? TRUE : FALSE;
}

// Ordering.

int RCK3dEntity::CompareRenderOrder(RCK3dEntity* other, const QxVector& viewpoint)
{
    const QxBbox& local = GetBoundingBox(TRUE);
    const QxVector size = local.Max - local.Min;
    const float sizes[3] = {size.x, size.y, size.z};
    int flat = -1;
    for (int axis = 2; axis >= 0 && flat < 0; --axis)
        if (sizes[axis] <= kFlat)
            flat = axis;
    const QxBbox& otherBox = other->GetBoundingBox(FALSE);
    if (flat >= 0) {
        const QxVector normal(m_WorldMatrix[flat][0], m_WorldMatrix[flat][1], m_WorldMatrix[flat][2]);
        const QxPlane plane(normal, QxVector(m_WorldMatrix[3][0], m_WorldMatrix[3][1], m_WorldMatrix[3][2]));
        // The corner least far along the normal, and the farthest.
        QxVector nearest, farthest;
        for (int k = 0; k < 3; ++k) {
            const bool positive = normal[k] >= 0.0f;
            nearest[k] = positive ? otherBox.Min[k] : otherBox.Max[k];
            farthest[k] = positive ? otherBox.Max[k] : otherBox.Min[k];
        }
        float side = 0.0f;
        const float low = plane.Classify(nearest), high = plane.Classify(farthest);
        if (low > 0.0f)
            side = low;
        else if (high < 0.0f)
            side = high;
        const float order = side * plane.Classify(viewpoint);
        if (order > 0.0f)
            return 1;
        if (order < 0.0f)
            return -1;
    }
    return GetBoundingBox(FALSE).Classify(otherBox, viewpoint);
}

// Drawing.

void RCK3dEntity::WriteDebugLine(RCKRenderContext* rc, const char* what, float milliseconds)
{
    if (!(rc->GetDebugFlags() & CK_RENDERDEBUG_LOG))
        return;
    XString line(GetName());
    if (IsToBeRenderedLast())
        line += " (as transparent Object)";
    line += " : ";
    line += what;
    line += milliseconds;
    line += " ms ";
    rc->GetDebugLines().PushBack(line);
    if (rc->GetDebugFlags() & CK_RENDERDEBUG_SHOWEACHOBJECT)
        rc->BackToFront(0);
}

void RCK3dEntity::CallRenderCallbacks(RCKRenderContext* rc, bool post)
{
    if (!m_Callbacks)
        return;
    const XArray<RenderCallbackRecord>& records =
        post ? m_Callbacks->GetPostCallbacks() : m_Callbacks->GetPreCallbacks();
    if (records.Size() == 0)
        return;
    // A callback may add or remove callbacks: run over a copy.
    XArray<RenderCallbackRecord> copy = records;
    QxTimeProfiler timer;
    for (const RenderCallbackRecord& r : copy)
        CKRenderCallbackAs<CK_RENDEROBJECT_CALLBACK>(r)(rc, this, r.Argument);
    rc->CallbackTime3D() += timer.Current();
}

void RCK3dEntity::DrawWithMesh(RCKRenderContext* rc, RenderBatchGroup* batch)
{
    CKRasterizerContext* rst = rc->GetRasterizerContext();
    RCKMesh* mesh = static_cast<RCKMesh*>(m_CurrentMesh);
    const bool visible = mesh && (mesh->GetFlags() & CKMESH_VISIBLE);
    const bool progressive = mesh && mesh->IsPM();
    if (visible && m_BlendShapeWeights.Size() > 0) {
        if (progressive)
            m_BlendShapeWeights.Free();
        else
            mesh->ApplyBlendShapes(this, rc, m_BlendShapeWeights.Begin(), m_BlendShapeWeights.Size());
    }
    if (m_Skin && mesh && !progressive)
        m_Skin->DeformMesh(this, rc);
    CallRenderCallbacks(rc, false);
    if (batch) {
        // The mesh's own update before its draw into the group.
        if (mesh && CKIsChildClassOfObject(mesh, CKCID_PATCHMESH))
            static_cast<CKPatchMesh*>(static_cast<CKMesh*>(mesh))->BuildRenderMesh();
        if (progressive)
            mesh->UpdatePMGeometry();
        if (m_Skin && progressive)
            m_Skin->DeformMesh(this, rc);
        if (visible)
            mesh->Draw(rc, this, batch);
    } else {
        if (m_Skin && progressive)
            m_Skin->DeformMesh(this, rc);
        const RenderCallbackRecord* replacing = m_Callbacks ? m_Callbacks->GetRenderCallback() : nullptr;
        if (replacing) {
            CKRenderCallbackAs<CK_RENDEROBJECT_CALLBACK> (*replacing)(rc, this, replacing->Argument);
        } else if (visible) {
            if (m_Skin)
                m_Skin->SetupHardwareVertexBlending(rst, this);
            rc->SetCurrentEntity(this);
            mesh->Render(rc, this);
            rc->SetCurrentEntity(nullptr);
            if (m_Callbacks || m_Skin) {
                rst->SetRenderState(CKRST_RS_VERTEXBLEND, 0);
                rst->SetRenderState(CKRST_RS_INDEXEDVERTEXBLENDENABLE, 0);
            }
        }
    }
    CallRenderCallbacks(rc, true);
}

CKBOOL RCK3dEntity::Render(CKRenderContext* context, CKDWORD flags)
{
    RCKRenderContext* rc = static_cast<RCKRenderContext*>(context);
    CKRasterizerContext* rst = rc ? rc->GetRasterizerContext() : nullptr;
    if (!rst || (!m_CurrentMesh && !m_Callbacks))
        return FALSE;
    RCKRenderManager* manager = RenderManager();
    const bool debug = manager && manager->GetSettings().EnableDebugMode;
    QxTimeProfiler timer;
    RCKMesh* mesh = static_cast<RCKMesh*>(m_CurrentMesh);

    // Batched unless the mesh is deformed by more than one entity this frame.
    const bool batched = rc->GetBatching() && (!mesh || mesh->GetDeformingEntityCount() <= 1);
    if (batched) {
        if (!(m_MoveableFlags & CK_3DENTITY_FRUSTUMTESTED) && !IsInViewFrustrum(rc, flags)) {
            WriteDebugLine(rc, "Skipped", timer.Current());
            return TRUE;
        }
        RenderBatchGroup* group = rc->GetBatchList()->GetGroup(m_SceneGraphNode ? m_SceneGraphNode->GetPriority() : 0);
        const bool ownPath = m_Callbacks && (m_Callbacks->GetRenderCallback() ||
                                             (m_Callbacks->GetFlags() & CK_RENDERCALLBACK_MODIFYPATH));
        if (ownPath || (mesh && mesh->GetRenderCallbacks()) ||
            (manager && manager->GetSettings().DisplayObjectInformation))
            group->m_Entities.PushBack(this);
        else
            DrawWithMesh(rc, group);
    } else {
        if (m_MoveableFlags & CK_3DENTITY_FRUSTUMTESTED) {
            if (!(flags & kWorldLoaded))
                rc->SetWorldTransformationMatrix(m_WorldMatrix);
        } else if (!IsInViewFrustrum(rc, flags)) {
            WriteDebugLine(rc, "Skipped", timer.Current());
            return TRUE;
        }
        CKDWORD winding = 0;
        const bool mirrored = (m_MoveableFlags & CK_3DENTITY_MIRRORED) != 0;
        if (mirrored) {
            rst->GetRenderState(CKRST_RS_INVERSEWINDING, &winding);
            rst->SetRenderState(CKRST_RS_INVERSEWINDING, winding ? 0 : 1);
        }
        DrawWithMesh(rc, nullptr);
        if (mirrored)
            rst->SetRenderState(CKRST_RS_INVERSEWINDING, winding);
    }
    if (flags & kRenderExtents)
        rc->AddExtents2D(m_RenderExtents, this);
    else if (XArray<CK3dEntity*>* drawn = rc->GetDrawnEntities())
        drawn->PushBack(this);
    if (!batched) {
        if (debug && manager)
            manager->DrawObjectInformation(rc, this);
        WriteDebugLine(rc, "", timer.Current());
    }
    return TRUE;
}

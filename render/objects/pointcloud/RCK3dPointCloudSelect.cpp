#include <cmath>
#include <cstring>

#include "core/context/CKContext.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/XObjectPointerArray.h"
#include "core/scene/CKGroup.h"
#include "render/context/RCKRenderContext.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CKPickResult.h"
#include "render/objects/RCKSprite3D.h"
#include "render/objects/pointcloud/CloudQueries.h"
#include "render/objects/pointcloud/RCK3dPointCloud.h"
#include "render/objects/pointcloud/RCloudSelection.h"

namespace {

QxVector Row(const QxMatrix& m, int i)
{
    return QxVector(m[i][0], m[i][1], m[i][2]);
}

RCloudSelection* Impl(CloudSelection* selection)
{
    return static_cast<RCloudSelection*>(selection);
}

} // namespace

const CloudRunIndex& RCK3dPointCloud::RunIndex()
{
    if (!m_RunIndex.Matches(m_Tree, GetBoxMin(), GetBoxSize()))
        m_RunIndex.Build(m_Tree, GetBoxMin(), GetBoxSize());
    return m_RunIndex;
}

template <class Shape>
int RCK3dPointCloud::RunQuery(int kind, const Shape& shape, const float* words, int wordCount,
                              RCloudSelection* selection, CKBOOL replace)
{
    if (!m_Tree.HasRoot() || !selection)
        return 0;
    if (!selection->Prepare(kind, words, wordCount, replace))
        return selection->GetPointCount();
    const int before = selection->GetPointCount();
    if (!selection->IsFull())
        CloudQueryRuns(m_Tree, RunIndex(), shape, [&](const CloudSelectionEntry* entries, int count) {
            return selection->AddRun(entries, count);
        });
    return selection->GetPointCount() - before;
}

int RCK3dPointCloud::SelectInBox(const QxBbox& box, CloudSelection* selection, CKBOOL replace)
{
    const float words[6] = {box.Min.x, box.Min.y, box.Min.z, box.Max.x, box.Max.y, box.Max.z};
    return RunQuery(CLOUD_QUERY_BOX, CloudBoxShape{box}, words, 6, Impl(selection), replace);
}

int RCK3dPointCloud::SelectInSphere(const QxVector& centre, float radius, CloudSelection* selection, CKBOOL replace)
{
    const float words[4] = {centre.x, centre.y, centre.z, radius};
    return RunQuery(CLOUD_QUERY_SPHERE, CloudSphereShape{centre, radius}, words, 4, Impl(selection), replace);
}

int RCK3dPointCloud::SelectInOrientedBox(const QxOBB& box, CloudSelection* selection, CKBOOL replace)
{
    float words[15];
    static_assert(sizeof(QxOBB) == sizeof(words), "an oriented box is fifteen floats");
    std::memcpy(words, &box, sizeof(words));
    return RunQuery(CLOUD_QUERY_ORIENTEDBOX, CloudOrientedBoxShape{box}, words, 15, Impl(selection), replace);
}

int RCK3dPointCloud::SelectInCone(const QxCone& cone, CloudSelection* selection, CKBOOL replace)
{
    float words[8];
    static_assert(sizeof(QxCone) == sizeof(words), "a cone is eight floats");
    std::memcpy(words, &cone, sizeof(words));
    return RunQuery(CLOUD_QUERY_CONE, CloudConeShape{cone}, words, 8, Impl(selection), replace);
}

int RCK3dPointCloud::SelectInEntityInto(CK3dEntity* entity, RCloudSelection* selection)
{
    CKMesh* mesh = entity ? entity->GetCurrentMesh() : nullptr;
    if (!mesh || !selection || !m_Tree.HasRoot())
        return 0;
    // Entity frame to the cloud's.
    QxMatrix toCloud;
    QxMultiplyMatrix(toCloud, GetInverseWorldMatrix(), entity->GetWorldMatrix());
    const QxBbox& local =
        (entity->GetMoveableFlags() & CK_3DENTITY_USERBOX) ? entity->GetBoundingBox(TRUE) : mesh->GetLocalBox();
    CloudConvexShape shape;
    QxOBB& obb = shape.Bounds.Box;
    QxMultiplyMatrixVector(obb.m_Center, toCloud, local.GetCenter());
    const QxVector half = local.GetHalfSize();
    const float halves[3] = {half.x, half.y, half.z};
    for (int i = 0; i < 3; ++i) {
        const QxVector axis = Row(toCloud, i);
        const float length = QxMagnitude(axis);
        obb.m_Axis[i] = length > 0.0f ? axis / length : QxVector();
        obb.m_Extents[i] = halves[i] * length;
    }
    if (SelectInOrientedBox(obb, WorkingSelection(), TRUE) == 0)
        return 0;

    if (!(mesh->GetFlags() & CKMESH_FACENORMALSVALID))
        mesh->BuildFaceNormals();
    const int faces = mesh->GetFaceCount();
    const int vertices = mesh->GetVertexCount();
    shape.Planes.reserve(faces);
    for (int f = 0; f < faces; ++f) {
        int i0, i1, i2;
        mesh->GetFaceVertexIndex(f, i0, i1, i2);
        if (i0 < 0 || i1 < 0 || i2 < 0 || i0 >= vertices || i1 >= vertices || i2 >= vertices)
            continue;
        QxVector a, b, c;
        mesh->GetVertexPosition(i0, &a);
        mesh->GetVertexPosition(i1, &b);
        mesh->GetVertexPosition(i2, &c);
        QxVector ca, cb, cc;
        QxMultiplyMatrixVector(ca, toCloud, a);
        QxMultiplyMatrixVector(cb, toCloud, b);
        QxMultiplyMatrixVector(cc, toCloud, c);
        QxVector n = QxCrossProduct(cb - ca, cc - ca);
        const float length = QxMagnitude(n);
        if (!(length > 0.0f))
            continue;
        n = n / length;
        // The face's own normal says which side is out (a mirroring
        // matrix turns the winding over).
        QxVector faceNormal;
        QxRotateVector(faceNormal, toCloud, mesh->GetFaceNormal(f));
        if (QxDotProduct(n, faceNormal) < 0.0f)
            n = n * -1.0f;
        shape.Planes.push_back(QxPlane(n, ca));
    }
    const int before = selection->GetPointCount();
    if (!selection->IsFull())
        CloudQueryRuns(m_Tree, RunIndex(), shape, [&](const CloudSelectionEntry* entries, int count) {
            return selection->AddRun(entries, count);
        });
    return selection->GetPointCount() - before;
}

int RCK3dPointCloud::SelectInEntity(CK3dEntity* entity, CloudSelection* selection, CKBOOL replace)
{
    RCloudSelection* s = Impl(selection);
    if (!entity || !s || !m_Tree.HasRoot() || !entity->GetCurrentMesh())
        return 0;
    s->Prepare(CLOUD_QUERY_ENTITY, nullptr, 0, replace);
    return SelectInEntityInto(entity, s);
}

int RCK3dPointCloud::SelectInEntities(const XObjectPointerArray& entities, CloudSelection* selection, CKBOOL replace)
{
    RCloudSelection* s = Impl(selection);
    if (!s || !m_Tree.HasRoot())
        return 0;
    s->Prepare(CLOUD_QUERY_ENTITIES, nullptr, 0, replace);
    const int before = s->GetPointCount();
    for (CKObject* object : entities)
        if (object && CKIsChildClassOfObject(object, CKCID_3DENTITY))
            SelectInEntityInto(static_cast<CK3dEntity*>(object), s);
    return s->GetPointCount() - before;
}

int RCK3dPointCloud::SelectInGroup(CKGroup* group, CloudSelection* selection, CKBOOL replace)
{
    RCloudSelection* s = Impl(selection);
    if (!group || !s || !m_Tree.HasRoot())
        return 0;
    s->Prepare(CLOUD_QUERY_ENTITIES, nullptr, 0, replace);
    const int before = s->GetPointCount();
    for (int i = 0; i < group->GetObjectCount(); ++i) {
        CKObject* object = group->GetObject(i);
        if (object && CKIsChildClassOfObject(object, CKCID_3DENTITY))
            SelectInEntityInto(static_cast<CK3dEntity*>(object), s);
    }
    return s->GetPointCount() - before;
}

int RCK3dPointCloud::SelectByRay(CKRenderContext* context, const Qx2DVector& screen, CloudSelection* selection,
                                 CKBOOL replace)
{
    RCloudSelection* s = Impl(selection);
    RCKRenderContext* rc = static_cast<RCKRenderContext*>(context);
    if (!m_Tree.HasRoot() || !s || !rc)
        return 0;
    s->Prepare(CLOUD_QUERY_RAY, nullptr, 0, replace);
    CK3dEntity* viewpoint = rc->GetViewpoint();
    QxRect view;
    rc->GetViewRect(view);
    const float width = view.right - view.left, height = view.bottom - view.top;
    const QxMatrix& projection = rc->GetProjectionTransformationMatrix();
    if (!viewpoint || !(width > 0.0f) || !(height > 0.0f) || projection[0][0] == 0.0f || projection[1][1] == 0.0f)
        return 0;
    // The screen position on the view's plane at depth 1, in the
    // viewpoint's frame.
    const float nx = (screen.x - view.left) / width * 2.0f - 1.0f;
    const float ny = 1.0f - (screen.y - view.top) / height * 2.0f;
    QxVector origin, through;
    if (projection[2][3] != 0.0f) {
        through =
            QxVector((nx - projection[2][0]) / projection[0][0], (ny - projection[2][1]) / projection[1][1], 1.0f);
    } else {
        origin = QxVector((nx - projection[3][0]) / projection[0][0], (ny - projection[3][1]) / projection[1][1], 0.0f);
        through = origin + QxVector(0.0f, 0.0f, 1.0f);
    }
    QxVector worldOrigin, worldThrough, start, end;
    viewpoint->Transform(&worldOrigin, &origin, nullptr);
    viewpoint->Transform(&worldThrough, &through, nullptr);
    InverseTransform(&start, &worldOrigin, nullptr);
    InverseTransform(&end, &worldThrough, nullptr);
    CloudRayHit hit;
    CloudPickRay(m_Tree, GetBoxMin(), GetBoxSize(), QxRay(start, end - start), false, m_PickingRadius, hit);
    if (!hit.Hit)
        return 0;
    return s->Add(hit.Position, hit.PointIndex) ? 1 : 0;
}

CKBOOL RCK3dPointCloud::RayIntersection(const QxVector* start, const QxVector* end, CKPickResult* result,
                                        CK3dEntity* referential, CKDWORD flags)
{
    if (!start || !end || !m_Tree.HasRoot())
        return FALSE;
    QxVector s = *start, e = *end;
    if (referential != this) {
        InverseTransform(&s, start, referential);
        InverseTransform(&e, end, referential);
    }
    CloudRayHit hit;
    CloudPickRay(m_Tree, GetBoxMin(), GetBoxSize(), QxRay(s, e - s), (flags & CK_PICK_SEGMENT) != 0, m_PickingRadius,
                 hit);
    if (!hit.Hit)
        return FALSE;
    if (result) {
        // The distance along the ray in the referential's units.
        const float local = QxMagnitude(e - s);
        const float given = QxMagnitude(*end - *start);
        const float fraction = local > 0.0f ? std::sqrt(hit.BestSquare) / local : 0.0f;
        result->Object = this;
        result->Point = hit.Position;
        result->Distance = fraction * given;
        result->FaceIndex = (int) hit.PointIndex;
        result->U = result->V = 0.0f;
        GetPointNormal(&result->Normal, (int) hit.PointIndex);
    }
    return TRUE;
}

// Picking the 3D entity under a point of the render context's window.
#include "render/context/RCKRenderContext.h"
#include "render/mesh/MeshRayIntersection.h"
#include "render/objects/CK3dEntity.h"
#include "render/objects/CKPickResult.h"
#include "system/math/QxVector4.h"

namespace {

// Object flag 0x2: the object is never picked.
constexpr CKDWORD kNeverPicked = 0x2;

// The world point of a clip-space point (x, y, z, 1) through the inverse of
// view then projection.
QxVector Unproject(const QxMatrix& inverse, float x, float y, float z)
{
    QxVector4 p;
    QxMultiplyMatrixVector4(p, inverse, QxVector4(x, y, z, 1.0f));
    const float w = p.w != 0.0f ? p.w : 1.0f;
    return QxVector(p.x / w, p.y / w, p.z / w);
}

} // namespace

CK3dEntity* RCKRenderContext::Pick(const Qx2DVector& point, CKPickResult* result, CKBOOL ignoreUnpickable)
{
    const CKViewportData viewport = GetViewport();
    if (viewport.ViewWidth <= 0 || viewport.ViewHeight <= 0)
        return nullptr;
    // The segment from the near plane to the far plane through the point
    // (the projection is no affine matrix: the full product and inverse).
    QxMatrix total, inverse;
    QxMultiplyMatrix4(total, m_ProjectionMatrix, m_ViewMatrix);
    if (!QxInverseMatrix44(inverse, total))
        return nullptr;
    const float x = 2.0f * (point.x - (float) viewport.ViewX) / (float) viewport.ViewWidth - 1.0f;
    const float y = 1.0f - 2.0f * (point.y - (float) viewport.ViewY) / (float) viewport.ViewHeight;
    const QxVector start = Unproject(inverse, x, y, 0.0f);
    const QxVector end = Unproject(inverse, x, y, 1.0f);

    CK3dEntity* nearest = nullptr;
    CKPickResult best;
    for (CK3dEntity* entity : m_RenderedScene.Get3dEntities()) {
        // Hidden entities, those never picked and, unless asked otherwise,
        // those not pickable are passed over.
        if (!(entity->GetMoveableFlags() & CK_3DENTITY_VISIBLE) || entity->IsHiddenByParent() ||
            (entity->GetObjectFlags() & kNeverPicked))
            continue;
        if (!ignoreUnpickable && !entity->IsPickable())
            continue;
        CKPickResult hit;
        if (entity->RayIntersection(&start, &end, &hit, nullptr, CK_RAYINTERSECTION_SEGMENT) &&
            (!nearest || hit.Distance < best.Distance)) {
            nearest = entity;
            best = hit;
        }
    }
    if (nearest && result)
        *result = best;
    return nearest;
}

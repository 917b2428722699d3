// Picking the 3D entity under a point of the render context's window.
#include <cmath>

#include "render/context/RCKRenderContext.h"
#include "render/mesh/MeshRayIntersection.h"
#include "render/objects/CK3dEntity.h"
#include "render/objects/CKPickResult.h"

namespace {

// Object flag 0x2: the object is never picked.
constexpr CKDWORD kNeverPicked = 0x2;

// The full product a then b of row-vector matrices (QxMultiplyMatrix keeps
// only the affine part; a projection has a fourth column).
void MultiplyFull(double out[4][4], const QxMatrix& a, const QxMatrix& b)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k)
                sum += (double) a[r][k] * (double) b[k][c];
            out[r][c] = sum;
        }
}

// The inverse of a 4 x 4 matrix by Gauss-Jordan elimination in double
// precision (a projection is not affine); false when it is singular.
bool InvertGeneral(const double m[4][4], double out[4][4])
{
    double a[4][8];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 8; ++c)
            a[r][c] = c < 4 ? m[r][c] : (c - 4 == r ? 1.0 : 0.0);
    for (int c = 0; c < 4; ++c) {
        int pivot = c;
        for (int r = c + 1; r < 4; ++r)
            if (std::fabs(a[r][c]) > std::fabs(a[pivot][c]))
                pivot = r;
        if (std::fabs(a[pivot][c]) < 1e-30)
            return false;
        for (int k = 0; k < 8; ++k)
            std::swap(a[c][k], a[pivot][k]);
        const double scale = 1.0 / a[c][c];
        for (int k = 0; k < 8; ++k)
            a[c][k] *= scale;
        for (int r = 0; r < 4; ++r)
            if (r != c && a[r][c] != 0.0) {
                const double f = a[r][c];
                for (int k = 0; k < 8; ++k)
                    a[r][k] -= f * a[c][k];
            }
    }
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            out[r][c] = a[r][c + 4];
    return true;
}

// The world point of a clip-space point (x, y, z, 1) through the inverse.
QxVector Unproject(const double inverse[4][4], double x, double y, double z)
{
    double p[4];
    for (int c = 0; c < 4; ++c)
        p[c] = x * inverse[0][c] + y * inverse[1][c] + z * inverse[2][c] + inverse[3][c];
    if (p[3] == 0.0)
        p[3] = 1.0;
    return QxVector((float) (p[0] / p[3]), (float) (p[1] / p[3]), (float) (p[2] / p[3]));
}

} // namespace

CK3dEntity* RCKRenderContext::Pick(const Qx2DVector& point, CKPickResult* result, CKBOOL ignoreUnpickable)
{
    const CKViewportData viewport = GetViewport();
    if (viewport.ViewWidth <= 0 || viewport.ViewHeight <= 0)
        return nullptr;
    // The segment from the near plane to the far plane through the point.
    double total[4][4];
    MultiplyFull(total, m_ViewMatrix, m_ProjectionMatrix);
    double inverse[4][4];
    if (!InvertGeneral(total, inverse))
        return nullptr;
    const double x = 2.0 * (point.x - viewport.ViewX) / viewport.ViewWidth - 1.0;
    const double y = 1.0 - 2.0 * (point.y - viewport.ViewY) / viewport.ViewHeight;
    const QxVector start = Unproject(inverse, x, y, 0.0);
    const QxVector end = Unproject(inverse, x, y, 1.0);

    CK3dEntity* nearest = nullptr;
    CKPickResult best;
    for (CK3dEntity* entity : m_RenderedScene.Get3dEntities()) {
        // Hidden entities, those never picked (object flag 0x2) and, unless
        // asked otherwise, those not pickable are passed over.
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

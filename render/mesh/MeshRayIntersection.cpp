#include "render/mesh/MeshRayIntersection.h"

#include <cmath>

namespace {

QxVector Cross(const QxVector& a, const QxVector& b)
{
    return QxVector(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

QxVector UnitOrZero(const QxVector& v)
{
    float length = std::sqrt(QxDotProduct(v, v));
    return length > 0.0f ? v * (1.0f / length) : QxVector();
}

} // namespace

int CKRayMeshIntersection(const CKVertex* vertices, int vertexCount, const CKDWORD* faceIndices, const CKFace* faces,
                          int faceCount, const QxVector& start, const QxVector& direction, CKDWORD flags,
                          const QxMatrix* world, CKMeshRayHit* hit, CKFaceHitFilter filter, void* filterArgument)
{
    if (!vertices || !faceIndices || faceCount <= 0)
        return 0;
    bool found = false;
    CKMeshRayHit best;
    for (int f = 0; f < faceCount; ++f) {
        const CKDWORD* corner = faceIndices + 3 * f;
        if (corner[0] >= (CKDWORD) vertexCount || corner[1] >= (CKDWORD) vertexCount ||
            corner[2] >= (CKDWORD) vertexCount)
            continue;
        // Moller and Trumbore: start + t d = a + u (b - a) + v (c - a).
        const QxVector& a = vertices[corner[0]].Position;
        QxVector e1 = vertices[corner[1]].Position - a;
        QxVector e2 = vertices[corner[2]].Position - a;
        QxVector p = Cross(direction, e2);
        float det = QxDotProduct(e1, p);
        if (det == 0.0f || !std::isfinite(det))
            continue;
        float inverse = 1.0f / det;
        QxVector s = start - a;
        float u = QxDotProduct(s, p) * inverse;
        if (u < 0.0f || u > 1.0f)
            continue;
        QxVector q = Cross(s, e1);
        float v = QxDotProduct(direction, q) * inverse;
        if (v < 0.0f || u + v > 1.0f)
            continue;
        float t = QxDotProduct(e2, q) * inverse;
        if (t < 0.0f || ((flags & CK_RAYINTERSECTION_SEGMENT) && t > 1.0f))
            continue;
        if (found && t >= best.Distance)
            continue;
        if (filter && !(flags & CK_RAYINTERSECTION_IGNOREALPHA) && !filter(filterArgument, f, u, v))
            continue;
        found = true;
        best.Distance = t;
        best.Face = f;
        best.U = u;
        best.V = v;
    }
    if (!found)
        return 0;
    if (hit) {
        const CKDWORD* corner = faceIndices + 3 * best.Face;
        const QxVector& a = vertices[corner[0]].Position;
        QxVector normal = faces ? faces[best.Face].Normal : QxVector();
        if (normal.x == 0.0f && normal.y == 0.0f && normal.z == 0.0f)
            normal = UnitOrZero(Cross(vertices[corner[1]].Position - a, vertices[corner[2]].Position - a));
        if (world) {
            QxVector turned;
            QxRotateVector(turned, *world, normal);
            normal = UnitOrZero(turned);
        }
        best.Point = start + direction * best.Distance;
        best.Normal = normal;
        *hit = best;
    }
    return 1;
}

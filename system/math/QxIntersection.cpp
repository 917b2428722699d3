#include "system/math/QxIntersection.h"

#include <cmath>

namespace {

const float kEpsilon = 1.1920929e-7f;
const float kSegmentEnd = 1.0000001f;

enum PlaneMode
{
    kTwoSided = 0,
    kFrontOnly = 1,
    kSegment = 2,
};

int RayPlane(int mode, const QxRay& ray, const QxPlane& plane, QxVector& point, float& t)
{
    const float den = QxDotProduct(plane.m_Normal, ray.m_Direction);
    if (mode & kFrontOnly) {
        if (den > -kEpsilon)
            return 0;
    } else if (std::fabs(den) < kEpsilon) {
        return 0;
    }
    t = -(QxDotProduct(plane.m_Normal, ray.m_Origin) + plane.m_D) / den;
    if (t < -kEpsilon)
        return 0;
    if ((mode & kSegment) && t > kSegmentEnd)
        return 0;
    point = ray.m_Origin + ray.m_Direction * t;
    return 1;
}

int RayTriangle(int mode, const QxRay& ray, const QxVector& A, const QxVector& B, const QxVector& C,
                const QxVector& normal, QxVector& point, float& t, int& axis1, int& axis2)
{
    const QxPlane plane(normal, A);
    if (!RayPlane(mode, ray, plane, point, t))
        return 0;
    return QxPointInTriangle(point, A, B, C, normal, axis1, axis2);
}

} // namespace

int QxIntersectionRayPlane(const QxRay& ray, const QxPlane& plane, QxVector& point, float& t)
{
    return RayPlane(kTwoSided, ray, plane, point, t);
}

int QxIntersectionRayPlaneFront(const QxRay& ray, const QxPlane& plane, QxVector& point, float& t)
{
    return RayPlane(kFrontOnly, ray, plane, point, t);
}

int QxIntersectionSegmentPlane(const QxRay& segment, const QxPlane& plane, QxVector& point, float& t)
{
    return RayPlane(kSegment, segment, plane, point, t);
}

int QxIntersectionSegmentPlaneFront(const QxRay& segment, const QxPlane& plane, QxVector& point, float& t)
{
    return RayPlane(kSegment | kFrontOnly, segment, plane, point, t);
}

int QxIntersectionRayTriangle(const QxRay& ray, const QxVector& A, const QxVector& B, const QxVector& C,
                              const QxVector& normal, QxVector& point, float& t, int& axis1, int& axis2)
{
    return RayTriangle(kTwoSided, ray, A, B, C, normal, point, t, axis1, axis2);
}

int QxIntersectionRayTriangleFront(const QxRay& ray, const QxVector& A, const QxVector& B, const QxVector& C,
                                   const QxVector& normal, QxVector& point, float& t, int& axis1, int& axis2)
{
    return RayTriangle(kFrontOnly, ray, A, B, C, normal, point, t, axis1, axis2);
}

int QxIntersectionSegmentTriangle(const QxRay& segment, const QxVector& A, const QxVector& B, const QxVector& C,
                                  const QxVector& normal, QxVector& point, float& t, int& axis1, int& axis2)
{
    return RayTriangle(kSegment, segment, A, B, C, normal, point, t, axis1, axis2);
}

int QxIntersectionSegmentTriangleFront(const QxRay& segment, const QxVector& A, const QxVector& B, const QxVector& C,
                                       const QxVector& normal, QxVector& point, float& t, int& axis1, int& axis2)
{
    return RayTriangle(kSegment | kFrontOnly, segment, A, B, C, normal, point, t, axis1, axis2);
}

int QxPointInTriangle(const QxVector& p, const QxVector& A, const QxVector& B, const QxVector& C,
                      const QxVector& normal, int& axis1, int& axis2)
{
    const float nx = std::fabs(normal.x), ny = std::fabs(normal.y), nz = std::fabs(normal.z);
    int u = 1, v = 2;
    if (ny > nx) {
        u = 0;
        v = 2;
    }
    if (nz > (nx > ny ? nx : ny)) {
        u = 0;
        v = 1;
    }
    axis1 = u;
    axis2 = v;

    const float edges[3] = {
        (B[v] - A[v]) * (p[u] - A[u]) - (B[u] - A[u]) * (p[v] - A[v]),
        (p[u] - B[u]) * (C[v] - B[v]) - (p[v] - B[v]) * (C[u] - B[u]),
        (p[u] - C[u]) * (A[v] - C[v]) - (p[v] - C[v]) * (A[u] - C[u]),
    };
    int mask = 3;
    for (float e : edges) {
        if (e >= kEpsilon)
            mask &= 2;
        else if (e < -kEpsilon)
            mask &= 1;
        if (mask == 0)
            return 0;
    }
    return mask;
}

void QxTriangleBarycentric(const QxVector& p, const QxVector& A, const QxVector& B, const QxVector& C, const int* axis1,
                           const int* axis2, float& wA, float& wB, float& wC)
{
    const int u = *axis1, v = *axis2;
    const float du = p[u] - A[u], dv = p[v] - A[v];
    const float e1u = B[u] - A[u], e1v = B[v] - A[v];
    const float e2u = C[u] - A[u], e2v = C[v] - A[v];
    const float area = e2v * e1u - e1v * e2u;
    if (e1u != 0.0f) {
        wC = (e1u * dv - e1v * du) / area;
        // The same equation solved through the larger component of the first
        // edge: dividing by a tiny e1u would magnify the rounding of wC.
        if (std::fabs(e1u) >= std::fabs(e1v))
            wB = (du - e2u * wC) / e1u;
        else
            wB = (dv - e2v * wC) / e1v;
    } else {
        wC = du / e2u;
        wB = (dv - wC * e2v) / e1v;
    }
    wA = 1.0f - (wB + wC);
}

#include "system/math/QxIntersectionBox.h"

#include <cmath>

namespace {

const float kEpsilon = 1.1920929e-7f;
const float kSegmentEnd = 1.0000001f;
// Added to the absolute rotation terms of the oriented-box test.
const float kAxisTolerance = 1e-6f;

// The three cross-product axes of a direction w against the box axes.
bool CrossAxesSeparate(const QxVector& w, const QxVector& d, const QxVector& e)
{
    const float ax = std::fabs(w.x), ay = std::fabs(w.y), az = std::fabs(w.z);
    if (std::fabs(w.y * d.z - w.z * d.y) > e.y * az + e.z * ay)
        return true;
    if (std::fabs(w.z * d.x - w.x * d.z) > e.x * az + e.z * ax)
        return true;
    if (std::fabs(w.x * d.y - w.y * d.x) > e.x * ay + e.y * ax)
        return true;
    return false;
}

int BoxPoints(bool segment, const QxRay& ray, const QxBbox& box, QxVector& nearPoint, QxVector* farPoint,
              QxVector* nearNormal, QxVector* farNormal)
{
    float tmin = -1e30f;
    float tmax = 1e30f;
    int entryAxis = -1, exitAxis = -1;
    float entrySign = 0.0f, exitSign = 0.0f;
    for (int i = 0; i < 3; ++i) {
        const float origin = ray.m_Origin[i];
        const float direction = ray.m_Direction[i];
        if (std::fabs(direction) < kEpsilon) {
            if (origin < box.Min[i] || origin > box.Max[i])
                return 0;
            continue;
        }
        float t1 = (box.Min[i] - origin) / direction;
        float t2 = (box.Max[i] - origin) / direction;
        if (t1 > t2) {
            const float swap = t1;
            t1 = t2;
            t2 = swap;
        }
        if (t1 > tmin) {
            tmin = t1;
            entryAxis = i;
            entrySign = direction >= 0.0f ? -1.0f : 1.0f;
        }
        if (t2 < tmax) {
            tmax = t2;
            exitAxis = i;
            exitSign = direction >= 0.0f ? 1.0f : -1.0f;
        }
        if (tmin > tmax)
            return 0;
        if (tmax < kEpsilon)
            return 0;
    }
    if (segment && tmin > kSegmentEnd)
        return 0;
    nearPoint = ray.m_Origin + ray.m_Direction * tmin;
    if (farPoint)
        *farPoint = ray.m_Origin + ray.m_Direction * tmax;
    if (nearNormal) {
        *nearNormal = QxVector();
        if (entryAxis >= 0)
            (*nearNormal)[entryAxis] = entrySign;
    }
    if (farNormal) {
        *farNormal = QxVector();
        if (exitAxis >= 0)
            (*farNormal)[exitAxis] = exitSign;
    }
    return tmin <= kEpsilon ? -1 : 1;
}

} // namespace

int QxIntersectionBoxBox(const QxBbox& a, const QxBbox& b)
{
    for (int i = 0; i < 3; ++i) {
        if (b.Max[i] < a.Min[i] || b.Min[i] > a.Max[i])
            return 0;
    }
    return 1;
}

int QxIntersectionRayBox(const QxRay& ray, const QxBbox& box)
{
    const QxVector c = box.GetCenter();
    const QxVector e = box.GetHalfSize();
    const QxVector d = ray.m_Origin - c;
    const QxVector& w = ray.m_Direction;
    for (int i = 0; i < 3; ++i) {
        if (std::fabs(d[i]) > e[i] && w[i] * d[i] >= 0.0f)
            return 0;
    }
    return CrossAxesSeparate(w, d, e) ? 0 : 1;
}

int QxIntersectionSegmentBox(const QxRay& segment, const QxBbox& box)
{
    const QxVector c = box.GetCenter();
    const QxVector e = box.GetHalfSize();
    const QxVector h = segment.m_Direction * 0.5f;
    const QxVector d = (segment.m_Origin + h) - c;
    for (int i = 0; i < 3; ++i) {
        if (std::fabs(d[i]) > std::fabs(h[i]) + e[i])
            return 0;
    }
    return CrossAxesSeparate(h, d, e) ? 0 : 1;
}

int QxIntersectionRayBoxPoints(const QxRay& ray, const QxBbox& box, QxVector& nearPoint, QxVector* farPoint,
                               QxVector* nearNormal, QxVector* farNormal)
{
    return BoxPoints(false, ray, box, nearPoint, farPoint, nearNormal, farNormal);
}

int QxIntersectionSegmentBoxPoints(const QxRay& segment, const QxBbox& box, QxVector& nearPoint, QxVector* farPoint,
                                   QxVector* nearNormal, QxVector* farNormal)
{
    return BoxPoints(true, segment, box, nearPoint, farPoint, nearNormal, farNormal);
}

int QxIntersectionBoxOBB(const QxBbox& box, const QxOBB& obb)
{
    const QxVector a = box.GetHalfSize();
    const float b[3] = {obb.m_Extents[0], obb.m_Extents[1], obb.m_Extents[2]};
    const QxVector t = obb.m_Center - box.GetCenter();
    // R[i][j] = world axis i · obb axis j.
    float r[3][3], absR[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            r[i][j] = obb.m_Axis[j][i];
            absR[i][j] = std::fabs(r[i][j]) + kAxisTolerance;
        }

    // The box's axes.
    for (int i = 0; i < 3; ++i) {
        const float rb = b[0] * absR[i][0] + b[1] * absR[i][1] + b[2] * absR[i][2];
        if (std::fabs(t[i]) > a[i] + rb)
            return 0;
    }
    // The oriented box's axes.
    for (int j = 0; j < 3; ++j) {
        const float ra = a[0] * absR[0][j] + a[1] * absR[1][j] + a[2] * absR[2][j];
        const float tj = t[0] * r[0][j] + t[1] * r[1][j] + t[2] * r[2][j];
        if (std::fabs(tj) > ra + b[j])
            return 0;
    }
    // World axis i x obb axis j.
    for (int i = 0; i < 3; ++i) {
        const int i1 = (i + 1) % 3, i2 = (i + 2) % 3;
        for (int j = 0; j < 3; ++j) {
            const int j1 = (j + 1) % 3, j2 = (j + 2) % 3;
            const float ra = a[i1] * absR[i2][j] + a[i2] * absR[i1][j];
            const float rb = b[j1] * absR[i][j2] + b[j2] * absR[i][j1];
            const float tl = t[i2] * r[i1][j] - t[i1] * r[i2][j];
            if (std::fabs(tl) > ra + rb)
                return 0;
        }
    }
    return 1;
}

float QxSquareDistancePointBox(const QxVector& p, const QxBbox& box)
{
    float distance = 0.0f;
    for (int i = 0; i < 3; ++i) {
        if (p[i] < box.Min[i]) {
            const float d = p[i] - box.Min[i];
            distance += d * d;
        } else if (p[i] > box.Max[i]) {
            const float d = p[i] - box.Max[i];
            distance += d * d;
        }
    }
    return distance;
}

int QxIntersectionSphereBox(const QxSphere& sphere, const QxBbox& box)
{
    return QxSquareDistancePointBox(sphere.m_Center, box) <= sphere.m_Radius * sphere.m_Radius ? 1 : 0;
}

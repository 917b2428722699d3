#include "system/math/QxDistance.h"

#include <cmath>

float QxPointRaySquareDistance(const QxVector& p, const QxRay& ray, float* t)
{
    const QxVector d = p - ray.m_Origin;
    const float k = QxDotProduct(d, ray.m_Direction);
    if (k > 0.0f) {
        const float parameter = k / QxDotProduct(ray.m_Direction, ray.m_Direction);
        if (t)
            *t = parameter;
        return QxSquareMagnitude(d - ray.m_Direction * parameter);
    }
    if (t)
        *t = 0.0f;
    return QxSquareMagnitude(d);
}

float QxPointSegmentSquareDistance(const QxVector& p, const QxRay& segment, float* t)
{
    const QxVector d = p - segment.m_Origin;
    const float k = QxDotProduct(d, segment.m_Direction);
    if (k <= 0.0f) {
        if (t)
            *t = 0.0f;
        return QxSquareMagnitude(d);
    }
    const float length = QxDotProduct(segment.m_Direction, segment.m_Direction);
    if (length <= k) {
        if (t)
            *t = 1.0f;
        return QxSquareMagnitude(d - segment.m_Direction);
    }
    const float parameter = k / length;
    if (t)
        *t = parameter;
    return QxSquareMagnitude(d - segment.m_Direction * parameter);
}

float QxDistancePointCone(const QxCone& cone, const QxVector& p)
{
    const QxVector v = p - cone.m_Apex;
    const float h = QxDotProduct(cone.m_Axis, v);
    if (h >= 0.0f)
        return QxMagnitude(QxCrossProduct(cone.m_Axis, v)) * cone.m_K1 - h * cone.m_K2;
    return QxMagnitude(v);
}

#include "system/math/QxBbox.h"

#include <cmath>

void QxBbox::TransformFrom(const QxBbox& box, const QxMatrix& m)
{
    const QxVector delta = box.Max - box.Min;
    QxVector center = (box.Max + box.Min) * 0.5f;
    QxMultiplyMatrixVector(center, m, center);
    QxVector extent;
    for (int j = 0; j < 3; ++j)
        extent[j] = 0.5f * (std::fabs(m[0][j] * delta.x) + std::fabs(m[1][j] * delta.y) + std::fabs(m[2][j] * delta.z));
    Max = center + extent;
    Min = center - extent;
}

CKDWORD QxBbox::PointOutcode(const QxVector& p) const
{
    CKDWORD code = 0;
    if (p.x < Min.x)
        code |= QX_OUTCODE_POSITIVE_X;
    else if (p.x > Max.x)
        code |= QX_OUTCODE_NEGATIVE_X;
    if (p.y < Min.y)
        code |= QX_OUTCODE_POSITIVE_Y;
    else if (p.y > Max.y)
        code |= QX_OUTCODE_NEGATIVE_Y;
    if (p.z < Min.z)
        code |= QX_OUTCODE_POSITIVE_Z;
    else if (p.z > Max.z)
        code |= QX_OUTCODE_NEGATIVE_Z;
    return code;
}

CKDWORD QxBbox::BoxOutcode(const QxBbox& other) const
{
    CKDWORD code = 0;
    if (other.Max.x < Min.x)
        code |= QX_OUTCODE_POSITIVE_X;
    else if (other.Min.x > Max.x)
        code |= QX_OUTCODE_NEGATIVE_X;
    if (other.Max.y < Min.y)
        code |= QX_OUTCODE_POSITIVE_Y;
    else if (other.Min.y > Max.y)
        code |= QX_OUTCODE_NEGATIVE_Y;
    if (other.Max.z < Min.z)
        code |= QX_OUTCODE_POSITIVE_Z;
    else if (other.Min.z > Max.z)
        code |= QX_OUTCODE_NEGATIVE_Z;
    return code;
}

int QxBbox::Classify(const QxBbox& other, const QxVector& p) const
{
    const bool disjoint = BoxOutcode(other) != 0;
    if (!VectorIn(p)) {
        if (disjoint)
            return 0;
        if (IsBoxInside(other))
            return -1;
        if (!other.IsBoxInside(*this))
            return 0;
        return other.VectorIn(p) ? -1 : 1;
    }
    if (disjoint)
        return -1;
    return other.IsBoxInside(*this) ? 1 : 0;
}

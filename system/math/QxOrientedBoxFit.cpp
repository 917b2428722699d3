#include "system/math/QxOrientedBoxFit.h"

#include <cmath>
#include <cstring>

#include "system/math/QxEigenSymmetric3.h"

namespace {

using Byte = unsigned char;

QxVector PointAt(const void* points, CKDWORD stride, int i)
{
    QxVector p;
    std::memcpy(&p, static_cast<const Byte*>(points) + static_cast<size_t>(i) * stride, sizeof(p));
    return p;
}

// Axes and projection ranges shared by both entry points.
void PrincipalAxes(const void* points, CKDWORD stride, int count, QxVector axes[3], QxVector& low, QxVector& high)
{
    float c[3][3];
    QxCovarianceMatrix(c, points, stride, count);
    // Non-convergence leaves usable (if not principal) orthonormal-ish axes;
    // the callers' checks catch input that made them meaningless.
    (void) QxEigenSymmetric3(c, nullptr);
    for (int j = 0; j < 3; ++j)
        axes[j].Set(c[0][j], c[1][j], c[2][j]);
    axes[0].Normalize();
    axes[1].Normalize();
    QxCrossProduct(axes[0], axes[1], &axes[2]);

    const QxVector first = PointAt(points, stride, 0);
    for (int j = 0; j < 3; ++j)
        low[j] = high[j] = QxDotProduct(first, axes[j]);
    for (int i = 1; i < count; ++i) {
        const QxVector p = PointAt(points, stride, i);
        for (int j = 0; j < 3; ++j) {
            const float d = QxDotProduct(p, axes[j]);
            if (d < low[j])
                low[j] = d;
            if (d > high[j])
                high[j] = d;
        }
    }
}

} // namespace

void QxCovarianceMatrix(float C[3][3], const void* points, CKDWORD stride, int count)
{
    if (!points || count <= 0)
        return;
    float sx = 0, sy = 0, sz = 0, sxx = 0, syy = 0, szz = 0, sxy = 0, sxz = 0, syz = 0;
    for (int i = 0; i < count; ++i) {
        const QxVector p = PointAt(points, stride, i);
        sx += p.x;
        sy += p.y;
        sz += p.z;
        sxx += p.x * p.x;
        syy += p.y * p.y;
        szz += p.z * p.z;
        sxy += p.x * p.y;
        sxz += p.x * p.z;
        syz += p.y * p.z;
    }
    const float inv = 1.0f / static_cast<float>(count);
    const float mx = sx * inv, my = sy * inv, mz = sz * inv;
    C[0][0] = sxx * inv - mx * mx;
    C[1][1] = syy * inv - my * my;
    C[2][2] = szz * inv - mz * mz;
    C[0][1] = C[1][0] = sxy * inv - mx * my;
    C[0][2] = C[2][0] = sxz * inv - mx * mz;
    C[1][2] = C[2][1] = syz * inv - my * mz;
}

CKBOOL QxComputeOrientedBox(const void* points, CKDWORD stride, int count, QxMatrix& result, float margin)
{
    if (count < 1 || !points)
        return FALSE;
    QxVector axes[3], low, high;
    PrincipalAxes(points, stride, count, axes, low, high);
    float centre[3], half[3];
    for (int j = 0; j < 3; ++j) {
        centre[j] = 0.5f * (low[j] + high[j]);
        half[j] = 0.5f * (high[j] - low[j]) + margin;
    }
    const QxVector origin = centre[0] * axes[0] + centre[1] * axes[1] + centre[2] * axes[2];
    for (int j = 0; j < 3; ++j) {
        const QxVector row = axes[j] * half[j];
        result[j][0] = row.x;
        result[j][1] = row.y;
        result[j][2] = row.z;
        result[j][3] = 0.0f;
    }
    result[3][0] = origin.x;
    result[3][1] = origin.y;
    result[3][2] = origin.z;
    result[3][3] = 1.0f;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j)
            if (!(std::fabs(result[i][j]) <= 1e6f))
                return FALSE;
    return TRUE;
}

CKBOOL QxFitOrientedBox(const void* points, CKDWORD stride, int count, QxPrincipalBox& box, float tolerance)
{
    if (count < 1 || !points)
        return FALSE;
    QxVector axes[3], low, high;
    PrincipalAxes(points, stride, count, axes, low, high);
    for (int j = 0; j < 3; ++j) {
        box.m_Axis[j] = axes[j];
        box.m_Min[j] = low[j] - tolerance;
        box.m_Max[j] = high[j] + tolerance;
    }
    return TRUE;
}

#pragma once

#include "system/math/QxMatrix.h"
#include "system/math/QxPlane.h"
#include "system/math/QxVector.h"

// The view frustum: 43 floats. The inputs are the origin, the right, up and
// view direction axes (expected unit vectors), the right and up extents of
// the near rectangle (half width, half height) and the near and far distances;
// Update derives the depth ratio, two factors and the six planes. Each plane
// normal is unit length and points out of the frustum: p is inside when every
// plane gives normal·p + d <= 0.
class QxFrustum
{
public:
    // Origin 0, axes x, y, z, extents 1, near 1, far 2.
    QxFrustum();
    // near, far; right extent = tan(fieldOfView/2)·near, up extent = that x
    // aspect (aspect = height over width). The axes are stored unchanged.
    QxFrustum(const QxVector& origin, const QxVector& right, const QxVector& up, const QxVector& direction,
              float nearPlane, float farPlane, float fieldOfView, float aspect);

    // Recomputes the depth ratio far/near, the factors -2·r·f and -2·u·f and
    // the planes from the inputs.
    void Update();

    // The 8 corners: near (-1,-1), (-1,+1), (+1,+1), (+1,-1) in (right, up)
    // units, then the far corners in the same order.
    void ComputeVertices(QxVector corners[8]) const;

    // Transforms the frustum by an affine matrix (the extents take the
    // matrix's scale); then Update.
    void Transform(const QxMatrix& m);

    // Inputs.
    QxVector m_Origin;
    QxVector m_Right;
    QxVector m_Up;
    QxVector m_Dir;
    float m_RBound;
    float m_UBound;
    float m_DMin;
    float m_DMax;
    // Derived by Update.
    float m_DRatio;
    float m_RF;
    float m_UF;
    QxPlane m_LeftPlane;
    QxPlane m_RightPlane;
    QxPlane m_UpPlane;
    QxPlane m_BottomPlane;
    QxPlane m_NearPlane;
    QxPlane m_FarPlane;
};

static_assert(sizeof(QxFrustum) == 43 * sizeof(float), "QxFrustum is 43 floats");

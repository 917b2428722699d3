#include "system/math/QxFrustum.h"

#include <cmath>

#include "system/math/QxTransformPoints.h"

namespace {

// Divided by the square root of the squared length; a zero vector stays zero.
QxVector Normalised(const QxVector& v)
{
    const float length = std::sqrt(QxDotProduct(v, v));
    if (length == 0.0f)
        return v;
    return v / length;
}

} // namespace

QxFrustum::QxFrustum()
    : m_Origin(0.0f, 0.0f, 0.0f), m_Right(1.0f, 0.0f, 0.0f), m_Up(0.0f, 1.0f, 0.0f), m_Dir(0.0f, 0.0f, 1.0f),
      m_RBound(1.0f), m_UBound(1.0f), m_DMin(1.0f), m_DMax(2.0f), m_DRatio(0.0f), m_RF(0.0f), m_UF(0.0f)
{
    Update();
}

QxFrustum::QxFrustum(const QxVector& origin, const QxVector& right, const QxVector& up, const QxVector& direction,
                     float nearPlane, float farPlane, float fieldOfView, float aspect)
    : m_Origin(origin), m_Right(right), m_Up(up), m_Dir(direction), m_RBound(0.0f), m_UBound(0.0f), m_DMin(nearPlane),
      m_DMax(farPlane), m_DRatio(0.0f), m_RF(0.0f), m_UF(0.0f)
{
    const float halfTan = static_cast<float>(std::tan(0.5 * static_cast<double>(fieldOfView)));
    m_RBound = halfTan * nearPlane;
    m_UBound = halfTan * nearPlane * aspect;
    Update();
}

void QxFrustum::Update()
{
    m_DRatio = m_DMax / m_DMin;
    m_RF = -2.0f * m_RBound * m_DMax;
    m_UF = -2.0f * m_UBound * m_DMax;

    const QxVector d = m_Dir * m_DMin;
    const QxVector r = m_Right * m_RBound;
    const QxVector u = m_Up * m_UBound;
    // Near-rectangle offsets N(s, t) = n·D + s·r·R + t·u·U.
    const QxVector nMM = d - r - u;
    const QxVector nMP = d - r + u;
    const QxVector nPP = d + r + u;
    const QxVector nPM = d + r - u;

    m_NearPlane.Create(-m_Dir, m_Origin + nMM);
    m_FarPlane.Create(m_Dir, m_Origin + nPP * m_DRatio);
    m_LeftPlane.Create(Normalised(QxCrossProduct(nMM, nMP)), m_Origin + nMM);
    m_RightPlane.Create(Normalised(QxCrossProduct(nPP, nPM)), m_Origin + nPP);
    m_UpPlane.Create(Normalised(QxCrossProduct(nMP, nPP)), m_Origin + nPP);
    m_BottomPlane.Create(Normalised(QxCrossProduct(nPM, nMM)), m_Origin + nMM);
}

void QxFrustum::ComputeVertices(QxVector corners[8]) const
{
    const QxVector d = m_Dir * m_DMin;
    const QxVector r = m_Right * m_RBound;
    const QxVector u = m_Up * m_UBound;
    const QxVector offsets[4] = {d - r - u, d - r + u, d + r + u, d + r - u};
    for (int i = 0; i < 4; ++i) {
        corners[i] = m_Origin + offsets[i];
        corners[i + 4] = m_Origin + offsets[i] * m_DRatio;
    }
}

void QxFrustum::Transform(const QxMatrix& m)
{
    QxVector axes[3] = {m_Right * m_RBound, m_Up * m_UBound, m_Dir * m_DMin};
    QxMultiplyMatrixVector(m_Origin, m, m_Origin);
    QxRotateVectorsSameStride(axes, m, axes, 3, sizeof(QxVector));
    const float ratio = m_DRatio;
    float lengths[3];
    for (int i = 0; i < 3; ++i) {
        lengths[i] = QxMagnitude(axes[i]);
        if (lengths[i] != 0.0f)
            axes[i] /= lengths[i];
    }
    m_Right = axes[0];
    m_Up = axes[1];
    m_Dir = axes[2];
    m_RBound = lengths[0];
    m_UBound = lengths[1];
    m_DMin = lengths[2];
    m_DMax = ratio * m_DMin;
    Update();
}

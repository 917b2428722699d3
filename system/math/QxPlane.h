#pragma once

#include "system/math/QxVector.h"

// A plane: normal (a, b, c) and d; p lies on it when a·p.x + b·p.y + c·p.z + d = 0.
struct QxPlane
{
    QxVector m_Normal;
    float m_D;

    constexpr QxPlane() : m_Normal(), m_D(0.0f) {}
    constexpr QxPlane(const QxVector& normal, float d) : m_Normal(normal), m_D(d) {}
    QxPlane(const QxVector& normal, const QxVector& point) { Create(normal, point); }

    // The plane through point with this normal (not normalised): d = -normal·point.
    void Create(const QxVector& normal, const QxVector& point)
    {
        m_Normal = normal;
        m_D = -QxDotProduct(normal, point);
    }

    // normal·p + d: the signed distance for a unit normal.
    float Classify(const QxVector& p) const { return QxDotProduct(m_Normal, p) + m_D; }
};

static_assert(sizeof(QxPlane) == 16, "QxPlane is four floats");

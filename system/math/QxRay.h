#pragma once

#include "system/math/QxVector.h"

// An origin and a direction; also the segment from origin to origin +
// direction (parameter 0 .. 1).
struct QxRay
{
    QxVector m_Origin;
    QxVector m_Direction;

    constexpr QxRay() : m_Origin(), m_Direction() {}
    constexpr QxRay(const QxVector& origin, const QxVector& direction) : m_Origin(origin), m_Direction(direction) {}

    // result = origin + t·direction.
    void Interpolate(float t, QxVector& result) const { result = m_Origin + m_Direction * t; }
};

static_assert(sizeof(QxRay) == 24, "QxRay is six floats");

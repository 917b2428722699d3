#pragma once

#include "system/math/QxVector.h"

// A cone: apex, unit axis and, for a half-angle θ, k1 = cos θ and k2 = sin θ.
struct QxCone
{
    QxVector m_Apex;
    QxVector m_Axis;
    float m_K1;
    float m_K2;
};

static_assert(sizeof(QxCone) == 8 * sizeof(float), "QxCone is eight floats");

#pragma once

#include "system/math/QxVector.h"

// An oriented box: centre, three unit axes and the half extent along each.
struct QxOBB
{
    QxVector m_Center;
    QxVector m_Axis[3];
    float m_Extents[3];
};

static_assert(sizeof(QxOBB) == 15 * sizeof(float), "QxOBB is fifteen floats");

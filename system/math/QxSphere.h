#pragma once

#include "system/math/QxVector.h"

// A sphere: centre and radius.
struct QxSphere
{
    QxVector m_Center;
    float m_Radius;
};

static_assert(sizeof(QxSphere) == 16, "QxSphere is four floats");

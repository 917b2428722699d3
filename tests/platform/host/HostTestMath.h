#pragma once

#include <gtest/gtest.h>

#include "platform/host/Matrix3.h"

// Comparisons of the host's points and matrices, element by element.
inline void ExpectNear(const Point3& a, const Point3& b, float tolerance = 1e-4f)
{
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

inline void ExpectNear(const Matrix3& a, const Matrix3& b, float tolerance = 1e-4f)
{
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE("row " + std::to_string(i));
        ExpectNear(a[i], b[i], tolerance);
    }
}

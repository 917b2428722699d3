#include <gtest/gtest.h>

#include <cmath>

#include "system/math/QxFrustum.h"
#include "system/math/QxMatrixRotation.h"
#include "tests/system/support/MathTestUtil.h"

namespace {

const float kPi = 3.14159265358979f;

bool Contains(const QxFrustum& f, const QxVector& p)
{
    const QxPlane* planes[6] = {&f.m_LeftPlane,   &f.m_RightPlane, &f.m_UpPlane,
                                &f.m_BottomPlane, &f.m_NearPlane,  &f.m_FarPlane};
    for (const QxPlane* plane : planes)
        if (plane->Classify(p) > 1e-5f)
            return false;
    return true;
}

} // namespace

TEST(QxFrustum, DefaultFrustumHasOutwardUnitPlanesAndContainsPointsBetweenNearAndFarOnly)
{
    const QxFrustum f;
    EXPECT_EQ(f.m_DRatio, 2.0f);
    EXPECT_EQ(f.m_RF, -4.0f);
    EXPECT_EQ(f.m_UF, -4.0f);
    const float h = 0.70710678f;
    EXPECT_VECTOR_NEAR(f.m_LeftPlane.m_Normal + f.m_RightPlane.m_Normal, 0, 0, -2 * h, 1e-6);
    EXPECT_VECTOR_NEAR(f.m_UpPlane.m_Normal - f.m_BottomPlane.m_Normal, 0, 2 * h, 0, 1e-6);
    EXPECT_EQ(f.m_NearPlane.m_Normal, QxVector(0, 0, -1));
    EXPECT_EQ(f.m_FarPlane.m_Normal, QxVector(0, 0, 1));
    EXPECT_NEAR(f.m_RightPlane.m_Normal.x, h, 1e-6);
    EXPECT_TRUE(Contains(f, QxVector(0, 0, 1.5f)));
    EXPECT_TRUE(Contains(f, QxVector(1.9f, 0, 1.95f)));
    for (const QxVector& p : {QxVector(0, 0, 3), QxVector(0, 0, 0.5f), QxVector(1.9f, 0, 1.5f)})
        EXPECT_FALSE(Contains(f, p));
}

TEST(QxFrustum, FieldOfViewSetsTheExtentsAndCornersFollowTheOrder)
{
    const QxVector origin(1, 2, 3);
    const QxFrustum f(origin, QxVector::AxisX(), QxVector::AxisY(), QxVector::AxisZ(), 1.0f, 10.0f, kPi / 2, 1.0f);
    EXPECT_FLOAT_EQ(f.m_RBound, 1.0f);
    EXPECT_FLOAT_EQ(f.m_UBound, 1.0f);
    EXPECT_EQ(f.m_DRatio, 10.0f);
    QxVector corners[8];
    f.ComputeVertices(corners);
    EXPECT_VECTOR_NEAR(corners[0], 0, 1, 4, 1e-6);
    EXPECT_VECTOR_NEAR(corners[1], 0, 3, 4, 1e-6);
    EXPECT_VECTOR_NEAR(corners[2], 2, 3, 4, 1e-6);
    EXPECT_VECTOR_NEAR(corners[3], 2, 1, 4, 1e-6);
    // origin + 10·(D + R - U)
    EXPECT_VECTOR_NEAR(corners[7], 11, -8, 13, 1e-5);
    for (const QxVector& c : corners)
        EXPECT_TRUE(Contains(f, c));
}

TEST(QxFrustum, TransformMovesTheFrustumWithItsCornersAndKeepsTheRatio)
{
    const QxFrustum original(QxVector(0, 0, 0), QxVector::AxisX(), QxVector::AxisY(), QxVector::AxisZ(), 1.0f, 20.0f,
                             1.0f, 0.75f);
    QxMatrix m;
    QxMatrixFromAxisAngle(m, QxVector(1, 2, 3), 0.8f);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            m[i][j] *= 2.0f;
    m[3][0] = 4;
    m[3][1] = -3;
    m[3][2] = 7;
    QxFrustum moved = original;
    moved.Transform(m);
    EXPECT_FLOAT_EQ(moved.m_DRatio, 20.0f);
    EXPECT_FLOAT_EQ(moved.m_DMin, 2.0f);
    EXPECT_FLOAT_EQ(moved.m_DMax, 40.0f);
    EXPECT_NEAR(QxMagnitude(moved.m_Right), 1.0f, 1e-6);
    QxVector before[8], after[8];
    original.ComputeVertices(before);
    moved.ComputeVertices(after);
    for (int i = 0; i < 8; ++i) {
        QxVector expected;
        QxMultiplyMatrixVector(expected, m, before[i]);
        EXPECT_LT(mathtest::Distance(expected, after[i]), 1e-4) << i;
    }
    // A point inside stays inside after the move.
    QxVector inside;
    QxMultiplyMatrixVector(inside, m, QxVector(0.1f, -0.1f, 5));
    EXPECT_TRUE(Contains(moved, inside));
}

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "system/math/Qx2DVector.h"
#include "system/math/QxClamp.h"
#include "system/math/QxVector.h"
#include "system/math/QxVector4.h"
#include "tests/system/support/MathTestUtil.h"

TEST(QxVector, ConstantVectorsHoldTheAxesAndZeroWithoutStartUp)
{
    EXPECT_EQ(QxVector::AxisX(), QxVector(1, 0, 0));
    EXPECT_EQ(QxVector::AxisY(), QxVector(0, 1, 0));
    EXPECT_EQ(QxVector::AxisZ(), QxVector(0, 0, 1));
    EXPECT_EQ(QxVector::Zero(), QxVector(0, 0, 0));
    // One process-wide object each.
    EXPECT_EQ(&QxVector::AxisZ(), &QxVector::AxisZ());
}

TEST(QxVector, NormalizeOfThreeZeroFourIsExactlyPointSixZeroPointEight)
{
    QxVector v(3, 0, 4);
    v.Normalize();
    EXPECT_EQ(v.x, 0.6f);
    EXPECT_EQ(v.y, 0.0f);
    EXPECT_EQ(v.z, 0.8f);
}

TEST(QxVector, NormalizingAZeroVectorLeavesItZero)
{
    QxVector v;
    v.Normalize();
    EXPECT_EQ(v, QxVector(0, 0, 0));
    EXPECT_EQ(QxNormalize(QxVector()), QxVector(0, 0, 0));
}

TEST(QxVector, NormalizeKeepsTinyAndHugeVectorsInRangeThroughDoublePrecision)
{
    QxVector tiny(1e-30f, 0, 0);
    tiny.Normalize();
    EXPECT_EQ(tiny, QxVector(1, 0, 0));
    QxVector huge(3e38f, 3e38f, 0);
    huge.Normalize();
    EXPECT_NEAR(huge.x, 0.70710678f, 1e-7f);
    EXPECT_NEAR(huge.y, 0.70710678f, 1e-7f);
}

TEST(QxVector, NormalizeFreeFunctionWritesTheResultAndMayAliasItsInput)
{
    QxVector v(0, 2, 0);
    QxVector& r = QxNormalize(v, v);
    EXPECT_EQ(&r, &v);
    EXPECT_EQ(v, QxVector(0, 1, 0));
}

TEST(QxVector, DotAndCrossProductsFollowTheRightHandRule)
{
    EXPECT_EQ(QxDotProduct(QxVector(1, 2, 3), QxVector(4, -5, 6)), 12.0f);
    EXPECT_EQ(QxCrossProduct(QxVector::AxisX(), QxVector::AxisY()), QxVector(0, 0, 1));
    EXPECT_EQ(QxCrossProduct(QxVector::AxisY(), QxVector::AxisZ()), QxVector(1, 0, 0));
    EXPECT_EQ(QxCrossProduct(QxVector::AxisZ(), QxVector::AxisX()), QxVector(0, 1, 0));
}

TEST(QxVector, CrossProductResultMayAliasEitherOperand)
{
    mathtest::Random random(7);
    for (int i = 0; i < 200; ++i) {
        const QxVector a = random.Vector(-5, 5), b = random.Vector(-5, 5);
        const QxVector expected = QxCrossProduct(a, b);
        QxVector x = a;
        QxCrossProduct(x, b, &x);
        EXPECT_EQ(x, expected);
        QxVector y = b;
        QxCrossProduct(a, y, &y);
        EXPECT_EQ(y, expected);
    }
}

TEST(QxVector, MagnitudeMinMaxAndOperatorsWorkComponentWise)
{
    EXPECT_EQ(QxMagnitude(QxVector(2, 3, 6)), 7.0f);
    EXPECT_EQ(QxMin(QxVector(1, 5, -2), QxVector(3, -1, -2)), QxVector(1, -1, -2));
    EXPECT_EQ(QxMax(QxVector(1, 5, -2), QxVector(3, -1, -2)), QxVector(3, 5, -2));
    EXPECT_EQ(QxVector(1, 2, 3) - QxVector(3, 2, 1), QxVector(-2, 0, 2));
    EXPECT_EQ(QxVector(1, 2, 3) + QxVector(3, 2, 1), QxVector(4, 4, 4));
    EXPECT_EQ(QxVector(1, 2, 3) * 2.0f, QxVector(2, 4, 6));
    EXPECT_EQ(2.0f * QxVector(1, 2, 3), QxVector(2, 4, 6));
    EXPECT_EQ(QxVector(2, 4, 6) / 2.0f, QxVector(1, 2, 3));
    EXPECT_EQ(-QxVector(1, -2, 3), QxVector(-1, 2, -3));
    QxVector v(1, 1, 1);
    v += QxVector(1, 2, 3);
    v *= 2.0f;
    EXPECT_EQ(v, QxVector(4, 6, 8));
    EXPECT_EQ(v[0], 4.0f);
    EXPECT_EQ(v[2], 8.0f);
    QxVector4 h(1, 2, 3, 4);
    EXPECT_EQ(h[3], 4.0f);
    EXPECT_EQ(Qx2DVector(1, 2) + Qx2DVector(3, 4), Qx2DVector(4, 6));
}

TEST(QxClamp, ClampsBelowToTheMinimumAndAboveToTheMaximum)
{
    const int low = 0, high = 10;
    int v = -3;
    QxClamp(&v, &low, &high);
    EXPECT_EQ(v, 0);
    v = 12;
    QxClamp(&v, &low, &high);
    EXPECT_EQ(v, 10);
    v = 5;
    QxClamp(&v, &low, &high);
    EXPECT_EQ(v, 5);
}

#include <gtest/gtest.h>

#include "system/math/Qx2DVector.h"
#include "system/math/QxClamp.h"
#include "system/math/QxVector.h"
#include "system/math/QxVector4.h"
#include "tests/system/support/MathTestUtil.h"

TEST(QxVector, NormalizeIsExactThroughDoublePrecisionAndLeavesZeroAlone)
{
    QxVector v(3, 0, 4);
    v.Normalize();
    EXPECT_EQ(v, QxVector(0.6f, 0.0f, 0.8f));
    QxVector zero;
    zero.Normalize();
    EXPECT_EQ(zero, QxVector(0, 0, 0));
    EXPECT_EQ(QxNormalize(QxVector()), QxVector(0, 0, 0));
    QxVector tiny(1e-30f, 0, 0), huge(3e38f, 3e38f, 0);
    tiny.Normalize();
    huge.Normalize();
    EXPECT_EQ(tiny, QxVector(1, 0, 0));
    EXPECT_NEAR(huge.x, 0.70710678f, 1e-7f);
    EXPECT_NEAR(huge.y, 0.70710678f, 1e-7f);
    QxVector w(0, 2, 0);
    EXPECT_EQ(&QxNormalize(w, w), &w);
    EXPECT_EQ(w, QxVector(0, 1, 0));
}

TEST(QxVector, CrossProductsAreRightHandedAndMayWriteIntoAnOperand)
{
    EXPECT_EQ(QxCrossProduct(QxVector::AxisX(), QxVector::AxisY()), QxVector::AxisZ());
    EXPECT_EQ(QxCrossProduct(QxVector::AxisY(), QxVector::AxisZ()), QxVector::AxisX());
    EXPECT_EQ(QxCrossProduct(QxVector::AxisZ(), QxVector::AxisX()), QxVector(0, 1, 0));
    EXPECT_EQ(QxVector::Zero(), QxVector(0, 0, 0));
    mathtest::Random random(7);
    for (int i = 0; i < 200; ++i) {
        const QxVector a = random.Vector(-5, 5), b = random.Vector(-5, 5);
        const QxVector expected = QxCrossProduct(a, b);
        QxVector x = a, y = b;
        QxCrossProduct(x, b, &x);
        QxCrossProduct(a, y, &y);
        ASSERT_EQ(x, expected);
        ASSERT_EQ(y, expected);
    }
}

TEST(QxVector, OperatorsWorkComponentWiseAndClampHoldsToTheBounds)
{
    EXPECT_EQ(QxDotProduct(QxVector(1, 2, 3), QxVector(4, -5, 6)), 12.0f);
    EXPECT_EQ(QxMagnitude(QxVector(2, 3, 6)), 7.0f);
    EXPECT_EQ(QxMin(QxVector(1, 5, -2), QxVector(3, -1, -2)), QxVector(1, -1, -2));
    EXPECT_EQ(QxMax(QxVector(1, 5, -2), QxVector(3, -1, -2)), QxVector(3, 5, -2));
    EXPECT_EQ(QxVector(1, 2, 3) - QxVector(3, 2, 1), QxVector(-2, 0, 2));
    EXPECT_EQ(2.0f * QxVector(1, 2, 3) + -QxVector(1, -2, 3), QxVector(1, 6, 3));
    EXPECT_EQ(QxVector(2, 4, 6) / 2.0f, QxVector(1, 2, 3));
    QxVector v(1, 1, 1);
    v += QxVector(1, 2, 3);
    v *= 2.0f;
    EXPECT_EQ(v, QxVector(4, 6, 8));
    EXPECT_EQ(v[2], 8.0f);
    EXPECT_EQ(QxVector4(1, 2, 3, 4)[3], 4.0f);
    EXPECT_EQ(Qx2DVector(1, 2) + Qx2DVector(3, 4), Qx2DVector(4, 6));
    EXPECT_EQ(Qx2DVector(1, 2) - Qx2DVector(3, 5), Qx2DVector(-2, -3));
    EXPECT_EQ(Qx2DVector(1, 2) * 2.0f, Qx2DVector(2, 4));
    // Clamping takes the minimum below and the maximum above.
    const int low = 0, high = 10;
    for (auto [in, out] : {std::pair{-3, 0}, {12, 10}, {5, 5}}) {
        QxClamp(&in, &low, &high);
        EXPECT_EQ(in, out);
    }
}

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "system/math/QxEigenSymmetric3.h"
#include "system/math/QxOrientedBoxFit.h"
#include "tests/system/support/MathTestUtil.h"

namespace {

std::vector<QxVector> BoxCorners(const QxVector& low, const QxVector& high)
{
    std::vector<QxVector> corners;
    for (int c = 0; c < 8; ++c)
        corners.emplace_back((c & 1) ? high.x : low.x, (c & 2) ? high.y : low.y, (c & 4) ? high.z : low.z);
    return corners;
}

QxVector Row(const QxMatrix& m, int i)
{
    return QxVector(m[i][0], m[i][1], m[i][2]);
}

} // namespace

TEST(QxComputeOrientedBox, AxisAlignedCornersGiveTheAxesInOrder)
{
    const std::vector<QxVector> corners = BoxCorners(QxVector(-1, -2, -3), QxVector(1, 2, 3));
    QxMatrix box;
    ASSERT_TRUE(QxComputeOrientedBox(corners.data(), sizeof(QxVector), 8, box, 0.0f));
    EXPECT_VECTOR_NEAR(Row(box, 0), 1, 0, 0, 1e-6);
    EXPECT_VECTOR_NEAR(Row(box, 1), 0, 2, 0, 1e-6);
    EXPECT_VECTOR_NEAR(Row(box, 2), 0, 0, 3, 1e-6);
    EXPECT_VECTOR_NEAR(Row(box, 3), 0, 0, 0, 1e-6);
    EXPECT_EQ(box[0][3], 0.0f);
    EXPECT_EQ(box[3][3], 1.0f);
    ASSERT_TRUE(QxComputeOrientedBox(corners.data(), sizeof(QxVector), 8, box, 0.5f));
    EXPECT_VECTOR_NEAR(Row(box, 0), 1.5f, 0, 0, 1e-6);
    EXPECT_VECTOR_NEAR(Row(box, 1), 0, 2.5f, 0, 1e-6);
    EXPECT_VECTOR_NEAR(Row(box, 2), 0, 0, 3.5f, 1e-6);
}

TEST(QxComputeOrientedBox, NoPointsHugeOrNonFiniteOnesFailAndLeaveTheResult)
{
    QxMatrix box = QxMatrix::Identity();
    box[3][0] = 42;
    const QxMatrix before = box;
    const QxVector p(1, 2, 3);
    EXPECT_FALSE(QxComputeOrientedBox(&p, 12, 0, box, 0));
    EXPECT_FALSE(QxComputeOrientedBox(nullptr, 12, 5, box, 0));
    EXPECT_EQ(box, before);
    // Boxes beyond the range and non-finite ones are refused.
    mathtest::WarningCapture warnings;
    const std::vector<QxVector> huge = BoxCorners(QxVector(-2e6f, 0, 0), QxVector(2e6f, 1, 1));
    EXPECT_FALSE(QxComputeOrientedBox(huge.data(), 12, 8, box, 0));
    std::vector<QxVector> bad = BoxCorners(QxVector(0, 0, 0), QxVector(1, 1, 1));
    bad[3].y = std::numeric_limits<float>::quiet_NaN();
    EXPECT_FALSE(QxComputeOrientedBox(bad.data(), 12, 8, box, 0));
}

TEST(QxComputeOrientedBox, OrientedBoxesContainEveryPoint)
{
    mathtest::Random random(61);
    for (int n = 0; n < 300; ++n) {
        // A random elongated cloud in a random frame, stored with a stride.
        const QxMatrix frame = random.Affine(0.5f, 4.0f);
        const int count = random.Int(1, 60);
        const CKDWORD stride = 16;
        std::vector<float> storage(count * 4);
        std::vector<QxVector> points(count);
        for (int i = 0; i < count; ++i) {
            QxVector local(random.Uniform(-3, 3), random.Uniform(-1, 1), random.Uniform(-0.2f, 0.2f));
            QxMultiplyMatrixVector(points[i], frame, local);
            std::memcpy(&storage[i * 4], &points[i], sizeof(QxVector));
        }
        QxMatrix box;
        ASSERT_TRUE(QxComputeOrientedBox(storage.data(), stride, count, box, 0.0f));
        // Each point's offset from the centre along each unit axis is within
        // that axis's half extent (the row length).
        const QxVector centre = Row(box, 3);
        for (int j = 0; j < 3; ++j) {
            const QxVector row = Row(box, j);
            const float half = QxMagnitude(row);
            const QxVector axis = half > 0 ? row / half : row;
            if (j < 2 && half > 0) {
                ASSERT_NEAR(QxMagnitude(axis), 1.0f, 1e-6);
            }
            for (const QxVector& p : points)
                ASSERT_LE(std::fabs(QxDotProduct(p - centre, axis)), half + 1e-4f) << n << " axis " << j;
        }
    }
}

TEST(QxFitOrientedBox, ReportsTheAxesAndTheProjectionRangesOfTheCovariance)
{
    const std::vector<QxVector> corners = BoxCorners(QxVector(1, -2, -3), QxVector(3, 2, 3));
    QxPrincipalBox fit;
    ASSERT_TRUE(QxFitOrientedBox(corners.data(), 12, 8, fit, 0.1f));
    EXPECT_VECTOR_NEAR(fit.m_Axis[0], 1, 0, 0, 1e-6);
    EXPECT_VECTOR_NEAR(fit.m_Axis[1], 0, 1, 0, 1e-6);
    EXPECT_VECTOR_NEAR(fit.m_Axis[2], 0, 0, 1, 1e-6);
    EXPECT_VECTOR_NEAR(fit.m_Min, 0.9f, -2.1f, -3.1f, 1e-6);
    EXPECT_VECTOR_NEAR(fit.m_Max, 3.1f, 2.1f, 3.1f, 1e-6);
    QxPrincipalBox untouched;
    untouched.m_Min = QxVector(7, 7, 7);
    EXPECT_FALSE(QxFitOrientedBox(corners.data(), 12, 0, untouched, 0.1f));
    EXPECT_FALSE(QxFitOrientedBox(nullptr, 12, 8, untouched, 0.1f));
    EXPECT_EQ(untouched.m_Min, QxVector(7, 7, 7));
    // The covariance of axis-aligned corners is diagonal.
    const std::vector<QxVector> centred = BoxCorners(QxVector(-1, -2, -3), QxVector(1, 2, 3));
    float c[3][3] = {};
    QxCovarianceMatrix(c, centred.data(), 12, 8);
    EXPECT_EQ(c[0][0], 1.0f);
    EXPECT_EQ(c[1][1], 4.0f);
    EXPECT_EQ(c[2][2], 9.0f);
    EXPECT_EQ(c[0][1], 0.0f);
    EXPECT_EQ(c[1][2], 0.0f);
}

TEST(QxEigenSymmetric3, EigenvectorsDiagonaliseRandomSymmetricMatricesAndNaNStops)
{
    mathtest::Random random(62);
    for (int n = 0; n < 1000; ++n) {
        float c[3][3];
        for (int i = 0; i < 3; ++i)
            for (int j = i; j < 3; ++j)
                c[i][j] = c[j][i] = random.Uniform(-5, 5);
        const float original[3][3] = {
            {c[0][0], c[0][1], c[0][2]}, {c[1][0], c[1][1], c[1][2]}, {c[2][0], c[2][1], c[2][2]}};
        float values[3];
        ASSERT_TRUE(QxEigenSymmetric3(c, values));
        // C·v = λ·v for each column v.
        for (int k = 0; k < 3; ++k)
            for (int i = 0; i < 3; ++i) {
                double cv = 0;
                for (int j = 0; j < 3; ++j)
                    cv += double(original[i][j]) * c[j][k];
                ASSERT_NEAR(cv, double(values[k]) * c[i][k], 2e-5) << n;
            }
    }
    // Non-finite input stops and reports failure.
    mathtest::WarningCapture warnings;
    float nan[3][3] = {{1, std::numeric_limits<float>::quiet_NaN(), 2}, {0, 1, 0}, {2, 0, 1}};
    nan[1][0] = nan[0][1];
    EXPECT_FALSE(QxEigenSymmetric3(nan, nullptr));
    EXPECT_EQ(warnings.Texts().size(), 1u);
}

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "system/math/QxComposeMatrix.h"
#include "system/math/QxDecomposeMatrix.h"
#include "tests/system/support/MathTestUtil.h"

namespace {

QxMatrix Diagonal(float a, float b, float c)
{
    QxMatrix m = QxMatrix::Identity();
    m[0][0] = a;
    m[1][1] = b;
    m[2][2] = c;
    return m;
}

void ExpectIdentityQuaternion(const QxQuaternion& q, double tolerance)
{
    EXPECT_NEAR(std::fabs(q.w), 1.0, tolerance);
    EXPECT_NEAR(q.x, 0.0, tolerance);
    EXPECT_NEAR(q.y, 0.0, tolerance);
    EXPECT_NEAR(q.z, 0.0, tolerance);
}

double MaxRelativeDifference3x4(const QxMatrix& a, const QxMatrix& b)
{
    double scale = 1e-30;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j)
            scale = std::fmax(scale, std::fabs(a[i][j]));
    return mathtest::MaxAbsDifference(a, b, 4, 3) / scale;
}

} // namespace

TEST(QxDecomposeMatrixEx, DiagonalScaleAndMirrorSplitIntoTheirParts)
{
    QxMatrix m = Diagonal(2, 3, 4);
    m[3][0] = 1;
    m[3][1] = 2;
    m[3][2] = 3;
    QxQuaternion rotation, scaleOrientation;
    QxVector position, scale;
    EXPECT_EQ(QxDecomposeMatrixEx(m, &rotation, &position, &scale, &scaleOrientation), 1.0f);
    EXPECT_EQ(position, QxVector(1, 2, 3));
    ExpectIdentityQuaternion(rotation, 1e-6);
    EXPECT_VECTOR_NEAR(scale, 2, 3, 4, 1e-5);
    ExpectIdentityQuaternion(scaleOrientation, 1e-6);
    EXPECT_EQ(QxDecomposeMatrixEx(Diagonal(-1, 1, 1), &rotation, nullptr, &scale, &scaleOrientation), -1.0f);
    QxMatrix r;
    rotation.ToMatrix(r);
    EXPECT_NEAR(r.GetDeterminant(), 1.0f, 1e-6);
    // Only the position asked: no decomposition, so no warning for a NaN.
    mathtest::WarningCapture warnings;
    m[1][1] = std::numeric_limits<float>::quiet_NaN();
    m[0][0] = -1;
    EXPECT_EQ(QxDecomposeMatrixEx(m, nullptr, &position, nullptr, nullptr), 1.0f);
    EXPECT_EQ(position, QxVector(1, 2, 3));
    EXPECT_EQ(QxDecomposeMatrixEx(Diagonal(-1, 1, 1), nullptr, nullptr, nullptr, nullptr), 1.0f);
    EXPECT_TRUE(warnings.Texts().empty());
}

TEST(QxDecomposeMatrix, QuickFormGivesAMirrorANegativeZScaleAndReadsRowLengths)
{
    QxQuaternion rotation;
    QxVector position, scale;
    QxDecomposeMatrix(Diagonal(-1, 1, 1), rotation, position, scale);
    EXPECT_EQ(scale, QxVector(1, 1, -1));
    // The rotation turns (-1, 0, 0), (0, 1, 0) into a proper frame: half a turn about y.
    QxMatrix r;
    rotation.ToMatrix(r);
    EXPECT_NEAR(r.GetDeterminant(), 1.0f, 1e-6);
    EXPECT_VECTOR_NEAR(QxVector(r[0][0], r[0][1], r[0][2]), -1, 0, 0, 1e-6);
    // Otherwise it reads the row lengths and the translation.
    mathtest::Random random(51);
    for (int n = 0; n < 200; ++n) {
        const QxQuaternion q = random.UnitQuaternion();
        const QxVector s = random.Vector(0.2f, 5), p = random.Vector(-9, 9);
        QxMatrix m;
        QxComposeMatrix(m, p, s, q);
        QxDecomposeMatrix(m, rotation, position, scale);
        ASSERT_EQ(position, p);
        ASSERT_LT(mathtest::Distance(scale, s), 1e-5 * 5);
        QxMatrix rebuilt;
        QxComposeMatrix(rebuilt, position, scale, rotation);
        ASSERT_LT(mathtest::MaxAbsDifference(rebuilt, m), 1e-5);
    }
}

TEST(QxDecomposeMatrixEx, DecomposeThenComposeReproducesRandomMatrices)
{
    mathtest::Random random(52);
    mathtest::WarningCapture warnings;
    for (int n = 0; n < 3000; ++n) {
        const bool mirror = n % 2 == 1;
        const QxMatrix m = random.Affine(0.1f, 10.0f, mirror);
        QxQuaternion rotation, scaleOrientation;
        QxVector position, scale;
        const float f = QxDecomposeMatrixEx(m, &rotation, &position, &scale, &scaleOrientation);
        ASSERT_EQ(f, mirror ? -1.0f : 1.0f) << n;
        ASSERT_GE(scale.x, 0.0f);
        ASSERT_GE(scale.y, 0.0f);
        ASSERT_GE(scale.z, 0.0f);
        QxMatrix rebuilt;
        QxComposeMatrixEx(rebuilt, position, scale, rotation, scaleOrientation, f);
        ASSERT_LT(MaxRelativeDifference3x4(m, rebuilt), 2e-6) << n;
    }
    EXPECT_TRUE(warnings.Texts().empty());
}

TEST(QxDecomposeMatrixEx, EqualScalesAreHandledByEachTurnOfTheSnuggle)
{
    mathtest::Random random(53);
    const QxVector scales[] = {QxVector(2, 2, 2), QxVector(2, 2, 5), QxVector(2, 5, 2), QxVector(5, 2, 2),
                               QxVector(1, 3, 7)};
    for (const QxVector& s : scales) {
        for (int n = 0; n < 200; ++n) {
            const QxQuaternion q = random.UnitQuaternion(), so = random.UnitQuaternion();
            QxMatrix m;
            QxComposeMatrixEx(m, random.Vector(-3, 3), s, q, so);
            QxQuaternion rotation, scaleOrientation;
            QxVector position, scale;
            const float f = QxDecomposeMatrixEx(m, &rotation, &position, &scale, &scaleOrientation);
            ASSERT_EQ(f, 1.0f);
            QxMatrix rebuilt;
            QxComposeMatrixEx(rebuilt, position, scale, rotation, scaleOrientation, f);
            ASSERT_LT(MaxRelativeDifference3x4(m, rebuilt), 2e-6);
            // The scale factors come back as a permutation of the originals.
            const float sum = scale.x + scale.y + scale.z;
            ASSERT_NEAR(sum, s.x + s.y + s.z, 1e-4);
            // The rotation is the original one (up to the quaternion's sign).
            QxMatrix r0, r1;
            q.ToMatrix(r0);
            rotation.ToMatrix(r1);
            ASSERT_LT(mathtest::MaxAbsDifference(r0, r1), 2e-5);
        }
    }
}

TEST(QxDecomposeMatrixEx, SnuggleBringsTheScaleOrientationNearTheIdentity)
{
    // A scale orientation that is a quarter turn about z is a cube symmetry:
    // the snuggle removes it and swaps the x and y scales instead.
    QxQuaternion quarter;
    quarter.FromRotation(QxVector::AxisZ(), 3.14159265f / 2);
    QxMatrix m;
    QxComposeMatrixEx(m, QxVector(), QxVector(1, 2, 3), QxQuaternion(), quarter);
    QxQuaternion rotation, scaleOrientation;
    QxVector scale;
    QxDecomposeMatrixEx(m, &rotation, nullptr, &scale, &scaleOrientation);
    ExpectIdentityQuaternion(scaleOrientation, 1e-5);
    EXPECT_VECTOR_NEAR(scale, 2, 1, 3, 1e-5);
}

TEST(QxPolarDecomposition, RankDeficientMatricesStillGiveAnOrthogonalFactorAndSpectralRebuilds)
{
    const QxMatrix cases[] = {
        Diagonal(0, 0, 0),
        Diagonal(2, 0, 0),
        Diagonal(2, 3, 0),
        QxMatrix(1, 2, 3, 0, 2, 4, 6, 0, -1, -2, -3, 0, 0, 0, 0, 1),
        QxMatrix(1, 0, 1, 0, 0, 1, 1, 0, 1, 1, 2, 0, 0, 0, 0, 1),
    };
    for (const QxMatrix& m : cases) {
        QxMatrix q, s;
        QxPolarDecomposition(m, q, s);
        QxMatrix qt, product;
        QxTransposeMatrix(qt, q);
        QxMultiplyMatrix(product, qt, q);
        EXPECT_LT(mathtest::MaxAbsDifference(product, QxMatrix::Identity(), 3, 3), 1e-5);
        // S·Q gives m back.
        QxMultiplyMatrix(product, q, s);
        EXPECT_LT(mathtest::MaxAbsDifference(product, m, 3, 3), 1e-5);
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                EXPECT_EQ(s[i][j], s[j][i]);
    }
    // The spectral decomposition rebuilds the symmetric matrix from its eigenvectors.
    QxMatrix sym = QxMatrix::Identity();
    sym[0][0] = 4;
    sym[1][1] = 3;
    sym[2][2] = 2;
    sym[0][1] = sym[1][0] = 1;
    sym[1][2] = sym[2][1] = 0.5f;
    QxMatrix u;
    const QxVector k = QxSpectralDecomposition(sym, u);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const double value =
                double(u[i][0]) * u[j][0] * k.x + double(u[i][1]) * u[j][1] * k.y + double(u[i][2]) * u[j][2] * k.z;
            EXPECT_NEAR(value, sym[i][j], 1e-5);
        }
    EXPECT_NEAR(u.GetDeterminant(), 1.0f, 1e-6);
}

TEST(QxPolarDecomposition, NonFiniteInputGivesTheIdentityWithoutAWarningAndExtremeScalesStayInRange)
{
    mathtest::WarningCapture warnings;
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (float bad : {inf, -inf, nan}) {
        QxMatrix m = Diagonal(1, 2, 3);
        m[1][2] = bad;
        QxMatrix q, s;
        EXPECT_EQ(QxPolarDecomposition(m, q, s), 1.0f);
        EXPECT_EQ(q, QxMatrix::Identity());
        EXPECT_EQ(s, QxMatrix::Identity());
        QxQuaternion rotation, scaleOrientation;
        QxVector scale;
        EXPECT_EQ(QxDecomposeMatrixEx(m, &rotation, nullptr, &scale, &scaleOrientation), 1.0f);
        EXPECT_EQ(rotation, QxQuaternion());
        EXPECT_EQ(scale, QxVector(1, 1, 1));
        EXPECT_EQ(scaleOrientation, QxQuaternion());
    }
    EXPECT_TRUE(warnings.Texts().empty());
    // Extreme finite scales stay in range.
    for (float s : {3e38f, 1e-38f, 1e-45f}) {
        QxMatrix q, sym;
        QxPolarDecomposition(Diagonal(s, s, -s), q, sym);
        EXPECT_NEAR(std::fabs(q[0][0]), 1.0f, 1e-6) << s;
        EXPECT_NEAR(std::fabs(q[2][2]), 1.0f, 1e-6) << s;
    }
}

TEST(QxSnuggle, TiesGoToTheLaterIndexAndAUniformScaleGivesTheConjugate)
{
    // Equal k.x and k.y: the z turn. q' = conj(q) gives magnitudes (0.5, 0.5, 0),
    // then (0.5, 0, 0.5): the second and the third symmetry win and cycle k.
    QxVector k(2, 2, 5);
    QxSnuggle(QxQuaternion(-0.5f, 0, -1, 0), k);
    EXPECT_EQ(k, QxVector(5, 2, 2));
    k = QxVector(2, 2, 5);
    QxSnuggle(QxQuaternion(0, -0.5f, -1, 0), k);
    EXPECT_EQ(k, QxVector(2, 5, 2));
    // A uniform scale gives the conjugate.
    k = QxVector(2, 2, 2);
    const QxQuaternion p = QxSnuggle(QxQuaternion(0.5f, 0.5f, 0.5f, 0.5f), k);
    EXPECT_EQ(p, QxQuaternion(-0.5f, -0.5f, -0.5f, 0.5f));
    EXPECT_EQ(k, QxVector(2, 2, 2));
}

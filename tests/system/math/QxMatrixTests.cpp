#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "system/math/QxComposeMatrix.h"
#include "system/math/QxMatrix.h"
#include "system/math/QxMatrixRotation.h"
#include "system/math/QxQuaternion.h"
#include "system/math/QxTransformPoints.h"
#include "tests/system/support/MathTestUtil.h"

namespace {

const float kPi = 3.14159265358979f;

// The affine product written out element by element in the defined order.
QxMatrix ReferenceProduct(const QxMatrix& a, const QxMatrix& b)
{
    QxMatrix r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j) {
            float s = b[i][0] * a[0][j] + b[i][1] * a[1][j] + b[i][2] * a[2][j];
            if (i == 3)
                s = s + a[3][j];
            r[i][j] = s;
        }
    r[3][3] = 1.0f;
    return r;
}

} // namespace

TEST(QxMatrix, ProductMatchesTheElementFormulaBitForBitAndAliasesSafely)
{
    mathtest::Random random(21);
    for (int n = 0; n < 500; ++n) {
        // The fourth columns are ignored: the product is affine whatever they hold.
        QxMatrix a = random.Affine(0.1f, 10), b = random.Affine(0.1f, 10);
        const QxMatrix expected = ReferenceProduct(a, b);
        a[n % 4][3] = random.Uniform(-2, 2);
        b[(n + 1) % 4][3] = random.Uniform(-2, 2);
        QxMatrix r;
        QxMultiplyMatrix(r, a, b);
        ASSERT_TRUE(mathtest::SameBits(r, expected));
        QxMatrix x = a;
        QxMultiplyMatrix(x, x, b);
        ASSERT_TRUE(mathtest::SameBits(x, expected));
        QxMatrix y = b;
        QxMultiplyMatrix(y, a, y);
        ASSERT_TRUE(mathtest::SameBits(y, expected));
    }
}

TEST(QxMatrix, FullProductMatchesADoubleReferenceAndAliasesSafely)
{
    mathtest::Random random(22);
    for (int n = 0; n < 300; ++n) {
        QxMatrix a, b;
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) {
                a[i][j] = random.Uniform(-2, 2);
                b[i][j] = random.Uniform(-2, 2);
            }
        QxMatrix r;
        QxMultiplyMatrix4(r, a, b);
        const mathtest::Mat4d expected = mathtest::Multiply(mathtest::ToDouble(b), mathtest::ToDouble(a));
        ASSERT_LT(mathtest::MaxAbsDifference(mathtest::ToDouble(r), expected), 1e-5);
        QxMatrix x = a;
        QxMultiplyMatrix4(x, x, b);
        ASSERT_TRUE(mathtest::SameBits(x, r));
        QxMatrix y = b;
        QxMultiplyMatrix4(y, a, y);
        ASSERT_TRUE(mathtest::SameBits(y, r));
    }
}

TEST(QxMatrix, InverseTimesMatrixIsTheIdentityOverRandomAffineMatrices)
{
    mathtest::Random random(23);
    for (int n = 0; n < 2000; ++n) {
        const QxMatrix m = random.Affine(0.2f, 5.0f, n % 3 == 0);
        QxMatrix inverse;
        ASSERT_TRUE(QxInverseMatrix(inverse, m));
        const mathtest::Mat4d product = mathtest::Multiply(mathtest::ToDouble(m), mathtest::ToDouble(inverse));
        mathtest::Mat4d id = mathtest::ToDouble(QxMatrix::Identity());
        // Scales within 0.2 .. 5 keep the condition number below 25.
        ASSERT_LT(mathtest::MaxAbsDifference(product, id), 2e-5) << n;
        // The result may be the operand itself.
        QxMatrix self = m;
        ASSERT_TRUE(QxInverseMatrix(self, self));
        ASSERT_TRUE(mathtest::SameBits(self, inverse));
    }
}

TEST(QxMatrix, GeneralInverseTimesMatrixIsTheIdentityAndSingularMatricesFail)
{
    mathtest::Random random(28);
    for (int n = 0; n < 1000; ++n) {
        QxMatrix m = random.Affine(0.3f, 3.0f, n % 2 == 0);
        // A small projective column keeps the matrix well conditioned.
        for (int i = 0; i < 4; ++i) {
            m[3][i] *= 0.1f;
            m[i][3] = random.Uniform(-0.2f, 0.2f) + (i == 3 ? 1.0f : 0.0f);
        }
        QxMatrix inverse, product;
        ASSERT_TRUE(QxInverseMatrix44(inverse, m));
        QxMultiplyMatrix4(product, inverse, m);
        ASSERT_LT(mathtest::MaxAbsDifference(product, QxMatrix::Identity()), 1e-4) << n;
    }
    QxMatrix projection, inverse, product;
    projection.Perspective(1.2f, 0.75f, 1.0f, 100.0f);
    ASSERT_TRUE(QxInverseMatrix44(inverse, projection));
    QxMultiplyMatrix4(product, inverse, projection);
    EXPECT_LT(mathtest::MaxAbsDifference(product, QxMatrix::Identity()), 1e-5);

    // Singular matrices leave the result untouched and say so.
    QxMatrix flat = QxMatrix::Identity(), twin = QxMatrix::Identity(), projected = QxMatrix::Identity();
    flat[1][0] = flat[1][1] = flat[1][2] = 0;
    // Two equal rows: the determinant's terms cancel exactly.
    twin[1][0] = 1;
    twin[1][1] = 0;
    projected[2][2] = projected[2][3] = projected[3][2] = projected[3][3] = 0;
    const QxMatrix before = product;
    EXPECT_FALSE(QxInverseMatrix(product, flat));
    EXPECT_FALSE(QxInverseMatrix(product, twin));
    EXPECT_FALSE(QxInverseMatrix44(product, projected));
    EXPECT_TRUE(mathtest::SameBits(product, before));
}

TEST(QxMatrix, ProjectionBuildersFillTheNamedElementsOnlyAndUnprojectInverts)
{
    QxMatrix p, r, o;
    p.Perspective(kPi / 2, 2.0f, 1.0f, 11.0f);
    r.PerspectiveRect(-1, 3, 2, -2, 1, 11);
    o.Orthographic(2, 0.5f, 1, 5);
    EXPECT_LT(mathtest::MaxAbsDifference(p, QxMatrix(1, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1.1f, 1, 0, 0, -1.1f, 0)), 2e-6);
    EXPECT_LT(mathtest::MaxAbsDifference(r, QxMatrix(0.5f, 0, 0, 0, 0, 0.5f, 0, 0, -0.5f, 0, 1.1f, 1, 0, 0, -1.1f, 0)),
              2e-6);
    EXPECT_EQ(o, QxMatrix(2, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0.25f, 0, 0, 0, -0.25f, 1));
    // Unprojecting gives back the point that projects onto the screen point.
    QxMatrix projection;
    projection.Perspective(1.0f, 0.75f, 1.0f, 100.0f);
    const QxVector point(2.0f, -1.5f, 12.0f);
    QxVector4 h;
    QxMultiplyMatrixVector4(h, projection, point);
    // Both screen coordinates are in units of the horizontal scale.
    const Qx2DVector screen(h.x / h.w, h.y / h.w * projection[0][0] / projection[1][1]);
    QxVector back;
    QxUnprojectPoint(projection, screen, point.z, back);
    EXPECT_NEAR(back.x, point.x, 1e-4);
    EXPECT_NEAR(back.y, point.y, 1e-4);
    EXPECT_EQ(back.z, point.z);
}

TEST(QxMatrix, SingleVectorTransformsDeterminantAndTranspose)
{
    const QxMatrix m(0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 10, 20, 30, 1);
    QxVector p(1, 2, 3), v(1, 2, 3);
    QxMultiplyMatrixVector(p, m, p);
    EXPECT_EQ(p, QxVector(8, 21, 33));
    QxRotateVector(v, m, v);
    EXPECT_EQ(v, QxVector(-2, 1, 3));
    QxVector4 h, g(1, 2, 3, 0);
    QxMultiplyMatrixVector4(h, m, QxVector(1, 2, 3));
    EXPECT_EQ(h, QxVector4(8, 21, 33, 1));
    QxMultiplyMatrixVector4(g, m, g);
    EXPECT_EQ(g, QxVector4(-2, 1, 3, 0));

    const QxMatrix d(2, 1, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 7, 0, 0, 1);
    EXPECT_EQ(d.GetDeterminant(), 24.0f);
    QxMatrix t;
    QxTransposeMatrix(t, d);
    EXPECT_EQ(t, QxMatrix(2, 0, 0, 7, 1, 3, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1));
    QxTransposeMatrix(t, t);
    EXPECT_EQ(t, d);
}

TEST(QxMatrixRotation, AxisAngleAndEulerBuildersTurnInOppositeSensesAndZeroGivesTheIdentity)
{
    QxMatrix m;
    QxMatrixFromAxisAngle(m, QxVector(0, 0, 2), kPi / 2); // the axis is normalised
    EXPECT_VECTOR_NEAR(QxVector(m[0][0], m[0][1], m[0][2]), 0, -1, 0, 1e-6);
    EXPECT_VECTOR_NEAR(QxVector(m[1][0], m[1][1], m[1][2]), 1, 0, 0, 1e-6);
    EXPECT_EQ(m[3][3], 1.0f);
    EXPECT_EQ(m[3][0], 0.0f);
    EXPECT_EQ(m[0][3], 0.0f);
    QxMatrixFromAxisAngle(m, QxVector(), 1.0f);
    EXPECT_EQ(m, QxMatrix::Identity());
    QxMatrixFromEulerAngles(m, 0, 0, 1e-9f);
    EXPECT_EQ(m, QxMatrix::Identity());

    const float angle = 0.3f;
    QxMatrix euler, axis, quaternion;
    QxMatrixFromEulerAngles(euler, 0, 0, angle);
    QxMatrixFromAxisAngle(axis, QxVector::AxisZ(), angle);
    QxQuaternion q;
    q.FromRotation(QxVector::AxisZ(), angle);
    q.ToMatrix(quaternion);
    // Row vectors: the Euler matrix turns x towards +y, the others towards -y.
    EXPECT_NEAR(euler[0][1], std::sin(angle), 1e-6);
    EXPECT_NEAR(axis[0][1], -std::sin(angle), 1e-6);
    EXPECT_LT(mathtest::MaxAbsDifference(axis, quaternion), 1e-6);
    QxMatrix transposed;
    QxTransposeMatrix(transposed, euler);
    EXPECT_LT(mathtest::MaxAbsDifference(axis, transposed), 1e-6);
}

TEST(QxMatrixRotation, EulerAnglesRoundTripAndTheGimbalCaseKeepsTheMatrix)
{
    QxMatrix m;
    QxMatrixFromEulerAngles(m, 0.1f, 0.2f, 0.3f);
    float ax, ay, az;
    QxMatrixToEulerAngles(m, &ax, &ay, &az);
    EXPECT_NEAR(ax, 0.1f, 1e-6);
    EXPECT_NEAR(ay, 0.2f, 1e-6);
    EXPECT_NEAR(az, 0.3f, 1e-6);

    mathtest::Random random(24);
    for (int n = 0; n < 2000; ++n) {
        const float x = random.Uniform(-3.1f, 3.1f);
        const float y = random.Uniform(-1.5f, 1.5f); // away from the gimbal case at ±pi/2
        const float z = random.Uniform(-3.1f, 3.1f);
        QxMatrixFromEulerAngles(m, x, y, z);
        // A scale on the rows does not change the angles.
        for (int j = 0; j < 3; ++j) {
            m[0][j] *= 2.0f;
            m[2][j] *= 0.5f;
        }
        QxMatrixToEulerAngles(m, &ax, &ay, &az);
        ASSERT_NEAR(ax, x, 2e-4) << n;
        ASSERT_NEAR(ay, y, 2e-4) << n;
        ASSERT_NEAR(az, z, 2e-4) << n;
    }
    // The gimbal case sets the z angle to zero and keeps the matrix.
    QxMatrixFromEulerAngles(m, 0.4f, kPi / 2, 0.0f);
    QxMatrixToEulerAngles(m, &ax, &ay, &az);
    EXPECT_EQ(az, 0.0f);
    QxMatrix rebuilt;
    QxMatrixFromEulerAngles(rebuilt, ax, ay, az);
    EXPECT_LT(mathtest::MaxAbsDifference(m, rebuilt), 1e-5);
}

TEST(QxComposeMatrix, ScalesTheRotationRowsAndSetsThePosition)
{
    QxQuaternion q;
    q.FromRotation(QxVector::AxisZ(), kPi / 2);
    QxMatrix m;
    QxComposeMatrix(m, QxVector(1, 2, 3), QxVector(2, 3, 4), q);
    EXPECT_VECTOR_NEAR(QxVector(m[0][0], m[0][1], m[0][2]), 0, -2, 0, 1e-6);
    EXPECT_VECTOR_NEAR(QxVector(m[1][0], m[1][1], m[1][2]), 3, 0, 0, 1e-6);
    EXPECT_VECTOR_NEAR(QxVector(m[2][0], m[2][1], m[2][2]), 0, 0, 4, 1e-6);
    EXPECT_EQ(QxVector(m[3][0], m[3][1], m[3][2]), QxVector(1, 2, 3));
    EXPECT_EQ(m[3][3], 1.0f);
    // The extended form with an identity scale orientation is the simple one.
    mathtest::Random random(25);
    for (int n = 0; n < 200; ++n) {
        const QxQuaternion q = random.UnitQuaternion();
        const QxVector s = random.Vector(0.5f, 3), p = random.Vector(-5, 5);
        QxMatrix simple, extended;
        QxComposeMatrix(simple, p, s, q);
        QxComposeMatrixEx(extended, p, s, q, QxQuaternion());
        ASSERT_LT(mathtest::MaxAbsDifference(simple, extended), 1e-5);
        // The sign multiplies the 3x3 part only.
        QxMatrix mirrored;
        QxComposeMatrixEx(mirrored, p, s, q, QxQuaternion(), -1.0f);
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                ASSERT_EQ(mirrored[i][j], -extended[i][j]);
        ASSERT_EQ(mirrored[3][0], p.x);
        ASSERT_EQ(mirrored[3][3], 1.0f);
    }
}

TEST(QxTransformPoints, ArrayFormsGiveExactlyTheSingleVectorResults)
{
    mathtest::Random random(26);
    const QxMatrix m = random.Affine(0.5f, 2.0f);
    const int count = 37;
    for (CKDWORD stride : {12u, 16u, 32u, 36u}) {
        std::vector<unsigned char> source(stride * count + 1), destination(stride * count + 1, 0xEE);
        std::vector<QxVector> points(count);
        for (int i = 0; i < count; ++i) {
            points[i] = random.Vector(-100, 100);
            std::memcpy(source.data() + 1 + i * stride, &points[i], sizeof(QxVector));
        }
        // Odd addresses: no alignment is needed.
        QxTransformPoints(destination.data() + 1, m, source.data() + 1, count, stride);
        for (int i = 0; i < count; ++i) {
            QxVector expected, got;
            QxMultiplyMatrixVector(expected, m, points[i]);
            std::memcpy(&got, destination.data() + 1 + i * stride, sizeof(QxVector));
            ASSERT_EQ(mathtest::Bits(got.x), mathtest::Bits(expected.x));
            ASSERT_EQ(mathtest::Bits(got.y), mathtest::Bits(expected.y));
            ASSERT_EQ(mathtest::Bits(got.z), mathtest::Bits(expected.z));
        }
        if (stride > 12) {
            EXPECT_EQ(destination[1 + 12], 0xEE);
        }

        QxRotateVectorsSameStride(destination.data() + 1, m, source.data() + 1, count, stride);
        for (int i = 0; i < count; ++i) {
            QxVector expected, got;
            QxRotateVector(expected, m, points[i]);
            std::memcpy(&got, destination.data() + 1 + i * stride, sizeof(QxVector));
            ASSERT_EQ(got, expected);
        }
    }
}

TEST(QxTransformPoints, StridedFormsConvertBetweenLayoutsAndMayWorkInPlace)
{
    mathtest::Random random(27);
    const QxMatrix m = random.Affine(0.5f, 2.0f);
    const int count = 20;
    std::vector<float> packed(count * 3);
    for (float& f : packed)
        f = random.Uniform(-10, 10);
    std::vector<float> wide(count * 8, -1.0f);
    QxTransformPointsStrided(QxStridedData(wide.data(), 32), QxStridedData(packed.data(), 12), m, count);
    std::vector<QxVector4> homogeneous(count);
    QxTransformPoints4Strided(QxStridedData(homogeneous.data(), 16), QxStridedData(packed.data(), 12), m, count);
    std::vector<float> rotated(count * 3);
    QxRotateVectors(QxStridedData(rotated.data(), 12), QxStridedData(packed.data(), 12), m, count);
    for (int i = 0; i < count; ++i) {
        const QxVector p(packed[i * 3], packed[i * 3 + 1], packed[i * 3 + 2]);
        QxVector expected;
        QxMultiplyMatrixVector(expected, m, p);
        EXPECT_EQ(QxVector(wide[i * 8], wide[i * 8 + 1], wide[i * 8 + 2]), expected);
        EXPECT_EQ(wide[i * 8 + 3], -1.0f);
        QxVector4 h;
        QxMultiplyMatrixVector4(h, m, p);
        EXPECT_EQ(homogeneous[i], h);
        QxRotateVector(expected, m, p);
        EXPECT_EQ(QxVector(rotated[i * 3], rotated[i * 3 + 1], rotated[i * 3 + 2]), expected);
    }
    std::vector<float> inPlace = packed;
    QxTransformPoints(inPlace.data(), m, inPlace.data(), count, 12);
    for (int i = 0; i < count; ++i)
        EXPECT_EQ(inPlace[i * 3 + 1], wide[i * 8 + 1]);
    // No elements, no access.
    QxTransformPoints(nullptr, m, nullptr, 0, 12);
    QxTransformPointsStrided(QxStridedData(), QxStridedData(), m, 0);
}

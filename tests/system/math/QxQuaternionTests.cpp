#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "system/math/QxMatrixRotation.h"
#include "system/math/QxQuaternion.h"
#include "tests/system/support/MathTestUtil.h"

namespace {

const float kPi = 3.14159265358979f;

double Length(const QxQuaternion& q)
{
    return std::sqrt(double(q.x) * q.x + double(q.y) * q.y + double(q.z) * q.z + double(q.w) * q.w);
}

// The largest component difference between a and b, or a and -b when closer
// (infinite for NaN).
double SignedDistance(const QxQuaternion& a, const QxQuaternion& b)
{
    double plus = 0, minus = 0;
    for (int i = 0; i < 4; ++i) {
        const double x = (&a.x)[i], y = (&b.x)[i];
        plus = std::max(plus, std::isnan(x - y) ? HUGE_VAL : std::fabs(x - y));
        minus = std::max(minus, std::isnan(x + y) ? HUGE_VAL : std::fabs(x + y));
    }
    return std::min(plus, minus);
}

} // namespace

TEST(QxQuaternion, ProductsFollowHamiltonDivisionConjugatesAndBothMayWriteIntoAnOperand)
{
    const QxQuaternion i(1, 0, 0, 0), j(0, 1, 0, 0), k(0, 0, 1, 0);
    QxQuaternion r;
    EXPECT_EQ(QxMultiplyQuaternion(r, i, j), k);
    EXPECT_EQ(QxMultiplyQuaternion(r, j, i), QxQuaternion(0, 0, -1, 0));
    EXPECT_EQ(QxMultiplyQuaternion(r, i, i), QxQuaternion(0, 0, 0, -1));
    mathtest::Random random(31);
    for (int n = 0; n < 100; ++n) {
        const QxQuaternion a = random.UnitQuaternion(), b = random.UnitQuaternion();
        QxQuaternion expected, x = a, y = b, z = a;
        QxMultiplyQuaternion(expected, a, b);
        QxMultiplyQuaternion(x, x, b);
        QxMultiplyQuaternion(y, a, y);
        z *= b;
        ASSERT_EQ(x, expected);
        ASSERT_EQ(y, expected);
        ASSERT_EQ(z, expected);
        // Division is the conjugate of the divisor times the dividend.
        QxQuaternion conjugate, reference;
        QxQuaternionConjugate(conjugate, b);
        ASSERT_EQ(conjugate, QxQuaternion(-b.x, -b.y, -b.z, b.w));
        QxMultiplyQuaternion(reference, conjugate, a);
        QxQuaternionDivide(expected, a, b);
        ASSERT_LT(std::fabs(expected.x - reference.x) + std::fabs(expected.y - reference.y) +
                      std::fabs(expected.z - reference.z) + std::fabs(expected.w - reference.w),
                  4e-6);
        x = a;
        QxQuaternionDivide(x, x, b);
        ASSERT_EQ(x, expected);
    }
}

TEST(QxQuaternion, NormalizeAndToMatrixTurnAZeroQuaternionIntoTheIdentity)
{
    EXPECT_EQ(QxQuaternion(), QxQuaternion(0, 0, 0, 1));
    QxQuaternion zero(0, 0, 0, 0), two(0, 0, 0, 2), q(1, 2, 2, 4);
    zero.Normalize();
    two.Normalize();
    q.Normalize();
    EXPECT_EQ(zero, QxQuaternion(0, 0, 0, 1));
    EXPECT_EQ(two, QxQuaternion(0, 0, 0, 1));
    EXPECT_EQ(q, QxQuaternion(0.2f, 0.4f, 0.4f, 0.8f));
    QxMatrix m;
    QxQuaternion(0, 0, 0, 2).ToMatrix(m);
    EXPECT_EQ(m, QxMatrix::Identity());
    QxQuaternion(0, 0, 0, 0).ToMatrix(m);
    EXPECT_EQ(m, QxMatrix::Identity());
}

TEST(QxQuaternion, FromRotationMatchesTheAxisAngleMatrix)
{
    const float angle = 0.7f;
    QxQuaternion q;
    q.FromRotation(QxVector::AxisZ(), angle);
    QxMatrix m;
    q.ToMatrix(m);
    EXPECT_VECTOR_NEAR(QxVector(m[0][0], m[0][1], m[0][2]), std::cos(angle), -std::sin(angle), 0, 1e-6);
    EXPECT_VECTOR_NEAR(QxVector(m[1][0], m[1][1], m[1][2]), std::sin(angle), std::cos(angle), 0, 1e-6);

    mathtest::Random random(33);
    for (int n = 0; n < 500; ++n) {
        const QxVector axis = random.UnitVector();
        const float a = random.Uniform(-6, 6);
        q.FromRotation(axis, a);
        QxMatrix fromQuaternion, fromAxis;
        q.ToMatrix(fromQuaternion);
        QxMatrixFromAxisAngle(fromAxis, axis, a);
        ASSERT_LT(mathtest::MaxAbsDifference(fromQuaternion, fromAxis), 2e-6);
    }
}

TEST(QxQuaternion, QuaternionToMatrixToQuaternionGivesBackPlusOrMinusQAndOrthonormalises)
{
    // A half turn about x takes the negative-trace branch.
    QxQuaternion q;
    QxMatrix half(1, 0, 0, 0, 0, -1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1);
    q.FromMatrix(half, TRUE, TRUE);
    EXPECT_EQ(q, QxQuaternion(1, 0, 0, 0));
    mathtest::Random random(34);
    for (int n = 0; n < 5000; ++n) {
        const QxQuaternion p = random.UnitQuaternion();
        QxMatrix m;
        p.ToMatrix(m);
        QxQuaternionFromMatrix(q, m);
        ASSERT_LT(SignedDistance(p, q), 2e-6) << n;
    }
    // From a matrix it orthonormalises in place, or restores the matrix.
    QxMatrix m = QxMatrix::Identity();
    m[0][0] = 3;
    m[1][0] = 1;
    m[1][1] = 2;
    m[2][2] = 7;
    const QxMatrix original = m;
    q.FromMatrix(m, FALSE, TRUE);
    EXPECT_EQ(m, original);
    q.FromMatrix(m, FALSE, FALSE);
    const QxVector r0(m[0][0], m[0][1], m[0][2]), r1(m[1][0], m[1][1], m[1][2]), r2(m[2][0], m[2][1], m[2][2]);
    EXPECT_NEAR(QxMagnitude(r0), 1.0f, 1e-6);
    EXPECT_NEAR(QxMagnitude(r1), 1.0f, 1e-6);
    EXPECT_EQ(r2, QxCrossProduct(r0, r1));
}

TEST(QxQuaternion, LogarithmAndExponential)
{
    QxQuaternion r;
    EXPECT_EQ(QxQuaternionLn(r, QxQuaternion()), QxQuaternion(0, 0, 0, 0));
    EXPECT_EQ(QxQuaternionExp(r, QxQuaternion(0, 0, 0, 5)), QxQuaternion(0, 0, 0, 1));
    // exp(ln q) = q for unit quaternions.
    mathtest::Random random(35);
    for (int n = 0; n < 200; ++n) {
        const QxQuaternion q = random.UnitQuaternion();
        QxQuaternion l, e;
        QxQuaternionLn(l, q);
        EXPECT_EQ(l.w, 0.0f);
        QxQuaternionExp(e, l);
        ASSERT_LT(SignedDistance(q, e), 2e-6);
    }
    // The tangent term of keys: ln(conj(a)·b).
    QxQuaternion a, b;
    a.FromRotation(QxVector::AxisY(), 0.2f);
    b.FromRotation(QxVector::AxisY(), 0.8f);
    QxQuaternionLnDif(r, a, b);
    EXPECT_NEAR(r.y, 0.3f, 1e-6);
    EXPECT_NEAR(r.x, 0.0f, 1e-7);
}

TEST(QxSlerp, EighthTurnOppositeEndsAndNearlyEqualEnds)
{
    QxQuaternion r;
    // Halfway to a quarter turn is the eighth turn.
    QxSlerp(r, 0.5f, QxQuaternion(), QxQuaternion(0, 0, std::sin(kPi / 4), std::cos(kPi / 4)));
    EXPECT_NEAR(r.z, 0.38268343f, 1e-6);
    EXPECT_NEAR(r.w, 0.92387953f, 1e-6);
    EXPECT_EQ(r.x, 0.0f);
    // Between q and -q: q.
    const QxQuaternion q(0.5f, 0.5f, 0.5f, 0.5f), minus(-0.5f, -0.5f, -0.5f, -0.5f);
    for (float t : {0.0f, 0.25f, 0.5f, 1.0f}) {
        QxSlerp(r, t, q, minus);
        EXPECT_NEAR(r.x, 0.5f, 1e-7);
        EXPECT_NEAR(r.w, 0.5f, 1e-7);
    }
    // Nearly equal ends use linear weights and come out short.
    const float angle = 2.0f * std::acos(0.995f);
    const QxQuaternion b(0, std::sin(angle / 2), 0, std::cos(angle / 2));
    QxSlerp(r, 0.5f, QxQuaternion(), b);
    EXPECT_NEAR(r.y, 0.5f * b.y, 1e-7);
    EXPECT_NEAR(r.w, 0.5f + 0.5f * b.w, 1e-7);
    EXPECT_LT(Length(r), 0.9995);
}

TEST(QxSlerp, TakesTheShorterArcAndStaysUnitLengthAndSquadIsASlerpOfSlerps)
{
    mathtest::Random random(36);
    for (int n = 0; n < 500; ++n) {
        const QxQuaternion a = random.UnitQuaternion(), b = random.UnitQuaternion();
        const float t = random.Uniform(0, 1);
        QxQuaternion r;
        QxSlerp(r, t, a, b);
        const double c = std::fabs(double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z + double(a.w) * b.w);
        if (c < 0.99) {
            ASSERT_NEAR(Length(r), 1.0, 1e-5);
        }
        // The angle from a is t times the (shorter) angle from a to b.
        const double full = std::acos(std::fmin(1.0, c));
        const double part = std::acos(std::fmin(
            1.0, std::fabs(double(a.x) * r.x + double(a.y) * r.y + double(a.z) * r.z + double(a.w) * r.w) / Length(r)));
        ASSERT_NEAR(part, t * full, 2e-3) << n;
        QxQuaternion ends;
        QxSlerp(ends, 0.0f, a, b);
        ASSERT_LT(SignedDistance(ends, a), 1e-6);
        QxSlerp(ends, 1.0f, a, b);
        ASSERT_LT(SignedDistance(ends, b), 1e-6);
    }
    // Squad is the slerp of two slerps and hits its ends.
    const QxQuaternion q0 = random.UnitQuaternion(), sa = random.UnitQuaternion(), sb = random.UnitQuaternion(),
                       q1 = random.UnitQuaternion();
    QxQuaternion r, outer, inner, expected;
    QxSquad(r, 0.3f, q0, sa, sb, q1);
    QxSlerp(outer, 0.3f, q0, q1);
    QxSlerp(inner, 0.3f, sa, sb);
    QxSlerp(expected, 2.0f * 0.3f * 0.7f, outer, inner);
    EXPECT_EQ(r, expected);
    QxSquad(r, 0.0f, q0, sa, sb, q1);
    EXPECT_LT(SignedDistance(r, q0), 1e-6);
    QxSquad(r, 1.0f, q0, sa, sb, q1);
    EXPECT_LT(SignedDistance(r, q1), 1e-6);
}

#include <gtest/gtest.h>

#include <cmath>

#include "platform/host/DecompAffine.h"
#include "platform/host/Matrix3.h"
#include "platform/host/Quat.h"
#include "tests/platform/host/HostTestMath.h"

namespace {

constexpr float kHalfPi = 1.57079632679f;

// The same rotation whatever the sign of the quaternion.
void ExpectSameRotation(const Quat& a, const Quat& b)
{
    const float sign = QuatDot(a, b) < 0.0f ? -1.0f : 1.0f;
    EXPECT_NEAR(a.x, sign * b.x, 1e-5f);
    EXPECT_NEAR(a.y, sign * b.y, 1e-5f);
    EXPECT_NEAR(a.z, sign * b.z, 1e-5f);
    EXPECT_NEAR(a.w, sign * b.w, 1e-5f);
}

} // namespace

TEST(HostMath, PointsAreRowVectorsAndProductsApplyTheLeftMatrixFirst)
{
    const Matrix3 scale = ScaleMatrix(Point3(2.0f, 3.0f, 4.0f));
    const Matrix3 move = TransMatrix(Point3(10.0f, 20.0f, 30.0f));
    ExpectNear(Point3(1.0f, 1.0f, 1.0f) * (scale * move), Point3(12.0f, 23.0f, 34.0f));
    ExpectNear(Point3(1.0f, 1.0f, 1.0f) * (move * scale), Point3(22.0f, 63.0f, 124.0f));
    EXPECT_EQ(VectorTransform(move, Point3(1.0f, 2.0f, 3.0f)), Point3(1.0f, 2.0f, 3.0f));
}

TEST(HostMath, PositiveAnglesTurnClockwiseLookingDownTheAxis)
{
    // The host's sense: a quarter turn about z takes x to -y.
    ExpectNear(Point3(1.0f, 0.0f, 0.0f) * RotateZMatrix(kHalfPi), Point3(0.0f, -1.0f, 0.0f));
    ExpectNear(Point3(0.0f, 1.0f, 0.0f) * RotateXMatrix(kHalfPi), Point3(0.0f, 0.0f, -1.0f));
    ExpectNear(Point3(0.0f, 0.0f, 1.0f) * RotateYMatrix(kHalfPi), Point3(-1.0f, 0.0f, 0.0f));
}

TEST(HostMath, QuaternionMatrixHasTheEngineElementsAndProductsFollowMatrices)
{
    const Quat q = Quat(0.1f, -0.7f, 0.3f, 0.5f);
    Matrix3 m;
    q.MakeMatrix(m);
    const float s = 2.0f / QuatDot(q, q);
    // Element formulas written out: row 0 = (1 - s(y² + z²), s(xy - wz), s(xz + wy)).
    EXPECT_NEAR(m[0].x, 1.0f - s * (q.y * q.y + q.z * q.z), 1e-6f);
    EXPECT_NEAR(m[0].y, s * (q.x * q.y - q.w * q.z), 1e-6f);
    EXPECT_NEAR(m[1].x, s * (q.x * q.y + q.w * q.z), 1e-6f);
    EXPECT_NEAR(m[2].y, s * (q.y * q.z + q.w * q.x), 1e-6f);
    EXPECT_EQ(m.GetTrans(), Point3());

    const Quat a = QFromAngAxis(0.7f, Point3(1.0f, 2.0f, 3.0f));
    const Quat b = QFromAngAxis(-1.9f, Point3(0.0f, 1.0f, -1.0f));
    Matrix3 ma, mb, mab;
    a.MakeMatrix(ma);
    b.MakeMatrix(mb);
    (a * b).MakeMatrix(mab);
    ExpectNear(ma * mb, mab);
    Matrix3 zero;
    Quat(0.0f, 0.0f, 0.0f, 0.0f).MakeMatrix(zero);
    EXPECT_TRUE(zero.IsIdentity());
}

TEST(HostMath, QuaternionsComeBackFromTheirMatricesEvenScaledOrMirrored)
{
    const Quat samples[] = {Quat(),
                            QFromAngAxis(3.0f, Point3(1.0f, 0.0f, 0.0f)),
                            QFromAngAxis(3.0f, Point3(0.0f, 1.0f, 0.0f)),
                            QFromAngAxis(3.0f, Point3(0.0f, 0.0f, 1.0f)),
                            QFromAngAxis(1.0f, Point3(1.0f, -2.0f, 0.5f)),
                            QFromAngAxis(-2.5f, Point3(-1.0f, 1.0f, 1.0f))};
    for (const Quat& q : samples) {
        Matrix3 m;
        q.MakeMatrix(m);
        ExpectSameRotation(Quat(m), q);
        ExpectSameRotation(Quat(ScaleMatrix(Point3(2.0f, 0.5f, 3.0f)) * m), q);
        ExpectSameRotation(Quat(ScaleMatrix(Point3(-1.0f, -1.0f, -1.0f)) * m), q);
    }
}

TEST(HostMath, InverseUndoesTheTransformAndSingularAxesGiveTheIdentity)
{
    Matrix3 m = ScaleMatrix(Point3(2.0f, -1.0f, 0.5f)) * RotateYMatrix(0.4f) * TransMatrix(Point3(1.0f, -2.0f, 3.0f));
    ExpectNear(m * Inverse(m), Matrix3());
    ExpectNear(Inverse(m) * m, Matrix3());
    EXPECT_TRUE(m.Parity());
    EXPECT_FALSE(RotateYMatrix(0.4f).Parity());
    EXPECT_TRUE(Inverse(ScaleMatrix(Point3(1.0f, 0.0f, 1.0f))).IsIdentity());
}

TEST(HostMath, AngleAxisAndInterpolationKeepTheirEnds)
{
    float angle = 0.0f;
    Point3 axis;
    AngAxisFromQ(QFromAngAxis(1.25f, Point3(0.0f, 0.0f, 2.0f)), &angle, axis);
    EXPECT_NEAR(angle, 1.25f, 1e-6f);
    ExpectNear(axis, Point3(0.0f, 0.0f, 1.0f));
    AngAxisFromQ(Quat(), &angle, axis);
    EXPECT_EQ(angle, 0.0f);
    EXPECT_EQ(QFromAngAxis(1.0f, Point3()), Quat());

    const Quat p = QFromAngAxis(0.2f, Point3(1.0f, 0.0f, 0.0f));
    const Quat q = QFromAngAxis(1.4f, Point3(1.0f, 0.0f, 0.0f));
    ExpectSameRotation(Slerp(p, q, 0.0f), p);
    ExpectSameRotation(Slerp(p, q, 1.0f), q);
    ExpectSameRotation(Slerp(p, q, 0.5f), QFromAngAxis(0.8f, Point3(1.0f, 0.0f, 0.0f)));
    // The shorter arc: -q is the same rotation.
    ExpectSameRotation(Slerp(p, Quat(-q.x, -q.y, -q.z, -q.w), 0.5f), QFromAngAxis(0.8f, Point3(1.0f, 0.0f, 0.0f)));
    ExpectSameRotation(Squad(p, p, q, q, 0.5f), Slerp(p, q, 0.5f));
    ExpectSameRotation(ExpQuat(LnQuat(q)), q);
    ExpectSameRotation(q * q.Inverse(), Quat());
}

TEST(HostMath, DecompAffineSplitsStretchRotationMirrorAndTranslation)
{
    struct Case
    {
        Point3 k;
        Quat u, q;
        float f;
    };
    const Case cases[] = {
        {Point3(1.0f, 1.0f, 1.0f), Quat(), QFromAngAxis(0.7f, Point3(1.0f, 2.0f, 3.0f)), 1.0f},
        {Point3(2.0f, 3.0f, 4.0f), Quat(), QFromAngAxis(-1.2f, Point3(0.0f, 0.0f, 1.0f)), 1.0f},
        {Point3(1.5f, 0.5f, 2.5f), QFromAngAxis(0.4f, Point3(1.0f, 0.0f, 1.0f)),
         QFromAngAxis(2.0f, Point3(0.0f, 1.0f, 0.0f)), 1.0f},
        {Point3(1.0f, 2.0f, 3.0f), Quat(), QFromAngAxis(0.3f, Point3(1.0f, 0.0f, 0.0f)), -1.0f},
    };
    for (const Case& c : cases) {
        Matrix3 um, qm;
        c.u.MakeMatrix(um);
        c.q.MakeMatrix(qm);
        Matrix3 m = Inverse(um) * ScaleMatrix(c.k) * um * qm;
        if (c.f < 0.0f)
            m = ScaleMatrix(Point3(-1.0f, -1.0f, -1.0f)) * m;
        m.SetTrans(Point3(4.0f, 5.0f, 6.0f));
        AffineParts parts;
        decomp_affine(m, &parts);
        EXPECT_EQ(parts.f, c.f);
        EXPECT_EQ(parts.t, Point3(4.0f, 5.0f, 6.0f));
        // The parts compose back into the transform.
        Matrix3 pu, pq;
        parts.u.MakeMatrix(pu);
        parts.q.MakeMatrix(pq);
        Matrix3 back = ScaleMatrix(Point3(parts.f, parts.f, parts.f)) * Inverse(pu) * ScaleMatrix(parts.k) * pu * pq;
        back.SetTrans(parts.t);
        ExpectNear(back, m, 1e-5f);
        // The rotation is the one put in (up to sign), the stretch positive.
        EXPECT_NEAR(std::fabs(QuatDot(parts.q, c.q)), 1.0f, 1e-5f);
        EXPECT_GT(parts.k.x, 0.0f);
        EXPECT_GT(parts.k.y, 0.0f);
        EXPECT_GT(parts.k.z, 0.0f);
    }
    // An axis-aligned stretch keeps its axes and order.
    AffineParts parts;
    decomp_affine(ScaleMatrix(Point3(2.0f, 3.0f, 4.0f)), &parts);
    EXPECT_EQ(parts.k, Point3(2.0f, 3.0f, 4.0f));
    EXPECT_TRUE(parts.u.IsIdentity());
    EXPECT_TRUE(parts.q.IsIdentity());
    // Flat axes: the identity rotations and the axes' lengths.
    decomp_affine(ScaleMatrix(Point3(2.0f, 0.0f, 1.0f)), &parts);
    EXPECT_EQ(parts.k, Point3(2.0f, 0.0f, 1.0f));
    EXPECT_TRUE(parts.q.IsIdentity());
    EXPECT_EQ(parts.f, 1.0f);
}

#include <gtest/gtest.h>

#include <cmath>

#include "system/math/QxDistance.h"
#include "system/math/QxIntersection.h"
#include "system/math/QxIntersectionBox.h"
#include "tests/system/support/MathTestUtil.h"

namespace {

QxBbox UnitBox()
{
    return QxBbox(QxVector(-1, -1, -1), QxVector(1, 1, 1));
}

struct Slab
{
    bool hit;
    double tmin, tmax;
};

// The slab test in double precision: the parameter range in the box.
Slab ReferenceSlab(const QxRay& ray, const QxBbox& box)
{
    double tmin = -1e300, tmax = 1e300;
    for (int i = 0; i < 3; ++i) {
        const double o = ray.m_Origin[i], d = ray.m_Direction[i];
        if (d == 0) {
            if (o < box.Min[i] || o > box.Max[i])
                return {false, 0, 0};
            continue;
        }
        double t1 = (box.Min[i] - o) / d, t2 = (box.Max[i] - o) / d;
        if (t1 > t2)
            std::swap(t1, t2);
        tmin = std::fmax(tmin, t1);
        tmax = std::fmin(tmax, t2);
    }
    return {tmin <= tmax, tmin, tmax};
}

QxBbox RandomBox(mathtest::Random& random)
{
    const QxVector c = random.Vector(-3, 3), e = random.Vector(0.2f, 2);
    return QxBbox(c - e, c + e);
}

} // namespace

TEST(QxIntersectionPlane, RaysAndSegmentsHitFromEitherSideUnlessFrontOnly)
{
    using Function = int (*)(const QxRay&, const QxPlane&, QxVector&, float&);
    struct Case
    {
        Function function;
        QxVector origin, direction;
        int hit;
        float t; // 123: left alone
    };
    const Case cases[] = {
        {QxIntersectionRayPlane, QxVector(0, 0, 0), QxVector(0, 0, 1), 1, 2}, // from behind
        {QxIntersectionRayPlaneFront, QxVector(0, 0, 0), QxVector(0, 0, 1), 0, 123},
        {QxIntersectionRayPlaneFront, QxVector(1, 0, 5), QxVector(0, 0, -1), 1, 3},
        {QxIntersectionRayPlane, QxVector(0, 0, 3), QxVector(0, 0, 1), 0, -1},    // behind the origin
        {QxIntersectionSegmentPlane, QxVector(0, 0, 0), QxVector(0, 0, 1), 0, 2}, // beyond the end
        {QxIntersectionSegmentPlane, QxVector(0, 0, 0), QxVector(0, 0, 2), 1, 1},
        {QxIntersectionSegmentPlaneFront, QxVector(0, 0, 4), QxVector(0, 0, -2), 1, 1},
        {QxIntersectionSegmentPlaneFront, QxVector(0, 0, 0), QxVector(0, 0, 2), 0, 123},
    };
    const QxPlane plane(QxVector(0, 0, 1), QxVector(0, 0, 2)); // z = 2, normal +z
    for (const Case& c : cases) {
        QxVector point(9, 9, 9);
        float t = 123;
        EXPECT_EQ(c.function(QxRay(c.origin, c.direction), plane, point, t), c.hit) << c.origin.z << c.direction.z;
        EXPECT_EQ(t, c.t);
        if (c.hit) {
            EXPECT_EQ(point, QxVector(c.origin.x, 0, 2));
        }
    }
    // A ray along the plane misses in both forms and leaves the parameter.
    QxVector point;
    float t = 123;
    const QxRay along(QxVector(0, 0, 2), QxVector(1, 0, 0));
    EXPECT_EQ(QxIntersectionRayPlane(along, plane, point, t) + QxIntersectionRayPlaneFront(along, plane, point, t), 0);
    EXPECT_EQ(t, 123.0f);
}

TEST(QxPointInTriangle, ProjectsOffTheNormalsLargestAxisAndCountsEdgesAsInside)
{
    const QxVector a(0, 0, 0), b(1, 0, 0), c(0, 1, 0), n(0, 0, 1);
    // Ties keep the earlier choice.
    const std::pair<QxVector, std::pair<int, int>> normals[] = {
        {n, {0, 1}}, {QxVector(1, 0, 0), {1, 2}}, {QxVector(0.5f, -0.8f, 0.1f), {0, 2}}, {QxVector(1, 1, 1), {1, 2}}};
    int axis1 = -1, axis2 = -1;
    for (const auto& [normal, axes] : normals) {
        QxPointInTriangle(QxVector(), a, b, c, normal, axis1, axis2);
        EXPECT_EQ(std::make_pair(axis1, axis2), axes);
    }
    const int inside = QxPointInTriangle(QxVector(0.25f, 0.25f, 0), a, b, c, n, axis1, axis2);
    EXPECT_TRUE(inside == 1 || inside == 2);
    EXPECT_EQ(QxPointInTriangle(QxVector(0.5f, 0, 0), a, b, c, n, axis1, axis2), inside);
    EXPECT_EQ(QxPointInTriangle(QxVector(0.5f, 0.5f, 0), a, b, c, n, axis1, axis2), inside);
    EXPECT_EQ(QxPointInTriangle(QxVector(0.6f, 0.6f, 0), a, b, c, n, axis1, axis2), 0);
    EXPECT_EQ(QxPointInTriangle(QxVector(-0.1f, 0.5f, 0), a, b, c, n, axis1, axis2), 0);
    // The other winding gives the other bit; a degenerate triangle both.
    EXPECT_EQ(QxPointInTriangle(QxVector(0.25f, 0.25f, 0), a, c, b, n, axis1, axis2), 3 - inside);
    EXPECT_EQ(QxPointInTriangle(QxVector(0, 0, 0), a, a, a, n, axis1, axis2), 3);
    // Barycentric weights with a first edge of no extent on the first axis.
    const int first = 0, second = 1;
    float wa, wb, wc;
    QxTriangleBarycentric(QxVector(0.5f, 0.5f, 0), a, QxVector(0, 2, 0), QxVector(2, 0, 0), &first, &second, wa, wb,
                          wc);
    EXPECT_FLOAT_EQ(wb, 0.25f);
    EXPECT_FLOAT_EQ(wc, 0.25f);
    EXPECT_FLOAT_EQ(wa, 0.5f);
}

TEST(QxIntersectionTriangle, AgreesWithADoublePrecisionReferenceAwayFromTheEdges)
{
    mathtest::Random random(71);
    int hits = 0;
    for (int n = 0; n < 5000; ++n) {
        const QxVector a = random.Vector(-2, 2), b = random.Vector(-2, 2), c = random.Vector(-2, 2);
        const QxVector normal = QxCrossProduct(b - a, c - a);
        if (QxMagnitude(normal) < 0.5f)
            continue;
        // Aimed near the triangle so that about half the rays hit it.
        const float wb = random.Uniform(-0.3f, 1.0f), wc = random.Uniform(-0.3f, 1.0f);
        const QxVector target = a + (b - a) * wb + (c - a) * wc;
        const QxVector origin = random.Vector(-4, 4);
        const QxRay ray(origin, QxNormalize(target - origin));
        // Reference (Möller–Trumbore in double).
        const double e1[3] = {double(b.x) - a.x, double(b.y) - a.y, double(b.z) - a.z};
        const double e2[3] = {double(c.x) - a.x, double(c.y) - a.y, double(c.z) - a.z};
        const double d[3] = {ray.m_Direction.x, ray.m_Direction.y, ray.m_Direction.z};
        const double p[3] = {d[1] * e2[2] - d[2] * e2[1], d[2] * e2[0] - d[0] * e2[2], d[0] * e2[1] - d[1] * e2[0]};
        const double det = e1[0] * p[0] + e1[1] * p[1] + e1[2] * p[2];
        if (std::fabs(det) < 0.05)
            continue;
        const double s[3] = {double(ray.m_Origin.x) - a.x, double(ray.m_Origin.y) - a.y, double(ray.m_Origin.z) - a.z};
        const double u = (s[0] * p[0] + s[1] * p[1] + s[2] * p[2]) / det;
        const double q[3] = {s[1] * e1[2] - s[2] * e1[1], s[2] * e1[0] - s[0] * e1[2], s[0] * e1[1] - s[1] * e1[0]};
        const double v = (d[0] * q[0] + d[1] * q[1] + d[2] * q[2]) / det;
        const double t = (e2[0] * q[0] + e2[1] * q[1] + e2[2] * q[2]) / det;
        const double margin = 1e-3;
        if (std::fabs(u) < margin || std::fabs(v) < margin || std::fabs(u + v - 1) < margin || std::fabs(t) < margin)
            continue;
        const bool expected = u > 0 && v > 0 && u + v < 1 && t > 0;
        QxVector point;
        float tt;
        int axis1, axis2;
        const bool got = QxIntersectionRayTriangle(ray, a, b, c, normal, point, tt, axis1, axis2) != 0;
        ASSERT_EQ(got, expected) << n;
        if (got) {
            ++hits;
            ASSERT_NEAR(tt, t, 1e-4);
            // Barycentric weights from the projection give back u and v.
            float wa, wb, wc;
            QxTriangleBarycentric(point, a, b, c, &axis1, &axis2, wa, wb, wc);
            // The weights rebuild the point on the two projection axes (the
            // weights themselves lose precision when the projected triangle is thin).
            const QxVector rebuilt = a * wa + b * wb + c * wc;
            ASSERT_NEAR(rebuilt[axis1], point[axis1], 1e-4);
            ASSERT_NEAR(rebuilt[axis2], point[axis2], 1e-4);
            ASSERT_NEAR(wb, u, 1e-2);
            ASSERT_NEAR(wc, v, 1e-2);
            ASSERT_NEAR(wa + wb + wc, 1.0f, 1e-6);
        }
        // The segment form also needs the hit within the segment.
        const QxRay segment(ray.m_Origin, ray.m_Direction * 2.0f);
        const bool segmentExpected = expected && t < 2.0;
        if (std::fabs(t - 2.0) > margin) {
            ASSERT_EQ(QxIntersectionSegmentTriangle(segment, a, b, c, normal, point, tt, axis1, axis2) != 0,
                      segmentExpected);
        }
        // Front only: the ray must run against the normal.
        ASSERT_EQ(QxIntersectionRayTriangleFront(ray, a, b, c, normal, point, tt, axis1, axis2) != 0,
                  expected && QxDotProduct(normal, ray.m_Direction) < 0);
    }
    EXPECT_GT(hits, 1000);
}

TEST(QxIntersectionRayBoxPoints, GivesTheEntryAndExitFacesAndMinusOneFromInside)
{
    QxVector nearPoint, farPoint, nearNormal(5, 5, 5), farNormal;
    EXPECT_EQ(QxIntersectionRayBoxPoints(QxRay(QxVector(0, 0, -5), QxVector(0, 0, 1)), UnitBox(), nearPoint, &farPoint,
                                         &nearNormal, &farNormal),
              1);
    EXPECT_EQ(nearPoint, QxVector(0, 0, -1));
    EXPECT_EQ(farPoint, QxVector(0, 0, 1));
    EXPECT_EQ(nearNormal, QxVector(0, 0, -1));
    EXPECT_EQ(farNormal, QxVector(0, 0, 1));
    // Every direction component below epsilon with the origin inside: no entry face.
    EXPECT_EQ(QxIntersectionRayBoxPoints(QxRay(QxVector(0, 0, 0), QxVector(0, 0, 0)), UnitBox(), nearPoint, nullptr,
                                         &nearNormal, nullptr),
              -1);
    EXPECT_EQ(nearNormal, QxVector(0, 0, 0));
    // Parallel to a slab and outside it.
    EXPECT_EQ(QxIntersectionRayBoxPoints(QxRay(QxVector(0, 2, -5), QxVector(0, 0, 1)), UnitBox(), nearPoint, nullptr,
                                         nullptr, nullptr),
              0);
    // Boxes sharing a face overlap.
    EXPECT_EQ(QxIntersectionBoxBox(UnitBox(), QxBbox(QxVector(1, 0, 0), QxVector(2, 1, 1))), 1);
    EXPECT_EQ(QxIntersectionBoxBox(UnitBox(), QxBbox(QxVector(1.01f, 0, 0), QxVector(2, 1, 1))), 0);
    // Parallel edges do not separate overlapping oriented boxes; touching faces overlap.
    // An oriented box that is the axis-aligned box itself, moved half a unit:
    // every cross product of parallel axes is zero.
    QxOBB obb;
    obb.m_Center = QxVector(0.5f, 0.5f, 0);
    obb.m_Axis[0] = QxVector::AxisX();
    obb.m_Axis[1] = QxVector::AxisY();
    obb.m_Axis[2] = QxVector::AxisZ();
    obb.m_Extents[0] = obb.m_Extents[1] = obb.m_Extents[2] = 1;
    EXPECT_EQ(QxIntersectionBoxOBB(UnitBox(), obb), 1);
    // Touching faces count as overlap.
    obb.m_Center = QxVector(2, 0, 0);
    EXPECT_EQ(QxIntersectionBoxOBB(UnitBox(), obb), 1);
    obb.m_Center = QxVector(2.01f, 0, 0);
    EXPECT_EQ(QxIntersectionBoxOBB(UnitBox(), obb), 0);
}

TEST(QxIntersectionRayBox, AllBoxFormsAgreeWithADoubleSlabReferenceAwayFromTouching)
{
    mathtest::Random random(72);
    int hits = 0;
    for (int n = 0; n < 20000; ++n) {
        const QxBbox box = RandomBox(random);
        // Aimed at points around the box, with lengths that end before, inside and after it.
        const QxVector origin = random.Vector(-6, 6);
        const QxVector target = box.GetCenter() + box.GetHalfSize() * random.Uniform(0, 1.6f) * random.UnitVector();
        const QxRay ray(origin, (target - origin) * random.Uniform(0.3f, 2.0f));
        const Slab slab = ReferenceSlab(ray, box);
        const double margin = 1e-3;
        // Skip grazing cases: the entry and exit nearly equal, or an end at a face.
        if (slab.hit &&
            (slab.tmax - slab.tmin < margin || std::fabs(slab.tmax) < margin || std::fabs(slab.tmin) < margin ||
             std::fabs(slab.tmin - 1) < margin || std::fabs(slab.tmax - 1) < margin))
            continue;
        if (!slab.hit) {
            // How far the ray passes from the box: skip near misses.
            bool near = false;
            QxBbox grown(box.Min - QxVector(1e-3f), box.Max + QxVector(1e-3f));
            if (ReferenceSlab(ray, grown).hit)
                near = true;
            if (near)
                continue;
        }
        const bool rayHit = slab.hit && slab.tmax > 0;
        const bool segmentHit = slab.hit && slab.tmax > 0 && slab.tmin < 1;
        ASSERT_EQ(QxIntersectionRayBox(ray, box) != 0, rayHit) << n;
        ASSERT_EQ(QxIntersectionSegmentBox(ray, box) != 0, segmentHit) << n;
        QxVector nearPoint, farPoint;
        const int result = QxIntersectionRayBoxPoints(ray, box, nearPoint, &farPoint, nullptr, nullptr);
        ASSERT_EQ(result != 0, rayHit) << n;
        if (rayHit) {
            ++hits;
            ASSERT_EQ(result, slab.tmin <= 0 ? -1 : 1);
            const QxVector expectedNear = ray.m_Origin + ray.m_Direction * float(slab.tmin);
            const QxVector expectedFar = ray.m_Origin + ray.m_Direction * float(slab.tmax);
            if (slab.tmin > 0) {
                ASSERT_LT(mathtest::Distance(nearPoint, expectedNear), 1e-4);
            }
            ASSERT_LT(mathtest::Distance(farPoint, expectedFar), 1e-4);
        }
        ASSERT_EQ(QxIntersectionSegmentBoxPoints(ray, box, nearPoint, nullptr, nullptr, nullptr) != 0, segmentHit);
    }
    EXPECT_GT(hits, 1000);
}

TEST(QxIntersectionBoxOBB, AgreesWithADoubleSeparatingAxisReferenceAwayFromTouching)
{
    mathtest::Random random(73);
    int overlaps = 0, separations = 0;
    for (int n = 0; n < 20000; ++n) {
        const QxBbox box = RandomBox(random);
        QxOBB obb;
        obb.m_Center = random.Vector(-4, 4);
        QxMatrix r;
        random.UnitQuaternion().ToMatrix(r);
        for (int j = 0; j < 3; ++j) {
            obb.m_Axis[j] = QxVector(r[j][0], r[j][1], r[j][2]);
            obb.m_Extents[j] = random.Uniform(0.1f, 2);
        }
        // Reference: the largest gap over the 15 axes, each axis normalised.
        QxVector axes[15];
        int count = 0;
        const QxVector world[3] = {QxVector::AxisX(), QxVector::AxisY(), QxVector::AxisZ()};
        for (int i = 0; i < 3; ++i)
            axes[count++] = world[i];
        for (int j = 0; j < 3; ++j)
            axes[count++] = obb.m_Axis[j];
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                axes[count++] = QxCrossProduct(world[i], obb.m_Axis[j]);
        const QxVector t = obb.m_Center - box.GetCenter();
        const QxVector a = box.GetHalfSize();
        double gap = -1e300;
        for (const QxVector& axis : axes) {
            const double l = std::sqrt(double(axis.x) * axis.x + double(axis.y) * axis.y + double(axis.z) * axis.z);
            if (l < 1e-3)
                continue;
            const double lx = axis.x / l, ly = axis.y / l, lz = axis.z / l;
            const double ra = a.x * std::fabs(lx) + a.y * std::fabs(ly) + a.z * std::fabs(lz);
            double rb = 0;
            for (int j = 0; j < 3; ++j)
                rb += obb.m_Extents[j] * std::fabs(lx * obb.m_Axis[j].x + ly * obb.m_Axis[j].y + lz * obb.m_Axis[j].z);
            const double d = std::fabs(t.x * lx + t.y * ly + t.z * lz);
            gap = std::fmax(gap, d - ra - rb);
        }
        if (std::fabs(gap) < 1e-3)
            continue;
        const bool expected = gap < 0;
        ASSERT_EQ(QxIntersectionBoxOBB(box, obb) != 0, expected) << n;
        (expected ? overlaps : separations)++;
    }
    EXPECT_GT(overlaps, 1000);
    EXPECT_GT(separations, 1000);
}

TEST(QxIntersectionSphereBox, TouchingSphereOverlapsAndDistancesMatchAReference)
{
    EXPECT_EQ(QxIntersectionSphereBox(QxSphere{QxVector(2, 0, 0), 1.0f}, UnitBox()), 1);
    EXPECT_EQ(QxIntersectionSphereBox(QxSphere{QxVector(2, 2, 0), 1.0f}, UnitBox()), 0);
    EXPECT_EQ(QxSquareDistancePointBox(QxVector(0.5f, 0, 0), UnitBox()), 0.0f);
    EXPECT_EQ(QxSquareDistancePointBox(QxVector(3, -3, 0), UnitBox()), 8.0f);
    mathtest::Random random(74);
    for (int n = 0; n < 2000; ++n) {
        const QxBbox box = RandomBox(random);
        const QxVector p = random.Vector(-6, 6);
        double expected = 0;
        for (int i = 0; i < 3; ++i) {
            const double c = std::fmin(std::fmax(double(p[i]), double(box.Min[i])), double(box.Max[i]));
            expected += (p[i] - c) * (p[i] - c);
        }
        ASSERT_NEAR(QxSquareDistancePointBox(p, box), expected, 1e-4 * (1 + expected));
    }
}

TEST(QxDistance, PointToSegmentRayAndCone)
{
    const QxRay segment(QxVector(0, 0, 0), QxVector(2, 0, 0));
    float t = -1;
    EXPECT_EQ(QxPointSegmentSquareDistance(QxVector(5, 1, 0), segment, &t), 10.0f);
    EXPECT_EQ(t, 1.0f);
    EXPECT_EQ(QxPointRaySquareDistance(QxVector(5, 1, 0), segment, &t), 1.0f);
    EXPECT_EQ(t, 2.5f);
    EXPECT_EQ(QxPointRaySquareDistance(QxVector(-3, 4, 0), segment, &t), 25.0f);
    EXPECT_EQ(t, 0.0f);
    EXPECT_EQ(QxPointSegmentSquareDistance(QxVector(1, 3, 0), segment, nullptr), 9.0f);
    // Point to cone: signed, and behind the apex the distance to the apex.
    // Half-angle 45 degrees along +z from the origin.
    const float k = 0.70710678f;
    const QxCone cone{QxVector(0, 0, 0), QxVector(0, 0, 1), k, k};
    EXPECT_NEAR(QxDistancePointCone(cone, QxVector(0, 0, 5)), -5 * k, 1e-5);
    EXPECT_NEAR(QxDistancePointCone(cone, QxVector(2, 0, 2)), 0.0f, 1e-6);
    EXPECT_NEAR(QxDistancePointCone(cone, QxVector(4, 0, 2)), 2 * k, 1e-5);
    EXPECT_EQ(QxDistancePointCone(cone, QxVector(0, 3, -4)), 5.0f);
}

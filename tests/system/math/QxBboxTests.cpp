#include <gtest/gtest.h>

#include <cmath>

#include "system/math/QxBbox.h"
#include "system/math/QxMatrixRotation.h"
#include "system/math/QxProjectBoxDepthRange.h"
#include "system/math/QxTransformBox2D.h"
#include "tests/system/support/MathTestUtil.h"

namespace {

const float kPi = 3.14159265358979f;

QxBbox UnitBox()
{
    return QxBbox(QxVector(-1, -1, -1), QxVector(1, 1, 1));
}

} // namespace

TEST(QxBbox, StoresTheMaximumCornerFirstContainsItsBoundsAndMerges)
{
    const QxBbox box(QxVector(-1, -2, -3), QxVector(4, 5, 6));
    float words[6];
    std::memcpy(words, &box, sizeof(words));
    EXPECT_EQ(words[0], 4.0f);
    EXPECT_EQ(words[3], -1.0f);
    EXPECT_EQ(box.GetCenter(), QxVector(1.5f, 1.5f, 1.5f));
    EXPECT_EQ(box.GetHalfSize(), QxVector(2.5f, 3.5f, 4.5f));
    // Containment tests include the bounds; merging extends.
    const QxBbox unit = UnitBox();
    for (const QxVector& p : {QxVector(1, -1, 0), QxVector(-1, 1, 1), QxVector(0, 0, -1)})
        EXPECT_TRUE(unit.VectorIn(p));
    for (const QxVector& p : {QxVector(1.0001f, 0, 0), QxVector(0, -1.0001f, 0), QxVector(0, 0, 1.0001f)})
        EXPECT_FALSE(unit.VectorIn(p));
    EXPECT_TRUE(unit.IsBoxInside(unit));
    EXPECT_TRUE(unit.IsBoxInside(QxBbox(QxVector(-1, 0, 0), QxVector(0, 1, 1))));
    EXPECT_FALSE(unit.IsBoxInside(QxBbox(QxVector(-1, 0, 0), QxVector(0, 1, 1.5f))));
    EXPECT_FALSE(unit.IsBoxInside(QxBbox(QxVector(-1.5f, 0, 0), QxVector(0, 1, 1))));
    QxBbox merged(QxVector(0, 0, 0), QxVector(1, 1, 1));
    merged.Merge(QxVector(2, -1, 0.5f));
    EXPECT_EQ(merged, QxBbox(QxVector(0, -1, 0), QxVector(2, 1, 1)));
    merged.Merge(QxBbox(QxVector(-3, 0, 0), QxVector(0, 0, 5)));
    EXPECT_EQ(merged, QxBbox(QxVector(-3, -1, 0), QxVector(2, 1, 5)));
}

TEST(QxBbox, OutcodesAndClassifySayWhereBoxesLie)
{
    const QxBbox box(QxVector(0, 0, 0), QxVector(1, 1, 1));
    EXPECT_EQ(box.PointOutcode(QxVector(2, 0.5f, -1)), 544u);
    EXPECT_EQ(box.PointOutcode(QxVector(-1, 2, 2)), 16u | 64u | 256u);
    EXPECT_EQ(box.PointOutcode(QxVector(0.5f, -1, 0.5f)), 128u);
    EXPECT_EQ(box.PointOutcode(QxVector(1, 0, 0.5f)), 0u);
    EXPECT_EQ(box.BoxOutcode(QxBbox(QxVector(1, 1, 1), QxVector(2, 2, 2))), 0u);
    EXPECT_EQ(box.BoxOutcode(QxBbox(QxVector(2, 0, 0), QxVector(3, 1, 1))), 32u);
    EXPECT_EQ(box.BoxOutcode(QxBbox(QxVector(-3, 0, -5), QxVector(-2, 1, -4))), 16u | 512u);
    // Classify orders boxes as seen from a point.
    const QxBbox& small = box;
    const QxBbox big(QxVector(-2, -2, -2), QxVector(3, 3, 3));
    const QxBbox far(QxVector(5, 5, 5), QxVector(6, 6, 6));
    const QxBbox crossing(QxVector(0.5f, 0.5f, 0.5f), QxVector(2, 2, 2));
    const QxVector outsideAll(10, 10, 10);
    const QxVector insideBigOnly(-1, -1, -1);
    const QxVector insideSmall(0.5f, 0.5f, 0.5f);
    // The viewpoint outside this box.
    EXPECT_EQ(small.Classify(far, outsideAll), 0);      // disjoint
    EXPECT_EQ(big.Classify(small, outsideAll), -1);     // this contains other
    EXPECT_EQ(small.Classify(crossing, outsideAll), 0); // other does not contain this
    EXPECT_EQ(small.Classify(big, insideBigOnly), -1);  // other contains this and the point
    EXPECT_EQ(small.Classify(big, outsideAll), 1);      // other contains this, not the point
    // The viewpoint inside this box.
    EXPECT_EQ(small.Classify(far, insideSmall), -1);
    EXPECT_EQ(small.Classify(big, insideSmall), 1);
    EXPECT_EQ(small.Classify(crossing, insideSmall), 0);
}

TEST(QxBbox, TransformFromIsTheTightBoundOfTheTransformedCorners)
{
    QxMatrix m;
    QxMatrixFromAxisAngle(m, QxVector::AxisZ(), kPi / 4);
    m[3][0] = 5;
    QxBbox box = UnitBox();
    box.TransformFrom(box, m); // in place
    EXPECT_VECTOR_NEAR(box.GetHalfSize(), 1.4142135f, 1.4142135f, 1.0f, 1e-6);
    EXPECT_VECTOR_NEAR(box.GetCenter(), 5, 0, 0, 1e-6);
    mathtest::Random random(41);
    for (int n = 0; n < 500; ++n) {
        const QxBbox from(random.Vector(-5, 0), random.Vector(0.1f, 5));
        m = random.Affine(0.3f, 3.0f, n % 2 == 1);
        QxBbox result, corners(QxVector(1e30f), QxVector(-1e30f));
        result.TransformFrom(from, m);
        for (int c = 0; c < 8; ++c) {
            QxVector p;
            QxMultiplyMatrixVector(p, m,
                                   QxVector((c & 1) ? from.Max.x : from.Min.x, (c & 2) ? from.Max.y : from.Min.y,
                                            (c & 4) ? from.Max.z : from.Min.z));
            corners.Merge(p);
        }
        ASSERT_LT(mathtest::Distance(result.Min, corners.Min) + mathtest::Distance(result.Max, corners.Max), 1e-4) << n;
    }
}

TEST(QxTransformBox2D, ScreenExtentsInFrontCullingBehindAndSidesOfBoxesAcrossTheViewer)
{
    QxMatrix projection;
    projection.Perspective(kPi / 2, 1.0f, 1.0f, 100.0f);
    const QxBbox box(QxVector(-1, -1, 9), QxVector(1, 1, 11));
    const QxRect viewport(0, 0, 200, 100);
    QxRect extents;
    CKDWORD orFlags = 99, andFlags = 99;
    EXPECT_TRUE(QxTransformBox2D(projection, box, &viewport, &extents, &orFlags, &andFlags));
    EXPECT_EQ(orFlags, 0u);
    EXPECT_EQ(andFlags, 0u);
    // The nearest face (z = 9) gives the widest extents: x = ±1/9 of the half width.
    EXPECT_FLOAT_EQ(extents.left, 100.0f - 100.0f / 9.0f);
    EXPECT_FLOAT_EQ(extents.right, 100.0f + 100.0f / 9.0f);
    EXPECT_FLOAT_EQ(extents.top, 50.0f - 50.0f / 9.0f);
    EXPECT_FLOAT_EQ(extents.bottom, 50.0f + 50.0f / 9.0f);
    // A box behind the camera is culled.
    const QxBbox behind(QxVector(-1, -1, -11), QxVector(1, 1, -9));
    EXPECT_FALSE(QxTransformBox2D(projection, behind, nullptr, nullptr, &orFlags, &andFlags));
    EXPECT_TRUE(andFlags & QX_CLIP_FRONT);
    // A box straddling the viewer takes the viewport sides it crosses.
    const QxBbox straddling(QxVector(0.5f, -0.5f, -5), QxVector(3, 0.5f, 5));
    const QxRect square(0, 0, 200, 200);
    EXPECT_TRUE(QxTransformBox2D(projection, straddling, &square, &extents, &orFlags, &andFlags));
    EXPECT_TRUE(orFlags & QX_CLIP_FRONT);
    // Behind the viewer w < 0, so a corner there is both left of -w and right
    // of w (and above and below): every side is widened to the viewport.
    EXPECT_EQ(orFlags & 0xF0u, 0xF0u);
    EXPECT_EQ(extents, square);

    // A box that only reaches behind the viewer below the x = -w line keeps its computed right side.
    const QxBbox low(QxVector(-3, -0.5f, -0.5f), QxVector(-0.5f, 0.5f, 5));
    EXPECT_TRUE(QxTransformBox2D(projection, low, &square, &extents, &orFlags, &andFlags));
    EXPECT_TRUE(orFlags & QX_CLIP_FRONT);
    EXPECT_FALSE(orFlags & QX_CLIP_RIGHT);
    EXPECT_EQ(extents.left, 0.0f);
    EXPECT_LT(extents.right, 100.0f);
    // A flat box uses its four corners.
    const QxBbox flat(QxVector(-1, -1, 4), QxVector(1, 1, 4));
    const QxRect small(0, 0, 100, 100);
    EXPECT_TRUE(QxTransformBox2D(projection, flat, &small, &extents, nullptr, nullptr));
    EXPECT_FLOAT_EQ(extents.left, 50.0f - 50.0f / 4.0f);
    EXPECT_FLOAT_EQ(extents.bottom, 50.0f + 50.0f / 4.0f);
    // Extents are written only when both they and the viewport are given.
    EXPECT_TRUE(QxTransformBox2D(projection, flat, &small, nullptr, nullptr, nullptr));
    EXPECT_TRUE(QxTransformBox2D(projection, flat, nullptr, &extents, nullptr, nullptr));
}

TEST(QxProjectBoxDepthRange, GivesTheNearestAndFarthestCornerDepths)
{
    QxMatrix projection;
    projection.Perspective(kPi / 2, 1.0f, 1.0f, 101.0f);
    const QxBbox box(QxVector(-1, -1, 1), QxVector(1, 1, 101));
    float low = 0, high = 0;
    QxProjectBoxDepthRange(box, projection, &low, &high);
    EXPECT_NEAR(low, 0.0f, 1e-6);
    EXPECT_NEAR(high, 1.0f, 1e-6);
    // A flat box and a box with corners behind the viewer (depth 0 there).
    const QxBbox flat(QxVector(-1, -1, 51), QxVector(1, 1, 51));
    QxProjectBoxDepthRange(flat, projection, &low, &high);
    EXPECT_FLOAT_EQ(low, high);
    const QxBbox straddling(QxVector(-1, -1, -5), QxVector(1, 1, 51));
    QxProjectBoxDepthRange(straddling, projection, &low, &high);
    EXPECT_EQ(low, 0.0f);
    EXPECT_GT(high, 0.9f);
}

#include <gtest/gtest.h>

#include "system/math/QxRect.h"

TEST(QxRect, ConvertsToUnitsOfAReferenceAndBackAgain)
{
    auto expectNear = [](const QxRect& a, const QxRect& b) {
        EXPECT_FLOAT_EQ(a.left, b.left);
        EXPECT_FLOAT_EQ(a.top, b.top);
        EXPECT_FLOAT_EQ(a.right, b.right);
        EXPECT_FLOAT_EQ(a.bottom, b.bottom);
    };
    QxRect r(10, 20, 30, 60);
    r.TransformToRelative(QxRect(0, 0, 100, 200));
    expectNear(r, QxRect(0.1f, 0.1f, 0.3f, 0.3f));
    r.TransformFromRelative(QxRect(0, 0, 100, 200));
    expectNear(r, QxRect(10, 20, 30, 60));
    QxRect s(0.5f, 0.25f, 1.0f, 0.75f);
    s.TransformFromRelative(QxRect(100, 50, 300, 450));
    EXPECT_EQ(s, QxRect(200, 150, 300, 350));
    s.TransformToRelative(QxRect(100, 50, 300, 450));
    EXPECT_EQ(s, QxRect(0.5f, 0.25f, 1.0f, 0.75f));
}

TEST(QxRect, InsideTestsIncludeEveryEdgeAndInterpolationCentresAndSizes)
{
    const QxRect r(0, 0, 10, 5);
    EXPECT_TRUE(r.IsInside(Qx2DVector(0, 0)));
    EXPECT_TRUE(r.IsInside(Qx2DVector(10, 5)));
    EXPECT_FALSE(r.IsInside(Qx2DVector(10.001f, 5)));
    EXPECT_FALSE(r.IsInside(Qx2DVector(5, -0.001f)));
    const QxIntRect i = {0, 0, 640, 480};
    EXPECT_TRUE(QxIsPointInRect(i, QxIntPoint{640, 480}));
    EXPECT_TRUE(QxIsPointInRect(i, QxIntPoint{0, 0}));
    EXPECT_FALSE(QxIsPointInRect(i, QxIntPoint{641, 10}));
    EXPECT_FALSE(QxIsPointInRect(i, QxIntPoint{10, -1}));
    // Interpolation, centres, sizes and the null test.
    const QxRect q(10, 20, 30, 60);
    EXPECT_EQ(q.Interpolate(Qx2DVector(0.5f, 0.25f)), Qx2DVector(20, 30));
    EXPECT_EQ(Qx2DVector(q.GetCenterX(), q.GetCenterY()), Qx2DVector(20, 40));
    EXPECT_EQ(Qx2DVector(q.GetWidth(), q.GetHeight()), Qx2DVector(20, 40));
    EXPECT_FALSE(q.IsNull());
    EXPECT_FALSE(QxRect(0, 0, 0, 1).IsNull());
    EXPECT_TRUE(QxRect().IsNull());
}

TEST(QxRect, ClipKeepsTheOverlapOrRefusesLeavingTheRectangleUnchanged)
{
    QxRect r(0, 0, 10, 10);
    EXPECT_TRUE(r.Clip(QxRect(5, -5, 20, 8)));
    EXPECT_EQ(r, QxRect(5, 0, 10, 8));
    // other.right <= left refuses, touching included.
    QxRect s(0, 0, 10, 10);
    for (const QxRect& other : {QxRect(-5, 0, 0, 10), QxRect(0, -5, 10, 0), QxRect(10.5f, 0, 20, 10)})
        EXPECT_FALSE(s.Clip(other));
    EXPECT_EQ(s, QxRect(0, 0, 10, 10));
    // other.left == right still overlaps (a zero-width strip).
    EXPECT_TRUE(s.Clip(QxRect(10, 0, 20, 10)));
    EXPECT_EQ(s, QxRect(10, 0, 10, 10));
}

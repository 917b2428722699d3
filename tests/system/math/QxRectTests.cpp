#include <gtest/gtest.h>

#include "system/math/QxRect.h"

TEST(QxRect, ConvertsToUnitsOfAReferenceAndBackAgain)
{
    QxRect r(10, 20, 30, 60);
    const QxRect reference(0, 0, 100, 200);
    r.TransformToRelative(reference);
    EXPECT_FLOAT_EQ(r.left, 0.1f);
    EXPECT_FLOAT_EQ(r.top, 0.1f);
    EXPECT_FLOAT_EQ(r.right, 0.3f);
    EXPECT_FLOAT_EQ(r.bottom, 0.3f);
    r.TransformFromRelative(reference);
    EXPECT_FLOAT_EQ(r.left, 10);
    EXPECT_FLOAT_EQ(r.top, 20);
    EXPECT_FLOAT_EQ(r.right, 30);
    EXPECT_FLOAT_EQ(r.bottom, 60);
}

TEST(QxRect, RelativeConversionHonoursAnOffsetReference)
{
    QxRect r(0.5f, 0.25f, 1.0f, 0.75f);
    r.TransformFromRelative(QxRect(100, 50, 300, 450));
    EXPECT_EQ(r, QxRect(200, 150, 300, 350));
}

TEST(QxRect, IsInsideIncludesEveryEdge)
{
    const QxRect r(0, 0, 10, 5);
    EXPECT_TRUE(r.IsInside(Qx2DVector(0, 0)));
    EXPECT_TRUE(r.IsInside(Qx2DVector(10, 5)));
    EXPECT_FALSE(r.IsInside(Qx2DVector(10.001f, 5)));
    EXPECT_FALSE(r.IsInside(Qx2DVector(5, -0.001f)));
}

TEST(QxRect, ClipKeepsTheOverlapOrRefusesLeavingTheRectangleUnchanged)
{
    QxRect r(0, 0, 10, 10);
    EXPECT_TRUE(r.Clip(QxRect(5, -5, 20, 8)));
    EXPECT_EQ(r, QxRect(5, 0, 10, 8));
    QxRect s(0, 0, 10, 10);
    // other.right <= left refuses, touching included.
    EXPECT_FALSE(s.Clip(QxRect(-5, 0, 0, 10)));
    EXPECT_FALSE(s.Clip(QxRect(0, -5, 10, 0)));
    EXPECT_FALSE(s.Clip(QxRect(10.5f, 0, 20, 10)));
    EXPECT_EQ(s, QxRect(0, 0, 10, 10));
    // other.left == right still overlaps (a zero-width strip).
    EXPECT_TRUE(s.Clip(QxRect(10, 0, 20, 10)));
    EXPECT_EQ(s, QxRect(10, 0, 10, 10));
}

TEST(QxRect, InterpolationCentresNullTestAndSize)
{
    const QxRect r(10, 20, 30, 60);
    EXPECT_EQ(r.Interpolate(Qx2DVector(0.5f, 0.25f)), Qx2DVector(20, 30));
    EXPECT_EQ(r.GetCenterX(), 20.0f);
    EXPECT_EQ(r.GetCenterY(), 40.0f);
    EXPECT_EQ(r.GetWidth(), 20.0f);
    EXPECT_EQ(r.GetHeight(), 40.0f);
    EXPECT_FALSE(r.IsNull());
    EXPECT_TRUE(QxRect().IsNull());
}

TEST(QxIsPointInRect, IncludesTheRightAndBottomEdges)
{
    const QxIntRect r = {0, 0, 640, 480};
    EXPECT_TRUE(QxIsPointInRect(r, QxIntPoint{640, 480}));
    EXPECT_TRUE(QxIsPointInRect(r, QxIntPoint{0, 0}));
    EXPECT_FALSE(QxIsPointInRect(r, QxIntPoint{641, 10}));
    EXPECT_FALSE(QxIsPointInRect(r, QxIntPoint{10, -1}));
}

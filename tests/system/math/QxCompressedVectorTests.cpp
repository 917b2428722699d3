#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "system/math/QxCompressedVector.h"
#include "system/math/QxMathTables.h"
#include "system/math/QxVector.h"
#include "tests/system/support/MathTestUtil.h"

TEST(QxMathTables, TablesAgreeWithTheirFunctionsEverywhere)
{
    QxInitMathTables();
    QxInitMathTables(); // idempotent
    const float* sine = QxGetSinTable();
    const CKWORD* arcSin = QxGetArcSinTable();
    const float* invSqrt = QxGetInvSqrtTable();
    const double pi = double(3.14159265358979323846f);
    for (int i = 0; i < 16384; ++i) {
        ASSERT_NEAR(sine[i], std::sin(i * pi / 8192), 1e-7) << i;
        ASSERT_EQ(arcSin[i], int(std::asin((i - 8192) / 8192.0) * 8192 / pi) & 0x3FFF) << i;
    }
    // The cosine table is the sine table a quarter turn on, without wrapping.
    EXPECT_EQ(QxGetCosTable(), sine + 4096);
    EXPECT_EQ(sine[4096], 1.0f);
    EXPECT_EQ(sine[16384 + 4095], sine[4095]);
    EXPECT_EQ(invSqrt[0], std::numeric_limits<float>::max());
    EXPECT_EQ(invSqrt[8192], 1.0f);
    EXPECT_EQ(invSqrt[16384], invSqrt[0]);
}

TEST(QxCompressedVector, ArcSinIndexClampsOutOfRangeAndNonFiniteValues)
{
    const CKWORD* arcSin = QxGetArcSinTable();
    EXPECT_EQ(QxArcSinIndex(0.0f), arcSin[8192]);
    EXPECT_EQ(QxArcSinIndex(1.0f), arcSin[16383]);
    EXPECT_EQ(QxArcSinIndex(5.0f), arcSin[16383]);
    EXPECT_EQ(QxArcSinIndex(-5.0f), arcSin[0]);
    EXPECT_EQ(QxArcSinIndex(std::numeric_limits<float>::infinity()), arcSin[16383]);
    EXPECT_EQ(QxArcSinIndex(-std::numeric_limits<float>::infinity()), arcSin[0]);
    EXPECT_EQ(QxArcSinIndex(std::numeric_limits<float>::quiet_NaN()), arcSin[0]);
}

TEST(QxCompressedVector, AxesPackToTheirWordsAndNegativeZMirrorsTheAzimuth)
{
    struct Case
    {
        QxVector v;
        CKWORD elevation, azimuth;
    };
    // asin(8191/8192) in table steps: the table cannot reach a quarter turn.
    const Case cases[] = {{QxVector(0, 0, 1), 0, 0}, {QxVector(0, 0, -1), 0, 8192}, {QxVector(1, 0, 0), 0, 4055}};
    for (const Case& c : cases) {
        QxCompressedVector packed;
        packed.Set(c.v.x, c.v.y, c.v.z);
        EXPECT_EQ(packed.m_Elevation, c.elevation);
        EXPECT_EQ(packed.m_Azimuth, c.azimuth);
        QxVector back;
        back.SetFromCompressed(packed);
        EXPECT_LT(mathtest::Distance(back, c.v), 0.016);
    }
    QxCompressedVector front, back, side;
    front.Set(0.6f, 0, 0.8f);
    back.Set(0.6f, 0, -0.8f);
    side.Set(0.6f, 0, 0.0f);
    EXPECT_EQ(back.m_Azimuth, (-8192 - front.m_Azimuth) & 0x3FFF);
    EXPECT_EQ(side.m_Azimuth, front.m_Azimuth);
    // Decoding reads only the low fourteen bits of each word.
    QxVector low, high;
    low.SetFromCompressed(QxCompressedVector(1000, 3000));
    high.SetFromCompressed(QxCompressedVector(1000 | 0xC000, 3000 | 0x4000));
    EXPECT_EQ(low, high);
}

// The packing error is bounded by the tables: an index step is pi/8192 of
// angle, but near v = ±1 one step of the arcsine table's argument (1/8192)
// is worth up to sqrt(2/8192) ≈ 0.0156 rad of angle. Both words can carry
// that error, and the azimuth's argument x / cos(alpha) is itself read from a
// table indexed by y, so near the poles it can be off by up to a further
// step of the elevation.
TEST(QxCompressedVector, RandomUnitVectorsSurviveCompressionWithinTheTableBound)
{
    mathtest::Random random(11);
    const double stepAngle = 3.14159265 / 8192;
    const double edgeAngle = std::sqrt(2.0 / 8192);
    const double bound = 2 * (edgeAngle + stepAngle);
    double worst = 0, worstAwayFromEdges = 0;
    for (int i = 0; i < 100000; ++i) {
        const QxVector u = random.UnitVector();
        QxCompressedVector c;
        c.Set(u.x, u.y, u.z);
        QxVector back;
        back.SetFromCompressed(c);
        const double error = mathtest::Distance(u, back);
        ASSERT_LE(error, bound) << u.x << " " << u.y << " " << u.z;
        worst = std::fmax(worst, error);
        // Away from the arcsine's steep ends both angles resolve to a few steps.
        const double cosAlpha = std::sqrt(1.0 - double(u.y) * u.y);
        if (std::fabs(u.y) < 0.9 && std::fabs(u.x) < 0.9 * cosAlpha)
            worstAwayFromEdges = std::fmax(worstAwayFromEdges, error);
    }
    EXPECT_LT(worstAwayFromEdges, 4 * stepAngle);
    EXPECT_GT(worst, 0.0);
}

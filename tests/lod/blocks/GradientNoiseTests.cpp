// The noise against a straight transcription of the published reference
// gradient noise, fed the same random sequence.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "core/context/CKRandom.h"
#include "lod/blocks/GradientNoise.h"

namespace {

// The reference, as published, its random() the engine's generator.
namespace reference {

#define B 0x100
#define BM 0xff
#define N 0x1000

int p[B + B + 2];
float g3[B + B + 2][3];
float g2[B + B + 2][2];
float g1[B + B + 2];

#define s_curve(t) (t * t * (3. - 2. * t))
#define lerp(t, a, b) (a + t * (b - a))
#define setup(i, b0, b1, r0, r1)                                                                                       \
    t = vec[i] + N;                                                                                                    \
    b0 = ((int) t) & BM;                                                                                               \
    b1 = (b0 + 1) & BM;                                                                                                \
    r0 = t - (int) t;                                                                                                  \
    r1 = r0 - 1.;
#define at3(rx, ry, rz) (rx * q[0] + ry * q[1] + rz * q[2])

int random()
{
    return CKRand();
}

void normalize2(float v[2])
{
    float s;
    s = std::sqrt((double) (v[0] * v[0] + v[1] * v[1]));
    v[0] = v[0] / s;
    v[1] = v[1] / s;
}

void normalize3(float v[3])
{
    float s;
    s = std::sqrt((double) (v[0] * v[0] + v[1] * v[1] + v[2] * v[2]));
    v[0] = v[0] / s;
    v[1] = v[1] / s;
    v[2] = v[2] / s;
}

void init()
{
    int i, j, k;
    for (i = 0; i < B; i++) {
        p[i] = i;
        g1[i] = (float) ((random() % (B + B)) - B) / B;
        for (j = 0; j < 2; j++)
            g2[i][j] = (float) ((random() % (B + B)) - B) / B;
        normalize2(g2[i]);
        for (j = 0; j < 3; j++)
            g3[i][j] = (float) ((random() % (B + B)) - B) / B;
        normalize3(g3[i]);
    }
    while (--i) {
        k = p[i];
        p[i] = p[j = random() % B];
        p[j] = k;
    }
    for (i = 0; i < B + 2; i++) {
        p[B + i] = p[i];
        g1[B + i] = g1[i];
        for (j = 0; j < 2; j++)
            g2[B + i][j] = g2[i][j];
        for (j = 0; j < 3; j++)
            g3[B + i][j] = g3[i][j];
    }
}

float noise3(float vec[3])
{
    int bx0, bx1, by0, by1, bz0, bz1, b00, b10, b01, b11;
    float rx0, rx1, ry0, ry1, rz0, rz1, *q, sy, sz, a, b, c, d, t, u, v;
    int i, j;

    setup(0, bx0, bx1, rx0, rx1);
    setup(1, by0, by1, ry0, ry1);
    setup(2, bz0, bz1, rz0, rz1);

    i = p[bx0];
    j = p[bx1];

    b00 = p[i + by0];
    b10 = p[j + by0];
    b01 = p[i + by1];
    b11 = p[j + by1];

    t = s_curve(rx0);
    sy = s_curve(ry0);
    sz = s_curve(rz0);

    q = g3[b00 + bz0];
    u = at3(rx0, ry0, rz0);
    q = g3[b10 + bz0];
    v = at3(rx1, ry0, rz0);
    a = lerp(t, u, v);

    q = g3[b01 + bz0];
    u = at3(rx0, ry1, rz0);
    q = g3[b11 + bz0];
    v = at3(rx1, ry1, rz0);
    b = lerp(t, u, v);

    c = lerp(sy, a, b);

    q = g3[b00 + bz1];
    u = at3(rx0, ry0, rz1);
    q = g3[b10 + bz1];
    v = at3(rx1, ry0, rz1);
    a = lerp(t, u, v);

    q = g3[b01 + bz1];
    u = at3(rx0, ry1, rz1);
    q = g3[b11 + bz1];
    v = at3(rx1, ry1, rz1);
    b = lerp(t, u, v);

    d = lerp(sy, a, b);

    return lerp(sz, c, d);
}

#undef B
#undef BM
#undef N
#undef s_curve
#undef lerp
#undef setup
#undef at3

} // namespace reference

class GradientNoiseTest : public ::testing::TestWithParam<CKDWORD>
{
protected:
    void TearDown() override { CKSrand(1); }
};

TEST_P(GradientNoiseTest, EqualsTheReferenceBitForBitOverAHundredThousandPoints)
{
    CKSrand(GetParam());
    reference::init();
    CKSrand(GetParam());
    GradientNoiseTables tables;
    BuildGradientNoiseTables(tables);
    ASSERT_EQ(std::memcmp(tables.P, reference::p, sizeof tables.P), 0);
    ASSERT_EQ(std::memcmp(tables.G3, reference::g3, sizeof tables.G3), 0);
    ASSERT_EQ(std::memcmp(tables.G2, reference::g2, sizeof tables.G2), 0);
    ASSERT_EQ(std::memcmp(tables.G1, reference::g1, sizeof tables.G1), 0);

    std::mt19937 rng(GetParam());
    std::uniform_real_distribution<float> wide(-300.0f, 300.0f);
    std::uniform_real_distribution<float> near(-2.0f, 2.0f);
    for (int n = 0; n < 100000; ++n) {
        float vec[3];
        for (float& c : vec)
            c = n % 2 ? wide(rng) : near(rng);
        const float expected = reference::noise3(vec);
        const float got = GradientNoise3(tables, vec[0], vec[1], vec[2]);
        ASSERT_EQ(std::memcmp(&got, &expected, sizeof got), 0)
            << "at (" << vec[0] << ", " << vec[1] << ", " << vec[2] << "): " << got << " against " << expected;
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, GradientNoiseTest, ::testing::Values(1u, 7u, 20260101u));

TEST(GradientNoise, IsZeroAtEveryLatticePoint)
{
    const GradientNoiseTables& tables = GetGradientNoiseTables();
    for (int x = -6; x <= 6; ++x)
        for (int y = -6; y <= 6; ++y)
            for (int z = -6; z <= 6; ++z)
                ASSERT_EQ(GradientNoise3(tables, (float) x * 3.0f, (float) y, (float) z * 17.0f), 0.0f)
                    << x << ", " << y << ", " << z;
}

TEST(GradientNoise, StaysWithinOneAndIsContinuous)
{
    const GradientNoiseTables& tables = GetGradientNoiseTables();
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> any(-50.0f, 50.0f);
    for (int n = 0; n < 20000; ++n) {
        const float x = any(rng), y = any(rng), z = any(rng);
        const float v = GradientNoise3(tables, x, y, z);
        ASSERT_LE(std::fabs(v), 1.5f);
        ASSERT_LE(std::fabs(GradientNoise3(tables, x + 1e-4f, y, z) - v), 1e-2f);
    }
}

TEST(GradientNoise, CoordinatesBeyondTheIntegersGiveANumber)
{
    const GradientNoiseTables& tables = GetGradientNoiseTables();
    const float odd[] = {NAN, INFINITY, -INFINITY, 3e9f, -3e9f, 1e30f, -4096.5f};
    for (float v : odd)
        EXPECT_LE(std::fabs(GradientNoise3(tables, v, 0.25f, 0.5f)), 2.0f) << v;
    EXPECT_EQ(GradientNoise3(tables, 3e9f, 0.0f, 0.0f), 0.0f);
}

TEST(GradientNoise, TheProcessTablesAreBuiltOnce)
{
    const GradientNoiseTables* first = &GetGradientNoiseTables();
    GradientNoiseTables copy;
    std::memcpy(&copy, first, sizeof copy);
    CKSrand(99);
    EXPECT_EQ(&GetGradientNoiseTables(), first);
    EXPECT_EQ(std::memcmp(&copy, first, sizeof copy), 0);
    CKSrand(1);
}

} // namespace

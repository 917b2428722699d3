// The noise against a straight transcription of the published reference
// gradient noise, fed the same random sequence.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "core/context/CKRandom.h"
#include "lod/blocks/GradientNoise.h"
#include "tools/testdata/ReferenceNoise.h"

namespace {

class GradientNoiseTest : public ::testing::TestWithParam<CKDWORD>
{
protected:
    void TearDown() override { CKSrand(1); }
};

TEST_P(GradientNoiseTest, EqualsTheReferenceBitForBitOverAHundredThousandPoints)
{
    CKSrand(GetParam());
    ReferenceNoise::init();
    CKSrand(GetParam());
    GradientNoiseTables tables;
    BuildGradientNoiseTables(tables);
    ASSERT_EQ(std::memcmp(tables.P, ReferenceNoise::p, sizeof tables.P), 0);
    ASSERT_EQ(std::memcmp(tables.G3, ReferenceNoise::g3, sizeof tables.G3), 0);
    ASSERT_EQ(std::memcmp(tables.G2, ReferenceNoise::g2, sizeof tables.G2), 0);
    ASSERT_EQ(std::memcmp(tables.G1, ReferenceNoise::g1, sizeof tables.G1), 0);

    std::mt19937 rng(GetParam());
    std::uniform_real_distribution<float> wide(-300.0f, 300.0f);
    std::uniform_real_distribution<float> near(-2.0f, 2.0f);
    for (int n = 0; n < 100000; ++n) {
        float vec[3];
        for (float& c : vec)
            c = n % 2 ? wide(rng) : near(rng);
        const float expected = ReferenceNoise::noise3(vec);
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

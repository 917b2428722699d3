// The grid search against the scan it stands for.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "lod/blocks/NearestPointSearch.h"

namespace {

// Every point in order, kept when strictly closer than the limit and than
// the best so far.
std::vector<int> Scan(const std::vector<QxVector>& queries, const std::vector<QxVector>& points, float limit)
{
    std::vector<int> out;
    for (const QxVector& q : queries) {
        float best = limit;
        int found = -1;
        for (size_t j = 0; j < points.size(); ++j) {
            const float d = SearchSquaredDistance(q, points[j]);
            if (d < best) {
                best = d;
                found = (int) j;
            }
        }
        out.push_back(found);
    }
    return out;
}

std::vector<int> Grid(const std::vector<QxVector>& queries, const std::vector<QxVector>& points, float limit)
{
    std::vector<int> out(queries.size(), -7);
    FindNearestPoints(out.data(), queries.data(), (int) queries.size(), points.data(), (int) points.size(), limit);
    return out;
}

struct Cloud
{
    const char* Name;
    float Spread;  // coordinates in [-spread, spread]
    float Snap;    // 0, or the step coordinates are rounded to (ties)
    float Limit;   // squared
    bool Oddities; // some coordinates not a number or infinite
};

const Cloud kClouds[] = {
    {"Sparse", 10.0f, 0.0f, 0.04f, false},          {"Dense", 1.0f, 0.0f, 0.01f, false},
    {"TiesOnAGrid", 2.0f, 0.25f, 0.3f, false},      {"LimitWiderThanTheCloud", 1.0f, 0.0f, 100.0f, false},
    {"TinyLimit", 1.0f, 1e-6f, 1e-12f, false},      {"DenormalLimit", 1e-20f, 0.0f, 1e-44f, false},
    {"HugeCoordinates", 3e18f, 0.0f, 1e36f, false}, {"NotANumberAndInfinity", 5.0f, 0.0f, 1.0f, true},
    {"ZeroLimit", 1.0f, 0.25f, 0.0f, false},        {"NegativeLimit", 1.0f, 0.0f, -1.0f, false},
};

class NearestPointSearchTest : public ::testing::TestWithParam<int>
{};

TEST_P(NearestPointSearchTest, FindsWhatTheScanFinds)
{
    const Cloud& c = kClouds[GetParam()];
    std::mt19937 rng(100 + GetParam());
    std::uniform_real_distribution<float> any(-c.Spread, c.Spread);
    auto point = [&]() {
        QxVector p(any(rng), any(rng), any(rng));
        if (c.Snap > 0.0f)
            for (int k = 0; k < 3; ++k)
                p[k] = std::round(p[k] / c.Snap) * c.Snap;
        return p;
    };
    std::vector<QxVector> points(3000), queries(700);
    for (QxVector& p : points)
        p = point();
    for (QxVector& q : queries)
        q = point();
    // Some points twice, some queries on points.
    for (int i = 0; i < 300; ++i)
        points[(size_t) i + 1000] = points[(size_t) i];
    for (int i = 0; i < 100; ++i)
        queries[(size_t) i] = points[(size_t) i * 7];
    if (c.Oddities)
        for (int i = 0; i < 50; ++i) {
            points[(size_t) i * 13][i % 3] = i % 2 ? NAN : INFINITY;
            queries[(size_t) i * 5 + 1][i % 3] = i % 2 ? -INFINITY : NAN;
        }
    EXPECT_EQ(Grid(queries, points, c.Limit), Scan(queries, points, c.Limit));
}

INSTANTIATE_TEST_SUITE_P(Clouds, NearestPointSearchTest,
                         ::testing::Range(0, (int) (sizeof kClouds / sizeof kClouds[0])),
                         [](const ::testing::TestParamInfo<int>& info) { return kClouds[info.param].Name; });

TEST(NearestPointSearch, APointExactlyAtTheLimitIsNotTaken)
{
    const std::vector<QxVector> points = {QxVector(0.5f, 0.0f, 0.0f), QxVector(0.0f, 0.25f, 0.0f)};
    const std::vector<QxVector> query = {QxVector(0.0f, 0.0f, 0.0f)};
    EXPECT_EQ(Grid(query, points, 0.0625f), std::vector<int>{-1});
    EXPECT_EQ(Grid(query, points, 0.0626f), std::vector<int>{1});
}

TEST(NearestPointSearch, OfEquallyClosePointsTheFirstIsTaken)
{
    const std::vector<QxVector> points = {QxVector(3.0f, 0.0f, 0.0f), QxVector(0.0f, -1.0f, 0.0f),
                                          QxVector(1.0f, 0.0f, 0.0f), QxVector(0.0f, 0.0f, 1.0f)};
    EXPECT_EQ(Grid({QxVector(0.0f, 0.0f, 0.0f)}, points, 4.0f), std::vector<int>{1});
}

TEST(NearestPointSearch, NothingToSearchFindsNothing)
{
    const std::vector<QxVector> query = {QxVector(0.0f, 0.0f, 0.0f)};
    EXPECT_EQ(Grid(query, {}, 1.0f), std::vector<int>{-1});
    EXPECT_EQ(Grid(query, {QxVector(0.0f, 0.0f, 0.0f)}, NAN), std::vector<int>{-1});
}

} // namespace

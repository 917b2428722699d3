// The mesh kernels (face and vertex normals, normalisation) and the
// ray-mesh hit test, against hand-worked cases and a double-precision model.
#include <cmath>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "render/mesh/MeshKernels.h"
#include "render/mesh/MeshRayIntersection.h"
#include "tools/testdata/TestMeshes.h"

namespace {

std::vector<CKVertex> Vertices(const std::vector<QxVector>& positions)
{
    std::vector<CKVertex> out(positions.size());
    for (size_t i = 0; i < positions.size(); ++i)
        out[i].Position = positions[i];
    return out;
}

void ExpectNear(const QxVector& a, const QxVector& b, float tolerance = 1e-6f)
{
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

TEST(MeshKernels, FaceNormalsFollowTheWindingAndAreZeroWithoutArea)
{
    std::vector<CKVertex> v = Vertices({{0, 0, 0}, {2, 0, 0}, {0, 3, 0}, {4, 0, 0}, {0, 0, 5}});
    struct Case
    {
        CKDWORD a, b, c;
        QxVector normal;
    };
    const Case cases[] = {
        {0, 1, 2, {0, 0, 1}}, {0, 2, 1, {0, 0, -1}}, {0, 1, 4, {0, -1, 0}}, {0, 1, 3, {0, 0, 0}}, // collinear: no area
        {1, 1, 2, {0, 0, 0}},                                                                     // a corner twice
        {0, 1, 9, {0, 0, 0}}, // a corner past the vertices
    };
    std::vector<CKDWORD> indices;
    for (const Case& c : cases)
        indices.insert(indices.end(), {c.a, c.b, c.c});
    std::vector<CKFace> faces(std::size(cases));
    CKGetMeshKernels().ComputeFaceNormals(faces.data(), (int) faces.size(), indices.data(), v.data(), (int) v.size());
    for (size_t i = 0; i < faces.size(); ++i) {
        SCOPED_TRACE(i);
        ExpectNear(faces[i].Normal, cases[i].normal);
    }
}

TEST(MeshKernels, VertexNormalsSumTheFaceNormalsAndAZeroSumStaysZero)
{
    // A square pyramid without base, an isolated vertex, and two triangles
    // back to back.
    std::vector<CKVertex> v = Vertices(
        {{0, 1, 0}, {-1, 0, -1}, {1, 0, -1}, {1, 0, 1}, {-1, 0, 1}, {7, 7, 7}, {10, 0, 0}, {11, 0, 0}, {10, 1, 0}});
    std::vector<CKDWORD> indices = {0, 2, 1, 0, 3, 2, 0, 4, 3, 0, 1, 4, 6, 7, 8, 6, 8, 7};
    std::vector<CKFace> faces(6);
    CKGetMeshKernels().ComputeVertexNormals(faces.data(), 6, indices.data(), v.data(), (int) v.size());
    ExpectNear(v[0].Normal, {0, 1, 0});
    // Two faces, along (1, 1, 0) and (0, 1, 1).
    float s = 1.0f / std::sqrt(6.0f);
    ExpectNear(v[3].Normal, QxVector(s, 2 * s, s));
    ExpectNear(v[5].Normal, {0, 0, 0});
    // Back to back: the normals cancel.
    ExpectNear(v[6].Normal, {0, 0, 0});
    for (int f = 0; f < 4; ++f)
        EXPECT_GT(faces[(size_t) f].Normal.y, 0.0f);
}

TEST(MeshKernels, NormalisingKeepsZeroNormalsZero)
{
    std::vector<CKVertex> v(3);
    v[0].Normal = QxVector(3, 4, 0);
    v[1].Normal = QxVector(0, 0, 0);
    v[2].Normal = QxVector(0, -1e-20f, 0);
    CKGetMeshKernels().NormalizeVertexNormals(v.data(), 3);
    ExpectNear(v[0].Normal, {0.6f, 0.8f, 0});
    ExpectNear(v[1].Normal, {0, 0, 0});
    EXPECT_FALSE(std::isnan(v[2].Normal.y));
}

TEST(MeshKernels, VertexNormalsAgreeWithADoubleModelOnTheGrid)
{
    TestMesh grid = GridTestMesh(64);
    std::vector<CKVertex> v((size_t) grid.VertexCount());
    for (size_t i = 0; i < v.size(); ++i)
        v[i].Position = QxVector(grid.Positions[3 * i], grid.Positions[3 * i + 1], grid.Positions[3 * i + 2]);
    std::vector<CKDWORD> indices(grid.Indices.begin(), grid.Indices.end());
    std::vector<CKFace> faces((size_t) grid.FaceCount());
    CKGetMeshKernels().ComputeVertexNormals(faces.data(), grid.FaceCount(), indices.data(), v.data(), (int) v.size());
    std::vector<double> sum(3 * v.size(), 0.0);
    for (int f = 0; f < grid.FaceCount(); ++f) {
        double p[3][3];
        for (int k = 0; k < 3; ++k)
            for (int c = 0; c < 3; ++c)
                p[k][c] = grid.Positions[3 * indices[3 * (size_t) f + (size_t) k] + (size_t) c];
        double e1[3] = {p[1][0] - p[0][0], p[1][1] - p[0][1], p[1][2] - p[0][2]};
        double e2[3] = {p[2][0] - p[0][0], p[2][1] - p[0][1], p[2][2] - p[0][2]};
        double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
        double l = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        for (int k = 0; k < 3; ++k)
            for (int c = 0; c < 3; ++c)
                sum[3 * indices[3 * (size_t) f + (size_t) k] + (size_t) c] += n[c] / l;
    }
    for (size_t i = 0; i < v.size(); ++i) {
        double l =
            std::sqrt(sum[3 * i] * sum[3 * i] + sum[3 * i + 1] * sum[3 * i + 1] + sum[3 * i + 2] * sum[3 * i + 2]);
        ASSERT_NEAR(v[i].Normal.x, sum[3 * i] / l, 1e-5) << i;
        ASSERT_NEAR(v[i].Normal.y, sum[3 * i + 1] / l, 1e-5) << i;
        ASSERT_NEAR(v[i].Normal.z, sum[3 * i + 2] / l, 1e-5) << i;
    }
}

// The hit of a ray with a triangle in double precision: plane, then inside.
bool ModelHit(const double a[3], const double b[3], const double c[3], const double s[3], const double d[3], double& t,
              double& margin)
{
    double e1[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]}, e2[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
    double nd = n[0] * d[0] + n[1] * d[1] + n[2] * d[2];
    if (nd == 0)
        return false;
    t = (n[0] * (a[0] - s[0]) + n[1] * (a[1] - s[1]) + n[2] * (a[2] - s[2])) / nd;
    double p[3] = {s[0] + t * d[0], s[1] + t * d[1], s[2] + t * d[2]};
    double nn = n[0] * n[0] + n[1] * n[1] + n[2] * n[2];
    auto edge = [&](const double x[3], const double y[3]) {
        double e[3] = {y[0] - x[0], y[1] - x[1], y[2] - x[2]}, q[3] = {p[0] - x[0], p[1] - x[1], p[2] - x[2]};
        double cr[3] = {e[1] * q[2] - e[2] * q[1], e[2] * q[0] - e[0] * q[2], e[0] * q[1] - e[1] * q[0]};
        return (cr[0] * n[0] + cr[1] * n[1] + cr[2] * n[2]) / nn;
    };
    margin = std::min({edge(a, b), edge(b, c), edge(c, a)});
    return margin >= 0 && t >= 0;
}

TEST(MeshRayIntersection, AgreesWithADoubleModelOnRandomTrianglesAndRays)
{
    std::mt19937 random(23);
    std::uniform_real_distribution<float> coordinate(-1.0f, 1.0f);
    int hits = 0, compared = 0;
    for (int round = 0; round < 300; ++round) {
        std::vector<QxVector> positions;
        for (int i = 0; i < 30; ++i)
            positions.emplace_back(coordinate(random), coordinate(random), coordinate(random));
        std::vector<CKVertex> v = Vertices(positions);
        std::vector<CKDWORD> indices;
        for (CKDWORD i = 0; i < 30; ++i)
            indices.push_back(i);
        QxVector start(coordinate(random) * 3, coordinate(random) * 3, coordinate(random) * 3);
        // Aimed at the middle of the soup, where most triangles lie.
        QxVector aim(coordinate(random) * 0.3f, coordinate(random) * 0.3f, coordinate(random) * 0.3f);
        QxVector direction = aim - start;
        // The model: the nearest hit, and whether any hit lies near an edge.
        double s[3] = {start.x, start.y, start.z}, d[3] = {direction.x, direction.y, direction.z};
        double bestT = 1e300;
        int bestFace = -1;
        bool doubtful = false;
        for (int f = 0; f < 10; ++f) {
            double p[3][3];
            for (int k = 0; k < 3; ++k)
                p[k][0] = positions[(size_t) (3 * f + k)].x, p[k][1] = positions[(size_t) (3 * f + k)].y,
                p[k][2] = positions[(size_t) (3 * f + k)].z;
            double t = 0, margin = 0;
            bool hit = ModelHit(p[0], p[1], p[2], s, d, t, margin);
            if (std::fabs(margin) < 1e-4 || std::fabs(t) < 1e-4)
                doubtful = true;
            if (hit && t < bestT) {
                bestT = t;
                bestFace = f;
            }
        }
        if (doubtful)
            continue;
        ++compared;
        CKMeshRayHit hit;
        int result =
            CKRayMeshIntersection(v.data(), 30, indices.data(), nullptr, 10, start, direction, 0, nullptr, &hit);
        ASSERT_EQ(result != 0, bestFace >= 0) << round;
        if (bestFace < 0)
            continue;
        ++hits;
        EXPECT_EQ(hit.Face, bestFace);
        EXPECT_NEAR(hit.Distance, bestT, 1e-4 * (1 + bestT));
    }
    EXPECT_GT(compared, 200);
    EXPECT_GT(hits, 100);
}

TEST(MeshRayIntersection, SegmentsStopAtTheirEndAndTheFilterLetsTheRayThrough)
{
    // Two squares across the z axis at z = 2 and z = 5.
    std::vector<CKVertex> v =
        Vertices({{-1, -1, 2}, {1, -1, 2}, {1, 1, 2}, {-1, 1, 2}, {-1, -1, 5}, {1, -1, 5}, {1, 1, 5}, {-1, 1, 5}});
    std::vector<CKDWORD> indices = {0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7};
    QxVector start(0.1f, 0.2f, 0.0f), direction(0.0f, 0.0f, 1.0f);
    CKMeshRayHit hit;
    ASSERT_TRUE(CKRayMeshIntersection(v.data(), 8, indices.data(), nullptr, 4, start, direction, 0, nullptr, &hit));
    EXPECT_FLOAT_EQ(hit.Distance, 2.0f);
    ExpectNear(hit.Point, {0.1f, 0.2f, 2.0f});
    EXPECT_FALSE(CKRayMeshIntersection(v.data(), 8, indices.data(), nullptr, 4, start, direction,
                                       CK_RAYINTERSECTION_SEGMENT, nullptr, &hit))
        << "the segment ends at z = 1";
    EXPECT_TRUE(CKRayMeshIntersection(v.data(), 8, indices.data(), nullptr, 4, start, direction * 3.0f,
                                      CK_RAYINTERSECTION_SEGMENT, nullptr, &hit));
    EXPECT_FLOAT_EQ(hit.Distance, 2.0f / 3.0f) << "a fraction of the direction";
    EXPECT_FALSE(CKRayMeshIntersection(v.data(), 8, indices.data(), nullptr, 4, start, -direction, 0, nullptr, &hit))
        << "nothing behind the start";

    auto nearOnly = [](void*, int face, float, float) { return face >= 2; };
    ASSERT_TRUE(
        CKRayMeshIntersection(v.data(), 8, indices.data(), nullptr, 4, start, direction, 0, nullptr, &hit, nearOnly));
    EXPECT_FLOAT_EQ(hit.Distance, 5.0f) << "the filter refuses the first square";
    ASSERT_TRUE(CKRayMeshIntersection(v.data(), 8, indices.data(), nullptr, 4, start, direction,
                                      CK_RAYINTERSECTION_IGNOREALPHA, nullptr, &hit, nearOnly));
    EXPECT_FLOAT_EQ(hit.Distance, 2.0f);

    // The normal turned into world space: a quarter turn about x.
    QxMatrix world;
    world.SetIdentity();
    world[1][1] = 0;
    world[1][2] = 1;
    world[2][1] = -1;
    world[2][2] = 0;
    ASSERT_TRUE(CKRayMeshIntersection(v.data(), 8, indices.data(), nullptr, 4, start, direction, 0, &world, &hit));
    ExpectNear(hit.Normal, {0, -1, 0});
    EXPECT_FALSE(CKRayMeshIntersection(v.data(), 8, indices.data(), nullptr, 0, start, direction, 0, nullptr, &hit));
}

} // namespace

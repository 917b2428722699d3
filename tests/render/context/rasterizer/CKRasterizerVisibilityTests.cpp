// Box visibility and vertex transforms against a direct evaluation in double
// precision, on random views and boxes.
#include <cmath>
#include <random>

#include <gtest/gtest.h>

#include "render/context/rasterizer/CKNULLRasterizer.h"
#include "system/math/QxTransformBox2D.h"

namespace {

struct Clip
{
    double x, y, z, w;
};

// (p, 1) through world, view and projection, in double.
Clip Project(const QxMatrix& world, const QxMatrix& view, const QxMatrix& projection, const QxVector& p)
{
    double v[4] = {p.x, p.y, p.z, 1.0};
    for (const QxMatrix* m : {&world, &view, &projection}) {
        double r[4];
        for (int j = 0; j < 4; ++j)
            r[j] = v[0] * (*m)[0][j] + v[1] * (*m)[1][j] + v[2] * (*m)[2][j] + v[3] * (*m)[3][j];
        for (int j = 0; j < 4; ++j)
            v[j] = r[j];
    }
    return Clip{v[0], v[1], v[2], v[3]};
}

// Clip code against planes moved out by margin (relative to w).
CKDWORD Code(const Clip& c, double margin = 0.0)
{
    double w = c.w + margin * std::fabs(c.w), z0 = -margin * std::fabs(c.w);
    return (c.x < -w ? 16u : 0u) | (c.x > w ? 32u : 0u) | (c.y > w ? 64u : 0u) | (c.y < -w ? 128u : 0u) |
           (c.z < z0 ? 256u : 0u) | (c.z > w ? 512u : 0u);
}

// Outside (0), partly (1) or wholly inside (2) by the corners, with planes
// moved out by margin.
CKDWORD Classify(const Clip corners[8], double margin)
{
    CKDWORD all = 0x3F0, any = 0;
    for (int c = 0; c < 8; ++c) {
        CKDWORD code = Code(corners[c], margin);
        all &= code;
        any |= code;
    }
    return all ? 0 : (any ? 1 : 2);
}

QxMatrix RandomRigid(std::mt19937& rng)
{
    std::uniform_real_distribution<float> angle(-3.1f, 3.1f), move(-20.0f, 20.0f);
    float a = angle(rng), b = angle(rng);
    QxMatrix m;
    m.SetIdentity();
    m[0][0] = cosf(a);
    m[0][2] = -sinf(a);
    m[2][0] = sinf(a);
    m[2][2] = cosf(a);
    QxMatrix tilt;
    tilt.SetIdentity();
    tilt[1][1] = cosf(b);
    tilt[1][2] = sinf(b);
    tilt[2][1] = -sinf(b);
    tilt[2][2] = cosf(b);
    QxMultiplyMatrix(m, tilt, m);
    m[3][0] = move(rng);
    m[3][1] = move(rng);
    m[3][2] = move(rng);
    return m;
}

class VisibilityTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_Context = m_Rasterizer.GetDriver(0)->CreateContext();
        ASSERT_TRUE(m_Context->Create(nullptr, 0, 0, 400, 300, 32, FALSE));
    }
    void TearDown() override { m_Rasterizer.GetDriver(0)->DestroyContext(m_Context); }

    CKNULLRasterizer m_Rasterizer;
    CKRasterizerContext* m_Context = nullptr;
};

TEST_F(VisibilityTest, BoxVisibilityAgreesWithABruteForceTestOnRandomBoxes)
{
    std::mt19937 rng(21);
    std::uniform_real_distribution<float> coordinate(-30.0f, 30.0f), size(0.01f, 15.0f);
    int seen[3] = {};
    for (int view = 0; view < 20; ++view) {
        QxMatrix world = RandomRigid(rng), viewMatrix = RandomRigid(rng), projection;
        projection.Perspective(0.4f + 0.1f * (float) (view % 8), 4.0f / 3.0f, 1.0f, 60.0f);
        m_Context->SetTransform(CKRST_TRANSFORM_WORLD, world);
        m_Context->SetTransform(CKRST_TRANSFORM_VIEW, viewMatrix);
        m_Context->SetTransform(CKRST_TRANSFORM_PROJECTION, projection);
        for (int i = 0; i < 500; ++i) {
            QxVector minimum(coordinate(rng), coordinate(rng), coordinate(rng));
            QxBbox box(minimum, minimum + QxVector(size(rng), size(rng), size(rng)));
            Clip corners[8];
            for (int c = 0; c < 8; ++c)
                corners[c] = Project(world, viewMatrix, projection,
                                     QxVector(c & 1 ? box.Max.x : box.Min.x, c & 2 ? box.Max.y : box.Min.y,
                                              c & 4 ? box.Max.z : box.Min.z));
            CKDWORD expected = Classify(corners, 0.0);
            CKDWORD got = m_Context->ComputeBoxVisibility(box);
            ++seen[got];
            // A corner within rounding of a plane may fall either way.
            if (Classify(corners, 1e-4) != Classify(corners, -1e-4))
                continue;
            EXPECT_EQ(got, expected) << "view " << view << " box " << i;
            // The same box given in world space.
            QxBbox worldBox;
            worldBox.TransformFrom(box, world);
            CKDWORD inWorld = m_Context->ComputeBoxVisibility(worldBox, TRUE);
            if (expected == 2) {
                EXPECT_NE(inWorld, 0u) << "a box inside stays visible once enlarged to world axes";
            }
        }
    }
    EXPECT_GT(seen[0], 0);
    EXPECT_GT(seen[1], 0);
    EXPECT_GT(seen[2], 0);
}

TEST_F(VisibilityTest, ScreenExtentsCoverTheProjectedCornersOfAVisibleBox)
{
    QxMatrix projection;
    projection.Perspective(1.0f, 4.0f / 3.0f, 1.0f, 100.0f);
    m_Context->SetTransform(CKRST_TRANSFORM_PROJECTION, projection);
    QxBbox box(QxVector(-1, -1, 9), QxVector(2, 1, 11));
    QxRect extents(1e8f, 1e8f, -1e8f, -1e8f);
    ASSERT_EQ(m_Context->ComputeBoxVisibility(box, FALSE, &extents), 2u);
    for (int c = 0; c < 8; ++c) {
        QxVector p(c & 1 ? box.Max.x : box.Min.x, c & 2 ? box.Max.y : box.Min.y, c & 4 ? box.Max.z : box.Min.z);
        Clip h = Project(QxMatrix::Identity(), QxMatrix::Identity(), projection, p);
        double sx = 200.0 + 200.0 * h.x / h.w, sy = 150.0 - 150.0 * h.y / h.w;
        EXPECT_GE(sx, extents.left - 1e-3);
        EXPECT_LE(sx, extents.right + 1e-3);
        EXPECT_GE(sy, extents.top - 1e-3);
        EXPECT_LE(sy, extents.bottom + 1e-3);
    }
    QxRect untouched(1e8f, 1e8f, -1e8f, -1e8f);
    EXPECT_EQ(m_Context->ComputeBoxVisibility(QxBbox(QxVector(-1, -1, -5), QxVector(1, 1, -3)), FALSE, &untouched), 0u)
        << "behind the viewer";
    EXPECT_EQ(untouched.left, 1e8f);
}

TEST_F(VisibilityTest, TransformVerticesGivesClipScreenPositionsAndCodes)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> coordinate(-10.0f, 10.0f);
    QxMatrix world = RandomRigid(rng), projection;
    projection.Perspective(0.8f, 4.0f / 3.0f, 0.5f, 50.0f);
    m_Context->SetTransform(CKRST_TRANSFORM_WORLD, world);
    m_Context->SetTransform(CKRST_TRANSFORM_PROJECTION, projection);
    QxVector points[64];
    for (QxVector& p : points)
        p = QxVector(coordinate(rng), coordinate(rng), coordinate(rng));
    QxVector4 clip[64], screen[64];
    CKDWORD codes[64];
    CKTransformData data;
    data.InVertices = points;
    data.InStride = sizeof(QxVector);
    data.OutVertices = clip;
    data.OutStride = sizeof(QxVector4);
    data.ScreenVertices = screen;
    data.ScreenStride = sizeof(QxVector4);
    data.ClipFlags = codes;
    m_Context->TransformVertices(64, data);
    CKDWORD all = 0x3F0;
    for (int i = 0; i < 64; ++i) {
        Clip h = Project(world, QxMatrix::Identity(), projection, points[i]);
        EXPECT_NEAR(clip[i].w, h.w, 1e-3 * (1 + std::fabs(h.w)));
        if (Code(h, 1e-4) == Code(h, -1e-4)) {
            EXPECT_EQ(codes[i], Code(h)) << i;
        }
        all &= codes[i];
        if (h.w > 0.1) {
            EXPECT_NEAR(screen[i].x, 200.0 + 200.0 * h.x / h.w, 1e-2 * (1 + std::fabs(h.x / h.w) * 200));
            EXPECT_NEAR(screen[i].w, 1.0 / h.w, 1e-4);
        }
    }
    EXPECT_EQ(data.Offscreen, all);
}

} // namespace

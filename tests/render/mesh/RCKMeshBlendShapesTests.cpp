// Blend shapes against a dense model of base + sum of factor x delta, and
// tangent vectors on a UV sphere by both methods.
#include <cmath>
#include <random>

#include "render/mesh/CKShaderManager.h"
#include "tests/render/mesh/MeshTestSupport.h"

namespace {

class BlendShapes : public MeshFixture
{};

class TangentModeManager : public CKShaderManager
{
public:
    explicit TangentModeManager(CKContext* context) : CKShaderManager(context, SHADER_MANAGER_GUID, "Shaders")
    {
        context->RegisterNewManager(this);
    }
    int GetTangentMode() override { return 0; }
    void BeginShaderSection() override {}
    void EndShaderSection() override {}
};

float Length(const QxVector& v)
{
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

float Dot(const QxVector& a, const QxVector& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

} // namespace

TEST_F(BlendShapes, TheFactorIsOneAtThePivotAndFallsOffOnEachSide)
{
    CKBlendShapeTarget t;
    t.Pivot = 1.0f;
    t.SlopeBelow = 1.0f;
    t.SlopeAbove = -1.0f;
    EXPECT_EQ(CKBlendShapeFactor(t, 0.5f), 0.5f);
    EXPECT_EQ(CKBlendShapeFactor(t, 1.0f), 1.0f);
    EXPECT_EQ(CKBlendShapeFactor(t, 0.0f), 0.0f);
    for (float w : {-5.0f, 3.0f, 100.0f}) {
        EXPECT_GE(CKBlendShapeFactor(t, w), 0.0f);
        EXPECT_LE(CKBlendShapeFactor(t, w), 1.0f);
    }
}

TEST_F(BlendShapes, RandomTargetsAndWeightsGiveBasePlusTheWeightedDeltas)
{
    std::mt19937 rng(112);
    std::uniform_real_distribution<float> real(-2.0f, 2.0f);
    for (int round = 0; round < 50; ++round) {
        const int n = 20;
        RCKMesh* mesh = MakeMesh(n, Quads(9));
        CKBlendShapeData data;
        std::vector<QxVector> base(n), baseNormal(n);
        for (int i = 0; i < n; ++i) {
            base[(size_t) i] = QxVector(real(rng), real(rng), real(rng));
            baseNormal[(size_t) i] = QxVector(0, 0, 1);
            data.BaseVertices.PushBack(CKBlendShapeBaseVertex{(CKDWORD) i, base[(size_t) i], baseNormal[(size_t) i]});
        }
        const int shapes = 1 + (int) (rng() % 4);
        for (int s = 0; s < shapes; ++s)
            data.Names.PushBack(XString("s"));
        for (int k = 0; k < 5; ++k) {
            CKBlendShapeTarget t;
            t.WeightIndex = (CKDWORD) (rng() % shapes);
            t.Pivot = real(rng);
            t.SlopeBelow = real(rng);
            t.SlopeAbove = real(rng);
            for (int d = 0; d < 6; ++d)
                t.Deltas.PushBack(CKBlendShapeDelta{(CKDWORD) (rng() % n), QxVector(real(rng), real(rng), real(rng)),
                                                    QxVector(real(rng), 0, 0)});
            data.Targets.PushBack(t);
        }
        mesh->SetBlendShapes(data);
        std::vector<float> weights((size_t) shapes);
        for (float& w : weights)
            w = real(rng);
        mesh->ApplyBlendShapes(nullptr, nullptr, weights.data(), shapes);
        std::vector<QxVector> expected = base, normals = baseNormal;
        for (const CKBlendShapeTarget& t : data.Targets) {
            const float f = CKBlendShapeFactor(t, weights[t.WeightIndex]);
            for (const CKBlendShapeDelta& d : t.Deltas) {
                expected[d.Vertex] += d.Position * f;
                normals[d.Vertex] += d.Normal * f;
            }
        }
        for (int i = 0; i < n; ++i) {
            QxVector p, nn;
            mesh->GetVertexPosition(i, &p);
            mesh->GetVertexNormal(i, &nn);
            EXPECT_LT(Length(p - expected[(size_t) i]), 1e-5f) << round << " " << i;
            EXPECT_LT(Length(nn - normals[(size_t) i]), 1e-5f) << round << " " << i;
        }
        // A weight array of another length applies nothing.
        QxVector before;
        mesh->GetVertexPosition(0, &before);
        mesh->ApplyBlendShapes(nullptr, nullptr, weights.data(), shapes + 1);
        QxVector after;
        mesh->GetVertexPosition(0, &after);
        EXPECT_EQ(Length(after - before), 0.0f);
        m_Context->DestroyObject(mesh);
    }
}

TEST_F(BlendShapes, BothTangentMethodsGiveUnitVectorsOrthogonalToTheNormalOnASphere)
{
    // A UV sphere away from the poles, normals radial.
    const int rings = 12, segments = 16;
    RCKMesh* sphere = NewMesh("sphere");
    sphere->SetVertexCount((rings - 1) * (segments + 1));
    for (int r = 1; r < rings; ++r)
        for (int s = 0; s <= segments; ++s) {
            const float theta = 3.14159265f * (float) r / rings, phi = 6.2831853f * (float) s / segments;
            const QxVector p(std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi));
            const int i = (r - 1) * (segments + 1) + s;
            sphere->SetVertexPosition(i, p);
            sphere->SetVertexNormal(i, p);
            sphere->SetVertexTextureCoordinates(i, (float) s / segments, (float) r / rings);
        }
    std::vector<Corners> faces;
    for (int r = 0; r < rings - 2; ++r)
        for (int s = 0; s < segments; ++s) {
            const int a = r * (segments + 1) + s, b = a + 1, c = a + segments + 1, d = c + 1;
            faces.push_back({a, c, b});
            faces.push_back({b, c, d});
        }
    sphere->SetFaceCount((int) faces.size());
    for (size_t f = 0; f < faces.size(); ++f)
        sphere->SetFaceVertexIndex((int) f, faces[f][0], faces[f][1], faces[f][2]);
    auto check = [&](const char* method) {
        const XArray<QxVector>& t = sphere->GetTangents();
        const XArray<QxVector>& b = sphere->GetBinormals();
        ASSERT_EQ(t.Size(), sphere->GetVertexCount()) << method;
        for (int i = 0; i < t.Size(); ++i) {
            QxVector n;
            sphere->GetVertexNormal(i, &n);
            EXPECT_NEAR(Length(t[i]), 1.0f, 1e-4f) << method << " " << i;
            EXPECT_NEAR(Length(b[i]), 1.0f, 1e-4f) << method << " " << i;
            EXPECT_NEAR(Dot(t[i], n), 0.0f, 1e-4f) << method << " " << i;
            EXPECT_NEAR(Dot(b[i], n), 0.0f, 1e-4f) << method << " " << i;
        }
    };
    // Per corner (no shader manager): each vertex keeps its first face's
    // unit vectors, the bitangent turned to the normal's side.
    ASSERT_FALSE(CKAccumulateTangents(m_Context));
    sphere->SetFlags(sphere->GetFlags() | CKMESH_TANGENTS);
    for (int i = 0; i < sphere->GetVertexCount(); ++i) {
        const QxVector &t = sphere->GetTangents()[i], &b = sphere->GetBinormals()[i];
        QxVector n;
        sphere->GetVertexNormal(i, &n);
        EXPECT_NEAR(Length(t), 1.0f, 1e-4f) << i;
        EXPECT_NEAR(Length(b), 1.0f, 1e-4f) << i;
        EXPECT_GE(Dot(n, QxVector(t.y * b.z - t.z * b.y, t.z * b.x - t.x * b.z, t.x * b.y - t.y * b.x)), 0.0f) << i;
    }
    // Accumulated over faces (a shader manager answering 0), projected
    // onto the tangent plane of each normal.
    TangentModeManager manager(m_Context);
    ASSERT_TRUE(CKAccumulateTangents(m_Context));
    sphere->SetFlags(sphere->GetFlags() & ~CKMESH_TANGENTS);
    sphere->SetFlags(sphere->GetFlags() | CKMESH_TANGENTS);
    check("accumulated");
    sphere->SetFlags(sphere->GetFlags() & ~CKMESH_TANGENTS);
    EXPECT_EQ(sphere->GetTangents().Size(), 0) << "clearing the flag frees them";
}

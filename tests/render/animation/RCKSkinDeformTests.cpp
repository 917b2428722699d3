#include <array>
#include <cmath>
#include <vector>

#include "render/animation/RCKSkin.h"
#include "tests/render/objects/EntityTestSupport.h"

namespace {

using M = std::array<std::array<double, 4>, 4>;

M ToDouble(const QxMatrix& m)
{
    M r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r[i][j] = m[i][j];
    return r;
}

// Row vectors: p · a · b.
M Then(const M& a, const M& b)
{
    M r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k)
                r[i][j] += a[i][k] * b[k][j];
    return r;
}

std::array<double, 3> Apply(const M& m, const QxVector& p, double w)
{
    std::array<double, 3> r{};
    for (int j = 0; j < 3; ++j)
        r[j] = p.x * m[0][j] + p.y * m[1][j] + p.z * m[2][j] + w * m[3][j];
    return r;
}

class SkinDeform : public EntityFixture
{
protected:
    // A cylinder of radius 1 along y, rings at y = 0 .. 3, bound to four
    // bones at the rings, each vertex weighted between its two nearest bones
    // (and a little to a third), then the bones moved.
    void SetUp() override
    {
        EntityFixture::SetUp();
        m_Entity = NewEntity("arm");
        m_Entity->SetPosition3f(5, 0, 0);
        m_Mesh = NewMesh("cylinder", 0);
        for (int ring = 0; ring < 7; ++ring)
            for (int s = 0; s < 8; ++s) {
                const float a = 0.785398f * (float) s;
                m_Mesh->m_Positions.push_back(QxVector(std::cos(a), 0.5f * (float) ring, std::sin(a)));
                m_Mesh->m_Normals.push_back(QxVector(std::cos(a), 0, std::sin(a)));
            }
        m_Entity->SetCurrentMesh(m_Mesh);
        m_Skin = static_cast<RCKSkin*>(m_Entity->CreateSkin());
        m_Skin->SetObjectInitMatrix(m_Entity->GetWorldMatrix());
        m_Skin->SetBoneCount(4);
        for (int b = 0; b < 4; ++b) {
            RCK3dEntity* bone = NewEntity(("bone" + std::to_string(b)).c_str());
            bone->SetPosition3f(5, (float) b, 0);
            m_Bones.push_back(bone);
            m_Skin->GetBoneData(b)->SetBone(bone);
            m_Skin->GetBoneData(b)->SetBoneInitialInverseMatrix(bone->GetInverseWorldMatrix());
        }
        const int n = (int) m_Mesh->m_Positions.size();
        m_Skin->SetVertexCount(n);
        m_Skin->SetNormalCount(n);
        for (int v = 0; v < n; ++v) {
            const QxVector p = m_Mesh->m_Positions[(size_t) v];
            CKSkinVertexData* data = m_Skin->GetVertexData(v);
            data->SetInitialPos(p);
            const int lower = std::min((int) p.y, 2);
            const float t = p.y - (float) lower;
            data->SetBoneCount(3);
            data->SetBone(0, lower);
            data->SetWeight(0, 0.9f * (1.0f - t));
            data->SetBone(1, lower + 1);
            data->SetWeight(1, 0.9f * t);
            data->SetBone(2, 3 - lower);
            data->SetWeight(2, 0.1f);
            m_Skin->SetNormal(v, m_Mesh->m_Normals[(size_t) v]);
        }
        m_Bones[1]->Rotate3f(0, 0, 1, 0.4f);
        m_Bones[2]->Rotate3f(1, 0, 0, -0.3f);
        m_Bones[2]->SetPosition3f(5.5f, 2, 0.25f);
        m_Bones[3]->SetPosition3f(6, 3.5f, 1);
        m_Entity->SetPosition3f(4, 1, 0);
    }

    // The blend of one vertex, from the matrices alone.
    std::array<double, 3> Expected(const CKSkinVertexData& v, const QxVector& p, double w)
    {
        std::array<double, 3> sum{};
        const M toEntity = ToDouble(m_Entity->GetInverseWorldMatrix());
        for (int k = 0; k < v.GetBoneCount(); ++k) {
            const CKSkinBoneData* bone = m_Skin->GetBoneData(v.GetBone(k));
            const M m =
                Then(Then(Then(ToDouble(m_Skin->GetObjectInitMatrix()), ToDouble(bone->GetInitialInverseMatrix())),
                          ToDouble(bone->GetBone()->GetWorldMatrix())),
                     toEntity);
            const std::array<double, 3> q = Apply(m, p, w);
            for (int j = 0; j < 3; ++j)
                sum[(size_t) j] += v.GetWeight(k) * q[(size_t) j];
        }
        return sum;
    }

    void ExpectSkinned(const std::vector<int>& sourceOf)
    {
        for (size_t v = 0; v < sourceOf.size(); ++v) {
            const CKSkinVertexData& data = *m_Skin->GetVertexData((int) v);
            const std::array<double, 3> p = Expected(data, data.GetInitialPos(), 1.0);
            const QxVector& got = m_Mesh->m_Positions[v];
            EXPECT_NEAR(got.x, p[0], 1e-5);
            EXPECT_NEAR(got.y, p[1], 1e-5);
            EXPECT_NEAR(got.z, p[2], 1e-5);
            std::array<double, 3> n = Expected(data, m_Skin->GetNormal((int) v), 0.0);
            const double l = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
            EXPECT_NEAR(m_Mesh->m_Normals[v].x, n[0] / l, 1e-5);
            EXPECT_NEAR(m_Mesh->m_Normals[v].z, n[2] / l, 1e-5);
            EXPECT_EQ(data.GetInitialPos(), m_Source[(size_t) sourceOf[v]]);
        }
    }

    RCK3dEntity* m_Entity = nullptr;
    EntityTestMesh* m_Mesh = nullptr;
    RCKSkin* m_Skin = nullptr;
    std::vector<RCK3dEntity*> m_Bones;
    std::vector<QxVector> m_Source;
};

} // namespace

TEST_F(SkinDeform, FourBonesBendACylinderByLinearBlending)
{
    for (int v = 0; v < m_Skin->GetVertexCount(); ++v)
        m_Source.push_back(m_Skin->GetVertexData(v)->GetInitialPos());
    ASSERT_TRUE(m_Entity->UpdateSkin());
    EXPECT_EQ(m_Mesh->m_Moves.back(), std::make_pair(CKBOOL(FALSE), CKBOOL(TRUE))) << "normals came from the skin";
    std::vector<int> identity(m_Source.size());
    for (size_t i = 0; i < identity.size(); ++i)
        identity[i] = (int) i;
    ExpectSkinned(identity);
    EXPECT_FALSE(m_Skin->CanUseHardwareBlending(m_Entity, nullptr));

    QxBbox box;
    ASSERT_TRUE(m_Skin->GetBoneBoundingBox(box, m_Context, m_Entity));
    EXPECT_EQ(box.Min, QxVector(1, -1, 0));
    EXPECT_EQ(box.Max, QxVector(2, 2.5f, 1));
}

TEST_F(SkinDeform, ARenumberedSkinDeformsToTheSameSurface)
{
    for (int v = 0; v < m_Skin->GetVertexCount(); ++v)
        m_Source.push_back(m_Skin->GetVertexData(v)->GetInitialPos());
    const int n = (int) m_Source.size();
    // Vertex order reversed, vertex 3 removed: what a merge of the mesh
    // passes on.
    std::vector<int> table((size_t) n);
    std::vector<int> sourceOf;
    for (int old = n - 1; old >= 0; --old) {
        table[(size_t) old] = old == 3 ? -1 : (int) sourceOf.size();
        if (old != 3)
            sourceOf.push_back(old);
    }
    m_Skin->RemapVertexIndices(table.data(), n);
    ASSERT_EQ(m_Skin->GetVertexCount(), n - 1);
    std::vector<QxVector> positions, normals;
    for (int old : sourceOf) {
        positions.push_back(m_Mesh->m_Positions[(size_t) old]);
        normals.push_back(m_Mesh->m_Normals[(size_t) old]);
    }
    m_Mesh->m_Positions = positions;
    m_Mesh->m_Normals = normals;
    ASSERT_TRUE(m_Skin->DeformMesh(m_Entity));
    ExpectSkinned(sourceOf);

    // Each vertex split into two, as when faces stop sharing corners.
    std::vector<XArray<int>> lists((size_t) (n - 1));
    std::vector<int> split;
    for (int v = 0; v < n - 1; ++v) {
        lists[(size_t) v].PushBack(2 * v + 1);
        lists[(size_t) v].PushBack(2 * v);
    }
    for (int v = 0; v < n - 1; ++v) {
        split.push_back(sourceOf[(size_t) v]);
        split.push_back(sourceOf[(size_t) v]);
    }
    m_Skin->RemapVertices(lists.data(), n - 1);
    m_Mesh->m_Positions.assign(split.size(), QxVector());
    m_Mesh->m_Normals.assign(split.size(), QxVector());
    ASSERT_TRUE(m_Skin->DeformMesh(m_Entity));
    ExpectSkinned(split);
}

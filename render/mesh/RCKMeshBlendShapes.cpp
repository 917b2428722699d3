// Blend shapes applied to a mesh (or to its entity's skin), and the tangent
// vectors of the mesh.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "render/animation/CKSkin.h"
#include "render/mesh/CKShaderManager.h"
#include "render/mesh/RCKMesh.h"
#include "render/objects/CK3dEntity.h"

namespace {

QxVector Normalized(const QxVector& v)
{
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return length > 0.0f ? QxVector(v.x / length, v.y / length, v.z / length) : v;
}

float Dot(const QxVector& a, const QxVector& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

QxVector Cross(const QxVector& a, const QxVector& b)
{
    return QxVector(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

struct WordsHash
{
    size_t operator()(const std::array<CKDWORD, 6>& k) const
    {
        size_t h = 0;
        for (CKDWORD w : k)
            h = h * 0x9E3779B1u + w;
        return h;
    }
};

bool IsZero(const QxVector& v)
{
    return v.x == 0.0f && v.y == 0.0f && v.z == 0.0f;
}

} // namespace

float CKBlendShapeFactor(const CKBlendShapeTarget& target, float weight)
{
    const float slope = target.Pivot >= weight ? target.SlopeBelow : target.SlopeAbove;
    const float factor = (weight - target.Pivot) * slope + 1.0f;
    return std::clamp(factor, 0.0f, 1.0f);
}

void RCKMesh::ApplyBlendShapes(CK3dEntity* entity, CKRenderContext* rc, const float* weights, int count)
{
    if (count != m_BlendShapes.Names.Size() || (count > 0 && !weights))
        return;
    CKSkin* skin = entity ? entity->GetSkin() : nullptr;
    bool hasSkin = skin != nullptr;
    // A skin blended by the rasterizer deforms the mesh's own vertices.
    if (skin && rc && skin->CanUseHardwareBlending(entity, rc))
        skin = nullptr;
    if (skin) {
        m_LastBlendWeights.Clear();
        if (skin->GetVertexCount() > m_Vertices.Size()) {
            skin = nullptr;
            hasSkin = false;
        }
    } else {
        m_LastBlendWeights.Resize(count);
        for (int i = 0; i < count; ++i)
            m_LastBlendWeights[i] = weights[i];
    }
    const int targets = m_BlendShapes.Targets.Size();
    m_TargetFactors.Resize(targets);
    for (int k = 0; k < targets; ++k) {
        const CKBlendShapeTarget& target = m_BlendShapes.Targets[k];
        m_TargetFactors[k] =
            target.WeightIndex < (CKDWORD) count ? CKBlendShapeFactor(target, weights[target.WeightIndex]) : 0.0f;
    }
    const bool tangents = (m_Flags & CKMESH_TANGENTS) && !skin;
    if (tangents && m_TangentDeltas.Size() != targets)
        BuildBlendShapeTangentDeltas();
    ApplyBlendShapeTargets(m_TargetFactors.Begin(), skin, hasSkin, tangents);
}

void RCKMesh::ApplyBlendShapeTargets(const float* factors, CKSkin* skin, bool hasSkin, bool tangents)
{
    const int n = m_Vertices.Size();
    const int skinCount = skin ? skin->GetVertexCount() : 0;
    const bool skinNormals = skin && skin->GetNormalCount() >= skinCount;
    auto position = [&](CKDWORD v, const QxVector& p, bool add) {
        if (skin) {
            if ((int) v >= skinCount)
                return;
            CKSkinVertexData* data = skin->GetVertexData((int) v);
            data->SetInitialPos(add ? data->GetInitialPos() + p : p);
        } else if ((int) v < n) {
            m_Vertices[(int) v].Position = add ? m_Vertices[(int) v].Position + p : p;
        }
    };
    auto normal = [&](CKDWORD v, const QxVector& d, bool add) {
        if (skin) {
            if (skinNormals && (int) v < skinCount)
                skin->SetNormal((int) v, add ? skin->GetNormal((int) v) + d : d);
        } else if ((int) v < n) {
            m_Vertices[(int) v].Normal = add ? m_Vertices[(int) v].Normal + d : d;
        }
    };
    const bool withTangents = tangents && m_Tangents.Size() == n && m_Binormals.Size() == n;
    const XArray<CKBlendShapeBaseVertex>& bases = m_BlendShapes.BaseVertices;
    if (!skin && !withTangents) {
        // The common case, on the mesh's own records: sparse and unchecked
        // beyond the vertex count.
        CKVertex* vertices = m_Vertices.Begin();
        for (const CKBlendShapeBaseVertex& b : bases)
            if ((int) b.Vertex < n) {
                vertices[b.Vertex].Position = b.Position;
                vertices[b.Vertex].Normal = b.Normal;
            }
        for (int k = 0; k < m_BlendShapes.Targets.Size(); ++k) {
            const float f = factors[k];
            if (f == 0.0f)
                continue;
            const XArray<CKBlendShapeDelta>& deltas = m_BlendShapes.Targets[k].Deltas;
            for (const CKBlendShapeDelta& d : deltas) {
                if ((int) d.Vertex >= n)
                    continue;
                CKVertex& v = vertices[d.Vertex];
                if (f == 1.0f) {
                    v.Position += d.Position;
                    v.Normal += d.Normal;
                } else {
                    v.Position += d.Position * f;
                    v.Normal += d.Normal * f;
                }
            }
        }
    } else {
        for (int b = 0; b < bases.Size(); ++b) {
            position(bases[b].Vertex, bases[b].Position, false);
            normal(bases[b].Vertex, bases[b].Normal, false);
            if (withTangents && b < m_BaseTangents.Size() && (int) bases[b].Vertex < n) {
                m_Tangents[(int) bases[b].Vertex] = m_BaseTangents[b].Tangent;
                m_Binormals[(int) bases[b].Vertex] = m_BaseTangents[b].Bitangent;
            }
        }
        for (int k = 0; k < m_BlendShapes.Targets.Size(); ++k) {
            const float f = factors[k];
            if (f == 0.0f)
                continue;
            const XArray<CKBlendShapeDelta>& deltas = m_BlendShapes.Targets[k].Deltas;
            const XArray<CKTangentPair>* tangentDeltas =
                withTangents && k < m_TangentDeltas.Size() ? &m_TangentDeltas[k] : nullptr;
            for (int d = 0; d < deltas.Size(); ++d) {
                const CKBlendShapeDelta& delta = deltas[d];
                // A factor of 1 adds without multiplying.
                position(delta.Vertex, f == 1.0f ? delta.Position : delta.Position * f, true);
                normal(delta.Vertex, f == 1.0f ? delta.Normal : delta.Normal * f, true);
                if (tangentDeltas && d < tangentDeltas->Size() && (int) delta.Vertex < n) {
                    const CKTangentPair& t = (*tangentDeltas)[d];
                    m_Tangents[(int) delta.Vertex] += f == 1.0f ? t.Tangent : t.Tangent * f;
                    m_Binormals[(int) delta.Vertex] += f == 1.0f ? t.Bitangent : t.Bitangent * f;
                }
            }
        }
    }
    if (hasSkin) {
        m_VertexDataUploaded = 0;
        return;
    }
    const CKDWORD bounds = m_Flags & CKMESH_BOUNDINGUPTODATE;
    if ((m_Flags & CKMESH_TANGENTS) && !withTangents)
        BuildTangentVectors();
    VertexMove();
    NormalChanged();
    // The blend-shape box is part of the bounds already.
    m_Flags |= bounds;
}

void RCKMesh::BuildBlendShapeTangentDeltas()
{
    m_TangentDeltas.Clear();
    m_BaseTangents.Clear();
    const int targets = m_BlendShapes.Targets.Size();
    XArray<float> factors(targets);
    factors.Resize(targets);
    std::fill(factors.Begin(), factors.End(), 0.0f);
    ApplyBlendShapeTargets(factors.Begin(), nullptr, false, false);
    BuildTangentVectors();
    if (m_Vertices.Size() == 0 || m_Tangents.Size() != m_Vertices.Size())
        return;
    const XArray<QxVector> baseTangents = m_Tangents, baseBitangents = m_Binormals;
    for (const CKBlendShapeBaseVertex& base : m_BlendShapes.BaseVertices) {
        const int v = (int) base.Vertex < baseTangents.Size() ? (int) base.Vertex : 0;
        m_BaseTangents.PushBack(CKTangentPair{baseTangents[v], baseBitangents[v]});
    }
    m_TangentDeltas.Resize(targets);
    for (int k = 0; k < targets; ++k) {
        factors[k] = 1.0f;
        if (k > 0)
            factors[k - 1] = 0.0f;
        ApplyBlendShapeTargets(factors.Begin(), nullptr, false, false);
        XArray<CKTangentPair>& out = m_TangentDeltas[k];
        out.Clear();
        for (const CKBlendShapeDelta& d : m_BlendShapes.Targets[k].Deltas) {
            const int v = (int) d.Vertex < m_Tangents.Size() ? (int) d.Vertex : 0;
            out.PushBack(CKTangentPair{m_Tangents[v] - baseTangents[v], m_Binormals[v] - baseBitangents[v]});
        }
    }
}

void RCKMesh::BuildCornerTangent(int first, int corner)
{
    const CKDWORD* idx = m_FaceIndices.Begin() + first;
    const int a = (int) idx[corner], b = (int) idx[(corner + 1) % 3], c = (int) idx[(corner + 2) % 3];
    if (!IsZero(m_Tangents[a]) || !IsZero(m_Binormals[a]))
        return;
    const CKVertex &A = m_Vertices[a], &B = m_Vertices[b], &C = m_Vertices[c];
    const QxVector dp1 = A.Position - B.Position, dp2 = C.Position - B.Position;
    const float ds1 = A.u - B.u, ds2 = C.u - B.u, dt1 = A.v - B.v, dt2 = C.v - B.v;
    const QxVector tangent = Normalized(dp1 * dt2 - dp2 * dt1);
    QxVector binormal = Normalized(dp1 * ds2 - dp2 * ds1);
    if (Dot(A.Normal, Cross(tangent, binormal)) < 0.0f)
        binormal = binormal * -1.0f;
    m_Tangents[a] = tangent;
    m_Binormals[a] = binormal;
}

void RCKMesh::BuildTangentVectors()
{
    const int n = m_Vertices.Size(), faces = m_Faces.Size();
    if (n == 0 || faces == 0)
        return;
    m_VertexDataUploaded = 0;
    StampRenderDataOutdated();
    m_Tangents.Resize(n);
    m_Binormals.Resize(n);
    std::fill(m_Tangents.Begin(), m_Tangents.End(), QxVector());
    std::fill(m_Binormals.Begin(), m_Binormals.End(), QxVector());
    for (CKDWORD i : m_FaceIndices)
        if ((int) i >= n)
            return;
    if (CKAccumulateTangents(GetCKContext())) {
        for (int f = 0; f < faces; ++f) {
            const CKDWORD* idx = &m_FaceIndices[3 * f];
            const CKVertex &v0 = m_Vertices[(int) idx[0]], &v1 = m_Vertices[(int) idx[1]],
                           &v2 = m_Vertices[(int) idx[2]];
            const QxVector e1 = v1.Position - v0.Position, e2 = v2.Position - v0.Position;
            const float du1 = v1.u - v0.u, dv1 = v1.v - v0.v, du2 = v2.u - v0.u, dv2 = v2.v - v0.v;
            const float r = 1.0f / (dv2 * du1 - dv1 * du2);
            const QxVector t = (e1 * dv2 - e2 * dv1) * r, b = (e2 * du1 - e1 * du2) * r;
            for (int c = 0; c < 3; ++c) {
                m_Tangents[(int) idx[c]] += t;
                m_Binormals[(int) idx[c]] += b;
            }
        }
        for (int i = 0; i < n; ++i) {
            const QxVector& normal = m_Vertices[i].Normal;
            const QxVector t = Normalized(normal * Dot(normal, m_Tangents[i]) - m_Tangents[i]);
            const QxVector c = Cross(normal, t);
            m_Binormals[i] = Dot(m_Binormals[i], c) < 0.0f ? c : c * -1.0f;
            m_Tangents[i] = t;
        }
        return;
    }
    for (int f = 0; f < faces; ++f)
        for (int corner = 0; corner < 3; ++corner)
            BuildCornerTangent(3 * f, corner);
    // Vertices of one position and one normal share their vectors; the
    // first vertex of each position (in vertex order) gathers them.
    XArray<int> first(n);
    first.Resize(n);
    std::unordered_map<std::array<CKDWORD, 6>, int, WordsHash> firstOf;
    firstOf.reserve((size_t) n);
    for (int i = 0; i < n; ++i) {
        const CKVertex& v = m_Vertices[i];
        std::array<CKDWORD, 6> key;
        std::memcpy(key.data(), &v.Position, 12);
        std::memcpy(key.data() + 3, &v.Normal, 12);
        for (CKDWORD& w : key)
            w = CKFloatMergeKey(w);
        first[i] = firstOf.emplace(key, i).first->second;
    }
    for (int i = 0; i < n; ++i)
        if (first[i] != i) {
            m_Tangents[first[i]] += m_Tangents[i];
            m_Binormals[first[i]] += m_Binormals[i];
        }
    for (int i = 0; i < n; ++i)
        if (first[i] == i) {
            m_Tangents[i] = Normalized(m_Tangents[i]);
            m_Binormals[i] = Normalized(m_Binormals[i]);
        }
    for (int i = 0; i < n; ++i)
        if (first[i] != i) {
            m_Tangents[i] = m_Tangents[first[i]];
            m_Binormals[i] = m_Binormals[first[i]];
        }
}

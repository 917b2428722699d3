#include "render/animation/RCKSkin.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "render/mesh/CKMesh.h"
#include "render/objects/CK3dEntity.h"

RCKSkin::RCKSkin() = default;

RCKSkin::RCKSkin(const RCKSkin& source)
    : CKSkin(), m_ObjectInitMatrix(source.m_ObjectInitMatrix),
      m_InverseObjectInitMatrix(source.m_InverseObjectInitMatrix), m_Bones(source.m_Bones),
      m_Vertices(source.m_Vertices), m_Normals(source.m_Normals), m_SkinParam(source.m_SkinParam),
      m_MaxVertexInfluences(source.m_MaxVertexInfluences)
{}

void RCKSkin::SetObjectInitMatrix(const QxMatrix& matrix)
{
    m_ObjectInitMatrix = matrix;
    // A singular matrix has no inverse: the identity stands for it.
    if (!QxInverseMatrix(m_InverseObjectInitMatrix, matrix))
        m_InverseObjectInitMatrix.SetIdentity();
}

void RCKSkin::SetBoneCount(int count)
{
    int old = m_Bones.Size();
    m_Bones.Resize(count > 0 ? count : 0);
    for (int i = old; i < m_Bones.Size(); ++i)
        m_Bones.Begin()[i] = CKSkinBoneData();
}

CKSkinBoneData* RCKSkin::GetBoneData(int index)
{
    return index >= 0 && index < m_Bones.Size() ? &m_Bones.Begin()[index] : nullptr;
}

void RCKSkin::SetVertexCount(int count)
{
    m_Vertices.Resize(count > 0 ? count : 0);
    m_MaxVertexInfluences = 0;
    m_PackedValid = false;
}

CKSkinVertexData* RCKSkin::GetVertexData(int index)
{
    // The caller may change the record.
    m_PackedValid = false;
    return index >= 0 && index < m_Vertices.Size() ? &m_Vertices.Begin()[index] : nullptr;
}

void RCKSkin::SetNormalCount(int count)
{
    int old = m_Normals.Size();
    m_Normals.Resize(count > 0 ? count : 0);
    for (int i = old; i < m_Normals.Size(); ++i)
        m_Normals.Begin()[i] = QxVector();
}

void RCKSkin::SetNormal(int index, const QxVector& normal)
{
    if (index >= 0 && index < m_Normals.Size())
        m_Normals.Begin()[index] = normal;
}

const QxVector& RCKSkin::GetNormal(int index)
{
    return index >= 0 && index < m_Normals.Size() ? m_Normals.Begin()[index] : QxVector::Zero();
}

void RCKSkin::LimitVertexInfluences(int max)
{
    if (max < 1)
        max = 1;
    for (CKSkinVertexData& vertex : m_Vertices) {
        XArray<CKSkinInfluence>& influences = vertex.Influences();
        if (influences.Size() <= max)
            continue;
        float total = 0.0f;
        for (const CKSkinInfluence& influence : influences)
            total += influence.Weight;
        // Drop the lightest (the later among equals) until max remain.
        while (influences.Size() > max) {
            int lightest = 0;
            for (int i = 1; i < influences.Size(); ++i)
                if (influences.Begin()[i].Weight <= influences.Begin()[lightest].Weight)
                    lightest = i;
            influences.RemoveAt(lightest);
        }
        float kept = 0.0f;
        for (const CKSkinInfluence& influence : influences)
            kept += influence.Weight;
        if (kept > 0.0f && std::isfinite(total / kept))
            for (CKSkinInfluence& influence : influences)
                influence.Weight *= total / kept;
    }
    m_MaxVertexInfluences = max;
    m_PackedValid = false;
}

void RCKSkin::ClearMeshSkinList(CK3dEntity*)
{
    m_DeformedMesh = nullptr;
    m_DeformedCount = 0;
}

void RCKSkin::RemapVertexIndices(const int* table, int count)
{
    if (!table || count <= 0)
        return;
    int newCount = 0;
    for (int i = 0; i < count; ++i)
        newCount = std::max(newCount, table[i] + 1);
    XClassArray<CKSkinVertexData> vertices;
    vertices.Resize(newCount);
    XArray<bool> taken;
    taken.Resize(newCount);
    std::fill(taken.Begin(), taken.Begin() + newCount, false);
    XArray<QxVector> normals;
    normals.Resize(m_Normals.Size() > 0 ? newCount : 0);
    std::fill(normals.Begin(), normals.Begin() + normals.Size(), QxVector());
    for (int i = 0; i < count && i < m_Vertices.Size(); ++i) {
        const int n = table[i];
        if (n < 0 || taken.Begin()[n])
            continue;
        taken.Begin()[n] = true;
        vertices.Begin()[n] = m_Vertices.Begin()[i];
        if (normals.Size() > 0 && i < m_Normals.Size())
            normals.Begin()[n] = m_Normals.Begin()[i];
    }
    m_Vertices = vertices;
    m_Normals = normals;
    m_PackedValid = false;
}

void RCKSkin::RemapVertices(const XArray<int>* lists, int count)
{
    if (!lists || count <= 0)
        return;
    int newCount = 0;
    for (int i = 0; i < count; ++i)
        for (int n : lists[i])
            newCount = std::max(newCount, n + 1);
    XClassArray<CKSkinVertexData> vertices;
    vertices.Resize(newCount);
    XArray<QxVector> normals;
    normals.Resize(m_Normals.Size() > 0 ? newCount : 0);
    std::fill(normals.Begin(), normals.Begin() + normals.Size(), QxVector());
    for (int i = 0; i < count && i < m_Vertices.Size(); ++i)
        for (int n : lists[i]) {
            if (n < 0)
                continue;
            vertices.Begin()[n] = m_Vertices.Begin()[i];
            if (normals.Size() > 0 && i < m_Normals.Size())
                normals.Begin()[n] = m_Normals.Begin()[i];
        }
    m_Vertices = vertices;
    m_Normals = normals;
    m_PackedValid = false;
}

void RCKSkin::Pack()
{
    const int n = m_Vertices.Size();
    m_PackedPositions.Resize(n);
    m_PackedStart.Resize(n + 1);
    int total = 0;
    for (const CKSkinVertexData& vertex : m_Vertices)
        total += vertex.GetBoneCount();
    m_PackedInfluences.Resize(total);
    int at = 0;
    for (int i = 0; i < n; ++i) {
        const CKSkinVertexData& vertex = m_Vertices.Begin()[i];
        m_PackedPositions.Begin()[i] = vertex.GetInitialPos();
        m_PackedStart.Begin()[i] = at;
        for (const CKSkinInfluence& influence : vertex.Influences())
            m_PackedInfluences.Begin()[at++] = influence;
    }
    m_PackedStart.Begin()[n] = at;
    m_PackedValid = true;
}

void RCKSkin::ComputeBoneMatrices(QxMatrix* bones, const QxMatrix& inverseWorld)
{
    for (int b = 0; b < m_Bones.Size(); ++b) {
        const CKSkinBoneData& bone = m_Bones.Begin()[b];
        QxMatrix m;
        if (bone.Bone) {
            QxMultiplyMatrix(m, bone.InitialMatrix, m_ObjectInitMatrix);
            QxMultiplyMatrix(m, bone.Bone->GetWorldMatrix(), m);
        } else {
            m = m_ObjectInitMatrix;
        }
        QxMultiplyMatrix(bones[b], inverseWorld, m);
    }
}

void RCKSkin::DeformVertices(const QxMatrix* bones, int count, void* positions, CKDWORD stride, void* normals,
                             CKDWORD normalStride)
{
    if (!m_PackedValid)
        Pack();
    count = std::min(count, m_Vertices.Size());
    const bool withNormals = normals && m_Normals.Size() >= count;
    const int boneCount = m_Bones.Size();
    const QxVector* source = m_PackedPositions.Begin();
    const QxVector* sourceNormals = m_Normals.Begin();
    const int* start = m_PackedStart.Begin();
    const CKSkinInfluence* influences = m_PackedInfluences.Begin();
    auto* out = static_cast<CKBYTE*>(positions);
    auto* nout = static_cast<CKBYTE*>(normals);
    for (int v = 0; v < count; ++v) {
        // The weighted sum of the bone matrices' first three columns.
        float a[12] = {};
        for (int k = start[v]; k < start[v + 1]; ++k) {
            const int b = influences[k].Bone;
            if (b < 0 || b >= boneCount)
                continue;
            const float w = influences[k].Weight;
            const QxMatrix& m = bones[b];
            for (int r = 0; r < 4; ++r) {
                a[3 * r] += w * m[r][0];
                a[3 * r + 1] += w * m[r][1];
                a[3 * r + 2] += w * m[r][2];
            }
        }
        const QxVector& p = source[v];
        const QxVector q(p.x * a[0] + p.y * a[3] + p.z * a[6] + a[9], p.x * a[1] + p.y * a[4] + p.z * a[7] + a[10],
                         p.x * a[2] + p.y * a[5] + p.z * a[8] + a[11]);
        std::memcpy(out + (size_t) v * stride, &q, sizeof(q));
        if (withNormals) {
            const QxVector& n = sourceNormals[v];
            QxVector r(n.x * a[0] + n.y * a[3] + n.z * a[6], n.x * a[1] + n.y * a[4] + n.z * a[7],
                       n.x * a[2] + n.y * a[5] + n.z * a[8]);
            const float l2 = r.x * r.x + r.y * r.y + r.z * r.z;
            if (l2 > 0.0f)
                r *= 1.0f / std::sqrt(l2);
            std::memcpy(nout + (size_t) v * normalStride, &r, sizeof(r));
        }
    }
}

CKBOOL RCKSkin::DeformMesh(CK3dEntity* entity, CKRenderContext*)
{
    CKMesh* mesh = entity ? entity->GetCurrentMesh() : nullptr;
    if (!mesh)
        return FALSE;
    CKDWORD stride = 0, normalStride = 0;
    void* positions = mesh->GetModifierVertices(&stride);
    const int count = std::min(mesh->GetModifierVertexCount(), m_Vertices.Size());
    if (!positions || count <= 0)
        return FALSE;
    void* normals = m_Normals.Size() > 0 ? mesh->GetNormalsPtr(&normalStride) : nullptr;
    XArray<QxMatrix> bones;
    bones.Resize(m_Bones.Size());
    ComputeBoneMatrices(bones.Begin(), entity->GetInverseWorldMatrix());
    DeformVertices(bones.Begin(), count, positions, stride, normals, normalStride);
    m_DeformedMesh = mesh;
    m_DeformedCount = count;
    // Normals the skin gave need no rebuild; face normals always do.
    mesh->ModifierVertexMove(normals ? FALSE : TRUE, TRUE);
    if (normals)
        mesh->NormalChanged();
    return TRUE;
}

CKBOOL RCKSkin::GetBoneBoundingBox(QxBbox& box, CKContext*, CK3dEntity* entity)
{
    if (!entity)
        return FALSE;
    bool any = false;
    for (const CKSkinBoneData& bone : m_Bones) {
        if (!bone.Bone)
            continue;
        const QxMatrix& world = bone.Bone->GetWorldMatrix();
        QxVector p;
        QxMultiplyMatrixVector(p, entity->GetInverseWorldMatrix(), QxVector(world[3][0], world[3][1], world[3][2]));
        if (!any)
            box = QxBbox(p, p);
        else
            box.Merge(p);
        any = true;
    }
    return any ? TRUE : FALSE;
}

int RCKSkin::GetMemoryOccupation() const
{
    int size = (int) sizeof(RCKSkin) + m_Bones.Capacity() * (int) sizeof(CKSkinBoneData) +
               m_Normals.Capacity() * (int) sizeof(QxVector) + m_PackedPositions.Capacity() * (int) sizeof(QxVector) +
               m_PackedStart.Capacity() * (int) sizeof(int) +
               m_PackedInfluences.Capacity() * (int) sizeof(CKSkinInfluence);
    for (const CKSkinVertexData& vertex : m_Vertices)
        size += (int) sizeof(CKSkinVertexData) + vertex.Influences().Capacity() * (int) sizeof(CKSkinInfluence);
    return size;
}

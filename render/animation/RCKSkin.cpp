#include "render/animation/RCKSkin.h"

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
}

CKSkinVertexData* RCKSkin::GetVertexData(int index)
{
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
        // Drop the lightest (the later among equals) until max remain.
        while (influences.Size() > max) {
            int lightest = 0;
            for (int i = 1; i < influences.Size(); ++i)
                if (influences.Begin()[i].Weight <= influences.Begin()[lightest].Weight)
                    lightest = i;
            influences.RemoveAt(lightest);
        }
    }
    m_MaxVertexInfluences = max;
}

int RCKSkin::GetMemoryOccupation() const
{
    int size = (int) sizeof(RCKSkin) + m_Bones.Capacity() * (int) sizeof(CKSkinBoneData) +
               m_Normals.Capacity() * (int) sizeof(QxVector);
    for (const CKSkinVertexData& vertex : m_Vertices)
        size += (int) sizeof(CKSkinVertexData) + vertex.Influences().Capacity() * (int) sizeof(CKSkinInfluence);
    return size;
}

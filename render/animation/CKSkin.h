#pragma once

#include "includes/XArray.h"
#include "system/math/QxBbox.h"
#include "system/math/QxMatrix.h"
#include "system/math/QxVector.h"
#include "system/memory/QxPoolObject.h"

class CK3dEntity;
class CKContext;
class CKRenderContext;
class CKRasterizerContext;

// One bone of a skin: the entity that moves it, a flags word carried as it
// was saved, and the inverse of the bone's world matrix when the skin was
// bound (the matrix the entity's chunk saves as the bone's initial matrix:
// one field serves both names). A bone without an entity stays where it was
// bound.
struct CKSkinBoneData
{
    CK3dEntity* Bone = nullptr;
    CKDWORD Flags = 0;
    QxMatrix InitialMatrix = QxMatrix::Identity();

    void SetBone(CK3dEntity* bone) { Bone = bone; }
    CK3dEntity* GetBone() const { return Bone; }
    void SetBoneInitialInverseMatrix(const QxMatrix& matrix) { InitialMatrix = matrix; }
    const QxMatrix& GetInitialInverseMatrix() const { return InitialMatrix; }
};

// One influence of a bone on a vertex.
struct CKSkinInfluence
{
    int Bone = 0; // index among the skin's bones
    float Weight = 0.0f;
};

// One vertex of a skin: its position when the skin was bound and the bones
// that move it.
class CKSkinVertexData
{
public:
    int GetBoneCount() const { return m_Influences.Size(); }
    // Keeps the first min(old, count) influences; new ones are (0, 0).
    void SetBoneCount(int count)
    {
        int old = m_Influences.Size();
        m_Influences.Resize(count > 0 ? count : 0);
        for (int i = old; i < m_Influences.Size(); ++i)
            m_Influences.Begin()[i] = CKSkinInfluence();
    }
    // Index out of range: 0.
    int GetBone(int index) const { return InRange(index) ? m_Influences.Begin()[index].Bone : 0; }
    float GetWeight(int index) const { return InRange(index) ? m_Influences.Begin()[index].Weight : 0.0f; }
    // Ignored out of range.
    void SetBone(int index, int bone)
    {
        if (InRange(index))
            m_Influences.Begin()[index].Bone = bone;
    }
    void SetWeight(int index, float weight)
    {
        if (InRange(index))
            m_Influences.Begin()[index].Weight = weight;
    }
    const QxVector& GetInitialPos() const { return m_InitialPosition; }
    void SetInitialPos(const QxVector& position) { m_InitialPosition = position; }

    XArray<CKSkinInfluence>& Influences() { return m_Influences; }
    const XArray<CKSkinInfluence>& Influences() const { return m_Influences; }

private:
    bool InRange(int index) const { return index >= 0 && index < m_Influences.Size(); }

    QxVector m_InitialPosition;
    XArray<CKSkinInfluence> m_Influences;
};

// The skin of a 3D entity: bones that move the vertices of its mesh, each
// vertex weighted among a few of them. The 3D entity owns its skin, saves it
// within its own chunk section and reads it back; the skinning code
// implements it.
class CKSkin : public QxPoolObject
{
public:
    // The entity's matrix when the skin was bound; setting it also keeps its
    // inverse.
    virtual void SetObjectInitMatrix(const QxMatrix& matrix) = 0;
    virtual const QxMatrix& GetObjectInitMatrix() = 0;
    virtual const QxMatrix& GetInverseObjectInitMatrix() = 0;

    // Counts keep the first min(old, count) records; new ones are empty.
    virtual void SetBoneCount(int count) = 0;
    virtual int GetBoneCount() = 0;
    // Null out of range.
    virtual CKSkinBoneData* GetBoneData(int index) = 0;

    virtual void SetVertexCount(int count) = 0;
    virtual int GetVertexCount() = 0;
    virtual CKSkinVertexData* GetVertexData(int index) = 0;

    // Vertex normals when the skin was bound; 0 when it has none.
    virtual void SetNormalCount(int count) = 0;
    virtual int GetNormalCount() = 0;
    // Ignored (zero) out of range.
    virtual void SetNormal(int index, const QxVector& normal) = 0;
    virtual const QxVector& GetNormal(int index) = 0;

    // One word saved with the skin for the skinning code.
    virtual void SetSkinParam(CKDWORD param) = 0;
    virtual CKDWORD GetSkinParam() = 0;

    // 0 until LimitVertexInfluences has run (and again after the vertex
    // count changed); then the maximum it was given.
    virtual int GetMaxVertexInfluences() = 0;
    // Leaves every vertex at most max influences: the heaviest ones, the
    // earlier first among equal weights, in their order; a vertex that lost
    // influences has the kept weights scaled back to its former total, so
    // that its position stays a full blend.
    virtual void LimitVertexInfluences(int max) = 0;

    // Forgets what the skin kept of the entity's current mesh (the vertex
    // layout of its last deformation), so that the next one starts afresh.
    virtual void ClearMeshSkinList(CK3dEntity* entity) = 0;
    // Follows a renumbering of the mesh's vertices: table[old] is the new
    // index of old vertex old (negative: removed), count the table's size.
    // New vertex n takes the records (and normal) of the first old vertex
    // that maps to it; the vertex count becomes the largest new index + 1.
    virtual void RemapVertexIndices(const int* table, int count) = 0;

    // Computes the skinned positions and normals of the entity's current
    // mesh: linear blend skinning in the entity's frame. FALSE (nothing
    // changed) without a mesh or vertices.
    virtual CKBOOL DeformMesh(CK3dEntity* entity, CKRenderContext* context = nullptr) = 0;
    // Skinning by the rasterizer: never here.
    virtual CKBOOL CanUseHardwareBlending(CK3dEntity* entity, CKRenderContext* context) = 0;
    virtual void SetupHardwareVertexBlending(CKRasterizerContext* context, CK3dEntity* entity) = 0;
    // The box of the bones' positions in the entity's frame; FALSE (box
    // untouched) when no bone has an entity.
    virtual CKBOOL GetBoneBoundingBox(QxBbox& box, CKContext* context, CK3dEntity* entity) = 0;
};

#pragma once

#include "includes/XClassArray.h"
#include "render/animation/CKSkin.h"

// The skin's data: bones, vertices with their influences, optional normals
// and the skinning parameter. A pool object, owned by its 3D entity.
class RCKSkin : public CKSkin
{
public:
    RCKSkin();
    // A deep copy (the bones name the same entities).
    explicit RCKSkin(const RCKSkin& source);
    RCKSkin& operator=(const RCKSkin&) = delete;

    void SetObjectInitMatrix(const QxMatrix& matrix) override;
    const QxMatrix& GetObjectInitMatrix() override { return m_ObjectInitMatrix; }
    const QxMatrix& GetInverseObjectInitMatrix() override { return m_InverseObjectInitMatrix; }

    void SetBoneCount(int count) override;
    int GetBoneCount() override { return m_Bones.Size(); }
    CKSkinBoneData* GetBoneData(int index) override;

    void SetVertexCount(int count) override;
    int GetVertexCount() override { return m_Vertices.Size(); }
    CKSkinVertexData* GetVertexData(int index) override;

    void SetNormalCount(int count) override;
    int GetNormalCount() override { return m_Normals.Size(); }
    void SetNormal(int index, const QxVector& normal) override;
    const QxVector& GetNormal(int index) override;

    void SetSkinParam(CKDWORD param) override { m_SkinParam = param; }
    CKDWORD GetSkinParam() override { return m_SkinParam; }

    int GetMaxVertexInfluences() override { return m_MaxVertexInfluences; }
    void LimitVertexInfluences(int max) override;

    void ClearMeshSkinList(CK3dEntity* entity) override;
    void RemapVertexIndices(const int* table, int count) override;
    // Follows a split of the mesh's vertices: lists[old] (count lists) holds
    // the new indices made from old vertex old; each takes a copy of its
    // records. The vertex count becomes the largest new index + 1.
    void RemapVertices(const XArray<int>* lists, int count);

    CKBOOL DeformMesh(CK3dEntity* entity, CKRenderContext* context = nullptr) override;
    CKBOOL CanUseHardwareBlending(CK3dEntity*, CKRenderContext*) override { return FALSE; }
    void SetupHardwareVertexBlending(CKRasterizerContext*, CK3dEntity*) override {}
    CKBOOL GetBoneBoundingBox(QxBbox& box, CKContext* context, CK3dEntity* entity) override;

    // The matrix of each bone from the skin's vertices as bound to the
    // entity's frame now: object initial matrix, then the bone's initial
    // inverse, then the bone's world matrix (its initial one for a bone
    // without an entity), then the entity's inverse world matrix. bones
    // holds GetBoneCount() matrices.
    void ComputeBoneMatrices(QxMatrix* bones, const QxMatrix& inverseWorld);
    // The blend of the first count vertices (and normals, when the skin has
    // them and normals is not null) by the bone matrices, written at the
    // strides given. Influences naming no bone are skipped.
    void DeformVertices(const QxMatrix* bones, int count, void* positions, CKDWORD stride, void* normals,
                        CKDWORD normalStride);

    // Bytes held.
    int GetMemoryOccupation() const;

private:
    void Pack();

    QxMatrix m_ObjectInitMatrix = QxMatrix::Identity();
    QxMatrix m_InverseObjectInitMatrix = QxMatrix::Identity();
    XArray<CKSkinBoneData> m_Bones;
    XClassArray<CKSkinVertexData> m_Vertices;
    XArray<QxVector> m_Normals;
    CKDWORD m_SkinParam = 0;
    int m_MaxVertexInfluences = 0;

    // The vertices as flat arrays for deformation, rebuilt after the
    // records may have changed: positions, the first influence of each
    // vertex (one more entry at the end), the influences in order.
    XArray<QxVector> m_PackedPositions;
    XArray<int> m_PackedStart;
    XArray<CKSkinInfluence> m_PackedInfluences;
    bool m_PackedValid = false;
    // The mesh last deformed and its vertex count.
    void* m_DeformedMesh = nullptr;
    int m_DeformedCount = 0;
};

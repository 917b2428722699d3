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

    // Bytes held.
    int GetMemoryOccupation() const;

private:
    QxMatrix m_ObjectInitMatrix = QxMatrix::Identity();
    QxMatrix m_InverseObjectInitMatrix = QxMatrix::Identity();
    XArray<CKSkinBoneData> m_Bones;
    XClassArray<CKSkinVertexData> m_Vertices;
    XArray<QxVector> m_Normals;
    CKDWORD m_SkinParam = 0;
    int m_MaxVertexInfluences = 0;
};

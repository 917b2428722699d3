#pragma once

#include "core/object/CKBeObject.h"
#include "includes/XString.h"

// Mesh flags the 3D entities read or set.
enum : CKDWORD
{
    CKMESH_BOUNDINGUPTODATE = 0x1,
    CKMESH_VISIBLE = 0x2,
    CKMESH_FACENORMALSVALID = 0x8,
    CKMESH_NOPOSITIONSSAVED = 0x200000, // positions and normals are not saved (a skin holds them)
};

// A triangle mesh (class 32), with the operations the 3D entities use; the
// mesh code implements it.
class CKMesh : public CKClass<CKMesh, CKBeObject, CKCID_MESH>
{
public:
    using CKClass::CKClass;

    virtual CKBOOL IsTransparent() = 0;
    // 0 prelit, 1 lit. Setting it, even to the same mode, makes the mesh
    // prepare its render data again.
    virtual void SetLitMode(int mode) = 0;
    virtual int GetLitMode() = 0;
    virtual CKDWORD GetFlags() = 0;
    virtual void SetFlags(CKDWORD flags) = 0;

    // The positions that geometry changes write: the address of the first
    // one, *stride receiving the bytes from one to the next.
    virtual void* GetModifierVertices(CKDWORD* stride) = 0;
    virtual int GetModifierVertexCount() = 0;
    // After the modifier vertices moved.
    virtual void ModifierVertexMove(CKBOOL rebuildNormals, CKBOOL rebuildFaceNormals) = 0;
    virtual int GetVertexCount() = 0;
    // The vertex normals, as GetModifierVertices.
    virtual void* GetNormalsPtr(CKDWORD* stride) = 0;
    virtual void NormalChanged() = 0;

    virtual int GetBlendShapeCount() = 0;
    // Index of the first blend shape of that name (case-sensitive), -1
    // when none.
    virtual int GetBlendShapeIndex(const XString& name) = 0;
};

#pragma once

#include "render/mesh/CK65KPrimitive.h"

class CKMaterial;
class CKRasterizerContext;
class RCKRenderManager;

// Group flags.
enum : CKDWORD
{
    // A transparent, two-sided group: drawn back faces first, then front.
    CKMATERIALGROUP_TWOPASSES = 0x1,
};

// The faces of a mesh that share one material (none for the default group
// 0), and their render data: the group is itself the first primitive, and
// owns further primitives when its faces use more than 65,535 vertices.
// The buffer indices come from the render manager and go back to it.
class CKMaterialGroup : public CK65KPrimitive
{
public:
    // A triangle list without vertices, with its two buffer indices (0
    // without a render manager).
    CKMaterialGroup(RCKRenderManager* manager, CKMaterial* material);
    ~CKMaterialGroup() override;
    CKMaterialGroup(const CKMaterialGroup&) = delete;
    CKMaterialGroup& operator=(const CKMaterialGroup&) = delete;

    // Empty again: a triangle list without vertices, indices, faces or
    // further primitives (their buffer indices given back).
    void Clear();
    // A further primitive of the group's type, with buffer indices of its
    // own; null when memory runs out.
    CK65KPrimitive* AddSubPrimitive();
    int GetMemoryOccupation() const;

    RCKRenderManager* Manager;
    CKMaterial* Material;
    CKDWORD Flags = 0;
    // The faces of the group, as the groups were last built.
    XArray<CKDWORD> Faces;
    XArray<CK65KPrimitive*> SubPrimitives;

private:
    void ReleaseSubPrimitives();
};

// Draws one primitive from its buffers: one draw, or one per strip.
void CKDrawPrimitive(CKRasterizerContext* rst, const CK65KPrimitive& primitive);

// Draws a group and its further primitives, when it has vertices, under the
// current states: z comparison always (render option 0x200000) and no z
// writing (0x80000) when the options ask for them, restored afterwards; a
// CKMATERIALGROUP_TWOPASSES group culls front faces first, then back faces.
// renderOptions: the drawn entity's render options word. 1.
int CKDrawMaterialGroup(CKRasterizerContext* rst, const CKMaterialGroup& group, CKDWORD renderOptions);

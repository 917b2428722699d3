#pragma once

#include "render/objects/CKRenderObject.h"
#include "system/math/Qx2DVector.h"

// 2D flags the render library sets.
enum : CKDWORD
{
    CK_2DENTITY_VIEWPORTRELATIVE = 0x100,
    CK_2DENTITY_CLIPTOVIEWPORT = 0x400,
};

// A screen-space rectangle (class 27), as the render contexts see it; the
// render library's 2D classes implement it.
class CK2dEntity : public CKClass<CK2dEntity, CKRenderObject, CKCID_2DENTITY>
{
public:
    using CKClass::CKClass;

    // Draws the entity and its children.
    virtual CKERROR Render(CKRenderContext* context) = 0;
    // The topmost entity of this subtree under the point, or null.
    virtual CK2dEntity* Pick(const Qx2DVector& point, CKBOOL ignoreUnpickable = FALSE) = 0;
    virtual CKDWORD GetFlags() = 0;
    virtual void ModifyFlags(CKDWORD add, CKDWORD remove = 0) = 0;
    virtual int GetChildrenCount() = 0;
    virtual CK2dEntity* GetChild(int index) = 0;
};

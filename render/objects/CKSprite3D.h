#pragma once

#include "render/objects/RCK3dEntity.h"
#include "system/math/Qx2DVector.h"
#include "system/math/QxRect.h"

class CKMaterial;

// Orientation modes ("Billboard=0,XRotate=1,YRotate=2,Orientable=3").
enum : int
{
    CKSPRITE3D_BILLBOARD = 0,
    CKSPRITE3D_XROTATE = 1,
    CKSPRITE3D_YROTATE = 2,
    CKSPRITE3D_ORIENTABLE = 3,
};

// A textured rectangle in the entity's local xy plane (class 37), which may
// turn towards the viewer every frame. Its size lives in the local box.
class CKSprite3D : public CKClass<CKSprite3D, RCK3dEntity, CKCID_SPRITE3D>
{
public:
    using CKClass::CKClass;

    virtual void SetMaterial(CKMaterial* material) = 0;
    virtual CKMaterial* GetMaterial() = 0;
    virtual void SetSize(const Qx2DVector& size) = 0;
    virtual void GetSize(Qx2DVector& size) = 0;
    // The rectangle around the origin in half sizes: 0 centres it, 1 puts
    // the origin on the left (x) or bottom (y) edge, -1 on the other one.
    virtual void SetOffset(const Qx2DVector& offset) = 0;
    virtual void GetOffset(Qx2DVector& offset) = 0;
    // Texture coordinates of the quad (left, top, right, bottom).
    virtual void SetUVMapping(const QxRect& rect) = 0;
    virtual void GetUVMapping(QxRect& rect) = 0;
    virtual void SetMode(int mode) = 0;
    virtual int GetMode() = 0;
};

#pragma once

#include "core/object/CKBeObject.h"

class CKRenderContext;

// A texture (class 31), as the render contexts see it.
class CKTexture : public CKClass<CKTexture, CKBeObject, CKCID_TEXTURE>
{
public:
    using CKClass::CKClass;

    // Binds the texture on a stage of the render context's device.
    virtual CKBOOL SetAsCurrent(CKRenderContext* context, CKBOOL clamping = FALSE, int stage = 0) = 0;
    // The image size (-1 without one) and a pixel as 32-bit ARGB (0 outside
    // it); a negative slot is the current one.
    virtual int GetWidth() = 0;
    virtual int GetHeight() = 0;
    virtual CKDWORD GetPixel(int x, int y, int slot = -1) = 0;
};

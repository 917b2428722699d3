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
};

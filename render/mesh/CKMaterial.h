#pragma once

#include "core/object/CKBeObject.h"
#include "system/math/QxColor.h"

class CKRenderContext;
class CKTexture;

// A material (class 30); its operations come with the material code.
class CKMaterial : public CKClass<CKMaterial, CKBeObject, CKCID_MATERIAL>
{
public:
    using CKClass::CKClass;

    // What the 2D entities' drawing and picking use.
    // Makes the material's states, and its texture on that stage, current.
    virtual CKBOOL SetAsCurrent(CKRenderContext* context, CKBOOL lit = TRUE, int textureStage = 0) = 0;
    virtual const QxColor& GetDiffuse() = 0;
    // Null when the stage has no texture.
    virtual CKTexture* GetTexture(int stage = 0) = 0;
    // The effect number, 0 for none.
    virtual int GetEffect() = 0;
    virtual CKBOOL AlphaTestEnabled() = 0;
    // The alpha comparison (1 Never, 2 Less, 3 Equal, 4 Less Equal, 5
    // Greater, 6 Not Equal, 7 Greater Equal, 8 Always) and its reference.
    virtual int GetAlphaFunc() = 0;
    virtual CKBYTE GetAlphaRef() = 0;
};

// TRUE when the material has no texture or no alpha test; otherwise whether
// the texel at (u, v) (0 .. 1 across the texture, clamped to it) passes the
// material's alpha test. FALSE for a null material.
CKBOOL CKTestMaterialTexelAlpha(CKMaterial* material, float u, float v);

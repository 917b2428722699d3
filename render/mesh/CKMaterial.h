#pragma once

#include "core/object/CKBeObject.h"
#include "render/context/rasterizer/CKRasterizerTypes.h"
#include "render/mesh/CKMaterialModes.h"
#include "system/math/QxColor.h"

class CKParameter;
class CKRenderContext;
class CKTexture;

// Bits of a material's flags word. The effect number lives in bits 8 to 13
// (0: no effect).
enum : CKDWORD
{
    CKMATERIAL_TWOSIDED = 0x1,
    CKMATERIAL_ZWRITE = 0x2,
    CKMATERIAL_PERSPECTIVE = 0x4,
    CKMATERIAL_ALPHABLEND = 0x8,
    CKMATERIAL_ALPHATEST = 0x10,
    CKMATERIAL_EFFECTMASK = 0x3F00,
    CKMATERIAL_EFFECTSHIFT = 8,
};

// The texture stages a material holds: stage 0 is its texture, stages 1 to
// 3 those its effect takes.
constexpr int CKMATERIAL_STAGES = 4;
// Effect numbers a material keeps (6 bits of its flags word).
constexpr int CKMATERIAL_MAXEFFECT = 63;

// A material (class 30): the colours and power of the rasterizer's material
// record, four texture stages with their blend, filter and address modes,
// the blending, alpha test, depth, fill, shade and culling states, and an
// effect with its parameter. RCKMaterial implements it.
class CKMaterial : public CKClass<CKMaterial, CKBeObject, CKCID_MATERIAL>
{
public:
    using CKClass::CKClass;

    // Colours and power, as the rasterizer's 17-word record holds them.
    virtual const QxColor& GetDiffuse() = 0;
    virtual void SetDiffuse(const QxColor& color) = 0;
    virtual const QxColor& GetAmbient() = 0;
    virtual void SetAmbient(const QxColor& color) = 0;
    virtual const QxColor& GetSpecular() = 0;
    virtual void SetSpecular(const QxColor& color) = 0;
    virtual const QxColor& GetEmissive() = 0;
    virtual void SetEmissive(const QxColor& color) = 0;
    virtual float GetPower() = 0;
    virtual void SetPower(float power) = 0;
    virtual const CKMaterialData& GetMaterialData() = 0;

    // Textures of stages 0 to 3; null outside them. Setting a stage outside
    // them does nothing.
    virtual CKTexture* GetTexture(int stage = 0) = 0;
    virtual void SetTexture(int stage, CKTexture* texture) = 0;
    void SetTexture0(CKTexture* texture) { SetTexture(0, texture); }

    // Stage 0's states (CK_TEXTUREBLEND, CK_TEXTUREFILTER, CK_TEXTUREADDRESS
    // values; the border colour 0xAARRGGBB).
    virtual int GetTextureBlendMode() = 0;
    virtual void SetTextureBlendMode(int mode) = 0;
    virtual int GetTextureMinMode() = 0;
    virtual void SetTextureMinMode(int mode) = 0;
    virtual int GetTextureMagMode() = 0;
    virtual void SetTextureMagMode(int mode) = 0;
    virtual int GetTextureAddressMode() = 0;
    virtual void SetTextureAddressMode(int mode) = 0;
    virtual CKDWORD GetTextureBorderColor() = 0;
    virtual void SetTextureBorderColor(CKDWORD color) = 0;
    virtual CKBOOL PerspectiveCorrectionEnabled() = 0;
    virtual void EnablePerspectiveCorrection(CKBOOL enable) = 0;

    // Blending (CK_BLENDFACTOR values). The setters of blending and alpha
    // testing raise the engine-wide transparency-changed flag when they
    // change something.
    virtual CKBOOL AlphaBlendEnabled() = 0;
    virtual void EnableAlphaBlend(CKBOOL enable) = 0;
    virtual int GetSourceBlend() = 0;
    virtual void SetSourceBlend(int factor) = 0;
    virtual int GetDestBlend() = 0;
    virtual void SetDestBlend(int factor) = 0;
    // Drawn with alpha transparency: blending on, other than One / Zero
    // (which draws as opaque).
    virtual CKBOOL IsAlphaTransparent() = 0;

    // Alpha test (CK_COMPAREFUNC, 8-bit reference) and depth.
    virtual CKBOOL AlphaTestEnabled() = 0;
    virtual void EnableAlphaTest(CKBOOL enable) = 0;
    virtual int GetAlphaFunc() = 0;
    virtual void SetAlphaFunc(int function) = 0;
    virtual CKBYTE GetAlphaRef() = 0;
    virtual void SetAlphaRef(CKBYTE reference) = 0;
    virtual CKBOOL ZWriteEnabled() = 0;
    virtual void EnableZWrite(CKBOOL enable) = 0;
    virtual int GetZFunc() = 0;
    virtual void SetZFunc(int function) = 0;

    // Faces (CK_FILLMODE, CK_SHADEMODE).
    virtual CKBOOL IsTwoSided() = 0;
    virtual void SetTwoSided(CKBOOL twoSided) = 0;
    virtual int GetFillMode() = 0;
    virtual void SetFillMode(int mode) = 0;
    virtual int GetShadeMode() = 0;
    virtual void SetShadeMode(int mode) = 0;

    // Effect: an index of the render manager's effects, 0 for none. Setting
    // one gives the material a parameter of the effect's structure type
    // when parameters can be made (the old one is destroyed). Numbers
    // outside 0 .. CKMATERIAL_MAXEFFECT are refused.
    virtual int GetEffect() = 0;
    virtual CKBOOL SetEffect(int effect) = 0;
    // The parameter (a CKParameter) that carries the effect's values; null
    // without effect or parameter.
    virtual CKParameter* GetEffectParameter() = 0;
    // The shader data record of a shader binding (which: the binding slot);
    // materials hold none, so null.
    virtual void* GetShaderData(int which = 0) = 0;

    // The flags word (CKMATERIAL_...) and a stamp that rises at every change
    // (the render library's change stamp at the last setter that changed
    // something).
    virtual CKDWORD GetFlags() = 0;
    virtual CKDWORD GetModificationStamp() = 0;

    // Makes the material current on the render context's rasterizer. Stage
    // 0: the material record (when lit), the blending, alpha test, depth,
    // culling, fill and shade states, then the texture and its stage states
    // (and the effect's textures on the next stages); another stage: only
    // the texture and its stage states there. FALSE without a device.
    virtual CKBOOL SetAsCurrent(CKRenderContext* context, CKBOOL lit = TRUE, int stage = 0) = 0;
};

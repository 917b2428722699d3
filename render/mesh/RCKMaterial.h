#pragma once

#include "render/mesh/CKMaterial.h"

// Identifier of the material's section in its state chunk.
constexpr CKDWORD CK_STATESAVE_MATERIALDATA = 0x00010000;
// Layout version of that section; newer sections are refused.
constexpr CKDWORD CK_MATERIAL_LAYOUT_VERSION = 1;
// Words of the section after its identifier.
constexpr int CK_MATERIAL_SECTION_WORDS = 36;

// The render library's material.
//
// State chunk (class 30), after the behavioural object's section, one
// section under CK_STATESAVE_MATERIALDATA, every field a 32-bit word:
//   layout version (1)
//   diffuse, ambient, specular, emissive: four floats each (r, g, b, a)
//   power (float)
//   flags word (CKMATERIAL_..., the effect number in bits 8 to 13)
//   texture blend mode, minification mode, magnification mode, address mode
//   texture border colour (0xAARRGGBB)
//   source blend, destination blend, alpha function, alpha reference (0..255),
//   z function, fill mode, shade mode
//   textures of stages 0 to 3, then the effect parameter: object references
//   (0 for none)
// Values outside their enumerations are kept as read; a texture reference
// that names no texture is dropped.
class RCKMaterial : public CKMaterial
{
public:
    explicit RCKMaterial(CKContext* context, const char* name = nullptr);
    ~RCKMaterial() override;

    static CKObject* CreateInstance(CKContext* context) { return new RCKMaterial(context); }
    static const char* GetClassName() { return "Material"; }
    // Parameter GUID, notification from textures, no default dependencies.
    static void Register();
    // Option 0 "Textures" in modes 1, 2 and 4.
    static const char* GetDependencies(int index, int mode);
    static int GetDependenciesCount(int mode);

    // CKObject
    void PreSave(CKFile* file, CKDWORD flags) override;
    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    void CheckPreDeletion() override;
    int GetMemoryOccupation() override;
    CKBOOL IsObjectUsed(CKObject* object, CK_CLASSID cid) override;
    CKERROR PrepareDependencies(CKDependenciesContext& context, CKBOOL caller = TRUE) override;
    CKERROR RemapDependencies(CKDependenciesContext& context) override;
    CKERROR Copy(CKObject& source, CKDependenciesContext& context) override;

    // CKMaterial
    const QxColor& GetDiffuse() override { return m_Data.Diffuse; }
    void SetDiffuse(const QxColor& color) override { SetColor(m_Data.Diffuse, color); }
    const QxColor& GetAmbient() override { return m_Data.Ambient; }
    void SetAmbient(const QxColor& color) override { SetColor(m_Data.Ambient, color); }
    const QxColor& GetSpecular() override { return m_Data.Specular; }
    void SetSpecular(const QxColor& color) override { SetColor(m_Data.Specular, color); }
    const QxColor& GetEmissive() override { return m_Data.Emissive; }
    void SetEmissive(const QxColor& color) override { SetColor(m_Data.Emissive, color); }
    float GetPower() override { return m_Data.SpecularPower; }
    void SetPower(float power) override;
    const CKMaterialData& GetMaterialData() override { return m_Data; }

    CKTexture* GetTexture(int stage = 0) override;
    void SetTexture(int stage, CKTexture* texture) override;
    int GetTextureBlendMode() override { return m_TextureBlendMode; }
    void SetTextureBlendMode(int mode) override { SetValue(m_TextureBlendMode, mode, false); }
    int GetTextureMinMode() override { return m_TextureMinMode; }
    void SetTextureMinMode(int mode) override { SetValue(m_TextureMinMode, mode, false); }
    int GetTextureMagMode() override { return m_TextureMagMode; }
    void SetTextureMagMode(int mode) override { SetValue(m_TextureMagMode, mode, false); }
    int GetTextureAddressMode() override { return m_TextureAddressMode; }
    void SetTextureAddressMode(int mode) override { SetValue(m_TextureAddressMode, mode, false); }
    CKDWORD GetTextureBorderColor() override { return m_TextureBorderColor; }
    void SetTextureBorderColor(CKDWORD color) override;
    CKBOOL PerspectiveCorrectionEnabled() override { return FlagSet(CKMATERIAL_PERSPECTIVE); }
    void EnablePerspectiveCorrection(CKBOOL enable) override { SetFlag(CKMATERIAL_PERSPECTIVE, enable, false); }

    CKBOOL AlphaBlendEnabled() override { return FlagSet(CKMATERIAL_ALPHABLEND); }
    void EnableAlphaBlend(CKBOOL enable) override { SetFlag(CKMATERIAL_ALPHABLEND, enable, true); }
    int GetSourceBlend() override { return m_SourceBlend; }
    void SetSourceBlend(int factor) override { SetValue(m_SourceBlend, factor, true); }
    int GetDestBlend() override { return m_DestBlend; }
    void SetDestBlend(int factor) override { SetValue(m_DestBlend, factor, true); }
    CKBOOL IsAlphaTransparent() override;

    CKBOOL AlphaTestEnabled() override { return FlagSet(CKMATERIAL_ALPHATEST); }
    void EnableAlphaTest(CKBOOL enable) override { SetFlag(CKMATERIAL_ALPHATEST, enable, true); }
    int GetAlphaFunc() override { return m_AlphaFunc; }
    void SetAlphaFunc(int function) override { SetValue(m_AlphaFunc, function, true); }
    CKBYTE GetAlphaRef() override { return (CKBYTE) m_AlphaRef; }
    void SetAlphaRef(CKBYTE reference) override { SetValue(m_AlphaRef, (int) reference, true); }
    CKBOOL ZWriteEnabled() override { return FlagSet(CKMATERIAL_ZWRITE); }
    void EnableZWrite(CKBOOL enable) override { SetFlag(CKMATERIAL_ZWRITE, enable, false); }
    int GetZFunc() override { return m_ZFunc; }
    void SetZFunc(int function) override { SetValue(m_ZFunc, function, false); }

    CKBOOL IsTwoSided() override { return FlagSet(CKMATERIAL_TWOSIDED); }
    void SetTwoSided(CKBOOL twoSided) override { SetFlag(CKMATERIAL_TWOSIDED, twoSided, false); }
    int GetFillMode() override { return m_FillMode; }
    void SetFillMode(int mode) override { SetValue(m_FillMode, mode, false); }
    int GetShadeMode() override { return m_ShadeMode; }
    void SetShadeMode(int mode) override { SetValue(m_ShadeMode, mode, false); }

    int GetEffect() override { return (int) ((m_Flags & CKMATERIAL_EFFECTMASK) >> CKMATERIAL_EFFECTSHIFT); }
    CKBOOL SetEffect(int effect) override;
    CKParameter* GetEffectParameter() override;
    void* GetShaderData(int) override { return nullptr; }

    CKDWORD GetFlags() override { return m_Flags; }
    CKDWORD GetModificationStamp() override { return m_Stamp; }

    CKBOOL SetAsCurrent(CKRenderContext* context, CKBOOL lit = TRUE, int stage = 0) override;

private:
    bool FlagSet(CKDWORD flag) const { return (m_Flags & flag) != 0; }
    // Each stores and, when the value changes, stamps the material (and,
    // for blending and alpha testing, raises the transparency flag).
    void SetFlag(CKDWORD flag, CKBOOL on, bool transparency);
    void SetValue(int& field, int value, bool transparency);
    void SetColor(QxColor& field, const QxColor& value);
    void Changed(bool transparency);
    // The effect parameter: made for the effect's structure type when the
    // parameter class and its type can be had; the old one is destroyed.
    void ReplaceEffectParameter(int effect);
    void DestroyEffectParameter();
    // The stage states of stage 0's texture applied on a stage.
    void SetStageStates(CKRenderContext* context, int stage);

    CKMaterialData m_Data;
    CKTexture* m_Textures[CKMATERIAL_STAGES] = {};
    CKDWORD m_Flags = CKMATERIAL_ZWRITE | CKMATERIAL_PERSPECTIVE;
    int m_TextureBlendMode = CK_TEXBLEND_MODULATEALPHA;
    int m_TextureMinMode = CK_TEXFILTER_LINEAR;
    int m_TextureMagMode = CK_TEXFILTER_LINEAR;
    int m_TextureAddressMode = CK_TEXADDRESS_WRAP;
    CKDWORD m_TextureBorderColor = 0;
    int m_SourceBlend = CK_BLEND_ONE;
    int m_DestBlend = CK_BLEND_ZERO;
    int m_AlphaFunc = CK_CMP_GREATER;
    int m_AlphaRef = 0;
    int m_ZFunc = CK_CMP_LESSEQUAL;
    int m_FillMode = CK_FILL_SOLID;
    int m_ShadeMode = CK_SHADE_GOURAUD;
    CK_ID m_EffectParameter = 0;
    CKDWORD m_Stamp = 0;
};

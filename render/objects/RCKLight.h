#pragma once

#include "render/context/rasterizer/CKRasterizerTypes.h"
#include "render/objects/CKLight.h"

// Chunk identifiers of the light's section.
enum : CKDWORD
{
    CK_STATESAVE_LIGHTDATA = 0x400000,
    CK_STATESAVE_LIGHTPOWER = 0x800000,
    CK_STATESAVE_LIGHTONLY = 0xFC00000,
};

// The first chunk data version whose light section packs type and flags
// into one word and the colour into another.
constexpr int CK_LIGHT_PACKEDVERSION = 5;

// The render library's light: the record the rasterizer takes (the light
// and the lighting-model word), the light flags and the power.
class RCKLight : public CKLight
{
public:
    // Attenuation 1, 0 under the render manager's "CK2_3D/DX5LightingModel",
    // else 0.5, 0.02.
    explicit RCKLight(CKContext* context, const char* name = nullptr);

    static CKObject* CreateInstance(CKContext* context) { return new RCKLight(context); }
    static const char* GetClassName() { return "Light"; }
    static void Register();

    // CKObject
    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    int GetMemoryOccupation() override;
    CKERROR Copy(CKObject& source, CKDependenciesContext& context) override;

    // CKLight
    void SetColor(const QxColor& color) override { m_Record.Light.Diffuse = color; }
    const QxColor& GetColor() override { return m_Record.Light.Diffuse; }
    void SetConstantAttenuation(float value) override { m_Record.Light.Attenuation0 = value; }
    void SetLinearAttenuation(float value) override { m_Record.Light.Attenuation1 = value; }
    void SetQuadraticAttenuation(float value) override { m_Record.Light.Attenuation2 = value; }
    float GetConstantAttenuation() override { return m_Record.Light.Attenuation0; }
    float GetLinearAttenuation() override { return m_Record.Light.Attenuation1; }
    float GetQuadraticAttenuation() override { return m_Record.Light.Attenuation2; }
    CKDWORD GetType() override { return m_Record.Light.Type; }
    void SetType(CKDWORD type) override { m_Record.Light.Type = type; }
    float GetRange() override { return m_Record.Light.Range; }
    void SetRange(float range) override { m_Record.Light.Range = range; }
    float GetHotSpot() override { return m_Record.Light.InnerSpotCone; }
    float GetFallOff() override { return m_Record.Light.OuterSpotCone; }
    void SetHotSpot(float angle) override { m_Record.Light.InnerSpotCone = angle; }
    void SetFallOff(float angle) override { m_Record.Light.OuterSpotCone = angle; }
    float GetFallOffShape() override { return m_Record.Light.Falloff; }
    void SetFallOffShape(float shape) override { m_Record.Light.Falloff = shape; }
    void Active(CKBOOL active) override;
    CKBOOL GetActivity() override { return (m_LightFlags & CK_LIGHT_ACTIVE) != 0; }
    void SetSpecularFlag(CKBOOL specular) override;
    CKBOOL GetSpecularFlag() override { return (m_LightFlags & CK_LIGHT_SPECULAR) != 0; }
    CK3dEntity* GetTarget() override { return nullptr; }
    void SetTarget(CK3dEntity*) override {}
    float GetLightPower() override { return m_Power; }
    void SetLightPower(float power) override { m_Power = power; }
    CKBOOL Setup(CKRasterizerContext* rasterizer, int index) override;

    const CKLightRecord& GetRecord() const { return m_Record; }
    CKDWORD GetLightFlags() const { return m_LightFlags; }

protected:
    CKLightRecord m_Record;
    CKDWORD m_LightFlags = CK_LIGHT_ACTIVE;
    float m_Power = 1.0f;
};

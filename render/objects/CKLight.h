#pragma once

#include "render/objects/RCK3dEntity.h"
#include "system/math/QxColor.h"

class CKRasterizerContext;

// Light types ("Point=1,Spot=2,Directional=3").
enum : CKDWORD
{
    CK_LIGHT_POINT = 1,
    CK_LIGHT_SPOT = 2,
    CK_LIGHT_DIRECTIONAL = 3,
};

// Light flags.
enum : CKDWORD
{
    CK_LIGHT_ACTIVE = 0x100,
    CK_LIGHT_SPECULAR = 0x200,
};

// A light of the scene (class 38): a point, spot or directional light whose
// position and direction come from its world matrix.
class CKLight : public CKClass<CKLight, RCK3dEntity, CKCID_LIGHT>
{
public:
    using CKClass::CKClass;

    virtual void SetColor(const QxColor& color) = 0;
    virtual const QxColor& GetColor() = 0;
    virtual void SetConstantAttenuation(float value) = 0;
    virtual void SetLinearAttenuation(float value) = 0;
    virtual void SetQuadraticAttenuation(float value) = 0;
    virtual float GetConstantAttenuation() = 0;
    virtual float GetLinearAttenuation() = 0;
    virtual float GetQuadraticAttenuation() = 0;
    virtual CKDWORD GetType() = 0;
    virtual void SetType(CKDWORD type) = 0;
    virtual float GetRange() = 0;
    virtual void SetRange(float range) = 0;
    // Inner and outer cone angles of a spot light, radians.
    virtual float GetHotSpot() = 0;
    virtual float GetFallOff() = 0;
    virtual void SetHotSpot(float angle) = 0;
    virtual void SetFallOff(float angle) = 0;
    // The falloff exponent between the two cones.
    virtual float GetFallOffShape() = 0;
    virtual void SetFallOffShape(float shape) = 0;
    virtual void Active(CKBOOL active) = 0;
    virtual CKBOOL GetActivity() = 0;
    virtual void SetSpecularFlag(CKBOOL specular) = 0;
    virtual CKBOOL GetSpecularFlag() = 0;
    // Null for a plain light.
    virtual CK3dEntity* GetTarget() = 0;
    virtual void SetTarget(CK3dEntity* target) = 0;
    // Multiplies the colours handed to the rasterizer.
    virtual float GetLightPower() = 0;
    virtual void SetLightPower(float power) = 0;

    // Hands the light to the rasterizer under index and enables it: TRUE,
    // or FALSE when the light does not light this frame.
    virtual CKBOOL Setup(CKRasterizerContext* rasterizer, int index) = 0;
};

#pragma once

#include <memory>
#include <string>

#include "platform/host/Color.h"
#include "platform/host/Mtl.h"
#include "platform/host/Texmap.h"

// The map slots of the standard material.
constexpr int ID_AM = 0;  // ambient
constexpr int ID_DI = 1;  // diffuse
constexpr int ID_SP = 2;  // specular
constexpr int ID_SH = 3;  // shininess
constexpr int ID_SS = 4;  // shininess strength
constexpr int ID_SI = 5;  // self-illumination
constexpr int ID_OP = 6;  // opacity
constexpr int ID_FI = 7;  // filter colour
constexpr int ID_BU = 8;  // bump
constexpr int ID_RL = 9;  // reflection
constexpr int ID_RR = 10; // refraction
constexpr int ID_DP = 11; // displacement
constexpr int STD_NUM_MAPS = 12;

// Shading types GetShading gives: constant (flat), Phong, metal, Blinn.
constexpr int SHADE_CONST = 0;
constexpr int SHADE_PHONG = 1;
constexpr int SHADE_METAL = 2;
constexpr int SHADE_BLINN = 3;

constexpr SClass_ID SHADER_CLASS_ID = 0xC30;

// Stands in for a standard material's shader: its self-illumination colour
// and whether that colour (rather than the amount) is in use.
class Shader : public ReferenceTarget
{
public:
    explicit Shader(std::string className = "Blinn");

    BOOL IsSelfIllumClrOn() const { return m_SelfIllumClrOn ? TRUE : FALSE; }
    Color GetSelfIllumClr(TimeValue) const { return m_SelfIllumClr; }
    void SetSelfIllumClrOn(bool on) { m_SelfIllumClrOn = on; }
    void SetSelfIllumClr(const Color& c) { m_SelfIllumClr = c; }

private:
    bool m_SelfIllumClrOn = false;
    Color m_SelfIllumClr;
};

// The viewport shader machinery (the DirectX shader a standard material may
// show in the viewports): a core interface gives each material's viewport
// shader manager, which answers two interfaces: the first gives the active
// effect, the second whether that effect is on. The effect of the DirectX
// shader class answers DX_SHADER_EFFECT_INTERFACE and keeps its parameters
// in its block 0.
constexpr Interface_ID VIEWPORT_SHADER_CORE_INTERFACE(0x6dce7429, 0x200169ac);
constexpr Interface_ID VIEWPORT_SHADER_MANAGER_INTERFACE(0x5dbe33d6, 0x2e1b422b);
constexpr Interface_ID VIEWPORT_SHADER_MANAGER_INTERFACE2(0x5a4d6672, 0x7d8a2857);
constexpr Interface_ID DX_SHADER_EFFECT_INTERFACE(0x40c926b8, 0x7c3a66b7);
constexpr Class_ID DX_SHADER_EFFECT_CLASS_ID(0x727d33be, 0x3255c000);

class IViewportShaderManager : public BaseInterface
{
public:
    Interface_ID GetID() const override { return VIEWPORT_SHADER_MANAGER_INTERFACE; }
    // The effect chosen for the viewports; null for none.
    virtual ReferenceTarget* GetActiveEffect() = 0;
};

class IViewportShaderManager2 : public BaseInterface
{
public:
    Interface_ID GetID() const override { return VIEWPORT_SHADER_MANAGER_INTERFACE2; }
    // Whether the effect is on.
    virtual BOOL IsEffectActive() = 0;
};

class IDxShaderEffect : public BaseInterface
{
public:
    Interface_ID GetID() const override { return DX_SHADER_EFFECT_INTERFACE; }
};

class IViewportShaderCore : public BaseInterface
{
public:
    Interface_ID GetID() const override { return VIEWPORT_SHADER_CORE_INTERFACE; }
    // The viewport shader manager of a material; null for a material
    // without one.
    virtual ReferenceTarget* GetViewportShaderManager(Mtl* mtl) = 0;
};

// A core interface of the host by its id: the viewport shader core
// interface; null for any other.
BaseInterface* GetCOREInterface(Interface_ID id);

// A viewport effect: its class (the DirectX shader's, or another) and its
// parameter block 0. An effect of the DirectX shader class answers
// DX_SHADER_EFFECT_INTERFACE.
class ViewportEffect : public ReferenceTarget, private IDxShaderEffect
{
public:
    ViewportEffect(Class_ID classId, std::string className);
    ~ViewportEffect() override;

    int NumParamBlocks() const override { return 1; }
    IParamBlock2* GetParamBlock(int i) const override;
    BaseInterface* GetInterface(Interface_ID id) override;
    using ReferenceTarget::GetInterface;

private:
    std::unique_ptr<IParamBlock2> m_Block;
};

// A material's viewport shader manager: its effect and whether it is on.
class ViewportShaderManager : public ReferenceTarget, private IViewportShaderManager, private IViewportShaderManager2
{
public:
    ViewportShaderManager(std::unique_ptr<ViewportEffect> effect, bool active);
    ~ViewportShaderManager() override;

    ViewportEffect* Effect() const { return m_Effect.get(); }
    bool Active() const { return m_Active; }
    BaseInterface* GetInterface(Interface_ID id) override;
    using ReferenceTarget::GetInterface;

private:
    ReferenceTarget* GetActiveEffect() override { return m_Effect.get(); }
    BOOL IsEffectActive() override { return m_Active ? TRUE : FALSE; }

    std::unique_ptr<ViewportEffect> m_Effect;
    bool m_Active;
};

// Stands in for the host's standard material (class DMTL_CLASS_ID): colours,
// shininess (glossiness 0 to 1) and its strength (the specular level, 1 for
// 100 %), self-illumination, transparency, two-sided, wire, face mapping,
// the shading type, its shader, twelve map slots (each a texture map, an
// enable switch and an amount 0 to 1) and, optionally, a viewport shader.
// Values are constant over time.
class StdMat2 : public Mtl
{
public:
    explicit StdMat2(std::string name = "", Class_ID classId = DMTL_CLASS_ID, std::string className = "Standard");
    ~StdMat2() override;

    Color GetAmbient(TimeValue) const { return m_Ambient; }
    Color GetDiffuse(TimeValue) const { return m_Diffuse; }
    Color GetSpecular(TimeValue) const { return m_Specular; }
    float GetShininess(TimeValue) const { return m_Shininess; }
    float GetShinStr(TimeValue) const { return m_ShinStr; }
    float GetSelfIllum(TimeValue) const { return m_SelfIllum; }
    // The transparency, 0 opaque to 1.
    float GetXParency(TimeValue, BOOL = FALSE) const { return m_XParency; }
    BOOL GetTwoSided() const { return m_TwoSided ? TRUE : FALSE; }
    BOOL GetWire() const { return m_Wire ? TRUE : FALSE; }
    BOOL GetFaceMap() const { return m_FaceMap ? TRUE : FALSE; }
    int GetShading() const { return m_Shading; }
    BOOL SupportsShaders() const { return TRUE; }
    Shader* GetShader() const { return m_Shader.get(); }

    BOOL MapEnabled(int i) const;
    float GetTexmapAmt(int i, TimeValue t) const;
    int NumSubTexmaps() const override { return STD_NUM_MAPS; }
    Texmap* GetSubTexmap(int i) const override;
    ULONG Requirements(int subMtlNum) const override;

    void SetAmbient(const Color& c) { m_Ambient = c; }
    void SetDiffuse(const Color& c) { m_Diffuse = c; }
    void SetSpecular(const Color& c) { m_Specular = c; }
    void SetShininess(float v) { m_Shininess = v; }
    void SetShinStr(float v) { m_ShinStr = v; }
    void SetSelfIllum(float v) { m_SelfIllum = v; }
    void SetXParency(float v) { m_XParency = v; }
    void SetTwoSided(bool on) { m_TwoSided = on; }
    void SetWire(bool on) { m_Wire = on; }
    void SetFaceMap(bool on) { m_FaceMap = on; }
    void SetShading(int shading) { m_Shading = shading; }
    // Puts a map (null for none) in slot i, enabled or not, at its amount.
    void SetSubTexmap(int i, Texmap* map, bool enabled = true, float amount = 1.0f);
    void SetViewportShader(std::unique_ptr<ViewportShaderManager> manager) { m_Viewport = std::move(manager); }
    ViewportShaderManager* GetViewportShader() const { return m_Viewport.get(); }

private:
    struct Slot
    {
        Texmap* map = nullptr;
        bool enabled = false;
        float amount = 1.0f;
    };

    Color m_Ambient{0.588f, 0.588f, 0.588f};
    Color m_Diffuse{0.588f, 0.588f, 0.588f};
    Color m_Specular{0.9f, 0.9f, 0.9f};
    float m_Shininess = 0.1f;
    float m_ShinStr = 0.0f;
    float m_SelfIllum = 0.0f;
    float m_XParency = 0.0f;
    bool m_TwoSided = false;
    bool m_Wire = false;
    bool m_FaceMap = false;
    int m_Shading = SHADE_BLINN;
    std::unique_ptr<Shader> m_Shader;
    Slot m_Slots[STD_NUM_MAPS];
    std::unique_ptr<ViewportShaderManager> m_Viewport;
};

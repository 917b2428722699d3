#pragma once

#include <memory>
#include <string>

#include "platform/host/Animatable.h"
#include "platform/host/Color.h"
#include "platform/host/IParamBlock2.h"
#include "platform/host/MaxTypes.h"

// Stands in for the host's atmospheric effects: each is known by its class
// (a volume light, a fire effect... the scene names them) and has its
// parameter blocks.
class Atmospheric : public ReferenceTarget
{
public:
    Atmospheric(Class_ID classId, std::string className, std::string name);

    const std::string& GetName() const { return m_Name; }
    int NumParamBlocks() const override { return 1; }
    // Block 0; null for another index.
    IParamBlock2* GetParamBlock(int i) const override;

private:
    std::string m_Name;
    std::unique_ptr<IParamBlock2> m_Block;
};

constexpr Class_ID FOG_CLASS_ID(0x10000001, 0);

// The standard fog: standard (type 0) or layered (1), its colour, whether
// it also fogs the background, and the fog amounts at the near and far ends
// of the camera's environment range. Parameter block 0 holds integer
// parameter 15, the exponential switch (FOG_EXPONENTIAL).
class StdFog : public Atmospheric
{
public:
    explicit StdFog(std::string name);

    int GetType() const { return m_Type; }
    Color GetColor(TimeValue t) const;
    BOOL GetFogBG() const { return m_FogBackground; }
    float GetNear(TimeValue t) const;
    float GetFar(TimeValue t) const;

    void SetType(int type) { m_Type = type; }
    void SetColor(const Color& c) { m_Color = c; }
    void SetFogBG(bool on) { m_FogBackground = on; }
    void SetRange(float nearAmount, float farAmount)
    {
        m_Near = nearAmount;
        m_Far = farAmount;
    }
    void SetExponential(bool on);

private:
    int m_Type = 0;
    Color m_Color{1.0f, 1.0f, 1.0f};
    bool m_FogBackground = true;
    float m_Near = 0.0f, m_Far = 1.0f;
};

constexpr ParamID FOG_EXPONENTIAL = 15;

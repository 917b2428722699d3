#include "platform/host/StdFog.h"

Atmospheric::Atmospheric(Class_ID classId, std::string className, std::string name)
    : ReferenceTarget(ATMOSPHERIC_CLASS_ID, classId, std::move(className)), m_Name(std::move(name)),
      m_Block(std::make_unique<IParamBlock2>())
{}

IParamBlock2* Atmospheric::GetParamBlock(int i) const
{
    return i == 0 ? m_Block.get() : nullptr;
}

StdFog::StdFog(std::string name) : Atmospheric(FOG_CLASS_ID, "Fog", std::move(name))
{
    IParamBlock2::Entry exponential;
    exponential.def = ParamDef{FOG_EXPONENTIAL, "exponential", TYPE_BOOL};
    GetParamBlock(0)->AddParam(exponential);
}

Color StdFog::GetColor(TimeValue) const
{
    return m_Color;
}

float StdFog::GetNear(TimeValue) const
{
    return m_Near;
}

float StdFog::GetFar(TimeValue) const
{
    return m_Far;
}

void StdFog::SetExponential(bool on)
{
    // The block holds the one parameter the constructor added.
    IParamBlock2* block = GetParamBlock(0);
    IParamBlock2::Entry exponential;
    exponential.def = ParamDef{FOG_EXPONENTIAL, "exponential", TYPE_BOOL};
    exponential.i = on ? 1 : 0;
    *block = IParamBlock2();
    block->AddParam(exponential);
}

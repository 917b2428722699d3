#include "platform/host/StdMat.h"

namespace {

class ViewportShaderCore final : public IViewportShaderCore
{
public:
    ReferenceTarget* GetViewportShaderManager(Mtl* mtl) override
    {
        const StdMat2* standard = dynamic_cast<const StdMat2*>(mtl);
        return standard ? standard->GetViewportShader() : nullptr;
    }
};

ViewportShaderCore g_ViewportShaderCore;

} // namespace

BaseInterface* GetCOREInterface(Interface_ID id)
{
    return id == VIEWPORT_SHADER_CORE_INTERFACE ? &g_ViewportShaderCore : nullptr;
}

Shader::Shader(std::string className) : ReferenceTarget(SHADER_CLASS_ID, Class_ID(0x38, 0), std::move(className)) {}

ViewportEffect::ViewportEffect(Class_ID classId, std::string className)
    : ReferenceTarget(MATERIAL_CLASS_ID, classId, std::move(className)), m_Block(std::make_unique<IParamBlock2>())
{}

ViewportEffect::~ViewportEffect() = default;

IParamBlock2* ViewportEffect::GetParamBlock(int i) const
{
    return i == 0 ? m_Block.get() : nullptr;
}

BaseInterface* ViewportEffect::GetInterface(Interface_ID id)
{
    if (id == DX_SHADER_EFFECT_INTERFACE && ClassID() == DX_SHADER_EFFECT_CLASS_ID)
        return static_cast<IDxShaderEffect*>(this);
    return ReferenceTarget::GetInterface(id);
}

ViewportShaderManager::ViewportShaderManager(std::unique_ptr<ViewportEffect> effect, bool active)
    : ReferenceTarget(0, Class_ID(0x5dbe33d6, 0), "Viewport Manager"), m_Effect(std::move(effect)), m_Active(active)
{}

ViewportShaderManager::~ViewportShaderManager() = default;

BaseInterface* ViewportShaderManager::GetInterface(Interface_ID id)
{
    if (id == VIEWPORT_SHADER_MANAGER_INTERFACE)
        return static_cast<IViewportShaderManager*>(this);
    if (id == VIEWPORT_SHADER_MANAGER_INTERFACE2)
        return static_cast<IViewportShaderManager2*>(this);
    return ReferenceTarget::GetInterface(id);
}

StdMat2::StdMat2(std::string name, Class_ID classId, std::string className)
    : Mtl(classId, std::move(className), std::move(name)), m_Shader(std::make_unique<Shader>())
{}

StdMat2::~StdMat2() = default;

BOOL StdMat2::MapEnabled(int i) const
{
    return i >= 0 && i < STD_NUM_MAPS && m_Slots[i].enabled ? TRUE : FALSE;
}

float StdMat2::GetTexmapAmt(int i, TimeValue) const
{
    return i >= 0 && i < STD_NUM_MAPS ? m_Slots[i].amount : 0.0f;
}

Texmap* StdMat2::GetSubTexmap(int i) const
{
    return i >= 0 && i < STD_NUM_MAPS ? m_Slots[i].map : nullptr;
}

ULONG StdMat2::Requirements(int) const
{
    return m_FaceMap ? MTLREQ_FACEMAP : 0;
}

void StdMat2::SetSubTexmap(int i, Texmap* map, bool enabled, float amount)
{
    if (i < 0 || i >= STD_NUM_MAPS)
        return;
    m_Slots[i] = Slot{map, enabled, amount};
}

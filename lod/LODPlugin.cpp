#include "lod/LODPlugin.h"

#include <new>

#include "core/context/CKContext.h"
#include "core/parameter/CKParameterManager.h"
#include "core/parameter/CKParameterTypeDesc.h"
#include "lod/LODManager.h"

namespace {

constexpr char kAuthor[] = "Keltrane";

} // namespace

CKPluginInfo* CKGetLodPluginInfo(int index)
{
    static CKPluginInfo info;
    switch (index) {
    case 0:
        info = CKPluginInfo(LOD_BEHAVIORS_PLUGIN_GUID, "", "Mesh Modification building blocks", kAuthor,
                            "Mesh Modifications", 1, &CKInitLodParameterTypes, &CKExitLodParameterTypes,
                            CKPLUGIN_BEHAVIOR_DLL);
        return &info;
    case 1:
        info = CKPluginInfo(LOD_MANAGER_GUID, "", "Level Of Detail Manager", kAuthor, "LOD (Level Of Detail)", 1,
                            &CKCreateLodManager, nullptr, CKPLUGIN_MANAGER_DLL);
        return &info;
    default: return nullptr;
    }
}

CKERROR CKCreateLodManager(CKContext* context)
{
    if (!context)
        return CKErr::InvalidParameter;
    LODManager* manager = new (std::nothrow) LODManager(context);
    return manager ? CKErr::Ok : CKErr::OutOfMemory;
}

CKERROR CKInitLodParameterTypes(CKContext* context)
{
    CKParameterManager* pm = context ? context->GetParameterManager() : nullptr;
    if (!pm)
        return CKErr::InvalidParameter;
    pm->RegisterNewEnum(LOD_RGB_COMPONENT_GUID, "RGB Component", "Red=0,Green=1,Blue=2");
    pm->RegisterNewFlags(LOD_MANAGER_FLAGS_GUID, "",
                         "Activate=1,Global LOD Factor=2,Build Normals For Progressive Meshes=4");
    pm->RegisterNewFlags(LOD_ATTRIBUTE_FLAGS_GUID, "",
                         "Multiple Meshes=1,Character Animation=2,Patch Mesh=4,Alpha=8,Screen Mag=16,Screen "
                         "Min=32,Face Mag=64,Face Min=128,Screen Alpha Mag=256,Screen Alpha Min=512");
    for (CKGUID flags : {LOD_MANAGER_FLAGS_GUID, LOD_ATTRIBUTE_FLAGS_GUID})
        if (CKParameterTypeDesc* desc = pm->GetParameterTypeDescription(flags))
            desc->Flags |= CKPARAMETERTYPE_HIDDEN;
    return CKErr::Ok;
}

CKERROR CKExitLodParameterTypes(CKContext* context)
{
    CKParameterManager* pm = context ? context->GetParameterManager() : nullptr;
    if (!pm)
        return CKErr::InvalidParameter;
    pm->UnRegisterParameterType(LOD_RGB_COMPONENT_GUID);
    return CKErr::Ok;
}

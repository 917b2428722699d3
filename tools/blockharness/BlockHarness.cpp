#include "tools/blockharness/BlockHarness.h"

#include "core/behavior/CKBehaviorPrototype.h"
#include "core/behavior/CKObjectDeclaration.h"
#include "core/context/CKContext.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "core/object/CKBeObject.h"
#include "core/object/CKClassRegistry.h"
#include "core/parameter/CKParameterIn.h"
#include "core/parameter/CKParameterLocal.h"
#include "core/parameter/CKParameterOut.h"
#include "lod/LODPlugin.h"
#include "lod/blocks/MeshBlockDeclarations.h"
#include "render/context/CKRenderEngine.h"

namespace {

// The source input n reads, made of the input's type when it has none.
CKParameter* SourceOf(CKBehavior* behavior, int n)
{
    CKParameterIn* in = behavior ? behavior->GetInputParameter(n) : nullptr;
    if (!in)
        return nullptr;
    if (CKParameter* source = in->GetRealSource())
        return source;
    CKContext* context = behavior->GetCKContext();
    CKParameterOut* source = context->CreateCKParameterOut(in->GetName(), in->GetGUID());
    if (!source)
        return nullptr;
    in->SetDirectSource(source);
    return source;
}

} // namespace

void RegisterBlockPlugins()
{
    CKPluginManager* plugins = CKGetPluginManager();
    plugins->RegisterPlugin(0, CKGetRenderEnginePluginInfo(0), nullptr, nullptr);
    plugins->AddStaticDll("Render Engine", 1);
    plugins->RegisterPlugin(0, CKGetLodPluginInfo(0), &CKRegisterLodBehaviorDeclarations, nullptr);
    plugins->RegisterPlugin(1, CKGetLodPluginInfo(1), nullptr, nullptr);
    plugins->AddStaticDll("Meshes", 2);
}

CKBehavior* CreateBlock(CKContext* context, CKGUID guid, CKBeObject* owner, CKDWORD version)
{
    CKBehaviorPrototype* prototype = CKFindPrototypeByGuid(guid);
    if (!context || !prototype)
        return nullptr;
    auto* behavior = static_cast<CKBehavior*>(context->CreateObject(CKCID_BEHAVIOR, prototype->GetName()));
    if (!behavior)
        return nullptr;
    // A behaviour takes its version from the declaration when it is made:
    // the declaration says the version asked for that long.
    CKObjectDeclaration* declaration = prototype->GetSourceDeclaration();
    const CKDWORD declared = declaration ? declaration->GetVersion() : 0;
    if (declaration && version)
        declaration->SetVersion(version);
    const CKERROR made = behavior->InitFromPrototype(prototype);
    if (declaration)
        declaration->SetVersion(declared);
    if (made != CKErr::Ok)
        return nullptr;
    if (declaration)
        behavior->SetCompatibleClassID(declaration->GetCompatibleClassId());
    for (const CKBehaviorIODecl& io : prototype->GetInputs())
        if (!behavior->CreateInput(io.m_Name.CStr()))
            return nullptr;
    for (const CKBehaviorIODecl& io : prototype->GetOutputs())
        if (!behavior->CreateOutput(io.m_Name.CStr()))
            return nullptr;
    int n = 0;
    for (const CKParameterDecl& p : prototype->GetInParameters()) {
        if (!behavior->CreateInputParameterByGuid(p.m_Name.CStr(), p.m_Guid))
            return nullptr;
        if (p.m_DefaultValueString.Length() > 0 && !SetBlockInputText(behavior, n, p.m_DefaultValueString.CStr()))
            return nullptr;
        ++n;
    }
    for (const CKParameterDecl& p : prototype->GetOutParameters())
        if (!behavior->CreateOutputParameter(p.m_Name.CStr(), p.m_Guid))
            return nullptr;
    for (const CKParameterDecl& p : prototype->GetLocalParameters()) {
        CKParameterLocal* local =
            behavior->CreateLocalParameter(p.m_Name.CStr(), p.m_Guid, p.m_Type == CKPARAMETER_SETTING);
        if (!local)
            return nullptr;
        if (p.m_DefaultValueString.Length() > 0)
            local->SetStringValue(p.m_DefaultValueString.CStr());
    }
    if (prototype->GetFlags() & CKBEHAVIOR_TARGETABLE) {
        CKGUID type = CKGetClassParameterGuid(behavior->GetCompatibleClassID());
        CKParameterIn* target = context->CreateCKParameterIn("Target", type);
        if (!target)
            return nullptr;
        behavior->SetTargetParameter(target);
        SetBlockTarget(behavior, owner);
    }
    if (owner && owner->AddScript(behavior) != CKErr::Ok)
        return nullptr;
    // What an editor sends a behaviour it has just made.
    behavior->CallCallbackFunction(CKM_BEHAVIORCREATE);
    return behavior;
}

CKParameter* BlockInputSource(CKBehavior* behavior, int n)
{
    return SourceOf(behavior, n);
}

CKParameter* SetBlockInput(CKBehavior* behavior, int n, const void* value, int size)
{
    CKParameter* source = SourceOf(behavior, n);
    if (!source || source->SetValue(value, size) != CKErr::Ok)
        return nullptr;
    return source;
}

CKParameter* SetBlockInputText(CKBehavior* behavior, int n, const char* text)
{
    CKParameter* source = SourceOf(behavior, n);
    if (!source || source->SetStringValue(text) != CKErr::Ok)
        return nullptr;
    return source;
}

CKParameter* SetBlockInputObject(CKBehavior* behavior, int n, CKObject* object)
{
    CK_ID id = object ? object->GetID() : 0;
    return SetBlockInput(behavior, n, &id, (int) sizeof id);
}

void ClearBlockInput(CKBehavior* behavior, int n)
{
    if (CKParameterIn* in = behavior ? behavior->GetInputParameter(n) : nullptr)
        in->SetDirectSource(nullptr);
}

CKBOOL SetBlockTarget(CKBehavior* behavior, CKObject* target)
{
    CKParameterIn* in = behavior ? behavior->GetTargetParameter() : nullptr;
    if (!in)
        return FALSE;
    CKParameter* source = in->GetRealSource();
    if (!source) {
        source = behavior->GetCKContext()->CreateCKParameterOut("Target", in->GetGUID());
        if (!source)
            return FALSE;
        in->SetDirectSource(source);
    }
    CK_ID id = target ? target->GetID() : 0;
    return source->SetValue(&id, (int) sizeof id) == CKErr::Ok;
}

int RunBlock(CKBehavior* behavior, const BlockFrame& frame)
{
    CKBEHAVIORFCT function = behavior ? behavior->GetFunction() : nullptr;
    if (!function)
        return -1;
    CKContext* context = behavior->GetCKContext();
    CKBehaviorContext record;
    record.Behavior = behavior;
    record.DeltaTime = frame.DeltaTime;
    record.Context = context;
    record.CurrentScene = frame.Scene ? frame.Scene : context->GetCurrentScene();
    record.CurrentRenderContext = frame.RenderContext;
    return function(record);
}

int SendBlockMessage(CKBehavior* behavior, CKDWORD message)
{
    return behavior ? behavior->CallCallbackFunction(message) : 0;
}

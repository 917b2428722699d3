#include "core/behavior/CKBehavior.h"

#include <algorithm>
#include <cstring>

#include "core/behavior/CKBehaviorIO.h"
#include "core/behavior/CKBehaviorLink.h"
#include "core/behavior/CKBehaviorManager.h"
#include "core/behavior/CKBehaviorPrototype.h"
#include "core/behavior/CKObjectDeclaration.h"
#include "core/behavior/CKTimeManager.h"
#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKGlobals.h"
#include "core/object/CKBeObject.h"
#include "core/object/CKBeObjectLinks.h"
#include "core/object/CKClassRegistry.h"
#include "core/parameter/CKParameterIn.h"
#include "core/parameter/CKParameterLocal.h"
#include "core/parameter/CKParameterOperation.h"
#include "core/parameter/CKParameterOut.h"
#include "core/scene/CKScene.h"
#include "core/scene/CKSceneObjectDesc.h"

namespace {

// The mask bit of each callback message; 0 for those no mask lets through.
constexpr CKDWORD kMessageBits[CKM_MAX_BEHAVIOR_CALLBACKS] = {
    0,     0x1,   0x2,   0x4,   0x8,    0x10,   0x20,   0x40,   0,       0x1000,
    0x100, 0x200, 0x400, 0x800, 0x1000, 0x2000, 0x4000, 0x8000, 0x10000, 0x20000,
};

const char* const kMessageNames[CKM_MAX_BEHAVIOR_CALLBACKS] = {
    "Execution",
    "Pre Save",
    "Execution",
    "Attach",
    "Detach",
    "Pause",
    "Resume",
    "Execution",
    "Execution",
    "Reset",
    "Post Save",
    "Load",
    "Parameters Edition",
    "Settings Edition",
    "Read State",
    "New Scene",
    "Activate Script",
    "Deactivate Script",
    "Execution",
    "Execution",
};

constexpr size_t kReportSize = 512;

CKBehavior* AsBehavior(CKObject* object)
{
    return object && CKIsChildClassOfObject(object, CKCID_BEHAVIOR) ? static_cast<CKBehavior*>(object) : nullptr;
}

void Append(char* report, const char* text)
{
    size_t used = std::strlen(report);
    if (used + 1 >= kReportSize || !text)
        return;
    size_t n = std::min(std::strlen(text), kReportSize - 1 - used);
    std::memcpy(report + used, text, n);
    report[used + n] = '\0';
}

} // namespace

CKBehavior::CKBehavior(CKContext* context, const char* name) : CKClass(context, name)
{
    m_BlockData = new CKBehaviorBlockData;
}

CKBehavior::~CKBehavior()
{
    delete m_BlockData;
    delete m_Graph;
    CKDeleteStateChunk(m_InterfaceChunk);
}

// Kind and flags.

int CKBehavior::GetType() const
{
    if (m_Flags & CKBEHAVIOR_BUILDINGBLOCK)
        return 0;
    return (m_Flags & CKBEHAVIOR_SCRIPT) ? 1 : 4;
}

void CKBehavior::SetType(int kind)
{
    if (kind == 1)
        m_Flags |= CKBEHAVIOR_SCRIPT;
}

CKDWORD CKBehavior::ModifyFlags(CKDWORD set, CKDWORD clear)
{
    m_Flags = (m_Flags | set) & ~clear;
    return m_Flags;
}

void CKBehavior::SetPriority(int priority)
{
    m_Priority = priority;
    if (CKBehavior* parent = GetParent())
        parent->SortSubBehaviors();
}

// Owner and parents.

CKBeObject* CKBehavior::GetOwner() const
{
    CKObject* object = m_Owner && m_Context ? m_Context->GetObject(m_Owner) : nullptr;
    return object && CKIsChildClassOfObject(object, CKCID_BEOBJECT) ? static_cast<CKBeObject*>(object) : nullptr;
}

CKBehavior* CKBehavior::GetParent() const
{
    return m_Parent && m_Context ? AsBehavior(m_Context->GetObject(m_Parent)) : nullptr;
}

int CKBehavior::CountAncestors(const CKBehavior* candidate, bool& isAncestor) const
{
    isAncestor = false;
    int count = 0;
    for (CKBehavior* b = GetParent(); b && count <= kMaxGraphDepth; b = b->GetParent()) {
        ++count;
        if (b == candidate)
            isAncestor = true;
    }
    return count;
}

CKBehavior* CKBehavior::GetOwnerScript() const
{
    const CKBehavior* top = this;
    for (int steps = 0; steps <= kMaxGraphDepth; ++steps) {
        CKBehavior* parent = top->GetParent();
        if (!parent)
            break;
        top = parent;
    }
    return (top->m_Flags & CKBEHAVIOR_SCRIPT) ? const_cast<CKBehavior*>(top) : nullptr;
}

CKBOOL CKBehavior::IsActiveInScene(CKScene* scene) const
{
    CKBeObject* owner = GetOwner();
    if (!owner)
        return FALSE;
    if (CKIsChildClassOfObject(owner, CKCID_LEVEL))
        return TRUE;
    if (!scene || !owner->IsInScene(scene))
        return FALSE;
    const CKBehavior* top = this;
    for (int steps = 0; steps <= kMaxGraphDepth && top->GetParent(); ++steps)
        top = top->GetParent();
    return (scene->GetObjectFlags(const_cast<CKBehavior*>(top)) & CK_SCENEOBJECT_ACTIVE) != 0;
}

CKERROR CKBehavior::SetOwner(CKBeObject* owner, CKBOOL callback)
{
    CKBeObject* old = GetOwner();
    const CK_ID oldId = m_Owner;
    if (owner == old && (owner || !oldId)) {
        for (int i = 0; i < GetSubBehaviorCount(); ++i)
            if (CKBehavior* sub = GetSubBehavior(i))
                sub->SetOwner(owner, callback);
        return CKErr::Ok;
    }
    CKERROR result = CKErr::Ok;
    if (callback) {
        if (old)
            result = CallCallbackFunction(CKM_BEHAVIORDETACH);
        if (result == CKErr::Ok) {
            m_Owner = owner ? owner->GetID() : 0;
            if (owner) {
                result = CallCallbackFunction(CKM_BEHAVIORATTACH);
                if (result != CKErr::Ok) {
                    m_Owner = oldId;
                    if (old)
                        CallCallbackFunction(CKM_BEHAVIORATTACH);
                }
            }
        }
    } else {
        m_Owner = owner ? owner->GetID() : 0;
    }
    if (result == CKErr::Ok) {
        for (CKObject* local : m_LocalParameters)
            if (local)
                static_cast<CKParameterLocal*>(local)->SetOwner(this);
        for (int i = 0; i < GetSubBehaviorCount(); ++i) {
            CKBehavior* sub = GetSubBehavior(i);
            if (!sub)
                continue;
            result = sub->SetOwner(owner, callback);
            if (result != CKErr::Ok) {
                m_Owner = oldId;
                for (int j = 0; j < GetSubBehaviorCount(); ++j)
                    if (CKBehavior* back = GetSubBehavior(j))
                        back->SetOwner(old, callback);
                break;
            }
        }
    }
    // A behaviour is the script of one object at most.
    if (result == CKErr::Ok && old && old != owner && !old->IsToBeDeleted())
        old->RemoveScript(this);
    if (result == CKBR_LOCKED && m_Context)
        m_Context->OutputToConsole("Cannot add or move behavior, because the behavior is locked.", TRUE);
    return result;
}

// Prototype and functions.

CKGUID CKBehavior::GetPrototypeGuid() const
{
    return m_BlockData ? m_BlockData->m_Guid : CKGUID();
}

CKBehaviorPrototype* CKBehavior::GetPrototype() const
{
    CKGUID guid = GetPrototypeGuid();
    return guid.IsValid() ? CKFindPrototypeByGuid(guid) : nullptr;
}

CKDWORD CKBehavior::GetVersion() const
{
    return m_BlockData ? m_BlockData->m_Version : 0;
}

void CKBehavior::SetFunction(CKBEHAVIORFCT function)
{
    if (m_BlockData)
        m_BlockData->m_Function = function;
}

CKERROR CKBehavior::InitFromPrototype(CKBehaviorPrototype* prototype)
{
    if (!m_BlockData)
        return CKErr::InvalidObject;
    if (!prototype)
        return CKErr::InvalidParameter;
    m_BlockData->m_Guid = prototype->GetGuid();
    m_BlockData->m_Callback = prototype->GetBehaviorCallbackFct();
    m_BlockData->m_CallbackMask = prototype->GetBehaviorCallbackMask();
    m_BlockData->m_CallbackArg = prototype->GetBehaviorCallbackArg();
    // A behaviour made now runs as the block's declaration says; a loaded
    // one keeps the version it was saved with.
    CKObjectDeclaration* declaration = prototype->GetSourceDeclaration();
    if (m_BlockData->m_Version == 0 && declaration && declaration->GetVersion() != 0xFFFFFFFF)
        m_BlockData->m_Version = declaration->GetVersion();
    m_Flags |= prototype->GetFlags() | CKBEHAVIOR_BUILDINGBLOCK;
    if (!(prototype->GetFlags() & CKBEHAVIOR_INHERITFROMPROTOTYPE)) {
        m_Flags &= ~CKBEHAVIOR_INHERITFROMPROTOTYPE;
    } else {
        int steps = 0;
        for (CKBehavior* b = GetParent(); b && steps <= kMaxGraphDepth; b = b->GetParent(), ++steps)
            b->m_Flags |= CKBEHAVIOR_INHERITFROMPROTOTYPE;
    }
    if (prototype->GetFunction()) {
        m_BlockData->m_Function = prototype->GetFunction();
        UseFunction();
    }
    return CKErr::Ok;
}

CKERROR CKBehavior::InitFromGuid(CKGUID guid)
{
    if (!m_BlockData)
        return CKErr::InvalidObject;
    CKBehaviorPrototype* prototype = CKFindPrototypeByGuid(guid);
    if (!prototype)
        return CKErr::InvalidParameter;
    return InitFromPrototype(prototype);
}

void CKBehavior::UseGraph()
{
    if (!m_Graph)
        m_Graph = new CKBehaviorGraph;
    delete m_BlockData;
    m_BlockData = nullptr;
    m_Flags &= ~(CKBEHAVIOR_BUILDINGBLOCK | CKBEHAVIOR_USEFUNCTION);
}

void CKBehavior::UseFunction()
{
    if (!m_BlockData)
        m_BlockData = new CKBehaviorBlockData;
    delete m_Graph;
    m_Graph = nullptr;
    m_Flags |= CKBEHAVIOR_BUILDINGBLOCK | CKBEHAVIOR_USEFUNCTION;
}

// Callbacks.

const char* CKBehavior::GetCallbackMessageName(CKDWORD message)
{
    return message < CKM_MAX_BEHAVIOR_CALLBACKS ? kMessageNames[message] : "Execution";
}

int CKBehavior::CallCallbackFunction(CKDWORD message)
{
    if (!m_BlockData || !m_BlockData->m_Callback || message >= CKM_MAX_BEHAVIOR_CALLBACKS)
        return 0;
    if (!(m_BlockData->m_CallbackMask & kMessageBits[message]))
        return 0;
    return InvokeCallback(message);
}

int CKBehavior::InvokeCallback(CKDWORD message)
{
    if (!m_Context)
        return 0;
    // A callback may cause another: the record is given back as it was.
    CKBehaviorContext& record = m_Context->GetBehaviorContext();
    const CKBehaviorContext saved = record;
    record.Behavior = this;
    record.Context = m_Context;
    record.CallbackMessage = message;
    record.CallbackArg = m_BlockData->m_CallbackArg;
    record.CurrentScene = m_Context->GetCurrentScene();
    record.CurrentRenderContext = m_Context->GetMainRenderContext();
    record.DeltaTime = m_Context->GetTimeManager() ? m_Context->GetTimeManager()->GetLastDeltaTime() : 0.0f;
    int answer = 0;
    try {
        answer = m_BlockData->m_Callback(record);
    } catch (...) {
        answer = 0;
        ReportError("Error", GetCallbackMessageName(message), TRUE, TRUE);
    }
    m_Context->GetBehaviorContext() = saved;
    return answer;
}

int CKBehavior::CallSubBehaviorsCallbackFunction(CKDWORD message, const CKGUID* prototype)
{
    if (!m_Graph) {
        if (!prototype || *prototype == GetPrototypeGuid())
            return CallCallbackFunction(message);
        return -1;
    }
    int answer = -1;
    for (int i = 0; i < GetSubBehaviorCount(); ++i)
        if (CKBehavior* sub = GetSubBehavior(i)) {
            int r = sub->CallSubBehaviorsCallbackFunction(message, prototype);
            if (r >= 0)
                answer = r;
        }
    return answer;
}

void CKBehavior::ReportError(const char* text, const char* detail, CKBOOL scriptLine, CKBOOL ownerLine)
{
    if (!m_Context)
        return;
    char report[kReportSize] = {};
    Append(report, GetName() ? GetName() : "Unnamed Behavior");
    Append(report, "=>");
    Append(report, text);
    if (detail) {
        Append(report, "(");
        Append(report, detail);
        Append(report, ")");
    }
    CKBehavior* script = scriptLine ? GetOwnerScript() : nullptr;
    if (scriptLine) {
        Append(report, "\n");
        if (!script) {
            Append(report, "Not within a script");
        } else if (script->GetName()) {
            Append(report, "Script:");
            Append(report, script->GetName());
        } else {
            Append(report, "Unnamed Script");
        }
    }
    if (ownerLine) {
        CKBeObject* owner = script ? script->GetOwner() : GetOwner();
        Append(report, "\n");
        if (!owner) {
            Append(report, "Not applied to any object");
        } else if (owner->GetName()) {
            Append(report, "Owner:");
            Append(report, owner->GetName());
        } else {
            Append(report, "Unnamed Owner");
        }
    }
    m_Context->OutputToConsole(report, TRUE);
}

// Inputs and outputs.

CKBehaviorIO* CKBehavior::GetInput(int n) const
{
    return static_cast<CKBehaviorIO*>(m_Inputs.GetObject(n));
}

CKBehaviorIO* CKBehavior::GetOutput(int n) const
{
    return static_cast<CKBehaviorIO*>(m_Outputs.GetObject(n));
}

CKBehaviorIO* CKBehavior::CreateInput(const char* name)
{
    auto* io = m_Context ? static_cast<CKBehaviorIO*>(m_Context->CreateObject(
                               CKCID_BEHAVIORIO, name, IsDynamic() ? (CKDWORD) CK_OBJECTCREATION_DYNAMIC : 0u))
                         : nullptr;
    if (!io)
        return nullptr;
    io->SetType(CKBEHAVIORIO_IN);
    io->SetOwner(this);
    m_Inputs.PushBack(io);
    return io;
}

CKBehaviorIO* CKBehavior::CreateOutput(const char* name)
{
    auto* io = m_Context ? static_cast<CKBehaviorIO*>(m_Context->CreateObject(
                               CKCID_BEHAVIORIO, name, IsDynamic() ? (CKDWORD) CK_OBJECTCREATION_DYNAMIC : 0u))
                         : nullptr;
    if (!io)
        return nullptr;
    io->SetType(CKBEHAVIORIO_OUT);
    io->SetOwner(this);
    m_Outputs.PushBack(io);
    return io;
}

CKBehaviorIO* CKBehavior::ActivateInput(int n, CKBOOL on)
{
    CKBehaviorIO* io = GetInput(n);
    if (!io)
        return nullptr;
    io->Activate(on);
    if (on && m_Graph)
        m_Flags |= CKBEHAVIOR_ACTIVATENEXTFRAME;
    return io;
}

CKBehaviorIO* CKBehavior::ActivateOutput(int n, CKBOOL on)
{
    CKBehaviorIO* io = GetOutput(n);
    if (io)
        io->Activate(on);
    return io;
}

CKBOOL CKBehavior::IsInputActive(int n) const
{
    CKBehaviorIO* io = GetInput(n);
    return io ? io->IsActive() : FALSE;
}

void CKBehavior::RemoveIO(CKBehaviorIO* io)
{
    if (!io)
        return;
    if (io->GetType() & CKBEHAVIORIO_IN)
        m_Inputs.Remove(io);
    else
        m_Outputs.Remove(io);
}

// Parameters.

CKParameterIn* CKBehavior::GetInputParameter(int n) const
{
    return static_cast<CKParameterIn*>(m_InParameters.GetObject(n));
}

CKParameterOut* CKBehavior::GetOutputParameter(int n) const
{
    return static_cast<CKParameterOut*>(m_OutParameters.GetObject(n));
}

CKParameterLocal* CKBehavior::GetLocalParameter(int n) const
{
    return static_cast<CKParameterLocal*>(m_LocalParameters.GetObject(n));
}

CKERROR CKBehavior::GetInputParameterValue(int n, void* buffer)
{
    CKParameterIn* in = GetInputParameter(n);
    return in ? in->GetValue(buffer) : CKErr::InvalidParameter;
}

CKObject* CKBehavior::GetInputParameterObject(int n)
{
    CKParameterIn* in = GetInputParameter(n);
    CKParameter* source = in ? in->GetRealSource() : nullptr;
    return source ? source->GetValueObject() : nullptr;
}

void* CKBehavior::GetInputParameterReadDataPtr(int n)
{
    CKParameterIn* in = GetInputParameter(n);
    return in ? in->GetReadDataPtr() : nullptr;
}

CKERROR CKBehavior::SetOutputParameterValue(int n, const void* buffer, int size)
{
    CKParameterOut* out = GetOutputParameter(n);
    return out ? out->SetValue(buffer, size) : CKErr::InvalidParameter;
}

CKERROR CKBehavior::GetLocalParameterValue(int n, void* buffer)
{
    CKParameterLocal* local = GetLocalParameter(n);
    return local ? local->GetValue(buffer) : CKErr::InvalidParameter;
}

CKERROR CKBehavior::SetLocalParameterValue(int n, const void* buffer, int size)
{
    CKParameterLocal* local = GetLocalParameter(n);
    return local ? local->SetValue(buffer, size) : CKErr::InvalidParameter;
}

CKERROR CKBehavior::SetLocalParameterObject(int n, CKObject* object)
{
    CKParameterLocal* local = GetLocalParameter(n);
    if (!local)
        return CKErr::InvalidParameter;
    CK_ID id = object ? object->GetID() : 0;
    return local->SetValue(&id, (int) sizeof id);
}

CKObject* CKBehavior::GetLocalParameterObject(int n)
{
    CKParameterLocal* local = GetLocalParameter(n);
    return local ? local->GetValueObject() : nullptr;
}

void* CKBehavior::GetLocalParameterReadDataPtr(int n)
{
    CKParameterLocal* local = GetLocalParameter(n);
    return local ? local->GetReadDataPtr() : nullptr;
}

void* CKBehavior::GetLocalParameterWriteDataPtr(int n)
{
    CKParameterLocal* local = GetLocalParameter(n);
    return local ? local->GetWriteDataPtr() : nullptr;
}

CKERROR CKBehavior::AddInputParameter(CKParameterIn* input)
{
    if (!input)
        return CKErr::InvalidParameter;
    m_InParameters.PushBack(input);
    input->SetOwner(this);
    return CKErr::Ok;
}

CKParameterIn* CKBehavior::RemoveInputParameter(int n)
{
    CKParameterIn* in = GetInputParameter(n);
    if (in)
        m_InParameters.RemoveAt(n);
    return in;
}

CKParameterIn* CKBehavior::CreateInputParameter(const char* name, int type)
{
    CKParameterIn* in = m_Context ? m_Context->CreateCKParameterIn(name, type, IsDynamic()) : nullptr;
    if (in)
        AddInputParameter(in);
    return in;
}

CKParameterIn* CKBehavior::CreateInputParameterByGuid(const char* name, CKGUID type)
{
    CKParameterIn* in = m_Context ? m_Context->CreateCKParameterIn(name, type, IsDynamic()) : nullptr;
    if (in)
        AddInputParameter(in);
    return in;
}

CKParameterOut* CKBehavior::CreateOutputParameter(const char* name, CKGUID type)
{
    CKParameterOut* out = m_Context ? m_Context->CreateCKParameterOut(name, type, IsDynamic()) : nullptr;
    if (!out)
        return nullptr;
    out->SetOwner(this);
    m_OutParameters.PushBack(out);
    return out;
}

CKParameterLocal* CKBehavior::CreateLocalParameter(const char* name, CKGUID type, CKBOOL setting)
{
    auto* local = m_Context ? static_cast<CKParameterLocal*>(m_Context->CreateObject(
                                  CKCID_PARAMETERLOCAL, name, IsDynamic() ? (CKDWORD) CK_OBJECTCREATION_DYNAMIC : 0u))
                            : nullptr;
    if (!local)
        return nullptr;
    local->SetGUID(type);
    if (setting)
        local->ModifyObjectFlags(CK_PARAMETERLOCAL_SETTING, 0);
    local->SetOwner(this);
    m_LocalParameters.PushBack(local);
    return local;
}

void CKBehavior::RemoveParameter(CKObject* parameter)
{
    if (!parameter)
        return;
    // Every list: a parameter sits in the one of its class, unless a file
    // put it elsewhere.
    m_InParameters.Remove(parameter);
    m_OutParameters.Remove(parameter);
    m_LocalParameters.Remove(parameter);
    if (parameter->GetID() == m_Target)
        m_Target = 0;
}

// Target.

CKParameterIn* CKBehavior::GetTargetParameter() const
{
    CKObject* object = m_Target && m_Context ? m_Context->GetObject(m_Target) : nullptr;
    return object && object->GetClassID() == CKCID_PARAMETERIN ? static_cast<CKParameterIn*>(object) : nullptr;
}

void CKBehavior::SetTargetParameter(CKParameterIn* input)
{
    m_Target = input ? input->GetID() : 0;
    if (input) {
        input->SetOwner(this);
        m_Flags |= CKBEHAVIOR_TARGETABLE;
    } else {
        m_Flags &= ~CKBEHAVIOR_TARGETABLE;
    }
}

CKObject* CKBehavior::GetTarget()
{
    if (!m_Target)
        return GetOwner();
    CKParameterIn* in = GetTargetParameter();
    CKParameter* source = in ? in->GetRealSource() : nullptr;
    CKObject* object = source ? source->GetValueObject() : nullptr;
    CKParameterTypeDesc* type = in ? in->GetTypeDesc() : nullptr;
    if (!object || !type || !CKIsChildClassOf(object->GetClassID(), type->ClassId))
        return nullptr;
    return object;
}

// Graph.

CKBehavior* CKBehavior::GetSubBehavior(int n) const
{
    return m_Graph ? static_cast<CKBehavior*>(m_Graph->m_SubBehaviors.GetObject(n)) : nullptr;
}

void CKBehavior::SortSubBehaviors()
{
    if (!m_Graph)
        return;
    XObjectPointerArray& subs = m_Graph->m_SubBehaviors;
    // Exchange passes until one exchanges nothing: equal priorities keep
    // their order.
    for (bool exchanged = true; exchanged;) {
        exchanged = false;
        for (int i = 0; i + 1 < subs.Size(); ++i) {
            auto* a = static_cast<CKBehavior*>(subs[i]);
            auto* b = static_cast<CKBehavior*>(subs[i + 1]);
            if (a && b && a->m_Priority < b->m_Priority) {
                subs[i] = b;
                subs[i + 1] = a;
                exchanged = true;
            }
        }
    }
}

CKERROR CKBehavior::AddSubBehavior(CKBehavior* behavior)
{
    if (!m_Graph || !behavior || behavior == this)
        return CKErr::InvalidParameter;
    if (m_Graph->m_SubBehaviors.IsHere(behavior))
        return CKErr::AlreadyPresent;
    bool above = false;
    if (CountAncestors(behavior, above) >= kMaxGraphDepth || above || behavior->GetParent())
        return CKErr::InvalidParameter;
    behavior->m_Parent = m_ID;
    m_Graph->m_SubBehaviors.PushBack(behavior);
    CKERROR error = behavior->SetOwner(GetOwner(), TRUE);
    if (error != CKErr::Ok) {
        m_Graph->m_SubBehaviors.Remove(behavior);
        behavior->m_Parent = 0;
        return error;
    }
    // From now on its graph's post-load fix fixes it, as it does a loaded
    // sub-behaviour (which loses the mark then): a graph saves the same
    // words whether it was built or loaded.
    behavior->m_Flags &= ~CKBEHAVIOR_POSTLOADFIX;
    SortSubBehaviors();
    return CKErr::Ok;
}

CKBehavior* CKBehavior::RemoveSubBehavior(CKBehavior* behavior)
{
    if (!m_Graph || !behavior || !m_Graph->m_SubBehaviors.Remove(behavior))
        return nullptr;
    if (behavior->m_Parent == m_ID)
        behavior->m_Parent = 0;
    return behavior;
}

CKBehaviorLink* CKBehavior::GetSubBehaviorLink(int n) const
{
    return m_Graph ? static_cast<CKBehaviorLink*>(m_Graph->m_Links.GetObject(n)) : nullptr;
}

CKERROR CKBehavior::AddSubBehaviorLink(CKBehaviorLink* link)
{
    if (!m_Graph || !link)
        return CKErr::InvalidParameter;
    return m_Graph->m_Links.AddIfNotHere(link) ? CKErr::Ok : CKErr::AlreadyPresent;
}

CKBehaviorLink* CKBehavior::RemoveSubBehaviorLink(CKBehaviorLink* link)
{
    return m_Graph && link && m_Graph->m_Links.Remove(link) ? link : nullptr;
}

CKParameterOperation* CKBehavior::GetParameterOperation(int n) const
{
    return m_Graph ? static_cast<CKParameterOperation*>(m_Graph->m_Operations.GetObject(n)) : nullptr;
}

CKERROR CKBehavior::AddParameterOperation(CKParameterOperation* operation)
{
    if (!m_Graph || !operation)
        return CKErr::InvalidParameter;
    if (!m_Graph->m_Operations.AddIfNotHere(operation))
        return CKErr::AlreadyPresent;
    operation->SetOwner(this);
    return CKErr::Ok;
}

CKParameterOperation* CKBehavior::RemoveParameterOperation(CKParameterOperation* operation)
{
    if (!m_Graph || !operation || !m_Graph->m_Operations.Remove(operation))
        return nullptr;
    if (operation->GetOwner() == this)
        operation->SetOwner(nullptr);
    return operation;
}

void CKBehavior::SetInterfaceChunk(CKStateChunk* chunk)
{
    if (chunk == m_InterfaceChunk)
        return;
    CKDeleteStateChunk(m_InterfaceChunk);
    m_InterfaceChunk = chunk;
}

void CKBehavior::FinishFileLoad()
{
    if (m_Graph) {
        for (int i = 0; i < m_Graph->m_Operations.Size(); ++i) {
            auto* operation = static_cast<CKParameterOperation*>(m_Graph->m_Operations[i]);
            if (!operation || operation->GetOwner() == this)
                continue;
            int steps = 0;
            for (CKBehavior* a = GetParent(); a && steps <= kMaxGraphDepth; a = a->GetParent(), ++steps)
                a->RemoveParameterOperation(operation);
            if (steps > 0)
                CKGetGlobals().m_LoadedFileObsolete = TRUE;
            operation->SetOwner(this);
        }
    }
    CallCallbackFunction(CKM_BEHAVIORLOAD);
}

// Class registration.

void CKBehavior::Register()
{
    CKClassSetParameterGuid(m_ClassID, CKGUID(0x286B19DB, 0x21185D4F));
    CKClassSetCreationFlags(m_ClassID, CK_GENERALOPTIONS_NODUPLICATENAMECHECK);
    // Listed objects that go first are dropped from the lists.
    for (CK_CLASSID listed : {CKCID_PARAMETERIN, CKCID_PARAMETER, CKCID_PARAMETEROPERATION, CKCID_BEHAVIORLINK,
                              CKCID_BEHAVIOR, CKCID_BEHAVIORIO})
        CKClassNeedNotificationFrom(m_ClassID, listed);

    // What behavioural objects and scenes reach of behaviours and of the
    // behaviour manager.
    CKBeObjectLinks links = CKGetBeObjectLinks();
    links.GetBehaviorFlags = [](CKObject* b) { return static_cast<CKBehavior*>(b)->GetFlags(); };
    links.GetBehaviorCompatibleClassID = [](CKObject* b) {
        return static_cast<CKBehavior*>(b)->GetCompatibleClassID();
    };
    links.GetBehaviorPriority = [](CKObject* b) { return static_cast<CKBehavior*>(b)->GetPriority(); };
    links.GetBehaviorOwner = [](CKObject* b) { return static_cast<CKBehavior*>(b)->GetOwner(); };
    links.SetBehaviorOwner = [](CKObject* b, CKBeObject* owner, CKBOOL callback) {
        return static_cast<CKBehavior*>(b)->SetOwner(owner, callback);
    };
    links.ModifyBehaviorFlags = [](CKObject* b, CKDWORD set, CKDWORD clear) {
        static_cast<CKBehavior*>(b)->ModifyFlags(set, clear);
    };
    links.CallBehaviorCallback = [](CKObject* b, CKDWORD message) {
        static_cast<CKBehavior*>(b)->CallSubBehaviorsCallbackFunction(message);
    };
    links.SortObjects = [](CKContext* context) {
        if (CKBehaviorManager* manager = context->GetBehaviorManager())
            manager->SortObjects();
    };
    links.ChangeActiveObject = [](CKContext* context, CKBeObject* object, CKBOOL activate) {
        if (CKBehaviorManager* manager = context->GetBehaviorManager()) {
            if (activate)
                manager->AddActiveObject(object);
            else
                manager->RemoveActiveObject(object);
        }
    };
    CKSetBeObjectLinks(links);
}

const char* CKBehavior::GetClassName()
{
    return "Behavior";
}

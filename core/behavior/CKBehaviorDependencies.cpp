#include "core/behavior/CKBehavior.h"
#include "core/behavior/CKBehaviorIO.h"
#include "core/behavior/CKBehaviorLink.h"
#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/object/CKBeObject.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKDependenciesContext.h"
#include "core/parameter/CKParameterIn.h"
#include "core/parameter/CKParameterLocal.h"

void CKBehavior::PreDelete()
{
    CKSceneObject::PreDelete();
    // A script leaves its owner's scripts, a sub-behaviour its parent's
    // graph; both are tried, as a file may have listed it anywhere.
    if (CKBeObject* owner = GetOwner(); owner && !owner->IsToBeDeleted())
        owner->RemoveScript(this);
    if (CKBehavior* parent = GetParent(); parent && !parent->IsToBeDeleted())
        parent->RemoveSubBehavior(this);
}

void CKBehavior::CheckPreDeletion()
{
    CKSceneObject::CheckPreDeletion();
    for (XObjectPointerArray* list : {&m_Inputs, &m_Outputs, &m_InParameters, &m_OutParameters, &m_LocalParameters})
        list->Check();
    if (m_Graph)
        for (XObjectPointerArray* list : {&m_Graph->m_Operations, &m_Graph->m_SubBehaviors, &m_Graph->m_Links,
                                          &m_Graph->m_Kept, &m_Graph->m_Scratch})
            list->Check();
}

int CKBehavior::GetMemoryOccupation()
{
    int size = CKSceneObject::GetMemoryOccupation() + 80;
    for (const XObjectPointerArray* list :
         {&m_Inputs, &m_Outputs, &m_InParameters, &m_OutParameters, &m_LocalParameters})
        if (list->Size() > 0)
            size += 8;
    if (m_Graph) {
        size += 4;
        for (const XObjectPointerArray* list : {&m_Graph->m_Operations, &m_Graph->m_SubBehaviors, &m_Graph->m_Links,
                                                &m_Graph->m_Kept, &m_Graph->m_Scratch})
            if (list->Size() > 0)
                size += 8;
        size += 4 * (m_Graph->m_Kept.Size() + m_Graph->m_Scratch.Size());
    }
    if (m_BlockData)
        size += 4;
    return size;
}

CKBOOL CKBehavior::IsObjectUsed(CKObject* object, CK_CLASSID cid)
{
    bool used = false;
    switch (cid) {
    case CKCID_PARAMETERIN: used = m_InParameters.IsHere(object) || (object && object->GetID() == m_Target); break;
    case CKCID_PARAMETEROUT: used = m_OutParameters.IsHere(object); break;
    case CKCID_PARAMETEROPERATION: used = m_Graph && m_Graph->m_Operations.IsHere(object); break;
    case CKCID_BEHAVIORLINK: used = m_Graph && m_Graph->m_Links.IsHere(object); break;
    case CKCID_BEHAVIOR: used = m_Graph && m_Graph->m_SubBehaviors.IsHere(object); break;
    case CKCID_BEHAVIORIO: used = m_Inputs.IsHere(object) || m_Outputs.IsHere(object); break;
    case CKCID_PARAMETERLOCAL: used = m_LocalParameters.IsHere(object); break;
    default: break;
    }
    return used || CKSceneObject::IsObjectUsed(object, cid);
}

CKERROR CKBehavior::PrepareDependencies(CKDependenciesContext& context, CKBOOL caller)
{
    CKDependenciesContext::Scope scope = context.EnterDependencyScope(this, caller);
    CKERROR error = CKSceneObject::PrepareDependencies(context, FALSE);
    if (error != CKErr::Ok)
        return error;
    const CKDWORD mode = context.GetOperationMode();
    if (mode == CK_DEPENDENCIES_BUILD)
        if (CKBeObject* owner = GetOwner())
            owner->PrepareDependencies(context, TRUE);
    if (mode == CK_DEPENDENCIES_DELETE) {
        if (GetOwner())
            CallCallbackFunction(CKM_BEHAVIORDETACH);
        CallCallbackFunction(CKM_BEHAVIORDELETE);
    }
    if (CKParameterIn* target = GetTargetParameter())
        target->PrepareDependencies(context, TRUE);
    m_Inputs.Prepare(context);
    m_Outputs.Prepare(context);
    if (m_Graph) {
        m_Graph->m_Links.Prepare(context);
        m_Graph->m_SubBehaviors.Prepare(context);
        m_Graph->m_Operations.Prepare(context);
    }
    m_InParameters.Prepare(context);
    m_OutParameters.Prepare(context);
    m_LocalParameters.Prepare(context);
    return CKErr::Ok;
}

CKERROR CKBehavior::RemapDependencies(CKDependenciesContext& context)
{
    CKERROR error = CKSceneObject::RemapDependencies(context);
    if (error != CKErr::Ok)
        return error;
    if (m_Owner) {
        CK_ID owner = context.RemapID(m_Owner);
        if (owner == m_Owner) {
            // The owner stays with the original.
            m_Owner = 0;
            RemoveFromAllScenes();
        } else {
            m_Owner = owner;
        }
    }
    // A copy whose parent stays behind is in no graph.
    CK_ID parent = context.RemapID(m_Parent);
    m_Parent = parent != m_Parent ? parent : 0;
    m_Target = context.RemapID(m_Target);
    for (XObjectPointerArray* list : {&m_Inputs, &m_Outputs, &m_InParameters, &m_OutParameters, &m_LocalParameters})
        list->Remap(context);
    if (m_Graph)
        for (XObjectPointerArray* list :
             {&m_Graph->m_Operations, &m_Graph->m_SubBehaviors, &m_Graph->m_Links, &m_Graph->m_Kept})
            list->Remap(context);
    for (CKObject* local : m_LocalParameters)
        if (local)
            static_cast<CKParameterLocal*>(local)->SetOwner(this);
    if (m_InterfaceChunk && m_Context && m_Context->IsInInterfaceMode())
        m_InterfaceChunk->RemapObjects(m_Context, &context);
    if (GetType() == 0) {
        CallCallbackFunction(CKM_BEHAVIORCREATE);
        if (GetOwner())
            CallCallbackFunction(CKM_BEHAVIORATTACH);
    }
    return CKErr::Ok;
}

CKERROR CKBehavior::Copy(CKObject& source, CKDependenciesContext& context)
{
    CKERROR error = CKSceneObject::Copy(source, context);
    if (error != CKErr::Ok)
        return error;
    if (!CKIsChildClassOfObject(&source, CKCID_BEHAVIOR))
        return CKErr::Ok;
    auto& from = static_cast<CKBehavior&>(source);
    m_Target = from.m_Target;
    m_Owner = from.m_Owner;
    m_Parent = from.m_Parent;
    m_CompatibleClassID = from.m_CompatibleClassID;
    m_Priority = from.m_Priority;
    m_Flags = from.m_Flags & ~CKBEHAVIOR_RUNTIMEFLAGS;

    delete m_BlockData;
    m_BlockData = from.m_BlockData ? new CKBehaviorBlockData(*from.m_BlockData) : nullptr;
    delete m_Graph;
    m_Graph = nullptr;
    if (from.m_Graph) {
        m_Graph = new CKBehaviorGraph;
        m_Graph->m_Operations = from.m_Graph->m_Operations;
        m_Graph->m_SubBehaviors = from.m_Graph->m_SubBehaviors;
        m_Graph->m_Links = from.m_Graph->m_Links;
        m_Graph->m_Kept = from.m_Graph->m_Kept;
    }
    m_Inputs = from.m_Inputs;
    m_Outputs = from.m_Outputs;
    m_InParameters = from.m_InParameters;
    m_OutParameters = from.m_OutParameters;
    m_LocalParameters = from.m_LocalParameters;
    if (from.m_InterfaceChunk)
        SetInterfaceChunk(CKCopyStateChunk(from.m_InterfaceChunk));
    return CKErr::Ok;
}

#include "core/behavior/CKBehaviorManager.h"

#include <utility>

#include "core/behavior/CKBehavior.h"
#include "core/context/CKContext.h"
#include "core/context/CKVariableManager.h"
#include "core/object/CKBeObject.h"

int CKCompareBeObjectPriority(const void* a, const void* b)
{
    const CKBeObject* first = *static_cast<CKBeObject* const*>(a);
    const CKBeObject* second = *static_cast<CKBeObject* const*>(b);
    if (!first || !second)
        return 0;
    return second->GetPriority() - first->GetPriority();
}

CKBehaviorManager::CKBehaviorManager(CKContext* context)
    : CKBaseManager(context, BEHAVIOR_MANAGER_GUID, "Behavior Manager")
{
    if (CKVariableManager* vm = context->GetVariableManager())
        vm->BindInt("BehaviorManager/MaxIteration", &m_MaxIteration, 8000, 12,
                    "This is the maximum iteration count of a behavior in the same frame.");
    m_Context->RegisterNewManager(this);
}

CKBehaviorManager::~CKBehaviorManager()
{
    if (CKVariableManager* vm = m_Context->GetVariableManager())
        vm->UnBind("BehaviorManager/MaxIteration");
}

CKERROR CKBehaviorManager::AddActiveObject(CKBeObject* object)
{
    if (!object)
        return CKErr::InvalidObject;
    m_ActiveObjects.Add(object->GetID(), 1);
    return CKErr::Ok;
}

CKERROR CKBehaviorManager::RemoveActiveObject(CKBeObject* object)
{
    if (!object)
        return CKErr::InvalidObject;
    m_ActiveObjects.Add(object->GetID(), -1);
    return CKErr::Ok;
}

int CKBehaviorManager::GetActiveObjectCount(CK_ID id) const
{
    const int* count = m_ActiveObjects.Find(id);
    return count ? *count : 0;
}

void CKBehaviorManager::SortObjects()
{
    // Exchange passes until one exchanges nothing: equal priorities keep
    // their order.
    for (bool exchanged = true; exchanged;) {
        exchanged = false;
        for (int i = 0; i + 1 < m_BeObjects.Size(); ++i)
            if (CKCompareBeObjectPriority(&m_BeObjects[i], &m_BeObjects[i + 1]) > 0) {
                std::swap(m_BeObjects[i], m_BeObjects[i + 1]);
                exchanged = true;
            }
    }
}

void CKBehaviorManager::ClearProcessed()
{
    for (CKBehavior* behavior : m_Behaviors)
        behavior->ModifyFlags(0, CKBEHAVIOR_PROCESSED);
    m_Behaviors.Clear();
}

CKERROR CKBehaviorManager::PreClearAll()
{
    m_BeObjects.Clear();
    m_ActiveObjects.Clear();
    ClearProcessed();
    return CKErr::Ok;
}

CKERROR CKBehaviorManager::PreProcess()
{
    ClearProcessed();
    return CKErr::Ok;
}

CKERROR CKBehaviorManager::OnCKPause()
{
    m_Context->CallBehaviorCallbacks(CKM_BEHAVIORPAUSE);
    return CKErr::Ok;
}

CKERROR CKBehaviorManager::OnCKPlay()
{
    m_Context->CallBehaviorCallbacks(CKM_BEHAVIORRESUME);
    return CKErr::Ok;
}

CKERROR CKBehaviorManager::OnObjectsToBeDeleted(CK_ID*, int)
{
    for (int i = m_BeObjects.Size() - 1; i >= 0; --i)
        if (m_BeObjects[i] && m_BeObjects[i]->IsToBeDeleted())
            m_BeObjects.RemoveAt(i);
    for (int i = m_Behaviors.Size() - 1; i >= 0; --i)
        if (m_Behaviors[i]->IsToBeDeleted())
            m_Behaviors.RemoveAt(i);
    return CKErr::Ok;
}

CKERROR CKBehaviorManager::OnObjectsDeleted(CK_ID*, int)
{
    for (int s = 0; s < m_ActiveObjects.GetSlotCount(); ++s) {
        CK_ID id = m_ActiveObjects.GetUsedKey(s);
        if (id && !m_Context->GetObject(id))
            m_ActiveObjects.Erase(id);
    }
    return CKErr::Ok;
}

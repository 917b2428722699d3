#include "core/behavior/CKBehaviorManager.h"

#include "core/context/CKContext.h"
#include "core/context/CKVariableManager.h"

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

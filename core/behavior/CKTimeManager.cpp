#include "core/behavior/CKTimeManager.h"

#include "core/context/CKContext.h"

CKTimeManager::CKTimeManager(CKContext* context) : CKBaseManager(context, TIME_MANAGER_GUID, "Time Manager")
{
    m_Context->RegisterNewManager(this);
}

CKTimeManager::~CKTimeManager() {}

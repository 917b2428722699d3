#include "core/parameter/CKParameterManager.h"

#include "core/context/CKContext.h"

CKParameterManager::CKParameterManager(CKContext* context)
    : CKBaseManager(context, PARAMETER_MANAGER_GUID, "Parameter Manager")
{
    m_Context->RegisterNewManager(this);
}

CKParameterManager::~CKParameterManager() {}

#include "core/behavior/CKMessageManager.h"

#include "core/context/CKContext.h"

CKMessageManager::CKMessageManager(CKContext* context) : CKBaseManager(context, MESSAGE_MANAGER_GUID, "Message Manager")
{
    m_Context->RegisterNewManager(this);
}

CKMessageManager::~CKMessageManager() {}

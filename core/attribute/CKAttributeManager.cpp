#include "core/CKAttributeManager.h"

#include "core/CKContext.h"

CKAttributeManager::CKAttributeManager(CKContext* context) : CKBaseManager(context, ATTRIBUTE_MANAGER_GUID, "Attribute Manager")
{
    m_Context->RegisterNewManager(this);
}

CKAttributeManager::~CKAttributeManager()
{
}

#include "core/attribute/CKAttributeManager.h"

#include "core/context/CKContext.h"

CKAttributeManager::CKAttributeManager(CKContext* context)
    : CKBaseManager(context, ATTRIBUTE_MANAGER_GUID, "Attribute Manager")
{
    m_Context->RegisterNewManager(this);
}

CKAttributeManager::~CKAttributeManager() {}

#include "core/context/CKBaseManager.h"

#include "core/context/CKContext.h"
#include "system/memory/QxMemoryManager.h"

CKBaseManager::CKBaseManager(CKContext* context, CKGUID guid, const char* name)
    : m_ManagerGuid(guid), m_ManagerName(QxGetMemoryManager()->DuplicateString(name ? name : "")), m_Context(context)
{
    m_Profiler.Reset();
}

CKBaseManager::~CKBaseManager()
{
    if (m_Context && !m_Context->IsInDestruction())
        m_Context->RemoveManager(this);
    QxGetMemoryManager()->Free(m_ManagerName);
}

CKERROR CKBaseManager::DestroyObject(CKObject* object, CKDWORD flags, CKDependencies* dependencies)
{
    return m_Context ? m_Context->DestroyObject(object, flags, dependencies) : CKErr::InvalidParameter;
}

#include "core/behavior/CKObjectDeclaration.h"

#include <new>

#include "core/behavior/CKBehaviorPrototype.h"
#include "core/context/CKGlobals.h"
#include "core/context/CKPluginManager.h"

CKObjectDeclaration::CKObjectDeclaration(const char* name) : m_Name(name) {}

CKObjectDeclaration::~CKObjectDeclaration()
{
    delete m_Prototype;
}

void CKObjectDeclaration::TakeContents(const CKObjectDeclaration& newer)
{
    m_Description = newer.m_Description;
    m_AuthorGuid = newer.m_AuthorGuid;
    m_AuthorName = newer.m_AuthorName;
    m_Version = newer.m_Version;
    m_Name = newer.m_Name;
    m_Category = newer.m_Category;
    m_ManagersGuid = newer.m_ManagersGuid;
}

CKObjectDeclaration* CKCreateObjectDeclaration(const char* name)
{
    return new (std::nothrow) CKObjectDeclaration(name);
}

CKBehaviorPrototype* CKCreateBehaviorPrototype(const char* name)
{
    return new (std::nothrow) CKBehaviorPrototype(name);
}

CKObjectDeclaration* CKGetObjectDeclarationFromGuid(CKGUID guid)
{
    CKObjectDeclaration** found = CKGetGlobals().m_Declarations.FindPtr(guid);
    return found ? *found : nullptr;
}

CKBehaviorPrototype* CKFindPrototypeByGuid(CKGUID guid)
{
    CKObjectDeclaration* declaration = CKGetObjectDeclarationFromGuid(guid);
    if (!declaration)
        return nullptr;
    if (declaration->GetPrototype())
        return declaration->GetPrototype();
    CKDLL_CREATEPROTOFUNCTION create = declaration->GetCreationFunction();
    if (!create)
        return nullptr;
    CKBehaviorPrototype* prototype = nullptr;
    if (create(&prototype) != CKErr::Ok || !prototype) {
        delete prototype;
        return nullptr;
    }
    declaration->SetPrototype(prototype);
    prototype->SetGuid(guid);
    prototype->SetSourceDeclaration(declaration);
    return prototype;
}

void CKRegisterObjectDeclarations(CKPluginEntry* entry, CKDeclarationListFunction list)
{
    if (!list)
        return;
    XArray<CKObjectDeclaration*> declarations;
    list(declarations);
    auto& table = CKGetGlobals().m_Declarations;
    for (CKObjectDeclaration* declaration : declarations) {
        if (!declaration)
            continue;
        if (entry)
            declaration->SetPluginIndex(entry->m_IndexInCategory);
        // Only building blocks are kept; nothing else would own the others.
        if (declaration->GetType() != CKDLL_BEHAVIORPROTOTYPE) {
            delete declaration;
            continue;
        }
        CKObjectDeclaration** present = table.FindPtr(declaration->GetGuid());
        if (!present) {
            table.Insert(declaration->GetGuid(), declaration);
            if (entry && entry->m_BehaviorsInfo)
                entry->m_BehaviorsInfo->m_BehaviorsGUID.PushBack(declaration->GetGuid());
            continue;
        }
        CKObjectDeclaration* registered = *present;
        if (XString(registered->GetName()) == declaration->GetName() &&
            registered->GetVersion() != declaration->GetVersion() &&
            declaration->GetVersion() > registered->GetVersion())
            registered->TakeContents(*declaration);
        delete declaration;
    }
}

void CKRemoveAllObjectDeclarations()
{
    auto& table = CKGetGlobals().m_Declarations;
    for (CKObjectDeclaration* declaration : table)
        delete declaration;
    table.Clear();
}

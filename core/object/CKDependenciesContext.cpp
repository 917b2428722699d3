#include "core/object/CKDependenciesContext.h"

#include "core/context/CKContext.h"
#include "core/object/CKBeObjectLinks.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKDependencies.h"
#include "core/object/CKObject.h"

void CKDependenciesContext::StartDependencies(CKDependencies* dependencies)
{
    m_DependenciesStack.PushBack(m_Dependencies);
    m_Dependencies = dependencies;
}

void CKDependenciesContext::StopDependencies()
{
    if (m_DependenciesStack.IsEmpty()) {
        m_Dependencies = nullptr;
        return;
    }
    m_Dependencies = m_DependenciesStack[m_DependenciesStack.Size() - 1];
    m_DependenciesStack.Resize(m_DependenciesStack.Size() - 1);
}

CKDWORD CKDependenciesContext::GetClassDependencies(CK_CLASSID cid) const
{
    if (m_Dependencies) {
        if (m_Dependencies->m_Flags == CK_DEPENDENCIES_NONE)
            return 0;
        if (m_Dependencies->m_Flags == CK_DEPENDENCIES_ALL)
            return 0xFFFF;
        return m_Dependencies->Get(cid);
    }
    CKDependencies* defaults = CKGetDefaultClassDependencies((int) m_Mode);
    return defaults ? defaults->Get(cid) : 0;
}

CKDependenciesContext::Scope CKDependenciesContext::EnterDependencyScope(CKObject* object, CKBOOL caller)
{
    bool dynamic = caller && object && object->IsDynamic();
    return Scope(dynamic ? this : nullptr);
}

CKBOOL CKDependenciesContext::AddDependency(CK_ID id)
{
    CKBOOL created = FALSE;
    m_MapID.FindOrInsert(id, 0, &created);
    return created;
}

void CKDependenciesContext::AddObjects(const CK_ID* ids, int count)
{
    if (!ids || !m_CKContext)
        return;
    for (int i = 0; i < count; ++i)
        if (ids[i] && m_CKContext->GetObject(ids[i]))
            m_Objects.PushBack(ids[i]);
}

CKObject* CKDependenciesContext::GetObjects(int index) const
{
    return m_Objects.GetObject(m_CKContext, index);
}

CKObject* CKDependenciesContext::Remap(const CKObject* object) const
{
    if (!object)
        return nullptr;
    CK_ID id = RemapID(object->GetID());
    return m_CKContext ? m_CKContext->GetObject(id) : nullptr;
}

void CKDependenciesContext::Clear()
{
    m_MapID.Clear();
    m_Objects.Clear();
    m_Scripts.Clear();
    m_ObjectsClassMask.Clear();
}

CKERROR CKDependenciesContext::Copy(const char* suffix)
{
    SetCopySuffix(suffix);
    m_Mode = CK_DEPENDENCIES_COPY;
    if (!m_CKContext)
        return CKErr::InvalidParameter;
    CKContext* ck = m_CKContext;

    m_Objects.Prepare(*this);

    // The objects reached, in the order they were reached.
    XObjectArray sources;
    for (auto it = m_MapID.Begin(); it != m_MapID.End(); ++it)
        sources.PushBack(it.GetKey());

    m_ObjectsClassMask.Clear();
    m_Scripts.Clear();
    const CKBeObjectLinks& links = CKGetBeObjectLinks();
    for (CK_ID id : sources) {
        CKObject* object = ck->GetObject(id);
        if (!object)
            continue;
        m_ObjectsClassMask.Set(object->GetClassID());
        if (links.GetBehaviorFlags && CKIsChildClassOfObject(object, CKCID_BEHAVIOR) &&
            IsScriptFlags(links.GetBehaviorFlags(object)))
            m_Scripts.PushBack(id);
    }

    ck->ExecuteManagersOnPreCopy(*this);

    for (CK_ID id : sources) {
        CKObject* source = ck->GetObject(id);
        if (!source)
            continue;
        CKObject* copy = ck->CreateObject(source->GetClassID(), nullptr, m_CreationMode);
        if (!copy)
            continue;
        SetRemap(id, copy->GetID());
        copy->Copy(*source, *this);
    }

    for (CK_ID id : sources) {
        CK_ID copyId = RemapID(id);
        if (copyId == id)
            continue;
        if (CKObject* copy = ck->GetObject(copyId))
            copy->RemapDependencies(*this);
    }

    if (links.AddCopiesToScenes)
        links.AddCopiesToScenes(*this, sources);

    m_Scripts.RemapIDs(*this);
    ck->ExecuteManagersOnPostCopy(*this);
    m_Objects.RemapIDs(*this);
    return CKErr::Ok;
}

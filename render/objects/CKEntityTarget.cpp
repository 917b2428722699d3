#include "render/objects/CKEntityTarget.h"

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/file/CKFile.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKDependenciesContext.h"
#include "render/objects/CK3dEntity.h"

CK3dEntity* CKEntityTarget::Get(CKContext* context) const
{
    CKObject* object = m_Target && context ? context->GetObject(m_Target) : nullptr;
    return object && CKIsChildClassOfObject(object, CKCID_3DENTITY) ? static_cast<CK3dEntity*>(object) : nullptr;
}

void CKEntityTarget::Set(CKContext* context, CK3dEntity* owner, CK3dEntity* entity)
{
    if (entity == owner)
        return;
    if (CK3dEntity* old = Get(context))
        old->SetFlags((old->GetFlags() & ~m_Flag) | CK_3DENTITYFLAG_FORMERTARGET);
    if (entity)
        entity->SetFlags((entity->GetFlags() & ~(CKDWORD) CK_3DENTITYFLAG_FORMERTARGET) | m_Flag);
    m_Target = entity ? entity->GetID() : 0;
}

void CKEntityTarget::Check(CKContext* context, CK3dEntity* owner)
{
    CK3dEntity* entity = Get(context);
    if (!entity || entity == owner) {
        m_Target = 0;
        return;
    }
    entity->SetFlags((entity->GetFlags() & ~(CKDWORD) CK_3DENTITYFLAG_FORMERTARGET) | m_Flag);
}

void CKEntityTarget::CheckPostDeletion(CKContext* context)
{
    if (m_Target && context && !context->GetObject(m_Target))
        m_Target = 0;
}

void CKEntityTarget::PreSave(CKContext* context, CKFile* file, CKDWORD flags) const
{
    if (file)
        if (CK3dEntity* entity = Get(context))
            file->SaveObject(entity, flags);
}

void CKEntityTarget::Write(CKContext* context, CKStateChunk& chunk, CKDWORD identifier) const
{
    chunk.WriteIdentifier(identifier);
    chunk.WriteObject(Get(context));
}

void CKEntityTarget::Read(CKStateChunk& chunk, CKDWORD identifier)
{
    if (chunk.SeekIdentifier(identifier))
        m_Target = chunk.ReadObjectID();
}

void CKEntityTarget::PrepareDependencies(CKContext* context, CKDependenciesContext& dependencies, CK_CLASSID cid) const
{
    if (dependencies.GetClassDependencies(cid) & 1)
        if (CK3dEntity* entity = Get(context))
            entity->PrepareDependencies(dependencies, TRUE);
}

void CKEntityTarget::Remap(CKDependenciesContext& dependencies)
{
    m_Target = dependencies.RemapID(m_Target);
}

void CKEntityTarget::AddToScene(CKContext* context, CKScene* scene, CKBOOL dependencies) const
{
    if (dependencies)
        if (CK3dEntity* entity = Get(context))
            entity->AddToScene(scene, dependencies);
}

void CKEntityTarget::RemoveFromScene(CKContext* context, CKScene* scene, CKBOOL dependencies) const
{
    if (dependencies)
        if (CK3dEntity* entity = Get(context))
            entity->RemoveFromScene(scene, dependencies);
}

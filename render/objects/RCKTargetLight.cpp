#include "render/objects/RCKTargetLight.h"

#include "core/context/CKContext.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKDependenciesContext.h"
#include "render/objects/CKClassChunk.h"

RCKTargetLight::~RCKTargetLight()
{
    // While the context clears everything the target may be gone already.
    if (m_Context && !m_Context->IsInClearAll())
        m_Target.Set(m_Context, this, nullptr);
}

void RCKTargetLight::Register()
{
    CKClassNeedNotificationFrom(m_ClassID, CKCID_3DENTITY);
    CKClassSetParameterGuid(m_ClassID, CKGUID(0x4E5F22FC, 0x194709D4));
    CKClassRegisterDefaultDependencies(m_ClassID, 1, CK_DEPENDENCIES_COPY);
}

const char* RCKTargetLight::GetDependencies(int index, int mode)
{
    return index == 0 && GetDependenciesCount(mode) > 0 ? "Target" : nullptr;
}

int RCKTargetLight::GetDependenciesCount(int mode)
{
    return mode == CK_DEPENDENCIES_COPY || mode == CK_DEPENDENCIES_DELETE || mode == CK_DEPENDENCIES_SAVE ? 1 : 0;
}

// Unlike the camera's, setting the current target again runs the same steps
// (its flags end the same).
void RCKTargetLight::SetTarget(CK3dEntity* target)
{
    m_Target.Set(m_Context, this, target);
}

void RCKTargetLight::PreSave(CKFile* file, CKDWORD flags)
{
    RCKLight::PreSave(file, flags);
    m_Target.PreSave(m_Context, file, flags);
}

CKStateChunk* RCKTargetLight::Save(CKFile* file, CKDWORD flags)
{
    return CKSaveClassChunk(this, CKTargetLight::m_ClassID, RCKLight::Save(file, flags), file, flags,
                            CK_STATESAVE_TLIGHTONLY, [&](CKStateChunk& chunk) {
                                if (flags & CK_STATESAVE_TLIGHTTARGET)
                                    m_Target.Write(m_Context, chunk, CK_STATESAVE_TLIGHTTARGET);
                            });
}

CKERROR RCKTargetLight::Load(CKStateChunk* chunk, CKFile* file)
{
    return CKLoadClassChunk(
        chunk, [&] { return RCKLight::Load(chunk, file); },
        [&](CKStateChunk& c) { m_Target.Read(c, CK_STATESAVE_TLIGHTTARGET); });
}

void RCKTargetLight::PostLoad()
{
    RCKLight::PostLoad();
    m_Target.Check(m_Context, this);
}

void RCKTargetLight::CheckPostDeletion()
{
    RCKLight::CheckPostDeletion();
    m_Target.CheckPostDeletion(m_Context);
}

CKBOOL RCKTargetLight::IsObjectUsed(CKObject* object, CK_CLASSID cid)
{
    if (object && object->GetID() == m_Target.GetID())
        return TRUE;
    return RCKLight::IsObjectUsed(object, cid);
}

CKERROR RCKTargetLight::PrepareDependencies(CKDependenciesContext& context, CKBOOL caller)
{
    CKERROR error = RCKLight::PrepareDependencies(context, caller);
    if (error != CKErr::Ok)
        return error;
    m_Target.PrepareDependencies(m_Context, context, CKTargetLight::m_ClassID);
    return CKErr::Ok;
}

CKERROR RCKTargetLight::RemapDependencies(CKDependenciesContext& context)
{
    CKERROR error = RCKLight::RemapDependencies(context);
    if (error != CKErr::Ok)
        return error;
    m_Target.Remap(context);
    return CKErr::Ok;
}

CKERROR RCKTargetLight::Copy(CKObject& source, CKDependenciesContext& context)
{
    CKERROR error = RCKLight::Copy(source, context);
    if (error == CKErr::Ok && CKIsChildClassOfObject(&source, CKCID_TARGETLIGHT))
        m_Target.SetID(static_cast<RCKTargetLight&>(source).m_Target.GetID());
    return error;
}

void RCKTargetLight::AddToScene(CKScene* scene, CKBOOL dependencies)
{
    RCKLight::AddToScene(scene, dependencies);
    m_Target.AddToScene(m_Context, scene, dependencies);
}

void RCKTargetLight::RemoveFromScene(CKScene* scene, CKBOOL dependencies)
{
    RCKLight::RemoveFromScene(scene, dependencies);
    m_Target.RemoveFromScene(m_Context, scene, dependencies);
}

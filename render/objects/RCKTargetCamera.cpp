#include "render/objects/RCKTargetCamera.h"

#include "core/context/CKContext.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKDependenciesContext.h"
#include "render/objects/CKClassChunk.h"

RCKTargetCamera::~RCKTargetCamera()
{
    // While the context clears everything the target may be gone already.
    if (m_Context && !m_Context->IsInClearAll())
        m_Target.Set(m_Context, this, nullptr);
}

void RCKTargetCamera::Register()
{
    CKClassNeedNotificationFrom(m_ClassID, CKCID_3DENTITY);
    CKClassSetParameterGuid(m_ClassID, CKGUID(0x11D87565, 0x5D0B7989));
    CKClassRegisterDefaultDependencies(m_ClassID, 1, CK_DEPENDENCIES_COPY);
}

const char* RCKTargetCamera::GetDependencies(int index, int mode)
{
    return index == 0 && GetDependenciesCount(mode) > 0 ? "Target" : nullptr;
}

int RCKTargetCamera::GetDependenciesCount(int mode)
{
    return mode == CK_DEPENDENCIES_COPY || mode == CK_DEPENDENCIES_DELETE || mode == CK_DEPENDENCIES_SAVE ? 1 : 0;
}

void RCKTargetCamera::SetTarget(CK3dEntity* target)
{
    if (target && target->GetID() == m_Target.GetID())
        return;
    m_Target.Set(m_Context, this, target);
}

void RCKTargetCamera::PreSave(CKFile* file, CKDWORD flags)
{
    RCKCamera::PreSave(file, flags);
    m_Target.PreSave(m_Context, file, flags);
}

CKStateChunk* RCKTargetCamera::Save(CKFile* file, CKDWORD flags)
{
    return CKSaveClassChunk(this, CKTargetCamera::m_ClassID, RCKCamera::Save(file, flags), file, flags,
                            CK_STATESAVE_TCAMERAONLY, [&](CKStateChunk& chunk) {
                                if (flags & CK_STATESAVE_TCAMERATARGET)
                                    m_Target.Write(m_Context, chunk, CK_STATESAVE_TCAMERATARGET);
                            });
}

CKERROR RCKTargetCamera::Load(CKStateChunk* chunk, CKFile* file)
{
    return CKLoadClassChunk(
        chunk, [&] { return RCKCamera::Load(chunk, file); },
        [&](CKStateChunk& c) { m_Target.Read(c, CK_STATESAVE_TCAMERATARGET); });
}

void RCKTargetCamera::PostLoad()
{
    RCKCamera::PostLoad();
    m_Target.Check(m_Context, this);
}

void RCKTargetCamera::CheckPostDeletion()
{
    RCKCamera::CheckPostDeletion();
    m_Target.CheckPostDeletion(m_Context);
}

CKBOOL RCKTargetCamera::IsObjectUsed(CKObject* object, CK_CLASSID cid)
{
    if (object && object->GetID() == m_Target.GetID())
        return TRUE;
    return RCKCamera::IsObjectUsed(object, cid);
}

CKERROR RCKTargetCamera::PrepareDependencies(CKDependenciesContext& context, CKBOOL caller)
{
    CKERROR error = RCKCamera::PrepareDependencies(context, caller);
    if (error != CKErr::Ok)
        return error;
    m_Target.PrepareDependencies(m_Context, context, CKTargetCamera::m_ClassID);
    return CKErr::Ok;
}

CKERROR RCKTargetCamera::RemapDependencies(CKDependenciesContext& context)
{
    CKERROR error = RCKCamera::RemapDependencies(context);
    if (error != CKErr::Ok)
        return error;
    m_Target.Remap(context);
    return CKErr::Ok;
}

CKERROR RCKTargetCamera::Copy(CKObject& source, CKDependenciesContext& context)
{
    CKERROR error = RCKCamera::Copy(source, context);
    if (error == CKErr::Ok && CKIsChildClassOfObject(&source, CKCID_TARGETCAMERA))
        m_Target.SetID(static_cast<RCKTargetCamera&>(source).m_Target.GetID());
    return error;
}

void RCKTargetCamera::AddToScene(CKScene* scene, CKBOOL dependencies)
{
    RCKCamera::AddToScene(scene, dependencies);
    m_Target.AddToScene(m_Context, scene, dependencies);
}

void RCKTargetCamera::RemoveFromScene(CKScene* scene, CKBOOL dependencies)
{
    RCKCamera::RemoveFromScene(scene, dependencies);
    m_Target.RemoveFromScene(m_Context, scene, dependencies);
}

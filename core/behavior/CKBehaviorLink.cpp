#include "core/behavior/CKBehaviorLink.h"

#include "core/behavior/CKBehavior.h"
#include "core/behavior/CKBehaviorIO.h"
#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKDependenciesContext.h"

namespace {

CKBehaviorIO* AsIO(CKObject* object)
{
    return object && CKIsChildClassOfObject(object, CKCID_BEHAVIORIO) ? static_cast<CKBehaviorIO*>(object) : nullptr;
}

} // namespace

CKBehaviorLink::CKBehaviorLink(CKContext* context, const char* name) : CKClass(context, name) {}

CKERROR CKBehaviorLink::SetInBehaviorIO(CKBehaviorIO* io)
{
    if (m_In)
        m_In->RemoveLink(this);
    m_In = io;
    if (m_In)
        m_In->AddLink(this);
    return CKErr::Ok;
}

CKERROR CKBehaviorLink::SetOutBehaviorIO(CKBehaviorIO* io)
{
    m_Out = io;
    return CKErr::Ok;
}

CKStateChunk* CKBehaviorLink::Save(CKFile* file, CKDWORD flags)
{
    CKStateChunk* base = CKObject::Save(file, flags);
    if (!file && !(flags & 0xF0))
        return base;
    CKStateChunk* chunk = CKCreateStateChunk(CKCID_BEHAVIORLINK, file);
    chunk->StartWrite();
    chunk->AddChunkAndDelete(base);
    chunk->WriteIdentifier(CK_STATESAVE_BEHAVIORLINKNEWDATA);
    chunk->WriteDword((CKDWORD) m_ActivationDelay | ((CKDWORD) m_InitialActivationDelay << 16));
    chunk->WriteObject(m_In);
    chunk->WriteObject(m_Out);
    if (GetClassID() == CKCID_BEHAVIORLINK)
        chunk->CloseChunk();
    else
        chunk->UpdateDataSize();
    return chunk;
}

CKERROR CKBehaviorLink::Load(CKStateChunk* chunk, CKFile* file)
{
    if (!chunk)
        return CKErr::InvalidParameter;
    CKObject::Load(chunk, file);
    if (m_In)
        m_In->RemoveLink(this);
    if (chunk->SeekIdentifier(CK_STATESAVE_BEHAVIORLINKNEWDATA)) {
        CKDWORD delays = chunk->ReadDword();
        m_ActivationDelay = (CKWORD) (delays & 0xFFFF);
        m_InitialActivationDelay = (CKWORD) (delays >> 16);
        m_In = AsIO(chunk->ReadObject(m_Context));
        m_Out = AsIO(chunk->ReadObject(m_Context));
        return CKErr::Ok;
    }
    if (chunk->SeekIdentifier(CK_STATESAVE_BEHAVIORLINKDELAY_OLD))
        m_ActivationDelay = (CKWORD) chunk->ReadInt();
    if (chunk->SeekIdentifier(CK_STATESAVE_BEHAVIORLINKIOS_OLD)) {
        m_In = AsIO(chunk->ReadObject(m_Context));
        m_Out = AsIO(chunk->ReadObject(m_Context));
    }
    if (chunk->SeekIdentifier(CK_STATESAVE_BEHAVIORLINKINITDELAY_OLD))
        m_InitialActivationDelay = (CKWORD) chunk->ReadInt();
    return CKErr::Ok;
}

void CKBehaviorLink::PostLoad()
{
    CKObject::PostLoad();
    if (m_In)
        m_In->AddLink(this);
}

void CKBehaviorLink::PreDelete()
{
    CKObject::PreDelete();
    if (!m_In)
        return;
    if (!m_In->IsToBeDeleted())
        m_In->RemoveLink(this);
    CKBehavior* owner = m_In->GetOwner();
    if (owner && !owner->IsToBeDeleted() && owner->HasGraph())
        owner->RemoveSubBehaviorLink(this);
}

void CKBehaviorLink::CheckPreDeletion()
{
    CKObject::CheckPreDeletion();
    if (m_In && m_In->IsToBeDeleted())
        m_In = nullptr;
    if (m_Out && m_Out->IsToBeDeleted())
        m_Out = nullptr;
}

CKBOOL CKBehaviorLink::IsObjectUsed(CKObject* object, CK_CLASSID cid)
{
    if (object && (object == m_In || object == m_Out))
        return TRUE;
    return CKObject::IsObjectUsed(object, cid);
}

CKERROR CKBehaviorLink::RemapDependencies(CKDependenciesContext& context)
{
    CKERROR error = CKObject::RemapDependencies(context);
    if (error != CKErr::Ok)
        return error;
    m_In = AsIO(context.Remap(m_In));
    m_Out = AsIO(context.Remap(m_Out));
    if (m_In)
        m_In->AddLink(this);
    return CKErr::Ok;
}

CKERROR CKBehaviorLink::Copy(CKObject& source, CKDependenciesContext& context)
{
    CKERROR error = CKObject::Copy(source, context);
    if (error != CKErr::Ok)
        return error;
    if (!CKIsChildClassOfObject(&source, CKCID_BEHAVIORLINK))
        return CKErr::Ok;
    auto& from = static_cast<CKBehaviorLink&>(source);
    m_ActivationDelay = from.m_ActivationDelay;
    m_InitialActivationDelay = from.m_InitialActivationDelay;
    m_In = from.m_In;
    m_Out = from.m_Out;
    return CKErr::Ok;
}

void CKBehaviorLink::Register()
{
    CKClassSetCreationFlags(m_ClassID, CK_GENERALOPTIONS_NODUPLICATENAMECHECK);
    CKClassNeedNotificationFrom(m_ClassID, CKCID_BEHAVIORIO);
}

const char* CKBehaviorLink::GetClassName()
{
    return "Behavior Link";
}

#include "core/behavior/CKSynchroObject.h"

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/object/CKClassRegistry.h"

CKSynchroObject::CKSynchroObject(CKContext* context, const char* name) : CKClass(context, name) {}

CKStateChunk* CKSynchroObject::Save(CKFile* file, CKDWORD flags)
{
    CKStateChunk* chunk = CKCreateStateChunk(CKCID_SYNCHRO, file);
    chunk->StartWrite();
    chunk->AddChunkAndDelete(CKObject::Save(file, flags));
    chunk->WriteIdentifier(CK_STATESAVE_SYNCHRODATA);
    chunk->WriteInt(m_MaxWaiters);
    chunk->WriteObjectIDList(&m_Arrived, m_Context);
    chunk->WriteObjectIDList(&m_Passed, m_Context);
    if (GetClassID() == CKCID_SYNCHRO)
        chunk->CloseChunk();
    else
        chunk->UpdateDataSize();
    return chunk;
}

CKERROR CKSynchroObject::Load(CKStateChunk* chunk, CKFile* file)
{
    if (!chunk)
        return CKErr::InvalidParameter;
    CKObject::Load(chunk, file);
    if (chunk->SeekIdentifier(CK_STATESAVE_SYNCHRODATA)) {
        m_MaxWaiters = chunk->ReadInt();
        chunk->ReadObjectIDList(&m_Arrived);
        m_Arrived.Check(m_Context);
        chunk->ReadObjectIDList(&m_Passed);
        m_Passed.Check(m_Context);
    }
    return CKErr::Ok;
}

void CKSynchroObject::CheckPostDeletion()
{
    CKObject::CheckPostDeletion();
    m_Arrived.Check(m_Context);
    m_Passed.Check(m_Context);
}

CKBOOL CKSynchroObject::IsObjectUsed(CKObject* object, CK_CLASSID cid)
{
    if (CKIsChildClassOf(cid, CKCID_BEOBJECT) && object &&
        (m_Arrived.ContainsObject(object) || m_Passed.ContainsObject(object)))
        return TRUE;
    return CKObject::IsObjectUsed(object, cid);
}

int CKSynchroObject::GetMemoryOccupation()
{
    return CKObject::GetMemoryOccupation() + 44 + 12 * (m_Arrived.GetCount() + m_Passed.GetCount());
}

void CKSynchroObject::Register()
{
    CKClassSetParameterGuid(m_ClassID, CKGUID(0x2314A763, 0xC2F49238));
    CKClassSetCreationFlags(m_ClassID, CK_GENERALOPTIONS_CANUSECURRENTOBJECT);
    CKClassNeedNotificationFrom(m_ClassID, CKCID_BEOBJECT);
}

const char* CKSynchroObject::GetClassName()
{
    return "Synchronization Object";
}

#include "core/behavior/CKCriticalSectionObject.h"

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/object/CKClassRegistry.h"

CKCriticalSectionObject::CKCriticalSectionObject(CKContext* context, const char* name) : CKClass(context, name) {}

CKStateChunk* CKCriticalSectionObject::Save(CKFile* file, CKDWORD flags)
{
    CKStateChunk* chunk = CKCreateStateChunk(CKCID_CRITICALSECTION, file);
    chunk->StartWrite();
    chunk->AddChunkAndDelete(CKObject::Save(file, flags));
    chunk->WriteIdentifier(CK_STATESAVE_CRITICALSECTION);
    chunk->WriteObject(m_Holder && m_Context ? m_Context->GetObject(m_Holder) : nullptr);
    if (GetClassID() == CKCID_CRITICALSECTION)
        chunk->CloseChunk();
    else
        chunk->UpdateDataSize();
    return chunk;
}

CKERROR CKCriticalSectionObject::Load(CKStateChunk* chunk, CKFile* file)
{
    if (!chunk)
        return CKErr::InvalidParameter;
    CKObject::Load(chunk, file);
    if (chunk->SeekIdentifier(CK_STATESAVE_CRITICALSECTION))
        m_Holder = chunk->ReadObjectID();
    return CKErr::Ok;
}

void CKCriticalSectionObject::CheckPostDeletion()
{
    CKObject::CheckPostDeletion();
    if (m_Holder && m_Context && !m_Context->GetObject(m_Holder))
        m_Holder = 0;
}

CKBOOL CKCriticalSectionObject::IsObjectUsed(CKObject* object, CK_CLASSID cid)
{
    if (object && m_Holder && object->GetID() == m_Holder)
        return TRUE;
    return CKObject::IsObjectUsed(object, cid);
}

void CKCriticalSectionObject::Register()
{
    CKClassSetParameterGuid(m_ClassID, CKGUID(0x9438212A, 0xC2F4312C));
    CKClassSetCreationFlags(m_ClassID, CK_GENERALOPTIONS_CANUSECURRENTOBJECT);
    CKClassNeedNotificationFrom(m_ClassID, CKCID_BEOBJECT);
}

const char* CKCriticalSectionObject::GetClassName()
{
    return "Critical Section";
}

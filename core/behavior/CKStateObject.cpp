#include "core/behavior/CKStateObject.h"

#include "core/chunk/CKStateChunk.h"
#include "core/object/CKClassRegistry.h"

CKStateObject::CKStateObject(CKContext* context, const char* name) : CKClass(context, name) {}

CKStateChunk* CKStateObject::Save(CKFile* file, CKDWORD flags)
{
    CKStateChunk* chunk = CKCreateStateChunk(CKCID_STATE, file);
    chunk->StartWrite();
    chunk->AddChunkAndDelete(CKObject::Save(file, flags));
    chunk->WriteIdentifier(CK_STATESAVE_STATEOBJECT);
    chunk->WriteDword(m_State);
    if (GetClassID() == CKCID_STATE)
        chunk->CloseChunk();
    else
        chunk->UpdateDataSize();
    return chunk;
}

CKERROR CKStateObject::Load(CKStateChunk* chunk, CKFile* file)
{
    if (!chunk)
        return CKErr::InvalidParameter;
    CKObject::Load(chunk, file);
    if (chunk->SeekIdentifier(CK_STATESAVE_STATEOBJECT))
        m_State = chunk->ReadDword();
    return CKErr::Ok;
}

void CKStateObject::Register()
{
    CKClassSetParameterGuid(m_ClassID, CKGUID(0xABE13353, 0xA2834124));
    CKClassSetCreationFlags(m_ClassID, CK_GENERALOPTIONS_CANUSECURRENTOBJECT);
}

const char* CKStateObject::GetClassName()
{
    return "State";
}

#include "core/parameter/CKParameterLocal.h"

#include <cstring>

#include "core/behavior/CKBehavior.h"
#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/object/CKBeObject.h"
#include "core/object/CKClassRegistry.h"
#include "core/parameter/CKParameterManager.h"

namespace {

// The type of a myself local whose object has no type of its own.
constexpr CKGUID kBeObjectTypeGuid(0x71D80779, 0x402F42F3);

} // namespace

CKParameterLocal::CKParameterLocal(CKContext* context, const char* name) : CKClass(context, name) {}

CKERROR CKParameterLocal::SetValue(const void* buffer, int size)
{
    return IsMyself() ? CKErr::InvalidParameter : CKParameter::SetValue(buffer, size);
}

CKERROR CKParameterLocal::CopyValue(CKParameter* source, CKBOOL updateSource)
{
    return IsMyself() ? CKErr::InvalidParameter : CKParameter::CopyValue(source, updateSource);
}

void* CKParameterLocal::GetWriteDataPtr()
{
    return IsMyself() ? nullptr : CKParameter::GetWriteDataPtr();
}

CKERROR CKParameterLocal::SetStringValue(const char* text)
{
    return IsMyself() ? CKErr::InvalidParameter : CKParameter::SetStringValue(text);
}

void CKParameterLocal::SetOwner(CKObject* owner)
{
    m_Owner = owner;
    if (IsMyself())
        SetAsMyselfParameter(TRUE);
}

void CKParameterLocal::SetAsMyselfParameter(CKBOOL on)
{
    if (!on) {
        m_ObjectFlags &= ~CK_PARAMETERLOCAL_MYSELF;
        return;
    }
    CKObject* object = m_Owner;
    if (object && object->GetClassID() == CKCID_BEHAVIOR)
        object = static_cast<CKBehavior*>(object)->GetOwner();
    CKParameterManager* pm = Manager();
    int type = object && pm ? pm->ClassIDToType(object->GetClassID()) : -1;
    if (type < 1)
        SetGUID(kBeObjectTypeGuid);
    else
        SetType(type);
    CK_ID id = object ? object->GetID() : 0;
    if (void* value = GetReadDataPtr(TRUE); value && m_Size >= 4)
        std::memcpy(value, &id, 4);
    m_ObjectFlags |= CK_PARAMETERLOCAL_MYSELF;
}

CKStateChunk* CKParameterLocal::Save(CKFile* file, CKDWORD flags)
{
    CKStateChunk* chunk = StartChunk(file, flags);
    if (IsMyself())
        chunk->WriteIdentifier(CK_STATESAVE_PARAMETERLOCAL_MYSELF);
    else
        WriteValue(chunk, flags);
    if (m_ObjectFlags & CK_PARAMETERLOCAL_SETTING)
        chunk->WriteIdentifier(CK_STATESAVE_PARAMETERLOCAL_SETTING);
    chunk->CloseChunk();
    return chunk;
}

CKERROR CKParameterLocal::Load(CKStateChunk* chunk, CKFile* file)
{
    if (!chunk)
        return CKErr::InvalidParameter;
    CKERROR result = CKParameter::Load(chunk, file);
    if (chunk->SeekIdentifier(CK_STATESAVE_PARAMETERLOCAL_MYSELF))
        SetAsMyselfParameter(TRUE);
    if (chunk->SeekIdentifier(CK_STATESAVE_PARAMETERLOCAL_SETTING))
        m_ObjectFlags |= CK_PARAMETERLOCAL_SETTING;
    return result;
}

void CKParameterLocal::PreDelete()
{
    CKParameter::PreDelete();
    if (m_Owner && !m_Owner->IsToBeDeleted() && CKIsChildClassOf(m_Owner->GetClassID(), CKCID_BEHAVIOR))
        static_cast<CKBehavior*>(m_Owner)->RemoveParameter(this);
}

void CKParameterLocal::Register()
{
    CKClassSetCreationFlags(m_ClassID, CK_GENERALOPTIONS_NODUPLICATENAMECHECK);
}

const char* CKParameterLocal::GetClassName()
{
    return "Parameter Local";
}

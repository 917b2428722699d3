#include "core/parameter/CKParameterOut.h"

#include "core/behavior/CKBehavior.h"
#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/file/CKFile.h"
#include "core/object/CKBeObject.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKDependenciesContext.h"
#include "core/object/CKObjectManager.h"
#include "core/parameter/CKParameterOperation.h"
#include "includes/XBitArray.h"

namespace {

// Outputs feeding outputs are followed this deep when a change is pushed: a
// longer chain (only a made-up file builds one) stops there rather than
// running out of stack.
constexpr int kMaxPushDepth = 256;
thread_local int t_PushDepth = 0;

bool IsOutput(CKObject* object)
{
    return object && CKIsChildClassOf(object->GetClassID(), CKCID_PARAMETEROUT);
}

} // namespace

CKParameterOut::CKParameterOut(CKContext* context, const char* name) : CKClass(context, name) {}

CKERROR CKParameterOut::GetValue(void* buffer, CKBOOL update)
{
    if (update)
        UpdateResult();
    return CKParameter::GetValue(buffer, FALSE);
}

CKERROR CKParameterOut::SetValue(const void* buffer, int size)
{
    CKERROR err = CKParameter::SetValue(buffer, size);
    if (err == CKErr::Ok)
        DataChanged();
    return err;
}

CKERROR CKParameterOut::CopyValue(CKParameter* source, CKBOOL updateSource)
{
    CKERROR err = CKParameter::CopyValue(source, updateSource);
    if (err == CKErr::Ok)
        DataChanged();
    return err;
}

void* CKParameterOut::GetReadDataPtr(CKBOOL update)
{
    if (update)
        UpdateResult();
    return CKParameter::GetReadDataPtr(FALSE);
}

int CKParameterOut::GetStringValue(char* buffer, int bufferSize, CKBOOL update)
{
    if (update && buffer)
        UpdateResult();
    return CKParameter::GetStringValue(buffer, bufferSize, FALSE);
}

CKBOOL CKParameterOut::Reaches(CKParameter* param) const
{
    // A walk over the outputs reachable from param, each visited once.
    XArray<CKParameterOut*> pending;
    XBitArray seen;
    if (param == this)
        return TRUE;
    if (IsOutput(param))
        pending.PushBack(static_cast<CKParameterOut*>(param));
    while (!pending.IsEmpty()) {
        CKParameterOut* out = pending[pending.Size() - 1];
        pending.RemoveAt(pending.Size() - 1);
        if (seen.IsSet((int) out->GetID()))
            continue;
        seen.Set((int) out->GetID());
        for (CKParameter* d : out->m_Destinations) {
            if (d == this)
                return TRUE;
            if (IsOutput(d))
                pending.PushBack(static_cast<CKParameterOut*>(d));
        }
    }
    return FALSE;
}

CKERROR CKParameterOut::AddDestination(CKParameter* param, CKBOOL checkType)
{
    if (!param)
        return CKErr::InvalidParameter;
    if (CKIsChildClassOf(param->GetClassID(), CKCID_PARAMETERLOCAL) &&
        (param->GetObjectFlags() & CK_PARAMETERLOCAL_MYSELF))
        return CKErr::IncompatibleParameters;
    if (checkType && !IsCompatibleWith(param))
        return CKErr::IncompatibleParameters;
    // A cycle would push every change round it forever.
    if (Reaches(param))
        return CKErr::InvalidParameter;
    if (m_Destinations.IsHere(param))
        return CKErr::AlreadyPresent;
    m_Destinations.PushBack(param);
    return CKErr::Ok;
}

void CKParameterOut::DataChanged()
{
    if (t_PushDepth >= kMaxPushDepth)
        return;
    ++t_PushDepth;
    // By index: a copy may change the list.
    for (int i = 0; i < m_Destinations.Size(); ++i)
        m_Destinations[i]->CopyValue(this, FALSE);
    --t_PushDepth;
}

void CKParameterOut::PreSave(CKFile* file, CKDWORD flags)
{
    CKParameter::PreSave(file, flags);
    if (file)
        for (CKParameter* d : m_Destinations)
            file->SaveObjectAsReference(d, 64);
}

CKStateChunk* CKParameterOut::Save(CKFile* file, CKDWORD flags)
{
    CKStateChunk* chunk = StartChunk(file, flags);
    WriteValue(chunk, flags);
    if (!m_Destinations.IsEmpty()) {
        chunk->WriteIdentifier(CK_STATESAVE_PARAMETEROUT_DESTINATIONS);
        chunk->WriteInt(m_Destinations.Size());
        for (CKParameter* d : m_Destinations)
            chunk->WriteObject(d);
    }
    chunk->CloseChunk();
    return chunk;
}

CKERROR CKParameterOut::Load(CKStateChunk* chunk, CKFile* file)
{
    if (!chunk)
        return CKErr::InvalidParameter;
    CKERROR result = CKParameter::Load(chunk, file);
    if (chunk->SeekIdentifier(CK_STATESAVE_PARAMETEROUT_DESTINATIONS)) {
        m_Destinations.Clear();
        int count = chunk->ReadInt();
        for (int i = 0; i < count && chunk->GetReadError() == CKErr::Ok; ++i) {
            CKObject* object = chunk->ReadObject(m_Context);
            if (object && CKIsChildClassOf(object->GetClassID(), CKCID_PARAMETER))
                AddDestination(static_cast<CKParameter*>(object), FALSE);
        }
    }
    return result;
}

void CKParameterOut::PreDelete()
{
    CKParameter::PreDelete();
    CKObject* owner = m_Owner;
    if (!owner || owner->IsToBeDeleted())
        return;
    CKObject* behavior = owner;
    if (owner->GetClassID() == CKCID_PARAMETEROPERATION) {
        auto* op = static_cast<CKParameterOperation*>(owner);
        if (op->GetOutParameter() == this)
            op->SetOutParameter(nullptr);
        behavior = op->GetOwner();
    }
    if (!behavior || !CKIsChildClassOf(behavior->GetClassID(), CKCID_BEHAVIOR))
        return;
    auto* walk = static_cast<CKBehavior*>(behavior);
    CKBehavior* script = walk->GetOwnerScript();
    if (!script || script->IsToBeDeleted())
        return;
    int bound = m_Context ? m_Context->GetObjectManager()->GetObjectsCount() : 0;
    for (int steps = 0; walk && steps <= bound; ++steps) {
        if (!walk->IsToBeDeleted())
            walk->RemoveParameter(this);
        walk = walk->GetParent();
    }
}

void CKParameterOut::CheckPreDeletion()
{
    CKParameter::CheckPreDeletion();
    for (int i = m_Destinations.Size() - 1; i >= 0; --i)
        if (m_Destinations[i]->IsToBeDeleted())
            m_Destinations.RemoveAt(i);
}

int CKParameterOut::GetMemoryOccupation()
{
    return CKParameter::GetMemoryOccupation() + 8 + (m_Destinations.IsEmpty() ? 0 : 8);
}

CKBOOL CKParameterOut::IsObjectUsed(CKObject* object, CK_CLASSID cid)
{
    if (CKIsChildClassOf(cid, CKCID_PARAMETER))
        for (CKParameter* d : m_Destinations)
            if (d == object)
                return TRUE;
    return CKParameter::IsObjectUsed(object, cid);
}

CKERROR CKParameterOut::RemapDependencies(CKDependenciesContext& context)
{
    CKParameter::RemapDependencies(context);
    for (int i = m_Destinations.Size() - 1; i >= 0; --i) {
        CKObject* image = context.Remap(m_Destinations[i]);
        if (image && CKIsChildClassOf(image->GetClassID(), CKCID_PARAMETER))
            m_Destinations[i] = static_cast<CKParameter*>(image);
        else
            m_Destinations.RemoveAt(i);
    }
    return CKErr::Ok;
}

CKERROR CKParameterOut::Copy(CKObject& source, CKDependenciesContext& context)
{
    CKERROR err = CKParameter::Copy(source, context);
    if (err != CKErr::Ok || !CKIsChildClassOf(source.GetClassID(), CKCID_PARAMETEROUT))
        return err;
    for (CKParameter* d : static_cast<CKParameterOut&>(source).m_Destinations)
        AddDestination(d, TRUE);
    return CKErr::Ok;
}

void CKParameterOut::Register()
{
    CKClassSetCreationFlags(m_ClassID, CK_GENERALOPTIONS_NODUPLICATENAMECHECK);
}

const char* CKParameterOut::GetClassName()
{
    return "Parameter Out";
}

#include "core/parameter/CKParameterOperation.h"

#include <cstring>

#include "core/behavior/CKBehavior.h"
#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKFunctions.h"
#include "core/file/CKFile.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKDependenciesContext.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterIn.h"
#include "core/parameter/CKParameterOut.h"
#include "system/runtime/QxTimeProfiler.h"

namespace {

// The one copy of each pin name, shared by every operation's pins.
char g_Pin0[] = "Pin 0";
char g_Pin1[] = "Pin 1";
char g_Pout0[] = "Pout 0";

struct OldGuid
{
    CKGUID old, current;
};

const OldGuid kOldGuids[] = {
    {CKGUID(0x0CD9471A, 0x52D93818), CKGUID(0x4BC87AEA, 0x6B5B643E)},
    {CKGUID(0x48C20DED, 0xFEC20DA3), CKGUID(0x4BC87AEA, 0x6B5B643E)},
    {CKGUID(0x48C20DEF, 0xFECD00A0), CKGUID(0x12926657, 0x6228322E)},
    {CKGUID(0x48C20DEE, 0xFEC200AD), CKGUID(0x389F72BD, 0x7AEF3482)},
    {CKGUID(0x48C20DED, 0xFEC20DA0), CKGUID(0x093D5158, 0x53EF47A0)},
    {CKGUID(0x06B94737, 0x20D32C21), CKGUID(0x25991E7E, 0x32CC55E7)},
};

// A pin without a name, or with a copy of the shared one, takes the shared one.
void NamePin(CKObject* pin, char* shared)
{
    const char* name = pin->GetName();
    if (!name || (name != shared && std::strcmp(name, shared) == 0))
        pin->SetName(shared, TRUE);
}

template <class T>
T* Checked(CKObject* object, CK_CLASSID cid)
{
    return object && CKIsChildClassOf(object->GetClassID(), cid) ? static_cast<T*>(object) : nullptr;
}

} // namespace

CKParameterOperation::CKParameterOperation(CKContext* context, const char* name) : CKClass(context, name) {}

CKGUID CKParameterOperation::ReplaceOldGuid(CKGUID guid)
{
    for (const OldGuid& g : kOldGuids)
        if (g.old == guid)
            return g.current;
    return guid;
}

CK_PARAMETEROPERATION CKParameterOperation::Update()
{
    CKParameterManager* pm = m_Context ? m_Context->GetParameterManager() : nullptr;
    if (!pm)
        return nullptr;
    // An operation no longer registered keeps the name it had.
    if (const CKOperationDesc* desc = pm->GetOperationDescription(m_OperationGuid); desc && desc->Name)
        SetName(desc->Name, TRUE);
    m_Swapped = FALSE;
    if (m_In1) {
        m_In1->SetOwner(this);
        NamePin(m_In1, g_Pin0);
    }
    if (m_In2) {
        m_In2->SetOwner(this);
        NamePin(m_In2, g_Pin1);
    }
    if (m_Out) {
        m_Out->SetOwner(this);
        m_Out->ModifyObjectFlags(CK_PARAMETEROUT_PARAMOP, 0);
        NamePin(m_Out, g_Pout0);
    }
    CKGUID out = m_Out ? m_Out->GetGUID() : CKPGUID_NONE;
    CKGUID in1 = m_In1 ? m_In1->GetGUID() : CKPGUID_NONE;
    CKGUID in2 = m_In2 ? m_In2->GetGUID() : CKPGUID_NONE;
    m_Function = pm->GetOperationFunction(m_OperationGuid, out, in1, in2);
    if (!m_Function) {
        m_Function = pm->GetOperationFunction(m_OperationGuid, out, in2, in1);
        m_Swapped = m_Function != nullptr;
    }
    return m_Function;
}

CKERROR CKParameterOperation::DoOperation()
{
    QxTimeProfiler timer;
    if (!m_Function) {
        if (m_In1 && m_Out)
            m_Out->CopyValue(m_In1->GetRealSource(), TRUE);
        return CKErr::NotInitialized;
    }
    if (m_Swapped)
        m_Function(m_Context, m_Out, m_In2, m_In1);
    else
        m_Function(m_Context, m_Out, m_In1, m_In2);
    if (m_Out)
        m_Out->DataChanged();
    if (m_Context && m_Context->IsProfilingEnabled())
        m_Context->AddProfileTime(CK_PROFILE_PARAMETEROPERATIONS, timer.Current());
    return CKErr::Ok;
}

void CKParameterOperation::PreSave(CKFile* file, CKDWORD flags)
{
    CKObject::PreSave(file, flags);
    if (!file)
        return;
    file->SaveObject(m_Out, flags);
    file->SaveObject(m_In1, flags);
    file->SaveObject(m_In2, flags);
}

CKStateChunk* CKParameterOperation::Save(CKFile* file, CKDWORD flags)
{
    CKStateChunk* base = CKObject::Save(file, flags);
    CKStateChunk* chunk = CKCreateStateChunk(CKCID_PARAMETEROPERATION, file);
    chunk->StartWrite();
    chunk->AddChunkAndDelete(base);
    if (file) {
        chunk->WriteIdentifier(CK_STATESAVE_OPERATIONNEWDATA);
        chunk->WriteGuid(m_OperationGuid);
        chunk->StartObjectIDSequence(3);
        chunk->WriteObjectSequenceItem(m_In1);
        chunk->WriteObjectSequenceItem(m_In2);
        chunk->WriteObjectSequenceItem(m_Out);
    } else {
        // A copy or an undo record: each part the flags ask for, the
        // parameters with their whole state.
        auto writeWithState = [&](CKObject* pin) {
            chunk->WriteObject(pin);
            CKStateChunk* state = pin ? CKSaveObjectState(pin, 0xFFFF) : nullptr;
            chunk->WriteSubChunk(state);
            CKDeleteStateChunk(state);
        };
        if (flags & 0x100) {
            chunk->WriteIdentifier(CK_STATESAVE_OPERATIONOP);
            chunk->WriteGuid(m_OperationGuid);
        }
        if (flags & 0x200) {
            chunk->WriteIdentifier(CK_STATESAVE_OPERATIONOWNER);
            chunk->WriteObject(m_Owner);
        }
        if (flags & 64) {
            chunk->WriteIdentifier(CK_STATESAVE_OPERATIONINPUTS);
            writeWithState(m_In1);
            writeWithState(m_In2);
        }
        if (flags & 128) {
            chunk->WriteIdentifier(CK_STATESAVE_OPERATIONOUTPUT);
            writeWithState(m_Out);
        }
    }
    chunk->CloseChunk();
    return chunk;
}

CKERROR CKParameterOperation::Load(CKStateChunk* chunk, CKFile* file)
{
    if (!chunk)
        return CKErr::InvalidParameter;
    CKObject::Load(chunk, file);
    auto readInput = [&]() { return Checked<CKParameterIn>(chunk->ReadObject(m_Context), CKCID_PARAMETERIN); };
    auto readOutput = [&]() { return Checked<CKParameterOut>(chunk->ReadObject(m_Context), CKCID_PARAMETEROUT); };
    if (file && chunk->SeekIdentifier(CK_STATESAVE_OPERATIONNEWDATA)) {
        m_OperationGuid = ReplaceOldGuid(chunk->ReadGuid());
        chunk->ReadInt(); // the sequence count
        if (chunk->GetDataVersion() < 5)
            chunk->ReadObjectID();
        m_In1 = readInput();
        m_In2 = readInput();
        m_Out = readOutput();
        return CKErr::Ok;
    }
    // Older files, and copies: a section per part. Without a file each
    // parameter is followed by its state, loaded into it.
    auto withState = [&](CKObject* pin) {
        if (file)
            return;
        CKStateChunk* state = chunk->ReadSubChunk();
        if (pin && state)
            pin->Load(state, nullptr);
        CKDeleteStateChunk(state);
    };
    if (chunk->SeekIdentifier(CK_STATESAVE_OPERATIONOP))
        m_OperationGuid = ReplaceOldGuid(chunk->ReadGuid());
    if (chunk->SeekIdentifier(CK_STATESAVE_OPERATIONOWNER))
        m_Owner = chunk->ReadObject(m_Context);
    if (chunk->SeekIdentifier(CK_STATESAVE_OPERATIONOUTPUT)) {
        m_Out = readOutput();
        withState(m_Out);
    }
    if (chunk->SeekIdentifier(CK_STATESAVE_OPERATIONINPUTS)) {
        m_In1 = readInput();
        withState(m_In1);
        m_In2 = readInput();
        withState(m_In2);
    }
    if (!file)
        Update();
    return CKErr::Ok;
}

void CKParameterOperation::PreDelete()
{
    CKObject::PreDelete();
    if (m_Owner && !m_Owner->IsToBeDeleted() && CKIsChildClassOf(m_Owner->GetClassID(), CKCID_BEHAVIOR))
        static_cast<CKBehavior*>(m_Owner)->RemoveParameterOperation(this);
}

void CKParameterOperation::CheckPreDeletion()
{
    CKObject::CheckPreDeletion();
    if (m_In1 && m_In1->IsToBeDeleted())
        m_In1 = nullptr;
    if (m_In2 && m_In2->IsToBeDeleted())
        m_In2 = nullptr;
    if (m_Out && m_Out->IsToBeDeleted())
        m_Out = nullptr;
    if (m_Owner && m_Owner->IsToBeDeleted())
        m_Owner = nullptr;
}

int CKParameterOperation::GetMemoryOccupation()
{
    return CKObject::GetMemoryOccupation() + 32;
}

CKBOOL CKParameterOperation::IsObjectUsed(CKObject* object, CK_CLASSID cid)
{
    if (object && (object == m_In1 || object == m_In2 || object == m_Out))
        return TRUE;
    return CKObject::IsObjectUsed(object, cid);
}

CKERROR CKParameterOperation::PrepareDependencies(CKDependenciesContext& context, CKBOOL caller)
{
    CKERROR err = CKObject::PrepareDependencies(context, caller);
    if (err != CKErr::Ok)
        return err;
    for (CKObject* pin : {static_cast<CKObject*>(m_In1), static_cast<CKObject*>(m_In2), static_cast<CKObject*>(m_Out)})
        if (pin)
            pin->PrepareDependencies(context, TRUE);
    return CKErr::Ok;
}

CKERROR CKParameterOperation::RemapDependencies(CKDependenciesContext& context)
{
    CKObject::RemapDependencies(context);
    m_In1 = Checked<CKParameterIn>(context.Remap(m_In1), CKCID_PARAMETERIN);
    m_In2 = Checked<CKParameterIn>(context.Remap(m_In2), CKCID_PARAMETERIN);
    m_Out = Checked<CKParameterOut>(context.Remap(m_Out), CKCID_PARAMETEROUT);
    m_Owner = context.Remap(m_Owner);
    Update();
    return CKErr::Ok;
}

CKERROR CKParameterOperation::Copy(CKObject& source, CKDependenciesContext& context)
{
    CKERROR err = CKObject::Copy(source, context);
    if (err != CKErr::Ok || !CKIsChildClassOf(source.GetClassID(), CKCID_PARAMETEROPERATION))
        return err;
    auto& from = static_cast<CKParameterOperation&>(source);
    m_In1 = from.m_In1;
    m_In2 = from.m_In2;
    m_Out = from.m_Out;
    m_Owner = from.m_Owner;
    m_OperationGuid = from.m_OperationGuid;
    m_Function = from.m_Function;
    m_Swapped = from.m_Swapped;
    return CKErr::Ok;
}

void CKParameterOperation::Register()
{
    CKClassSetCreationFlags(m_ClassID, CK_GENERALOPTIONS_NODUPLICATENAMECHECK);
    // Pins and owners are forgotten when they go first.
    CKClassNeedNotificationFrom(m_ClassID, CKCID_PARAMETERIN);
    CKClassNeedNotificationFrom(m_ClassID, CKCID_PARAMETEROUT);
    CKClassNeedNotificationFrom(m_ClassID, CKCID_BEHAVIOR);
}

const char* CKParameterOperation::GetClassName()
{
    return "Parameter Operation";
}

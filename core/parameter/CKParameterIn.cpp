#include "core/parameter/CKParameterIn.h"

#include "core/behavior/CKBehavior.h"
#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/file/CKFile.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKDependenciesContext.h"
#include "core/object/CKObjectManager.h"
#include "core/parameter/CKParameter.h"
#include "core/parameter/CKParameterManager.h"
#include "core/parameter/CKParameterOperation.h"

namespace {

// Loading keeps these flags; copies take CK_PARAMETER_FLAGSMASK from their source.
constexpr CKDWORD kLoadKeptFlags = 0xF03FFFFF;

bool IsInput(const CKObject* object)
{
    return object && CKIsChildClassOf(const_cast<CKObject*>(object)->GetClassID(), CKCID_PARAMETERIN);
}

bool IsParameter(const CKObject* object)
{
    return object && CKIsChildClassOf(const_cast<CKObject*>(object)->GetClassID(), CKCID_PARAMETER);
}

} // namespace

CKParameterIn::CKParameterIn(CKContext* context, const char* name) : CKClass(context, name) {}

int CKParameterIn::WalkBound() const
{
    return m_Context && m_Context->GetObjectManager() ? m_Context->GetObjectManager()->GetObjectsCount() : 1;
}

CKParameter* CKParameterIn::GetRealSource()
{
    CKParameterIn* in = this;
    const int bound = WalkBound();
    for (int steps = 0; in->IsShared(); ++steps) {
        if (steps > bound || !IsInput(in->m_Source))
            return nullptr;
        in = static_cast<CKParameterIn*>(in->m_Source);
    }
    return IsParameter(in->m_Source) ? static_cast<CKParameter*>(in->m_Source) : nullptr;
}

CKParameter* CKParameterIn::GetDirectSource()
{
    return !IsShared() && IsParameter(m_Source) ? static_cast<CKParameter*>(m_Source) : nullptr;
}

CKParameterIn* CKParameterIn::GetSharedSource()
{
    return IsShared() && IsInput(m_Source) ? static_cast<CKParameterIn*>(m_Source) : nullptr;
}

CKERROR CKParameterIn::SetDirectSource(CKParameter* param)
{
    m_Source = param;
    m_ObjectFlags &= ~CK_PARAMETERIN_SHARED;
    return CKErr::Ok;
}

CKERROR CKParameterIn::ShareSourceWith(CKParameterIn* input)
{
    if (input == this)
        return CKErr::InvalidParameter;
    m_Source = input;
    m_ObjectFlags |= CK_PARAMETERIN_SHARED;
    return CKErr::Ok;
}

CKERROR CKParameterIn::GetValue(void* buffer)
{
    CKParameter* source = GetRealSource();
    return source ? source->GetValue(buffer, TRUE) : CKErr::NotInitialized;
}

void* CKParameterIn::GetReadDataPtr()
{
    CKParameter* source = GetRealSource();
    return source ? source->GetReadDataPtr(TRUE) : nullptr;
}

void CKParameterIn::SetTypeDesc(CKParameterTypeDesc* desc, const char* newName)
{
    m_ParamType = desc;
    if (newName)
        SetName(newName);
}

void CKParameterIn::SetType(int type, CKBOOL propagate, const char* newName)
{
    CKParameterManager* pm = m_Context ? m_Context->GetParameterManager() : nullptr;
    CKParameterTypeDesc* desc = pm ? pm->GetParameterTypeDescriptionByIndex(type) : nullptr;
    CKParameterIn* in = this;
    const int bound = WalkBound();
    for (int steps = 0; steps <= bound; ++steps) {
        if (in->GetType() == type)
            return;
        in->SetTypeDesc(desc, newName);
        CKObject* owner = in->m_Owner;
        if (!propagate || !owner || !CKIsChildClassOf(owner->GetClassID(), CKCID_BEHAVIOR))
            return;
        CKObject* parent = static_cast<CKBehavior*>(owner)->GetParent();
        if (!in->IsShared()) {
            CKObject* source = in->m_Source;
            if (parent && source && CKIsChildClassOf(source->GetClassID(), CKCID_PARAMETERLOCAL) &&
                static_cast<CKParameter*>(source)->GetOwner() == parent) {
                static_cast<CKParameter*>(source)->SetType(type);
                if (newName)
                    source->SetName(newName);
            }
            return;
        }
        CKObject* shared = in->m_Source;
        if (!parent || !IsInput(shared) || static_cast<CKParameterIn*>(shared)->m_Owner != parent)
            return;
        in = static_cast<CKParameterIn*>(shared);
    }
}

void CKParameterIn::SetGUID(CKGUID guid, CKBOOL propagate, const char* newName)
{
    CKParameterManager* pm = m_Context ? m_Context->GetParameterManager() : nullptr;
    SetType(pm ? pm->ParameterGuidToType(guid) : -1, propagate, newName);
}

void CKParameterIn::PreSave(CKFile* file, CKDWORD flags)
{
    CKObject::PreSave(file, flags);
    if (file)
        file->SaveObjectAsReference(GetRealSource(), 64);
}

CKStateChunk* CKParameterIn::Save(CKFile* file, CKDWORD flags)
{
    CKStateChunk* base = CKObject::Save(file, flags);
    CKStateChunk* chunk = CKCreateStateChunk(CKCID_PARAMETERIN, file);
    chunk->StartWrite();
    chunk->AddChunkAndDelete(base);
    chunk->WriteIdentifier(IsShared() ? CK_STATESAVE_PARAMETERIN_SHARED : CK_STATESAVE_PARAMETERIN_SOURCE);
    chunk->WriteGuid(GetGUID());
    chunk->WriteObject(m_Source);
    if (m_ObjectFlags & CK_PARAMETERIN_DISABLED)
        chunk->WriteIdentifier(CK_STATESAVE_PARAMETERIN_DISABLED);
    chunk->CloseChunk();
    return chunk;
}

CKERROR CKParameterIn::Load(CKStateChunk* chunk, CKFile* file)
{
    if (!chunk)
        return CKErr::InvalidParameter;
    CKObject::Load(chunk, file);
    m_ObjectFlags &= kLoadKeptFlags;
    CKParameterManager* pm = m_Context ? m_Context->GetParameterManager() : nullptr;
    auto readType = [&]() {
        CKGUID guid = CKReplaceOldParameterGuid(chunk->ReadGuid());
        m_ParamType = pm ? pm->GetParameterTypeDescription(guid) : nullptr;
    };
    // A reference is taken only for an object of the class it must have.
    auto takeShared = [&](CKObject* input) {
        if (IsInput(input) && input != this) {
            m_Source = input;
            m_ObjectFlags |= CK_PARAMETERIN_SHARED;
            return true;
        }
        return false;
    };
    auto takeSource = [&](CKObject* param) { m_Source = IsParameter(param) ? param : nullptr; };

    if (chunk->GetDataVersion() >= 1) {
        if (chunk->SeekIdentifier(CK_STATESAVE_PARAMETERIN_SHARED)) {
            readType();
            if (chunk->GetDataVersion() < 5)
                chunk->ReadObjectID();
            if (!takeShared(chunk->ReadObject(m_Context)))
                m_Source = nullptr;
        } else if (chunk->SeekIdentifier(CK_STATESAVE_PARAMETERIN_SOURCE)) {
            readType();
            if (chunk->GetDataVersion() < 5)
                chunk->ReadObjectID();
            takeSource(chunk->ReadObject(m_Context));
        } else if (chunk->SeekIdentifier(CK_STATESAVE_PARAMETERIN_OLD)) {
            readType();
            m_Owner = chunk->ReadObject(m_Context);
            CKObject* shared = chunk->ReadObject(m_Context);
            CKObject* source = chunk->ReadObject(m_Context);
            if (!takeShared(shared))
                takeSource(source);
        }
        if (chunk->SeekIdentifier(CK_STATESAVE_PARAMETERIN_DISABLED))
            m_ObjectFlags |= CK_PARAMETERIN_DISABLED;
    } else {
        if (chunk->SeekIdentifier(CK_STATESAVE_PARAMETERIN_OLD))
            readType();
        if (chunk->SeekIdentifier(CK_STATESAVE_PARAMETERIN_OWNER_OLD))
            m_Owner = chunk->ReadObject(m_Context);
        bool shared =
            chunk->SeekIdentifier(CK_STATESAVE_PARAMETERIN_SHARED_OLD) && takeShared(chunk->ReadObject(m_Context));
        if (!shared && chunk->SeekIdentifier(CK_STATESAVE_PARAMETERIN_SOURCE_OLD))
            takeSource(chunk->ReadObject(m_Context));
    }
    return CKErr::Ok;
}

void CKParameterIn::PreDelete()
{
    CKObject::PreDelete();
    CKObject* owner = m_Owner;
    if (!owner || owner->IsToBeDeleted())
        return;
    if (owner->GetClassID() == CKCID_PARAMETEROPERATION) {
        auto* op = static_cast<CKParameterOperation*>(owner);
        if (op->GetInParameter1() == this)
            op->SetInParameter1(nullptr);
        if (op->GetInParameter2() == this)
            op->SetInParameter2(nullptr);
        return;
    }
    if (!CKIsChildClassOf(owner->GetClassID(), CKCID_BEHAVIOR))
        return;
    auto* behavior = static_cast<CKBehavior*>(owner);
    const int bound = WalkBound();
    for (int steps = 0; behavior && steps <= bound; ++steps) {
        behavior->RemoveParameter(this);
        behavior = behavior->GetParent();
    }
}

void CKParameterIn::CheckPreDeletion()
{
    CKObject::CheckPreDeletion();
    if (m_Source && m_Source->IsToBeDeleted())
        m_Source = nullptr;
    if (m_Owner && m_Owner->IsToBeDeleted())
        m_Owner = nullptr;
}

int CKParameterIn::GetMemoryOccupation()
{
    return CKObject::GetMemoryOccupation() + 12;
}

CKBOOL CKParameterIn::IsObjectUsed(CKObject* object, CK_CLASSID cid)
{
    if (object && object == m_Source)
        return TRUE;
    return CKObject::IsObjectUsed(object, cid);
}

CKERROR CKParameterIn::RemapDependencies(CKDependenciesContext& context)
{
    CKObject::RemapDependencies(context);
    m_Owner = context.Remap(m_Owner);
    CKObject* source = context.Remap(m_Source);
    m_Source = (IsShared() ? IsInput(source) : IsParameter(source)) ? source : nullptr;
    return CKErr::Ok;
}

CKERROR CKParameterIn::Copy(CKObject& source, CKDependenciesContext& context)
{
    CKERROR err = CKObject::Copy(source, context);
    if (err != CKErr::Ok || !IsInput(&source))
        return err;
    CKParameterIn& from = static_cast<CKParameterIn&>(source);
    m_ObjectFlags = (m_ObjectFlags & ~CK_PARAMETER_FLAGSMASK) | (from.m_ObjectFlags & CK_PARAMETER_FLAGSMASK);
    m_Owner = from.m_Owner;
    m_Source = from.m_Source;
    m_ParamType = from.m_ParamType;
    return CKErr::Ok;
}

void CKParameterIn::Register()
{
    CKClassSetCreationFlags(m_ClassID, CK_GENERALOPTIONS_NODUPLICATENAMECHECK);
    CKClassNeedNotificationFrom(m_ClassID, m_ClassID);
    CKClassNeedNotificationFrom(m_ClassID, CKCID_PARAMETER);
    // Owners (operations and behaviours) are forgotten when they go first.
    CKClassNeedNotificationFrom(m_ClassID, CKCID_PARAMETEROPERATION);
    CKClassNeedNotificationFrom(m_ClassID, CKCID_BEHAVIOR);
}

const char* CKParameterIn::GetClassName()
{
    return "Parameter In";
}

#include "core/parameter/CKParameterManager.h"

#include <algorithm>
#include <cstring>

#include "core/context/CKContext.h"
#include "core/context/CKFunctions.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "core/context/CKVariableManager.h"
#include "core/object/CKClassRegistry.h"
#include "core/parameter/CKBuiltInParameterTypes.h"
#include "core/parameter/CKMemberText.h"
#include "core/parameter/CKParameter.h"
#include "core/parameter/CKParameterCallbacks.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterIn.h"
#include "includes/XClassArray.h"

namespace {

constexpr const char* kDuplicatePolicyVariable = "File Options/On Load Duplicate User Flags & Enums";

template <class Record>
void FreeRecords(XArray<Record>& table)
{
    for (Record& r : table)
        CKFreeMembers(r.NbData, r.Vals, r.Desc);
    table.Free();
}

template <class Record>
Record MakeRecord(const CKMemberList& members)
{
    Record r;
    r.NbData = members.Count;
    r.Vals = members.Values;
    r.Desc = members.Names;
    return r;
}

} // namespace

CKParameterManager::CKParameterManager(CKContext* context)
    : CKBaseManager(context, PARAMETER_MANAGER_GUID, "Parameter Manager"), m_ParameterGuids(16), m_OperationGuids(16)
{
    m_Context->RegisterNewManager(this);
    CKRegisterBuiltInParameterTypes(this);
    if (CKVariableManager* vm = m_Context->GetVariableManager())
        vm->BindIntWithRepresentation(
            kDuplicatePolicyVariable, &m_DuplicatePolicy, 0, 0, "enum:0=Ignore;1=Replace",
            "When a file with User Flags or Enums is loading, duplicates can be ignored or replaced.");
}

CKParameterManager::~CKParameterManager()
{
    if (CKVariableManager* vm = m_Context->GetVariableManager())
        vm->UnBind(kDuplicatePolicyVariable);
    RemoveAllOperations();
    RemoveAllParameterTypes();
}

void CKParameterManager::RemoveAllParameterTypes()
{
    m_ParameterGuids.Clear();
    FreeRecords(m_Enums);
    FreeRecords(m_Flags);
    for (CKStructDesc& s : m_Structs) {
        if (s.Desc)
            for (int i = 0; i < s.NbData; ++i)
                CKFreeString(s.Desc[i]);
        delete[] s.Desc;
        delete[] s.Guids;
    }
    m_Structs.Free();
    for (CKParameterTypeDesc* desc : m_ParameterTypes)
        delete desc;
    m_ParameterTypes.Free();
}

// Registration.

CKBOOL CKParameterManager::WouldCloseCycle(CKGUID guid, CKGUID parent) const
{
    // The registered types form no cycle, so a walk up from the parent either
    // ends or comes back to the new type within one step per type.
    for (int steps = 0; parent.IsValid() && steps <= m_ParameterTypes.Size(); ++steps) {
        if (parent == guid)
            return TRUE;
        CKParameterTypeDesc* desc = GetParameterTypeDescription(parent);
        if (!desc)
            return FALSE;
        parent = desc->ParentGuid;
    }
    return FALSE;
}

CKPluginEntry* CKParameterManager::DeclaringPlugin() const
{
    if (CKPluginEntry* entry = CKPluginManager::GetEntryBeingInitialized())
        return entry;
    CKBaseManager* running = m_Context->GetCurrentManager();
    CKPluginManager* plugins = CKGetPluginManager();
    if (running && running != this && plugins)
        return plugins->FindComponent(running->GetGuid(), CKPLUGIN_MANAGER_DLL);
    return nullptr;
}

CKERROR CKParameterManager::RegisterParameterType(CKParameterTypeDesc* desc)
{
    if (!desc || !desc->Guid.IsValid())
        return CKErr::InvalidParameter;
    if (m_ParameterGuids.IsHere(desc->Guid) || WouldCloseCycle(desc->Guid, desc->ParentGuid))
        return CKErr::InvalidParameterType;
    m_DerivationMasksUpToDate = FALSE;

    int index = m_ParameterTypes.GetPosition(nullptr);
    if (index < 0) {
        index = m_ParameterTypes.Size();
        m_ParameterTypes.PushBack(nullptr);
    }
    desc->Index = index;

    CKParameterTypeDesc* own = new CKParameterTypeDesc(*desc);
    own->Registered = TRUE;
    own->DeclaringPlugin = DeclaringPlugin();
    if (!own->Copy) {
        if (own->SaveLoad)
            own->Copy = CKCopyValueBySaveLoad;
        else if (own->DefaultSize == 4 && !(own->Flags & CKPARAMETERTYPE_VARIABLESIZE))
            own->Copy = CKCopy4ByteValue;
        else
            own->Copy = CKCopyGenericValue;
    }
    m_ParameterTypes[index] = own;
    m_ParameterGuids.Insert(own->Guid, index);
    m_ParameterTypeEnumUpToDate = FALSE;
    return CKErr::Ok;
}

CKERROR CKParameterManager::UnRegisterParameterType(CKGUID guid)
{
    m_DerivationMasksUpToDate = FALSE;
    int first = ParameterGuidToType(guid);
    if (first < 0)
        return CKErr::InvalidParameter;

    // Derived types go with their parent; a work list instead of recursion
    // keeps long chains off the stack.
    XArray<CKGUID> pending;
    pending.PushBack(guid);
    while (pending.Size() > 0) {
        CKGUID removed = pending[pending.Size() - 1];
        pending.RemoveAt(pending.Size() - 1);
        int index = ParameterGuidToType(removed);
        if (index < 0)
            continue;
        CKParameterTypeDesc* desc = m_ParameterTypes[index];
        // The parameters let go of their values while the type still stands,
        // so that a structure's members are destroyed with it.
        if (ForgetType(desc))
            m_Context->OutputToConsole("Warning : Some parameters are not valid any more.", TRUE);
        m_ParameterTypes[index] = nullptr;
        m_ParameterGuids.Remove(removed);
        for (CKOperationDesc& op : m_OperationTree)
            RemoveTypeFromOperationTree(op.Count, op.Nodes, removed);
        delete desc;

        for (CKParameterTypeDesc* other : m_ParameterTypes)
            if (other && other->ParentGuid == removed)
                pending.PushBack(other->Guid);
    }
    m_ParameterTypeEnumUpToDate = FALSE;
    return CKErr::Ok;
}

CKERROR CKParameterManager::RegisterNewMembers(CKGUID guid, const char* name, const char* text, CKBOOL flags)
{
    if (!name || !text)
        return CKErr::InvalidParameter;
    if (ParameterGuidToType(guid) >= 0)
        return CKErr::InvalidGUID;
    CKParameterTypeDesc desc;
    desc.Guid = guid;
    desc.Name = name;
    desc.ParentGuid = CKPGUID_INT;
    desc.DefaultSize = 4;
    desc.Registered = TRUE;
    desc.StringConvert = flags ? CKFlagsText : CKEnumText;
    desc.Copy = CKCopy4ByteValue;
    desc.Flags = flags ? CKPARAMETERTYPE_FLAGS : CKPARAMETERTYPE_ENUMS;
    desc.TableIndex = flags ? m_Flags.Size() : m_Enums.Size();
    CKERROR err = RegisterParameterType(&desc);
    if (err != CKErr::Ok)
        return err;
    CKMemberList members = CKParseMembers(text, flags);
    if (flags)
        m_Flags.PushBack(MakeRecord<CKFlagsDesc>(members));
    else
        m_Enums.PushBack(MakeRecord<CKEnumDesc>(members));
    return CKErr::Ok;
}

CKERROR CKParameterManager::RegisterNewEnum(CKGUID guid, const char* name, const char* text)
{
    return RegisterNewMembers(guid, name, text, FALSE);
}

CKERROR CKParameterManager::RegisterNewFlags(CKGUID guid, const char* name, const char* text)
{
    return RegisterNewMembers(guid, name, text, TRUE);
}

CKERROR CKParameterManager::ChangeMembers(CKGUID guid, const char* text, CKBOOL flags)
{
    if ((flags ? m_Flags.Size() : m_Enums.Size()) == 0 || !text)
        return CKErr::InvalidParameter;
    int type = ParameterGuidToType(guid);
    if (type < 1 || !m_ParameterTypes[type])
        return CKErr::InvalidGUID;
    // Only a type of the matching kind: a declaration must never rewrite the
    // record that another kind's table index happens to point at.
    CKMemberList members = CKParseMembers(text, flags);
    if (flags) {
        CKFlagsDesc* record = GetFlagsDescByType(type);
        if (record) {
            CKFreeMembers(record->NbData, record->Vals, record->Desc);
            *record = MakeRecord<CKFlagsDesc>(members);
            return CKErr::Ok;
        }
    } else {
        CKEnumDesc* record = GetEnumDescByType(type);
        if (record) {
            CKFreeMembers(record->NbData, record->Vals, record->Desc);
            *record = MakeRecord<CKEnumDesc>(members);
            return CKErr::Ok;
        }
    }
    CKFreeMembers(members.Count, members.Values, members.Names);
    return CKErr::InvalidGUID;
}

CKERROR CKParameterManager::ChangeEnumDeclaration(CKGUID guid, const char* text)
{
    return ChangeMembers(guid, text, FALSE);
}

CKERROR CKParameterManager::ChangeFlagsDeclaration(CKGUID guid, const char* text)
{
    return ChangeMembers(guid, text, TRUE);
}

CKERROR CKParameterManager::RegisterStructure(CKGUID guid, const char* name, const char* text, const CKGUID* members,
                                              int memberCount)
{
    if (ParameterGuidToType(guid) >= 0)
        return CKErr::InvalidGUID;
    int count = 1;
    for (const char* c = text; *c; ++c)
        if (*c == ',')
            ++count;
    CKParameterTypeDesc desc;
    desc.Guid = guid;
    desc.Name = name;
    desc.Registered = TRUE;
    desc.DefaultSize = 4 * count;
    desc.CreateDefault = CKCreateStructValue;
    desc.Destroy = CKDestroyStructValue;
    desc.SaveLoad = CKSaveLoadStructValue;
    desc.Copy = CKCopyStructValue;
    desc.StringConvert = CKStructText;
    desc.Flags = CKPARAMETERTYPE_STRUCT;
    desc.TableIndex = m_Structs.Size();
    CKERROR err = RegisterParameterType(&desc);
    if (err != CKErr::Ok)
        return err;

    CKStructDesc record;
    record.NbData = count;
    record.Guids = new CKGUID[count];
    record.Desc = new char*[count];
    const char* start = text;
    for (int i = 0; i < count; ++i) {
        const char* end = std::strchr(start, ',');
        if (!end)
            end = start + std::strlen(start);
        record.Desc[i] = CKStrndup(start, (int) (end - start));
        // A member without a type in the arguments gets none rather than
        // whatever lies past them.
        record.Guids[i] = i < memberCount ? members[i] : CKGUID();
        start = *end ? end + 1 : end;
    }
    m_Structs.PushBack(record);
    return CKErr::Ok;
}

CKERROR CKParameterManager::RegisterNewStructure(CKGUID guid, const char* name, const char* text,
                                                 const XArray<CKGUID>& members)
{
    if (!name || !text || !*text)
        return CKErr::InvalidParameter;
    return RegisterStructure(guid, name, text, members.Begin(), members.Size());
}

CKERROR CKParameterManager::RegisterNewStructure(CKGUID guid, const char* name, const char* text,
                                                 std::initializer_list<CKGUID> members)
{
    if (!name || !text)
        return CKErr::InvalidParameter;
    return RegisterStructure(guid, name, text, members.begin(), (int) members.size());
}

// Lookups.

CKParameterTypeDesc* CKParameterManager::GetParameterTypeDescriptionByIndex(int type) const
{
    return type >= 0 && type < m_ParameterTypes.Size() ? m_ParameterTypes[type] : nullptr;
}

CKParameterTypeDesc* CKParameterManager::GetParameterTypeDescription(CKGUID guid) const
{
    return GetParameterTypeDescriptionByIndex(ParameterGuidToType(guid));
}

int CKParameterManager::ParameterGuidToType(CKGUID guid) const
{
    const int* index = m_ParameterGuids.FindPtr(guid);
    return index ? *index : -1;
}

int CKParameterManager::ParameterNameToType(const char* name) const
{
    if (!name)
        return -1;
    for (int i = 0; i < m_ParameterTypes.Size(); ++i)
        if (m_ParameterTypes[i] && std::strcmp(m_ParameterTypes[i]->Name.CStr(), name) == 0)
            return i;
    return -1;
}

CKGUID CKParameterManager::ParameterNameToGuid(const char* name) const
{
    return TypeToGuid(ParameterNameToType(name));
}

CKGUID CKParameterManager::TypeToGuid(int type) const
{
    CKParameterTypeDesc* desc = GetParameterTypeDescriptionByIndex(type);
    return desc ? desc->Guid : CKGUID();
}

const char* CKParameterManager::TypeToName(int type) const
{
    CKParameterTypeDesc* desc = GetParameterTypeDescriptionByIndex(type);
    return desc ? desc->Name.CStr() : nullptr;
}

CK_CLASSID CKParameterManager::TypeToClassID(int type) const
{
    CKParameterTypeDesc* desc = GetParameterTypeDescriptionByIndex(type);
    return desc ? desc->ClassId : 0;
}

CK_CLASSID CKParameterManager::GuidToClassID(CKGUID guid) const
{
    return TypeToClassID(ParameterGuidToType(guid));
}

int CKParameterManager::ClassIDToType(CK_CLASSID cid) const
{
    return ParameterGuidToType(CKGetClassTypeGuid(cid));
}

CKBOOL CKParameterManager::GetParentGuid(CKGUID guid, CKGUID& parent) const
{
    CKParameterTypeDesc* desc = GetParameterTypeDescription(guid);
    if (!desc)
        return FALSE;
    parent = desc->ParentGuid;
    return parent.IsValid();
}

CKEnumDesc* CKParameterManager::GetEnumDescByType(int type) const
{
    CKParameterTypeDesc* desc = GetParameterTypeDescriptionByIndex(type);
    if (!desc || !(desc->Flags & CKPARAMETERTYPE_ENUMS) || desc->TableIndex < 0 || desc->TableIndex >= m_Enums.Size())
        return nullptr;
    return const_cast<CKEnumDesc*>(&m_Enums[desc->TableIndex]);
}

CKFlagsDesc* CKParameterManager::GetFlagsDescByType(int type) const
{
    CKParameterTypeDesc* desc = GetParameterTypeDescriptionByIndex(type);
    if (!desc || !(desc->Flags & CKPARAMETERTYPE_FLAGS) || desc->TableIndex < 0 || desc->TableIndex >= m_Flags.Size())
        return nullptr;
    return const_cast<CKFlagsDesc*>(&m_Flags[desc->TableIndex]);
}

CKStructDesc* CKParameterManager::GetStructDescByType(int type) const
{
    CKParameterTypeDesc* desc = GetParameterTypeDescriptionByIndex(type);
    if (!desc || !(desc->Flags & CKPARAMETERTYPE_STRUCT) || desc->TableIndex < 0 ||
        desc->TableIndex >= m_Structs.Size())
        return nullptr;
    return const_cast<CKStructDesc*>(&m_Structs[desc->TableIndex]);
}

CKERROR CKParameterManager::GetEnumAsString(int type, XString& out) const
{
    out = "";
    if (CKEnumDesc* record = GetEnumDescByType(type))
        CKFormatMembers(record->NbData, record->Vals, record->Desc, out);
    return CKErr::Ok;
}

CKERROR CKParameterManager::GetFlagsAsString(int type, XString& out) const
{
    out = "";
    if (CKFlagsDesc* record = GetFlagsDescByType(type))
        CKFormatMembers(record->NbData, record->Vals, record->Desc, out);
    return CKErr::Ok;
}

// Derivation.

CKBOOL CKParameterManager::IsDerivedFrom(int a, int b) const
{
    // Registration refuses cycles; the bound keeps the walk finite anyway.
    for (int steps = 0; a != b; ++steps) {
        CKParameterTypeDesc* da = GetParameterTypeDescriptionByIndex(a);
        CKParameterTypeDesc* db = GetParameterTypeDescriptionByIndex(b);
        if (!da || !db || steps > m_ParameterTypes.Size())
            return FALSE;
        if (da->ParentGuid == db->Guid)
            return TRUE;
        if (!da->ParentGuid.IsValid() || da->ParentGuid == CKPGUID_NONE)
            return FALSE;
        a = ParameterGuidToType(da->ParentGuid);
    }
    return TRUE;
}

void CKParameterManager::BuildDerivationMasks()
{
    int count = m_ParameterTypes.Size();
    for (int i = 0; i < count; ++i) {
        CKParameterTypeDesc* desc = m_ParameterTypes[i];
        if (!desc)
            continue;
        desc->DerivationSet.Clear();
        for (int j = 0; j < count; ++j)
            if (IsDerivedFrom(i, j))
                desc->DerivationSet.Set(j);
    }
    m_DerivationMasksUpToDate = TRUE;
}

CKBOOL CKParameterManager::IsTypeCompatible(int a, int b)
{
    CKParameterTypeDesc* da = GetParameterTypeDescriptionByIndex(a);
    CKParameterTypeDesc* db = GetParameterTypeDescriptionByIndex(b);
    if (!da || !db)
        return FALSE;
    if (a == b)
        return TRUE;
    if (!m_DerivationMasksUpToDate)
        BuildDerivationMasks();
    return da->DerivationSet.IsSet(b) || db->DerivationSet.IsSet(a);
}

// Others.

void CKParameterManager::UpdateParameterEnum()
{
    XClassArray<XString> texts;
    for (int i = 0; i < m_ParameterTypes.Size(); ++i) {
        CKParameterTypeDesc* desc = m_ParameterTypes[i];
        if (!desc || desc->Name.IsEmpty() || !desc->Registered || (desc->Flags & CKPARAMETERTYPE_HIDDEN))
            continue;
        XString text;
        text.Format("%s=%d", desc->Name.CStr(), i);
        texts.PushBack(text);
    }
    std::sort(texts.Begin(), texts.End(), [](const XString& a, const XString& b) { return a.Compare(b) < 0; });
    XString joined;
    for (const XString& text : texts) {
        joined += text;
        joined += ",";
    }
    ChangeEnumDeclaration(CKPGUID_PARAMETERTYPE, joined.CStr());
    m_ParameterTypeEnumUpToDate = TRUE;
}

XArray<CK_ID> CKParameterManager::ParameterIds() const
{
    // Ids rather than pointers: a type's callbacks may destroy parameters
    // (a structure's members) while the list is walked.
    XArray<CK_ID> ids;
    for (CK_CLASSID cid : {CKCID_PARAMETERIN, CKCID_PARAMETER})
        for (CKObject* o : m_Context->GetObjectListByType(cid, TRUE))
            ids.PushBack(o->GetID());
    return ids;
}

CKBOOL CKParameterManager::ForgetType(CKParameterTypeDesc* removed)
{
    CKBOOL any = FALSE;
    for (CK_ID id : ParameterIds()) {
        CKObject* o = m_Context->GetObject(id);
        if (!o)
            continue;
        if (CKIsChildClassOf(o->GetClassID(), CKCID_PARAMETERIN)) {
            auto* in = static_cast<CKParameterIn*>(o);
            if (in->GetTypeDesc() == removed) {
                in->ForgetType();
                any = TRUE;
            }
        } else if (static_cast<CKParameter*>(o)->GetTypeDesc() == removed) {
            static_cast<CKParameter*>(o)->ForgetType();
            any = TRUE;
        }
    }
    return any;
}

CKERROR CKParameterManager::ChangeParametersGuid(CKGUID oldGuid, CKGUID newGuid)
{
    for (CK_ID id : ParameterIds()) {
        CKObject* o = m_Context->GetObject(id);
        if (!o)
            continue;
        if (CKIsChildClassOf(o->GetClassID(), CKCID_PARAMETERIN)) {
            auto* in = static_cast<CKParameterIn*>(o);
            if (in->GetGUID() == oldGuid)
                in->SetGUID(newGuid);
        } else if (static_cast<CKParameter*>(o)->GetGUID() == oldGuid) {
            static_cast<CKParameter*>(o)->SetGUID(newGuid);
        }
    }
    return CKErr::Ok;
}

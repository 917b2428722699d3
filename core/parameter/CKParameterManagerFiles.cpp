#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/parameter/CKParameterManager.h"

namespace {

constexpr CKDWORD kUserTypesId = 0x0C0C0C0C;
constexpr int kEnumKind = 0x0B0B0B0B;
constexpr int kFlagsKind = 0x0A0A0A0A;

} // namespace

CKStateChunk* CKParameterManager::SaveData(CKFile* file)
{
    CKStateChunk* chunk = CKCreateStateChunk(CKCID_OBJECT, file);
    chunk->StartWrite();
    chunk->WriteIdentifier(kUserTypesId);
    int written = 0;
    for (int type = 0; type < m_ParameterTypes.Size(); ++type) {
        CKParameterTypeDesc* desc = m_ParameterTypes[type];
        if (!desc || !(desc->Flags & CKPARAMETERTYPE_TOSAVE))
            continue;
        XString text;
        if (desc->Flags & CKPARAMETERTYPE_ENUMS) {
            chunk->WriteInt(kEnumKind);
            GetEnumAsString(type, text);
        } else if (desc->Flags & CKPARAMETERTYPE_FLAGS) {
            chunk->WriteInt(kFlagsKind);
            GetFlagsAsString(type, text);
        } else {
            continue;
        }
        chunk->WriteGuid(desc->Guid);
        chunk->WriteString(desc->Name.CStr());
        chunk->WriteString(text.CStr());
        ++written;
    }
    if (written == 0) {
        CKDeleteStateChunk(chunk);
        return nullptr;
    }
    chunk->WriteInt(0);
    chunk->CloseChunk();
    return chunk;
}

CKERROR CKParameterManager::LoadData(CKStateChunk* chunk, CKFile* file)
{
    (void) file;
    if (!chunk)
        return CKErr::Ok;
    chunk->StartRead();
    if (!chunk->SeekIdentifier(kUserTypesId))
        return CKErr::Ok;
    const bool replace = m_DuplicatePolicy == 1;
    for (;;) {
        int kind = chunk->ReadInt();
        if (kind == 0 || chunk->GetReadError() != CKErr::Ok)
            break;
        CKGUID guid = chunk->ReadGuid();
        XString name, text;
        chunk->ReadStringInto(name);
        chunk->ReadStringInto(text);
        if (chunk->GetReadError() != CKErr::Ok)
            break;
        const bool isEnum = kind == kEnumKind;
        const bool isFlags = kind == kFlagsKind;
        // Only a type of the group's own kind is reconciled with it: a file
        // never renames, redeclares or removes a type of another kind (the
        // built-in Float, say) through a declaration of its own.
        auto sameKind = [&](int type) {
            CKParameterTypeDesc* d = GetParameterTypeDescriptionByIndex(type);
            return d &&
                   ((isEnum && (d->Flags & CKPARAMETERTYPE_ENUMS)) || (isFlags && (d->Flags & CKPARAMETERTYPE_FLAGS)));
        };

        int type = ParameterGuidToType(guid);
        if (type >= 0) {
            if (!sameKind(type)) {
                m_Context->OutputToConsoleEx("Warning: Loading User Enum/Flag: %s 's GUID already exists, ignored",
                                             name.CStr());
                continue;
            }
            XString current;
            if (isEnum)
                GetEnumAsString(type, current);
            else
                GetFlagsAsString(type, current);
            bool differs = current.Compare(text) != 0;
            if (!replace) {
                if (differs)
                    m_Context->OutputToConsoleEx("Warning: Loading User Enum/Flag: %s 's GUID already exists, ignored",
                                                 name.CStr());
                continue;
            }
            CKParameterTypeDesc* desc = m_ParameterTypes[type];
            if (desc->Name.Compare(name) != 0) {
                desc->Name = name;
                m_ParameterTypeEnumUpToDate = FALSE;
            }
            if (differs) {
                if (isEnum)
                    ChangeEnumDeclaration(guid, text.CStr());
                else
                    ChangeFlagsDeclaration(guid, text.CStr());
                m_Context->OutputToConsoleEx("Warning: Loading User Enum/Flag: %s 's GUID already exists, replaced",
                                             name.CStr());
            }
            continue;
        }
        if (!isEnum && !isFlags)
            continue;

        auto registerType = [&]() {
            CKERROR err = isEnum ? RegisterNewEnum(guid, name.CStr(), text.CStr())
                                 : RegisterNewFlags(guid, name.CStr(), text.CStr());
            if (err == CKErr::Ok)
                m_ParameterTypes[ParameterGuidToType(guid)]->Flags |= CKPARAMETERTYPE_USER;
            return err == CKErr::Ok;
        };
        int named = ParameterNameToType(name.CStr());
        if (named < 0) {
            registerType();
        } else if (replace && sameKind(named)) {
            CKGUID old = TypeToGuid(named);
            if (registerType()) {
                ChangeParametersGuid(old, guid);
                UnRegisterParameterType(old);
            }
            m_Context->OutputToConsoleEx("Warning: Loading User Enum/Flag: %s 's name already exists, replaced",
                                         name.CStr());
        } else {
            m_Context->OutputToConsoleEx("Warning: Loading User Enum/Flag: %s 's name already exists, ignored",
                                         name.CStr());
        }
    }
    return CKErr::Ok;
}

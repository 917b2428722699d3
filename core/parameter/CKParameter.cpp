#include "core/parameter/CKParameter.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/file/CKFile.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKDependenciesContext.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterLinks.h"
#include "core/parameter/CKParameterManager.h"
#include "core/parameter/CKParameterOperation.h"

namespace {

// Types of the objects a parameter adds to the file it is saved with: state,
// synchronisation and critical-section objects.
constexpr CKGUID kSavedWithValue[] = {CKGUID(0xABE13353, 0xA2834124), CKGUID(0x2314A763, 0xC2F49238),
                                      CKGUID(0x9438212A, 0xC2F4312C)};

// Loading keeps these flags; copies take CK_PARAMETER_FLAGSMASK from their source.
constexpr CKDWORD kLoadKeptFlags = 0xF0BFFFFF;

} // namespace

CKBOOL CKIsFixedSizeParameterType(const CKParameterTypeDesc* desc)
{
    return desc && desc->Registered && desc->DefaultSize == 4 && !(desc->Flags & CKPARAMETERTYPE_VARIABLESIZE);
}

CKBOOL CKIsPointerParameterType(const CKParameterTypeDesc* desc)
{
    if (!desc)
        return FALSE;
    const CKGUID g = desc->Guid;
    return g == CKPGUID_OBJECTARRAY || g == CKPGUID_STATECHUNK || g == CKPGUID_2DCURVE || g == CKPGUID_POINTER ||
           g == CKPGUID_COPYDEPENDENCIES || g == CKPGUID_DELETEDEPENDENCIES || g == CKPGUID_REPLACEDEPENDENCIES ||
           g == CKPGUID_SAVEDEPENDENCIES;
}

CKGUID CKReplaceOldParameterGuid(CKGUID guid)
{
    if (guid == CKPGUID_OLDMESSAGE)
        return CKPGUID_MESSAGE;
    if (guid == CKPGUID_OLDATTRIBUTE)
        return CKPGUID_ATTRIBUTE;
    if (guid == CKPGUID_OLDTIME)
        return CKPGUID_TIME;
    return guid;
}

CKParameter::CKParameter(CKContext* context, const char* name) : CKClass(context, name) {}

CKParameter::~CKParameter()
{
    if (m_ParamType && m_ParamType->Destroy)
        m_ParamType->Destroy(this);
    m_ParamType = nullptr;
    FreeBuffer();
}

CKParameterManager* CKParameter::Manager() const
{
    return m_Context ? m_Context->GetParameterManager() : nullptr;
}

void CKParameter::FreeBuffer()
{
    delete[] m_Buffer;
    m_Buffer = nullptr;
}

void CKParameter::StoreWord(CKDWORD word)
{
    // A word from a file never becomes a pointer.
    void* storage = Storage();
    if (!storage || m_Size < 4 || CKIsPointerParameterType(m_ParamType))
        return;
    std::memcpy(storage, &word, 4);
}

// Value.

CKERROR CKParameter::GetValue(void* buffer, CKBOOL update)
{
    (void) update;
    if (!buffer)
        return CKErr::InvalidParameter;
    void* storage = Storage();
    if (!m_ParamType || !storage || m_Size <= 0)
        return CKErr::NotInitialized;
    // A pointer is read whole, at its native size: its type's size is the
    // 4 bytes it takes in files. Its storage always holds a whole pointer.
    const size_t size = CKIsPointerParameterType(m_ParamType) ? sizeof(void*) : (size_t) m_Size;
    std::memcpy(buffer, storage, size);
    return CKErr::Ok;
}

CKERROR CKParameter::SetValue(const void* buffer, int size)
{
    if (!m_ParamType)
        return CKErr::NotInitialized;
    // A pointer is written whole, at its native size. One that its type
    // owns (a collection, a curve, a chunk) is changed through what it points
    // to, never replaced: the old one would leak and the new one be freed by
    // a parameter that never owned it.
    if (CKIsPointerParameterType(m_ParamType)) {
        void* storage = Storage();
        if (m_ParamType->Destroy || !storage)
            return CKErr::InvalidParameter;
        if (buffer)
            std::memcpy(storage, buffer, sizeof(void*));
        return CKErr::Ok;
    }
    if (m_InObject) {
        // The value lives in the object: its width never changes.
        if (buffer) {
            int n = size >= 1 && size < 4 ? size : 4;
            m_Value = {};
            std::memcpy(&m_Value, buffer, (size_t) n);
        }
        return CKErr::Ok;
    }
    if (size >= 1 && size != m_Size) {
        FreeBuffer();
        m_Buffer = new (std::nothrow) CKBYTE[std::max<size_t>((size_t) size, sizeof(void*))]();
        m_Size = m_Buffer ? size : 0;
    }
    if (!m_Buffer || m_Size <= 0)
        return CKErr::NotInitialized;
    if (buffer)
        std::memcpy(m_Buffer, buffer, (size_t) m_Size);
    return CKErr::Ok;
}

CKERROR CKParameter::CopyValue(CKParameter* source, CKBOOL updateSource)
{
    if (!source)
        return CKErr::InvalidParameter;
    if (!IsCompatibleWith(source))
        return CKErr::InvalidParameterType;
    if (updateSource)
        source->UpdateResult();
    if (m_ParamType && m_ParamType->Copy)
        m_ParamType->Copy(this, source);
    return CKErr::Ok;
}

void* CKParameter::GetReadDataPtr(CKBOOL update)
{
    (void) update;
    return m_ParamType ? Storage() : nullptr;
}

void* CKParameter::GetWriteDataPtr()
{
    return m_ParamType ? Storage() : nullptr;
}

CKERROR CKParameter::SetStringValue(const char* text)
{
    if (m_ParamType && m_ParamType->StringConvert)
        return m_ParamType->StringConvert(this, const_cast<char*>(text), 0, TRUE);
    return CKErr::InvalidParameter;
}

int CKParameter::GetStringValue(char* buffer, int bufferSize, CKBOOL update)
{
    (void) update;
    if (m_ParamType && m_ParamType->StringConvert)
        return m_ParamType->StringConvert(this, buffer, bufferSize, FALSE);
    if (buffer && bufferSize > 0)
        buffer[0] = 0;
    return 0;
}

void CKParameter::UpdateResult()
{
    // A result that is already being computed further up is read as it
    // stands: operations whose inputs lead back to themselves would never end.
    if (!(m_ObjectFlags & CK_PARAMETEROUT_PARAMOP) || IsToBeDeleted() || m_Updating)
        return;
    if (!m_Owner || m_Owner->GetClassID() != CKCID_PARAMETEROPERATION)
        return;
    m_Updating = TRUE;
    static_cast<CKParameterOperation*>(m_Owner)->DoOperation();
    m_Updating = FALSE;
}

// Type.

void CKParameter::CheckStorageClass(CKParameterTypeDesc* newType)
{
    m_InObject = CKIsFixedSizeParameterType(newType);
}

void CKParameter::SetGUID(CKGUID guid)
{
    CKParameterManager* pm = Manager();
    SetType(pm ? pm->ParameterGuidToType(guid) : -1);
}

void CKParameter::SetType(int type)
{
    CKParameterManager* pm = Manager();
    CKParameterTypeDesc* next = pm ? pm->GetParameterTypeDescriptionByIndex(type) : nullptr;
    if (!next) {
        if (m_ParamType && m_ParamType->Destroy)
            m_ParamType->Destroy(this);
        FreeBuffer();
        m_Value = {};
        m_Size = 0;
        m_ParamType = nullptr;
        CheckStorageClass(nullptr);
        return;
    }

    CKBOOL compatible = FALSE;
    if (m_ParamType && !next->CreateDefault && !m_ParamType->Destroy) {
        compatible = pm->IsTypeCompatible(m_ParamType->Index, next->Index);
        if (compatible) {
            CK_CLASSID current = m_ParamType->ClassId;
            if (current && (current == next->ClassId || CKIsChildClassOf(current, next->ClassId))) {
                m_ParamType = next;
                return;
            }
            if (!current && m_ParamType->DefaultSize == next->DefaultSize) {
                m_ParamType = next;
                return;
            }
        }
    }

    CKBYTE* kept = nullptr;
    int keptSize = 0;
    if (compatible) {
        const void* old = GetReadDataPtr(FALSE);
        if (old && m_Size > 0) {
            kept = new (std::nothrow) CKBYTE[(size_t) m_Size];
            if (kept) {
                keptSize = m_Size;
                std::memcpy(kept, old, (size_t) m_Size);
            }
        }
    }

    if (m_ParamType && m_ParamType->Destroy)
        m_ParamType->Destroy(this);
    FreeBuffer();
    m_Value = {};
    CheckStorageClass(next);
    m_ParamType = next;
    m_Size = next->DefaultSize > 0 ? next->DefaultSize : 0;
    if (!CKIsFixedSizeParameterType(next) && m_Size >= 1) {
        // Room for a pointer at least: a pointer type held in a buffer stores one.
        m_Buffer = new (std::nothrow) CKBYTE[std::max<size_t>((size_t) m_Size, sizeof(void*))]();
        if (!m_Buffer)
            m_Size = 0;
    }
    if (next->CreateDefault)
        next->CreateDefault(this);
    if (kept) {
        if (void* dest = GetWriteDataPtr())
            std::memcpy(dest, kept, (size_t) std::min(keptSize, m_Size));
        delete[] kept;
    }
}

void CKParameter::ForgetType()
{
    if (m_ParamType && m_ParamType->Destroy)
        m_ParamType->Destroy(this);
    m_ParamType = nullptr;
}

CKBOOL CKParameter::IsCompatibleWith(CKParameter* other)
{
    CKParameterManager* pm = Manager();
    return other && pm && pm->IsTypeCompatible(GetType(), other->GetType());
}

CKObject* CKParameter::GetValueObject(CKBOOL update)
{
    if (m_Size < 4 || CKIsPointerParameterType(m_ParamType) || !m_Context)
        return nullptr;
    const void* p = GetReadDataPtr(update);
    if (!p)
        return nullptr;
    CK_ID id;
    std::memcpy(&id, p, 4);
    return m_Context->GetObject(id);
}

// Persistence.

CKStateChunk* CKParameter::StartChunk(CKFile* file, CKDWORD flags)
{
    CKStateChunk* base = CKObject::Save(file, flags);
    CKStateChunk* chunk = CKCreateStateChunk(GetClassID(), file);
    chunk->StartWrite();
    chunk->AddChunkAndDelete(base);
    return chunk;
}

void CKParameter::WriteValue(CKStateChunk* chunk, CKDWORD flags)
{
    (void) flags;
    chunk->WriteIdentifier(CK_STATESAVE_PARAMETER_VALUE);
    chunk->WriteGuid(GetGUID());
    if (m_ObjectFlags & CK_OBJECT_ONLYFORFILEREFERENCE)
        return;
    if (!m_ParamType || (m_ObjectFlags & CK_PARAMETEROUT_PARAMOP)) {
        chunk->WriteInt(CK_PARAMETERVALUE_NONE);
        return;
    }
    CKDWORD word = 0;
    if (const void* storage = Storage(); storage && m_Size >= 4)
        std::memcpy(&word, storage, 4);
    if (m_ParamType->ValueManager.IsValid()) {
        chunk->WriteManagerInt(m_ParamType->ValueManager, (int) word);
    } else if (m_ParamType->SaveLoad) {
        chunk->WriteInt(CK_PARAMETERVALUE_SAVELOAD);
        CKStateChunk* sub = nullptr;
        m_ParamType->SaveLoad(this, &sub, FALSE);
        chunk->WriteSubChunk(sub);
        CKDeleteStateChunk(sub);
    } else if (m_ParamType->ClassId && CKIsChildClassOf(m_ParamType->ClassId, CKCID_OBJECT)) {
        chunk->WriteInt(CK_PARAMETERVALUE_OBJECT);
        chunk->WriteObject(m_Context ? m_Context->GetObject(word) : nullptr);
    } else {
        chunk->WriteInt(CK_PARAMETERVALUE_BUFFER);
        if (m_ParamType->Guid == CKPGUID_PARAMETERTYPE) {
            CKParameterManager* pm = Manager();
            chunk->WriteGuid(pm ? pm->TypeToGuid((int) word) : CKGUID());
        } else {
            chunk->WriteBuffer(m_Size, Storage());
        }
    }
}

void CKParameter::PreSave(CKFile* file, CKDWORD flags)
{
    CKObject::PreSave(file, flags);
    if (!file || !m_ParamType)
        return;
    for (const CKGUID& g : kSavedWithValue)
        if (m_ParamType->Guid == g) {
            file->SaveObject(GetValueObject(FALSE), flags);
            break;
        }
}

CKStateChunk* CKParameter::Save(CKFile* file, CKDWORD flags)
{
    CKStateChunk* chunk = StartChunk(file, flags);
    WriteValue(chunk, flags);
    chunk->CloseChunk();
    return chunk;
}

void CKParameter::LoadBufferForm(CKStateChunk* chunk, CKGUID stored)
{
    if (m_ParamType->Guid == CKPGUID_PARAMETERTYPE) {
        CKParameterManager* pm = Manager();
        StoreWord((CKDWORD) (pm ? pm->ParameterGuidToType(chunk->ReadGuid()) : -1));
        return;
    }
    void* bytes = nullptr;
    int count = chunk->ReadBuffer(&bytes);
    const CKBYTE* data = static_cast<const CKBYTE*>(bytes);
    if (stored == CKPGUID_OLDMESSAGE || stored == CKPGUID_OLDATTRIBUTE) {
        // The value was the type's name (zero-terminated in good files).
        XString name;
        if (data)
            name.Assign(reinterpret_cast<const char*>(data), (int) strnlen(reinterpret_cast<const char*>(data), count));
        const CKParameterLinks& links = CKGetParameterLinks();
        int index = -1;
        if (stored == CKPGUID_OLDMESSAGE && links.AddMessageType)
            index = links.AddMessageType(m_Context, name.CStr());
        else if (stored == CKPGUID_OLDATTRIBUTE && links.GetAttributeTypeByName)
            index = links.GetAttributeTypeByName(m_Context, name.CStr());
        StoreWord((CKDWORD) index);
    } else if (stored == CKPGUID_OLDTIME) {
        int ms = 0;
        if (data)
            std::memcpy(&ms, data, (size_t) std::min(count, 4));
        float value = (float) ms;
        CKDWORD word;
        std::memcpy(&word, &value, 4);
        StoreWord(word);
    } else if (data && !CKIsPointerParameterType(m_ParamType)) {
        if (!(m_ParamType->Flags & CKPARAMETERTYPE_VARIABLESIZE) && count < m_Size) {
            // An older, shorter form of a fixed-size value: what is there,
            // then zeros.
            CKBYTE* whole = new (std::nothrow) CKBYTE[(size_t) m_Size]();
            if (whole) {
                std::memcpy(whole, data, (size_t) count);
                SetValue(whole, m_Size);
                delete[] whole;
            }
        } else {
            SetValue(data, count);
        }
    }
    delete[] static_cast<CKBYTE*>(bytes);
}

CKERROR CKParameter::Load(CKStateChunk* chunk, CKFile* file)
{
    if (!chunk)
        return CKErr::InvalidParameter;
    CKObject::Load(chunk, file);
    m_ObjectFlags &= kLoadKeptFlags;
    if (!chunk->SeekIdentifier(CK_STATESAVE_PARAMETER_VALUE))
        return CKErr::Ok;
    CKGUID stored = chunk->ReadGuid();
    CKGUID guid = CKReplaceOldParameterGuid(stored);
    if (!m_ParamType || m_ParamType->Guid != guid || m_Size != m_ParamType->DefaultSize)
        SetGUID(guid);
    int form = chunk->ReadInt();
    if (!m_ParamType) {
        if (m_Context)
            m_Context->OutputToConsoleExBeep(
                "%s : Unknown Parameter Type (Dll declaring this parameter is maybe absent)",
                GetName() ? GetName() : "");
        CKNoteLoadRefusal(this, "unknown parameter type 0x%08X,0x%08X (the plug-in declaring it is maybe absent)",
                          guid.d1, guid.d2);
        return CKErr::InvalidParameterType;
    }
    if (form == CK_PARAMETERVALUE_NONE)
        return CKErr::Ok;
    if (form == CK_PARAMETERVALUE_SAVELOAD && m_ParamType->SaveLoad) {
        CKStateChunk* sub = chunk->ReadSubChunk();
        m_ParamType->SaveLoad(this, &sub, TRUE);
        CKDeleteStateChunk(sub);
    } else if (form == CK_PARAMETERVALUE_BUFFER) {
        LoadBufferForm(chunk, stored);
    } else if (form == CK_PARAMETERVALUE_OBJECT) {
        StoreWord(chunk->ReadObjectID());
    } else {
        // A manager integer: the rest of the manager's GUID, then the value.
        chunk->ReadInt();
        StoreWord((CKDWORD) chunk->ReadInt());
    }
    return CKErr::Ok;
}

// Deletion, memory, dependencies and copies.

void CKParameter::CheckPreDeletion()
{
    CKObject::CheckPreDeletion();
    if (m_Owner && m_Owner->IsToBeDeleted())
        m_Owner = nullptr;
}

void CKParameter::CheckPostDeletion()
{
    CKObject::CheckPostDeletion();
    if (m_ParamType && m_ParamType->Check)
        m_ParamType->Check(this);
}

int CKParameter::GetMemoryOccupation()
{
    return CKObject::GetMemoryOccupation() + 16 + m_Size;
}

CKERROR CKParameter::PrepareDependencies(CKDependenciesContext& context, CKBOOL caller)
{
    CKERROR err = CKObject::PrepareDependencies(context, caller);
    if (err != CKErr::Ok)
        return err;
    CKDWORD mode = context.GetOperationMode();
    if (mode == CK_DEPENDENCIES_DELETE && m_ParamType && m_ParamType->Destroy) {
        m_ParamType->Destroy(this);
        m_ParamType = nullptr;
    } else if (mode == CK_DEPENDENCIES_BUILD && m_ParamType) {
        if (m_ParamType->Guid == CKPGUID_OBJECTARRAY) {
            if (void* storage = Storage())
                if (XObjectArray* array = *static_cast<XObjectArray**>(storage))
                    array->Prepare(context);
        } else if (m_ParamType->ClassId) {
            if (CKObject* object = GetValueObject(FALSE))
                object->PrepareDependencies(context, TRUE);
        }
    }
    return CKErr::Ok;
}

CKERROR CKParameter::RemapDependencies(CKDependenciesContext& context)
{
    CKObject::RemapDependencies(context);
    m_Owner = context.Remap(m_Owner);
    if (!m_ParamType)
        return CKErr::Ok;
    if (m_ParamType->Guid == CKPGUID_OBJECTARRAY) {
        if (void* storage = Storage())
            if (XObjectArray* array = *static_cast<XObjectArray**>(storage))
                array->RemapIDs(context);
    } else if (m_ParamType->ClassId) {
        void* storage = Storage();
        if (storage && m_Size >= 4) {
            CK_ID id;
            std::memcpy(&id, storage, 4);
            id = context.RemapID(id);
            std::memcpy(storage, &id, 4);
        }
    }
    return CKErr::Ok;
}

CKERROR CKParameter::Copy(CKObject& source, CKDependenciesContext& context)
{
    CKERROR err = CKObject::Copy(source, context);
    if (err != CKErr::Ok || !CKIsChildClassOfObject(&source, CKCID_PARAMETER))
        return err;
    CKParameter& from = static_cast<CKParameter&>(source);
    m_ObjectFlags = (m_ObjectFlags & ~CK_PARAMETER_FLAGSMASK) | (from.m_ObjectFlags & CK_PARAMETER_FLAGSMASK);
    m_Owner = from.m_Owner;
    SetType(from.GetType());
    CopyValue(&from, FALSE);
    return CKErr::Ok;
}

void CKParameter::Register()
{
    CKClassSetCreationFlags(m_ClassID, CK_GENERALOPTIONS_NODUPLICATENAMECHECK);
    CKClassNeedNotificationFrom(m_ClassID, CKCID_OBJECT);
}

const char* CKParameter::GetClassName()
{
    return "Parameter";
}

#include "core/parameter/CKParameterVariable.h"

#include <algorithm>
#include <cstring>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/object/CKClassRegistry.h"

CKParameterVariable::CKParameterVariable(CKContext* context, const char* name) : CKClass(context, name) {}

CKVariableManager* CKParameterVariable::Variables() const
{
    return m_Context ? m_Context->GetVariableManager() : nullptr;
}

CKVariableManager::Variable* CKParameterVariable::GetBoundVariable()
{
    if (!m_Variable)
        return nullptr;
    // The manager may have unbound the name (and bound it again to other
    // storage) since: the record is trusted only while it is still the one
    // bound under the name, with the same kind of value.
    CKVariableManager* vm = Variables();
    CKVariableManager::Variable* v = vm ? vm->GetVariable(m_VariableName.CStr()) : nullptr;
    if (v != m_Variable || v->GetType() != m_VariableType) {
        m_Variable = nullptr;
        return nullptr;
    }
    return v;
}

void CKParameterVariable::PreRead()
{
    if (!m_Converting)
        Variables()->CallPreRead(m_VariableName.CStr());
}

void CKParameterVariable::PostWrite()
{
    if (!m_Converting)
        Variables()->CallPostWrite(m_VariableName.CStr());
}

CKERROR CKParameterVariable::GetValue(void* buffer, CKBOOL update)
{
    CKVariableManager::Variable* v = GetBoundVariable();
    if (!v)
        return CKParameterLocal::GetValue(buffer, update);
    if (!buffer)
        return CKErr::InvalidParameter;
    PreRead();
    if (IsString()) {
        const XString* text = static_cast<XString*>(v->GetPointer());
        if (m_Size >= 1) {
            int n = std::min(text->Length(), m_Size - 1);
            std::memcpy(buffer, text->CStr(), (size_t) n);
            static_cast<char*>(buffer)[n] = 0;
        }
        m_Size = text->Length() + 1;
    } else {
        std::memcpy(buffer, v->GetPointer(), 4);
    }
    return CKErr::Ok;
}

CKERROR CKParameterVariable::SetValue(const void* buffer, int size)
{
    CKVariableManager::Variable* v = GetBoundVariable();
    if (!v || IsMyself())
        return CKParameterLocal::SetValue(buffer, size);
    if (IsReadOnly() || !buffer)
        return CKErr::Ok;
    if (IsString()) {
        int limit = (size > 0 ? size : m_Size) - 1;
        const char* text = static_cast<const char*>(buffer);
        XString* value = static_cast<XString*>(v->GetPointer());
        value->Assign(text, limit > 0 ? (int) strnlen(text, (size_t) limit) : 0);
        m_Size = value->Length() + 1;
    } else {
        CKDWORD word = 0;
        std::memcpy(&word, buffer, size >= 1 && size < 4 ? (size_t) size : 4);
        std::memcpy(v->GetPointer(), &word, 4);
    }
    PostWrite();
    return CKErr::Ok;
}

CKERROR CKParameterVariable::CopyValue(CKParameter* source, CKBOOL updateSource)
{
    CKVariableManager::Variable* v = GetBoundVariable();
    if (!v || IsMyself())
        return CKParameterLocal::CopyValue(source, updateSource);
    if (!source)
        return CKErr::InvalidParameter;
    if (!IsCompatibleWith(source))
        return CKErr::InvalidParameterType;
    if (IsReadOnly())
        return CKErr::Ok;
    const void* from = source->GetReadDataPtr(updateSource);
    int size = source->GetDataSize();
    if (!from)
        return CKErr::Ok;
    if (IsString()) {
        const char* text = static_cast<const char*>(from);
        XString* value = static_cast<XString*>(v->GetPointer());
        value->Assign(text, size > 1 ? (int) strnlen(text, (size_t) size - 1) : 0);
        m_Size = value->Length() + 1;
    } else if (size >= 4) {
        std::memcpy(v->GetPointer(), from, 4);
    }
    PostWrite();
    return CKErr::Ok;
}

void* CKParameterVariable::GetReadDataPtr(CKBOOL update)
{
    CKVariableManager::Variable* v = GetBoundVariable();
    if (!v)
        return CKParameterLocal::GetReadDataPtr(update);
    PreRead();
    if (IsString()) {
        XString* value = static_cast<XString*>(v->GetPointer());
        m_Size = value->Length() + 1;
        return const_cast<char*>(value->CStr());
    }
    return v->GetPointer();
}

void* CKParameterVariable::GetWriteDataPtr()
{
    CKVariableManager::Variable* v = GetBoundVariable();
    if (!v || IsMyself())
        return CKParameterLocal::GetWriteDataPtr();
    if (IsReadOnly())
        return nullptr;
    if (IsString()) {
        // A string without text has no bytes to write into.
        XString* value = static_cast<XString*>(v->GetPointer());
        m_Size = value->Length() + 1;
        return value->Str();
    }
    return v->GetPointer();
}

CKERROR CKParameterVariable::SetStringValue(const char* text)
{
    CKVariableManager::Variable* v = GetBoundVariable();
    if (!v || IsMyself())
        return CKParameterLocal::SetStringValue(text);
    if (IsReadOnly())
        return CKErr::Ok;
    CKERROR result = CKErr::Ok;
    if (IsString()) {
        XString* value = static_cast<XString*>(v->GetPointer());
        *value = text ? text : "";
        m_Size = value->Length() + 1;
    } else {
        m_Converting = TRUE;
        result = CKParameter::SetStringValue(text);
        m_Converting = FALSE;
    }
    PostWrite();
    return result;
}

int CKParameterVariable::GetStringValue(char* buffer, int bufferSize, CKBOOL update)
{
    if (!GetBoundVariable())
        return CKParameterLocal::GetStringValue(buffer, bufferSize, update);
    PreRead();
    m_Converting = TRUE;
    int result = CKParameter::GetStringValue(buffer, bufferSize, update);
    m_Converting = FALSE;
    return result;
}

CKERROR CKParameterVariable::BindToVariable(const char* name)
{
    CKVariableManager* vm = Variables();
    CKVariableManager::Variable* v = vm && name ? vm->GetVariable(name) : nullptr;
    if (!v)
        return CKErr::NotFound;
    if (v == GetBoundVariable())
        return CKErr::Ok;
    CKGUID guid;
    if (!vm->GetVariableParameterType(name, guid) || !guid.IsValid())
        return CKErr::InvalidParameter;
    m_Variable = nullptr;
    SetGUID(guid);
    FreeBuffer();
    m_Variable = v;
    m_VariableName = name;
    m_VariableType = v->GetType();
    m_Size = IsString() ? static_cast<XString*>(v->GetPointer())->Length() + 1 : 4;
    if (!GetName() || std::strcmp(GetName(), name) != 0)
        SetName(name);
    return CKErr::Ok;
}

CKStateChunk* CKParameterVariable::Save(CKFile* file, CKDWORD flags)
{
    CKStateChunk* chunk = StartChunk(file, flags);
    chunk->CloseChunk();
    return chunk;
}

CKERROR CKParameterVariable::Load(CKStateChunk* chunk, CKFile* file)
{
    if (!chunk)
        return CKErr::InvalidParameter;
    CKERROR result = CKParameterLocal::Load(chunk, file);
    // Whatever type the chunk gave, the variable's is taken again.
    m_Variable = nullptr;
    if (GetName())
        BindToVariable(GetName());
    return result;
}

CKERROR CKParameterVariable::RemapDependencies(CKDependenciesContext& context)
{
    return CKObject::RemapDependencies(context);
}

CKERROR CKParameterVariable::Copy(CKObject& source, CKDependenciesContext& context)
{
    CKERROR err = CKParameterLocal::Copy(source, context);
    if (err == CKErr::Ok && GetName())
        BindToVariable(GetName());
    return err;
}

void CKParameterVariable::Register()
{
    CKClassSetCreationFlags(m_ClassID, CK_GENERALOPTIONS_NODUPLICATENAMECHECK);
}

const char* CKParameterVariable::GetClassName()
{
    return "Variable Parameter";
}

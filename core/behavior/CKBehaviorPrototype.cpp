#include "core/behavior/CKBehaviorPrototype.h"

#include <cstring>

namespace {

CKBYTE* CopyBytes(const CKBYTE* bytes, int size)
{
    if (!bytes || size <= 0)
        return nullptr;
    CKBYTE* copy = new CKBYTE[size];
    std::memcpy(copy, bytes, (size_t) size);
    return copy;
}

template <class Decl>
const char* NameAt(const XClassArray<Decl>& list, int n)
{
    return n >= 0 && n < list.Size() ? list[n].m_Name.CStr() : nullptr;
}

} // namespace

CKParameterDecl::CKParameterDecl(const CKParameterDecl& other)
    : m_Name(other.m_Name), m_Guid(other.m_Guid), m_Type(other.m_Type),
      m_DefaultValueString(other.m_DefaultValueString),
      m_DefaultValue(CopyBytes(other.m_DefaultValue, other.m_DefaultValueSize)),
      m_DefaultValueSize(m_DefaultValue ? other.m_DefaultValueSize : 0), m_ExtraFlags(other.m_ExtraFlags)
{}

CKParameterDecl& CKParameterDecl::operator=(const CKParameterDecl& other)
{
    if (this == &other)
        return *this;
    CKBYTE* bytes = CopyBytes(other.m_DefaultValue, other.m_DefaultValueSize);
    delete[] m_DefaultValue;
    m_DefaultValue = bytes;
    m_DefaultValueSize = bytes ? other.m_DefaultValueSize : 0;
    m_Name = other.m_Name;
    m_Guid = other.m_Guid;
    m_Type = other.m_Type;
    m_DefaultValueString = other.m_DefaultValueString;
    m_ExtraFlags = other.m_ExtraFlags;
    return *this;
}

CKBehaviorPrototype::CKBehaviorPrototype(const char* name) : m_Name(name) {}

int CKBehaviorPrototype::DeclareIO(XClassArray<CKBehaviorIODecl>& list, const char* name, CKDWORD flags)
{
    CKBehaviorIODecl decl;
    decl.m_Name = name;
    decl.m_Flags = flags;
    list.PushBack(decl);
    return list.Size() - 1;
}

int CKBehaviorPrototype::DeclareParameter(XClassArray<CKParameterDecl>& list, const char* name, CKGUID type, int kind,
                                          const char* text, const void* buffer, int size)
{
    CKParameterDecl decl;
    decl.m_Name = name;
    decl.m_Guid = type;
    decl.m_Type = kind;
    decl.m_DefaultValueString = text;
    if (buffer && size > 0) {
        decl.m_DefaultValue = CopyBytes(static_cast<const CKBYTE*>(buffer), size);
        decl.m_DefaultValueSize = size;
    }
    list.PushBack(decl);
    return list.Size() - 1;
}

int CKBehaviorPrototype::DeclareInput(const char* name)
{
    return DeclareIO(m_Inputs, name, CKBEHAVIORIO_IN);
}

int CKBehaviorPrototype::DeclareOutput(const char* name)
{
    return DeclareIO(m_Outputs, name, CKBEHAVIORIO_OUT);
}

int CKBehaviorPrototype::DeclareInParameterData(const char* name, CKGUID type, const void* buffer, int size)
{
    return DeclareParameter(m_InParameters, name, type, CKPARAMETER_IN, nullptr, buffer, size);
}

int CKBehaviorPrototype::DeclareInParameter(const char* name, CKGUID type, const char* defaultValue)
{
    return DeclareParameter(m_InParameters, name, type, CKPARAMETER_IN, defaultValue, nullptr, 0);
}

int CKBehaviorPrototype::DeclareOutParameterData(const char* name, CKGUID type, const void* buffer, int size)
{
    return DeclareParameter(m_OutParameters, name, type, CKPARAMETER_OUT, nullptr, buffer, size);
}

int CKBehaviorPrototype::DeclareOutParameter(const char* name, CKGUID type, const char* defaultValue)
{
    return DeclareParameter(m_OutParameters, name, type, CKPARAMETER_OUT, defaultValue, nullptr, 0);
}

int CKBehaviorPrototype::DeclareLocalParameter(const char* name, CKGUID type, const char* defaultValue)
{
    return DeclareParameter(m_LocalParameters, name, type, CKPARAMETER_LOCAL, defaultValue, nullptr, 0);
}

int CKBehaviorPrototype::DeclareSetting(const char* name, CKGUID type, const char* defaultValue)
{
    return DeclareParameter(m_LocalParameters, name, type, CKPARAMETER_SETTING, defaultValue, nullptr, 0);
}

void CKBehaviorPrototype::SetBehaviorCallbackFct(CKBEHAVIORCALLBACKFCT function, CKDWORD mask, void* argument)
{
    m_Callback = function;
    m_CallbackMask = mask;
    m_CallbackArg = argument;
}

const char* CKBehaviorPrototype::GetInputName(int n) const
{
    return NameAt(m_Inputs, n);
}

const char* CKBehaviorPrototype::GetOutputName(int n) const
{
    return NameAt(m_Outputs, n);
}

const char* CKBehaviorPrototype::GetInParameterName(int n) const
{
    return NameAt(m_InParameters, n);
}

const char* CKBehaviorPrototype::GetOutParameterName(int n) const
{
    return NameAt(m_OutParameters, n);
}

const char* CKBehaviorPrototype::GetLocalParameterName(int n) const
{
    return NameAt(m_LocalParameters, n);
}

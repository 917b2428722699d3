#pragma once

#include "core/behavior/CKBehaviorContext.h"
#include "includes/XClassArray.h"
#include "includes/XString.h"

class CKObjectDeclaration;

// Flags of a declared input or output.
enum : CKDWORD
{
    CKBEHAVIORIO_IN = 0x10000000,
    CKBEHAVIORIO_OUT = 0x20000000,
};

// Kinds of declared parameters.
enum : int
{
    CKPARAMETER_LOCAL = 0,
    CKPARAMETER_IN = 1,
    CKPARAMETER_OUT = 2,
    CKPARAMETER_SETTING = 3,
};

// One declared input or output of a building block.
struct CKBehaviorIODecl
{
    XString m_Name;
    CKDWORD m_Flags = 0;
};

// One declared parameter: its type, kind and default value, as text or as
// bytes (an owned copy).
struct CKParameterDecl
{
    CKParameterDecl() = default;
    CKParameterDecl(const CKParameterDecl& other);
    CKParameterDecl& operator=(const CKParameterDecl& other);
    ~CKParameterDecl() { delete[] m_DefaultValue; }

    XString m_Name;
    CKGUID m_Guid;
    int m_Type = CKPARAMETER_LOCAL;
    XString m_DefaultValueString;
    CKBYTE* m_DefaultValue = nullptr;
    int m_DefaultValueSize = 0;
    int m_ExtraFlags = -1;
};

// What a building block is made of: its inputs, outputs and parameters, its
// functions and the flags its behaviours take. Made by its declaration's
// creation function (CKFindPrototypeByGuid) and kept by the declaration.
class CKBehaviorPrototype
{
public:
    explicit CKBehaviorPrototype(const char* name);
    CKBehaviorPrototype(const CKBehaviorPrototype&) = delete;
    CKBehaviorPrototype& operator=(const CKBehaviorPrototype&) = delete;

    // Each declaration appends one record and returns its index. The data
    // forms copy the buffer when both buffer and size are given.
    virtual int DeclareInput(const char* name);
    virtual int DeclareOutput(const char* name);
    virtual int DeclareInParameterData(const char* name, CKGUID type, const void* buffer, int size);
    virtual int DeclareInParameter(const char* name, CKGUID type, const char* defaultValue = nullptr);
    virtual int DeclareOutParameterData(const char* name, CKGUID type, const void* buffer, int size);
    virtual int DeclareOutParameter(const char* name, CKGUID type, const char* defaultValue = nullptr);
    virtual ~CKBehaviorPrototype() = default;
    // Locals and settings share one index space.
    int DeclareLocalParameter(const char* name, CKGUID type, const char* defaultValue = nullptr);
    int DeclareSetting(const char* name, CKGUID type, const char* defaultValue = nullptr);

    void SetGuid(CKGUID guid) { m_Guid = guid; }
    CKGUID GetGuid() const { return m_Guid; }
    void SetBehaviorFlags(CKDWORD flags) { m_BehaviorFlags = flags; }
    CKDWORD GetBehaviorFlags() const { return m_BehaviorFlags; }
    // Added to the flags of every behaviour made from the prototype.
    void SetFlags(CKDWORD flags) { m_Flags = flags; }
    CKDWORD GetFlags() const { return m_Flags; }
    void SetFunction(CKBEHAVIORFCT function) { m_Function = function; }
    CKBEHAVIORFCT GetFunction() const { return m_Function; }
    void SetBehaviorCallbackFct(CKBEHAVIORCALLBACKFCT function, CKDWORD mask = 0xFFFFFFFF, void* argument = nullptr);
    CKBEHAVIORCALLBACKFCT GetBehaviorCallbackFct() const { return m_Callback; }
    CKDWORD GetBehaviorCallbackMask() const { return m_CallbackMask; }
    void* GetBehaviorCallbackArg() const { return m_CallbackArg; }
    void SetSourceDeclaration(CKObjectDeclaration* declaration) { m_Declaration = declaration; }
    CKObjectDeclaration* GetSourceDeclaration() const { return m_Declaration; }
    const char* GetName() const { return m_Name.CStr(); }

    // The n-th declared name of each kind; null beyond the end.
    const char* GetInputName(int n) const;
    const char* GetOutputName(int n) const;
    const char* GetInParameterName(int n) const;
    const char* GetOutParameterName(int n) const;
    const char* GetLocalParameterName(int n) const;

    const XClassArray<CKBehaviorIODecl>& GetInputs() const { return m_Inputs; }
    const XClassArray<CKBehaviorIODecl>& GetOutputs() const { return m_Outputs; }
    const XClassArray<CKParameterDecl>& GetInParameters() const { return m_InParameters; }
    const XClassArray<CKParameterDecl>& GetOutParameters() const { return m_OutParameters; }
    const XClassArray<CKParameterDecl>& GetLocalParameters() const { return m_LocalParameters; }

private:
    int DeclareIO(XClassArray<CKBehaviorIODecl>& list, const char* name, CKDWORD flags);
    int DeclareParameter(XClassArray<CKParameterDecl>& list, const char* name, CKGUID type, int kind, const char* text,
                         const void* buffer, int size);

    CKGUID m_Guid;
    CKDWORD m_BehaviorFlags = 1;
    CKDWORD m_Flags = 0;
    CKObjectDeclaration* m_Declaration = nullptr;
    CKBEHAVIORFCT m_Function = nullptr;
    CKBEHAVIORCALLBACKFCT m_Callback = nullptr;
    CKDWORD m_CallbackMask = 0xFFFFFFFF;
    void* m_CallbackArg = nullptr;
    XClassArray<CKBehaviorIODecl> m_Inputs;
    XClassArray<CKBehaviorIODecl> m_Outputs;
    XClassArray<CKParameterDecl> m_InParameters;
    XClassArray<CKParameterDecl> m_OutParameters;
    XClassArray<CKParameterDecl> m_LocalParameters;
    XString m_Name;
};

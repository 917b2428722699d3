#pragma once

#include "core/context/CKBaseManager.h"
#include "includes/XArray.h"
#include "includes/XHashTable.h"
#include "includes/XString.h"

// Named settings: program variables bound under "Category/Name", read and
// written by name (as values or text), loaded from and saved to settings
// files, and watched. A text written before its name is bound is kept and
// applied at binding.
class CKVariableManager : public CKBaseManager
{
public:
    enum VariableFlags
    {
        READONLY = 1,
        COMPOSITIONBOUND = 4, // saved with composition files
        SAVEIFDIFFERENT = 8,  // ... only when the value differs from its default
    };
    enum VariableType
    {
        INT = 1,
        FLOAT = 2,
        STRING = 3,
    };

    class Variable
    {
    public:
        Variable(const char* description, CKDWORD flags) : m_Description(description), m_Flags(flags) {}
        virtual ~Variable() = default;
        const char* GetDescription() const { return m_Description; }
        void ModifyFlags(CKDWORD add, CKDWORD remove) { m_Flags = (m_Flags | add) & ~remove; }
        CKDWORD GetFlags() const { return m_Flags; }
        virtual CKBOOL DiffersFromDefault() = 0;
        virtual void RestoreDefault() = 0;
        virtual int GetType() = 0;
        virtual void SetValueFromString(const char* text) = 0;
        virtual void GetValueAsString(XString& out) = 0;
        // Null, or the representation text ("enum:0=A;1=B").
        virtual const char* GetRepresentation() { return nullptr; }
        // The bound program variable.
        virtual void* GetPointer() = 0;

    protected:
        const char* m_Description; // not owned
        CKDWORD m_Flags;
    };

    class Watcher
    {
    public:
        virtual ~Watcher() = default;
        virtual void PreRead(const char* name) { (void) name; }
        virtual void PostWrite(const char* name) { (void) name; }
    };

    using VariableTable = XHashTable<Variable*, XString>;
    using Iterator = VariableTable::Iterator;

    explicit CKVariableManager(CKContext* context);
    // Logs every variable and watcher still registered, and frees them.
    ~CKVariableManager() override;

    CKStateChunk* SaveData(CKFile* file) override;
    CKERROR LoadData(CKStateChunk* chunk, CKFile* file) override;
    CKERROR PostClearAll() override;
    CKDWORD GetValidFunctionsMask() override { return CKMANAGER_FUNC_PostClearAll; }

    // Binding. The description is kept as a pointer (a literal). A name
    // already bound keeps its first binding. A pending text for the name is
    // applied; otherwise, unless READONLY, the default is written.
    void BindInt(const char* name, int* variable, int defaultValue, CKDWORD flags, const char* description);
    void BindIntWithRepresentation(const char* name, int* variable, int defaultValue, CKDWORD flags,
                                   const char* representation, const char* description);
    void BindFloat(const char* name, float* variable, float defaultValue, CKDWORD flags, const char* description);
    void BindString(const char* name, XString* variable, const char* defaultValue, CKDWORD flags,
                    const char* description);
    void UnBind(const char* name);
    CKBOOL IsBound(const char* name) const;
    Variable* GetVariable(const char* name);
    int GetVariableCount() const { return m_Variables.Size(); }
    Iterator Begin() { return m_Variables.Begin(); }
    Iterator End() { return m_Variables.End(); }

    // False when the name is not bound.
    CKBOOL GetValue(const char* name, int* value);
    CKBOOL GetValue(const char* name, float* value);
    CKBOOL GetValue(const char* name, XString* value);
    // The text of any variable; false when not bound.
    CKBOOL GetValueAsString(const char* name, XString& value);
    // False when not bound or read-only.
    CKBOOL SetValue(const char* name, int value);
    CKBOOL SetValue(const char* name, float value);
    CKBOOL SetValue(const char* name, const char* value);
    // Bound and writable: set from the text, true. Read-only: false. Not
    // bound: kept as the name's pending value, false.
    CKBOOL SetStringValue(const char* name, const char* text);
    CKBOOL SetSaveInFile(const char* name, CKBOOL on);
    // which: 1 every variable, 2 those flagged 4, 3 those flagged 8.
    void RestoreDefaults(int which);

    void RegisterWatcher(const char* name, Watcher* watcher);
    Watcher* UnRegisterWatcher(const char* name);

    // The parameter type of a variable's values: Float, String, Boolean for a
    // "bool" representation, Integer for the other integers; an "enum" or
    // "flag" variable gets an enumeration (flags) type of its items, named
    // after the variable and registered once under a new GUID. FALSE when
    // the name is not bound.
    CKBOOL GetVariableParameterType(const char* name, CKGUID& guid);

    // The name's watcher hears of a read about to happen / a write done.
    void CallPreRead(const char* name);
    void CallPostWrite(const char* name);

    // A non-empty name loads the file at once.
    void SetConfigFile(const char* fileName);
    const char* GetConfigFile() const { return m_ConfigFile.CStr(); }
    // names: only those (null: every variable without READONLY). merge reads
    // the file first. A null fileName means the configuration file.
    CKBOOL SaveToFile(const char* fileName, const XArray<const char*>* names = nullptr, CKBOOL merge = FALSE);
    CKBOOL LoadFromFile(const char* fileName, const XArray<const char*>* names = nullptr);

private:
    void Register(const char* name, Variable* variable, CKDWORD flags);
    // GetValue and SetValue of a variable whose storage is a T of the type.
    template <class T>
    CKBOOL GetTyped(const char* name, int type, T* value);
    template <class T, class V>
    CKBOOL SetTyped(const char* name, int type, const V& value);

    VariableTable m_Variables;
    XHashTable<Watcher*, XString> m_Watchers;
    XHashTable<XString, XString> m_Pending;
    XHashTable<CKGUID, XString> m_RegisteredTypes;
    XString m_ConfigFile;
};

#pragma once

#include "core/context/CKVariableManager.h"
#include "core/parameter/CKParameterLocal.h"

// A local parameter whose value is an engine variable's storage (an int, a
// float or a string of the variable manager), typed by the variable. Reads
// tell the variable's watcher first, writes after; a read-only variable is
// never written. Unbound, or once its variable is unbound, it is a plain
// local.
class CKParameterVariable : public CKClass<CKParameterVariable, CKParameterLocal, CKCID_PARAMETERVARIABLE>
{
public:
    explicit CKParameterVariable(CKContext* context, const char* name = nullptr);

    // A "String" variable copies its text with the terminating zero, at most
    // GetDataSize bytes (the size the caller last learned; the text is cut
    // and terminated when it grew since), then the size becomes the text's.
    CKERROR GetValue(void* buffer, CKBOOL update = TRUE) override;
    CKERROR SetValue(const void* buffer, int size = 0) override;
    CKERROR CopyValue(CKParameter* source, CKBOOL updateSource = TRUE) override;
    void* GetReadDataPtr(CKBOOL update = TRUE) override;
    void* GetWriteDataPtr() override;
    CKERROR SetStringValue(const char* text) override;
    int GetStringValue(char* buffer, int bufferSize, CKBOOL update = TRUE) override;

    // -11 when no variable has the name, -1 when it has no parameter type;
    // the parameter takes the variable's type and its name.
    CKERROR BindToVariable(const char* name);
    // The bound variable, null when none (or when it was unbound since).
    CKVariableManager::Variable* GetBoundVariable();

    // Only the CKObject sections: the value is the variable's.
    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    // Then binds to the variable of the parameter's name.
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    CKERROR RemapDependencies(CKDependenciesContext& context) override;
    CKERROR Copy(CKObject& source, CKDependenciesContext& context) override;

    static void Register();
    static const char* GetClassName();

protected:
    // The value never lives in the object: it is the variable's.
    void CheckStorageClass(CKParameterTypeDesc* newType) override { (void) newType; }

private:
    CKVariableManager* Variables() const;
    bool IsString() const { return m_VariableType == CKVariableManager::STRING; }
    bool IsReadOnly() const { return (m_Variable->GetFlags() & CKVariableManager::READONLY) != 0; }
    void PreRead();
    void PostWrite();

    CKVariableManager::Variable* m_Variable = nullptr;
    XString m_VariableName;
    int m_VariableType = 0;
    // Inside a text conversion: the watcher hears once, from the outer call.
    CKBOOL m_Converting = FALSE;
};

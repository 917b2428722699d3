#pragma once

#include "core/object/CKObject.h"
#include "core/parameter/CKParameterManager.h"

class CKParameterIn;
class CKParameterOut;

// Identifiers of an operation's state chunk.
enum : CKDWORD
{
    CK_STATESAVE_OPERATIONINPUTS = 64, // without a file: inputs, each with its state
    CK_STATESAVE_OPERATIONOUTPUT = 128,
    CK_STATESAVE_OPERATIONOP = 256,
    CK_STATESAVE_OPERATIONOWNER = 512,
    CK_STATESAVE_OPERATIONNEWDATA = 1024, // in files: the GUID and the three parameters
};

// The profiling counter (CKContext::AddProfileTime) of parameter operations.
constexpr int CK_PROFILE_PARAMETEROPERATIONS = 11;

// A parameter operation: computes its output from up to two inputs with the
// function the parameter manager holds for the operation's GUID and the
// three parameters' types. The output computes itself when it is read with
// the update flag. The operation owns neither its parameters nor its
// function; its pins are named "Pin 0", "Pin 1" and "Pout 0", with one shared
// copy of each name.
class CKParameterOperation : public CKClass<CKParameterOperation, CKObject, CKCID_PARAMETEROPERATION>
{
public:
    explicit CKParameterOperation(CKContext* context, const char* name = nullptr);

    CKParameterIn* GetInParameter1() const { return m_In1; }
    CKParameterIn* GetInParameter2() const { return m_In2; }
    CKParameterOut* GetOutParameter() const { return m_Out; }
    CKObject* GetOwner() const { return m_Owner; }
    CKGUID GetOperationGuid() const { return m_OperationGuid; }
    void SetInParameter1(CKParameterIn* in) { m_In1 = in; }
    void SetInParameter2(CKParameterIn* in) { m_In2 = in; }
    void SetOutParameter(CKParameterOut* out) { m_Out = out; }
    void SetOwner(CKObject* owner) { m_Owner = owner; }
    void SetOperationGuid(CKGUID guid) { m_OperationGuid = guid; }

    // Names the operation after its registered operation (keeping its name
    // when none is registered), makes it the owner of its pins and names
    // them, and finds the function for the pins' types (a missing pin is
    // "None"), with the inputs exchanged when only that order has one. The
    // function, or null.
    CK_PARAMETEROPERATION Update();
    // 0 after the function ran (the output then pushes its value); without
    // a function the output copies input 1's source, and -24.
    CKERROR DoOperation();

    // Adds the three parameters.
    void PreSave(CKFile* file, CKDWORD flags) override;
    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    void PostLoad() override {}
    // Leaves the operation list of its owning behaviour.
    void PreDelete() override;
    // Forgets pins and an owner that are being deleted.
    void CheckPreDeletion() override;
    int GetMemoryOccupation() override;
    CKBOOL IsObjectUsed(CKObject* object, CK_CLASSID cid) override;
    CKERROR PrepareDependencies(CKDependenciesContext& context, CKBOOL caller = TRUE) override;
    CKERROR RemapDependencies(CKDependenciesContext& context) override;
    CKERROR Copy(CKObject& source, CKDependenciesContext& context) override;

    // GUIDs of older files: the current GUID of an operation.
    static CKGUID ReplaceOldGuid(CKGUID guid);

    static void Register();
    static const char* GetClassName();

private:
    CKParameterIn* m_In1 = nullptr;
    CKParameterIn* m_In2 = nullptr;
    CKParameterOut* m_Out = nullptr;
    CKObject* m_Owner = nullptr;
    CKGUID m_OperationGuid;
    CK_PARAMETEROPERATION m_Function = nullptr;
    CKBOOL m_Swapped = FALSE;
};

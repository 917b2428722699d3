#pragma once

#include <initializer_list>

#include "core/context/CKBaseManager.h"
#include "core/parameter/CKParameterTypeDesc.h"
#include "includes/XArray.h"
#include "includes/XHashTable.h"

class CKParameterIn;
class CKParameterOut;

// The function of a parameter operation: computes res from p1 and p2.
typedef void (*CK_PARAMETEROPERATION)(CKContext* context, CKParameterOut* res, CKParameterIn* p1, CKParameterIn* p2);

// One node of an operation's tree of type combinations. The three levels are
// keyed by the first input's type, the second input's and the output's; the
// children of a node are sorted by GUID (first word, then second, unsigned).
// Fct is set at the last level only.
struct CKOperationNode
{
    CKGUID Guid;
    int ChildCount = 0;
    CKOperationNode* Children = nullptr; // new[], exactly ChildCount
    CK_PARAMETEROPERATION Fct = nullptr;
};

// The node of guid among nodes[lo..hi], sorted by GUID, by bisection; null
// when it is not there (always when hi < lo).
CKOperationNode* CKFindOperationNode(CKOperationNode* nodes, int lo, int hi, CKGUID guid);

// The functions registered under one operation GUID.
struct CKOperationDesc
{
    char* Name = nullptr; // CKStrdup
    CKGUID Guid;
    int Count = 0;                    // first-level nodes
    CKOperationNode* Nodes = nullptr; // new[], exactly Count
    CKBOOL Valid = FALSE;
};

// The registry of parameter types: turns a type's GUID into its index and
// description, keeps the members of enumerations, flags and structures,
// answers derivation questions and holds the parameter operations. Type
// indices are given in registration order; a removed type leaves a free slot
// that the next registration takes. Files and plug-ins name types by GUID.
class CKParameterManager : public CKBaseManager
{
public:
    // Registers with the context, then registers the built-in types.
    explicit CKParameterManager(CKContext* context);
    ~CKParameterManager() override;

    // The enumeration and flags types declared by loaded files that the file
    // being saved uses (type flag CKPARAMETERTYPE_TOSAVE), for a program
    // without their declaring code; null when there is none.
    CKStateChunk* SaveData(CKFile* file) override;
    // Registers the declarations of a file, reconciling them with the types
    // already registered under the duplicate policy; each conflict is one
    // console line. 0.
    CKERROR LoadData(CKStateChunk* chunk, CKFile* file) override;

    // Registration. Results are 0 or an error code.

    // Copies the description into the table and writes its index into
    // desc->Index. -2 when the GUID is registered or when the parent chain
    // would lead back to the type; -1 for a null description or GUID. A type
    // registered without a copy callback gets the default one.
    CKERROR RegisterParameterType(CKParameterTypeDesc* desc);
    // Removes the type and every type derived from it; parameters of those
    // types lose their type. -1 when no type has the GUID.
    CKERROR UnRegisterParameterType(CKGUID guid);
    // An enumeration (flags) type of the members of text, derived from
    // Integer. -1 for a null name or text, -48 when the GUID is registered.
    CKERROR RegisterNewEnum(CKGUID guid, const char* name, const char* text);
    CKERROR RegisterNewFlags(CKGUID guid, const char* name, const char* text);
    // A structure of the members named by text (separated by ","), of the
    // types given in order (a missing one is the null GUID). -1 for a null
    // name or text, or for an empty text with the array form; -48 when the
    // GUID is registered.
    CKERROR RegisterNewStructure(CKGUID guid, const char* name, const char* text, const XArray<CKGUID>& members);
    CKERROR RegisterNewStructure(CKGUID guid, const char* name, const char* text,
                                 std::initializer_list<CKGUID> members);
    // Replaces the members of an enumeration (flags) type. -1 when no record
    // of that kind exists yet or the text is null; -48 when the GUID names
    // no type of that kind (or names type 0).
    CKERROR ChangeEnumDeclaration(CKGUID guid, const char* text);
    CKERROR ChangeFlagsDeclaration(CKGUID guid, const char* text);

    // Lookups; -1, null, the null GUID or 0 for anything not registered.

    // Slots of the type table, free ones included.
    int GetParameterTypesCount() const { return m_ParameterTypes.Size(); }
    CKParameterTypeDesc* GetParameterTypeDescriptionByIndex(int type) const;
    CKParameterTypeDesc* GetParameterTypeDescription(CKGUID guid) const;
    CKBOOL IsParameterTypeValid(int type) const { return GetParameterTypeDescriptionByIndex(type) != nullptr; }
    int ParameterGuidToType(CKGUID guid) const;
    // The first type of that name (byte comparison).
    int ParameterNameToType(const char* name) const;
    CKGUID ParameterNameToGuid(const char* name) const;
    CKGUID TypeToGuid(int type) const;
    const char* TypeToName(int type) const;
    CK_CLASSID TypeToClassID(int type) const;
    CK_CLASSID GuidToClassID(CKGUID guid) const;
    // The type of the GUID that stands for the class (CKGetClassTypeGuid).
    int ClassIDToType(CK_CLASSID cid) const;
    // Writes the type's parent GUID (null for a root type); TRUE when it is
    // not null. parent is left untouched for a GUID not registered.
    CKBOOL GetParentGuid(CKGUID guid, CKGUID& parent) const;
    // The member record of an enumeration, flags or structure type; null
    // for a type of another kind.
    CKEnumDesc* GetEnumDescByType(int type) const;
    CKFlagsDesc* GetFlagsDescByType(int type) const;
    CKStructDesc* GetStructDescByType(int type) const;
    // The definition text of the members ("A=0,B=1"); empty for a type
    // without such a record. 0.
    CKERROR GetEnumAsString(int type, XString& out) const;
    CKERROR GetFlagsAsString(int type, XString& out) const;

    // Derivation.

    // TRUE when a is b or b is an ancestor of a.
    CKBOOL IsDerivedFrom(int a, int b) const;
    void BuildDerivationMasks();
    // TRUE when either type derives from the other; FALSE when either index
    // has no type.
    CKBOOL IsTypeCompatible(int a, int b);

    // Rebuilds "Registered Parameter" from the visible types.
    void UpdateParameterEnum();
    CKBOOL IsParameterTypeEnumUpToDate() const { return m_ParameterTypeEnumUpToDate; }
    // Parameters and inputs of type oldGuid switch to newGuid. 0.
    CKERROR ChangeParametersGuid(CKGUID oldGuid, CKGUID newGuid);

    // Parameter operations.

    // Registers an operation under its GUID and name (copied); the code,
    // or the existing code when the GUID is registered, -1 for a null GUID.
    int RegisterOperationType(CKGUID guid, const char* name);
    // Registers the function for one combination of types (a missing input
    // is CKPGUID_NONE), replacing any function of the same combination. -4
    // when the operation is not registered, -1 for a null function.
    CKERROR RegisterOperationFunction(CKGUID operation, CKGUID output, CKGUID input1, CKGUID input2,
                                      CK_PARAMETEROPERATION fct);
    int OperationGuidToCode(CKGUID guid) const;
    int GetOperationsCount() const { return m_OperationTree.Size(); }
    // The record of a registered operation (its first field is the name).
    const CKOperationDesc* GetOperationDescription(CKGUID guid) const;
    // The function for the types; when none is registered for them, the
    // parents of the types are tried (parents of parents too). Null when
    // nothing matches.
    CK_PARAMETEROPERATION GetOperationFunction(CKGUID operation, CKGUID output, CKGUID input1, CKGUID input2) const;
    // -4 for a code out of range or an operation already removed.
    CKERROR UnRegisterOperationType(int code);
    void RemoveAllOperations();
    // Frees every node keyed by guid, with its subtree, from the nodes and
    // their descendants; the others keep their order.
    static void RemoveTypeFromOperationTree(int& count, CKOperationNode*& nodes, CKGUID guid);

    // The duplicate policy of user enumerations and flags read from files:
    // 0 keeps the registered type, 1 lets the file's declaration win.
    int GetDuplicatePolicy() const { return m_DuplicatePolicy; }

private:
    CKERROR RegisterNewMembers(CKGUID guid, const char* name, const char* text, CKBOOL flags);
    CKERROR ChangeMembers(CKGUID guid, const char* text, CKBOOL flags);
    CKERROR RegisterStructure(CKGUID guid, const char* name, const char* text, const CKGUID* members, int memberCount);
    CKBOOL WouldCloseCycle(CKGUID guid, CKGUID parent) const;
    CKPluginEntry* DeclaringPlugin() const;
    void RemoveAllParameterTypes();
    // The ids of every parameter and input of the context.
    XArray<CK_ID> ParameterIds() const;
    // Parameters and inputs of the type let go of it; TRUE when any did.
    CKBOOL ForgetType(CKParameterTypeDesc* removed);

    CKBOOL m_ParameterTypeEnumUpToDate = FALSE;
    XArray<CKParameterTypeDesc*> m_ParameterTypes; // owned; null for a free slot
    XArray<CKOperationDesc> m_OperationTree;       // indexed by operation code
    XHashTable<int, CKGUID> m_ParameterGuids;
    XHashTable<int, CKGUID> m_OperationGuids;
    CKBOOL m_DerivationMasksUpToDate = FALSE;
    XArray<CKFlagsDesc> m_Flags;
    XArray<CKStructDesc> m_Structs;
    XArray<CKEnumDesc> m_Enums;
    int m_DuplicatePolicy = 0;
};

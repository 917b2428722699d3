#pragma once

#include "core/context/CKDefines.h"
#include "core/context/CKPluginInfo.h"
#include "includes/XArray.h"
#include "includes/XString.h"

class CKBehaviorPrototype;
struct CKPluginEntry;

// Makes a declaration's prototype into *out; 0 on success.
typedef CKERROR (*CKDLL_CREATEPROTOFUNCTION)(CKBehaviorPrototype** out);

// Kinds of object declarations; building blocks are the only kind the
// declaration table keeps.
enum : int
{
    CKDLL_BEHAVIORPROTOTYPE = 4,
};

// The description of one building block that a component declares: its
// GUID, what it applies to, who wrote it, where editors list it, the
// managers it needs and the function that makes its prototype. Entered in
// the process-wide declaration table by the plug-in manager; the table owns
// it and the prototype made from it.
class CKObjectDeclaration
{
public:
    explicit CKObjectDeclaration(const char* name);
    // Deletes the prototype made from it.
    virtual ~CKObjectDeclaration();
    CKObjectDeclaration(const CKObjectDeclaration&) = delete;
    CKObjectDeclaration& operator=(const CKObjectDeclaration&) = delete;

    void SetGuid(CKGUID guid) { m_Guid = guid; }
    CKGUID GetGuid() const { return m_Guid; }
    void SetCompatibleClassId(CK_CLASSID cid) { m_CompatibleClassID = cid; }
    CK_CLASSID GetCompatibleClassId() const { return m_CompatibleClassID; }
    void SetCreationFunction(CKDLL_CREATEPROTOFUNCTION function) { m_CreationFunction = function; }
    CKDLL_CREATEPROTOFUNCTION GetCreationFunction() const { return m_CreationFunction; }
    // -1 until set.
    void SetVersion(CKDWORD version) { m_Version = version; }
    CKDWORD GetVersion() const { return m_Version; }
    void SetDescription(const char* text) { m_Description = text; }
    const char* GetDescription() const { return m_Description.CStr(); }
    void SetType(int type) { m_Type = type; }
    int GetType() const { return m_Type; }
    void SetAuthorGuid(CKGUID guid) { m_AuthorGuid = guid; }
    CKGUID GetAuthorGuid() const { return m_AuthorGuid; }
    void SetAuthorName(const char* name) { m_AuthorName = name; }
    const char* GetAuthorName() const { return m_AuthorName.CStr(); }
    // A path such as "Mesh Modifications/Blend shapes".
    void SetCategory(const char* category) { m_Category = category; }
    const char* GetCategory() const { return m_Category.CStr(); }
    void SetName(const char* name) { m_Name = name; }
    const char* GetName() const { return m_Name.CStr(); }
    // The managers a behaviour of the block needs.
    void NeedManager(CKGUID manager) { m_ManagersGuid.AddIfNotHere(manager); }
    const XArray<CKGUID>& GetManagers() const { return m_ManagersGuid; }
    // Index of the declaring component among the building-block components.
    void SetPluginIndex(int index) { m_PluginIndex = index; }
    int GetPluginIndex() const { return m_PluginIndex; }
    CKBehaviorPrototype* GetPrototype() const { return m_Prototype; }
    void SetPrototype(CKBehaviorPrototype* prototype) { m_Prototype = prototype; }

    // Takes the contents another declaration of the same block brings (an
    // upgrade): texts, name, category and managers.
    void TakeContents(const CKObjectDeclaration& newer);

private:
    CKGUID m_Guid;
    CK_CLASSID m_CompatibleClassID = CKCID_OBJECT;
    CKDLL_CREATEPROTOFUNCTION m_CreationFunction = nullptr;
    CKDWORD m_Version = 0xFFFFFFFF;
    XString m_Description;
    int m_Type = CKDLL_BEHAVIORPROTOTYPE;
    CKGUID m_AuthorGuid;
    XString m_AuthorName;
    XString m_Category;
    XString m_Name;
    XArray<CKGUID> m_ManagersGuid;
    int m_PluginIndex = 0;
    CKBehaviorPrototype* m_Prototype = nullptr;
};

// A new declaration with that name; null when memory runs out.
CKObjectDeclaration* CKCreateObjectDeclaration(const char* name);
// A new prototype with that name; null when memory runs out.
CKBehaviorPrototype* CKCreateBehaviorPrototype(const char* name);
// The declaration registered under the GUID; null when none.
CKObjectDeclaration* CKGetObjectDeclarationFromGuid(CKGUID guid);
// The prototype of the declaration registered under the GUID, made on first
// use; null when there is no such declaration or its creation fails.
CKBehaviorPrototype* CKFindPrototypeByGuid(CKGUID guid);
// Enters the declarations that a building-block component lists into the
// declaration table (its GUIDs go into the entry's list). A declaration
// whose GUID is taken upgrades the registered one when both have the same
// name and it is newer; it is deleted in every case, as is one that
// declares no building block.
void CKRegisterObjectDeclarations(CKPluginEntry* entry, CKDeclarationListFunction list);
// Deletes every declaration and its prototype (shut-down).
void CKRemoveAllObjectDeclarations();

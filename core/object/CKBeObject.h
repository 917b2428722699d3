#pragma once

#include "core/object/CKSceneObject.h"
#include "core/object/XObjectPointerArray.h"
#include "includes/XArray.h"
#include "includes/XBitArray.h"
#include "includes/XHashTable.h"

class CKMessage;
class CKParameter;
struct CKFileObjectRecord;

// Chunk identifiers of a behavioural object's sections.
enum : CKDWORD
{
    CK_STATESAVE_SCRIPTS_OLD = 0x100, // scripts, data versions below 5
    CK_STATESAVE_SCRIPTS = 0x800,
    CK_STATESAVE_PRIORITY = 0x40,
    CK_STATESAVE_ATTRIBUTES_OLD = 0x10, // attributes by name
    CK_STATESAVE_ATTRIBUTES = 0x11,
    CK_STATESAVE_SCENEFLAGS = 0x400,
};

// Marks, in the priority section, that the priority word follows.
constexpr CKDWORD CK_BEOBJECT_PRIORITYFOLLOWS = 0x10000000;

// One attribute of an object: its type and the id of its parameter (0 for
// none).
struct CKAttributeVal
{
    int AttribType;
    CK_ID Parameter;
};

// An object that can carry scripts (behaviours applied to it), attributes,
// membership in groups, a processing priority and received messages. The
// operations that reach behaviours, attribute types, scenes, groups and
// messages go through CKBeObjectLinks.
class CKBeObject : public CKClass<CKBeObject, CKSceneObject, CKCID_BEOBJECT>
{
public:
    static constexpr int MinPriority = -32000;
    static constexpr int MaxPriority = 32000;

    explicit CKBeObject(CKContext* context, const char* name = nullptr);
    ~CKBeObject() override;

    // Flags 0x800: the scripts are saved with the object; 0x10: the
    // parameters of the saved attributes too.
    void PreSave(CKFile* file, CKDWORD flags) override;
    // The CKObject sections, then scripts (0x800), priority (0x40),
    // attributes (0x11) and the scene flags (0x400).
    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    // -1 for a null chunk.
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    // Runs the removal of every attribute and empties the table (the
    // parameters go with the object's dependencies).
    void PreDelete() override;
    int GetMemoryOccupation() override;
    // True for class 8 when the object is one of the scripts.
    CKBOOL IsObjectUsed(CKObject* object, CK_CLASSID cid) override;
    CKERROR PrepareDependencies(CKDependenciesContext& context, CKBOOL caller = TRUE) override;
    CKERROR RemapDependencies(CKDependenciesContext& context) override;
    CKERROR Copy(CKObject& source, CKDependenciesContext& context) override;
    void AddToScene(CKScene* scene, CKBOOL dependencies = TRUE) override;
    void RemoveFromScene(CKScene* scene, CKBOOL dependencies = TRUE) override;
    // After loading: removes the scripts that lack the script flag (the
    // loaded file is then obsolete).
    virtual void PatchAfterLoad(int count, CKFileObjectRecord* records);

    // Scripts (behaviours, class 8 and derived).
    int GetScriptCount() const { return m_ScriptArray ? m_ScriptArray->Size() : 0; }
    // Null outside the list.
    CKObject* GetScript(int index) const { return m_ScriptArray ? m_ScriptArray->GetObject(index) : nullptr; }
    // 0 on success; -1 for null, -17 when already a script, -52 when it is
    // no behaviour or does not apply to this class, -6 without memory, or the
    // error of giving the behaviour its new owner.
    CKERROR AddScript(CKObject* behavior);
    // Takes the behaviour out of the scripts; nothing when absent.
    void RemoveScript(CKObject* behavior)
    {
        if (m_ScriptArray)
            m_ScriptArray->Remove(behavior);
    }
    // Takes the scripts with the script flag out of this object's scenes and
    // frees the list.
    void RemoveAllScripts();
    // The other object joins (leaves) every scene that holds this one.
    void AddObjectToOwnScenes(CKObject* object);
    void RemoveObjectFromOwnScenes(CKObject* object);
    // Makes this object the owner of its scripts and attribute parameters.
    void ApplyOwner();

    // Priority, in [-32000, 32000].
    int GetPriority() const { return m_Priority; }
    // Clamps; re-sorts the current scene's objects when this one is in it.
    void SetPriority(int priority);

    // Attributes.
    // True when added: the type is not negative, not present and applies to
    // this class. A type with a parameter type gets the given parameter, or
    // a new one when the id names no object.
    CKBOOL SetAttribute(int type, CK_ID parameter = 0);
    // False when absent; else runs the removal, drops the entry and destroys
    // the parameter.
    CKBOOL RemoveAttribute(int type);
    void RemoveAllAttributes();
    CKBOOL HasAttribute(int type) const { return m_Attributes && m_Attributes->IsHere(type); }
    // Null when absent or without parameter.
    CKParameter* GetAttributeParameter(int type) const;
    int GetAttributeCount() const { return m_Attributes ? m_Attributes->Size() : 0; }
    // The type of the index-th attribute in table order; -1 outside.
    int GetAttributeType(int index) const;
    // The (type, parameter) pairs in table order.
    void GetAttributeList(XArray<CKAttributeVal>& out) const;

    // Groups: the bit of the group's index.
    CKBOOL IsInGroup(CKObject* group) const;
    CKBOOL IsInGroupIndex(int index) const { return m_Groups.IsSet(index); }
    void SetGroupIndex(int index, CKBOOL member)
    {
        if (member)
            m_Groups.Set(index);
        else
            m_Groups.Unset(index);
    }

    // Messages: -1 for null, -6 without memory; a message already received
    // is not added again; an added one gains a reference.
    CKERROR AddReceivedMessage(CKMessage* message);
    void RemoveAllReceivedMessages();
    int GetReceivedMessageCount() const { return m_LastFrameMessages ? m_LastFrameMessages->Size() : 0; }
    CKBOOL IsWaitingForMessages() const { return m_WaitForMessages > 0; }
    void SetWaitingForMessages(int count) { m_WaitForMessages = (short) count; }

    static void Register();
    static const char* GetClassName();
    static const char* GetDependencies(int index, int mode);
    static int GetDependenciesCount(int mode);

protected:
    // The attribute types saved with the object (types flagged not to be
    // saved are left out), in table order.
    void GetSavedAttributes(XArray<CKAttributeVal>& out) const;
    void LoadScripts(CKStateChunk* chunk, CKFile* file, CKDWORD identifier);
    void LoadAttributes(CKStateChunk* chunk, CKFile* file);
    void LoadOldAttributes(CKStateChunk* chunk, CKFile* file);
    // The parameter of that id; null when none or no parameter.
    CKParameter* AttributeParameterObject(CK_ID id) const;

    XBitArray m_Groups;
    float m_ExecutionTime = 0.0f;
    XObjectPointerArray* m_ScriptArray = nullptr;
    XArray<CKMessage*>* m_LastFrameMessages = nullptr;
    short m_WaitForMessages = 0;
    short m_Priority = 0;
    XHashTable<CK_ID, int>* m_Attributes = nullptr; // type -> parameter id
};

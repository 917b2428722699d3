#pragma once

#include "core/object/CKBeObject.h"
#include "core/object/XObjectPointerArray.h"

// Chunk identifiers of a group's sections.
enum : CKDWORD
{
    CK_STATESAVE_GROUPALL = 0xFFFFF,        // the members
    CK_STATESAVE_GROUPFLAG80000 = 0x100000, // object flag 0x80000, with nothing behind it
};

// A named, ordered set of behavioural objects (a named selection of the
// modelling host). Membership is kept twice, in step: the member array and
// the group's bit (its group index) in each member's group set. A group may
// hold groups, but never one that holds it, at any depth.
class CKGroup : public CKClass<CKGroup, CKBeObject, CKCID_GROUP>
{
public:
    explicit CKGroup(CKContext* context, const char* name = nullptr);
    // Gives the group index back (the members' bits go in PreDelete).
    ~CKGroup() override;

    // Shows or hides the group and, with the same option, every member.
    void Show(CKDWORD show = CKSHOW) override;
    // A group can be hidden, but not hierarchically.
    CKBOOL CanBeHidden() override { return TRUE; }
    void PreSave(CKFile* file, CKDWORD flags) override;
    // CKBeObject's sections, then the members (0xFFFFF) when some of the
    // low 20 save flags are set.
    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    // -1 for a null chunk. Without a file the members take their bits at
    // once; with one, PostLoad does.
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    // Drops members that are no behavioural objects or that would close a
    // ring, and gives the others their bits.
    void PostLoad() override;
    void PreDelete() override;
    void CheckPreDeletion() override;
    int GetMemoryOccupation() override;
    CKBOOL IsObjectUsed(CKObject* object, CK_CLASSID cid) override;
    CKERROR PrepareDependencies(CKDependenciesContext& context, CKBOOL caller = TRUE) override;
    CKERROR RemapDependencies(CKDependenciesContext& context) override;
    CKERROR Copy(CKObject& source, CKDependenciesContext& context) override;
    void AddToScene(CKScene* scene, CKBOOL dependencies = TRUE) override;
    void RemoveFromScene(CKScene* scene, CKBOOL dependencies = TRUE) override;

    // -1 for null, the group itself, an object that is no behavioural object
    // and a group that holds this one at any depth; -17 when it is a member
    // already; else appended, 0.
    CKERROR AddObject(CKBeObject* object);
    // Null past the end.
    CKBeObject* GetObject(int index) const;
    int GetObjectCount() const { return m_ObjectArray.Size(); }
    // Takes every member out.
    void Clear();

    // The bit of this group in members' group sets.
    int GetGroupIndex() const { return m_GroupIndex; }
    // The members' class id as cached (19 until something computes it) and
    // whether it is up to date.
    CK_CLASSID GetCommonClassID() const { return m_CommonClassId; }
    CKBOOL IsCommonClassIDValid() const { return m_ClassIdUpdated; }

    static void Register();
    static const char* GetClassName();
    static const char* GetDependencies(int index, int mode);
    static int GetDependenciesCount(int mode);

private:
    // True when this group holds the object, directly or through groups it
    // holds.
    bool Contains(CKObject* object) const;
    // Keeps the members that may be members (behavioural objects that close
    // no ring) and gives them their bits.
    void SettleMembers();

    XObjectPointerArray m_ObjectArray;
    CK_CLASSID m_CommonClassId = CKCID_BEOBJECT;
    CKBOOL m_ClassIdUpdated = FALSE;
    int m_GroupIndex = -1;
    // Set while Show or a scene change walks the members, so that a ring a
    // file brings before PostLoad cannot loop.
    bool m_Walking = false;
};

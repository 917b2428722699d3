#pragma once

#include "core/behavior/CKBehaviorPrototype.h"
#include "core/object/CKObject.h"
#include "core/object/XObjectPointerArray.h"

class CKBehavior;
class CKBehaviorLink;

// Object flags of an IO: its kind and its state. CKBEHAVIORIO_IN (0x10000000)
// and CKBEHAVIORIO_OUT (0x20000000): CKBehaviorPrototype.h.
enum : CKDWORD
{
    CKBEHAVIORIO_ACTIVE = 0x40000000,
    CKBEHAVIORIO_FLAGSMASK = 0xF0000000, // what a copy takes from its source
};

// Chunk identifier of an IO's kind word (1 input, 2 output, + 0x100 active).
constexpr CKDWORD CK_STATESAVE_BEHAVIORIOFLAGS = 8;

// One input or output plug of a behaviour. It keeps the links that start at
// it; its kind and active state live in the object flags.
class CKBehaviorIO : public CKClass<CKBehaviorIO, CKObject, CKCID_BEHAVIORIO>
{
public:
    explicit CKBehaviorIO(CKContext* context, const char* name = nullptr);

    void Activate(CKBOOL on = TRUE);
    CKBOOL IsActive() const { return (m_ObjectFlags & CKBEHAVIORIO_ACTIVE) != 0; }
    // CKBEHAVIORIO_IN or CKBEHAVIORIO_OUT (or both, or neither).
    CKDWORD GetType() const { return m_ObjectFlags & (CKBEHAVIORIO_IN | CKBEHAVIORIO_OUT); }
    void SetType(CKDWORD type);
    CKBehavior* GetOwner() const { return m_Owner; }
    void SetOwner(CKBehavior* owner) { m_Owner = owner; }

    // The links whose input end is this IO.
    int GetLinkCount() const { return m_Links.Size(); }
    CKBehaviorLink* GetLink(int n) const;
    // Once.
    void AddLink(CKBehaviorLink* link);
    void RemoveLink(CKBehaviorLink* link);
    // With two links or more, those leading to another behaviour than the
    // owner move to the front (each exchanged with the first place not yet
    // taken by one), so links back into the owner come last.
    void SortLinks();

    // The kind word (identifier 8), in files or with save flags 0xF0.
    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    // Leaves the owner's lists; links of the owner's graph and of its
    // parent's graph forget it as an end.
    void PreDelete() override;
    // Forgets an owner and links that are being deleted.
    void CheckPreDeletion() override;
    int GetMemoryOccupation() override { return CKObject::GetMemoryOccupation() + 12; }
    CKERROR RemapDependencies(CKDependenciesContext& context) override;
    CKERROR Copy(CKObject& source, CKDependenciesContext& context) override;

    static void Register();
    static const char* GetClassName();

private:
    XObjectPointerArray m_Links;
    CKBehavior* m_Owner = nullptr;
};

#pragma once

#include "includes/CKTypes.h"
#include "platform/PlatformTableMemory.h"

// The object manager's index from (name, class) to the ids of the objects
// with that name in that exact class: an open-addressed table of (hash, id)
// pairs, probed linearly, at most half full. It only narrows a search: the
// caller compares the names and classes of the candidates it is given. A
// removal names the hash the id was added under. The whole 32-bit hash kept
// in each slot refuses a wrong candidate without reading its object. Large
// tables lie on huge pages where the system grants them: a lookup at a
// random place then costs one cache miss without a page-table walk.
class CKObjectNameIndex
{
public:
    // Mixes every character and the class, so that names differing in one
    // digit land apart.
    static CKDWORD Hash(const char* name, CK_CLASSID cid);

    int Size() const { return m_Count; }
    // Room for count entries without growing.
    void Reserve(int count);
    void Insert(CKDWORD hash, CK_ID id);
    // Nothing when the pair is absent.
    void Remove(CKDWORD hash, CK_ID id);
    // Empties the table and frees its storage.
    void Clear();
    // Starts bringing the slot a lookup or an insertion of hash begins at
    // into the cache, so that its miss overlaps other work.
    void Prefetch(CKDWORD hash) const
    {
        if (m_SlotCount)
            __builtin_prefetch(Slots() + (hash & (CKDWORD) (m_SlotCount - 1)));
    }
    int SlotCount() const { return m_SlotCount; }
    bool OnHugePages() const { return m_Storage.HugePagesAdvised(); }

    // Calls visit(id) for each id added under hash (and, rarely, for ids of
    // another hash that shares its slot chain: they fail the caller's test).
    template <class F>
    void ForEach(CKDWORD hash, F&& visit) const
    {
        if (m_Count == 0)
            return;
        const CKDWORD mask = (CKDWORD) m_SlotCount - 1;
        const Slot* slots = Slots();
        for (CKDWORD i = hash & mask;; i = (i + 1) & mask) {
            const Slot& slot = slots[i];
            if (slot.m_ID == 0)
                return;
            if (slot.m_Hash == hash)
                visit(slot.m_ID);
        }
    }

private:
    struct Slot
    {
        CKDWORD m_Hash;
        CK_ID m_ID; // 0: empty
    };
    Slot* Slots() const { return static_cast<Slot*>(m_Storage.Data()); }
    void Rehash(int slots);
    void Place(CKDWORD hash, CK_ID id);

    PlatformTableMemory m_Storage; // m_SlotCount slots, a power of two
    int m_SlotCount = 0;
    int m_Count = 0;
};

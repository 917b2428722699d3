#pragma once

#include "includes/CKTypes.h"
#include "includes/XArray.h"

// Counts per object id, in open addressing over a power-of-two number of
// slots (8 at first). A key's home slot is key & (slots - 1); probing goes
// forward one slot at a time, wrapping. A slot is free, used or deleted.
// Lookups pass over deleted slots, and an insertion takes the first deleted
// slot it passed only once the key is known to be absent, so a key is never
// in two slots. When the slots ever filled (used or deleted) reach 3/4 of
// the slot count, the table doubles and the used entries go in again.
class CKActiveObjectTable
{
public:
    CKActiveObjectTable() { Reset(kInitialSlots); }

    // Adds delta to the key's count, inserting (key, delta) when absent.
    void Add(CK_ID key, int delta);
    // Null when absent.
    const int* Find(CK_ID key) const;
    // Marks the key's slot deleted; false when absent.
    bool Erase(CK_ID key);
    // Every slot free, counters zero; the slot count stays.
    void Clear();

    int GetSlotCount() const { return m_Slots.Size(); }
    int GetUsedCount() const { return m_Used; }
    int GetFilledCount() const { return m_Filled; }
    // The key of a used slot, 0 for others; for walks over the slots.
    CK_ID GetUsedKey(int slot) const;

private:
    enum : CKBYTE
    {
        kFree = 0,
        kUsed = 1,
        kDeleted = 2,
    };
    struct Slot
    {
        CK_ID Key;
        int Count;
        CKBYTE State;
    };
    static constexpr int kInitialSlots = 8;

    void Reset(int slots);
    // The slot holding the key, -1 when absent; firstFree receives the first
    // deleted or free slot of the probe.
    int Probe(CK_ID key, int* firstFree) const;
    void Grow();

    XArray<Slot> m_Slots;
    int m_Used = 0;
    int m_Filled = 0;
};

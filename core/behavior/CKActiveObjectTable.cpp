#include "core/behavior/CKActiveObjectTable.h"

void CKActiveObjectTable::Reset(int slots)
{
    m_Slots.Resize(slots);
    for (Slot& slot : m_Slots)
        slot = Slot{0, 0, kFree};
    m_Used = 0;
    m_Filled = 0;
}

int CKActiveObjectTable::Probe(CK_ID key, int* firstFree) const
{
    const int n = m_Slots.Size();
    const int mask = n - 1;
    int candidate = -1;
    // The table always keeps a free slot, so the walk ends within n steps.
    for (int i = 0, s = (int) (key & (CK_ID) mask); i < n; ++i, s = (s + 1) & mask) {
        const Slot& slot = m_Slots[s];
        if (slot.State == kUsed) {
            if (slot.Key == key)
                return s;
            continue;
        }
        if (candidate < 0)
            candidate = s;
        if (slot.State == kFree)
            break;
    }
    if (firstFree)
        *firstFree = candidate;
    return -1;
}

const int* CKActiveObjectTable::Find(CK_ID key) const
{
    int s = Probe(key, nullptr);
    return s >= 0 ? &m_Slots[s].Count : nullptr;
}

void CKActiveObjectTable::Add(CK_ID key, int delta)
{
    int place = -1;
    int s = Probe(key, &place);
    if (s >= 0) {
        m_Slots[s].Count += delta;
        return;
    }
    Slot& slot = m_Slots[place];
    if (slot.State == kFree)
        ++m_Filled;
    slot = Slot{key, delta, kUsed};
    ++m_Used;
    if (m_Filled >= m_Slots.Size() * 3 / 4)
        Grow();
}

bool CKActiveObjectTable::Erase(CK_ID key)
{
    int s = Probe(key, nullptr);
    if (s < 0)
        return false;
    m_Slots[s].State = kDeleted;
    --m_Used;
    return true;
}

void CKActiveObjectTable::Clear()
{
    Reset(m_Slots.Size());
}

CK_ID CKActiveObjectTable::GetUsedKey(int slot) const
{
    return slot >= 0 && slot < m_Slots.Size() && m_Slots[slot].State == kUsed ? m_Slots[slot].Key : 0;
}

void CKActiveObjectTable::Grow()
{
    XArray<Slot> old;
    old.Swap(m_Slots);
    Reset(old.Size() * 2);
    for (const Slot& slot : old)
        if (slot.State == kUsed)
            Add(slot.Key, slot.Count);
}

#include "core/object/CKObjectNameIndex.h"

#include <cstdint>
#include <cstring>

namespace {
constexpr int kFirstSlots = 64;
}

CKDWORD CKObjectNameIndex::Hash(const char* name, CK_CLASSID cid)
{
    // Eight bytes a step, each step multiplied through, the class folded in
    // first and a final avalanche, so that the low bits the table keeps
    // depend on every character. Only this process sees the values: the
    // byte order of the loads does not matter.
    const size_t length = std::strlen(name);
    uint64_t h = 0x9E3779B97F4A7C15ull ^ ((uint64_t) (CKDWORD) cid * 0xC2B2AE3D27D4EB4Full) ^ length;
    const char* p = name;
    for (size_t left = length; left > 0;) {
        uint64_t word = 0;
        const size_t n = left < 8 ? left : 8;
        std::memcpy(&word, p, n);
        p += n;
        left -= n;
        h = (h ^ word) * 0xFF51AFD7ED558CCDull;
        h ^= h >> 29;
    }
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 33;
    return (CKDWORD) h;
}

void CKObjectNameIndex::Reserve(int count)
{
    int slots = m_Slots.Size() ? m_Slots.Size() : kFirstSlots;
    while (slots < 2 * count)
        slots *= 2;
    if (slots != m_Slots.Size())
        Rehash(slots);
}

void CKObjectNameIndex::Place(CKDWORD hash, CK_ID id)
{
    const CKDWORD mask = (CKDWORD) m_Slots.Size() - 1;
    Slot* slots = m_Slots.Begin();
    CKDWORD i = hash & mask;
    while (slots[i].m_ID != 0)
        i = (i + 1) & mask;
    slots[i].m_Hash = hash;
    slots[i].m_ID = id;
}

void CKObjectNameIndex::Rehash(int count)
{
    XArray<Slot> old;
    old.Swap(m_Slots);
    m_Slots.Resize(count);
    std::memset((void*) m_Slots.Begin(), 0, sizeof(Slot) * (size_t) count);
    for (const Slot& slot : old)
        if (slot.m_ID != 0)
            Place(slot.m_Hash, slot.m_ID);
}

void CKObjectNameIndex::Insert(CKDWORD hash, CK_ID id)
{
    if (id == 0)
        return;
    if (2 * (m_Count + 1) > m_Slots.Size())
        Rehash(m_Slots.Size() ? 2 * m_Slots.Size() : kFirstSlots);
    Place(hash, id);
    ++m_Count;
}

void CKObjectNameIndex::Remove(CKDWORD hash, CK_ID id)
{
    if (m_Count == 0 || id == 0)
        return;
    const CKDWORD mask = (CKDWORD) m_Slots.Size() - 1;
    Slot* slots = m_Slots.Begin();
    CKDWORD i = hash & mask;
    while (slots[i].m_ID != id || slots[i].m_Hash != hash) {
        if (slots[i].m_ID == 0)
            return;
        i = (i + 1) & mask;
    }
    // Backward shift: each later entry of the run moves into the hole when
    // its home slot does not lie between the hole and itself.
    CKDWORD hole = i;
    for (CKDWORD j = (hole + 1) & mask; slots[j].m_ID != 0; j = (j + 1) & mask) {
        CKDWORD home = slots[j].m_Hash & mask;
        bool stays = hole <= j ? (home > hole && home <= j) : (home > hole || home <= j);
        if (stays)
            continue;
        slots[hole] = slots[j];
        hole = j;
    }
    slots[hole].m_ID = 0;
    --m_Count;
}

void CKObjectNameIndex::Clear()
{
    m_Slots.Free();
    m_Count = 0;
}

#include "core/object/CKObjectNameIndex.h"

#include <cstdint>
#include <cstring>
#include <new>

namespace {
constexpr int kFirstSlots = 64;

uint64_t Mix(uint64_t h, uint64_t word)
{
    h = (h ^ word) * 0xFF51AFD7ED558CCDull;
    return h ^ (h >> 29);
}
} // namespace

CKDWORD CKObjectNameIndex::Hash(const char* name, CK_CLASSID cid)
{
    // Eight bytes a step, each step multiplied through, the class folded in
    // first and a final avalanche, so that the low bits the table keeps
    // depend on every character. Only this process sees the values: the
    // byte order of the loads does not matter. Whole words are read at once
    // and only the last few bytes one by one.
    const size_t length = std::strlen(name);
    uint64_t h = 0x9E3779B97F4A7C15ull ^ ((uint64_t) (CKDWORD) cid * 0xC2B2AE3D27D4EB4Full) ^ length;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(name);
    size_t left = length;
    for (; left >= 8; left -= 8, p += 8) {
        uint64_t word;
        std::memcpy(&word, p, 8);
        h = Mix(h, word);
    }
    if (left > 0) {
        uint64_t word = 0;
        for (size_t k = 0; k < left; ++k)
            word |= (uint64_t) p[k] << (8 * k);
        h = Mix(h, word);
    }
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 33;
    return (CKDWORD) h;
}

void CKObjectNameIndex::Reserve(int count)
{
    int slots = m_SlotCount ? m_SlotCount : kFirstSlots;
    while (slots < 2 * count)
        slots *= 2;
    if (slots != m_SlotCount)
        Rehash(slots);
}

void CKObjectNameIndex::Place(CKDWORD hash, CK_ID id)
{
    const CKDWORD mask = (CKDWORD) m_SlotCount - 1;
    Slot* slots = Slots();
    CKDWORD i = hash & mask;
    while (slots[i].m_ID != 0)
        i = (i + 1) & mask;
    slots[i].m_Hash = hash;
    slots[i].m_ID = id;
}

void CKObjectNameIndex::Rehash(int count)
{
    // The old slots are read in order and, the table doubling, land near
    // their old place or near it plus the old size: two sequential streams,
    // not a scatter over the new table.
    PlatformTableMemory old;
    old.Swap(m_Storage);
    const int oldCount = m_SlotCount;
    if (!m_Storage.Allocate(sizeof(Slot) * (size_t) count)) {
        m_Storage.Swap(old);
        throw std::bad_alloc();
    }
    m_SlotCount = count;
    const Slot* from = static_cast<const Slot*>(old.Data());
    for (int i = 0; i < oldCount; ++i)
        if (from[i].m_ID != 0)
            Place(from[i].m_Hash, from[i].m_ID);
}

void CKObjectNameIndex::Insert(CKDWORD hash, CK_ID id)
{
    if (id == 0)
        return;
    if (2 * (m_Count + 1) > m_SlotCount)
        Rehash(m_SlotCount ? 2 * m_SlotCount : kFirstSlots);
    Place(hash, id);
    ++m_Count;
}

void CKObjectNameIndex::Remove(CKDWORD hash, CK_ID id)
{
    if (m_Count == 0 || id == 0)
        return;
    const CKDWORD mask = (CKDWORD) m_SlotCount - 1;
    Slot* slots = Slots();
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
    m_Storage.Free();
    m_SlotCount = 0;
    m_Count = 0;
}

#pragma once

#include <cstddef>

// Zero-filled storage for a table read at random places. From 2 MB on it is
// mapped on a 2 MB boundary and the system is asked to back it with huge
// pages, so that a random read costs one cache miss rather than a cache miss
// and a page-table walk. Where the system refuses the advice the mapping is
// used as it is; where it refuses the mapping the storage comes from the
// heap. Smaller tables always come from the heap.
class PlatformTableMemory
{
public:
    static constexpr size_t kHugePage = size_t(2) << 20;

    PlatformTableMemory() = default;
    ~PlatformTableMemory() { Free(); }
    PlatformTableMemory(const PlatformTableMemory&) = delete;
    PlatformTableMemory& operator=(const PlatformTableMemory&) = delete;

    // Replaces the storage with bytes zero bytes. False, with no storage,
    // when there is no memory for them (or bytes is 0).
    bool Allocate(size_t bytes);
    void Free();
    void Swap(PlatformTableMemory& other);

    void* Data() const { return m_Data; }
    size_t Size() const { return m_Size; }
    // Whether the storage is a mapping the system accepted the huge-page
    // advice for (it may still back parts of it with small pages).
    bool HugePagesAdvised() const { return m_Advised; }

private:
    void* m_Data = nullptr;
    size_t m_Size = 0;
    size_t m_Mapped = 0; // the length of the mapping; 0 for heap storage
    bool m_Advised = false;
};

// Storage for growable arrays of many megabytes (XArray from
// kPlatformMappedArrayBytes on): a mapping of whole huge pages on a huge-page
// boundary, offered huge pages (so that its first touch costs a fault per
// 2 MB, not per 4 KB), and grown by moving its pages rather than copying its
// bytes, so that doubling an array of millions of elements costs no more per
// element than doubling one of thousands. Sizes are in bytes, as asked;
// the mapping holds them rounded up to whole huge pages. Fresh bytes read as
// zeros. Null when the system refuses (the old mapping then stays as it was).
constexpr size_t kPlatformMappedArrayBytes = size_t(4) << 20;
void* PlatformMapArray(size_t bytes);
// newBytes >= oldBytes, oldBytes as given when the block was mapped or
// last remapped.
void* PlatformRemapArray(void* block, size_t oldBytes, size_t newBytes);
void PlatformUnmapArray(void* block, size_t bytes);

// Stands in for the system's huge-page advice in tests: returns 0 when
// accepted, else -1. Null restores the system's. Returns the previous hook.
using PlatformHugePageAdviceHook = int (*)(void* address, size_t length);
PlatformHugePageAdviceHook PlatformSetHugePageAdviceHook(PlatformHugePageAdviceHook hook);

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

// Stands in for the system's huge-page advice in tests: returns 0 when
// accepted, else -1. Null restores the system's. Returns the previous hook.
using PlatformHugePageAdviceHook = int (*)(void* address, size_t length);
PlatformHugePageAdviceHook PlatformSetHugePageAdviceHook(PlatformHugePageAdviceHook hook);

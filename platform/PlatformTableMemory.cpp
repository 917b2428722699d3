#include "platform/PlatformTableMemory.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>
#include <utility>

namespace {

std::atomic<PlatformHugePageAdviceHook> g_AdviceHook{nullptr};

int Advise(void* address, size_t length)
{
    if (PlatformHugePageAdviceHook hook = g_AdviceHook.load())
        return hook(address, length);
#ifdef MADV_HUGEPAGE
    return ::madvise(address, length, MADV_HUGEPAGE);
#else
    return -1;
#endif
}

// A mapping of length bytes starting on a huge-page boundary (length a
// multiple of the huge page), or null. The slack mapped to find the boundary
// is given back at once.
void* MapAligned(size_t length)
{
    const size_t page = PlatformTableMemory::kHugePage;
    if (length > SIZE_MAX - page)
        return nullptr;
    void* raw = ::mmap(nullptr, length + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        return nullptr;
    const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (start + page - 1) & ~(uintptr_t) (page - 1);
    if (aligned > start)
        ::munmap(raw, aligned - start);
    const size_t tail = page - (aligned - start);
    if (tail > 0)
        ::munmap(reinterpret_cast<void*>(aligned + length), tail);
    return reinterpret_cast<void*>(aligned);
}

// Whole huge pages for bytes, or 0 when that does not fit a size_t.
size_t HugePagesFor(size_t bytes)
{
    const size_t page = PlatformTableMemory::kHugePage;
    return bytes > SIZE_MAX - (page - 1) ? 0 : (bytes + page - 1) & ~(page - 1);
}

} // namespace

void* PlatformMapArray(size_t bytes)
{
    const size_t length = HugePagesFor(bytes);
    void* mapped = length ? MapAligned(length) : nullptr;
    if (mapped)
        Advise(mapped, length);
    return mapped;
}

void* PlatformRemapArray(void* block, size_t oldBytes, size_t newBytes)
{
    const size_t oldLength = HugePagesFor(oldBytes);
    const size_t newLength = HugePagesFor(newBytes);
    if (!block || !oldLength || !newLength || newLength < oldLength)
        return nullptr;
    if (newLength == oldLength)
        return block;
    // In place when the pages after it are free; else its pages move into a
    // fresh aligned range, which the move replaces.
    void* moved = ::mremap(block, oldLength, newLength, 0);
    if (moved == MAP_FAILED) {
        void* target = MapAligned(newLength);
        if (!target)
            return nullptr;
        moved = ::mremap(block, oldLength, newLength, MREMAP_MAYMOVE | MREMAP_FIXED, target);
        if (moved == MAP_FAILED) {
            ::munmap(target, newLength);
            return nullptr;
        }
    }
    Advise(moved, newLength);
    return moved;
}

void PlatformUnmapArray(void* block, size_t bytes)
{
    if (block)
        ::munmap(block, HugePagesFor(bytes));
}

bool PlatformTableMemory::Allocate(size_t bytes)
{
    Free();
    if (bytes == 0)
        return false;
    if (bytes >= kHugePage && bytes <= SIZE_MAX - kHugePage) {
        const size_t length = (bytes + kHugePage - 1) & ~(kHugePage - 1);
        if (void* mapped = MapAligned(length)) {
            m_Data = mapped;
            m_Size = bytes;
            m_Mapped = length;
            m_Advised = Advise(mapped, length) == 0;
            return true;
        }
    }
    // Fresh anonymous mappings read as zeros; heap storage is zeroed here.
    m_Data = std::calloc(1, bytes);
    if (!m_Data)
        return false;
    m_Size = bytes;
    return true;
}

void PlatformTableMemory::Free()
{
    if (m_Mapped)
        ::munmap(m_Data, m_Mapped);
    else
        std::free(m_Data);
    m_Data = nullptr;
    m_Size = 0;
    m_Mapped = 0;
    m_Advised = false;
}

void PlatformTableMemory::Swap(PlatformTableMemory& other)
{
    std::swap(m_Data, other.m_Data);
    std::swap(m_Size, other.m_Size);
    std::swap(m_Mapped, other.m_Mapped);
    std::swap(m_Advised, other.m_Advised);
}

PlatformHugePageAdviceHook PlatformSetHugePageAdviceHook(PlatformHugePageAdviceHook hook)
{
    return g_AdviceHook.exchange(hook);
}

#include "system/memory/QxAlignedAlloc.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "platform/PlatformAssert.h"

// The engine stored a 32-bit raw pointer; here the word is pointer-sized.
static constexpr size_t kRawWord = sizeof(void*);

void* QxNewAligned(size_t size, CKDWORD alignment)
{
    if (!PLATFORM_CHECK(alignment != 0 && (alignment & (alignment - 1)) == 0))
        return nullptr;
    if (size > SIZE_MAX - alignment - kRawWord)
        return nullptr;
    char* raw = static_cast<char*>(::operator new[](size + alignment + kRawWord, std::nothrow));
    if (!raw)
        return nullptr;
    uintptr_t block = (reinterpret_cast<uintptr_t>(raw) + kRawWord + alignment - 1) & ~(uintptr_t) (alignment - 1);
    char* result = raw + (block - reinterpret_cast<uintptr_t>(raw));
    std::memcpy(result - kRawWord, &raw, kRawWord);
    return result;
}

static char* RawOf(const void* block)
{
    char* raw;
    std::memcpy(&raw, static_cast<const char*>(block) - kRawWord, kRawWord);
    return raw;
}

void QxDeleteAligned(void* block)
{
    if (!block)
        return;
    ::operator delete[](RawOf(block));
}

CKBOOL QxCheckAlignedPointer(const void* block, CKDWORD alignment)
{
    if (!block)
        return TRUE;
    uintptr_t distance = reinterpret_cast<uintptr_t>(block) - reinterpret_cast<uintptr_t>(RawOf(block));
    return distance - kRawWord < alignment;
}

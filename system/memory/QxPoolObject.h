#pragma once

#include <cstddef>

#include "system/memory/QxMemoryManager.h"

// Base class of engine objects allocated from the memory manager's pools.
// `new Derived(...)` takes a block of sizeof(Derived) from its size class and
// `delete object` (through any base pointer: the destructor is virtual, so
// the size of the dynamic type comes back) runs the destructor and returns
// the block with that same size. Both go through
// QxMemoryManager::AllocatePoolObject / FreePoolObject; a failed allocation
// gives null and no construction. Placement new stays available.
class QxPoolObject
{
public:
    virtual ~QxPoolObject() = default;

    static void* operator new(size_t size) noexcept { return QxGetMemoryManager()->AllocatePoolObject(size); }
    static void operator delete(void* block, size_t size) noexcept
    {
        QxGetMemoryManager()->FreePoolObject(size, block);
    }
    static void* operator new(size_t, void* where) noexcept { return where; }
    static void operator delete(void*, void*) noexcept {}
};

#pragma once

#include <cstddef>

#include "includes/CKTypes.h"
#include "includes/XArray.h"
#include "includes/XString.h"
#include "system/runtime/QxMutex.h"

class QxFixedSizeAllocator;

// A reusable 16-byte-aligned buffer: its data and size in bytes. Its
// contents are whatever it last held.
struct QxScratchBufferRecord
{
    void* m_Data;
    CKDWORD m_Size;
};

// The process-wide allocator of small and frequent pieces: string buffers,
// pool objects (one fixed-size pool per 4-byte size class up to 1,020 bytes),
// scratch buffers and temporary strings. One recursive mutex guards the
// pools, the scratch buffers and the strings.
// The process-wide instance (QxGetMemoryManager) lives until process exit;
// library shut-down gives back what nobody holds (ReleaseUnused). Separate
// instances may be made (tests).
class QxMemoryManager
{
public:
    static constexpr int PoolClassCount = 256;
    static constexpr size_t MaxPoolObjectSize = 1020;

    QxMemoryManager();
    ~QxMemoryManager();
    QxMemoryManager(const QxMemoryManager&) = delete;
    QxMemoryManager& operator=(const QxMemoryManager&) = delete;

    // malloc; null when malloc fails. These three take no lock: the C
    // library's heap is safe to use from any thread.
    void* Allocate(size_t size);
    // free; null is ignored.
    void Free(void* block);
    // realloc: the block grown or shrunk to size bytes, its contents kept;
    // null when realloc fails (the block is then unchanged).
    void* Reallocate(void* block, size_t size);
    // A copy of text (strlen + 1 bytes) from Allocate; null gives null.
    char* DuplicateString(const char* text);

    // A block of at least size bytes from the pool of size class
    // (size + 3) / 4 (size 0 uses the 4-byte class). Sizes above
    // MaxPoolObjectSize, and every size when built with ENGINE_POOL_MALLOC,
    // go to malloc. Not zeroed.
    void* AllocatePoolObject(size_t size);
    // Returns a block given by AllocatePoolObject with the same size; null is
    // ignored; a block that no chunk of that class holds is reported and
    // ignored. The caller has run the object's destructor.
    void FreePoolObject(size_t size, void* block);

    // A buffer of at least size bytes (smallest fit among the free ones, else
    // the largest free one regrown, else a new one); 0 gives null.
    QxScratchBufferRecord* AcquireScratchBuffer(CKDWORD size);
    // Gives back the buffer with this data pointer; null, or a pointer not in
    // use, changes nothing.
    void ReleaseScratchBuffer(void* data);

    // An empty or reused string object (its old text stays until set).
    XString* AcquireTemporaryString();
    void ReleaseTemporaryString(XString* string);

    // Inspection, for tests and statistics.
    int GetFreeScratchBufferCount() const;
    CKDWORD GetFreeScratchBufferSize(int i) const; // 0 for a bad index
    int GetUsedScratchBufferCount() const;
    int GetFreeTemporaryStringCount() const;
    // The pool of a size class (0..255), null until first used.
    const QxFixedSizeAllocator* GetPool(int sizeClass) const;
    static int GetPoolClass(size_t size) { return size == 0 ? 1 : (int) ((size + 3) / 4); }

    // Frees what nobody holds: the free scratch buffers, the free temporary
    // strings and every pool without a live block, so that the manager is as
    // a fresh one would be. Buffers in use and pools holding live objects
    // (objects that outlive a shut-down) stay.
    void ReleaseUnused();

    // Frees everything and turns every later call into plain malloc/free.
    // Run at process exit for the process-wide manager.
    void ShutDown();

    // The lock every call takes. A caller making many allocations in a row
    // may hold it around them (QxMutexBatch), but only around code that
    // takes no other lock and runs no callback: it is the last lock taken.
    QxMutex& GetMutex() const { return m_Mutex; }

private:
    friend class QxInAllocator;

    bool IsShutDown() const;

    mutable QxMutex m_Mutex;
    XArray<QxScratchBufferRecord*> m_UsedScratch;
    XArray<QxScratchBufferRecord*> m_FreeScratch; // sorted by size, smallest first
    XArray<XString*> m_FreeStrings;
    QxFixedSizeAllocator* m_Pools[PoolClassCount] = {};
    // Read and written only through std::atomic_ref, in the .cpp: <atomic>
    // would weigh on every file that includes this header.
    mutable bool m_ShutDown = false;
};

// The process-wide manager, made on first use and shut down at process exit
// (after which its operations fall back to plain malloc/free).
QxMemoryManager* QxGetMemoryManager();

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "system/memory/QxAlignedAlloc.h"
#include "system/memory/QxFixedSizeAllocator.h"
#include "system/memory/QxMemoryManager.h"
#include "system/memory/QxPoolObject.h"
#include "system/memory/QxScratchBuffer.h"
#include "system/runtime/QxMutex.h"
#include "tests/support/AssertCapture.h"

namespace {

TEST(QxNewAligned, ReturnsAlignedBlockWithRawPointerStoredBeforeItUnderARecursiveMutex)
{
    void* block = QxNewAligned(100, 16);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 16, 0u);
    char* raw;
    std::memcpy(&raw, static_cast<char*>(block) - sizeof(void*), sizeof(void*));
    EXPECT_LT(static_cast<char*>(block) - raw, (ptrdiff_t) (16 + sizeof(void*)));
    EXPECT_GE(static_cast<char*>(block) - raw, (ptrdiff_t) sizeof(void*));
    EXPECT_TRUE(QxCheckAlignedPointer(block, 16));
    std::memset(block, 0xAB, 100);
    QxDeleteAligned(block);
    QxDeleteAligned(nullptr);
    EXPECT_TRUE(QxCheckAlignedPointer(nullptr, 16));

    void* wide = QxNewAligned(10, 64);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(wide) % 64, 0u);
    QxDeleteAligned(wide);
    AssertCapture capture;
    EXPECT_EQ(QxNewAligned(10, 12), nullptr);
    EXPECT_EQ(capture.Texts().size(), 1u);
    // The mutex is recursive and every call returns one.
    QxMutex mutex;
    EXPECT_EQ(mutex.Lock() + mutex.Lock() + mutex.Unlock() + mutex.Unlock(), 4);
}

TEST(QxFixedSizeAllocator, ChunkOf24ByteBlocksHolds170AndFreedBlocksComeBackFirst)
{
    QxFixedSizeAllocator a(24, 4096);
    EXPECT_EQ(a.GetBlocksPerChunk(), 170u);
    std::vector<void*> blocks;
    for (int i = 0; i < 170; ++i)
        blocks.push_back(a.Allocate());
    EXPECT_EQ(a.GetChunkCount(), 1);
    EXPECT_EQ(a.GetChunkFreeBlockCount(0), 0);
    blocks.push_back(a.Allocate());
    EXPECT_EQ(a.GetChunkCount(), 2);
    // Blocks are handed out in order inside a fresh chunk.
    EXPECT_EQ(static_cast<char*>(blocks[1]) - static_cast<char*>(blocks[0]), 24);
    for (void* b : blocks)
        EXPECT_TRUE(a.Free(b));
    EXPECT_EQ(a.GetChunkCount(), 1);
    EXPECT_EQ(a.GetChunkFreeBlockCount(0), 170);
    // Freed blocks come back first; foreign pointers are reported and ignored.
    QxFixedSizeAllocator small(16, 256);
    void* b = small.Allocate();
    void* c = small.Allocate();
    small.Free(b);
    EXPECT_EQ(small.Allocate(), b);
    EXPECT_TRUE(small.Free(c));
    int outside = 0;
    AssertCapture capture;
    EXPECT_FALSE(small.Free(&outside));
    EXPECT_FALSE(small.Free(static_cast<char*>(b) + 4));
    EXPECT_EQ(capture.Texts().size(), 2u);
    EXPECT_FALSE(small.Free(nullptr));
    EXPECT_TRUE(small.Free(b));
}

TEST(QxFixedSizeAllocator, EntirelyFreeChunkMovesToTheEnd)
{
    QxFixedSizeAllocator a(64, 256); // 4 blocks a chunk
    std::vector<void*> blocks;
    for (int i = 0; i < 12; ++i)
        blocks.push_back(a.Allocate());
    ASSERT_EQ(a.GetChunkCount(), 3);
    // Empty the first chunk: it is swapped with the (full) last one.
    for (int i = 0; i < 4; ++i)
        a.Free(blocks[i]);
    EXPECT_EQ(a.GetChunkCount(), 3);
    EXPECT_EQ(a.GetChunkFreeBlockCount(2), 4);
    EXPECT_EQ(a.GetChunkFreeBlockCount(0), 0);
    // Empty the middle one: the free last chunk is released, then swapped.
    for (int i = 4; i < 8; ++i)
        a.Free(blocks[i]);
    EXPECT_EQ(a.GetChunkCount(), 2);
    EXPECT_EQ(a.GetChunkFreeBlockCount(1), 4);
    EXPECT_EQ(a.GetChunkFreeBlockCount(0), 0);
    // New allocations reuse the first chunk with room.
    void* again = a.Allocate();
    EXPECT_TRUE(a.Owns(again));
    EXPECT_EQ(a.GetChunkFreeBlockCount(1), 3);
    a.Free(again);
    for (int i = 8; i < 12; ++i)
        a.Free(blocks[i]);
    EXPECT_EQ(a.GetChunkCount(), 1);
    a.Clear();
    EXPECT_EQ(a.GetChunkCount(), 0);
}

TEST(QxMemoryManager, PoolSizeClassesAreFourBytesWide)
{
    QxMemoryManager m;
    void* p1 = m.AllocatePoolObject(1);
    void* p2 = m.AllocatePoolObject(2);
    void* p3 = m.AllocatePoolObject(3);
    void* p4 = m.AllocatePoolObject(4);
    void* p5 = m.AllocatePoolObject(5);
    void* p0 = m.AllocatePoolObject(0);
    EXPECT_EQ(QxMemoryManager::GetPoolClass(4), 1);
    EXPECT_EQ(QxMemoryManager::GetPoolClass(0), 1);
    EXPECT_EQ(QxMemoryManager::GetPoolClass(5), 2);
#if !ENGINE_POOL_MALLOC
    const QxFixedSizeAllocator* four = m.GetPool(1);
    ASSERT_NE(four, nullptr);
    EXPECT_EQ(four->GetBlockSize(), 4u);
    for (void* p : {p0, p1, p2, p3, p4})
        EXPECT_TRUE(four->Owns(p));
    ASSERT_NE(m.GetPool(2), nullptr);
    EXPECT_EQ(m.GetPool(2)->GetBlockSize(), 8u);
    EXPECT_TRUE(m.GetPool(2)->Owns(p5));
#endif
    m.FreePoolObject(1, p1);
    m.FreePoolObject(2, p2);
    m.FreePoolObject(3, p3);
    m.FreePoolObject(4, p4);
    m.FreePoolObject(5, p5);
    m.FreePoolObject(0, p0);
    m.FreePoolObject(8, nullptr);
    // Above 1020 bytes the general allocator serves.
    void* big = m.AllocatePoolObject(2000);
    std::memset(big, 1, 2000);
    EXPECT_EQ(m.GetPool(QxMemoryManager::GetPoolClass(1020)), nullptr);
    m.FreePoolObject(2000, big);
    void* edge = m.AllocatePoolObject(1020);
    std::memset(edge, 1, 1020);
    m.FreePoolObject(1020, edge);
}

#if !ENGINE_POOL_MALLOC
TEST(QxMemoryManager, FreeingAForeignPoolPointerIsReported)
{
    QxMemoryManager m;
    void* p = m.AllocatePoolObject(16);
    int local = 0;
    AssertCapture capture;
    m.FreePoolObject(16, &local);
    m.FreePoolObject(40, &local); // class never used
    EXPECT_EQ(capture.Texts().size(), 2u);
    m.FreePoolObject(16, p);
}
#endif

TEST(QxMemoryManager, ScratchBuffersAreReusedSmallestFitAndTemporaryStringsReused)
{
    QxMemoryManager m;
    EXPECT_EQ(m.AcquireScratchBuffer(0), nullptr);
    QxScratchBufferRecord* a = m.AcquireScratchBuffer(100);
    QxScratchBufferRecord* b = m.AcquireScratchBuffer(1000);
    QxScratchBufferRecord* c = m.AcquireScratchBuffer(50);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(a->m_Data) % 16, 0u);
    EXPECT_EQ(m.GetUsedScratchBufferCount(), 3);
    m.ReleaseScratchBuffer(a->m_Data);
    m.ReleaseScratchBuffer(b->m_Data);
    m.ReleaseScratchBuffer(c->m_Data);
    ASSERT_EQ(m.GetFreeScratchBufferCount(), 3);
    EXPECT_EQ(m.GetFreeScratchBufferSize(0), 50u);
    EXPECT_EQ(m.GetFreeScratchBufferSize(1), 100u);
    EXPECT_EQ(m.GetFreeScratchBufferSize(2), 1000u);
    EXPECT_EQ(m.GetFreeScratchBufferSize(3), 0u);
    EXPECT_EQ(m.GetFreeScratchBufferSize(-1), 0u);
    QxScratchBufferRecord* d = m.AcquireScratchBuffer(60);
    EXPECT_EQ(d, a);
    EXPECT_EQ(d->m_Size, 100u);
    QxScratchBufferRecord* e = m.AcquireScratchBuffer(5000);
    EXPECT_EQ(e, b);
    EXPECT_EQ(e->m_Size, 5000u);
    std::memset(e->m_Data, 0, 5000);
    EXPECT_EQ(m.GetFreeScratchBufferCount(), 1);
    int notInUse = 0;
    m.ReleaseScratchBuffer(&notInUse);
    m.ReleaseScratchBuffer(nullptr);
    EXPECT_EQ(m.GetFreeScratchBufferCount(), 1);
    EXPECT_EQ(m.GetUsedScratchBufferCount(), 2);
    m.ReleaseScratchBuffer(d->m_Data);
    m.ReleaseScratchBuffer(e->m_Data);
    // Equal sizes come back last released first.
    QxMemoryManager n;
    QxScratchBufferRecord* f = n.AcquireScratchBuffer(64);
    QxScratchBufferRecord* g = n.AcquireScratchBuffer(64);
    n.ReleaseScratchBuffer(f->m_Data);
    n.ReleaseScratchBuffer(g->m_Data);
    EXPECT_EQ(n.AcquireScratchBuffer(64), g);
    // Temporary strings are reused and strings duplicated.
    XString* s = m.AcquireTemporaryString();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->Length(), 0);
    *s = "kept";
    m.ReleaseTemporaryString(s);
    EXPECT_EQ(m.GetFreeTemporaryStringCount(), 1);
    XString* again = m.AcquireTemporaryString();
    EXPECT_EQ(again, s);
    EXPECT_STREQ(again->CStr(), "kept");
    m.ReleaseTemporaryString(again);
    char* copy = m.DuplicateString("text");
    EXPECT_STREQ(copy, "text");
    m.Free(copy);
    EXPECT_EQ(m.DuplicateString(nullptr), nullptr);
    EXPECT_EQ(QxGetMemoryManager(), QxGetMemoryManager());
    // A scratch buffer holds its record for a scope.
    QxMemoryManager* global = QxGetMemoryManager();
    int used = global->GetUsedScratchBufferCount();
    {
        QxScratchBuffer buffer(128);
        ASSERT_NE(buffer.Data(), nullptr);
        EXPECT_GE(buffer.Size(), 128u);
        EXPECT_EQ(global->GetUsedScratchBufferCount(), used + 1);
    }
    EXPECT_EQ(global->GetUsedScratchBufferCount(), used);
}

TEST(QxMemoryManager, ReleasingTheUnusedKeepsWhatIsHeldAndAfterShutDownFreeIsFree)
{
    QxMemoryManager m;
    QxScratchBufferRecord* held = m.AcquireScratchBuffer(100);
    m.ReleaseScratchBuffer(m.AcquireScratchBuffer(50)->m_Data);
    void* live = m.AllocatePoolObject(8);
    m.FreePoolObject(12, m.AllocatePoolObject(12));
    m.ReleaseUnused();
    EXPECT_EQ(m.GetFreeScratchBufferCount() * 10 + m.GetUsedScratchBufferCount(), 1);
    EXPECT_EQ(m.GetPool(QxMemoryManager::GetPoolClass(12)), nullptr);
#if !ENGINE_POOL_MALLOC
    EXPECT_NE(m.GetPool(QxMemoryManager::GetPoolClass(8)), nullptr);
#endif
    m.FreePoolObject(8, live); // back into its kept pool
    m.ReleaseScratchBuffer(held->m_Data);
    m.ReleaseUnused();
    EXPECT_EQ(m.GetFreeScratchBufferCount() + m.GetUsedScratchBufferCount(), 0);
    EXPECT_EQ(m.GetPool(QxMemoryManager::GetPoolClass(8)), nullptr);
    // After shut-down, freeing goes straight to free().
    QxMemoryManager closing;
    void* block = closing.Allocate(32);
    void* pooled = closing.AllocatePoolObject(32);
    QxScratchBufferRecord* scratch = closing.AcquireScratchBuffer(64);
    ASSERT_NE(scratch, nullptr);
    closing.ShutDown();
    closing.Free(block);
    closing.FreePoolObject(32, pooled); // its chunk went with the pools
    void* late = closing.Allocate(8);
    closing.Free(late);
    EXPECT_EQ(closing.AcquireScratchBuffer(10), nullptr);
}

TEST(QxMemoryManager, ThreadsMayAllocateConcurrently)
{
    QxMemoryManager m;
    auto work = [&m] {
        std::vector<void*> blocks;
        for (int i = 0; i < 2000; ++i) {
            blocks.push_back(m.AllocatePoolObject((size_t) (i % 64) + 1));
            if (i % 3 == 0) {
                m.FreePoolObject((size_t) ((blocks.size() - 1) % 64) + 1, blocks.back());
                blocks.back() = nullptr;
            }
        }
        for (size_t i = 0; i < blocks.size(); ++i)
            m.FreePoolObject((i % 64) + 1, blocks[i]);
        XString* s = m.AcquireTemporaryString();
        m.ReleaseTemporaryString(s);
    };
    std::thread t1(work), t2(work);
    t1.join();
    t2.join();
    for (int c = 1; c <= 16; ++c) {
        const QxFixedSizeAllocator* pool = m.GetPool(c);
        if (pool) {
            EXPECT_LE(pool->GetChunkCount(), 1);
        }
    }
}

struct Counted : QxPoolObject
{
    explicit Counted(int v) : value(v) { ++alive; }
    ~Counted() override { --alive; }
    int value;
    static int alive;
};
int Counted::alive = 0;

struct Bigger : Counted
{
    Bigger() : Counted(2) { std::memset(payload, 7, sizeof(payload)); }
    char payload[200];
};

TEST(QxPoolObject, NewAndDeleteGoThroughThePoolsWithTheDynamicSize)
{
    Counted* a = new Counted(1);
    Counted* b = new Bigger;
    EXPECT_EQ(Counted::alive, 2);
    EXPECT_EQ(b->value, 2);
#if !ENGINE_POOL_MALLOC
    const QxFixedSizeAllocator* bigPool = QxGetMemoryManager()->GetPool(QxMemoryManager::GetPoolClass(sizeof(Bigger)));
    ASSERT_NE(bigPool, nullptr);
    EXPECT_TRUE(bigPool->Owns(b));
#endif
    AssertCapture capture;
    delete b; // through the base: the size of Bigger comes back
    delete a;
    EXPECT_TRUE(capture.Texts().empty());
    EXPECT_EQ(Counted::alive, 0);
    alignas(Counted) unsigned char storage[sizeof(Counted)];
    Counted* placed = new (storage) Counted(3);
    placed->~Counted();
}

} // namespace

namespace {

// Constructed before the process-wide manager exists and so destroyed after
// it has shut down at exit: its buffer must then go straight to free().
XString g_OutlivesTheManager;

TEST(QxMemoryManager, StringsDestroyedAfterShutDownAtExitAreFreed)
{
    g_OutlivesTheManager = "destroyed after the memory manager";
    EXPECT_GT(g_OutlivesTheManager.Capacity(), 0);
}

} // namespace

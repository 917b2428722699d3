#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "system/memory/QxFixedSizeAllocator.h"
#include "system/memory/QxMemoryManager.h"

// Random pool allocations and frees: every live block keeps the bytes
// written into it, and each size class keeps at most one entirely free
// chunk, at the end of its chunk array.
namespace {

struct Live
{
    unsigned char* block;
    size_t size;
    unsigned char fill;
};

void ExpectIntact(const Live& live)
{
    for (size_t i = 0; i < live.size; ++i)
        if (live.block[i] != live.fill)
            FAIL() << "block of " << live.size << " bytes changed at " << i;
}

void ExpectAtMostOneFreeChunkAtTheEnd(const QxMemoryManager& m)
{
    for (int c = 0; c < QxMemoryManager::PoolClassCount; ++c) {
        const QxFixedSizeAllocator* pool = m.GetPool(c);
        if (!pool)
            continue;
        int count = pool->GetChunkCount();
        for (int i = 0; i + 1 < count; ++i)
            ASSERT_LT(pool->GetChunkFreeBlockCount(i), (int) pool->GetBlocksPerChunk())
                << "class " << c << " chunk " << i;
    }
}

TEST(QxPoolDifferential, RandomAllocationsKeepTheirBytesAndChunksStayCompact)
{
    QxMemoryManager m;
    std::mt19937 rng(42);
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    std::vector<Live> live;
    for (int step = 0; step < 60000; ++step) {
        // Phases of growth and shrinkage so chunks fill up and empty out.
        bool growing = (step / 5000) % 2 == 0;
        if (live.empty() || pick(0, 99) < (growing ? 65 : 35)) {
            size_t size = pick(0, 9) == 0 ? (size_t) pick(1021, 3000) : (size_t) pick(1, 1020);
            if (pick(0, 3) == 0)
                size = (size_t) pick(1, 64); // small classes get many chunks
            auto* block = static_cast<unsigned char*>(m.AllocatePoolObject(size));
            ASSERT_NE(block, nullptr);
            Live l{block, size, (unsigned char) pick(1, 255)};
            std::memset(block, l.fill, size);
            live.push_back(l);
        } else {
            size_t at = (size_t) pick(0, (int) live.size() - 1);
            ExpectIntact(live[at]);
            m.FreePoolObject(live[at].size, live[at].block);
            live[at] = live.back();
            live.pop_back();
        }
        if (step % 2000 == 0) {
            for (const Live& l : live)
                ExpectIntact(l);
            ExpectAtMostOneFreeChunkAtTheEnd(m);
        }
    }
    for (const Live& l : live) {
        ExpectIntact(l);
        m.FreePoolObject(l.size, l.block);
    }
    ExpectAtMostOneFreeChunkAtTheEnd(m);
    for (int c = 0; c < QxMemoryManager::PoolClassCount; ++c) {
        if (m.GetPool(c)) {
            EXPECT_LE(m.GetPool(c)->GetChunkCount(), 1) << "class " << c;
        }
    }
}

TEST(QxFixedSizeAllocator, ChunksFreedInAddressOrderOrAnyOtherAndMadeAgainKeepTheirBlocks)
{
    // 16 blocks a chunk: thousands of chunks come and go, freed from the
    // first made, the last made or at random, and made again.
    QxFixedSizeAllocator pool(64, 1024);
    std::mt19937 rng(9);
    std::vector<void*> live;
    auto stamp = [](void* block) { return (unsigned char) (((uintptr_t) block >> 6) * 31u); };
    for (int round = 0; round < 24; ++round) {
        const size_t grow = live.size() + (size_t) (rng() % 20000);
        while (live.size() < grow) {
            void* block = pool.Allocate();
            ASSERT_NE(block, nullptr);
            std::memset(block, stamp(block), 64);
            live.push_back(block);
        }
        const size_t keep = rng() % (live.size() + 1);
        // Freed from the back: reversed first to free the oldest first,
        // shuffled to free at random.
        if (round % 3 == 0)
            std::reverse(live.begin(), live.end());
        else if (round % 3 == 2)
            std::shuffle(live.begin(), live.end(), rng);
        while (live.size() > keep) {
            ASSERT_TRUE(pool.Free(live.back()));
            live.pop_back();
        }
        for (void* block : live) {
            ASSERT_TRUE(pool.Owns(block)) << "round " << round;
            ASSERT_EQ(*static_cast<unsigned char*>(block), stamp(block)) << "round " << round;
        }
    }
    for (void* block : live)
        ASSERT_TRUE(pool.Free(block));
    EXPECT_FALSE(pool.HasLiveBlocks());
    EXPECT_LE(pool.GetChunkCount(), 1);
}

} // namespace

// The pool's ranges against a plain model: random allocations and releases
// never overlap, the free count adds up and released ranges are reused.
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "render/context/rasterizer/CKSharedBufferPool.h"

namespace {

TEST(CKSharedBufferPool, RandomRangesNeverOverlapAndTheFreeCountAddsUp)
{
    std::mt19937 rng(3);
    CKSharedBufferPool pool(12, 1u << 20);
    CKDWORD handedOut = 0;
    std::vector<int> owner; // element -> range id, -1 free
    struct Range
    {
        CKDWORD start, count;
        int id;
    };
    std::vector<Range> live;
    int nextId = 0;
    for (int step = 0; step < 3000; ++step) {
        if (live.empty() || (live.size() < 200 && rng() % 3 != 0)) {
            CKDWORD count = 1 + rng() % 200, start = 0;
            ASSERT_TRUE(pool.Allocate(count, start));
            if (owner.size() < pool.GetCapacity())
                owner.resize(pool.GetCapacity(), -1);
            for (CKDWORD i = start; i < start + count; ++i) {
                ASSERT_EQ(owner[i], -1) << "element " << i << " handed out twice";
                owner[i] = nextId;
            }
            // The bytes of the range are the pool's, element by element.
            live.push_back({start, count, nextId++});
            handedOut += count;
        } else {
            size_t k = rng() % live.size();
            for (CKDWORD i = live[k].start; i < live[k].start + live[k].count; ++i)
                owner[i] = -1;
            pool.FreeRange(live[k].start, live[k].count);
            live.erase(live.begin() + (long) k);
        }
        CKDWORD used = 0;
        for (const Range& r : live)
            used += r.count;
        ASSERT_EQ(pool.GetFreeCount() + used, pool.GetCapacity());
    }
    EXPECT_LT(pool.GetCapacity(), handedOut / 2) << "released ranges are taken again before the pool grows";
    EXPECT_EQ(pool.GetData(1) - pool.GetData(0), 12);
}

TEST(CKSharedBufferPool, FreeingWhatWasNotHandedOutChangesNothing)
{
    CKSharedBufferPool pool(2, 100);
    CKDWORD start = 0;
    ASSERT_TRUE(pool.Allocate(10, start));
    CKDWORD free = pool.GetFreeCount();
    pool.FreeRange(start + pool.GetCapacity(), 5);
    pool.FreeRange(pool.GetCapacity() - 1, 5);
    pool.FreeRange(start, 10);
    pool.FreeRange(start, 10); // twice
    EXPECT_EQ(pool.GetFreeCount(), free + 10);
    EXPECT_EQ(pool.GetFreeCount(), pool.GetCapacity());
}

TEST(CKSharedBufferPool, APoolDoesNotGrowPastItsMaximum)
{
    CKSharedBufferPool pool(4, 100);
    CKDWORD start = 0;
    EXPECT_TRUE(pool.Allocate(60, start));
    EXPECT_FALSE(pool.Allocate(41, start));
    EXPECT_TRUE(pool.Allocate(40, start));
    EXPECT_FALSE(pool.Allocate(0, start));
    EXPECT_EQ(pool.GetData(100), nullptr);
}

} // namespace

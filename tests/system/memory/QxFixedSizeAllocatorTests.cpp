#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <vector>

#include "system/memory/QxFixedSizeAllocator.h"
#include "tests/support/AssertCapture.h"

// The pool against a simple model, the set of live blocks and the byte
// written into each: chunks come and go in any address order (the heap
// hands back freed chunks' memory at lower addresses, between other chunks)
// and every live block is still found, freed and left intact.
namespace {

using Live = std::map<char*, unsigned char>;

void ExpectPoolMatches(const QxFixedSizeAllocator& pool, const Live& live)
{
    const size_t blockSize = pool.GetBlockSize();
    for (const auto& [block, stamp] : live) {
        ASSERT_TRUE(pool.Owns(block));
        // The last byte of a block may lie in the slot after its chunk's.
        ASSERT_TRUE(pool.Owns(block + blockSize - 1));
        ASSERT_EQ((unsigned char) *block, stamp);
    }
    // The chunks' used blocks are the live ones; only the last chunk may be
    // entirely free.
    long used = 0;
    const int chunks = pool.GetChunkCount();
    for (int i = 0; i < chunks; ++i) {
        const int free = pool.GetChunkFreeBlockCount(i);
        used += (long) pool.GetBlocksPerChunk() - free;
        if (i + 1 < chunks) {
            ASSERT_LT(free, (int) pool.GetBlocksPerChunk()) << "chunk " << i << " of " << chunks;
        }
    }
    ASSERT_EQ(used, (long) live.size());
    ASSERT_EQ(pool.HasLiveBlocks(), live.empty() ? FALSE : TRUE);
}

// Memory of the pool's chunk size from the heap, never the pool's: none of
// its bytes is owned, whatever chunk lies next to it.
void ExpectForeignMemoryRefused(QxFixedSizeAllocator& pool)
{
    const size_t chunkBytes = (size_t) pool.GetBlocksPerChunk() * pool.GetBlockSize();
    std::vector<char*> foreign;
    for (int i = 0; i < 8; ++i)
        foreign.push_back(static_cast<char*>(::operator new[](chunkBytes)));
    AssertCapture capture;
    for (char* memory : foreign) {
        for (size_t at = 0; at < chunkBytes; at += pool.GetBlockSize())
            ASSERT_FALSE(pool.Owns(memory + at));
        ASSERT_FALSE(pool.Owns(memory + chunkBytes - 1));
        ASSERT_FALSE(pool.Free(memory));
    }
    EXPECT_EQ(capture.Texts().size(), foreign.size());
    for (char* memory : foreign)
        ::operator delete[](memory);
}

void RunAgainstModel(CKDWORD blockSize, CKDWORD chunkSize, unsigned seed)
{
    SCOPED_TRACE(testing::Message() << "blocks of " << blockSize << " in chunks of " << chunkSize);
    // A block larger than the chunk is reported, and made a chunk of its
    // own; nothing else is reported on the way.
    std::unique_ptr<QxFixedSizeAllocator> made;
    AssertCapture capture;
    made = std::make_unique<QxFixedSizeAllocator>(blockSize, chunkSize);
    EXPECT_EQ(capture.Texts().size(), blockSize > chunkSize ? 1u : 0u);
    capture.Clear();
    QxFixedSizeAllocator& pool = *made;
    std::mt19937 rng(seed);
    Live live;
    std::vector<char*> order; // live blocks, to pick one at random
    for (int step = 0; step < 30000; ++step) {
        // Growth then shrinkage, so that whole chunks empty out and their
        // memory comes back under new chunks.
        const bool growing = (step / 3000) % 2 == 0;
        if (order.empty() || rng() % 100 < (growing ? 70u : 30u)) {
            char* block = static_cast<char*>(pool.Allocate());
            ASSERT_NE(block, nullptr);
            ASSERT_EQ(live.count(block), 0u) << "a live block handed out again";
            const auto stamp = (unsigned char) (1 + rng() % 255);
            *block = (char) stamp;
            block[pool.GetBlockSize() - 1] = (char) stamp;
            live[block] = stamp;
            order.push_back(block);
        } else {
            const size_t at = rng() % order.size();
            char* block = order[at];
            ASSERT_EQ((unsigned char) block[pool.GetBlockSize() - 1], live[block]);
            ASSERT_TRUE(pool.Free(block));
            live.erase(block);
            order[at] = order.back();
            order.pop_back();
        }
        if (step % 1500 == 0)
            ExpectPoolMatches(pool, live);
    }
    ExpectPoolMatches(pool, live);
    EXPECT_TRUE(capture.Texts().empty());
    ExpectForeignMemoryRefused(pool);
    capture.Clear();
    // Freed in address order, then the rest in reverse: every block is found.
    std::vector<char*> sorted;
    for (const auto& entry : live)
        sorted.push_back(entry.first);
    for (size_t i = 0; i < sorted.size(); i += 2) {
        ASSERT_TRUE(pool.Free(sorted[i]));
        live.erase(sorted[i]);
    }
    ExpectPoolMatches(pool, live);
    for (size_t i = sorted.size(); i-- > 0;)
        if (live.erase(sorted[i])) {
            ASSERT_TRUE(pool.Free(sorted[i]));
        }
    ExpectPoolMatches(pool, live);
    EXPECT_LE(pool.GetChunkCount(), 1);
    pool.Clear();
    EXPECT_EQ(pool.GetChunkCount(), 0);
    // Usable again after a clear.
    void* again = pool.Allocate();
    EXPECT_TRUE(pool.Owns(again));
    EXPECT_TRUE(pool.Free(again));
    EXPECT_TRUE(capture.Texts().empty());
}

TEST(QxFixedSizeAllocator, ChunksMadeInAnyAddressOrderKeepEveryBlockFoundAndIntact)
{
    RunAgainstModel(24, 4096, 1); // 4080-byte chunks: slots rarely line up with chunks
    RunAgainstModel(64, 1024, 2);
    RunAgainstModel(4, 64, 3);  // thousands of tiny chunks
    RunAgainstModel(96, 48, 4); // one block a chunk (reported once)
}

TEST(QxFixedSizeAllocator, ChunksFreedBetweenOthersLeaveTheirNeighboursFound)
{
    // Whole chunks emptied in an order unrelated to their addresses: the
    // entries of the neighbours of a removed one must stay reachable.
    QxFixedSizeAllocator pool(32, 256); // 8 blocks a chunk
    const int chunks = 600;
    std::vector<std::vector<void*>> byChunk(chunks);
    for (int c = 0; c < chunks; ++c)
        for (int b = 0; b < 8; ++b)
            byChunk[c].push_back(pool.Allocate());
    ASSERT_EQ(pool.GetChunkCount(), chunks);
    std::mt19937 rng(5);
    std::vector<int> victims(chunks);
    for (int c = 0; c < chunks; ++c)
        victims[c] = c;
    std::shuffle(victims.begin(), victims.end(), rng);
    for (int v = 0; v < chunks; ++v) {
        for (void* block : byChunk[victims[v]])
            ASSERT_TRUE(pool.Free(block));
        byChunk[victims[v]].clear();
        if (v % 50 != 0)
            continue;
        for (const auto& blocks : byChunk)
            for (void* block : blocks) {
                ASSERT_TRUE(pool.Owns(block)) << "after " << v << " chunks freed";
            }
    }
    EXPECT_EQ(pool.GetChunkCount(), 1);
    EXPECT_FALSE(pool.HasLiveBlocks());
}

TEST(QxFixedSizeAllocator, TheByteAfterAChunkIsNotOwnedWhicheverChunkWasFreedTo)
{
    QxFixedSizeAllocator pool(64, 512); // 8 blocks fill a chunk exactly
    std::vector<char*> first, second;
    for (int i = 0; i < 8; ++i)
        first.push_back(static_cast<char*>(pool.Allocate()));
    for (int i = 0; i < 8; ++i)
        second.push_back(static_cast<char*>(pool.Allocate()));
    ASSERT_EQ(pool.GetChunkCount(), 2);
    char* firstEnd = first.back() + 64;
    char* secondEnd = second.back() + 64;
    // The newest chunk is the one last freed to: its end is checked first
    // there, the other's through the table.
    AssertCapture capture;
    EXPECT_FALSE(pool.Owns(secondEnd));
    EXPECT_FALSE(pool.Owns(firstEnd));
    EXPECT_TRUE(pool.Free(first[3]));
    EXPECT_FALSE(pool.Owns(firstEnd));
    EXPECT_FALSE(pool.Owns(secondEnd));
    EXPECT_FALSE(pool.Free(firstEnd));
    EXPECT_FALSE(pool.Free(secondEnd));
    EXPECT_EQ(capture.Texts().size(), 2u);
    EXPECT_TRUE(pool.Owns(first.back()));
    EXPECT_TRUE(pool.Owns(second.back() + 63));
}

TEST(QxFixedSizeAllocator, TheLastChunkEmptiedIsKeptForTheNextAllocations)
{
    QxFixedSizeAllocator pool(64, 256); // 4 blocks a chunk
    std::vector<void*> blocks;
    for (int i = 0; i < 5; ++i)
        blocks.push_back(pool.Allocate());
    ASSERT_EQ(pool.GetChunkCount(), 2);
    // The last chunk's only block: that chunk stays, empty, at the end.
    EXPECT_TRUE(pool.Free(blocks[4]));
    EXPECT_EQ(pool.GetChunkCount(), 2);
    EXPECT_EQ(pool.GetChunkFreeBlockCount(1), 4);
    EXPECT_EQ(pool.GetChunkFreeBlockCount(0), 0);
    EXPECT_TRUE(pool.HasLiveBlocks());
    void* again = pool.Allocate();
    EXPECT_EQ(again, blocks[4]) << "the kept chunk's block comes back";
    EXPECT_EQ(pool.GetChunkCount(), 2);
    EXPECT_TRUE(pool.Free(again));
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(pool.Free(blocks[i]));
    EXPECT_EQ(pool.GetChunkCount(), 1) << "one empty chunk is kept, no more";
    EXPECT_FALSE(pool.HasLiveBlocks());
}

} // namespace

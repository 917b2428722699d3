#include "core/chunk/CKStateChunk.h"

#include <random>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "core/context/CKDefines.h"
#include "core/object/CKDependenciesContext.h"
#include "tests/core/support/ChunkTestSupport.h"

// RemapObjects against an independent walk of the serialised layout: the
// walk finds the id words from the tables of the format; after remapping,
// exactly those words hold their images and every other word is unchanged.

namespace {

// Collects the absolute indices of id words of one level whose data starts
// at `data` (N words) and whose lists follow (counts given).
void WalkLevel(const Words& w, size_t data, size_t n, size_t ids, size_t idCount, size_t subs, size_t subCount,
               std::set<size_t>& out);

void WalkItem(const Words& w, size_t at, std::set<size_t>& out, size_t& next)
{
    CKDWORD s = w[at];
    next = at + 1 + s;
    if (s == 0)
        return;
    size_t n = w[at + 3], i = w[at + 5], c = w[at + 6], m = w[at + 7];
    size_t data = at + 8;
    WalkLevel(w, data, n, data + n, i, data + n + i, c, out);
    (void) m;
}

void WalkLevel(const Words& w, size_t data, size_t n, size_t ids, size_t idCount, size_t subs, size_t subCount,
               std::set<size_t>& out)
{
    (void) n;
    for (size_t k = 0; k < idCount; ++k) {
        if ((int) w[ids + k] == -1) {
            size_t p = data + w[ids + ++k];
            for (size_t j = 1; j <= w[p]; ++j)
                out.insert(p + j);
        } else {
            out.insert(data + w[ids + k]);
        }
    }
    for (size_t k = 0; k < subCount; ++k) {
        size_t next;
        if ((int) w[subs + k] == -1) {
            size_t p = data + w[subs + ++k];
            size_t q = p + 1;
            for (CKDWORD j = 0; j < w[p]; ++j) {
                WalkItem(w, q, out, next);
                q = next;
            }
        } else {
            WalkItem(w, data + w[subs + k], out, next);
        }
    }
}

std::set<size_t> IdWords(const Words& w)
{
    CKBYTE options = (CKBYTE) (w[0] >> 24);
    size_t n = w[1];
    size_t k = 2 + n;
    size_t ids = 0, idCount = 0, subs = 0, subCount = 0;
    if (options & 0x01) {
        idCount = w[k];
        ids = k + 1;
        k += 1 + idCount;
    }
    if (options & 0x04) {
        subCount = w[k];
        subs = k + 1;
    }
    std::set<size_t> out;
    WalkLevel(w, 2, n, ids, idCount, subs, subCount, out);
    return out;
}

CK_ID Image(CK_ID id)
{
    return id == 0 ? 0 : id + 100000;
}

CKStateChunk* RandomChunk(std::mt19937& rng, int depth)
{
    auto pick = [&](int n) { return (int) (rng() % (unsigned) n); };
    CKStateChunk* chunk = CKCreateStateChunk(pick(50));
    chunk->StartWrite();
    int sections = 1 + pick(4);
    for (int s = 0; s < sections; ++s) {
        chunk->WriteIdentifier((CKDWORD) s + 1);
        int items = pick(8);
        for (int i = 0; i < items; ++i) {
            switch (pick(depth < 3 ? 7 : 5)) {
            case 0:
                // Plain words that look like ids: they must stay.
                chunk->WriteInt(1 + pick(50));
                break;
            case 1: chunk->WriteObjectID((CK_ID) pick(50)); break;
            case 2: {
                int count = pick(5);
                chunk->StartObjectIDSequence(count);
                for (int k = 0; k < count; ++k)
                    chunk->WriteObjectIDSequenceItem((CK_ID) pick(50));
                break;
            }
            case 3: chunk->WriteManagerInt(CKGUID(1, 2), 1 + pick(50)); break;
            case 4: chunk->WriteString("12"); break;
            case 5: {
                CKStateChunk* sub = pick(5) ? RandomChunk(rng, depth + 1) : nullptr;
                chunk->WriteSubChunk(sub);
                CKDeleteStateChunk(sub);
                break;
            }
            case 6: {
                int count = pick(3);
                chunk->StartSubChunkSequence(count);
                for (int k = 0; k < count; ++k) {
                    CKStateChunk* sub = pick(5) ? RandomChunk(rng, depth + 1) : nullptr;
                    chunk->WriteSubChunkSequenceItem(sub);
                    CKDeleteStateChunk(sub);
                }
                break;
            }
            }
        }
    }
    return chunk;
}

CKDependenciesContext* MappingContext()
{
    auto* deps = new CKDependenciesContext(nullptr);
    for (CK_ID id = 1; id < 50; ++id)
        deps->SetRemap(id, Image(id));
    return deps;
}

} // namespace

TEST(CKStateChunkRemap, RewritesExactlyTheRecordedIdsAtEveryDepth)
{
    std::mt19937 rng(31337);
    std::unique_ptr<CKDependenciesContext> deps(MappingContext());
    int total = 0;
    for (int iteration = 0; iteration < 1000; ++iteration) {
        ChunkPtr chunk(RandomChunk(rng, 0));
        Words before = SerialisedWords(chunk.get());
        std::set<size_t> ids = IdWords(before);
        int rewritten = chunk->RemapObjects(nullptr, deps.get());
        EXPECT_EQ(rewritten, (int) ids.size());
        EXPECT_EQ(chunk->GetReadError(), 0);
        Words after = SerialisedWords(chunk.get());
        ASSERT_EQ(after.size(), before.size());
        for (size_t i = 0; i < before.size(); ++i)
            ASSERT_EQ(after[i], ids.count(i) ? Image(before[i]) : before[i])
                << "iteration " << iteration << " word " << i;
        total += (int) ids.size();
    }
    EXPECT_GT(total, 1000);
}

TEST(CKStateChunkRemap, OldMarkerFormIsFoundByItsRuns)
{
    const CKDWORD* o = CHUNK_OLD_OBJECT_MARKER;
    const CKDWORD* s = CHUNK_OLD_SEQUENCE_MARKER;
    const Words data = {7,    o[0], o[1], o[2], 5,    0,    s[0], s[1], s[2],
                        s[3], s[4], 2,    8,    9,    o[0], o[1], 3, // an incomplete run stays
                        s[0], s[1], s[2], s[3], s[4], 40};           // a count passing the data stays
    Words raw = {0x00030000, 1, (CKDWORD) data.size(), 0, 0, 0};
    raw.insert(raw.end(), data.begin(), data.end());
    ChunkPtr chunk = ChunkFromWords(raw);
    ASSERT_NE(chunk, nullptr);
    std::unique_ptr<CKDependenciesContext> deps(MappingContext());
    EXPECT_EQ(chunk->RemapObjects(nullptr, deps.get()), 3);
    Words after = SerialisedWords(chunk.get());
    Words expected = data;
    expected[4] = Image(5);
    expected[12] = Image(8);
    expected[13] = Image(9);
    ASSERT_EQ(after.size(), 2 + expected.size());
    EXPECT_EQ(Words(after.begin() + 2, after.end()), expected);
}

TEST(CKStateChunkRemap, ListEntriesOutsideTheDataAreNotWritten)
{
    // One id entry inside the data, one past it, one sequence passing it.
    const Words raw = {0x11070000, 3, 4, 4, 4, 4, 0, 7, 0xFFFFFFFF, 2};
    ChunkPtr chunk = ChunkFromWords(raw);
    ASSERT_NE(chunk, nullptr);
    std::unique_ptr<CKDependenciesContext> deps(MappingContext());
    EXPECT_EQ(chunk->RemapObjects(nullptr, deps.get()), 1);
    EXPECT_EQ(chunk->GetReadError(), CKErr::InvalidFile);
    Words after = SerialisedWords(chunk.get());
    EXPECT_EQ(after[2], Image(4));
    EXPECT_EQ(after[3], 4u);
    EXPECT_EQ(after[4], 4u);
}

#include <benchmark/benchmark.h>

#include <bit>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "bench/BenchCase.h"
#include "core/chunk/CKStateChunk.h"

// A state chunk against the plainest peer: the same words pushed into a
// std::vector<uint32_t> and read back. One value in eight is a GUID (two
// words), the rest ints and floats in turn. The chunk also packs its writer
// before reading (in place: the size word goes in front of the words).
//
// Seeking: sections of four words, sought in the order they were written;
// the time per seek stays flat as the section count grows (one chain step).
// Its peer finds each section's offset in a std::unordered_map built with
// the words, and reads the word there.
namespace {

constexpr int kValues = 1 << 20;

void BM_ChunkWriteRead(benchmark::State& state)
{
    for (auto _ : state) {
        CKStateChunk* chunk = CKCreateStateChunk(1);
        chunk->StartWrite();
        for (int i = 0; i < kValues; ++i) {
            switch (i & 7) {
            case 0: chunk->WriteGuid(CKGUID((CKDWORD) i, (CKDWORD) ~i)); break;
            case 1:
            case 3:
            case 5: chunk->WriteFloat((float) i); break;
            default: chunk->WriteInt(i); break;
            }
        }
        chunk->StartRead();
        uint64_t sum = 0;
        for (int i = 0; i < kValues; ++i) {
            switch (i & 7) {
            case 0: {
                CKGUID g = chunk->ReadGuid();
                sum += g.d1 + g.d2;
                break;
            }
            case 1:
            case 3:
            case 5: sum += (uint64_t) chunk->ReadFloat(); break;
            default: sum += (uint64_t) chunk->ReadInt(); break;
            }
        }
        benchmark::DoNotOptimize(sum);
        CKDeleteStateChunk(chunk);
    }
    state.SetItemsProcessed(state.iterations() * kValues);
}

template <bool Reserve>
void BM_VectorWriteRead(benchmark::State& state)
{
    for (auto _ : state) {
        std::vector<uint32_t> words;
        if (Reserve)
            words.reserve(kValues + kValues / 8);
        for (int i = 0; i < kValues; ++i) {
            switch (i & 7) {
            case 0:
                words.push_back((uint32_t) i);
                words.push_back((uint32_t) ~i);
                break;
            case 1:
            case 3:
            case 5: words.push_back(std::bit_cast<uint32_t>((float) i)); break;
            default: words.push_back((uint32_t) i); break;
            }
        }
        uint64_t sum = 0;
        size_t p = 0;
        for (int i = 0; i < kValues; ++i) {
            switch (i & 7) {
            case 0:
                sum += (uint64_t) words[p] + words[p + 1];
                p += 2;
                break;
            case 1:
            case 3:
            case 5: sum += (uint64_t) std::bit_cast<float>(words[p++]); break;
            default: sum += (uint64_t) (int) words[p++]; break;
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kValues);
}

void BM_ChunkSeekInOrder(benchmark::State& state)
{
    const int sections = (int) state.range(0);
    CKStateChunk* chunk = CKCreateStateChunk(1);
    chunk->StartWrite();
    for (int s = 0; s < sections; ++s) {
        chunk->WriteIdentifier((CKDWORD) s + 1);
        chunk->WriteInt(s);
        chunk->WriteInt(s);
    }
    chunk->CloseChunk();
    for (auto _ : state) {
        chunk->StartRead();
        int64_t sum = 0;
        for (int s = 0; s < sections; ++s) {
            chunk->SeekIdentifier((CKDWORD) s + 1);
            sum += chunk->ReadInt();
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * sections);
    CKDeleteStateChunk(chunk);
}

void BM_MapSeekInOrder(benchmark::State& state)
{
    const int sections = (int) state.range(0);
    std::vector<uint32_t> words;
    std::unordered_map<uint32_t, size_t> offsets;
    for (int s = 0; s < sections; ++s) {
        offsets.emplace((uint32_t) s + 1, words.size());
        words.push_back((uint32_t) s);
        words.push_back((uint32_t) s);
    }
    for (auto _ : state) {
        int64_t sum = 0;
        for (int s = 0; s < sections; ++s)
            sum += (int) words[offsets.find((uint32_t) s + 1)->second];
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * sections);
}

} // namespace

BENCHMARK(BM_ChunkWriteRead)->Name("ChunkWriteRead/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VectorWriteRead<false>)->Name("ChunkWriteRead/vector")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VectorWriteRead<true>)->Name("ChunkWriteRead/vector_reserved")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChunkSeekInOrder)
    ->Name("ChunkSeekInOrder/ours")
    ->ArgName("sections")
    ->RangeMultiplier(10)
    ->Range(100, 1000000);
BENCHMARK(BM_MapSeekInOrder)
    ->Name("ChunkSeekInOrder/std")
    ->ArgName("sections")
    ->RangeMultiplier(10)
    ->Range(100, 1000000);
BENCH_CASE_DOES("ChunkWriteRead", "ours: 1M values (ints, floats, GUIDs) written to a new state chunk, then read back; "
                                  "vector, vector_reserved: the same words pushed into a new std::vector (reserved "
                                  "first) and read back");
BENCH_CASE_DOES("ChunkSeekInOrder", "ours: SeekIdentifier of each section in written order, then ReadInt; std: "
                                    "std::unordered_map find of each section's offset, then the word there");

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "bench/BenchCase.h"
#include "system/memory/QxMemoryManager.h"

// The pool allocator against malloc/free: 1M objects of 16 to 256 bytes,
// all allocated, then freed in LIFO, FIFO or random order.
namespace {

constexpr int kObjects = 1 << 20;

struct Plan
{
    std::vector<size_t> sizes;
    std::vector<int> lifo, fifo, random;
};

const Plan& GetPlan()
{
    static Plan plan = [] {
        Plan p;
        std::mt19937 rng(5);
        std::uniform_int_distribution<int> size(16, 256);
        for (int i = 0; i < kObjects; ++i) {
            p.sizes.push_back((size_t) size(rng));
            p.fifo.push_back(i);
        }
        p.lifo.assign(p.fifo.rbegin(), p.fifo.rend());
        p.random = p.fifo;
        std::shuffle(p.random.begin(), p.random.end(), rng);
        return p;
    }();
    return plan;
}

const std::vector<int>& Order(int which)
{
    const Plan& p = GetPlan();
    return which == 0 ? p.lifo : (which == 1 ? p.fifo : p.random);
}

void BM_Pool(benchmark::State& state)
{
    const Plan& plan = GetPlan();
    const std::vector<int>& order = Order((int) state.range(0));
    std::vector<void*> blocks((size_t) kObjects);
    QxMemoryManager* m = QxGetMemoryManager();
    for (auto _ : state) {
        for (int i = 0; i < kObjects; ++i)
            blocks[(size_t) i] = m->AllocatePoolObject(plan.sizes[(size_t) i]);
        for (int i : order)
            m->FreePoolObject(plan.sizes[(size_t) i], blocks[(size_t) i]);
    }
    state.SetItemsProcessed(state.iterations() * kObjects);
}

void BM_Malloc(benchmark::State& state)
{
    const Plan& plan = GetPlan();
    const std::vector<int>& order = Order((int) state.range(0));
    std::vector<void*> blocks((size_t) kObjects);
    for (auto _ : state) {
        for (int i = 0; i < kObjects; ++i)
            blocks[(size_t) i] = std::malloc(plan.sizes[(size_t) i]);
        benchmark::ClobberMemory();
        for (int i : order)
            std::free(blocks[(size_t) i]);
    }
    state.SetItemsProcessed(state.iterations() * kObjects);
}

} // namespace

// Argument: 0 LIFO, 1 FIFO, 2 random free order.
BENCHMARK(BM_Pool)
    ->Name("PoolAllocateFree/ours")
    ->ArgName("order")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Malloc)
    ->Name("PoolAllocateFree/malloc")
    ->ArgName("order")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond);
BENCH_CASE_DOES("PoolAllocateFree", "ours: 1M objects of 16 to 256 bytes taken from the pool, then given back in the "
                                    "order named (0 LIFO, 1 FIFO, 2 random); malloc: malloc and free of the same sizes "
                                    "in the same order");

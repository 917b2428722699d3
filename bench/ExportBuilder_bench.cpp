#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <unordered_map>
#include <vector>

#include "bench/BenchCase.h"
#include "exporter/builder/ExportBuilder.h"
#include "platform/host/HostScene.h"
#include "platform/host/INode.h"

// The builder's node lookups: n host nodes (real nodes of a host scene, so
// the keys are the addresses the exporter meets) mapped to their entities,
// then every node looked up once in a shuffled order with FindEntity,
// against std::unordered_map::find over the same keys and values.
namespace {

BENCH_CASE_DOES("BuilderLookups", "ours: ExportBuilder::FindEntity of every node key, shuffled; "
                                  "std: std::unordered_map<uintptr_t, CK3dEntity*>::find of the same keys");

struct Keys
{
    HostScene scene;
    std::vector<ExportKey> inserted;
    std::vector<ExportKey> looked;
};

const Keys& NodeKeys(int n)
{
    static std::unordered_map<int, Keys*> made;
    Keys*& keys = made[n];
    if (!keys) {
        keys = new Keys();
        for (int i = 0; i < n; ++i)
            keys->inserted.push_back((ExportKey) keys->scene.AddNode("Node"));
        keys->looked = keys->inserted;
        std::shuffle(keys->looked.begin(), keys->looked.end(), std::mt19937(12345));
    }
    return *keys;
}

CK3dEntity* FakeEntity(ExportKey key)
{
    return reinterpret_cast<CK3dEntity*>(key ^ 0x5A5A50);
}

void BM_LookupOurs(benchmark::State& state)
{
    const Keys& keys = NodeKeys((int) state.range(0));
    ExportBuilder builder(nullptr, FALSE);
    for (ExportKey key : keys.inserted)
        builder.entities.Insert(key, FakeEntity(key));
    for (auto _ : state) {
        uintptr_t sum = 0;
        for (ExportKey key : keys.looked)
            sum += (uintptr_t) builder.FindEntity(key);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * (int64_t) keys.looked.size());
}

void BM_LookupStd(benchmark::State& state)
{
    const Keys& keys = NodeKeys((int) state.range(0));
    std::unordered_map<uintptr_t, CK3dEntity*> map;
    for (ExportKey key : keys.inserted)
        map[key] = FakeEntity(key);
    for (auto _ : state) {
        uintptr_t sum = 0;
        for (ExportKey key : keys.looked) {
            auto it = map.find(key);
            sum += (uintptr_t) (it == map.end() ? nullptr : it->second);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * (int64_t) keys.looked.size());
}

} // namespace

BENCHMARK(BM_LookupOurs)->Name("BuilderLookups/ours")->ArgName("nodes")->Arg(10000)->Arg(100000);
BENCHMARK(BM_LookupStd)->Name("BuilderLookups/std")->ArgName("nodes")->Arg(10000)->Arg(100000);

// Adding objects to a level (its own scene), one announcement per object or
// all inside one add sequence, against inserting the same ids with a
// descriptor-sized value into a fresh std::unordered_map. Each side times
// only its own work; the same ns/object at every count means linear.
#include <benchmark/benchmark.h>

#include <memory>
#include <unordered_map>
#include <vector>

#include "bench/BenchCase.h"
#include "core/context/CKContext.h"
#include "core/context/CKStartUp.h"
#include "core/object/CKBeObject.h"
#include "core/scene/CKLevel.h"
#include "core/scene/CKScene.h"

namespace {

struct Descriptor
{
    CK_ID object;
    void* initialValue;
    CKDWORD flags;
};

void PerObject(benchmark::State& state, int count)
{
    state.counters["ns/object"] = benchmark::Counter((double) count * (double) state.iterations(),
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_LevelAddObject(benchmark::State& state)
{
    const int count = (int) state.range(0);
    const bool sequence = state.range(1) != 0;
    CKStartUp();
    CKContext* context = nullptr;
    CKCreateContext(&context, nullptr, nullptr);
    std::vector<CKBeObject*> objects(count);
    for (CKBeObject*& object : objects)
        object = static_cast<CKBeObject*>(context->CreateObject(CKCID_BEOBJECT));

    for (auto _ : state) {
        state.PauseTiming();
        auto* level = static_cast<CKLevel*>(context->CreateObject(CKCID_LEVEL, "Level"));
        context->SetCurrentLevel(level);
        CKScene* scene = level->GetLevelScene();
        state.ResumeTiming();

        if (sequence)
            scene->BeginAddSequence(TRUE);
        for (CKBeObject* object : objects)
            level->AddObject(object);
        if (sequence)
            scene->BeginAddSequence(FALSE);

        state.PauseTiming();
        context->DestroyObject(scene);
        context->DestroyObject(level);
        state.ResumeTiming();
    }
    PerObject(state, count);
    CKCloseContext(context);
    CKShutdown();
}

// The same ids into a fresh map each time (the add sequence changes nothing
// here); the map is freed outside the timing, as the level is.
void BM_MapInsert(benchmark::State& state)
{
    const int count = (int) state.range(0);
    std::vector<CK_ID> ids(count);
    for (int i = 0; i < count; ++i)
        ids[i] = CK_ID(i + 1);
    for (auto _ : state) {
        auto map = std::make_unique<std::unordered_map<CK_ID, Descriptor>>();
        for (CK_ID id : ids)
            map->emplace(id, Descriptor{id, nullptr, 65});
        benchmark::DoNotOptimize(map->size());
        state.PauseTiming();
        map.reset();
        state.ResumeTiming();
    }
    PerObject(state, count);
}

} // namespace

#define LEVEL_CASES                                                                                                    \
    ->ArgNames({"objects", "sequence"})->ArgsProduct({{10000, 100000, 1000000}, {0, 1}})->Unit(benchmark::kMillisecond)
BENCHMARK(BM_LevelAddObject)->Name("LevelAddObject/ours") LEVEL_CASES;
BENCHMARK(BM_MapInsert)->Name("LevelAddObject/std") LEVEL_CASES;
BENCH_CASE_DOES("LevelAddObject", "ours: CKLevel::AddObject of every object to a new level (sequence 1: inside one add "
                                  "sequence of its scene); std: emplace of each id with a 24-byte descriptor into a "
                                  "new std::unordered_map");

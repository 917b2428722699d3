// Adding objects to a level (its own scene), one announcement per object or
// all inside one add sequence, against inserting the same ids with a
// descriptor-sized value into std::unordered_map. The counter "x map" is the
// ratio of the two times; the same ns/object at every count means linear.
#include <benchmark/benchmark.h>

#include <chrono>
#include <unordered_map>
#include <vector>

#include "core/context/CKContext.h"
#include "core/context/CKStartUp.h"
#include "core/object/CKBeObject.h"
#include "core/scene/CKLevel.h"
#include "core/scene/CKScene.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Descriptor
{
    CK_ID object;
    void* initialValue;
    CKDWORD flags;
};

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

    double engine = 0.0;
    double peer = 0.0;
    for (auto _ : state) {
        auto* level = static_cast<CKLevel*>(context->CreateObject(CKCID_LEVEL, "Level"));
        context->SetCurrentLevel(level);
        CKScene* scene = level->GetLevelScene();

        Clock::time_point start = Clock::now();
        if (sequence)
            scene->BeginAddSequence(TRUE);
        for (CKBeObject* object : objects)
            level->AddObject(object);
        if (sequence)
            scene->BeginAddSequence(FALSE);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        engine += seconds;
        state.SetIterationTime(seconds);

        start = Clock::now();
        {
            std::unordered_map<CK_ID, Descriptor> map;
            for (CKBeObject* object : objects)
                map.emplace(object->GetID(), Descriptor{object->GetID(), nullptr, 65});
            peer += std::chrono::duration<double>(Clock::now() - start).count();
            benchmark::DoNotOptimize(map.size());
        }

        context->DestroyObject(scene);
        context->DestroyObject(level);
    }
    state.counters["ns/object"] = benchmark::Counter((double) count * (double) state.iterations(),
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["map ns/object"] = peer * 1e9 / ((double) count * (double) state.iterations());
    state.counters["x map"] = engine / peer;
    CKCloseContext(context);
    CKShutdown();
}

} // namespace

// Arguments: object count, add sequence (1) or not (0).
BENCHMARK(BM_LevelAddObject)
    ->Args({10000, 0})
    ->Args({10000, 1})
    ->Args({100000, 0})
    ->Args({100000, 1})
    ->Args({1000000, 0})
    ->Args({1000000, 1})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

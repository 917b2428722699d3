// Many small objects through the context: named creation with and without a
// name check, renaming, lookup by name, and deletion, at 10,000 and
// 1,000,000 objects so that the per-object counters show whether costs stay
// linear. The peers: heap objects with std::string names in an id vector and
// a std::unordered_set of names (creation), the same objects renamed in a
// std::unordered_multimap of names (renaming), and deleting all the objects
// in one call (deletion one call each).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "bench/BenchCase.h"
#include "core/context/CKContext.h"
#include "core/context/CKStartUp.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKObject.h"
#include "platform/PlatformTableMemory.h"

namespace {

class BenchObject : public CKClass<BenchObject, CKObject, 0>
{
public:
    explicit BenchObject(CKContext* context) : CKClass(context) {}
    static const char* GetClassName() { return "Bench Object"; }
};

class BenchListener : public CKClass<BenchListener, CKObject, 0>
{
public:
    explicit BenchListener(CKContext* context) : CKClass(context) {}
    void CheckPreDeletion() override { ++s_Notices; }
    static long s_Notices;
    static void Register() { CKClassNeedNotificationFrom(m_ClassID, BenchObject::m_ClassID); }
    static const char* GetClassName() { return "Bench Listener"; }
};
long BenchListener::s_Notices = 0;

CKContext* Start()
{
    CKStartUp();
    CKClassRegisterT<BenchObject, CKObject>("BenchObject");
    CKClassRegisterT<BenchListener, CKObject>("BenchListener");
    CKBuildClassHierarchyTable();
    CKContext* context = nullptr;
    CKCreateContext(&context, nullptr, nullptr);
    return context;
}

void Stop(CKContext* context)
{
    CKCloseContext(context);
    CKShutdown();
}

void PerObject(benchmark::State& state, int count)
{
    state.counters["ns/object"] = benchmark::Counter((double) count * (double) state.iterations(),
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

std::vector<std::string> Names(int count, const char* prefix)
{
    std::vector<std::string> names((size_t) count);
    char name[32];
    for (int i = 0; i < count; ++i) {
        std::snprintf(name, sizeof(name), "%s%07d", prefix, i);
        names[(size_t) i] = name;
    }
    return names;
}

// Named creation: check 0 creates whatever the names; check 1 looks each
// name up first (a clash would give a numbered name; there is none).
void BM_CreateNamed(benchmark::State& state)
{
    const int count = (int) state.range(0);
    const CKDWORD options = state.range(1) ? CK_OBJECTCREATION_RENAME : CK_OBJECTCREATION_NONAMECHECK;
    const std::vector<std::string> names = Names(count, "Object");
    CKContext* context = Start();
    std::vector<CK_ID> ids((size_t) count);
    for (auto _ : state) {
        for (int i = 0; i < count; ++i)
            ids[(size_t) i] =
                context->CreateObject(BenchObject::m_ClassID, names[(size_t) i].c_str(), options)->GetID();
        state.PauseTiming();
        context->DestroyObjects(ids.data(), count);
        state.ResumeTiming();
    }
    PerObject(state, count);
    Stop(context);
}

struct PeerObject
{
    unsigned id = 0;
    std::string name;
};

void BM_CreateNamedPeer(benchmark::State& state)
{
    const int count = (int) state.range(0);
    const bool check = state.range(1) != 0;
    const std::vector<std::string> names = Names(count, "Object");
    for (auto _ : state) {
        std::vector<std::unique_ptr<PeerObject>> objects;
        std::unordered_set<std::string> taken;
        for (int i = 0; i < count; ++i) {
            const std::string& name = names[(size_t) i];
            if (check && !taken.insert(name).second)
                continue;
            auto object = std::make_unique<PeerObject>();
            object->id = (unsigned) objects.size() + 1;
            object->name = name;
            objects.push_back(std::move(object));
        }
        state.PauseTiming();
        objects.clear();
        taken.clear();
        state.ResumeTiming();
    }
    PerObject(state, count);
}
#define CREATE_CASES                                                                                                   \
    ->ArgNames({"objects", "check"})->ArgsProduct({{10000, 1000000}, {0, 1}})->Unit(benchmark::kMillisecond)
BENCHMARK(BM_CreateNamed)->Name("CreateNamed/ours") CREATE_CASES;
BENCHMARK(BM_CreateNamedPeer)->Name("CreateNamed/std") CREATE_CASES;
BENCH_CASE_DOES("CreateNamed",
                "ours: CreateObject with a name (check 1: looked up in the class first); std: new object "
                "with a std::string name in an id vector (check 1: a std::unordered_set insert first)");

// Renaming every object once, and looking each up by its name, once a
// lookup by name has happened (the name index is live).
void BM_Rename(benchmark::State& state)
{
    const int count = (int) state.range(0);
    const std::vector<std::string> names = Names(count, "Object");
    const std::vector<std::string> renamed = Names(count, "Renamed");
    CKContext* context = Start();
    std::vector<CKObject*> objects((size_t) count);
    for (int i = 0; i < count; ++i)
        objects[(size_t) i] = context->CreateObject(BenchObject::m_ClassID, names[(size_t) i].c_str());
    context->GetObjectByNameAndClass("none", BenchObject::m_ClassID);
    bool flip = false;
    for (auto _ : state) {
        const std::vector<std::string>& next = flip ? names : renamed;
        for (int i = 0; i < count; ++i)
            objects[(size_t) i]->SetName(next[(size_t) i].c_str());
        flip = !flip;
    }
    PerObject(state, count);
    Stop(context);
}

// The peer keeps its own name index up to date: the old name out of a
// std::unordered_multimap, the new one in, the object's std::string set.
void BM_RenamePeer(benchmark::State& state)
{
    const int count = (int) state.range(0);
    const std::vector<std::string> names = Names(count, "Object");
    const std::vector<std::string> renamed = Names(count, "Renamed");
    std::vector<PeerObject> objects((size_t) count);
    std::unordered_multimap<std::string, PeerObject*> index;
    for (int i = 0; i < count; ++i) {
        objects[(size_t) i].id = (unsigned) i + 1;
        objects[(size_t) i].name = names[(size_t) i];
        index.emplace(names[(size_t) i], &objects[(size_t) i]);
    }
    bool flip = false;
    for (auto _ : state) {
        const std::vector<std::string>& next = flip ? names : renamed;
        for (int i = 0; i < count; ++i) {
            PeerObject& object = objects[(size_t) i];
            auto [first, last] = index.equal_range(object.name);
            for (auto it = first; it != last; ++it)
                if (it->second == &object) {
                    index.erase(it);
                    break;
                }
            object.name = next[(size_t) i];
            index.emplace(object.name, &object);
        }
        flip = !flip;
    }
    PerObject(state, count);
}
#define RENAME_CASES ->ArgName("objects")->Arg(10000)->Arg(1000000)->Unit(benchmark::kMillisecond)
BENCHMARK(BM_Rename)->Name("Rename/ours") RENAME_CASES;
BENCHMARK(BM_RenamePeer)->Name("Rename/std") RENAME_CASES;
BENCH_CASE_DOES("Rename", "ours: CKObject::SetName of every object while the name index is live; std: the object's "
                          "std::string name replaced, its entry moved in a std::unordered_multimap of names");

void BM_FindByName(benchmark::State& state)
{
    const int count = (int) state.range(0);
    const std::vector<std::string> names = Names(count, "Object");
    CKContext* context = Start();
    for (int i = 0; i < count; ++i)
        context->CreateObject(BenchObject::m_ClassID, names[(size_t) i].c_str());
    context->GetObjectByNameAndClass("none", BenchObject::m_ClassID);
    for (auto _ : state)
        for (int i = 0; i < count; ++i)
            benchmark::DoNotOptimize(
                context->GetObjectByNameAndClass(names[(size_t) i].c_str(), BenchObject::m_ClassID));
    PerObject(state, count);
    Stop(context);
}

void BM_FindByNamePeer(benchmark::State& state)
{
    const int count = (int) state.range(0);
    const std::vector<std::string> names = Names(count, "Object");
    std::unordered_set<std::string> taken(names.begin(), names.end());
    for (auto _ : state)
        for (int i = 0; i < count; ++i)
            benchmark::DoNotOptimize(taken.find(names[(size_t) i]));
    PerObject(state, count);
}
#define FIND_CASES ->ArgName("objects")->Arg(10000)->Arg(1000000)->Unit(benchmark::kMillisecond)
BENCHMARK(BM_FindByName)->Name("FindByName/ours") FIND_CASES;
BENCHMARK(BM_FindByNamePeer)->Name("FindByName/std") FIND_CASES;
BENCH_CASE_DOES("FindByName", "ours: GetObjectByNameAndClass of every object's name (the index built); std: "
                              "std::unordered_set<std::string>::find of every name");

// The floor under a lookup by name: one random 8-byte read per object into
// a table the size of the name index at that count (two slots an object, a
// power of two, on the same storage), so that the per-object figure shows
// what a single miss costs when the table fits the caches (10,000) and when
// it does not (1,000,000). ours: the reads independent of each other, as
// successive lookups are; chained: each read's place depends on the value
// the one before read, the whole latency of one miss.
void MissFloor(benchmark::State& state, bool chained)
{
    const int count = (int) state.range(0);
    size_t slots = 64;
    while (slots < 2 * (size_t) count)
        slots *= 2;
    PlatformTableMemory table;
    if (!table.Allocate(slots * sizeof(uint64_t))) {
        state.SkipWithError("no memory for the table");
        return;
    }
    uint64_t* words = static_cast<uint64_t*>(table.Data());
    for (size_t i = 0; i < slots; ++i)
        words[i] = i * 0x9E3779B97F4A7C15ull;
    const uint64_t mask = slots - 1;
    uint64_t seed = 1;
    for (auto _ : state) {
        uint64_t sum = 0;
        uint64_t last = 0;
        for (int i = 0; i < count; ++i) {
            uint64_t place = ((uint64_t) i + seed) * 0xD6E8FEB86659FD93ull;
            place ^= place >> 32;
            if (chained)
                place ^= last;
            last = words[place & mask];
            sum += last;
        }
        benchmark::DoNotOptimize(sum);
        seed += (uint64_t) count;
    }
    PerObject(state, count);
    state.counters["huge pages"] = table.HugePagesAdvised() ? 1 : 0;
}
void BM_MissFloor(benchmark::State& state)
{
    MissFloor(state, false);
}
void BM_MissFloorChained(benchmark::State& state)
{
    MissFloor(state, true);
}
BENCHMARK(BM_MissFloor)->Name("MissFloor/ours") FIND_CASES;
BENCHMARK(BM_MissFloorChained)->Name("MissFloor/chained") FIND_CASES;
BENCH_CASE_DOES("MissFloor", "not a comparison: one random 8-byte read per object into a table the size of the name "
                             "index at that count; ours: reads independent of each other; chained: each read's place "
                             "depends on the value read before (the whole latency of one miss)");
BENCH_CASE_PEER_KIND("MissFloor", "chained", "other work");

// Deleting objects: one call each (ours) or all in one call (the peer), with
// 0 to 1000 objects listening for deletions of their class.
void DeleteObjects(benchmark::State& state, bool oneByOne)
{
    const int count = (int) state.range(0);
    const int listeners = (int) state.range(1);
    CKContext* context = Start();
    for (int i = 0; i < listeners; ++i)
        context->CreateObject(BenchListener::m_ClassID);
    std::vector<CK_ID> ids((size_t) count);
    BenchListener::s_Notices = 0;
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < count; ++i)
            ids[(size_t) i] =
                context->CreateObject(BenchObject::m_ClassID, nullptr, CK_OBJECTCREATION_DYNAMIC)->GetID();
        state.ResumeTiming();
        if (oneByOne) {
            for (int i = 0; i < count; ++i)
                context->DestroyObjects(&ids[(size_t) i], 1);
        } else {
            context->DestroyObjects(ids.data(), count);
        }
    }
    PerObject(state, count);
    state.counters["notices/iter"] = (double) BenchListener::s_Notices / (double) state.iterations();
    Stop(context);
}
void BM_DeleteOneByOne(benchmark::State& state)
{
    DeleteObjects(state, true);
}
void BM_DeleteOneCall(benchmark::State& state)
{
    DeleteObjects(state, false);
}
#define DELETE_CASES                                                                                                   \
    ->ArgNames({"objects", "listeners"})                                                                               \
        ->Args({10000, 0})                                                                                             \
        ->Args({10000, 10})                                                                                            \
        ->Args({10000, 100})                                                                                           \
        ->Args({10000, 1000})                                                                                          \
        ->Args({1000000, 0})                                                                                           \
        ->Unit(benchmark::kMillisecond)
BENCHMARK(BM_DeleteOneByOne)->Name("DeleteObjects/ours") DELETE_CASES;
BENCHMARK(BM_DeleteOneCall)->Name("DeleteObjects/onecall") DELETE_CASES;
BENCH_CASE_DOES("DeleteObjects", "ours: DestroyObjects called once for each object; onecall: DestroyObjects of all of "
                                 "them in one call; listeners hear of every call (CheckPreDeletion)");
BENCH_CASE_PEER_KIND("DeleteObjects", "onecall", "own code");

} // namespace

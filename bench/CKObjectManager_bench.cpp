// Object creation and destruction through the context. Compares creating
// and destroying named objects at growing counts, and deleting objects one
// call at a time against one call for all while the number of objects that
// asked for deletion notices grows. Counters give the cost per object. No
// peer: the comparisons are between the engine's own ways.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "core/context/CKContext.h"
#include "core/context/CKStartUp.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKObject.h"

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

void BM_CreateAndDestroyNamed(benchmark::State& state)
{
    const int count = (int) state.range(0);
    const CKDWORD options = (CKDWORD) state.range(1);
    CKContext* context = Start();
    std::vector<CK_ID> ids(count);
    char name[32];
    for (auto _ : state) {
        for (int i = 0; i < count; ++i) {
            std::snprintf(name, sizeof(name), "Object%d", i);
            ids[i] = context->CreateObject(BenchObject::m_ClassID, name, options)->GetID();
        }
        context->DestroyObjects(ids.data(), count);
    }
    state.counters["ns/object"] = benchmark::Counter((double) count * state.iterations(),
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    Stop(context);
}
// Option 0 creates without a name check; option 3 looks the name up first.
BENCHMARK(BM_CreateAndDestroyNamed)
    ->Name("CreateDestroyNamed/ours")
    ->ArgNames({"objects", "options"})
    ->Args({1000, 0})
    ->Args({10000, 0})
    ->Args({100000, 0})
    ->Args({1000, 3})
    ->Args({10000, 3})
    ->Args({100000, 3})
    ->Unit(benchmark::kMillisecond);

void BM_DeleteObjects(benchmark::State& state)
{
    const int count = (int) state.range(0);
    const bool oneByOne = state.range(1) != 0;
    const int listeners = (int) state.range(2);
    CKContext* context = Start();
    for (int i = 0; i < listeners; ++i)
        context->CreateObject(BenchListener::m_ClassID);
    std::vector<CK_ID> ids(count);
    BenchListener::s_Notices = 0;
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < count; ++i)
            ids[i] = context->CreateObject(BenchObject::m_ClassID, nullptr, CK_OBJECTCREATION_DYNAMIC)->GetID();
        state.ResumeTiming();
        if (oneByOne) {
            for (int i = 0; i < count; ++i)
                context->DestroyObjects(&ids[i], 1);
        } else {
            context->DestroyObjects(ids.data(), count);
        }
    }
    state.counters["ns/object"] = benchmark::Counter((double) count * state.iterations(),
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["notices/iter"] = (double) BenchListener::s_Notices / (double) state.iterations();
    Stop(context);
}
// 10,000 objects, one call each (1) or one call for all (0), with 0, 10,
// 100 and 1000 objects listening for deletions.
BENCHMARK(BM_DeleteObjects)
    ->Name("DeleteObjects/ours")
    ->ArgNames({"objects", "onebyone", "listeners"})
    ->Args({10000, 1, 0})
    ->Args({10000, 0, 0})
    ->Args({10000, 1, 10})
    ->Args({10000, 0, 10})
    ->Args({10000, 1, 100})
    ->Args({10000, 0, 100})
    ->Args({10000, 1, 1000})
    ->Args({10000, 0, 1000})
    ->Args({1000, 1, 0})
    ->Args({100000, 1, 0})
    ->Unit(benchmark::kMillisecond);

} // namespace

// 3D entities against their natural peers:
// - world-matrix update: moving the root of a 100,000-node hierarchy brings
//   every world matrix up to date, one product each, against the same
//   number of QxMultiplyMatrix calls over flat arrays (each node's parent
//   earlier in the array, as a walk from the root visits them), which stay
//   in the cache; and over records as large as an entity, with a flag word
//   apart as the scene-graph node's, which do not: the update is bound by
//   the memory it touches;
// - engine files: saving and loading 100,000 3D entities (placed in a
//   hierarchy, each with its section: flags, world matrix, parent, weights)
//   against the same engine-file save and load of 100,000 plain behavioural
//   objects.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench/BenchCase.h"
#include "bench/BenchTempFile.h"
#include "core/context/CKContext.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "core/file/CKFile.h"
#include "render/context/CKRenderEngine.h"
#include "render/objects/RCK3dEntity.h"
#include "system/math/QxMatrix.h"

namespace {

constexpr int kNodes = 100000;
// Children per node: a hierarchy about six levels deep.
constexpr int kFanOut = 8;

void StartEngine()
{
    static bool started = false;
    if (started)
        return;
    started = true;
    CKStartUp();
    CKGetPluginManager()->RegisterPlugin(0, CKGetRenderEnginePluginInfo(0), nullptr, nullptr);
    CKGetPluginManager()->AddStaticDll("Render Engine", 1);
}

CKContext* NewContext()
{
    StartEngine();
    CKContext* context = nullptr;
    CKCreateContext(&context, nullptr, nullptr);
    return context;
}

// A small rotation with a translation, the local matrix of every node.
QxMatrix LocalMatrix(int i)
{
    float a = 0.001f * (float) (i % 97);
    QxMatrix m = QxMatrix::Identity();
    m[0][0] = m[1][1] = 1.0f - a * a / 2;
    m[0][1] = a;
    m[1][0] = -a;
    m[3][0] = 0.5f;
    m[3][1] = (float) (i % 7);
    return m;
}

int ParentOf(int i)
{
    return (i - 1) / kFanOut;
}

struct Hierarchy
{
    CKContext* context = nullptr;
    std::vector<RCK3dEntity*> nodes;
};

Hierarchy& GetHierarchy()
{
    static Hierarchy h;
    if (h.context)
        return h;
    h.context = NewContext();
    for (int i = 0; i < kNodes; ++i) {
        char name[32];
        std::snprintf(name, sizeof(name), "Node%06d", i);
        auto* e = static_cast<RCK3dEntity*>(h.context->CreateObject(CKCID_3DENTITY, name));
        if (i > 0)
            e->SetParent(h.nodes[(size_t) ParentOf(i)], FALSE);
        e->SetLocalMatrix(LocalMatrix(i));
        h.nodes.push_back(e);
    }
    return h;
}

void BM_WorldMatrixUpdate(benchmark::State& state)
{
    Hierarchy& h = GetHierarchy();
    RCK3dEntity* root = h.nodes[0];
    float x = 0.0f;
    for (auto _ : state) {
        x += 1.0f;
        root->SetPosition3f(x, 0, 0);
        benchmark::DoNotOptimize(h.nodes.back()->GetWorldMatrix()[3][0]);
    }
    state.counters["products"] = kNodes - 1;
}

void BM_FlatProducts(benchmark::State& state)
{
    std::vector<QxMatrix> locals((size_t) kNodes), worlds((size_t) kNodes);
    for (int i = 0; i < kNodes; ++i)
        locals[(size_t) i] = LocalMatrix(i);
    worlds[0] = locals[0];
    float x = 0.0f;
    for (auto _ : state) {
        x += 1.0f;
        worlds[0][3][0] = x;
        for (int i = 1; i < kNodes; ++i)
            QxMultiplyMatrix(worlds[(size_t) i], worlds[(size_t) ParentOf(i)], locals[(size_t) i]);
        benchmark::DoNotOptimize(worlds.back()[3][0]);
    }
    state.counters["products"] = kNodes - 1;
}

// The flat loop over records laid out as the entities are: matrices inside
// a record of the entity's size, a flag word cleared in another array.
struct EntitySized
{
    char before[160];
    QxMatrix local;
    QxMatrix world;
    char after[sizeof(RCK3dEntity) - 160 - 2 * sizeof(QxMatrix)];
};

void BM_StridedProducts(benchmark::State& state)
{
    std::vector<EntitySized> records((size_t) kNodes);
    std::vector<CKDWORD> nodeFlags((size_t) kNodes * 24);
    for (int i = 0; i < kNodes; ++i) {
        records[(size_t) i].local = LocalMatrix(i);
        records[(size_t) i].world = QxMatrix::Identity();
    }
    float x = 0.0f;
    for (auto _ : state) {
        x += 1.0f;
        records[0].world[3][0] = x;
        for (int i = 1; i < kNodes; ++i) {
            EntitySized& r = records[(size_t) i];
            QxMultiplyMatrix(r.world, records[(size_t) ParentOf(i)].world, r.local);
            nodeFlags[(size_t) i * 24] &= ~0xCu;
        }
        benchmark::DoNotOptimize(records.back().world[3][0]);
    }
    state.counters["products"] = kNodes - 1;
}

// One context holding the saved objects: 3D entities or plain objects.
struct Saved
{
    CKContext* context = nullptr;
    std::vector<CKObject*> objects;
    std::string path;
};

Saved& GetSaved(bool entities)
{
    static Saved saved[2];
    Saved& s = saved[entities];
    if (s.context)
        return s;
    s.context = NewContext();
    s.path = BenchTempFile(entities ? "entities.qdx" : "objects.qdx");
    std::mt19937 rng(7);
    for (int i = 0; i < kNodes; ++i) {
        char name[32];
        std::snprintf(name, sizeof(name), "Object%06d", i);
        CKObject* o = s.context->CreateObject(entities ? CKCID_3DENTITY : CKCID_BEOBJECT, name);
        if (entities) {
            auto* e = static_cast<RCK3dEntity*>(o);
            if (i > 0)
                e->SetParent(static_cast<RCK3dEntity*>(s.objects[(size_t) ParentOf(i)]), FALSE);
            e->SetLocalMatrix(LocalMatrix(i));
            e->SetZOrder((int) (rng() % 3));
        }
        s.objects.push_back(o);
    }
    return s;
}

CKERROR Save(Saved& s)
{
    CKFile* file = s.context->CreateCKFile();
    CKERROR result = file->StartSave(s.path.c_str());
    for (CKObject* o : s.objects)
        file->SaveObject(o, 0xFFFFFFFF);
    if (result == 0)
        result = file->EndSave();
    s.context->DeleteCKFile(file);
    return result;
}

void BM_Save(benchmark::State& state, bool entities)
{
    Saved& s = GetSaved(entities);
    for (auto _ : state)
        if (Save(s) != 0)
            state.SkipWithError("save failed");
    state.counters["objects"] = kNodes;
    std::error_code ec;
    state.counters["file_MB"] = (double) std::filesystem::file_size(s.path, ec) / (1 << 20);
}

void BM_Load(benchmark::State& state, bool entities)
{
    Saved& s = GetSaved(entities);
    if (Save(s) != 0)
        state.SkipWithError("save failed");
    for (auto _ : state) {
        state.PauseTiming();
        CKContext* fresh = NewContext();
        CKFile* file = fresh->CreateCKFile();
        state.ResumeTiming();
        if (file->Load(s.path.c_str(), nullptr) != 0)
            state.SkipWithError("load failed");
        state.PauseTiming();
        fresh->DeleteCKFile(file);
        CKCloseContext(fresh);
        state.ResumeTiming();
    }
    state.counters["objects"] = kNodes;
}

} // namespace

BENCHMARK(BM_WorldMatrixUpdate)->Name("WorldMatrixUpdate/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FlatProducts)->Name("WorldMatrixUpdate/QxMultiplyMatrix")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StridedProducts)->Name("WorldMatrixUpdate/QxMultiplyMatrixStrided")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Save, entities, true)->Name("EntityFileSave/ours")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Save, objects, false)->Name("EntityFileSave/plainobjects")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Load, entities, true)->Name("EntityFileLoad/ours")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Load, objects, false)->Name("EntityFileLoad/plainobjects")->Unit(benchmark::kMillisecond);
BENCH_CASE_DOES("WorldMatrixUpdate",
                "ours: the root of a 100,000-node hierarchy moved, every world matrix brought up "
                "to date; QxMultiplyMatrix: the same products over flat arrays; "
                "QxMultiplyMatrixStrided: over records of an entity's size with a flag word apart");
BENCH_CASE_PEER_KIND("WorldMatrixUpdate", "QxMultiplyMatrix", "own code");
BENCH_CASE_PEER_KIND("WorldMatrixUpdate", "QxMultiplyMatrixStrided", "own code");
BENCH_CASE_DOES("EntityFileSave",
                "ours: engine-file save of 100,000 3D entities in a hierarchy; plainobjects: the same "
                "save of 100,000 plain behavioural objects");
BENCH_CASE_PEER_KIND("EntityFileSave", "plainobjects", "own code");
BENCH_CASE_DOES("EntityFileLoad", "ours: engine-file load of the 100,000 3D entities into a fresh context; "
                                  "plainobjects: the same load of the 100,000 plain behavioural objects");
BENCH_CASE_PEER_KIND("EntityFileLoad", "plainobjects", "own code");

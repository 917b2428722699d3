// Vertex merging, mesh sections and blend shapes against their natural
// peers: meshoptimizer's vertex remap on the same records, memcpy of the
// same bytes, and a dense loop over every vertex.
#include <benchmark/benchmark.h>
#include <cstring>
#include <meshoptimizer.h>
#include <vector>

#include "bench/BenchCase.h"
#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKFunctions.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "core/object/CKClassRegistry.h"
#include "render/context/CKRenderEngine.h"
#include "render/mesh/RCKMesh.h"

namespace {

struct Scene
{
    CKContext* Context = nullptr;
    RCKMesh* Mesh = nullptr;
};

// A grid of side n, dissociated: one vertex per face corner, so that
// merging brings it back to (n + 1)^2 vertices.
Scene Start(int vertices, bool dissociate)
{
    Scene s;
    CKStartUp();
    CKGetPluginManager()->RegisterPlugin(0, CKGetRenderEnginePluginInfo(0), nullptr, nullptr);
    CKGetPluginManager()->AddStaticDll("Render Engine", 1);
    CKBuildClassHierarchyTable();
    CKCreateContext(&s.Context, nullptr, nullptr);
    int n = 1;
    while ((dissociate ? 6 * (n + 1) * (n + 1) : (n + 2) * (n + 2)) <= vertices)
        ++n;
    s.Mesh = static_cast<RCKMesh*>(s.Context->CreateObject(CKCID_MESH));
    s.Mesh->SetVertexCount((n + 1) * (n + 1));
    for (int y = 0; y <= n; ++y)
        for (int x = 0; x <= n; ++x) {
            const int v = y * (n + 1) + x;
            s.Mesh->SetVertexPosition(v, QxVector((float) x, (float) ((x * 7 + y * 3) % 5), (float) y));
            s.Mesh->SetVertexNormal(v, QxVector(0.0f, 1.0f, 0.0f));
            s.Mesh->SetVertexTextureCoordinates(v, (float) x / (float) n, (float) y / (float) n);
        }
    s.Mesh->SetFaceCount(2 * n * n);
    int f = 0;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const int v = y * (n + 1) + x;
            s.Mesh->SetFaceVertexIndex(f++, v, v + n + 1, v + 1);
            s.Mesh->SetFaceVertexIndex(f++, v + 1, v + n + 1, v + n + 2);
        }
    if (dissociate)
        s.Mesh->DissociateAllFaces();
    return s;
}

void Stop(Scene& s)
{
    CKCloseContext(s.Context);
    CKShutdown();
}

void BM_Consolidate_Ours(benchmark::State& state)
{
    Scene s = Start((int) state.range(0), true);
    XArray<CKDWORD> records;
    const int stride = s.Mesh->GetInterleavedRecords(records, false, nullptr);
    const int vertices = s.Mesh->GetVertexCount();
    std::vector<CKDWORD> corners(s.Mesh->GetFacesIndices(), s.Mesh->GetFacesIndices() + s.Mesh->GetFaceCount() * 3);
    for (auto _ : state) {
        state.PauseTiming();
        s.Mesh->LoadInterleavedRecords(records, stride);
        std::memcpy(s.Mesh->GetFacesIndices(), corners.data(), corners.size() * 4);
        state.ResumeTiming();
        s.Mesh->Consolidate();
    }
    state.counters["vertices"] = vertices;
    state.counters["merged"] = s.Mesh->GetVertexCount();
    Stop(s);
}

void BM_Consolidate_Meshopt(benchmark::State& state)
{
    Scene s = Start((int) state.range(0), true);
    XArray<CKDWORD> records;
    const int stride = s.Mesh->GetInterleavedRecords(records, false, nullptr);
    const int n = s.Mesh->GetVertexCount();
    std::vector<unsigned int> remap((size_t) n);
    size_t unique = 0;
    for (auto _ : state) {
        unique = meshopt_generateVertexRemap(remap.data(), nullptr, (size_t) n, records.Begin(), (size_t) n,
                                             (size_t) stride * 4);
        benchmark::DoNotOptimize(remap.data());
    }
    state.counters["vertices"] = n;
    state.counters["merged"] = (double) unique;
    Stop(s);
}

void BM_MeshSaveLoad_Ours(benchmark::State& state)
{
    Scene s = Start((int) state.range(0), false);
    RCKMesh* target = static_cast<RCKMesh*>(s.Context->CreateObject(CKCID_MESH));
    size_t bytes = 0;
    for (auto _ : state) {
        CKStateChunk* chunk = CKSaveObjectState(s.Mesh);
        bytes = (size_t) chunk->GetDataSize();
        target->Load(chunk, nullptr);
        CKDeleteStateChunk(chunk);
    }
    state.SetBytesProcessed((int64_t) (bytes * state.iterations()));
    Stop(s);
}

void BM_MeshSaveLoad_Memcpy(benchmark::State& state)
{
    Scene s = Start((int) state.range(0), false);
    CKStateChunk* chunk = CKSaveObjectState(s.Mesh);
    const size_t bytes = (size_t) chunk->GetDataSize();
    std::vector<CKBYTE> a(bytes), b(bytes), c(bytes);
    std::memcpy(a.data(), chunk->GetBuffer(), bytes);
    CKDeleteStateChunk(chunk);
    for (auto _ : state) {
        // Out of the mesh into a chunk, and back.
        std::memcpy(b.data(), a.data(), bytes);
        std::memcpy(c.data(), b.data(), bytes);
        benchmark::DoNotOptimize(c.data());
    }
    state.SetBytesProcessed((int64_t) (bytes * state.iterations()));
    Stop(s);
}

// 100,000 vertices, 10% of them moved by two targets.
CKBlendShapeData Shapes(int n)
{
    CKBlendShapeData data;
    data.Names.PushBack(XString("a"));
    data.Names.PushBack(XString("b"));
    for (int t = 0; t < 2; ++t) {
        CKBlendShapeTarget target;
        target.WeightIndex = (CKDWORD) t;
        for (int v = t; v < n; v += 10)
            target.Deltas.PushBack(CKBlendShapeDelta{(CKDWORD) v, QxVector(0, 0.1f, 0), QxVector()});
        data.Targets.PushBack(target);
    }
    for (int v = 0; v < n; v += 10)
        data.BaseVertices.PushBack(CKBlendShapeBaseVertex{(CKDWORD) v, QxVector(), QxVector(0, 1, 0)});
    return data;
}

void BM_BlendShapes_Ours(benchmark::State& state)
{
    Scene s = Start((int) state.range(0), false);
    s.Mesh->SetBlendShapes(Shapes(s.Mesh->GetVertexCount()));
    const float weights[2] = {0.5f, 0.25f};
    for (auto _ : state)
        s.Mesh->ApplyBlendShapes(nullptr, nullptr, weights, 2);
    Stop(s);
}

void BM_BlendShapes_Dense(benchmark::State& state)
{
    Scene s = Start((int) state.range(0), false);
    const int n = s.Mesh->GetVertexCount();
    // Every vertex: base plus both targets' (mostly zero) deltas.
    std::vector<QxVector> base((size_t) n), d0((size_t) n), d1((size_t) n), out((size_t) n);
    for (int v = 0; v < n; v += 10)
        d0[(size_t) v] = QxVector(0, 0.1f, 0);
    for (int v = 1; v < n; v += 10)
        d1[(size_t) v] = QxVector(0, 0.1f, 0);
    for (auto _ : state) {
        for (size_t v = 0; v < (size_t) n; ++v)
            out[v] = base[v] + d0[v] * 0.5f + d1[v] * 0.25f;
        benchmark::DoNotOptimize(out.data());
    }
    Stop(s);
}

} // namespace

BENCHMARK(BM_Consolidate_Ours)->Name("MeshConsolidate/ours")->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Consolidate_Meshopt)->Name("MeshConsolidate/meshoptimizer")->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MeshSaveLoad_Ours)->Name("MeshSaveLoad/ours")->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MeshSaveLoad_Memcpy)->Name("MeshSaveLoad/memcpy")->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BlendShapes_Ours)->Name("MeshBlendShapes/ours")->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BlendShapes_Dense)->Name("MeshBlendShapes/dense")->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCH_CASE_DOES("MeshConsolidate", "ours: RCKMesh::Consolidate of a dissociated grid (equal vertices merged, faces and "
                                   "channels renumbered); meshoptimizer: meshopt_generateVertexRemap of the same "
                                   "records only, with no mesh rewritten");
BENCH_CASE_DOES("MeshSaveLoad",
                "ours: a grid mesh saved to a new state chunk and loaded into another mesh; memcpy: two "
                "copies of the chunk's bytes, the least a save and load can do");
BENCH_CASE_PEER_KIND("MeshSaveLoad", "memcpy", "lower bound");
BENCH_CASE_DOES("MeshBlendShapes", "ours: ApplyBlendShapes of two targets moving a tenth of the vertices each; dense: "
                                   "base plus both weighted deltas over every vertex");

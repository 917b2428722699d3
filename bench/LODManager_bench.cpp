// The level-of-detail manager's cost:
// - a frame: every entity carries "LOD Object" with several meshes (16 of
//   100 to 16,000 faces, spread over depths from 20 to 5,000 in front of the
//   camera) and runs the manager's pre-render callback (measure, face ratio,
//   mesh choice), against the same frame, through the same frame driver,
//   with the manager switched off (no callback); the difference per entity
//   is what the manager adds;
// - a fade: a pre-lit mesh of one material faded for one drawing and put
//   back (each vertex alpha kept, scaled, then restored), against copying
//   its colour array aside and back with memcpy, the plainest way to keep
//   and restore the colours.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench/BenchCase.h"
#include "core/context/CKContext.h"
#include "core/context/CKRenderContext.h"
#include "core/context/CKRenderManager.h"
#include "core/context/CKStartUp.h"
#include "core/object/CKBeObject.h"
#include "lod/LODManager.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CK3dEntity.h"
#include "render/objects/CKCamera.h"
#include "tools/blockharness/BlockHarness.h"

namespace {

BENCH_CASE_DOES("LodFrame", "ours: one frame of N entities with 16 meshes each, the manager choosing a mesh for each; "
                            "lodoff: the same frame with the manager off (no callback)");
BENCH_CASE_PEER_KIND("LodFrame", "lodoff", "own code");
BENCH_CASE_DOES("LodFade", "ours: a pre-lit mesh of N vertices faded for one drawing and restored (alphas kept, "
                           "scaled, put back); memcpy: its colour array copied aside and back");
BENCH_CASE_PEER_KIND("LodFade", "memcpy", "lower bound");

constexpr int kMeshes = 16;

CKContext* Context()
{
    static CKContext* context = nullptr;
    if (!context) {
        CKStartUp();
        RegisterBlockPlugins();
        CKCreateContext(&context, nullptr, nullptr);
    }
    return context;
}

CKMesh* NewMesh(CKContext* context, int faces)
{
    auto* mesh = static_cast<CKMesh*>(context->CreateObject(CKCID_MESH, "m"));
    mesh->SetVertexCount(3);
    mesh->SetVertexPosition(0, QxVector(1.0f, 0.0f, 0.0f));
    mesh->SetVertexPosition(1, QxVector(-1.0f, 0.0f, 0.0f));
    mesh->SetFaceCount(faces);
    return mesh;
}

struct Scene
{
    CKRenderContext* dev = nullptr;
    std::vector<CK3dEntity*> entities;
};

Scene& GetScene(int count)
{
    static Scene scenes[2];
    Scene& s = scenes[count > 1000];
    if (s.dev)
        return s;
    CKContext* context = Context();
    LODManager* manager = static_cast<LODManager*>(context->GetManagerByGuid(LOD_MANAGER_GUID));
    QxIntRect rect{0, 0, 640, 480};
    s.dev = context->GetRenderManager()->CreateRenderContext(nullptr, 0, &rect);
    auto* camera = static_cast<CKCamera*>(context->CreateObject(CKCID_CAMERA, "camera"));
    s.dev->AttachViewpointToCamera(camera);
    // The meshes are shared: the work is per entity, not per mesh.
    std::vector<CKMesh*> meshes;
    for (int m = 0; m < kMeshes; ++m)
        meshes.push_back(NewMesh(context, 16000 - 1000 * m));
    for (int i = 0; i < count; ++i) {
        auto* e = static_cast<CK3dEntity*>(context->CreateObject(CKCID_3DOBJECT, "e"));
        for (CKMesh* mesh : meshes)
            e->AddMesh(mesh);
        e->SetCurrentMesh(meshes[0], FALSE);
        e->SetPosition3f((float) (i % 50) - 25.0f, (float) (i % 7), 20.0f + (float) (i % 4990));
        e->SetAttribute(manager->GetLodAttribute());
        LODOptions* options = manager->GetLodOptions(e);
        options->Flags = LOD_MULTIPLEMESHES;
        s.entities.push_back(e);
    }
    return s;
}

void BM_Frame(benchmark::State& state, bool active)
{
    Scene& s = GetScene((int) state.range(0));
    LODManager* manager = static_cast<LODManager*>(Context()->GetManagerByGuid(LOD_MANAGER_GUID));
    manager->SetActive(FALSE);
    manager->SetActive(active);
    // A first frame settles every entity on its mesh: the loop measures the
    // steady state of a still camera.
    RunFrame(s.dev, s.entities);
    for (auto _ : state) {
        RunFrame(s.dev, s.entities);
        benchmark::ClobberMemory();
    }
    state.counters["entities"] = (double) s.entities.size();
}

struct Faded
{
    CK3dEntity* entity = nullptr;
    CKMesh* mesh = nullptr;
};

Faded& GetFaded(int vertices)
{
    static Faded faded[2];
    Faded& f = faded[vertices > 10000];
    if (f.mesh)
        return f;
    CKContext* context = Context();
    f.mesh = NewMesh(context, 1);
    f.mesh->SetVertexCount(vertices);
    f.mesh->SetLitMode(0);
    auto* material = static_cast<CKMaterial*>(context->CreateObject(CKCID_MATERIAL, "m"));
    f.mesh->SetFaceMaterial(0, material);
    for (int v = 0; v < vertices; ++v)
        f.mesh->SetVertexColor(v, 0x80FFFFFFu + (CKDWORD) (v & 0x7F) * 0x01000000u);
    f.entity = static_cast<CK3dEntity*>(context->CreateObject(CKCID_3DOBJECT, "faded"));
    f.entity->SetCurrentMesh(f.mesh, TRUE);
    return f;
}

void BM_FadeOurs(benchmark::State& state)
{
    Faded& f = GetFaded((int) state.range(0));
    LODManager* manager = static_cast<LODManager*>(Context()->GetManagerByGuid(LOD_MANAGER_GUID));
    LODOptions options;
    options.Flags = LOD_ALPHA;
    for (auto _ : state) {
        manager->ApplyLod(f.entity, 1.0f, 0.5f, options);
        LODManager::OnLodPostRender(nullptr, f.entity, manager);
        f.entity->RemovePostRenderCallBack(&LODManager::OnLodPostRender, manager);
        benchmark::ClobberMemory();
    }
    state.counters["vertices"] = (double) state.range(0);
}

void BM_FadeMemcpy(benchmark::State& state)
{
    Faded& f = GetFaded((int) state.range(0));
    CKDWORD stride = 0;
    void* colors = f.mesh->GetColorsPtr(&stride);
    size_t bytes = (size_t) stride * (size_t) f.mesh->GetVertexCount();
    // Kept from one drawing to the next, as the manager keeps its own.
    std::vector<CKBYTE> aside(bytes);
    for (auto _ : state) {
        std::memcpy(aside.data(), colors, bytes);
        benchmark::ClobberMemory();
        std::memcpy(colors, aside.data(), bytes);
        benchmark::ClobberMemory();
    }
    state.counters["vertices"] = (double) state.range(0);
}

} // namespace

BENCHMARK_CAPTURE(BM_Frame, on, true)->Name("LodFrame/ours")->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Frame, off, false)->Name("LodFrame/lodoff")->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FadeOurs)->Name("LodFade/ours")->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FadeMemcpy)->Name("LodFade/memcpy")->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

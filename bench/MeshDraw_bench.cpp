// Drawing a mesh through the NULL rasterizer, grids of 100,000 and 1,000,000
// triangles in 8 materials with one channel drawn in a pass of its own:
// - MeshDraw: a frame whose vertices moved (every buffer refilled, the
//   groups, the channel pass and its states through the rasterizer
//   context), against memcpy of the bytes the buffers hold;
// - MeshDrawStatic: a frame with nothing changed (the engine's own cost per
//   frame: preparation, states, draw calls), against the same memcpy.
// Counter "MB": the bytes of the mesh's buffers.

#include <benchmark/benchmark.h>

#include "bench/BenchCase.h"
#include "bench/BenchRenderScene.h"
#include "render/mesh/CKMaterialGroup.h"

namespace {

BENCH_CASE_DOES("MeshDraw", "ours: one immediate draw of a mesh whose vertices moved (buffers refilled, groups, a "
                            "channel pass) through the NULL rasterizer; memcpy: the buffers' bytes copied once");
BENCH_CASE_PEER_KIND("MeshDraw", "memcpy", "lower bound");
BENCH_CASE_DOES("MeshDrawStatic", "ours: one immediate draw of an unchanged mesh (states and draw calls only) through "
                                  "the NULL rasterizer; memcpy: the buffers' bytes copied once");
BENCH_CASE_PEER_KIND("MeshDrawStatic", "memcpy", "lower bound");

using Scene = BenchGridScene;

Scene Start(int triangles)
{
    Scene s = StartBenchGridScene(triangles);
    s.Mesh->AddChannel(static_cast<CKMaterial*>(s.Context->CreateObject(CKCID_MATERIAL)));
    // The first draw builds the groups and makes the buffers.
    s.Mesh->Render(s.RenderContext, nullptr);
    return s;
}

void Stop(Scene& s)
{
    StopRenderBenchContext(s.Context);
}

size_t BufferBytes(RCKMesh* mesh)
{
    // The channel's vertices: position and one texture set.
    return GroupBufferBytes(mesh) + (size_t) mesh->GetVertexCount() * 20;
}

void Draw(benchmark::State& state, bool moved)
{
    Scene s = Start((int) state.range(0));
    for (auto _ : state) {
        if (moved)
            s.Mesh->VertexMove();
        s.Mesh->Render(s.RenderContext, nullptr);
    }
    const size_t bytes = BufferBytes(s.Mesh);
    state.counters["MB"] = (double) bytes / 1e6;
    Stop(s);
}

void BM_Draw_Ours(benchmark::State& state)
{
    Draw(state, true);
}

void BM_DrawStatic_Ours(benchmark::State& state)
{
    Draw(state, false);
}

void BM_Draw_Memcpy(benchmark::State& state)
{
    Scene s = Start((int) state.range(0));
    MemcpyPeerLoop(state, BufferBytes(s.Mesh));
    Stop(s);
}

} // namespace

BENCHMARK(BM_Draw_Ours)->Name("MeshDraw/ours")->Apply(BenchGridSizes);
BENCHMARK(BM_Draw_Memcpy)->Name("MeshDraw/memcpy")->Apply(BenchGridSizes);
BENCHMARK(BM_DrawStatic_Ours)->Name("MeshDrawStatic/ours")->Apply(BenchGridSizes);
BENCHMARK(BM_Draw_Memcpy)->Name("MeshDrawStatic/memcpy")->Apply(BenchGridSizes);

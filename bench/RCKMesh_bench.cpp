// The mesh's render data on grids of 100,000 and 1,000,000 triangles whose
// faces take 8 materials in square patches:
// - MaterialGroups: building the groups (face lists, per-primitive vertex
//   remaps and 16-bit indices, split at 65,535 vertices; no vertex-cache
//   reordering) against the same partition made in one pass of std::vector
//   pushes;
// - VertexFill: filling every primitive's vertex buffer (a gather through
//   its remap) against memcpy of the same number of bytes.
// Counters: "primitives" (the primitives built), "MB" (the bytes filled).

#include <benchmark/benchmark.h>

#include <vector>

#include "bench/BenchCase.h"
#include "bench/BenchRenderScene.h"
#include "render/context/rasterizer/CKDrawPrimitiveData.h"
#include "render/mesh/CKMaterialGroup.h"

namespace {

using Scene = BenchGridScene;

Scene Start(int triangles)
{
    return StartBenchGridScene(triangles);
}

void Stop(Scene& s)
{
    StopRenderBenchContext(s.Context);
}

int PrimitiveCount(RCKMesh* mesh)
{
    int count = 0;
    for (int g = 0; g < mesh->GetMaterialGroupCount(); ++g) {
        const CKMaterialGroup* group = mesh->GetMaterialGroup(g);
        count += (group->VertexCount > 0) + group->SubPrimitives.Size();
    }
    return count;
}

void BM_MaterialGroups_Ours(benchmark::State& state)
{
    Scene s = Start((int) state.range(0));
    for (auto _ : state) {
        s.Mesh->FacesChanged();
        benchmark::DoNotOptimize(s.Mesh->BuildMaterialGroups());
    }
    state.counters["primitives"] = PrimitiveCount(s.Mesh);
    Stop(s);
}

// One primitive of the plain partition.
struct Primitive
{
    std::vector<CKDWORD> Remap;
    std::vector<CKWORD> Indices;
};

struct Group
{
    std::vector<CKDWORD> Faces;
    std::vector<Primitive> Primitives;
    std::vector<CKDWORD> Local; // local number + 1 of each mesh vertex in the last primitive
};

void BM_MaterialGroups_Vector(benchmark::State& state)
{
    Scene s = Start((int) state.range(0));
    const int vertexCount = s.Mesh->GetVertexCount();
    const int faceCount = s.Mesh->GetFaceCount();
    const CKDWORD* corners = s.Mesh->GetFacesIndices();
    std::vector<int> faceGroup(faceCount);
    for (int f = 0; f < faceCount; ++f)
        faceGroup[f] = s.Mesh->GetMaterialGroupIndex(s.Mesh->GetFaceMaterial(f), FALSE);
    const int groupCount = s.Mesh->GetMaterialGroupCount();
    int primitives = 0;
    for (auto _ : state) {
        std::vector<Group> groups((size_t) groupCount);
        for (int f = 0; f < faceCount; ++f) {
            Group& g = groups[(size_t) faceGroup[f]];
            if (g.Local.empty())
                g.Local.assign((size_t) vertexCount, 0);
            if (g.Primitives.empty() || g.Primitives.back().Remap.size() > 65532) {
                if (!g.Primitives.empty())
                    for (CKDWORD v : g.Primitives.back().Remap)
                        g.Local[v] = 0;
                g.Primitives.emplace_back();
            }
            Primitive& p = g.Primitives.back();
            g.Faces.push_back((CKDWORD) f);
            for (int k = 0; k < 3; ++k) {
                const CKDWORD v = corners[3 * f + k];
                if (!g.Local[v]) {
                    p.Remap.push_back(v);
                    g.Local[v] = (CKDWORD) p.Remap.size();
                }
                p.Indices.push_back((CKWORD) (g.Local[v] - 1));
            }
        }
        primitives = 0;
        for (const Group& g : groups)
            primitives += (int) g.Primitives.size();
        benchmark::DoNotOptimize(groups.data());
    }
    state.counters["primitives"] = primitives;
    Stop(s);
}

void BM_VertexFill_Ours(benchmark::State& state)
{
    Scene s = Start((int) state.range(0));
    CKDrawPrimitiveData data;
    // The first draw creates the buffers; the loop only refills them.
    s.Mesh->UpdateRenderData(s.RenderContext, data);
    s.Mesh->EndDraw();
    CKRasterizerContext* rst = s.RenderContext->GetRasterizerContext();
    for (auto _ : state) {
        s.Mesh->VertexMove();
        for (int g = 0; g < s.Mesh->GetMaterialGroupCount(); ++g)
            benchmark::DoNotOptimize(s.Mesh->FillGroupBuffers(rst, *s.Mesh->GetMaterialGroup(g), data));
        s.Mesh->EndDraw();
    }
    const CKDWORD bytes = (CKDWORD) GroupBufferBytes(s.Mesh);
    state.SetBytesProcessed((int64_t) state.iterations() * bytes);
    state.counters["MB"] = bytes / 1e6;
    Stop(s);
}

void BM_VertexFill_Memcpy(benchmark::State& state)
{
    Scene s = Start((int) state.range(0));
    CKDrawPrimitiveData data;
    s.Mesh->UpdateRenderData(s.RenderContext, data);
    const CKDWORD bytes = (CKDWORD) GroupBufferBytes(s.Mesh);
    MemcpyPeerLoop(state, bytes);
    state.SetBytesProcessed((int64_t) state.iterations() * bytes);
    Stop(s);
}

} // namespace

BENCHMARK(BM_MaterialGroups_Ours)->Name("MeshMaterialGroups/ours")->Apply(BenchGridSizes);
BENCHMARK(BM_MaterialGroups_Vector)->Name("MeshMaterialGroups/std")->Apply(BenchGridSizes);
BENCHMARK(BM_VertexFill_Ours)->Name("MeshVertexFill/ours")->Apply(BenchGridSizes);
BENCHMARK(BM_VertexFill_Memcpy)->Name("MeshVertexFill/memcpy")->Apply(BenchGridSizes);
BENCH_CASE_DOES("MeshMaterialGroups", "ours: the material groups of a grid with 8 materials built (face lists, vertex "
                                      "remaps, 16-bit indices split at 65,535 vertices); std: the same partition in "
                                      "one pass of std::vector pushes");
BENCH_CASE_DOES("MeshVertexFill", "ours: every primitive's vertex buffer filled through its remap; memcpy: a copy of "
                                  "the same number of bytes, with no gather");
BENCH_CASE_PEER_KIND("MeshVertexFill", "memcpy", "lower bound");

// The progressive mesh against meshopt_simplify on the 256 x 256 grid and
// the bunny, at 50, 25 and 10 % of the vertices: the time to reach that
// count from the full mesh (ours: building the whole collapse order, then
// the faces of that count; meshoptimizer: one simplification), and the
// surface error of the result (counter "error", the sampled symmetric
// Hausdorff distance to the full mesh, as a fraction of the box diagonal;
// counter "vertices", the count compared).

#include <benchmark/benchmark.h>

#include <cfloat>
#include <vector>

#include <meshoptimizer.h>

#include "bench/BenchCase.h"
#include "render/mesh/CKProgressiveMesh.h"
#include "tools/testdata/TestMeshes.h"

namespace {

const TestMesh& Mesh(int which)
{
    static const TestMesh grid = GridTestMesh(256);
    static const TestMesh bunny = BunnyTestMesh();
    return which == 0 ? grid : bunny;
}

// meshoptimizer's result at a percentage of the index count.
std::vector<unsigned int> Theirs(const TestMesh& mesh, int percent)
{
    std::vector<unsigned int> out(mesh.Indices.size());
    size_t target = mesh.Indices.size() * (size_t) percent / 100 / 3 * 3;
    out.resize(meshopt_simplify(out.data(), mesh.Indices.data(), mesh.Indices.size(), mesh.Positions.data(),
                                (size_t) mesh.VertexCount(), 12, target, FLT_MAX, 0, nullptr));
    return out;
}

int VerticesOf(const TestMesh& mesh, const std::vector<unsigned int>& indices)
{
    TestMesh m;
    m.Positions = mesh.Positions;
    m.Indices = indices;
    return UsedVertexCount(m);
}

// The faces of the first k vertices, back in the mesh's own numbering.
std::vector<unsigned int> Ours(const TestMesh& mesh, int k)
{
    std::vector<CKDWORD> faces(mesh.Indices.begin(), mesh.Indices.end());
    CKProgressiveMesh pm;
    pm.Build(mesh.Positions.data(), 12, mesh.VertexCount(), faces.data(), mesh.FaceCount());
    const std::vector<int>& to = pm.GetNewIndices();
    std::vector<int> from(to.size());
    for (size_t v = 0; v < to.size(); ++v)
        from[(size_t) to[v]] = (int) v;
    for (CKDWORD& i : faces)
        i = (CKDWORD) to[i];
    pm.SetVerticesRendered(k);
    pm.Update(faces.data(), mesh.FaceCount(), nullptr, mesh.VertexCount());
    std::vector<unsigned int> out;
    // Three corners a face of the mesh, the faces left out marked.
    for (CKDWORD i : pm.GetFaceIndices())
        if (i != CKPM_DROPPED)
            out.push_back((unsigned int) from[i]);
    return out;
}

double Error(const TestMesh& mesh, const std::vector<unsigned int>& indices)
{
    TestMesh m;
    m.Positions = mesh.Positions;
    m.Indices = indices;
    return SampledHausdorffDistance(mesh, m, 20000, 1) / BoxDiagonal(mesh);
}

void Report(benchmark::State& state, const TestMesh& mesh, const std::vector<unsigned int>& result)
{
    state.counters["error"] = Error(mesh, result);
    state.counters["vertices"] = VerticesOf(mesh, result);
}

void Ours(benchmark::State& state, int which)
{
    const TestMesh& mesh = Mesh(which);
    int k = VerticesOf(mesh, Theirs(mesh, (int) state.range(0)));
    std::vector<unsigned int> result;
    for (auto _ : state)
        benchmark::DoNotOptimize(result = Ours(mesh, k));
    Report(state, mesh, result);
}

void Meshopt(benchmark::State& state, int which)
{
    const TestMesh& mesh = Mesh(which);
    std::vector<unsigned int> result;
    for (auto _ : state)
        benchmark::DoNotOptimize(result = Theirs(mesh, (int) state.range(0)));
    Report(state, mesh, result);
}

void SimplifyGrid_ours(benchmark::State& state)
{
    Ours(state, 0);
}
void SimplifyGrid_meshopt(benchmark::State& state)
{
    Meshopt(state, 0);
}
void SimplifyBunny_ours(benchmark::State& state)
{
    Ours(state, 1);
}
void SimplifyBunny_meshopt(benchmark::State& state)
{
    Meshopt(state, 1);
}

} // namespace

BENCHMARK(SimplifyGrid_ours)->Name("SimplifyGrid/ours")->Arg(50)->Arg(25)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(SimplifyGrid_meshopt)->Name("SimplifyGrid/meshopt")->Arg(50)->Arg(25)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(SimplifyBunny_ours)->Name("SimplifyBunny/ours")->Arg(50)->Arg(25)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(SimplifyBunny_meshopt)
    ->Name("SimplifyBunny/meshopt")
    ->Arg(50)
    ->Arg(25)
    ->Arg(10)
    ->Unit(benchmark::kMillisecond);
BENCH_CASE_DOES("SimplifyGrid", "ours: the progressive mesh's whole collapse order built on the 256x256 grid, then "
                                "the faces at the percentage named; meshopt: one meshopt_simplify to that percentage");
BENCH_CASE_DOES("SimplifyBunny", "ours: the same on the Stanford bunny; meshopt: one meshopt_simplify of the bunny to "
                                 "that percentage");

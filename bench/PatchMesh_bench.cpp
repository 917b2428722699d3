// Tessellating patch meshes of 20 and 200 patches (triangles and quads,
// each on control points of its own) at every iteration count from 0 to 6:
// - ours: the patch mesh's rebuild of its render vertices (corners, the
//   points inside each edge, the interior points of each patch; faces and
//   groups are kept, normals not asked), in 32-bit floats;
// - double: the same points evaluated by a plain double loop over the
//   Bernstein forms of the patches.
// Both write into output memory kept from one run to the next. Counter
// "vertices" (the points written per run); items are vertices, so the rate
// reads as vertices per second.

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "bench/BenchCase.h"
#include "bench/BenchRenderScene.h"
#include "render/mesh/RCKPatchMesh.h"
#include "tools/testdata/TestPatches.h"

namespace {

BENCH_CASE_DOES("PatchTessellation",
                "ours: the patch mesh rebuilds its render vertices in floats (corners, edge points, interior points); "
                "double: the same points from a double-precision loop over the Bernstein forms");

struct Scene
{
    CKContext* Context = nullptr;
    RCKPatchMesh* Mesh = nullptr;
};

Scene Start(int patches, int iterations)
{
    Scene s;
    s.Context = StartRenderBenchContext();
    s.Mesh = static_cast<RCKPatchMesh*>(s.Context->CreateObject(CKCID_PATCHMESH));
    std::vector<int> types((size_t) patches);
    for (size_t i = 0; i < types.size(); ++i)
        types[i] = i % 2 ? 3 : 4;
    FillIndependentPatches(s.Mesh, types, 7);
    s.Mesh->SetIterationCount(iterations);
    s.Mesh->BuildRenderMesh();
    return s;
}

void Stop(Scene& s)
{
    StopRenderBenchContext(s.Context);
}

void BM_Tessellation_Ours(benchmark::State& state)
{
    Scene s = Start((int) state.range(0), (int) state.range(1));
    for (auto _ : state) {
        // Moved control points, no normals: only the points are evaluated.
        s.Mesh->ModifierVertexMove(FALSE, FALSE);
        s.Mesh->BuildRenderMesh();
        benchmark::DoNotOptimize(s.Mesh->GetPositionsPtr(nullptr));
    }
    state.SetItemsProcessed((int64_t) state.iterations() * s.Mesh->GetVertexCount());
    state.counters["vertices"] = s.Mesh->GetVertexCount();
    Stop(s);
}

struct D3
{
    double x, y, z;
};

inline void Add(D3& sum, double w, const QxVector& p)
{
    sum.x += w * p.x;
    sum.y += w * p.y;
    sum.z += w * p.z;
}

// Every render point of the independent patches: corners, the points inside
// each side, then the interior points.
size_t EvaluateAll(const CKPatch* patches, int patchCount, const QxVector* vertices, const QxVector* vectors,
                   int vertexCount, int steps, std::vector<D3>& out)
{
    size_t n = 0;
    for (int c = 0; c < vertexCount; ++c)
        out[n++] = D3{vertices[c].x, vertices[c].y, vertices[c].z};
    auto bernstein3 = [](double x, double w[4]) {
        const double o = 1 - x;
        w[0] = o * o * o;
        w[1] = 3 * x * o * o;
        w[2] = 3 * x * x * o;
        w[3] = x * x * x;
    };
    for (int p = 0; p < patchCount; ++p) {
        const CKPatch& patch = patches[p];
        const int corners = patch.type == 3 ? 3 : 4;
        for (int k = 0; k < corners; ++k) {
            const QxVector& a = vertices[patch.v[k]];
            const QxVector& b = vectors[patch.vec[2 * k]];
            const QxVector& c = vectors[patch.vec[2 * k + 1]];
            const QxVector& d = vertices[patch.v[(k + 1) % corners]];
            for (int i = 1; i < steps; ++i) {
                const double u = (double) i / steps, o = 1 - u;
                D3 sum{0, 0, 0};
                if (patch.type == 3) {
                    // The cubic side raised to a quartic one.
                    const QxVector a1 = a + (b - a) * 0.75f, a2 = (b + c) * 0.5f, a3 = c + (d - c) * 0.25f;
                    Add(sum, o * o * o * o, a);
                    Add(sum, 4 * u * o * o * o, a1);
                    Add(sum, 6 * u * u * o * o, a2);
                    Add(sum, 4 * u * u * u * o, a3);
                    Add(sum, u * u * u * u, d);
                } else {
                    double w[4];
                    bernstein3(u, w);
                    Add(sum, w[0], a);
                    Add(sum, w[1], b);
                    Add(sum, w[2], c);
                    Add(sum, w[3], d);
                }
                out[n++] = sum;
            }
        }
    }
    for (int p = 0; p < patchCount; ++p) {
        const CKPatch& patch = patches[p];
        auto vec = [&](int k) { return vectors[patch.vec[k]]; };
        if (patch.type == 3) {
            QxVector v[3], aux[9], in[3];
            for (int k = 0; k < 3; ++k) {
                v[k] = vertices[patch.v[k]];
                in[k] = vectors[patch.interior[k]];
            }
            for (int k = 0; k < 3; ++k) {
                const QxVector& q = v[(k + 1) % 3];
                aux[3 * k] = v[k] + (vec(2 * k) - v[k]) * 0.75f;
                aux[3 * k + 1] = (vec(2 * k) + vec(2 * k + 1)) * 0.5f;
                aux[3 * k + 2] = vec(2 * k + 1) + (q - vec(2 * k + 1)) * 0.25f;
            }
            for (int i = 1; i <= steps - 2; ++i)
                for (int j = 1; j <= steps - 1 - i; ++j) {
                    const double a = (double) j / steps, b = (double) i / steps, c = 1 - a - b;
                    D3 sum{0, 0, 0};
                    Add(sum, c * c * c * c, v[0]);
                    Add(sum, a * a * a * a, v[1]);
                    Add(sum, b * b * b * b, v[2]);
                    Add(sum, 4 * a * c * c * c, aux[0]);
                    Add(sum, 6 * a * a * c * c, aux[1]);
                    Add(sum, 4 * a * a * a * c, aux[2]);
                    Add(sum, 4 * a * a * a * b, aux[3]);
                    Add(sum, 6 * a * a * b * b, aux[4]);
                    Add(sum, 4 * a * b * b * b, aux[5]);
                    Add(sum, 4 * b * b * b * c, aux[6]);
                    Add(sum, 6 * b * b * c * c, aux[7]);
                    Add(sum, 4 * b * c * c * c, aux[8]);
                    Add(sum, 12 * a * b * c * c, in[0]);
                    Add(sum, 12 * a * a * b * c, in[1]);
                    Add(sum, 12 * a * b * b * c, in[2]);
                    out[n++] = sum;
                }
        } else {
            const QxVector net[4][4] = {
                {vertices[patch.v[0]], vec(7), vec(6), vertices[patch.v[3]]},
                {vec(0), vectors[patch.interior[0]], vectors[patch.interior[3]], vec(5)},
                {vec(1), vectors[patch.interior[1]], vectors[patch.interior[2]], vec(4)},
                {vertices[patch.v[1]], vec(2), vec(3), vertices[patch.v[2]]},
            };
            for (int i = 1; i < steps; ++i)
                for (int j = 1; j < steps; ++j) {
                    double ws[4], wt[4];
                    bernstein3((double) i / steps, ws);
                    bernstein3((double) j / steps, wt);
                    D3 sum{0, 0, 0};
                    for (int r = 0; r < 4; ++r)
                        for (int c = 0; c < 4; ++c)
                            Add(sum, ws[c] * wt[r], net[r][c]);
                    out[n++] = sum;
                }
        }
    }
    return n;
}

void BM_Tessellation_Double(benchmark::State& state)
{
    Scene s = Start((int) state.range(0), (int) state.range(1));
    // The interior points as the rebuild left them.
    std::vector<D3> out((size_t) s.Mesh->GetVertexCount());
    size_t written = 0;
    for (auto _ : state) {
        written = EvaluateAll(s.Mesh->GetPatches(), s.Mesh->GetPatchCount(), s.Mesh->GetVerts(), s.Mesh->GetVecs(),
                              s.Mesh->GetVertCount(), s.Mesh->GetIterationCount() + 1, out);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed((int64_t) state.iterations() * (int64_t) written);
    state.counters["vertices"] = (double) written;
    Stop(s);
}

void Sizes(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"patches", "iterations"});
    for (int patches : {20, 200})
        for (int iterations = 0; iterations <= 6; ++iterations)
            b->Args({patches, iterations});
    b->Unit(benchmark::kMicrosecond);
}

} // namespace

BENCHMARK(BM_Tessellation_Ours)->Name("PatchTessellation/ours")->Apply(Sizes);
BENCHMARK(BM_Tessellation_Double)->Name("PatchTessellation/double")->Apply(Sizes);

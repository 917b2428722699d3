// The mesh blocks' cost:
// - each deformer run as a block on a pre-lit mesh (its inputs read, its
//   positions deformed in place at the mesh's stride, the mesh told), against
//   a plain scalar loop of the same formula over a flat array of positions;
// - the gradient noise against a straight transcription of the published
//   reference, on the same points and tables;
// - Skin Join's correspondence search against the scan of every point for
//   every vertex, both giving the same answer (checked before timing).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <random>
#include <vector>

#include "bench/BenchCase.h"
#include "core/context/CKContext.h"
#include "core/context/CKRandom.h"
#include "core/context/CKStartUp.h"
#include "lod/blocks/GradientNoise.h"
#include "lod/blocks/NearestPointSearch.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CK3dEntity.h"
#include "system/math/QxMatrix.h"
#include "system/math/QxMatrixRotation.h"
#include "tools/blockharness/BlockHarness.h"
#include "tools/testdata/ReferenceNoise.h"

namespace {

BENCH_CASE_DOES("Twist", "ours: the Twist block on a pre-lit mesh of N vertices (turn to the axis, twist, turn back); "
                         "loop: the same formula over a flat array of N positions");
BENCH_CASE_DOES("Taper", "ours: the Taper block on a pre-lit mesh of N vertices; loop: the same formula over a flat "
                         "array");
BENCH_CASE_DOES("Stretch", "ours: the Stretch block on a pre-lit mesh of N vertices; loop: the same formula over a "
                           "flat array");
BENCH_CASE_DOES("Bend", "ours: the Bend block on a pre-lit mesh of N vertices (normals left); loop: the same formula "
                        "over a flat array");
BENCH_CASE_DOES("SineDeform", "ours: the Sine Deform block on a pre-lit mesh of N vertices; loop: the same cosine "
                              "per coordinate over a flat array");
BENCH_CASE_DOES("Noise", "ours: the Noise block on a pre-lit mesh of N vertices (three noise samples each); loop: the "
                         "same samples over a flat array");
BENCH_CASE_DOES("GradientNoise", "ours: N samples of the engine's gradient noise; reference: the published "
                                 "reference noise3 transcribed, same points, same tables");
BENCH_CASE_DOES("SkinJoinSearch", "ours: the partner of each of N join vertices among 5N points through the grid; "
                                  "scan: every point for every vertex; equal answers");

constexpr CKGUID kTwist(0x75B066AF, 0x70371B90);
constexpr CKGUID kTaper(0x0E971A6B, 0x210F703A);
constexpr CKGUID kStretch(0x22D774F6, 0x4AC542C3);
constexpr CKGUID kBend(0x7C9A7008, 0x6B0F1D1F);
constexpr CKGUID kSine(0x45123704, 0x72F25769);
constexpr CKGUID kNoise(0x3918083F, 0x77D70F5C);
constexpr float kHalfPi = std::numbers::pi_v<float> * 0.5f;

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

std::vector<float> RandomPositions(int count)
{
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> any(-1.0f, 1.0f);
    std::vector<float> p((size_t) count * 3);
    for (float& v : p)
        v = any(rng);
    return p;
}

// A block on an object whose pre-lit mesh holds count random positions in
// [-1, 1]^3; every run starts from the last one's result, as the loop does.
CKBehavior* Deformer(CKGUID guid, int count)
{
    CKContext* context = Context();
    auto* mesh = static_cast<CKMesh*>(context->CreateObject(CKCID_MESH, "m"));
    mesh->SetVertexCount(count);
    const std::vector<float> p = RandomPositions(count);
    for (int i = 0; i < count; ++i)
        mesh->SetVertexPosition(i, QxVector(p[3 * i], p[3 * i + 1], p[3 * i + 2]));
    mesh->SetLitMode(0);
    auto* object = static_cast<CK3dEntity*>(context->CreateObject(CKCID_3DOBJECT, "o"));
    object->SetCurrentMesh(mesh, TRUE);
    CKBehavior* b = CreateBlock(context, guid, object);
    return b;
}

void SetFalse(CKBehavior* b, int n)
{
    SetBlockInputValue(b, n, (CKBOOL) FALSE);
}

CKBehavior* Configured(CKGUID guid, int count)
{
    CKBehavior* b = Deformer(guid, count);
    if (guid == kTwist) {
        SetFalse(b, 3);
        SetFalse(b, 4);
    } else if (guid == kTaper) {
        SetBlockInputValue(b, 0, 1e-6f);
        SetBlockInputValue(b, 1, 1e-6f);
        SetFalse(b, 6);
        SetFalse(b, 7);
    } else if (guid == kStretch) {
        SetBlockInputValue(b, 0, 1e-6f);
        SetFalse(b, 3);
    } else if (guid == kBend) {
        SetBlockInputValue(b, 0, 0.01f);
        SetFalse(b, 3);
        SetFalse(b, 4);
    } else if (guid == kSine) {
        SetBlockInputValue(b, 1, 1e-6f);
        SetFalse(b, 3);
    } else if (guid == kNoise) {
        SetBlockInputText(b, 2, "0.0001,0.0001,0.0001");
        SetFalse(b, 3);
    }
    return b;
}

void BM_Block(benchmark::State& state, CKGUID guid)
{
    static std::vector<std::pair<std::pair<CKDWORD, int>, CKBehavior*>> made;
    CKBehavior* b = nullptr;
    for (auto& m : made)
        if (m.first.first == guid.d1 && m.first.second == (int) state.range(0))
            b = m.second;
    if (!b) {
        b = Configured(guid, (int) state.range(0));
        made.push_back({{guid.d1, (int) state.range(0)}, b});
    }
    BlockFrame frame;
    frame.DeltaTime = 1.0f;
    for (auto _ : state) {
        b->ActivateInput(0, TRUE);
        RunBlock(b, frame);
        benchmark::ClobberMemory();
    }
    state.counters["vertices"] = (double) state.range(0);
}

// The plain loops: the same formula, constants made once, row vectors.
struct Turn
{
    QxMatrix to, back;
};

Turn AxisTurn(int axis, float yAngle)
{
    Turn t;
    if (axis == 0)
        QxMatrixFromAxisAngle(t.to, QxVector(0.0f, 1.0f, 0.0f), -kHalfPi);
    else if (axis == 1)
        QxMatrixFromAxisAngle(t.to, QxVector(1.0f, 0.0f, 0.0f), yAngle);
    else
        t.to.SetIdentity();
    QxInverseMatrix(t.back, t.to);
    return t;
}

inline void Apply(const QxMatrix& m, const float* p, float* out)
{
    for (int j = 0; j < 3; ++j)
        out[j] = p[0] * m[0][j] + p[1] * m[1][j] + p[2] * m[2][j] + m[3][j];
}

template <class Change>
void LoopAlongAxis(std::vector<float>& p, const Turn& t, Change change)
{
    const size_t n = p.size() / 3;
    for (size_t i = 0; i < n; ++i) {
        float q[3];
        Apply(t.to, &p[3 * i], q);
        change(q);
        Apply(t.back, q, &p[3 * i]);
    }
}

template <class Body>
void BM_Loop(benchmark::State& state, Body body)
{
    std::vector<float> p = RandomPositions((int) state.range(0));
    for (auto _ : state) {
        body(p);
        benchmark::ClobberMemory();
    }
    state.counters["vertices"] = (double) state.range(0);
}

void BM_TwistLoop(benchmark::State& state)
{
    const Turn t = AxisTurn(1, kHalfPi);
    const float k = kHalfPi / 2.0f;
    BM_Loop(state, [&](std::vector<float>& p) {
        LoopAlongAxis(p, t, [k](float* q) {
            const float theta = q[2] * k, c = std::cos(theta), s = std::sin(theta), x = q[0];
            q[0] = c * x + s * q[1];
            q[1] = c * q[1] - s * x;
        });
    });
}

void BM_TaperLoop(benchmark::State& state)
{
    const Turn t = AxisTurn(2, -kHalfPi);
    const float h = 2.0f, amount = 1e-6f, curve = 1e-6f;
    BM_Loop(state, [&](std::vector<float>& p) {
        LoopAlongAxis(p, t, [=](float* q) {
            const float u = q[2] / -h, s = 1.0f + amount * u + curve * u * (1.0f - u);
            q[0] *= s;
            q[1] *= s;
        });
    });
}

void BM_StretchLoop(benchmark::State& state)
{
    const Turn t = AxisTurn(2, -kHalfPi);
    const float stretch = 1e-6f, a = 1.0f + stretch, f = 1.0f / (1.0f + stretch);
    const double minimum = -1.0, range = 2.0, bulge = 4.0 * (1.0 - (double) f);
    BM_Loop(state, [&](std::vector<float>& p) {
        LoopAlongAxis(p, t, [=](float* q) {
            const double u = ((double) q[2] - minimum) / range;
            const float r = (float) (1.0 + bulge * u * (u - 1.0));
            q[0] *= r;
            q[1] *= r;
            q[2] *= a;
        });
    });
}

void BM_BendLoop(benchmark::State& state)
{
    const Turn t = AxisTurn(2, 0.0f);
    const float r = 2.0f / 0.005f;
    BM_Loop(state, [&](std::vector<float>& p) {
        LoopAlongAxis(p, t, [r](float* q) {
            const float theta = std::numbers::pi_v<float> - q[1] / r;
            const float x = r + std::cos(theta) * (r - q[0]);
            q[1] = std::sin(theta) * (r - q[0]);
            q[0] = x;
        });
    });
}

void BM_SineLoop(benchmark::State& state)
{
    const float magnitude = 1e-6f, wave = 1.0f, axis[3] = {1.0f, 1.0f, 1.0f};
    float time = 0.0f;
    BM_Loop(state, [&](std::vector<float>& p) {
        const float phase = wave * time;
        for (size_t i = 0; i < p.size(); ++i) {
            const float c = p[i];
            p[i] = std::cos(phase + c) * (c * axis[i % 3] * magnitude) + c;
        }
        time += 0.001f;
    });
}

void BM_NoiseLoop(benchmark::State& state)
{
    const GradientNoiseTables& tables = GetGradientNoiseTables();
    const float scale = 50.0f, seed = 0.001f, axis = 0.0001f;
    BM_Loop(state, [&](std::vector<float>& p) {
        for (size_t i = 0; i < p.size(); i += 3) {
            const float x = p[i] * scale + 0.5f, y = p[i + 1] * scale + 0.5f, z = p[i + 2] * scale + 0.5f;
            const float nx = GradientNoise3(tables, y, z, seed), ny = GradientNoise3(tables, x, z, seed),
                        nz = GradientNoise3(tables, x, y, seed);
            p[i] += axis * nx;
            p[i + 1] += axis * ny;
            p[i + 2] += axis * nz;
        }
    });
}

std::vector<float> NoisePoints(int count)
{
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> any(-200.0f, 200.0f);
    std::vector<float> points((size_t) count * 3);
    for (float& v : points)
        v = any(rng);
    return points;
}

// The tables of both sides, drawn from one seed.
const GradientNoiseTables& SeededTables()
{
    static GradientNoiseTables tables;
    static bool built = false;
    if (!built) {
        CKSrand(77);
        BuildGradientNoiseTables(tables);
        CKSrand(77);
        ReferenceNoise::init();
        built = true;
    }
    return tables;
}

void BM_NoiseOurs(benchmark::State& state)
{
    const std::vector<float> points = NoisePoints((int) state.range(0));
    const GradientNoiseTables& tables = SeededTables();
    for (auto _ : state) {
        float sum = 0.0f;
        for (size_t i = 0; i < points.size(); i += 3)
            sum += GradientNoise3(tables, points[i], points[i + 1], points[i + 2]);
        benchmark::DoNotOptimize(sum);
    }
    state.counters["samples"] = (double) state.range(0);
}

void BM_NoiseReference(benchmark::State& state)
{
    std::vector<float> points = NoisePoints((int) state.range(0));
    SeededTables();
    for (auto _ : state) {
        float sum = 0.0f;
        for (size_t i = 0; i < points.size(); i += 3)
            sum += ReferenceNoise::noise3(&points[i]);
        benchmark::DoNotOptimize(sum);
    }
    state.counters["samples"] = (double) state.range(0);
}

// Joined points in a 20-unit cube, join vertices beside some of them.
struct SearchData
{
    std::vector<QxVector> points, queries;
    float limit = 0.04f;
};

const SearchData& Search(int queries)
{
    static std::vector<std::pair<int, SearchData>> made;
    for (const auto& m : made)
        if (m.first == queries)
            return m.second;
    SearchData d;
    std::mt19937 rng(9);
    std::uniform_real_distribution<float> any(-10.0f, 10.0f), near(-0.1f, 0.1f);
    for (int i = 0; i < 5 * queries; ++i)
        d.points.emplace_back(any(rng), any(rng), any(rng));
    for (int i = 0; i < queries; ++i) {
        const QxVector& p = d.points[(size_t) (i * 5 + 3)];
        d.queries.emplace_back(p.x + near(rng), p.y + near(rng), p.z + near(rng));
    }
    made.emplace_back(queries, d);
    return made.back().second;
}

std::vector<int> Scan(const SearchData& d)
{
    std::vector<int> out(d.queries.size());
    for (size_t q = 0; q < d.queries.size(); ++q) {
        float best = d.limit;
        int found = -1;
        for (size_t j = 0; j < d.points.size(); ++j) {
            const float dist = SearchSquaredDistance(d.queries[q], d.points[j]);
            if (dist < best) {
                best = dist;
                found = (int) j;
            }
        }
        out[q] = found;
    }
    return out;
}

std::vector<int> Grid(const SearchData& d)
{
    std::vector<int> out(d.queries.size());
    FindNearestPoints(out.data(), d.queries.data(), (int) d.queries.size(), d.points.data(), (int) d.points.size(),
                      d.limit);
    return out;
}

void BM_SearchOurs(benchmark::State& state)
{
    const SearchData& d = Search((int) state.range(0));
    if (Grid(d) != Scan(d)) {
        state.SkipWithError("the grid and the scan disagree");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(Grid(d));
    state.counters["vertices"] = (double) d.queries.size();
}

void BM_SearchScan(benchmark::State& state)
{
    const SearchData& d = Search((int) state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(Scan(d));
    state.counters["vertices"] = (double) d.queries.size();
}

} // namespace

BENCHMARK_CAPTURE(BM_Block, twist, kTwist)
    ->Name("Twist/ours")
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TwistLoop)->Name("Twist/loop")->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Block, taper, kTaper)
    ->Name("Taper/ours")
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TaperLoop)->Name("Taper/loop")->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Block, stretch, kStretch)
    ->Name("Stretch/ours")
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StretchLoop)->Name("Stretch/loop")->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Block, bend, kBend)->Name("Bend/ours")->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BendLoop)->Name("Bend/loop")->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Block, sine, kSine)
    ->Name("SineDeform/ours")
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SineLoop)->Name("SineDeform/loop")->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Block, noise, kNoise)
    ->Name("Noise/ours")
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NoiseLoop)->Name("Noise/loop")->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NoiseOurs)->Name("GradientNoise/ours")->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NoiseReference)->Name("GradientNoise/reference")->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchOurs)->Name("SkinJoinSearch/ours")->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchScan)->Name("SkinJoinSearch/scan")->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// Curves: the point at a fraction of the length on a 10,000-point TCB curve,
// 1,000,000 random fractions an iteration, against the plain form of the
// same lookup on flat arrays (a binary search over the cumulative lengths,
// then the Hermite form of the segment and the world transform).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "bench/BenchCase.h"
#include "core/context/CKContext.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "render/context/CKRenderEngine.h"
#include "render/objects/RCKCurve.h"
#include "render/objects/RCKCurvePoint.h"
#include "system/math/QxMatrix.h"

namespace {

constexpr int kPoints = 10000;
constexpr int kQueries = 1000000;

struct Fixture
{
    CKContext* Context = nullptr;
    RCKCurve* Curve = nullptr;
    std::vector<float> Fractions;
    // The flat copy: cumulative lengths, fitted positions and tangents.
    std::vector<float> Lengths;
    std::vector<QxVector> Positions, In, Out;
};

Fixture& Get()
{
    static Fixture f;
    if (f.Curve)
        return f;
    CKStartUp();
    CKGetPluginManager()->RegisterPlugin(0, CKGetRenderEnginePluginInfo(0), nullptr, nullptr);
    CKGetPluginManager()->AddStaticDll("Render Engine", 1);
    CKCreateContext(&f.Context, nullptr, nullptr);
    f.Curve = static_cast<RCKCurve*>(f.Context->CreateObject(CKCID_CURVE, "curve"));
    std::mt19937 random(5);
    std::uniform_real_distribution<float> jitter(-1.0f, 1.0f);
    for (int i = 0; i < kPoints; ++i) {
        auto* point = static_cast<RCKCurvePoint*>(f.Context->CreateObject(CKCID_CURVEPOINT, "point"));
        QxVector p((float) i + jitter(random) * 0.3f, jitter(random) * 5.0f, jitter(random) * 5.0f);
        point->SetPosition(&p);
        point->SetTension(jitter(random) * 0.5f);
        f.Curve->AddControlPoint(point);
    }
    f.Curve->GetLength();
    for (int i = 0; i < kPoints; ++i) {
        auto* point = static_cast<RCKCurvePoint*>(f.Curve->GetControlPoint(i));
        QxVector in, out;
        point->GetTangents(&in, &out);
        f.Lengths.push_back(point->GetLength());
        f.Positions.push_back(point->m_FittedPosition);
        f.In.push_back(in);
        f.Out.push_back(out);
    }
    std::uniform_real_distribution<float> fraction(0.0f, 1.0f);
    for (int i = 0; i < kQueries; ++i)
        f.Fractions.push_back(fraction(random));
    return f;
}

void BM_CurveGetPos(benchmark::State& state)
{
    Fixture& f = Get();
    for (auto _ : state) {
        QxVector position;
        for (float s : f.Fractions) {
            f.Curve->GetPos(s, &position);
            benchmark::DoNotOptimize(position);
        }
    }
    state.SetItemsProcessed(state.iterations() * kQueries);
}

void BM_FlatBinarySearch(benchmark::State& state)
{
    Fixture& f = Get();
    const float length = f.Curve->GetLength();
    const QxMatrix& world = f.Curve->GetWorldMatrix();
    for (auto _ : state) {
        QxVector position;
        for (float s : f.Fractions) {
            const float target = length * s;
            int end = (int) (std::upper_bound(f.Lengths.begin(), f.Lengths.end(), target) - f.Lengths.begin());
            if (end == kPoints)
                end = kPoints - 1;
            const int start = end > 0 ? end - 1 : 0;
            const float la = f.Lengths[start], lb = f.Lengths[end];
            const float u = lb == la ? 0.0f : (target - la) / (lb - la);
            const QxVector local = RCKCurve::Hermite(f.Positions[start], f.Positions[end], f.Out[start], f.In[end], u);
            QxMultiplyMatrixVector(position, world, local);
            benchmark::DoNotOptimize(position);
        }
    }
    state.SetItemsProcessed(state.iterations() * kQueries);
}

} // namespace

BENCHMARK(BM_CurveGetPos)->Name("CurveGetPos/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FlatBinarySearch)->Name("CurveGetPos/flatbinarysearch")->Unit(benchmark::kMillisecond);
BENCH_CASE_DOES("CurveGetPos", "ours: RCKCurve::GetPos at 1M random fractions of a 10,000-point TCB curve; "
                               "flatbinarysearch: std::upper_bound over a flat copy of the cumulative lengths, the "
                               "segment's Hermite form and the world transform");

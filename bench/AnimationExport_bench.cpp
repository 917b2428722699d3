// Key reduction of the export's animation post pass against a
// Ramer-Douglas-Peucker simplification of the same keys (the classic
// polyline simplifier, written here at its best: flat arrays, an explicit
// stack, no allocation but its output), both at the same maximum error per
// component. A linear position track of N keys (a smooth path with straight
// runs and small wobbles), N = 10,000 and 100,000; the counters give the
// keys each side keeps.
//
// Sampling a deforming mesh into a morph key, per frame, against the host
// stand-in's evaluation of the same frame alone: a grid of N vertices under
// a keyed vertex animation, N = 10,000 and 100,000.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "bench/BenchCase.h"
#include "core/context/CKContext.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "core/object/CKClassRegistry.h"
#include "exporter/animation/AnimationPostPasses.h"
#include "exporter/animation/MorphKeyWriter.h"
#include "exporter/builder/ExportBuilder.h"
#include "exporter/driver/DriverState.h"
#include "exporter/options/Max2Qdx.h"
#include "platform/host/Control.h"
#include "platform/host/HostScene.h"
#include "platform/host/INode.h"
#include "platform/host/Interface.h"
#include "platform/host/TriObject.h"
#include "platform/host/VertexAnimation.h"
#include "render/animation/CKAnimKeys.h"
#include "render/animation/CKMorphController.h"
#include "render/animation/CKObjectAnimation.h"
#include "render/context/CKRenderEngine.h"

namespace {

constexpr float kThreshold = 0.01f;

BENCH_CASE_DOES("ReduceKeys", "ours: ReduceControllerKeys of a linear position track into a new controller "
                              "(a key goes when the track without it stays within 0.01 at its time); "
                              "rdp: Ramer-Douglas-Peucker over the same keys (time, x, y, z) with 0.01 as the "
                              "largest difference of a component from the chord at a key's time, into a new "
                              "list of kept keys");

QxVector PathAt(int i)
{
    const float t = (float) i;
    // Straight runs every 50 keys, a slow curve elsewhere, a small wobble
    // on every key.
    const float run = (i / 50) % 3 == 0 ? (float) (i % 50) * 0.02f : 0.0f;
    const float wobble = (float) ((i * 7919) % 13) * 0.0004f;
    return QxVector(std::sin(t * 0.003f) * 5.0f + run, std::cos(t * 0.002f) * 3.0f + wobble, t * 0.001f);
}

CKContext* Context()
{
    static CKContext* context = nullptr;
    if (!context) {
        CKStartUp();
        CKGetPluginManager()->RegisterPlugin(0, CKGetRenderEnginePluginInfo(0), nullptr, nullptr);
        CKGetPluginManager()->AddStaticDll("Render Engine", 1);
        CKBuildClassHierarchyTable();
        CKCreateContext(&context, nullptr, nullptr);
    }
    return context;
}

void BM_ReduceKeysOurs(benchmark::State& state)
{
    const int n = (int) state.range(0);
    CKContext* context = Context();
    auto* source = static_cast<CKObjectAnimation*>(context->CreateObject(CKCID_OBJECTANIMATION));
    auto* scratch = static_cast<CKObjectAnimation*>(context->CreateObject(CKCID_OBJECTANIMATION));
    CKAnimController* track = source->CreateController(CKANIMATION_LINEARPOSITION_CONTROL);
    for (int i = 0; i < n; ++i) {
        const CKLinearKey<QxVector> key((float) i, PathAt(i));
        track->AddKey(&key);
    }
    int kept = 0;
    for (auto _ : state) {
        CKAnimController* reduced = nullptr;
        ReduceControllerKeys(track, &reduced, scratch, kThreshold);
        kept = reduced ? reduced->GetKeyCount() : 0;
        benchmark::DoNotOptimize(kept);
    }
    state.counters["keys"] = (double) n;
    state.counters["kept"] = (double) kept;
    state.SetItemsProcessed(state.iterations() * n);
    context->DestroyObject(source);
    context->DestroyObject(scratch);
}
BENCHMARK(BM_ReduceKeysOurs)->Name("ReduceKeys/ours")->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

struct Span
{
    int first, last;
};

// The kept key indices, in order.
std::vector<int> Simplify(const std::vector<float>& times, const std::vector<QxVector>& values, float threshold,
                          std::vector<Span>& stack)
{
    const int n = (int) times.size();
    std::vector<char> keep((size_t) n, 0);
    keep[0] = keep[(size_t) n - 1] = 1;
    stack.clear();
    stack.push_back({0, n - 1});
    while (!stack.empty()) {
        const Span s = stack.back();
        stack.pop_back();
        const QxVector& a = values[(size_t) s.first];
        const QxVector& b = values[(size_t) s.last];
        const float t0 = times[(size_t) s.first];
        const float span = times[(size_t) s.last] - t0;
        float worst = -1.0f;
        int at = -1;
        for (int k = s.first + 1; k < s.last; ++k) {
            const float u = (times[(size_t) k] - t0) / span;
            const QxVector& v = values[(size_t) k];
            const float e = std::fmax(
                std::fabs(v.x - (a.x + (b.x - a.x) * u)),
                std::fmax(std::fabs(v.y - (a.y + (b.y - a.y) * u)), std::fabs(v.z - (a.z + (b.z - a.z) * u))));
            if (e > worst) {
                worst = e;
                at = k;
            }
        }
        if (at >= 0 && worst >= threshold) {
            keep[(size_t) at] = 1;
            stack.push_back({s.first, at});
            stack.push_back({at, s.last});
        }
    }
    std::vector<int> kept;
    for (int i = 0; i < n; ++i)
        if (keep[(size_t) i])
            kept.push_back(i);
    return kept;
}

void BM_ReduceKeysRdp(benchmark::State& state)
{
    const int n = (int) state.range(0);
    std::vector<float> times((size_t) n);
    std::vector<QxVector> values((size_t) n);
    for (int i = 0; i < n; ++i) {
        times[(size_t) i] = (float) i;
        values[(size_t) i] = PathAt(i);
    }
    std::vector<Span> stack;
    size_t kept = 0;
    for (auto _ : state) {
        const std::vector<int> result = Simplify(times, values, kThreshold, stack);
        kept = result.size();
        benchmark::DoNotOptimize(kept);
    }
    state.counters["keys"] = (double) n;
    state.counters["kept"] = (double) kept;
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_ReduceKeysRdp)->Name("ReduceKeys/rdp")->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

BENCH_CASE_DOES("SampleDeformingMesh",
                "ours: one frame of a deforming grid sampled into a morph key (the host's mesh evaluated at the "
                "frame, its normals built, positions and corner normals written into the exported mesh's builder, "
                "the welded vertices refreshed and the key written with packed normals); host: the stand-in "
                "evaluating the same frame and building its normals alone");
BENCH_CASE_PEER_KIND("SampleDeformingMesh", "host", "own code");

// A grid of n vertices under a vertex animation whose every frame differs,
// exported as a mesh.
struct DeformingGrid
{
    HostScene scene;
    std::unique_ptr<Interface> host;
    Max2Qdx exporter;
    ExportBuilder* builder = nullptr;
    INode* node = nullptr;

    explicit DeformingGrid(int n)
    {
        host = std::make_unique<Interface>(scene);
        host->SetEcho(false);
        host->SetReportOutput(nullptr);
        GetExportDriverState().onlySelectedNodes = FALSE;
        builder = new ExportBuilder(Context(), TRUE);
        builder->exporter = &exporter;
        exporter.builder = builder;
        exporter.context = Context();
        exporter.maxInterface = host.get();
        exporter.progressStarted = 0;
        exporter.framesPerTick = 1.0f / 160.0f;
        const int side = (int) std::sqrt((double) n);
        auto* tri = scene.Adopt(std::make_unique<TriObject>());
        Mesh& m = tri->GetMesh();
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x)
                m.verts.push_back(Point3((float) x, (float) y, 0.0f));
        for (int y = 0; y + 1 < side; ++y)
            for (int x = 0; x + 1 < side; ++x) {
                const DWORD a = (DWORD) (y * side + x), b = a + 1, c = a + (DWORD) side, d = c + 1;
                Face f1, f2;
                f1.setVerts(a, b, d);
                f2.setVerts(a, d, c);
                f1.setSmGroup(1);
                f2.setSmGroup(1);
                m.faces.push_back(f1);
                m.faces.push_back(f2);
            }
        VertexAnimationKey first, last;
        first.time = 0;
        first.points = m.verts;
        last.time = 160 * 1000;
        last.points = m.verts;
        for (size_t i = 0; i < last.points.size(); ++i)
            last.points[i].z = (float) (i % 17);
        auto* modifier = scene.Adopt(std::make_unique<VertexAnimationModifier>());
        modifier->SetKeys({first, last});
        auto* stack = scene.Adopt(std::make_unique<IDerivedObject>());
        stack->ReferenceObject(tri);
        stack->AddModifierAtBottom(modifier);
        node = scene.AddNode("Grid", nullptr);
        node->SetObjectRef(stack);
        node->SetTMController(scene.Adopt(std::make_unique<MatrixControl>(Matrix3())));
        exporter.ExportNode(node);
    }
    ~DeformingGrid()
    {
        exporter.builder = nullptr;
        delete builder;
        Context()->ClearAll();
    }
};

void BM_SampleDeformingMeshOurs(benchmark::State& state)
{
    DeformingGrid grid((int) state.range(0));
    auto* animation = static_cast<CKObjectAnimation*>(Context()->CreateObject(CKCID_OBJECTANIMATION));
    MorphKeyWriter writer(static_cast<CKMorphController*>(animation->CreateController(0x73847810)));
    int frame = 0;
    for (auto _ : state) {
        // Two frames in turn: each key replaces the one at its time.
        frame = frame == 1 ? 2 : 1;
        benchmark::DoNotOptimize(grid.exporter.SampleMeshMorphKey(writer, grid.node, frame * 160));
    }
    state.counters["vertices"] = (double) state.range(0);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SampleDeformingMeshOurs)
    ->Name("SampleDeformingMesh/ours")
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

void BM_SampleDeformingMeshHost(benchmark::State& state)
{
    DeformingGrid grid((int) state.range(0));
    int frame = 0;
    for (auto _ : state) {
        frame = frame == 1 ? 2 : 1;
        auto* tri = static_cast<TriObject*>(
            grid.node->EvalWorldState(frame * 160).obj->ConvertToType(frame * 160, triObjectClassID));
        tri->GetMesh().buildNormals();
        benchmark::DoNotOptimize(tri->GetMesh().verts.data());
        if (tri->IsTemporary())
            tri->DeleteMe();
    }
    state.counters["vertices"] = (double) state.range(0);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SampleDeformingMeshHost)
    ->Name("SampleDeformingMesh/host")
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

} // namespace

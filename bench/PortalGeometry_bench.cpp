// The opening two places share, found through the place's cell grid, against
// the brute-force all-pairs match of every vertex of one place with every
// vertex of the other (and of every match with the matches kept so far).
// The two places are square grids of vertices on one plane, overlapping by
// half, so that half the vertices of each are shared; two sizes ten times
// apart show how each grows.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "bench/BenchCase.h"
#include "core/context/CKContext.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "core/object/CKClassRegistry.h"
#include "render/context/CKRenderEngine.h"
#include "render/mesh/RCKMesh.h"
#include "render/objects/RCKPlace.h"

namespace {

// The least of a mesh a place reads: its vertex positions.
class GridMesh : public CKClass<GridMesh, RCKMesh, 0>
{
public:
    using CKClass::CKClass;
    static const char* GetClassName() { return "Grid Mesh"; }

    CKBOOL IsTransparent() override { return FALSE; }
    void SetLitMode(int) override {}
    int GetLitMode() override { return 1; }
    CKDWORD GetFlags() override { return 0; }
    void SetFlags(CKDWORD) override {}
    void* GetModifierVertices(CKDWORD* stride) override
    {
        *stride = sizeof(QxVector);
        return m_Positions.data();
    }
    int GetModifierVertexCount() override { return (int) m_Positions.size(); }
    void ModifierVertexMove(CKBOOL, CKBOOL) override {}
    int GetVertexCount() override { return (int) m_Positions.size(); }
    void* GetNormalsPtr(CKDWORD* stride) override
    {
        *stride = 0;
        return nullptr;
    }
    void NormalChanged() override {}
    int GetBlendShapeCount() override { return 0; }
    int GetBlendShapeIndex(const XString&) override { return -1; }

    std::vector<QxVector> m_Positions;
};

CKContext* Context()
{
    static CKContext* context = [] {
        CKStartUp();
        CKGetPluginManager()->RegisterPlugin(0, CKGetRenderEnginePluginInfo(0), nullptr, nullptr);
        CKGetPluginManager()->AddStaticDll("Render Engine", 1);
        GridMesh::m_ClassID = CKAllocateClassID();
        CKClassRegister("GridMesh", GridMesh::m_ClassID, CKCID_MESH, &GridMesh::Register, &GridMesh::CreateInstance,
                        &GridMesh::ReleaseInstance, &GridMesh::GetClassName, &GridMesh::GetDependencies,
                        &GridMesh::GetDependenciesCount);
        CKBuildClassHierarchyTable();
        CKContext* c = nullptr;
        CKCreateContext(&c, nullptr, nullptr);
        return c;
    }();
    return context;
}

// A place holding a side x side grid of vertices a unit apart on the plane
// y = 0, starting at x = shift.
RCKPlace* GridPlace(int side, float shift)
{
    CKContext* context = Context();
    RCKPlace* place = static_cast<RCKPlace*>(context->CreateObject(CKCID_PLACE, "room"));
    GridMesh* mesh = static_cast<GridMesh*>(context->CreateObject(GridMesh::m_ClassID, "floor"));
    for (int i = 0; i < side; ++i)
        for (int j = 0; j < side; ++j)
            mesh->m_Positions.emplace_back(shift + (float) i, 0.0f, (float) j);
    place->SetCurrentMesh(mesh);
    return place;
}

struct Pair
{
    RCKPlace* A;
    RCKPlace* B;
};

Pair Places(int side)
{
    return {GridPlace(side, 0.0f), GridPlace(side, (float) (side / 2))};
}

void Release(Pair pair)
{
    for (RCKPlace* place : {pair.A, pair.B}) {
        CKObject* mesh = place->GetCurrentMesh();
        Context()->DestroyObject(place);
        Context()->DestroyObject(mesh);
    }
}

const std::vector<QxVector>& Points(RCKPlace* place)
{
    return static_cast<GridMesh*>(place->GetCurrentMesh())->m_Positions;
}

bool Within(const QxVector& p, const QxVector& q, float t)
{
    return std::fabs(p.x - q.x) <= t && std::fabs(p.y - q.y) <= t && std::fabs(p.z - q.z) <= t;
}

void Ours(benchmark::State& state)
{
    Pair pair = Places((int) state.range(0));
    QxPrincipalBox shape;
    int found = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(found = pair.A->ComputePortalGeometry(pair.B, shape));
    state.SetLabel(std::to_string(state.range(0) * state.range(0)) + " vertices a place");
    state.counters["found"] = found;
    Release(pair);
}

void BruteForce(benchmark::State& state)
{
    Pair pair = Places((int) state.range(0));
    const std::vector<QxVector>& a = Points(pair.A);
    const std::vector<QxVector>& b = Points(pair.B);
    // The same match tolerance as the grid's: a tenth of a cell, the
    // bounds (widened by 0.01) cut into 20 cells.
    QxVector lo = a[0], hi = a[0];
    for (const std::vector<QxVector>* set : {&a, &b})
        for (const QxVector& p : *set)
            for (int k = 0; k < 3; ++k) {
                lo[k] = std::fmin(lo[k], p[k]);
                hi[k] = std::fmax(hi[k], p[k]);
            }
    const float extent = std::fmax(std::fmax(hi.x - lo.x, hi.y - lo.y), std::fmax(hi.z - lo.z, 1.98f)) + 0.02f;
    const float near = 0.1f * extent / 20.0f;
    QxPrincipalBox shape;
    int found = 0;
    for (auto _ : state) {
        std::vector<QxVector> shared;
        for (const QxVector& q : b) {
            bool match = false;
            for (const QxVector& p : a)
                match |= Within(p, q, near);
            bool kept = false;
            for (const QxVector& e : shared)
                kept |= Within(e, q, 0.1f);
            if (match && !kept)
                shared.push_back(q);
        }
        benchmark::DoNotOptimize(
            found = QxFitOrientedBox(shared.data(), sizeof(QxVector), (int) shared.size(), shape, 0.1f));
    }
    state.counters["found"] = found;
    Release(pair);
}

} // namespace

// Grids of 1,000 and 10,000 vertices a place (sides 32 and 100).
BENCHMARK(Ours)->Name("PortalGeometry/ours")->Arg(32)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BruteForce)->Name("PortalGeometry/bruteforce")->Arg(32)->Arg(100)->Unit(benchmark::kMillisecond);
BENCH_CASE_DOES("PortalGeometry", "ours: the opening two places share, found through the place's cell grid; "
                                  "bruteforce: every vertex of one place matched with every vertex of the other");

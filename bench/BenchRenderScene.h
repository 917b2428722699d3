#pragma once

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "core/context/CKContext.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "core/object/CKClassRegistry.h"
#include "render/context/CKRenderEngine.h"
#include "render/context/RCKRenderContext.h"
#include "render/context/RCKRenderManager.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKMaterialGroup.h"
#include "render/mesh/RCKMesh.h"

// The engine started with the render engine registered, and a context.
inline CKContext* StartRenderBenchContext()
{
    CKStartUp();
    CKGetPluginManager()->RegisterPlugin(0, CKGetRenderEnginePluginInfo(0), nullptr, nullptr);
    CKGetPluginManager()->AddStaticDll("Render Engine", 1);
    CKBuildClassHierarchyTable();
    CKContext* context = nullptr;
    CKCreateContext(&context, nullptr, nullptr);
    return context;
}

inline void StopRenderBenchContext(CKContext* context)
{
    CKCloseContext(context);
    CKShutdown();
}

// A render context of the NULL rasterizer on a 64 x 64 window.
inline RCKRenderContext* NullRenderContext(CKContext* context)
{
    auto* manager = static_cast<RCKRenderManager*>(context->GetRenderManager());
    QxIntRect rect{0, 0, 64, 64};
    return static_cast<RCKRenderContext*>(manager->CreateRenderContext(nullptr, 0, &rect));
}

// A grid of about the given number of triangles in the plane y = 0 (normals
// up, texture coordinates over the unit square), its faces taking the
// materials in square patches of patch x patch quads.
inline RCKMesh* GridBenchMesh(CKContext* context, int triangles, CKMaterial* const* materials, int materialCount,
                              int patch)
{
    int n = 1;
    while (2 * (n + 1) * (n + 1) <= triangles)
        ++n;
    auto* mesh = static_cast<RCKMesh*>(context->CreateObject(CKCID_MESH));
    mesh->SetVertexCount((n + 1) * (n + 1));
    for (int y = 0; y <= n; ++y)
        for (int x = 0; x <= n; ++x) {
            const int v = y * (n + 1) + x;
            mesh->SetVertexPosition(v, QxVector((float) x, 0.0f, (float) y));
            mesh->SetVertexNormal(v, QxVector(0.0f, 1.0f, 0.0f));
            mesh->SetVertexTextureCoordinates(v, (float) x / (float) n, (float) y / (float) n);
        }
    mesh->SetFaceCount(2 * n * n);
    int f = 0;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const int v = y * (n + 1) + x;
            CKMaterial* material = materials[(y / patch * 3 + x / patch) % materialCount];
            mesh->SetFaceVertexIndex(f, v, v + n + 1, v + 1);
            mesh->SetFaceMaterial(f++, material);
            mesh->SetFaceVertexIndex(f, v + 1, v + n + 1, v + n + 2);
            mesh->SetFaceMaterial(f++, material);
        }
    return mesh;
}

// A render context of the NULL rasterizer and a grid mesh of about the given
// number of triangles in 8 materials (square patches of 16 x 16 quads), with
// no vertex-cache reordering (the peers do none).
struct BenchGridScene
{
    CKContext* Context = nullptr;
    RCKRenderContext* RenderContext = nullptr;
    RCKMesh* Mesh = nullptr;
};

inline BenchGridScene StartBenchGridScene(int triangles)
{
    constexpr int kMaterials = 8;
    BenchGridScene s;
    s.Context = StartRenderBenchContext();
    static_cast<RCKRenderManager*>(s.Context->GetRenderManager())->GetSettings().VertexCache = 0;
    s.RenderContext = NullRenderContext(s.Context);
    CKMaterial* materials[kMaterials];
    for (CKMaterial*& m : materials)
        m = static_cast<CKMaterial*>(s.Context->CreateObject(CKCID_MATERIAL));
    s.Mesh = GridBenchMesh(s.Context, triangles, materials, kMaterials, 16);
    return s;
}

// Grids of 100,000 and 1,000,000 triangles.
inline void BenchGridSizes(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"triangles"})->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
}

// The memcpy peer: the given number of bytes copied into memory of its own
// at each iteration; counter "MB", the bytes.
inline void MemcpyPeerLoop(benchmark::State& state, size_t bytes)
{
    std::vector<char> source(bytes, 1);
    std::vector<char> target(bytes);
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), bytes);
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.counters["MB"] = (double) bytes / 1e6;
}

// The bytes of the vertex buffers of the mesh's material groups (their
// first primitives and the others).
inline size_t GroupBufferBytes(RCKMesh* mesh)
{
    size_t bytes = 0;
    for (int g = 0; g < mesh->GetMaterialGroupCount(); ++g) {
        const CKMaterialGroup* group = mesh->GetMaterialGroup(g);
        if (group->VertexCount == 0)
            continue;
        bytes += (size_t) group->VertexCount * mesh->GetVertexSize();
        for (const CK65KPrimitive* p : group->SubPrimitives)
            bytes += (size_t) p->VertexCount * mesh->GetVertexSize();
    }
    return bytes;
}

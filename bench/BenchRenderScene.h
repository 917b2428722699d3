#pragma once

#include "core/context/CKContext.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "core/object/CKClassRegistry.h"
#include "render/context/CKRenderEngine.h"
#include "render/context/RCKRenderContext.h"
#include "render/context/RCKRenderManager.h"
#include "render/mesh/CKMaterial.h"
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

#include <benchmark/benchmark.h>

#include <memory>
#include <unordered_map>
#include <vector>

#include "bench/BenchCase.h"
#include "core/context/CKContext.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "exporter/builder/ExportBuilder.h"
#include "exporter/driver/DriverState.h"
#include "exporter/options/Max2Qdx.h"
#include "exporter/scene/MaxMatrix.h"
#include "platform/host/Control.h"
#include "platform/host/GenCamera.h"
#include "platform/host/GenLight.h"
#include "platform/host/HostScene.h"
#include "platform/host/INode.h"
#include "platform/host/Interface.h"
#include "render/context/CKRenderEngine.h"
#include "render/objects/CK3dEntity.h"
#include "render/objects/CKCamera.h"
#include "render/objects/CKLight.h"

// The export's object pass over n helper, light and camera nodes in a tree
// ten levels deep (each node under one of the previous level), against
// creating the same engine objects with the same world matrices, parents
// and light and camera settings directly through the context. Both sides
// clear the context after each pass.
namespace {

BENCH_CASE_DOES("ExportObjectPass", "ours: Max2Qdx::ExportNode over the host tree (helpers, omni lights, free cameras, "
                                    "10 deep), then ClearAll; context: CreateObject, SetWorldMatrix, SetParent and the "
                                    "light and camera settings of the same objects in the same order, then ClearAll");
BENCH_CASE_PEER_KIND("ExportObjectPass", "context", "own code");

constexpr int kDepth = 10;

struct Tree
{
    HostScene scene;
    std::vector<INode*> nodes; // creation order: parents first
    std::vector<int> parent;   // index of the parent node, -1 under the root
    std::vector<QxMatrix> world;
    // The order the export visits the nodes in (depth first, parents
    // first): the context side creates them in the same order.
    std::vector<int> visit;
};

CKContext* Context()
{
    static CKContext* context = [] {
        CKStartUp();
        CKGetPluginManager()->RegisterPlugin(0, CKGetRenderEnginePluginInfo(0), nullptr, nullptr);
        CKGetPluginManager()->AddStaticDll("Render Engine", 1);
        CKContext* made = nullptr;
        CKCreateContext(&made, nullptr);
        return made;
    }();
    return context;
}

const Tree& MakeTree(int n)
{
    static std::unordered_map<int, Tree*> made;
    Tree*& tree = made[n];
    if (tree)
        return *tree;
    tree = new Tree();
    HostScene& scene = tree->scene;
    Object* helper = scene.Adopt(std::make_unique<Object>(HELPER_CLASS_ID, DUMMY_CLASS_ID, "Dummy"));
    auto* light = scene.Adopt(std::make_unique<GenLight>(OMNI_LGT, false));
    auto* camera = scene.Adopt(std::make_unique<GenCamera>(false));
    Object* kinds[] = {helper, light, camera};
    const int perLevel = n / kDepth;
    for (int i = 0; i < n; ++i) {
        const int level = i / perLevel;
        const int parent = level == 0 ? -1 : (level - 1) * perLevel + (i % perLevel);
        INode* node = scene.AddNode("Node", parent < 0 ? nullptr : tree->nodes[(size_t) parent]);
        node->SetObjectRef(kinds[i % 3]);
        Matrix3 local = RotateZMatrix(0.01f * (float) (i % 7)) * TransMatrix(Point3(1.0f, (float) (i % 5), 2.0f));
        node->SetTMController(scene.Adopt(std::make_unique<MatrixControl>(local)));
        tree->nodes.push_back(node);
        tree->parent.push_back(parent);
        QxMatrix world;
        if (i % 3 == 0)
            MaxToEngineMatrix(node->GetNodeTM(0), world);
        else
            MaxToEngineCameraMatrix(node->GetNodeTM(0), world);
        tree->world.push_back(world);
    }
    std::vector<std::vector<int>> children(tree->nodes.size());
    std::vector<int> pending;
    for (int i = n - 1; i >= 0; --i) {
        if (tree->parent[(size_t) i] >= 0)
            children[(size_t) tree->parent[(size_t) i]].push_back(i);
        else
            pending.push_back(i);
    }
    while (!pending.empty()) {
        const int i = pending.back();
        pending.pop_back();
        tree->visit.push_back(i);
        for (int child : children[(size_t) i])
            pending.push_back(child);
    }
    return *tree;
}

void BM_ObjectPassOurs(benchmark::State& state)
{
    const Tree& tree = MakeTree((int) state.range(0));
    CKContext* context = Context();
    Interface ip(const_cast<HostScene&>(tree.scene));
    ip.SetEcho(false);
    INode* root = tree.scene.GetRootNode();
    for (auto _ : state) {
        Max2Qdx exporter;
        ExportBuilder builder(context, FALSE);
        builder.exporter = &exporter;
        exporter.builder = &builder;
        exporter.context = context;
        exporter.maxInterface = &ip;
        exporter.progressStarted = 0;
        for (int i = 0; i < root->NumberOfChildren(); ++i)
            exporter.ExportNode(root->GetChildNode(i));
        exporter.builder = nullptr;
        context->ClearAll();
        ip.ClearEvents();
    }
    state.SetItemsProcessed(state.iterations() * (int64_t) tree.nodes.size());
}

void BM_ObjectPassContext(benchmark::State& state)
{
    const Tree& tree = MakeTree((int) state.range(0));
    CKContext* context = Context();
    const QxColor white(1.0f, 1.0f, 1.0f, 1.0f);
    for (auto _ : state) {
        std::vector<CK3dEntity*> made(tree.nodes.size());
        for (int index : tree.visit) {
            const auto i = (size_t) index;
            const char* name = tree.nodes[i]->GetName();
            CK3dEntity* entity = nullptr;
            if (i % 3 == 0) {
                entity = static_cast<CK3dEntity*>(context->CreateObject(CKCID_3DENTITY, name));
                entity->SetFlags(2);
            } else if (i % 3 == 1) {
                auto* light = static_cast<CKLight*>(context->CreateObject(CKCID_LIGHT, name));
                light->SetType(1);
                light->SetColor(white);
                light->SetSpecularFlag(TRUE);
                light->Active(TRUE);
                light->SetRange(200.0f);
                entity = light;
            } else {
                auto* camera = static_cast<CKCamera*>(context->CreateObject(CKCID_CAMERA, name));
                camera->SetFrontPlane(1.0f);
                camera->SetBackPlane(1000.0f);
                camera->SetFov(0.7853982f);
                entity = camera;
            }
            entity->SetWorldMatrix(tree.world[i], TRUE);
            entity->Show(CKSHOW);
            if (tree.parent[i] >= 0)
                entity->SetParent(made[(size_t) tree.parent[i]], TRUE);
            made[i] = entity;
        }
        context->ClearAll();
    }
    state.SetItemsProcessed(state.iterations() * (int64_t) tree.nodes.size());
}

} // namespace

BENCHMARK(BM_ObjectPassOurs)
    ->Name("ExportObjectPass/ours")
    ->ArgName("nodes")
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ObjectPassContext)
    ->Name("ExportObjectPass/context")
    ->ArgName("nodes")
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

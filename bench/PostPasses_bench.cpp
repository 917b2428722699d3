#include <benchmark/benchmark.h>

#include <assimp/Exporter.hpp>
#include <assimp/Importer.hpp>
#include <assimp/config.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <string>
#include <vector>

#include "bench/BenchCase.h"
#include "bench/BenchChild.h"
#include "bench/BenchRenderScene.h"
#include "bench/BenchTempFile.h"
#include "core/context/CKContext.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "exporter/builder/ExportBuilder.h"
#include "render/context/CKRenderEngine.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CK3dObject.h"

// The post passes against Assimp's post-processing steps doing the same
// work on the same data: sharing equal meshes (FindInstances) and equal
// materials (RemoveRedundantMaterials), scaling every length
// (GlobalScale) and cutting a mesh into parts (SplitLargeMeshes). Assimp's
// side imports an assbin blob of the same scene before each run (not
// timed) and times ApplyPostProcessing; ours builds the engine objects
// before each run (not timed) and times the pass. Both find the same
// duplicates and make the same parts (counters). The whole job runs both
// command lines on the largest test model, with their peak memory: Assimp's
// with no post-processing step, then with its fullest preset.
namespace {

BENCH_CASE_DOES("MeshSharing",
                "ours: DASIMeshesGlobal over N meshes (grids of 8 to 60 triangles, half of them exact copies of "
                "another), each shown by an entity: bucket by the exact fields, compare within epsilon, relink the "
                "entities, destroy the copies; assimp: ApplyPostProcessing(FindInstances) on the same meshes");
BENCH_CASE_DOES("MaterialSharing",
                "ours: DASIMaterialsGlobal over N materials (half of them copies of another under another name), "
                "each on the one face of a mesh: bucket, compare, relink the meshes, destroy the copies; assimp: "
                "ApplyPostProcessing(RemoveRedundantMaterials) on the same materials and meshes");
BENCH_CASE_DOES("SceneRescale",
                "ours: RescaleScene by 0.0254 over 100 grid meshes of N vertices in all, their entities and "
                "materials; assimp: ApplyPostProcessing(GlobalScale) at 0.0254 on the same meshes");
BENCH_CASE_DOES("MeshSplit",
                "ours: SplitMesh of one grid mesh of N vertices whose faces use four materials with extra channels "
                "(four parts, the entity showing it given three children); assimp: "
                "ApplyPostProcessing(SplitLargeMeshes_Triangle) with a limit of a quarter of the faces (four parts)");
BENCH_CASE_DOES("ExportJob",
                "ours: qdxexport of the largest test model (2CylinderEngine.glb) with every post pass on, in a child "
                "process: import, conversion, passes (unit, animation, mesh split, LOD, sharing of textures, "
                "materials, meshes and animations, unused materials dropped), save; assimp: `assimp export` of the "
                "same file to assbin in a child: import with no post-processing step (the command line asks for none "
                "unless told), write; counter peak_MB: the child's peak resident memory");
BENCH_CASE_DOES("ExportJobFullPost",
                "ours: the same qdxexport run as ExportJob; assimp: `assimp export -cfull` of the same file to "
                "assbin in a child: import with aiProcessPreset_TargetRealtime_MaxQuality (triangulation, joined "
                "vertices, normals, tangents, cache order, instances, redundant materials, split and merged meshes, "
                "validation: 17 steps), write; counter peak_MB: the child's peak resident memory");

// The engine runs from the first scene to the end of the program.
void StartEngine()
{
    static CKContext* const first = StartRenderBenchContext();
    (void) first;
}

// A grid of w x h quads at an offset, two triangles a quad.
struct Grid
{
    int w = 1, h = 1;
    float offset = 0.0f;
    int Vertices() const { return (w + 1) * (h + 1); }
    int Faces() const { return 2 * w * h; }
    QxVector Vertex(int i) const
    {
        return QxVector(float(i % (w + 1)) + offset, float(i / (w + 1)), float((i * 7) % 5) * 0.25f);
    }
    void Face(int f, unsigned corner[3]) const
    {
        const int q = f / 2, x = q % w, y = q / w;
        const unsigned a = unsigned(y * (w + 1) + x), b = a + 1, c = a + unsigned(w) + 1, d = c + 1;
        const unsigned faces[2][3] = {{a, b, d}, {a, d, c}};
        for (int k = 0; k < 3; ++k)
            corner[k] = faces[f % 2][k];
    }
};

// Mesh i of a sharing scene: odd meshes copy the even one before them.
Grid SharingGrid(int i)
{
    const int d = i / 2;
    Grid g;
    g.w = 2 + d % 5;
    g.h = 2 + (d / 5) % 6;
    g.offset = float(d) * 0.5f;
    return g;
}

// Material i: odd ones copy the colours of the even one before them.
aiColor4D SharingColour(int i)
{
    const int d = i / 2;
    return aiColor4D(float(d % 97) / 97.0f, float(d % 89) / 89.0f, float(d % 83) / 83.0f, 1.0f);
}

// Assimp's side: a scene built in memory, kept as an assbin blob that each
// run imports afresh.
struct AssimpScene
{
    std::vector<char> blob;

    static aiMesh* MakeMesh(const Grid& g, unsigned material)
    {
        auto* mesh = new aiMesh;
        mesh->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
        mesh->mNumVertices = unsigned(g.Vertices());
        mesh->mVertices = new aiVector3D[mesh->mNumVertices];
        for (int v = 0; v < g.Vertices(); ++v) {
            const QxVector p = g.Vertex(v);
            mesh->mVertices[v] = aiVector3D(p.x, p.y, p.z);
        }
        mesh->mNumFaces = unsigned(g.Faces());
        mesh->mFaces = new aiFace[mesh->mNumFaces];
        for (int f = 0; f < g.Faces(); ++f) {
            aiFace& face = mesh->mFaces[f];
            face.mNumIndices = 3;
            face.mIndices = new unsigned[3];
            g.Face(f, face.mIndices);
        }
        mesh->mMaterialIndex = material;
        return mesh;
    }

    AssimpScene(const std::vector<aiMesh*>& meshes, const std::vector<aiColor4D>& colours)
    {
        auto* scene = new aiScene;
        scene->mRootNode = new aiNode("root");
        scene->mNumMeshes = unsigned(meshes.size());
        scene->mMeshes = new aiMesh*[meshes.size()];
        scene->mRootNode->mNumMeshes = scene->mNumMeshes;
        scene->mRootNode->mMeshes = new unsigned[meshes.size()];
        for (size_t i = 0; i < meshes.size(); ++i) {
            scene->mMeshes[i] = meshes[i];
            scene->mRootNode->mMeshes[i] = unsigned(i);
        }
        scene->mNumMaterials = unsigned(colours.size());
        scene->mMaterials = new aiMaterial*[colours.size()];
        for (size_t i = 0; i < colours.size(); ++i) {
            auto* material = new aiMaterial;
            const aiString name(("M" + std::to_string(i)).c_str());
            material->AddProperty(&name, AI_MATKEY_NAME);
            material->AddProperty(&colours[i], 1, AI_MATKEY_COLOR_DIFFUSE);
            scene->mMaterials[i] = material;
        }
        Assimp::Exporter exporter;
        const aiExportDataBlob* data = exporter.ExportToBlob(scene, "assbin");
        if (data)
            blob.assign(static_cast<const char*>(data->data), static_cast<const char*>(data->data) + data->size);
        delete scene;
    }

    const aiScene* Import(Assimp::Importer& importer) const
    {
        return importer.ReadFileFromMemory(blob.data(), blob.size(), 0, "assbin");
    }
};

// Ours: an export builder on a fresh context for each run.
struct EngineScene
{
    CKContext* context = nullptr;
    ExportBuilder* builder = nullptr;

    EngineScene()
    {
        StartEngine();
        CKCreateContext(&context, nullptr);
        builder = new ExportBuilder(context, TRUE);
    }
    ~EngineScene()
    {
        delete builder;
        CKCloseContext(context);
    }
    CKMaterial* Material(int i, const aiColor4D& c)
    {
        MaterialDesc desc;
        desc.diffuse = QxColor(c.r, c.g, c.b, c.a);
        return builder->CreateMaterial(&desc, ("M" + std::to_string(i)).c_str(), ExportKey(i + 1));
    }
    CKMesh* Mesh(const char* name, const Grid& g, const std::vector<CKMaterial*>& faceMaterials)
    {
        auto* mesh = static_cast<CKMesh*>(context->CreateObject(CKCID_MESH, name));
        builder->AddCreatedObject(mesh);
        mesh->SetVertexCount(g.Vertices());
        for (int v = 0; v < g.Vertices(); ++v) {
            mesh->SetVertexPosition(v, g.Vertex(v));
            mesh->SetVertexNormal(v, QxVector(0, 0, 1));
        }
        mesh->SetFaceCount(g.Faces());
        const int per = (g.Faces() + int(faceMaterials.size()) - 1) / int(faceMaterials.size());
        for (int f = 0; f < g.Faces(); ++f) {
            unsigned c[3];
            g.Face(f, c);
            mesh->SetFaceVertexIndex(f, int(c[0]), int(c[1]), int(c[2]));
            mesh->SetFaceMaterial(f, faceMaterials[size_t(f / per)]);
        }
        mesh->BuildFaceNormals();
        return mesh;
    }
    CK3dObject* Shows(CKMesh* mesh, int i)
    {
        CK3dObject* entity = builder->CreateObject3D(("E" + std::to_string(i)).c_str(), ExportKey(0x100000 + i));
        entity->SetCurrentMesh(mesh, TRUE);
        return entity;
    }
};

// Imports the scene afresh and times the step alone; the counter is what
// count gives of the scene before and after. The import and the importer's
// teardown, which frees the whole scene, stay out of the time, as the
// building and the closing of the engine's scene do on our side.
template <class Count>
void RunAssimpStep(benchmark::State& state, const AssimpScene& source, unsigned step, const char* counter, Count count,
                   void (*setup)(Assimp::Importer&) = nullptr)
{
    int value = 0;
    for (auto _ : state) {
        state.PauseTiming();
        {
            Assimp::Importer importer;
            if (setup)
                setup(importer);
            const aiScene* scene = source.Import(importer);
            if (!scene) {
                state.SkipWithError(importer.GetErrorString());
                break;
            }
            const int before = count(scene);
            state.ResumeTiming();
            scene = importer.ApplyPostProcessing(step);
            state.PauseTiming();
            value = scene ? before - count(scene) : -1;
        }
        state.ResumeTiming();
    }
    if (counter)
        state.counters[counter] = value;
}

void BM_Ours_MeshSharing(benchmark::State& state)
{
    const int n = int(state.range(0));
    int found = 0;
    for (auto _ : state) {
        state.PauseTiming();
        {
            EngineScene scene;
            CKMaterial* material = scene.Material(0, SharingColour(0));
            for (int i = 0; i < n; ++i)
                scene.Shows(scene.Mesh(("Mesh" + std::to_string(i)).c_str(), SharingGrid(i), {material}), i);
            state.ResumeTiming();
            found = scene.builder->DASIMeshesGlobal();
            state.PauseTiming();
        }
        state.ResumeTiming();
    }
    state.counters["duplicates"] = found;
}

void BM_Assimp_MeshSharing(benchmark::State& state)
{
    const int n = int(state.range(0));
    std::vector<aiMesh*> meshes;
    for (int i = 0; i < n; ++i)
        meshes.push_back(AssimpScene::MakeMesh(SharingGrid(i), 0));
    const AssimpScene source(meshes, {SharingColour(0)});
    RunAssimpStep(state, source, aiProcess_FindInstances, "duplicates",
                  [](const aiScene* scene) { return int(scene->mNumMeshes); });
}

void BM_Ours_MaterialSharing(benchmark::State& state)
{
    const int n = int(state.range(0));
    const Grid triangle;
    int found = 0;
    for (auto _ : state) {
        state.PauseTiming();
        {
            EngineScene scene;
            for (int i = 0; i < n; ++i)
                scene.Mesh(("Mesh" + std::to_string(i)).c_str(), triangle, {scene.Material(i, SharingColour(i))});
            state.ResumeTiming();
            found = scene.builder->DASIMaterialsGlobal();
            state.PauseTiming();
        }
        state.ResumeTiming();
    }
    state.counters["duplicates"] = found;
}

void BM_Assimp_MaterialSharing(benchmark::State& state)
{
    const int n = int(state.range(0));
    const Grid triangle;
    std::vector<aiMesh*> meshes;
    std::vector<aiColor4D> colours;
    for (int i = 0; i < n; ++i) {
        meshes.push_back(AssimpScene::MakeMesh(triangle, unsigned(i)));
        colours.push_back(SharingColour(i));
    }
    const AssimpScene source(meshes, colours);
    RunAssimpStep(state, source, aiProcess_RemoveRedundantMaterials, "duplicates",
                  [](const aiScene* scene) { return int(scene->mNumMaterials); });
}

// 100 meshes of the scene's vertices in all.
Grid RescaleGrid(int vertices, int i)
{
    Grid g;
    g.w = 99;
    g.h = vertices / 100 / 100 - 1;
    g.offset = float(i);
    return g;
}

void BM_Ours_SceneRescale(benchmark::State& state)
{
    const int vertices = int(state.range(0));
    EngineScene scene;
    CKMaterial* material = scene.Material(0, SharingColour(0));
    for (int i = 0; i < 100; ++i)
        scene.Shows(scene.Mesh(("Mesh" + std::to_string(i)).c_str(), RescaleGrid(vertices, i), {material}), i);
    // Scaling down and back up in turn keeps the numbers away from denormals.
    bool down = true;
    for (auto _ : state) {
        benchmark::DoNotOptimize(scene.builder->RescaleScene(down ? 0.0254f : 1.0f / 0.0254f));
        down = !down;
    }
    state.counters["vertices"] = vertices;
}

void BM_Assimp_SceneRescale(benchmark::State& state)
{
    const int vertices = int(state.range(0));
    std::vector<aiMesh*> meshes;
    for (int i = 0; i < 100; ++i)
        meshes.push_back(AssimpScene::MakeMesh(RescaleGrid(vertices, i), 0));
    const AssimpScene source(meshes, {SharingColour(0)});
    RunAssimpStep(
        state, source, aiProcess_GlobalScale, nullptr, [](const aiScene*) { return 0; },
        [](Assimp::Importer& importer) { importer.SetPropertyFloat(AI_CONFIG_GLOBAL_SCALE_FACTOR_KEY, 0.0254f); });
    state.counters["vertices"] = vertices;
}

Grid SplitGrid(int vertices)
{
    Grid g;
    g.w = 999;
    g.h = vertices / 1000 - 1;
    return g;
}

void BM_Ours_MeshSplit(benchmark::State& state)
{
    const Grid g = SplitGrid(int(state.range(0)));
    int parts = 0;
    for (auto _ : state) {
        state.PauseTiming();
        {
            EngineScene scene;
            std::vector<CKMaterial*> materials;
            for (int m = 0; m < 4; ++m) {
                materials.push_back(scene.Material(m, aiColor4D(float(m) / 4.0f, 0, 0, 1)));
                MultiMaterialRecord record;
                record.base = materials.back();
                record.AddEntry(scene.Material(10 + m, aiColor4D(0, float(m) / 4.0f, 0, 1)), -1);
                scene.builder->multiMaterials.PushBack(record);
            }
            CKMesh* mesh = scene.Mesh("Grid", g, materials);
            scene.Shows(mesh, 0);
            XArray<CKMesh*> made;
            state.ResumeTiming();
            parts = scene.builder->SplitMesh(mesh, made);
            state.PauseTiming();
        }
        state.ResumeTiming();
    }
    state.counters["parts"] = parts;
}

void BM_Assimp_MeshSplit(benchmark::State& state)
{
    const Grid g = SplitGrid(int(state.range(0)));
    const AssimpScene source({AssimpScene::MakeMesh(g, 0)}, {SharingColour(0)});
    // The parts made: the step's mesh count less the one mesh before.
    static int limit;
    limit = (g.Faces() + 3) / 4;
    RunAssimpStep(
        state, source, aiProcess_SplitLargeMeshes, "parts",
        [](const aiScene* scene) { return -int(scene->mNumMeshes); },
        [](Assimp::Importer& importer) {
            importer.SetPropertyInteger(AI_CONFIG_PP_SLM_TRIANGLE_LIMIT, limit);
            importer.SetPropertyInteger(AI_CONFIG_PP_SLM_VERTEX_LIMIT, 1 << 30);
        });
    state.counters["parts"] = state.counters["parts"] + 1;
}

const char* kLargestModel = "/usr/share/assimp/models/glTF2/2CylinderEngine-glTF-Binary/2CylinderEngine.glb";

void BM_Ours_ExportJob(benchmark::State& state)
{
    const std::string out = BenchTempFile("engine.qdx");
    std::vector<std::string> args = {ENGINE_QDXEXPORT, kLargestModel, out};
    for (const char* pass : {"unitIsMeter", "exportAnimation", "splitMesh", "LOD", "DASITexture", "DASIMaterial",
                             "DASIMesh", "DASIAnimation", "OnlyUsedMaterials"}) {
        args.push_back("--opt");
        args.push_back(std::string(pass) + "=true");
    }
    double peak = 0;
    for (auto _ : state)
        if ((peak = RunChild(args)) < 0) {
            state.SkipWithError("qdxexport failed");
            break;
        }
    state.counters["peak_MB"] = peak;
}

// assimp export of the model to assbin, with the extra arguments given.
void RunAssimpExport(benchmark::State& state, const std::vector<std::string>& extra)
{
    const std::string out = BenchTempFile("engine.assbin");
    std::vector<std::string> args = {"/usr/bin/assimp", "export", kLargestModel, out};
    args.insert(args.end(), extra.begin(), extra.end());
    double peak = 0;
    for (auto _ : state)
        if ((peak = RunChild(args)) < 0) {
            state.SkipWithError("assimp export failed (are assimp-utils and time installed?)");
            break;
        }
    state.counters["peak_MB"] = peak;
}

void BM_Assimp_ExportJob(benchmark::State& state)
{
    RunAssimpExport(state, {});
}

// -cfull: the command line's aiProcessPreset_TargetRealtime_MaxQuality.
void BM_Assimp_ExportJobFullPost(benchmark::State& state)
{
    RunAssimpExport(state, {"-cfull"});
}

} // namespace

BENCHMARK(BM_Ours_MeshSharing)
    ->Name("MeshSharing/ours")
    ->ArgName("meshes")
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Assimp_MeshSharing)
    ->Name("MeshSharing/assimp")
    ->ArgName("meshes")
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Ours_MaterialSharing)
    ->Name("MaterialSharing/ours")
    ->ArgName("materials")
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Assimp_MaterialSharing)
    ->Name("MaterialSharing/assimp")
    ->ArgName("materials")
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Ours_SceneRescale)
    ->Name("SceneRescale/ours")
    ->ArgName("vertices")
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Assimp_SceneRescale)
    ->Name("SceneRescale/assimp")
    ->ArgName("vertices")
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Ours_MeshSplit)
    ->Name("MeshSplit/ours")
    ->ArgName("vertices")
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Assimp_MeshSplit)
    ->Name("MeshSplit/assimp")
    ->ArgName("vertices")
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Ours_ExportJob)->Name("ExportJob/ours")->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Assimp_ExportJob)->Name("ExportJob/assimp")->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Ours_ExportJob)
    ->Name("ExportJobFullPost/ours")
    ->Iterations(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Assimp_ExportJobFullPost)
    ->Name("ExportJobFullPost/assimp")
    ->Iterations(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

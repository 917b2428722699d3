#include <benchmark/benchmark.h>

#include <string>
#include <sys/stat.h>
#include <vector>

#include "bench/BenchCase.h"
#include "bench/BenchChild.h"
#include "bench/BenchTempFile.h"

// The whole export job, model by model: the twenty largest test models that
// both sides read (Debian's assimp-testmodels) and a small one, each exported
// by our command line and by Assimp's, both in a child process, timed on the
// clock and with their peak resident memory. Each side reads and writes the
// textures: ours by default, Assimp's told to embed them in the glb.
namespace {

BENCH_CASE_DOES("ExportJobModel",
                "ours: qdxexport of the model to a .qdx with default options, in a child process (import into the "
                "host stand-in, conversion, default passes, save); assimp: `assimp export MODEL out.glb -f glb2 "
                "-embtex` in a child (import, textures embedded, glb write); counter peak_MB: the child's peak "
                "resident memory");

struct Model
{
    const char* path; // under /usr/share/assimp/models
    const char* name; // as the table shows it
};

const Model kModels[] = {
    {"glTF2/2CylinderEngine-glTF-Binary/2CylinderEngine.glb", "2CylinderEngine.glb"},
    {"FBX/embedded_ascii/box_embedded_texture_fragmented.fbx", "box_embedded_texture_fragmented.fbx"},
    {"FBX/embedded_ascii/box.FBX", "embedded_ascii/box.FBX"},
    {"FBX/animation_with_skeleton.fbx", "animation_with_skeleton.fbx"},
    {"FBX/spider.fbx", "spider.fbx"},
    {"FBX/huesitos.fbx", "huesitos.fbx"},
    {"FBX/cubes_with_mirroring_and_pivot.fbx", "cubes_with_mirroring_and_pivot.fbx"},
    {"FBX/close_to_identity_transforms.fbx", "close_to_identity_transforms.fbx"},
    {"FBX/cubes_with_names.fbx", "cubes_with_names.fbx"},
    {"FBX/cubes_with_outofrange_float.fbx", "cubes_with_outofrange_float.fbx"},
    {"FBX/cubes_nonames.fbx", "cubes_nonames.fbx"},
    {"FBX/global_settings.fbx", "global_settings.fbx"},
    {"FBX/box_orphant_embedded_texture.fbx", "box_orphant_embedded_texture.fbx"},
    {"FBX/boxWithUncompressedCTypeArray.FBX", "boxWithUncompressedCTypeArray.FBX"},
    {"FBX/maxPbrMaterial_specGloss.fbx", "maxPbrMaterial_specGloss.fbx"},
    {"FBX/maxPbrMaterial_metalRough.fbx", "maxPbrMaterial_metalRough.fbx"},
    {"glTF2/draco/2CylinderEngine.gltf", "draco/2CylinderEngine.gltf"},
    {"glTF2/ClearCoat-glTF/ClearCoatTest.gltf", "ClearCoatTest.gltf"},
    {"glTF2/BoxTextured-glTF-Embedded/BoxTextured.gltf", "BoxTextured (Embedded).gltf"},
    {"glTF/CesiumMilkTruck/CesiumMilkTruck.gltf", "CesiumMilkTruck.gltf"},
    // The small one: 768 triangles.
    {"3DS/fels.3ds", "fels.3ds (small)"},
};

// Runs the command line made of head, the model's path and tail, one child
// a run; peak_MB is the child's peak of the last run.
void RunModel(benchmark::State& state, std::vector<std::string> head, const std::vector<std::string>& tail,
              const char* failure)
{
    const Model& model = kModels[state.range(0)];
    const std::string path = std::string("/usr/share/assimp/models/") + model.path;
    state.SetLabel(model.name);
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) {
        state.SkipWithError(("missing " + path + " (is assimp-testmodels installed?)").c_str());
        return;
    }
    head.push_back(path);
    head.insert(head.end(), tail.begin(), tail.end());
    double peak = 0;
    for (auto _ : state)
        if ((peak = RunChild(head)) < 0) {
            state.SkipWithError(failure);
            break;
        }
    state.counters["peak_MB"] = peak;
}

void BM_Ours_ExportJobModel(benchmark::State& state)
{
    RunModel(state, {ENGINE_QDXEXPORT}, {BenchTempFile("model.qdx")}, "qdxexport failed");
}

void BM_Assimp_ExportJobModel(benchmark::State& state)
{
    RunModel(state, {"/usr/bin/assimp", "export"}, {BenchTempFile("model.glb"), "-f", "glb2", "-embtex"},
             "assimp export failed (are assimp-utils and time installed?)");
}

void ModelArgs(benchmark::internal::Benchmark* b)
{
    b->ArgName("model");
    for (size_t i = 0; i < sizeof(kModels) / sizeof(kModels[0]); ++i)
        b->Arg(int64_t(i));
}

} // namespace

BENCHMARK(BM_Ours_ExportJobModel)
    ->Name("ExportJobModel/ours")
    ->Apply(ModelArgs)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Assimp_ExportJobModel)
    ->Name("ExportJobModel/assimp")
    ->Apply(ModelArgs)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

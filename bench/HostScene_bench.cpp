#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>

#include "bench/BenchCase.h"
#include "bench/HostLoadBench.h"

// The host stand-in's two loaders against what they stand on: a scene file
// read, checked and built against nlohmann-json's parse of the same text,
// and a model file imported into the scene against Assimp's own import of
// it.
namespace {

BENCH_CASE_DOES("HostSceneLoad",
                "ours: parse a scene file of N nodes (a tree four wide, each with a shared object, a material, "
                "a position, rotation and scale and user properties), check every field and build the scene; "
                "nlohmann: json::parse of the same text into a DOM");
BENCH_CASE_DOES("ModelImport",
                "ours: Assimp's import (triangulating), then the mapping of nodes, cameras, lights, "
                "keys, meshes, materials, skins and morph targets into the scene; assimp: "
                "Importer::ReadFile alone, the same flags; 0: 2CylinderEngine.glb (75,730 triangles, 83 nodes), 1: "
                "BCN_Epileptic.X (5,126 faces, 58 nodes, 57 animated channels)");

std::string SceneText(int nodes)
{
    std::string text = "{\"format\": \"qdx-host-scene\", \"version\": 1,\n"
                       " \"materials\": [{\"id\": \"m\", \"name\": \"Wood\"}],\n"
                       " \"objects\": [{\"id\": \"o\", \"kind\": \"geometry\"}],\n"
                       " \"nodes\": [";
    for (int i = 0; i < nodes; ++i) {
        const std::string id = std::to_string(i);
        text += i ? ",\n" : "\n";
        text += "{\"id\": \"n" + id + "\", \"name\": \"Box" + id + "\"";
        if (i > 0)
            text += ", \"parent\": \"n" + std::to_string((i - 1) / 4) + "\"";
        text += ", \"object\": \"o\", \"material\": \"m\", "
                "\"userProperties\": \"CK_SetParamOnThis(\\\"Speed\\\", \\\"2\\\")\",\n"
                "  \"transform\": {\"position\": [" +
                std::to_string(i % 100) +
                ", 2.5, -1], \"rotation\": [0, 0, 0.7071068, 0.7071068], \"scale\": [1, 1, 2]}}";
    }
    return text + "]}";
}

// The model of the case's argument, from the shared data or the Debian package.
std::string ModelPath(int which)
{
    const char* const shared[] = {"/models/assimp/glTF2/2CylinderEngine-glTF-Binary/2CylinderEngine.glb",
                                  "/models/assimp/X/BCN_Epileptic.X"};
    const char* const packaged[] = {"/usr/share/assimp/models/glTF2/2CylinderEngine-glTF-Binary/2CylinderEngine.glb",
                                    "/usr/share/assimp/models/X/BCN_Epileptic.X"};
    struct stat st;
    if (const char* dir = std::getenv("ENGINE_SHARED_DATA")) {
        const std::string path = std::string(dir) + shared[which];
        if (stat(path.c_str(), &st) == 0)
            return path;
    }
    return stat(packaged[which], &st) == 0 ? packaged[which] : "";
}

} // namespace

BENCHMARK(BM_HostSceneTextLoad<SceneText>)
    ->Name("HostSceneLoad/ours")
    ->ArgName("nodes")
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NlohmannTextParse<SceneText>)
    ->Name("HostSceneLoad/nlohmann")
    ->ArgName("nodes")
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HostModelImport<ModelPath>)
    ->Name("ModelImport/ours")
    ->ArgName("model")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AssimpModelImport<ModelPath>)
    ->Name("ModelImport/assimp")
    ->ArgName("model")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);

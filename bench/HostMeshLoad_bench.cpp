#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "bench/BenchCase.h"
#include "bench/BenchTempFile.h"
#include "bench/HostLoadBench.h"

// The host stand-in's loaders on big meshes: a scene file holding one mesh
// against nlohmann-json's parse of the same text, and a glTF file holding one
// mesh imported into the scene against Assimp's own import of it. The mesh
// is a grid of w x h quads, two triangles each.
namespace {

BENCH_CASE_DOES("HostMeshSceneLoad",
                "ours: parse a scene file holding one mesh of N triangles (a grid: vertices, faces, smoothing "
                "groups, material ids and a texture channel with its own faces), check every index and number and "
                "build the host mesh; nlohmann: json::parse of the same text into a DOM");
BENCH_CASE_DOES("HostMeshModelImport",
                "ours: Assimp's import (triangulating) of a glTF file with one mesh of N triangles (positions, "
                "normals, texture coordinates, 32-bit indices), then the mapping into the host's scene (vertices "
                "merged by position, a texture channel, specified normals, the material); assimp: Importer::ReadFile "
                "alone, the same flags");

void GridSize(int faces, int& w, int& h)
{
    w = faces == 100000 ? 250 : 1000;
    h = faces / (2 * w);
}

std::string MeshSceneText(int faces)
{
    int w, h;
    GridSize(faces, w, h);
    std::string vertices, uvs, tris, groups, ids;
    char text[96];
    for (int y = 0; y <= h; ++y)
        for (int x = 0; x <= w; ++x) {
            std::snprintf(text, sizeof(text), "%s[%d, %d, %g]", vertices.empty() ? "" : ", ", x, y,
                          double((x * 7 + y * 3) % 5) * 0.25);
            vertices += text;
            std::snprintf(text, sizeof(text), "%s[%g, %g]", uvs.empty() ? "" : ", ", double(x) / w, double(y) / h);
            uvs += text;
        }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int a = y * (w + 1) + x, b = a + 1, c = a + w + 1, d = c + 1;
            std::snprintf(text, sizeof(text), "%s[%d, %d, %d], [%d, %d, %d]", tris.empty() ? "" : ", ", a, b, d, a, d,
                          c);
            tris += text;
            groups += groups.empty() ? "1, 1" : ", 1, 1";
            ids += ids.empty() ? "0, 1" : ", 0, 1";
        }
    return "{\"format\": \"qdx-host-scene\", \"version\": 1, \"objects\": [{\"id\": \"grid\", \"kind\": \"mesh\",\n"
           "\"vertices\": [" +
           vertices + "],\n\"faces\": [" + tris + "],\n\"smoothingGroups\": [" + groups + "],\n\"materialIds\": [" +
           ids + "],\n\"maps\": [{\"channel\": 1, \"vertices\": [" + uvs + "], \"faces\": [" + tris +
           "]}]}],\n\"nodes\": [{\"id\": \"n\", \"name\": \"Grid\", \"object\": \"grid\"}]}";
}

// A glTF file (and its buffer) of the grid: positions, normals and texture
// coordinates per vertex, 32-bit indices.
std::string MeshModelFile(int faces)
{
    int w, h;
    GridSize(faces, w, h);
    const std::string name = "grid" + std::to_string(faces);
    const std::string path = BenchTempFile(name + ".gltf");
    const int vertices = (w + 1) * (h + 1);
    std::vector<float> data;
    for (int y = 0; y <= h; ++y)
        for (int x = 0; x <= w; ++x)
            data.insert(data.end(), {float(x), float((x * 7 + y * 3) % 5) * 0.25f, float(y)});
    for (int i = 0; i < vertices; ++i)
        data.insert(data.end(), {0.0f, 1.0f, 0.0f});
    for (int y = 0; y <= h; ++y)
        for (int x = 0; x <= w; ++x)
            data.insert(data.end(), {float(x) / float(w), float(y) / float(h)});
    std::vector<uint32_t> indices;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint32_t a = uint32_t(y * (w + 1) + x), b = a + 1, c = a + uint32_t(w) + 1, d = c + 1;
            indices.insert(indices.end(), {a, d, b, a, c, d});
        }
    const size_t floatBytes = data.size() * 4, indexBytes = indices.size() * 4;
    FILE* bin = std::fopen(BenchTempFile(name + ".bin").c_str(), "wb");
    std::fwrite(data.data(), 4, data.size(), bin);
    std::fwrite(indices.data(), 4, indices.size(), bin);
    std::fclose(bin);
    const size_t v3 = size_t(vertices) * 12, v2 = size_t(vertices) * 8;
    const std::string json =
        nlohmann::json{{"asset", {{"version", "2.0"}}},
                       {"scene", 0},
                       {"scenes", {{{"nodes", {0}}}}},
                       {"nodes", {{{"name", "Grid"}, {"mesh", 0}}}},
                       {"materials", {{{"name", "Grid"}}}},
                       {"meshes",
                        {{{"primitives",
                           {{{"attributes", {{"POSITION", 0}, {"NORMAL", 1}, {"TEXCOORD_0", 2}}},
                             {"indices", 3},
                             {"material", 0}}}}}}},
                       {"buffers", {{{"byteLength", floatBytes + indexBytes}, {"uri", name + ".bin"}}}},
                       {"bufferViews",
                        {{{"buffer", 0}, {"byteOffset", 0}, {"byteLength", v3}},
                         {{"buffer", 0}, {"byteOffset", v3}, {"byteLength", v3}},
                         {{"buffer", 0}, {"byteOffset", 2 * v3}, {"byteLength", v2}},
                         {{"buffer", 0}, {"byteOffset", floatBytes}, {"byteLength", indexBytes}}}},
                       {"accessors",
                        {{{"bufferView", 0},
                          {"componentType", 5126},
                          {"count", vertices},
                          {"type", "VEC3"},
                          {"min", {0, 0, 0}},
                          {"max", {w, 1, h}}},
                         {{"bufferView", 1}, {"componentType", 5126}, {"count", vertices}, {"type", "VEC3"}},
                         {{"bufferView", 2}, {"componentType", 5126}, {"count", vertices}, {"type", "VEC2"}},
                         {{"bufferView", 3}, {"componentType", 5125}, {"count", indices.size()}, {"type", "SCALAR"}}}}}
            .dump();
    FILE* gltf = std::fopen(path.c_str(), "wb");
    std::fwrite(json.data(), 1, json.size(), gltf);
    std::fclose(gltf);
    return path;
}

} // namespace

BENCHMARK(BM_HostSceneTextLoad<MeshSceneText>)
    ->Name("HostMeshSceneLoad/ours")
    ->ArgName("faces")
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NlohmannTextParse<MeshSceneText>)
    ->Name("HostMeshSceneLoad/nlohmann")
    ->ArgName("faces")
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HostModelImport<MeshModelFile>)
    ->Name("HostMeshModelImport/ours")
    ->ArgName("faces")
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AssimpModelImport<MeshModelFile>)
    ->Name("HostMeshModelImport/assimp")
    ->ArgName("faces")
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);

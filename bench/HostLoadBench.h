#pragma once

#include <benchmark/benchmark.h>

#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <nlohmann/json.hpp>
#include <string>

#include "platform/host/HostModelImport.h"
#include "platform/host/HostScene.h"
#include "platform/host/HostSceneFile.h"

// The two sides of the host loaders' cases, over the text or the file that
// Make gives for the case's argument.

// Ours: the scene file read, checked and built.
template <std::string (*Make)(int)>
void BM_HostSceneTextLoad(benchmark::State& state)
{
    const std::string text = Make(int(state.range(0)));
    for (auto _ : state) {
        HostScene scene;
        std::string error;
        if (!ReadHostScene(text.data(), text.size(), "bench.json", scene, error))
            state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(scene.Nodes().data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

// The peer: nlohmann-json's parse of the same text into a DOM.
template <std::string (*Make)(int)>
void BM_NlohmannTextParse(benchmark::State& state)
{
    const std::string text = Make(int(state.range(0)));
    for (auto _ : state) {
        const nlohmann::json j = nlohmann::json::parse(text);
        benchmark::DoNotOptimize(j.size());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

// Ours: Assimp's import and the mapping into the host's scene.
template <std::string (*Make)(int)>
void BM_HostModelImport(benchmark::State& state)
{
    const std::string path = Make(int(state.range(0)));
    if (path.empty()) {
        state.SkipWithError("model not found (ENGINE_SHARED_DATA or assimp-testmodels)");
        return;
    }
    for (auto _ : state) {
        HostScene scene;
        std::string error;
        if (!ImportHostModel(path, scene, error))
            state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(scene.Nodes().data());
    }
}

// The peer: Assimp's import alone, with the same post-processing.
template <std::string (*Make)(int)>
void BM_AssimpModelImport(benchmark::State& state)
{
    const std::string path = Make(int(state.range(0)));
    if (path.empty()) {
        state.SkipWithError("model not found (ENGINE_SHARED_DATA or assimp-testmodels)");
        return;
    }
    for (auto _ : state) {
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFile(path, kHostModelImportFlags);
        if (!scene)
            state.SkipWithError(importer.GetErrorString());
        benchmark::DoNotOptimize(scene);
    }
}

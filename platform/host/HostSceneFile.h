#pragma once

#include <cstddef>
#include <string>

class HostScene;

// The host scene file: the whole scene model as JSON (written down in
// docs/host-scene-format.md). Reading checks everything and fills an empty
// scene; on failure it gives false and one line naming the file, the place
// in it and what is wrong, for example
//   scene.json: nodes[2].parent: unknown id "n9"
// and leaves the scene partly filled: drop it.
bool LoadHostSceneFile(const std::string& path, HostScene& scene, std::string& error);
bool ReadHostScene(const char* bytes, size_t size, const std::string& fileName, HostScene& scene, std::string& error);

// The format name and version written in every scene file.
constexpr const char* kHostSceneFormat = "qdx-host-scene";
constexpr int kHostSceneVersion = 1;

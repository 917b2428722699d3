#pragma once

#include <string>

class HostScene;

// Imports a model file that Assimp reads (glTF 2.0, FBX, 3DS, OBJ, Collada
// and the rest) into an empty scene, as the host's own importers would: one
// node per node of the file, root included, with its name, transform and
// key animation; cameras and lights on the nodes that carry them; a
// geometry object on nodes with meshes and a dummy helper on the others.
// The mapping (axes, units, camera and light frames, timeline) is written
// down in docs/host-scene-format.md. Every value is checked: a file Assimp
// refuses, one whose texture files are missing, or one with values no scene
// holds (not finite, times out of order or beyond the timeline) gives false
// and one line naming the file and what is wrong; the scene is then left
// partly filled: drop it.
bool ImportHostModel(const std::string& path, HostScene& scene, std::string& error);

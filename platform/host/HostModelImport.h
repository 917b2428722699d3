#pragma once

#include <assimp/postprocess.h>
#include <string>

class HostScene;
struct aiScene;

// Imports a model file that Assimp reads (glTF 2.0, FBX, 3DS, OBJ, Collada
// and the rest) into an empty scene, as the host's own importers would: one
// node per node of the file, root included, with its name, transform and
// key animation; cameras and lights on the nodes that carry them; a
// triangle mesh (its meshes joined, with map channels, vertex colours and
// normals, under a Skin and a Morpher when the file has bones and morph
// targets) on nodes with meshes and a dummy helper on the others; standard
// materials with their bitmaps. The mapping (axes, units, camera and light
// frames, timeline, meshes, materials) is written down in
// docs/host-scene-format.md. Every value is checked: a file Assimp refuses,
// or one with values no scene holds (not finite, indices out of range,
// times out of order or beyond the timeline) gives false and one line
// naming the file and what is wrong; the scene is then left partly filled:
// drop it. A texture file that is not found is no error: its map keeps the
// name and its bitmap is missing, as in the host.
bool ImportHostModel(const std::string& path, HostScene& scene, std::string& error);

// The mapping alone, from a scene Assimp gave (or one built in memory):
// folder is where relative texture paths are looked for ("" or ending in
// '/'); fbxUnits takes the scene's unit from its FBX metadata. Every count,
// index and number is checked against the arrays the scene holds; false
// with the message (without a file name) when one does not fit.
bool MapHostModel(const aiScene& ai, const std::string& folder, bool fbxUnits, HostScene& scene, std::string& error);

// What Assimp is asked to do besides reading: triangulate polygons, nothing
// else.
constexpr unsigned kHostModelImportFlags = aiProcess_Triangulate;

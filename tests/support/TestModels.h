#pragma once

#include <string>
#include <vector>

// The model files Assimp reads (glTF, FBX, 3DS, OBJ, Collada, X) below a
// folder, sorted; none for a folder that does not exist.
std::vector<std::string> TestListModelFiles(const std::string& folder);

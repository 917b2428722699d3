#pragma once

#include <initializer_list>
#include <string>
#include <vector>

// The files below a folder whose names end in one of the extensions (any
// case), sorted; none for a folder that does not exist.
std::vector<std::string> TestListFiles(const std::string& folder, std::initializer_list<const char*> extensions);

// The model files Assimp reads (glTF, FBX, 3DS, OBJ, Collada, X) below a
// folder, sorted; none for a folder that does not exist.
std::vector<std::string> TestListModelFiles(const std::string& folder);

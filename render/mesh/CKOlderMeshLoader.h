#pragma once

#include "includes/CKTypes.h"

class CKFile;
class CKObject;
class CKStateChunk;

// Mesh sections older than data version 9 kept their material groups,
// vertices, faces and lines in a layout no record describes: the loader of
// that form logs one line naming the mesh and the version, reads nothing and
// answers -22, and the mesh's load goes on with its channel section.
CKERROR CKLoadOlderMeshData(CKObject* mesh, CKStateChunk* chunk, CKFile* file);

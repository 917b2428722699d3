#pragma once

#include "core/context/CKDefines.h"

class CK3dEntity;
class CKBeObject;
class CKContext;
class CKLevel;
class CKLight;
class CKMaterial;
class CKMesh;
class CKRenderContext;
class CKScene;
class CKTexture;

// A small scene for the mesh blocks, made the same way every time (the same
// objects in the same order, so that ids saved in one context name the same
// objects in another): what the blocks' fuzz targets and their seed writer
// share.
struct BlockWorld
{
    CKContext* Context = nullptr;
    CKLevel* Level = nullptr;
    CKScene* Scene = nullptr;
    CKRenderContext* Dev = nullptr;    // null when none could be made
    CK3dEntity* Object = nullptr;      // a lit 4 x 4 x 4 lattice, its state kept in the scene
    CK3dEntity* PatchObject = nullptr; // a patch mesh of three patches
    CK3dEntity* Joined = nullptr;      // a second lattice a little beside the first
    CK3dEntity* Bare = nullptr;        // an object without mesh
    CKMesh* Loose = nullptr;           // a pre-lit lattice that no object holds
    CKMaterial* Material = nullptr;
    CKTexture* Texture = nullptr; // 8 x 4, 32 bits
    CKLight* Light = nullptr;     // a target light, active in the scene
};

// Makes the world in the context (whose plug-ins are registered).
BlockWorld MakeBlockWorld(CKContext* context);

// The object of the world a block applying to that class takes as its owner
// and target: a mesh block the loose mesh, "Set PatchMesh Steps" the patch
// mesh, the others the lattice object.
CKBeObject* BlockWorldOwner(const BlockWorld& world, CK_CLASSID compatible);

// Fills a mesh with the side^3 lattice over [-1, 1]^3: texture coordinates
// from -0.25 to 1, two triangles per cell of each z layer, normals built.
void FillBlockLattice(CKMesh* mesh, int side, bool prelit);

#pragma once

#include <string>
#include <vector>

#include "includes/CKTypes.h"
#include "includes/XArray.h"

class CKContext;
class CKFile;
class CKObject;

// What a set of engine objects amounts to, for one line that qdxinfo prints
// of a file read back and qdxexport of what it built: the same count on
// both sides, so that the two lines can be compared.
//
// objects: the behavioural objects and animations (what qdxinfo lists by
// class: entities, meshes, materials, textures, groups, levels and scenes,
// characters, object and keyed animations), not the parameters and
// behaviours that come with them. meshes: the meshes, patch meshes
// included; vertices and faces: those of the meshes but the patch meshes,
// whose faces are made from their patches when they load. animation keys: the keys of
// every object animation's controllers (position, rotation, scale, scale
// axis, morph and named float controllers); an animation that shares
// another's data adds none, the keys being stored once.
struct EngineTotals
{
    int objects = 0;
    int meshes = 0;
    int vertices = 0;
    int faces = 0;
    int materials = 0;
    int textures = 0;
    int animationKeys = 0;
    // The levels and scenes among the objects: what a level export holds
    // when nothing else was exported.
    int levels = 0;
};

// Null objects are skipped.
EngineTotals CountEngineTotals(const std::vector<CKObject*>& objects);
// "<n> objects, <n> meshes, <n> vertices, <n> faces, <n> materials, <n>
// textures, <n> animation keys".
std::string EngineTotalsText(const EngineTotals& totals);
// The objects a file just loaded made (or found), in file order, those
// still alive in the context.
std::vector<CKObject*> LoadedFileObjects(CKContext* context, const CKFile& file);
// The objects of the ids, null for an id the context does not hold.
std::vector<CKObject*> ObjectsOf(CKContext* context, const XArray<CK_ID>& ids);

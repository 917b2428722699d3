#pragma once

#include "lod/LODOptions.h"

class CK3dEntity;
class CKCamera;
class CKMesh;

// What the level-of-detail manager must do, written from the documented
// formulas apart from its code, for the tests to compare against.

// The face ratio and the alpha an entity's screen measure gives; measured
// false when the entity is left alone (no first mesh and no character, or
// no camera).
struct LodLevels
{
    bool measured = false;
    float face = 0.0f;
    float alpha = 1.0f;
};
LodLevels LodReferenceLevels(CK3dEntity* e, CKCamera* camera, float cameraFactor, const LODOptions& o);

// The mesh chosen among an entity's meshes for a face ratio: the target
// face count moved away from the current mesh's count by 10 %, then the
// mesh that exceeds it by the least (the current one when none does).
CKMesh* LodReferenceChoice(CK3dEntity* e, float face);

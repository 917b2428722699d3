#pragma once

class CK3dEntity;
class CKContext;

// A 3D object named "cube" whose mesh is a closed cube of half size 1 around
// the entity's origin, its faces turned outward: a volume for the queries
// that select what lies inside an entity.
CK3dEntity* CreateCubeEntity(CKContext* context);

#include "exporter/options/Max2Qdx.h"

// The geometry conversions that later work fills: nothing is converted yet,
// so a geometric node gets its entity without a mesh.

void Max2Qdx::ExportMesh(INode* node, CK3dEntity* entity)
{
    (void) node;
    (void) entity;
}

void Max2Qdx::ExportPatchMesh(INode* node, CK3dEntity* entity)
{
    (void) node;
    (void) entity;
}

#include "exporter/options/Max2Qdx.h"

// The animated-mesh pass and the blend-shape export that later work fills:
// they do nothing yet, so the driver's order already stands.

void Max2Qdx::ExportAnimatedMeshes(INode* node)
{
    (void) node;
}

void Max2Qdx::ExportMorphTargets(INode* node, Mesh& mesh, MeshBuilder& builder)
{
    (void) node;
    (void) mesh;
    (void) builder;
}

#include "exporter/options/Max2Qdx.h"

// The animated-mesh pass that later work fills: it does nothing yet, so the driver's order already stands.

void Max2Qdx::ExportAnimatedMeshes(INode* node)
{
    (void) node;
}

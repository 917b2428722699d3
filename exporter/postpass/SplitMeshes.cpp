#include "exporter/builder/ExportBuilder.h"

int ExportBuilder::SplitMeshes()
{
    // No material carries extra channels yet: nothing to split.
    return 0;
}

#include "exporter/options/Max2Qdx.h"

// The materials pass that later work fills. It starts by forgetting which
// map channels were used (the forced-UV step of the driver reads them).
void Max2Qdx::ExportMaterials()
{
    for (CKBOOL& used : channelUsed)
        used = FALSE;
}

#include "exporter/options/Max2Qdx.h"

int Max2Qdx::ExportScene(const char* name, Interface* maxInterface, CKBOOL onlySelected)
{
    // The conversion passes are not written yet: nothing is exported.
    (void) maxInterface;
    (void) onlySelected;
    fileName = name;
    return 1;
}

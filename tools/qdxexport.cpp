// qdxexport: the modelling host's export, run from the command line. It
// stands in for the host's utility panel and its script: loads a scene file
// or a model file into the host stand-in and hands the script function
// ExtendedExport2qdx its positional arguments, in this process (see
// platform/host/HostCommandLine.h and docs/host-scene-format.md).
#include "tools/QdxExportArguments.h"

int main(int argc, char** argv)
{
    return RunHostCommandLine(argc, argv, QdxExportArguments(), RunExtendedExport2qdx, stdout, stderr);
}

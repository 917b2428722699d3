// qdxexport: the modelling host's export, run from the command line. It
// stands in for the host's utility panel and its script: loads a scene file
// or a model file into the host stand-in and hands the script function its
// positional arguments (see platform/host/HostCommandLine.h and
// docs/host-scene-format.md).
#include "platform/host/HostCommandLine.h"

// The exporter's script function, ExtendedExport2qdx, is called here, in
// this process, with the argument vector; until the export path exists
// there is none and only --dump-host, --help and --about do anything.
static HostExportFunction ExportHook()
{
    return nullptr;
}

int main(int argc, char** argv)
{
    return RunHostCommandLine(argc, argv, ExportHook(), stdout, stderr);
}

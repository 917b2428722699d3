// qdxexport: the modelling host's export, run from the command line. It
// stands in for the host's utility panel and its script: loads a scene file
// or a model file into the host stand-in and hands the script function
// ExtendedExport2qdx its positional arguments, in this process (see
// platform/host/HostCommandLine.h and docs/host-scene-format.md).
#include "tools/QdxExportArguments.h"

#include "exporter/shell/PluginShell.h"

int main(int argc, char** argv)
{
    // As the host loads the library before any export.
    if (ExporterLoad() != 0) {
        std::fputs("qdxexport: the engine did not start\n", stderr);
        return 1;
    }
    SetHostAboutText(ExporterAboutText());
    int code = RunHostCommandLine(argc, argv, QdxExportArguments(), QdxExportFunction(stdout, stderr), stdout, stderr);
    ExporterUnload();
    return code;
}

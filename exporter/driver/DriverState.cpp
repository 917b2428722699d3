#include "exporter/driver/DriverState.h"

#include "core/context/CKStartUp.h"

namespace {

// Never destroyed: the exporter's class descriptor may reset it while the
// process exits.
ExportDriverState& g_State = *new ExportDriverState;

// Whether the engine still holds the context: after a shut-down it is gone,
// and closing it again would touch released state.
bool EngineHolds(CKContext* context)
{
    for (int i = 0; i < CKGetContextCount(); ++i)
        if (CKGetContext(i) == context)
            return true;
    return false;
}

} // namespace

ExportDriverState& GetExportDriverState()
{
    return g_State;
}

void ResetExportDriverState()
{
    if (g_State.context && EngineHolds(g_State.context))
        CKCloseContext(g_State.context);
    g_State = ExportDriverState();
}

XString GetInstructionScriptFolder()
{
    XString folder = g_State.scriptFolder;
    if (folder.Length() == 0) {
        folder = CKGetStartPath();
        folder += "/plugins/Keltrane AddOns/";
    } else if (folder[folder.Length() - 1] != '/') {
        folder += "/";
    }
    return folder;
}

#pragma once

#include <functional>

#include "includes/CKTypes.h"
#include "includes/XArray.h"
#include "includes/XString.h"

class CKContext;

// The export driver's process-wide state: what lives from the first export
// until the library is unloaded, and the selection switch of the running
// export. One object, so a test (or an unload) puts it all back at once.
struct ExportDriverState
{
    // The one engine context every export shares; null until the first.
    CKContext* context = nullptr;
    // The linked plug-ins went to the plug-in manager.
    CKBOOL pluginsRegistered = FALSE;
    // onlySelected of the running export: every node walk reads it.
    CKBOOL onlySelectedNodes = FALSE;
    // The folder instruction scripts are read from; empty means
    // "<engine start folder>/plugins/Keltrane AddOns/".
    XString scriptFolder;
    // The error of the last export's save (0 when it saved).
    CKERROR lastSaveError = 0;
    // What the last export's report counted, whatever its level kept: its
    // warnings and errors, and the bitmap files it did not find.
    int lastWarnings = 0;
    int lastErrors = 0;
    int lastMissingBitmaps = 0;
    // Called by an export whose save wrote the file, before the context is
    // cleared: the context and the ids of the objects the file holds, in
    // file order (what qdxexport counts as built). Null: nothing is called.
    std::function<void(CKContext* context, const XArray<CK_ID>& saved)> onFileSaved;
};

ExportDriverState& GetExportDriverState();
// Closes the shared context (when the engine still runs) and resets every
// field.
void ResetExportDriverState();
// The folder of instruction scripts, ending in "/".
XString GetInstructionScriptFolder();

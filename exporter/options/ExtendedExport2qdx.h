#pragma once

#include "platform/host/MaxTypes.h"
#include "platform/host/Value.h"

class Interface;
class Max2Qdx;

// The script function "ExtendedExport2qdx": checks its 3 to 49 positional
// arguments (file name, selection only, export kind, then the options in
// their table order), makes a fresh exporter, stores the options in it, runs
// the export and deletes the exporter. ok after an export; empty, with a
// message on the script listener and no export, when there are fewer than 3
// arguments, when an argument is not of its option's type, or when the file
// name does not end in ".qdx", ".qbx" or ".qfx" (any case). Arguments
// beyond the 49th are ignored.
Value ExtendedExport2qdx(Value** arguments, int count);

// What the function makes of a file name: its extension is its last four
// characters when it is longer than that; an object file (".qdx", any case)
// gives 1, the export kind "objects"; a composition or player file (".qbx",
// ".qfx") gives 4, "level"; any other name (".qdx" alone included) 0, a
// name the function refuses.
int ExportKindOfFileName(const char* name);

// How the script function runs the export it has set up; the exporter's
// own ExportScene unless replaced (tests and fuzzing watch the calls).
using ExportSceneFunction = int (*)(Max2Qdx& exporter, const char* name, Interface* maxInterface, BOOL onlySelected);
// Null restores the exporter's own; gives the previous function.
ExportSceneFunction SetExportSceneFunction(ExportSceneFunction function);

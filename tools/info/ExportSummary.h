#pragma once

#include <string>

class INode;

// What qdxexport says of an export that saved its file but lost something
// on the way.
struct ExportLosses
{
    // The report's warnings and errors, whatever its level kept.
    int warnings = 0;
    int errors = 0;
    // Bitmap files that were not found, each once.
    int missingBitmaps = 0;
    // The file holds nothing made from the scene (at most a level and its
    // scene): --selected with nothing selected, --as animation without
    // animation.
    bool nothingExported = false;
    // The scene animates and the option exportAnimation was off.
    bool animationLeftOut = false;
    // The warnings of the scene's import (what it mended or left out), told
    // before the export one line each; apart from the report's, which are
    // read elsewhere.
    int importWarnings = 0;
};

// The one closing line (with its line end) that names every loss, e.g.
// "qdxexport: saved with 2 warnings, 1 import warning, 1 bitmap not found,
// the scene's animation left out (exportAnimation is off)\n"; "" when
// nothing was lost.
std::string ExportClosingLine(const ExportLosses& losses);

// Whether a node below root (root itself excluded; with onlySelected, a
// selected one) moves or deforms within the range: its transform or its
// evaluated object is not the same over the whole of [start, end], by the
// validity the host gives them.
bool SceneAnimates(INode* root, int start, int end, bool onlySelected);

#pragma once

#include "includes/CKTypes.h"

// The system library's own log source: "QxMath" after start-up, or whatever
// source the render library stores here ("CK2_3D"). 0 (no listener takes
// it) before start-up and after shut-down.
int QxGetLibraryLogSource();
void QxSetLibraryLogSource(int source);

// Logs one text under the library's source.
void QxLibraryLog(CKDWORD level, int line, const char* file, const char* text);

#pragma once

#include "includes/CKTypes.h"

// How the engine's pixel formats and the platform's surface formats
// correspond for DDS files.

// The surface format an image of that engine format is saved in: A8R8G8B8
// for 1; X8R8G8B8 for 2 and 3; R5G6B5 for 4; X1R5G5B5 for 5; A1R5G5B5 for 6;
// A4R4G4B4 for 7, 8 and 9; DXT1 to DXT5 for 19 to 23; the bump formats for
// 24 to 27. 0 for any other.
CKDWORD DdsSaveFormat(int engineFormat);

// The engine format a surface of that format reads as: the inverse of the
// above (21 gives 1, 22 gives 2, 26 gives 7 ...); 0 for any other, R8G8B8
// and R3G3B2 included.
int DdsReadFormat(CKDWORD surfaceFormat);

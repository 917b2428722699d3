#pragma once

#include "includes/CKTypes.h"

// The mode bits (st_mode) of a file, 0 for a null or empty path or a file
// that cannot be found.
CKDWORD QxGetFileMode(const char* path);

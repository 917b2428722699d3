#pragma once

#include "includes/CKTypes.h"

// The sentence of an error code; "Unknown Error" for values without one.
// Never null.
const char* CKErrorToString(CKERROR error);

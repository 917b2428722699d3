#pragma once

#include "includes/CKTypes.h"

// The x87 control word: bits 0-5 mask the six exceptions, bits 8-9 choose
// the precision (0 = single), bits 10-11 the rounding (0 = nearest).
CKWORD QxGetFPUControlWord();
void QxSetFPUControlWord(CKWORD word);

// Loads single precision, nearest rounding and all six exceptions masked
// when the word says otherwise; leaves a word that already says so.
void QxSetupFPU();

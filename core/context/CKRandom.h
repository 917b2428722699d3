#pragma once

#include "includes/CKTypes.h"

// The engine's own random generator, the classic linear congruential
// sequence: seed = seed * 214013 + 2531011, result (seed >> 16) & 0x7FFF.
// Its seed is process-wide state (reset by CKShutdown to 1).
void CKSrand(CKDWORD seed);
// 0..32767.
int CKRand();

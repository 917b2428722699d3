#pragma once

#include "platform/PlatformMutex.h"

// The system library's global critical section: it serialises the blitter and
// the colour quantizer, whose working state is process-wide. Always valid,
// before start-up and after shut-down alike; recursive.
PlatformCriticalSection& QxGetGlobalCriticalSection();

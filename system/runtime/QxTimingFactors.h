#pragma once

// Process-wide factors from counter ticks and processor cycles to
// milliseconds, set by the processor detection. Until then the tick factor is
// taken from the counter's frequency and the cycle factor is 0.
float QxGetMillisecondsPerTick();
float QxGetMillisecondsPerCycle();
void QxSetTimingFactors(float millisecondsPerTick, float millisecondsPerCycle);

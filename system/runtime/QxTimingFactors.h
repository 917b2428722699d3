#pragma once

// Process-wide factors from counter ticks and processor cycles to
// milliseconds, set by the processor detection. Until then the tick factor is
// taken from the counter's frequency and the cycle factor is 0.
float QxGetMillisecondsPerTick();
float QxGetMillisecondsPerCycle();
void QxSetTimingFactors(float millisecondsPerTick, float millisecondsPerCycle);

// The processor detection defers measuring the clock to the first read of the
// cycle factor (or of the processor's description): it names the function
// that measures, which sets both factors. Factors set explicitly before that
// win: setting them drops the pending measurement.
void QxSetClockMeasurement(void (*measure)());
bool QxClockMeasurementPending();

#pragma once

#include <cstddef>

#include "includes/CKTypes.h"

// Processor detection: vendor, model name, feature flags, clock frequency
// and the timing factors of the profilers. Detection is asked for once per
// process and done when a value is first read, the clock's measurement too;
// the values are read-only afterwards.

// Feature bits of QxGetProcessorFeatures.
constexpr CKDWORD QX_PROCESSOR_MMX = 1u << 23;
constexpr CKDWORD QX_PROCESSOR_SSE = 1u << 25;

void QxDetectProcessor();

// Measures the processor's clock once, after detection (the description and
// the cycle factor ask for it on their own; this is for callers that want
// the cost paid at a time of their choosing).
void QxMeasureProcessorClockOnce();

// Type id (-1 when not recognised, see QxGetProcessorTypeName), the EDX
// feature word of identification function 1, and the description text. All
// are 0 / "" until QxDetectProcessor has run.
int QxGetProcessorType();
CKDWORD QxGetProcessorFeatures();
const char* QxGetProcessorDescription();

// Whether the processor runs AVX2 code: the few loops with a vectorised path
// ask it before taking that path. Checked once; false off x86-64.
bool QxProcessorHasAvx2();

// Stores the processor's 64-bit time-stamp counter.
void QxReadTimeStampCounter(uint64_t* place);

// The pieces of the detection, on given measurements.

// The usual frequency nearest a measured one (in MHz); values at or below 63
// and at or above 1516 stay.
int QxSnapProcessorFrequency(int measuredMhz);

// The type id from the identification fields: amd3DNow says that the vendor
// is "AuthenticAMD" and that extended function 0x80000001 sets EDX bit 31.
int QxGetProcessorTypeId(bool amd3DNow, int family, int model, CKDWORD features);

// The name of a type id ("" for 8 and any other id without a name).
const char* QxGetProcessorTypeName(int typeId);

// Writes the description of a processor of that name and frequencies, cut to
// the buffer (size > 0).
void QxFormatProcessorDescription(char* out, size_t size, const char* name, int snappedMhz, int measuredMhz);

// The measured frequency in MHz and the milliseconds per cycle from a
// counter interval (ticks at frequency ticksPerSecond) and the cycles counted
// meanwhile; both 0 when an interval is empty.
void QxComputeProcessorClock(CKDWORD counterTicks, CKDWORD ticksPerSecond, CKDWORD cycles, int* measuredMhz,
                             float* millisecondsPerCycle);

#pragma once

#include <cstdint>

// An emulated x87 floating-point control word, one per thread. The engine
// reads it, checks it and loads it as it would on Windows; the arithmetic on
// this platform does not depend on it (SSE does the float work). It starts
// as the Windows default 0x027F: double precision, round to nearest, all six
// exceptions masked.
uint16_t PlatformGetFpuControlWord();
void PlatformSetFpuControlWord(uint16_t word);

constexpr uint16_t kPlatformDefaultFpuControlWord = 0x027F;

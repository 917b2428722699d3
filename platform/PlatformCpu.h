#pragma once

#include <cstdint>

// Processor identification and thread identity.

// Runs processor-identification function `leaf` (sub-function 0) and stores
// EAX, EBX, ECX, EDX. Returns false, with all four zero, on a processor
// without the instruction, or when `leaf` is above the highest function the
// processor reports for its range (basic or extended).
bool PlatformCpuid(uint32_t leaf, uint32_t regs[4]);

// The calling thread's kernel id and a handle that names it within the
// process; both 64-bit and never 0.
uint64_t PlatformGetCurrentThreadId();
uint64_t PlatformGetCurrentThreadHandle();

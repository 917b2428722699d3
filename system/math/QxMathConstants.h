#pragma once

#include "includes/CKTypes.h"

// The library's four-word constant vectors, 16-byte aligned, for code that
// works on four lanes at once. They are compile-time constants, valid before
// start-up.
struct alignas(16) QxConstantWords
{
    CKDWORD w[4];
};
struct alignas(16) QxConstantFloats
{
    float f[4];
};

// Words 0, all bits, 0, all bits.
inline constexpr QxConstantWords QX_SIGN_MASK = {{0u, 0xFFFFFFFFu, 0u, 0xFFFFFFFFu}};
// (1, 1, 1, -1).
inline constexpr QxConstantFloats QX_ONES_NEG_W = {{1.0f, 1.0f, 1.0f, -1.0f}};
// Every bit but the sign bit.
inline constexpr QxConstantWords QX_ABS_MASK = {{0x7FFFFFFFu, 0x7FFFFFFFu, 0x7FFFFFFFu, 0x7FFFFFFFu}};
// (255, 255, 255, 255).
inline constexpr QxConstantFloats QX_255 = {{255.0f, 255.0f, 255.0f, 255.0f}};
// (0.5, 0.5, 0.5, 0.5).
inline constexpr QxConstantFloats QX_HALF = {{0.5f, 0.5f, 0.5f, 0.5f}};

// Kept for the start-up sequence: the constants above are already set at
// compile time, so this does nothing and may be called any number of times.
void QxInitMathConstants();

#pragma once

#include "includes/CKTypes.h"

// The angle lookup tables of the compressed directions. One full turn is 16384 steps; pi below is the 32-bit float
// value of pi (3.1415927410125732).
//
// The tables are built on first use (thread-safe), so they can be read before
// start-up; QxInitMathTables only makes that happen at a known moment.

inline constexpr int QX_ANGLE_STEPS = 16384;
inline constexpr int QX_ANGLE_QUARTER = 4096;
// 16384 entries and a copy of the first quarter.
inline constexpr int QX_SIN_TABLE_SIZE = QX_ANGLE_STEPS + QX_ANGLE_QUARTER;

// Entry i = sin(i x pi / 8192) for i = 0 .. 16383, then entries 0 .. 4095
// again: the cosine of index i is entry i + 4096.
const float* QxGetSinTable();
// The sine table seen from entry 4096: entry i = cos(i x pi / 8192), i = 0 .. 16383.
const float* QxGetCosTable();
// Entry i = 1 / sqrt(1 - v²) with v = (i - 8192) / 8192 for i = 0 .. 16383, the
// largest float where 1 - v² is not positive (i = 0); then entries 0 .. 4095 again.
const float* QxGetInvSqrtTable();
// Entry i = trunc(asin(v) x 8192 / pi) & 0x3FFF with v = (i - 8192) / 8192,
// i = 0 .. 16383: an index into the sine table (negative angles wrap).
const CKWORD* QxGetArcSinTable();

// Builds the three tables; the identity matrix is a compile-time constant.
// Idempotent; called by the system start-up.
void QxInitMathTables();

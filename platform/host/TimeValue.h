#pragma once

// Stands in for the host's time: a 32-bit count of ticks, 4800 a second
// whatever the frame rate (a frame lasts GetTicksPerFrame ticks, see
// Interface.h).
typedef int TimeValue;

constexpr TimeValue TIME_TICKSPERSEC = 4800;
constexpr TimeValue TIME_NegInfinity = -2147483647 - 1;
constexpr TimeValue TIME_PosInfinity = 2147483647;

#pragma once

// Three-dimensional gradient noise of the published reference kind (a
// lattice of 256 pseudo-random unit gradients, smoothed by 3t^2 - 2t^3),
// with the tables drawn from the engine's generator.

// The tables: a permutation and gradients of one, two and three floats,
// 256 entries repeated once and by two more so that every lookup stays in.
struct GradientNoiseTables
{
    static constexpr int kSize = 256;
    static constexpr int kEntries = kSize + kSize + 2;

    int P[kEntries];
    float G1[kEntries];
    float G2[kEntries][2];
    float G3[kEntries][3];
};

// Fills the tables from CKRand, drawing for each entry in turn its one-, two-
// and three-float gradients, then shuffling the permutation, so the tables
// follow the generator's state at the call.
void BuildGradientNoiseTables(GradientNoiseTables& tables);

// The process's tables, built on the first call (the generator drawn then),
// once, whatever the threads.
const GradientNoiseTables& GetGradientNoiseTables();

// The noise at (x, y, z), about -1 to 1; 0 at every lattice point. The
// coordinates are offset by 4096 before the lattice is found; one whose
// offset value has no integer part to take (not a number, beyond the 32-bit
// integers) is taken as the lattice point 0.
float GradientNoise3(const GradientNoiseTables& tables, float x, float y, float z);

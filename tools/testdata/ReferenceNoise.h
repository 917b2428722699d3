#pragma once

// The published reference three-dimensional gradient noise, transcribed as
// it stands (its macros, its types, its order of operations), for the tests
// and benchmarks to hold the engine's noise against. Its random() is the
// engine's generator, so that both draw the same tables from one seed.
namespace ReferenceNoise {

// The tables: permutation and gradients of one, two and three floats.
extern int p[0x100 + 0x100 + 2];
extern float g3[0x100 + 0x100 + 2][3];
extern float g2[0x100 + 0x100 + 2][2];
extern float g1[0x100 + 0x100 + 2];

// Draws the tables from the engine's generator as it stands.
void init();
float noise3(float vec[3]);

} // namespace ReferenceNoise

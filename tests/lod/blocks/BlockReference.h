#pragma once

#include <cstdint>
#include <vector>

#include "tests/lod/blocks/BlockTestSupport.h"

struct GradientNoiseTables;

// The blocks' formulas written again in double precision, straight from
// their definitions, for the tests to compare the blocks against. A box is
// given as its minimum and maximum corners.

struct DBox
{
    DVec Min, Max;
};

// The turn that brings axis (0 x, 1 y, 2 z) onto z; yAngle is the angle
// about x used for y.
DRotation AxisTurn(int axis, double yAngle);

DVec TwistPoint(const DVec& p, int axis, const DBox& box, double angle, double bias);
DVec TaperPoint(const DVec& p, int axis, const DBox& box, double amount, double curve, bool symmetry, bool first,
                bool second);
DVec StretchPoint(const DVec& p, int axis, const DBox& box, double stretch, double amplify);

// Bend of a point, and of its normal when normal is given.
struct BendSetup
{
    double Angle = 0.0;     // the "Angle" input (halved inside)
    double Direction = 0.0; // radians about z after the axis turn
    int Axis = 2;
    DBox Box;
};
DVec BendPoint(const DVec& p, const BendSetup& s, DVec* normal);

// The gradient noise, in double, from the engine's tables.
double ReferenceNoise(const GradientNoiseTables& tables, double x, double y, double z);
DVec NoisePoint(const GradientNoiseTables& tables, const DVec& p, double seed, double scale, const DVec& axis);

DVec SinePoint(const DVec& p, const DVec& axis, double magnitude, double wave, double time);

// The engine's random sequence, kept by the test.
class ReferenceRandom
{
public:
    explicit ReferenceRandom(uint32_t seed) : m_Seed(seed) {}
    int Next()
    {
        m_Seed = m_Seed * 214013u + 2531011u;
        return (int) ((m_Seed >> 16) & 0x7FFF);
    }

private:
    uint32_t m_Seed;
};

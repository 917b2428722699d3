#pragma once

#include "system/math/QxVector.h"

// The evaluation of one Bezier patch, in 32-bit floats: every product and
// sum is rounded to a float in the order written here, so that a point on a
// side shared by two patches comes out the same from both.
//
// Triangles are quartic triangular patches: corners V0..V2, nine auxiliary
// points A0..A8 (the cubic sides raised to quartic ones, three per side from
// corner k towards corner k + 1) and three interior points I0..I2, at
// barycentric weights a (corner 1), b (corner 2), c (corner 0). Quads are
// bicubic patches over a 4 x 4 control net, row j by t, column i by s.

// The 15 weights of a triangle's control points at (a, b, c), in the order
// V0, V1, V2, A0..A8, I0..I2.
struct CKTriPatchWeights
{
    float w[15];
};
CKTriPatchWeights CKComputeTriPatchWeights(float a, float b, float c);

// The auxiliary points of side k (corner P to corner Q, handles A next to P
// and B next to Q): P + 0.75 (A - P), (A + B) 0.5, B + 0.25 (Q - B).
void CKComputeTriSideAux(QxVector out[3], const QxVector& p, const QxVector& a, const QxVector& b, const QxVector& q);

// The point of a triangle at (a, b, c): the weights times V0, V1, V2, A0..A8,
// I0..I2, summed in that order.
QxVector CKEvaluateTriPatch(const QxVector corners[3], const QxVector aux[9], const QxVector interiors[3], float a,
                            float b, float c);

// A point of side k (0: corners 0-1, 1: corners 1-2, 2: corners 2-0) from the
// side's two corners and three auxiliary points only, with the weights of
// the side's first corner (first) and second corner (second); the same terms
// as CKEvaluateTriPatch with the third weight 0.
QxVector CKEvaluateTriSide(int side, const QxVector corners[3], const QxVector aux[9], float first, float second);

// The cubic Bernstein weights (1-x)^3, 3x(1-x)^2, 3x^2(1-x), x^3.
void CKCubicWeights(float x, float out[4]);

// The point of a quad at (s, t): the sum over rows j (by t), then columns i
// (by s), of Bi(s) Bj(t) net[j][i].
QxVector CKEvaluateQuadPatch(const QxVector net[4][4], float s, float t);

// A cubic curve at x: the sum of Bk(x) p[k] (a side of a quad: its control
// points in the net's order, the result equal to CKEvaluateQuadPatch there).
QxVector CKEvaluateCubic(const QxVector p[4], float x);

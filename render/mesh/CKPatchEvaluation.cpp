#include "render/mesh/CKPatchEvaluation.h"

namespace {

// sum += w * p, component by component.
inline void Accumulate(QxVector& sum, float w, const QxVector& p)
{
    sum.x += w * p.x;
    sum.y += w * p.y;
    sum.z += w * p.z;
}

// The terms of a side (indices into CKTriPatchWeights: 0-2 the corners,
// 3-11 the auxiliary points), in the order the whole patch sums them.
constexpr int kTriSideTerms[3][5] = {
    {0, 1, 3, 4, 5},
    {1, 2, 6, 7, 8},
    {0, 2, 9, 10, 11},
};

} // namespace

CKTriPatchWeights CKComputeTriPatchWeights(float a, float b, float c)
{
    const float a2 = a * a, a3 = a2 * a, a4 = a3 * a;
    const float b2 = b * b, b3 = b2 * b, b4 = b3 * b;
    const float c2 = c * c, c3 = c2 * c, c4 = c3 * c;
    CKTriPatchWeights r;
    r.w[0] = c4;
    r.w[1] = a4;
    r.w[2] = b4;
    // Side 0, from corner 0 to corner 1.
    r.w[3] = 4.0f * a * c3;
    r.w[4] = 6.0f * a2 * c2;
    r.w[5] = 4.0f * a3 * c;
    // Side 1, from corner 1 to corner 2.
    r.w[6] = 4.0f * a3 * b;
    r.w[7] = 6.0f * a2 * b2;
    r.w[8] = 4.0f * a * b3;
    // Side 2, from corner 2 to corner 0.
    r.w[9] = 4.0f * b3 * c;
    r.w[10] = 6.0f * b2 * c2;
    r.w[11] = 4.0f * b * c3;
    r.w[12] = 12.0f * a * b * c2;
    r.w[13] = 12.0f * a2 * b * c;
    r.w[14] = 12.0f * a * b2 * c;
    return r;
}

void CKComputeTriSideAux(QxVector out[3], const QxVector& p, const QxVector& a, const QxVector& b, const QxVector& q)
{
    out[0] = p + (a - p) * 0.75f;
    out[1] = (a + b) * 0.5f;
    out[2] = b + (q - b) * 0.25f;
}

QxVector CKEvaluateTriPatch(const QxVector corners[3], const QxVector aux[9], const QxVector interiors[3], float a,
                            float b, float c)
{
    const CKTriPatchWeights w = CKComputeTriPatchWeights(a, b, c);
    QxVector sum(0.0f, 0.0f, 0.0f);
    for (int k = 0; k < 3; ++k)
        Accumulate(sum, w.w[k], corners[k]);
    for (int k = 0; k < 9; ++k)
        Accumulate(sum, w.w[3 + k], aux[k]);
    for (int k = 0; k < 3; ++k)
        Accumulate(sum, w.w[12 + k], interiors[k]);
    return sum;
}

QxVector CKEvaluateTriSide(int side, const QxVector corners[3], const QxVector aux[9], float first, float second)
{
    // Side k's first corner is corner k; its weight is c, a or b.
    float a = 0.0f, b = 0.0f, c = 0.0f;
    float* weight[3] = {&c, &a, &b};
    *weight[side] = first;
    *weight[(side + 1) % 3] = second;
    const CKTriPatchWeights w = CKComputeTriPatchWeights(a, b, c);
    QxVector sum(0.0f, 0.0f, 0.0f);
    for (int term : kTriSideTerms[side])
        Accumulate(sum, w.w[term], term < 3 ? corners[term] : aux[term - 3]);
    return sum;
}

void CKCubicWeights(float x, float out[4])
{
    const float o = 1.0f - x;
    const float o2 = o * o;
    out[0] = o2 * o;
    out[1] = 3.0f * x * o2;
    out[2] = 3.0f * x * x * o;
    out[3] = x * x * x;
}

QxVector CKEvaluateQuadPatch(const QxVector net[4][4], float s, float t)
{
    float bs[4], bt[4];
    CKCubicWeights(s, bs);
    CKCubicWeights(t, bt);
    QxVector sum(0.0f, 0.0f, 0.0f);
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i)
            Accumulate(sum, bs[i] * bt[j], net[j][i]);
    return sum;
}

QxVector CKEvaluateCubic(const QxVector p[4], float x)
{
    float w[4];
    CKCubicWeights(x, w);
    QxVector sum(0.0f, 0.0f, 0.0f);
    for (int k = 0; k < 4; ++k)
        Accumulate(sum, w[k], p[k]);
    return sum;
}

#pragma once

#include "system/math/QxQuaternion.h"

// The curve formulas the key controllers share, as pure functions.

// Weights of a Kochanek-Bartels key's tangents over the differences to its
// neighbours (dPrev = P(k) - P(k-1), dNext = P(k+1) - P(k)):
// out = OutPrev·dPrev + OutNext·dNext leaves the key, in = InPrev·dPrev +
// InNext·dNext arrives at it. Tension, continuity and bias 0 give the
// Catmull-Rom tangent (dPrev + dNext) / 2 on both sides.
struct CKTCBWeights
{
    float OutPrev, OutNext, InPrev, InNext;
};
inline CKTCBWeights CKTCBTangentWeights(float tension, float continuity, float bias)
{
    const float t = 1.0f - tension;
    return {t * (1.0f + continuity) * (1.0f + bias) * 0.5f, t * (1.0f - continuity) * (1.0f - bias) * 0.5f,
            t * (1.0f - continuity) * (1.0f + bias) * 0.5f, t * (1.0f + continuity) * (1.0f - bias) * 0.5f};
}

// The eased parameter of a segment: u in [0, 1], easeOut of the key that
// starts it and easeIn of the key that ends it, each on the scale 0 .. 50
// (clamped). The curve accelerates at a constant rate over the eased parts
// and moves at a constant speed between them; together they are scaled
// down to the whole segment.
float CKEaseTime(float u, float easeOut, float easeIn);

// Cubic Hermite basis at u: h[0] start value, h[1] start derivative, h[2]
// end value, h[3] end derivative.
inline void CKHermiteBasis(float u, float h[4])
{
    const float u2 = u * u;
    const float u3 = u2 * u;
    h[0] = 2.0f * u3 - 3.0f * u2 + 1.0f;
    h[1] = u3 - 2.0f * u2 + u;
    h[2] = -2.0f * u3 + 3.0f * u2;
    h[3] = u3 - u2;
}

// ln(conj(a)·b) along the shorter arc (the product is negated when its
// scalar part is negative).
QxQuaternion CKQuaternionLogDifference(const QxQuaternion& a, const QxQuaternion& b);

// The squad control points of a rotation key q with the log differences to
// its neighbours (lPrev = ln(conj(q(k-1))·q), lNext = ln(conj(q)·q(k+1))):
// incoming = q·exp((lPrev - in) / 2), outgoing = q·exp((out - lNext) / 2),
// in and out being the Kochanek-Bartels tangents of the weights.
void CKTCBRotationControls(const QxQuaternion& q, const QxQuaternion& lPrev, const QxQuaternion& lNext,
                           const CKTCBWeights& weights, QxQuaternion& incoming, QxQuaternion& outgoing);

#include "render/animation/CKInterpolation.h"

#include <algorithm>

float CKEaseTime(float u, float easeOut, float easeIn)
{
    // A NaN ease counts as none.
    float a = easeOut > 0.0f ? std::min(easeOut / 50.0f, 1.0f) : 0.0f;
    float b = easeIn > 0.0f ? std::min(easeIn / 50.0f, 1.0f) : 0.0f;
    const float sum = a + b;
    if (sum <= 0.0f)
        return u;
    if (sum > 1.0f) {
        a /= sum;
        b /= sum;
    }
    const float k = 1.0f / (2.0f - a - b);
    if (u < a)
        return k / a * u * u;
    if (u < 1.0f - b)
        return k * (2.0f * u - a);
    const float v = 1.0f - u;
    return 1.0f - k / b * v * v;
}

QxQuaternion CKQuaternionLogDifference(const QxQuaternion& a, const QxQuaternion& b)
{
    QxQuaternion d;
    QxQuaternionDivide(d, b, a);
    if (d.w < 0.0f)
        d.Set(-d.x, -d.y, -d.z, -d.w);
    QxQuaternion l;
    return QxQuaternionLn(l, d);
}

void CKTCBRotationControls(const QxQuaternion& q, const QxQuaternion& lPrev, const QxQuaternion& lNext,
                           const CKTCBWeights& w, QxQuaternion& incoming, QxQuaternion& outgoing)
{
    const QxQuaternion in(w.InPrev * lPrev.x + w.InNext * lNext.x, w.InPrev * lPrev.y + w.InNext * lNext.y,
                          w.InPrev * lPrev.z + w.InNext * lNext.z, 0.0f);
    const QxQuaternion out(w.OutPrev * lPrev.x + w.OutNext * lNext.x, w.OutPrev * lPrev.y + w.OutNext * lNext.y,
                           w.OutPrev * lPrev.z + w.OutNext * lNext.z, 0.0f);
    QxQuaternion e;
    QxQuaternionExp(e, QxQuaternion((lPrev.x - in.x) * 0.5f, (lPrev.y - in.y) * 0.5f, (lPrev.z - in.z) * 0.5f, 0.0f));
    QxMultiplyQuaternion(incoming, q, e);
    QxQuaternionExp(e,
                    QxQuaternion((out.x - lNext.x) * 0.5f, (out.y - lNext.y) * 0.5f, (out.z - lNext.z) * 0.5f, 0.0f));
    QxMultiplyQuaternion(outgoing, q, e);
}

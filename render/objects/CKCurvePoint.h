#pragma once

#include "render/objects/RCK3dEntity.h"

class CKCurve;

// A control point of a curve (class 36): a 3D entity whose position in its
// curve's frame shapes the path, with the tension, continuity and bias of
// computed tangents or tangents of the user's, and a flag that makes the
// segment leaving it straight. Every change that reaches the path marks the
// curve out of date.
class CKCurvePoint : public CKClass<CKCurvePoint, RCK3dEntity, CKCID_CURVEPOINT>
{
public:
    using CKClass::CKClass;

    // The owning curve; null when none (or when it was destroyed).
    virtual CKCurve* GetCurve() = 0;
    virtual float GetBias() = 0;
    virtual void SetBias(float bias) = 0;
    virtual float GetTension() = 0;
    virtual void SetTension(float tension) = 0;
    virtual float GetContinuity() = 0;
    virtual void SetContinuity(float continuity) = 0;
    virtual int IsLinear() = 0;
    virtual void SetLinear(int linear) = 0;
    // use 0: the stored tangents are the user's and the curve keeps them.
    virtual void UseTCB(int use) = 0;
    virtual CKBOOL IsTCB() = 0;
    // Arc length from the curve's first point, as the curve last computed it.
    virtual float GetLength() = 0;
    // A null pointer is skipped.
    virtual void GetTangents(QxVector* in, QxVector* out) = 0;
    virtual void SetTangents(const QxVector* in, const QxVector* out) = 0;
    // Marks the curve out of date (once: an out-of-date curve is left alone).
    virtual void NotifyUpdate() = 0;
};

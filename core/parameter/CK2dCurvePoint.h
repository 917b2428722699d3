#pragma once

#include "includes/CKTypes.h"
#include "system/math/Qx2DVector.h"

class CK2dCurve;
class CKStateChunk;

// Bits of a control point's flags.
enum : CKDWORD
{
    CK2DCURVEPOINT_USERTANGENTS = 0x1, // the stored tangents are used, never recomputed
    CK2DCURVEPOINT_LINEAR = 0x2,       // the segment to the next point is straight
};

// One control point of a 2D curve. Its tangents come from tension,
// continuity and bias (Kochanek-Bartels) unless the user gives them; the
// curve computes them, the lengths and the fitted position in its Update.
class CK2dCurvePoint
{
public:
    CK2dCurve* GetCurve() const { return m_Curve; }

    const Qx2DVector& GetPosition() const { return m_Position; }
    // Both run the owning curve's Update.
    void SetPosition(const Qx2DVector& position);
    void SetLinear(CKBOOL linear);
    CKBOOL IsLinear() const { return (m_Flags & CK2DCURVEPOINT_LINEAR) != 0; }

    // These only store; run the curve's Update afterwards.
    float GetTension() const { return m_Tension; }
    float GetContinuity() const { return m_Continuity; }
    float GetBias() const { return m_Bias; }
    void SetTCB(float tension, float continuity, float bias);
    CKBOOL HasUserTangents() const { return (m_Flags & CK2DCURVEPOINT_USERTANGENTS) != 0; }
    void SetUserTangents(CKBOOL on);
    const Qx2DVector& GetInTangent() const { return m_InTangent; }
    const Qx2DVector& GetOutTangent() const { return m_OutTangent; }
    void SetTangents(const Qx2DVector& in, const Qx2DVector& out);

    // Computed by the curve: the arc length from the first point to this one,
    // and the position moved towards its neighbours by the fitting factor.
    float GetLength() const { return m_Length; }
    const Qx2DVector& GetFittedPosition() const { return m_FittedPosition; }
    CKDWORD GetFlags() const { return m_Flags; }

    // Runs the owning curve's Update; nothing without owner.
    void NotifyUpdate();
    // The older stored form, one sub-chunk per point: the flags, position,
    // tension, continuity, bias and tangents. Leaves the curve's Update to
    // the caller, which reads every point first. Nothing for null.
    void Read(CKStateChunk* chunk);

private:
    friend class CK2dCurve;

    CK2dCurve* m_Curve = nullptr;
    float m_Tension = 0.0f;
    float m_Continuity = 0.0f;
    float m_Bias = 0.0f;
    float m_Length = 0.0f;
    Qx2DVector m_Position;
    Qx2DVector m_InTangent;
    Qx2DVector m_OutTangent;
    Qx2DVector m_FittedPosition;
    CKDWORD m_Flags = 0;
};

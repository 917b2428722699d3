#pragma once

#include "render/objects/RCK3dEntity.h"
#include "system/math/QxColor.h"

class CKCurvePoint;

// A path through control points (class 43): a cubic Hermite spline with
// Kochanek-Bartels or user tangents and optional straight segments, its arc
// length, the point at any fraction of it and a line mesh that draws it.
// Object flag 0x400 says the computed values are up to date.
class CKCurve : public CKClass<CKCurve, RCK3dEntity, CKCID_CURVE>
{
public:
    using CKClass::CKClass;

    virtual float GetLength() = 0;
    virtual void Open() = 0;
    virtual void Close() = 0;
    virtual int IsOpen() = 0;
    // The point at fraction s of the length (clamped on an open curve,
    // wrapped on a closed one), world coordinates; the unit tangent when
    // asked for. -1 with fewer than 2 points or a null position.
    virtual CKERROR GetPos(float s, QxVector* position, QxVector* tangent = nullptr) = 0;
    // The same in the curve's own frame.
    virtual CKERROR GetLocalPos(float s, QxVector* position, QxVector* tangent = nullptr) = 0;
    virtual CKERROR GetTangentsByPoint(CKCurvePoint* point, QxVector* in, QxVector* out) = 0;
    // -1 for an index out of range.
    virtual CKERROR GetTangents(int index, QxVector* in, QxVector* out) = 0;
    virtual CKERROR SetTangentsByPoint(CKCurvePoint* point, const QxVector* in, const QxVector* out) = 0;
    // Derives the point's bias from the tangents; the tangents are not kept.
    virtual CKERROR SetTangents(int index, const QxVector* in, const QxVector* out) = 0;
    virtual void SetFittingCoeff(float fit) = 0;
    virtual float GetFittingCoeff() = 0;
    virtual CKERROR RemoveControlPoint(CKCurvePoint* point, CKBOOL removeAll = FALSE) = 0;
    // Before before (appended when before is null or absent); -17 when the
    // point is already in the curve.
    virtual CKERROR InsertControlPoint(CKCurvePoint* before, CKCurvePoint* point) = 0;
    virtual CKERROR AddControlPoint(CKCurvePoint* point) = 0;
    virtual int GetControlPointCount() = 0;
    virtual CKCurvePoint* GetControlPoint(int index) = 0;
    // Empties the list; the points keep their link.
    virtual CKERROR RemoveAllControlPoints() = 0;
    virtual CKERROR SetStepCount(int steps) = 0;
    virtual int GetStepCount() = 0;
    virtual CKERROR CreateLineMesh() = 0;
    virtual CKERROR UpdateMesh() = 0;
    virtual QxColor GetColor() = 0;
    virtual CKERROR SetColor(const QxColor& color) = 0;
    virtual void Update() = 0;
};

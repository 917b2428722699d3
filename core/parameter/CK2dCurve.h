#pragma once

#include "core/parameter/CK2dCurvePoint.h"
#include "includes/XArray.h"

// A function curve in the unit square mapping a progression x in 0..1 to a
// value y in 0..1: control points sorted by x, joined by cubic Hermite
// segments or straight ones. The curve owns its points.
class CK2dCurve
{
public:
    // The default curve: points (0, 0) and (1, 1), fitting factor 0.
    CK2dCurve();
    // Copies the points, the length and the fitting factor.
    CK2dCurve(const CK2dCurve& other);
    CK2dCurve& operator=(const CK2dCurve& other);

    int GetControlPointCount() const { return m_ControlPoints.Size(); }
    // Null for an index outside the curve.
    CK2dCurvePoint* GetControlPoint(int index);
    const CK2dCurvePoint* GetControlPoint(int index) const;
    // Appends a point at the position, then updates.
    void AddControlPoint(const Qx2DVector& position);
    // Sets the number of points; new points are zero.
    void Resize(int count);
    // Sorts the points by x (a point whose x is not a number goes last),
    // recomputes tangents, fitted positions and lengths.
    void Update();

    float GetLength() const { return m_Length; }
    float GetFittingCoeff() const { return m_FittingCoeff; }
    // Only stores; run Update afterwards.
    void SetFittingCoeff(float fit) { m_FittingCoeff = fit; }

    // y for x (both clamped to 0..1); 0 with fewer than two points and to
    // the right of the last point.
    float Evaluate(float x) const;
    // 0 for a negative index, the last index past the end.
    int ClampIndex(int index) const;

    // A new chunk holding the curve.
    CKStateChunk* Dump() const;
    // Reads the current stored form or the older one, then updates. -1 for
    // a null chunk; the chunk's read error when its data ended early (the
    // points read until then are kept); else 0.
    CKERROR Read(CKStateChunk* chunk);

private:
    void ComputeTangents();
    void ComputeLengths();

    XArray<CK2dCurvePoint> m_ControlPoints;
    float m_Length = 0.0f;
    float m_FittingCoeff = 0.0f;
};

#pragma once

#include <vector>

#include "platform/host/MaxTypes.h"
#include "platform/host/Object.h"
#include "platform/host/Point3.h"

// Knot types and line types of a spline.
enum
{
    KTYPE_AUTO = 0,
    KTYPE_CORNER = 1,
    KTYPE_BEZIER = 2,
    KTYPE_BEZIER_CORNER = 3
};
enum
{
    LTYPE_CURVE = 0,
    LTYPE_LINE = 1
};
constexpr DWORD SPLINE_CLOSED = 1;

// One knot: its point and its two handles (absolute positions).
class SplineKnot
{
public:
    SplineKnot() = default;
    SplineKnot(int ktype, int ltype, const Point3& point, const Point3& in, const Point3& out)
        : m_KType(ktype), m_LType(ltype), m_Point(point), m_In(in), m_Out(out)
    {}
    int Ktype() const { return m_KType; }
    int Ltype() const { return m_LType; }
    Point3 Knot() const { return m_Point; }
    Point3 InVec() const { return m_In; }
    Point3 OutVec() const { return m_Out; }

private:
    int m_KType = KTYPE_AUTO;
    int m_LType = LTYPE_CURVE;
    Point3 m_Point, m_In, m_Out;
};

// Stands in for the host's Spline3D: knots in order and a closed flag. An
// index out of range reads a default knot.
class Spline3D
{
public:
    int KnotCount() const { return int(m_Knots.size()); }
    SplineKnot GetKnot(int i) const;
    void AddKnot(const SplineKnot& knot) { m_Knots.push_back(knot); }
    int GetKnotType(int i) const { return GetKnot(i).Ktype(); }
    int GetLineType(int i) const { return GetKnot(i).Ltype(); }
    Point3 GetKnotPoint(int i) const { return GetKnot(i).Knot(); }
    // The handles relative to their knot's point.
    Point3 GetRelInVec(int i) const { return GetKnot(i).InVec() - GetKnot(i).Knot(); }
    Point3 GetRelOutVec(int i) const { return GetKnot(i).OutVec() - GetKnot(i).Knot(); }
    DWORD Flags() const { return m_Flags; }
    int Closed() const { return (m_Flags & SPLINE_CLOSED) ? 1 : 0; }
    void SetClosed(bool closed) { m_Flags = closed ? (m_Flags | SPLINE_CLOSED) : (m_Flags & ~SPLINE_CLOSED); }

private:
    std::vector<SplineKnot> m_Knots;
    DWORD m_Flags = 0;
};

// Stands in for the host's BezierShape: a list of splines (null for an
// index out of range).
class BezierShape
{
public:
    int SplineCount() const { return int(m_Splines.size()); }
    Spline3D* GetSpline(int i);
    const Spline3D* GetSpline(int i) const;
    Spline3D* NewSpline();

private:
    std::vector<Spline3D> m_Splines;
};

class ShapeObject : public Object
{
public:
    using Object::Object;
};

constexpr Class_ID SPLINESHAPE_CLASS_ID(0x0A, 0);
#define splineShapeClassID SPLINESHAPE_CLASS_ID

// Stands in for the host's shapes, all held as splines: an editable spline
// (the spline shape class) is itself; a shape of another class (a circle, a
// line...) converts into a temporary spline-shape copy that its caller
// deletes (DeleteMe).
class SplineShape : public ShapeObject
{
public:
    SplineShape();
    SplineShape(Class_ID classId, std::string className);

    BezierShape shape;

    int CanConvertToType(Class_ID classId) override;
    Object* ConvertToType(TimeValue t, Class_ID classId) override;
};

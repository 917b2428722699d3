#include "platform/host/SplineShape.h"

#include <memory>

SplineKnot Spline3D::GetKnot(int i) const
{
    if (i < 0 || i >= KnotCount())
        return SplineKnot();
    return m_Knots[size_t(i)];
}

Spline3D* BezierShape::GetSpline(int i)
{
    if (i < 0 || i >= SplineCount())
        return nullptr;
    return &m_Splines[size_t(i)];
}

const Spline3D* BezierShape::GetSpline(int i) const
{
    if (i < 0 || i >= SplineCount())
        return nullptr;
    return &m_Splines[size_t(i)];
}

Spline3D* BezierShape::NewSpline()
{
    m_Splines.emplace_back();
    return &m_Splines.back();
}

SplineShape::SplineShape() : SplineShape(SPLINESHAPE_CLASS_ID, "Editable Spline") {}

SplineShape::SplineShape(Class_ID classId, std::string className)
    : ShapeObject(SHAPE_CLASS_ID, classId, std::move(className))
{}

int SplineShape::CanConvertToType(Class_ID classId)
{
    return classId == SPLINESHAPE_CLASS_ID || classId == ClassID() ? 1 : 0;
}

Object* SplineShape::ConvertToType(TimeValue, Class_ID classId)
{
    if (classId == ClassID())
        return this;
    if (classId != SPLINESHAPE_CLASS_ID)
        return nullptr;
    auto copy = std::make_unique<SplineShape>();
    copy->shape = shape;
    copy->MarkTemporary();
    return copy.release();
}

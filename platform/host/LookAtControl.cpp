#include "platform/host/LookAtControl.h"

#include <cmath>

#include "platform/host/INode.h"

LookAtControl::LookAtControl(Control* position, INode* target, float roll)
    : Control(CTRL_MATRIX3_CLASS_ID, LOOKAT_CONTROL_CLASS_ID, "LookAt"), m_Position(position), m_Target(target),
      m_Roll(roll)
{}

void LookAtControl::GetValue(TimeValue t, void* val, Interval& valid, GetSetMethod method)
{
    Matrix3& m = *static_cast<Matrix3*>(val);
    const Matrix3 parent = method == CTRL_RELATIVE ? m : Matrix3();
    Point3 local;
    if (m_Position)
        m_Position->GetValue(t, &local, valid);
    const Point3 where = local * parent;
    m = TransMatrix(local) * parent;
    // Targets that look at targets nest evaluations: a chain longer than
    // kMaxNesting is cut, as is a loop.
    static int nesting = 0;
    if (!m_Target || m_Busy || nesting >= kMaxNesting)
        return;
    m_Busy = true;
    ++nesting;
    const Point3 target = m_Target->GetNodeTM(t, &valid).GetTrans();
    --nesting;
    m_Busy = false;
    const Point3 z = Normalize(where - target);
    if (z.LengthSquared() == 0.0f)
        return;
    // Up is the world's +Z unless the view runs along it.
    Point3 up(0.0f, 0.0f, 1.0f);
    if (std::fabs(DotProd(z, up)) > 0.9999f)
        up = Point3(0.0f, 1.0f, 0.0f);
    const Point3 x = Normalize(CrossProd(up, z));
    const Point3 y = CrossProd(z, x);
    m = RotateZMatrix(m_Roll) * Matrix3(x, y, z, where);
}

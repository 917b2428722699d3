#include "platform/host/Control.h"

PRSControl::PRSControl(Control* position, Control* rotation, Control* scale)
    : Control(CTRL_MATRIX3_CLASS_ID, PRS_CONTROL_CLASS_ID, "Position/Rotation/Scale"), m_Position(position),
      m_Rotation(rotation), m_Scale(scale)
{}

Matrix3 PRSControl::LocalTM(TimeValue t, Interval& valid) const
{
    Matrix3 local;
    if (m_Scale) {
        ScaleValue scale;
        m_Scale->GetValue(t, &scale, valid);
        // Scaling along the axes of q: rotate into them, scale, rotate back.
        Matrix3 axes;
        scale.q.MakeMatrix(axes);
        local = Inverse(axes) * ScaleMatrix(scale.s) * axes;
    }
    if (m_Rotation) {
        Quat rotation;
        m_Rotation->GetValue(t, &rotation, valid);
        Matrix3 r;
        rotation.MakeMatrix(r);
        local = local * r;
    }
    if (m_Position) {
        Point3 position;
        m_Position->GetValue(t, &position, valid);
        local = local * TransMatrix(position);
    }
    return local;
}

void PRSControl::GetValue(TimeValue t, void* val, Interval& valid, GetSetMethod method)
{
    Matrix3& m = *static_cast<Matrix3*>(val);
    const Matrix3 local = LocalTM(t, valid);
    m = method == CTRL_RELATIVE ? local * m : local;
}

#include "platform/host/Control.h"

PRSControl::PRSControl(Control* position, Control* rotation, Control* scale, Class_ID classId, std::string className)
    : Control(CTRL_MATRIX3_CLASS_ID, classId, std::move(className)), m_Position(position), m_Rotation(rotation),
      m_Scale(scale)
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

MatrixControl::MatrixControl(const Matrix3& local)
    : Control(CTRL_MATRIX3_CLASS_ID, MATRIX_CONTROL_CLASS_ID, "Fixed Transform"), m_Local(local)
{}

void MatrixControl::GetValue(TimeValue, void* val, Interval&, GetSetMethod method)
{
    Matrix3& m = *static_cast<Matrix3*>(val);
    m = method == CTRL_RELATIVE ? m_Local * m : m_Local;
}

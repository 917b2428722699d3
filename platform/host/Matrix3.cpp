#include "platform/host/Matrix3.h"

#include "platform/host/Quat.h"

Matrix3::Matrix3()
{
    IdentityMatrix();
}

Matrix3::Matrix3(const Point3& row0, const Point3& row1, const Point3& row2, const Point3& row3)
    : m_Rows{row0, row1, row2, row3}
{}

void Matrix3::IdentityMatrix()
{
    m_Rows[0] = Point3(1.0f, 0.0f, 0.0f);
    m_Rows[1] = Point3(0.0f, 1.0f, 0.0f);
    m_Rows[2] = Point3(0.0f, 0.0f, 1.0f);
    m_Rows[3] = Point3();
}

bool Matrix3::IsIdentity() const
{
    return *this == Matrix3();
}

Matrix3 Matrix3::operator*(const Matrix3& m) const
{
    Matrix3 r;
    for (int i = 0; i < 4; ++i) {
        const Point3& a = m_Rows[i];
        Point3 row = m.m_Rows[0] * a.x + m.m_Rows[1] * a.y + m.m_Rows[2] * a.z;
        if (i == 3)
            row += m.m_Rows[3];
        r.m_Rows[i] = row;
    }
    return r;
}

bool Matrix3::operator==(const Matrix3& m) const
{
    for (int i = 0; i < 4; ++i)
        if (m_Rows[i] != m.m_Rows[i])
            return false;
    return true;
}

float Matrix3::Determinant() const
{
    return DotProd(CrossProd(m_Rows[0], m_Rows[1]), m_Rows[2]);
}

Point3 operator*(const Point3& p, const Matrix3& m)
{
    return m[0] * p.x + m[1] * p.y + m[2] * p.z + m[3];
}

Point3 VectorTransform(const Matrix3& m, const Point3& v)
{
    return m[0] * v.x + m[1] * v.y + m[2] * v.z;
}

Matrix3 Inverse(const Matrix3& m)
{
    const float det = m.Determinant();
    if (det == 0.0f || !std::isfinite(det))
        return Matrix3();
    // With rows r0, r1, r2, the inverse's columns are (r1 x r2, r2 x r0,
    // r0 x r1) / det.
    const Point3 c0 = CrossProd(m[1], m[2]) / det;
    const Point3 c1 = CrossProd(m[2], m[0]) / det;
    const Point3 c2 = CrossProd(m[0], m[1]) / det;
    Matrix3 r(Point3(c0.x, c1.x, c2.x), Point3(c0.y, c1.y, c2.y), Point3(c0.z, c1.z, c2.z), Point3());
    r.SetTrans(-VectorTransform(r, m.GetTrans()));
    return r;
}

Matrix3 TransMatrix(const Point3& p)
{
    Matrix3 r;
    r.SetTrans(p);
    return r;
}

Matrix3 ScaleMatrix(const Point3& s)
{
    return Matrix3(Point3(s.x, 0.0f, 0.0f), Point3(0.0f, s.y, 0.0f), Point3(0.0f, 0.0f, s.z), Point3());
}

static Matrix3 RotationMatrix(const Point3& axis, float angle)
{
    Matrix3 r;
    QFromAngAxis(angle, axis).MakeMatrix(r);
    return r;
}

Matrix3 RotateXMatrix(float angle)
{
    return RotationMatrix(Point3(1.0f, 0.0f, 0.0f), angle);
}

Matrix3 RotateYMatrix(float angle)
{
    return RotationMatrix(Point3(0.0f, 1.0f, 0.0f), angle);
}

Matrix3 RotateZMatrix(float angle)
{
    return RotationMatrix(Point3(0.0f, 0.0f, 1.0f), angle);
}

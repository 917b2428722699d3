#pragma once

#include "platform/host/Point3.h"

// Stands in for the host's Matrix3: an affine transform stored as four rows
// of three floats, rows 0 to 2 the axes and row 3 the translation. Points
// are row vectors (p' = p * M), so A * B applies A first, then B.
class Matrix3
{
public:
    // The identity.
    Matrix3();
    Matrix3(const Point3& row0, const Point3& row1, const Point3& row2, const Point3& row3);

    void IdentityMatrix();
    bool IsIdentity() const;
    const Point3& GetRow(int i) const { return m_Rows[i]; }
    void SetRow(int i, const Point3& p) { m_Rows[i] = p; }
    Point3& operator[](int i) { return m_Rows[i]; }
    const Point3& operator[](int i) const { return m_Rows[i]; }
    const Point3& GetTrans() const { return m_Rows[3]; }
    void SetTrans(const Point3& p) { m_Rows[3] = p; }
    void NoTrans() { m_Rows[3] = Point3(); }

    Matrix3 operator*(const Matrix3& m) const;
    Matrix3& operator*=(const Matrix3& m) { return *this = *this * m; }
    bool operator==(const Matrix3& m) const;
    bool operator!=(const Matrix3& m) const { return !(*this == m); }

    // The determinant of the 3x3 part (the axes).
    float Determinant() const;
    // True when the axes form a left-handed (mirrored) frame.
    bool Parity() const { return Determinant() < 0.0f; }

private:
    Point3 m_Rows[4];
};

// The point transformed by the matrix (axes and translation).
Point3 operator*(const Point3& p, const Matrix3& m);
// The vector transformed by the axes only.
Point3 VectorTransform(const Matrix3& m, const Point3& v);
// The inverse; a matrix whose axes have no inverse (determinant 0) gives the
// identity.
Matrix3 Inverse(const Matrix3& m);

Matrix3 TransMatrix(const Point3& p);
Matrix3 ScaleMatrix(const Point3& s);
// Rotations by the angle in radians about one axis, in the host's sense: the
// same as the matrix of the quaternion of that angle (see Quat.h).
Matrix3 RotateXMatrix(float angle);
Matrix3 RotateYMatrix(float angle);
Matrix3 RotateZMatrix(float angle);

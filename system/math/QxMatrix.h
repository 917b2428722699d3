#pragma once

#include "includes/CKTypes.h"
#include "system/math/Qx2DVector.h"
#include "system/math/QxVector.h"
#include "system/math/QxVector4.h"

// A 4x4 matrix of 32-bit floats, row-major, used with row vectors: a point p
// transforms as p' = p x M, p'.j = p.x·m[0][j] + p.y·m[1][j] + p.z·m[2][j] + m[3][j].
// Rows 0, 1, 2 are the images of the x, y, z axes, row 3 the translation; an
// affine matrix has column 3 = (0, 0, 0, 1). Default-constructed to zero.
class QxMatrix
{
public:
    constexpr QxMatrix() : m_Data{} {}
    constexpr QxMatrix(float m00, float m01, float m02, float m03, float m10, float m11, float m12, float m13,
                       float m20, float m21, float m22, float m23, float m30, float m31, float m32, float m33)
        : m_Data{{m00, m01, m02, m03}, {m10, m11, m12, m13}, {m20, m21, m22, m23}, {m30, m31, m32, m33}}
    {}

    // Row i (0 .. 3) as four floats: matrix[row][column].
    float* operator[](int i) { return m_Data[i]; }
    const float* operator[](int i) const { return m_Data[i]; }

    // The process-wide identity matrix (a compile-time constant).
    static const QxMatrix& Identity();
    // Copies the identity into this matrix.
    void SetIdentity();
    // Sets every element to 0.
    void Clear();

    // Determinant of the 3x3 part:
    // m00(m11·m22 - m21·m12) - m01(m10·m22 - m20·m12) + m02(m10·m21 - m20·m11).
    float GetDeterminant() const;

    // Projection matrices; every element not named is 0.
    // m00 = cos(fov/2) / sin(fov/2); m11 = m00 x aspect; m22 = far / (far - near);
    // m32 = -near x m22; m23 = 1.
    void Perspective(float fov, float aspect, float nearPlane, float farPlane);
    // m00 = 2·near / (right - left); m11 = 2·near / (top - bottom);
    // m20 = -(right + left) / (right - left); m21 = -(top + bottom) / (top - bottom);
    // m22 = far / (far - near); m32 = -near x m22; m23 = 1.
    void PerspectiveRect(float left, float right, float top, float bottom, float nearPlane, float farPlane);
    // m00 = zoom; m11 = zoom x aspect; m22 = 1 / (far - near); m32 = -near / (far - near); m33 = 1.
    void Orthographic(float zoom, float aspect, float nearPlane, float farPlane);

private:
    float m_Data[4][4];
};

static_assert(sizeof(QxMatrix) == 64, "QxMatrix is sixteen floats");

inline constexpr QxMatrix QX_IDENTITY_MATRIX(1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f,
                                             0.0f, 0.0f, 0.0f, 1.0f);

inline const QxMatrix& QxMatrix::Identity()
{
    return QX_IDENTITY_MATRIX;
}
inline void QxMatrix::SetIdentity()
{
    *this = QX_IDENTITY_MATRIX;
}
inline void QxMatrix::Clear()
{
    *this = QxMatrix();
}

bool operator==(const QxMatrix& a, const QxMatrix& b);
inline bool operator!=(const QxMatrix& a, const QxMatrix& b)
{
    return !(a == b);
}

// result[i][j] = m[j][i], all sixteen. result may be m.
void QxTransposeMatrix(QxMatrix& result, const QxMatrix& m);

// Affine product: a point is transformed by b first, then by a:
// result[i][j] = b[i][0]·a[0][j] + b[i][1]·a[1][j] + b[i][2]·a[2][j] (+ a[3][j] for
// row 3), in that order; column 3 of the result is (0, 0, 0, 1). Column 3 of
// the operands is not read. result may be a or b.
void QxMultiplyMatrix(QxMatrix& result, const QxMatrix& a, const QxMatrix& b);
// Full 4x4 product, same operand order: result[i][j] = Σk b[i][k]·a[k][j], k = 0 .. 3.
// result may be a or b.
void QxMultiplyMatrix4(QxMatrix& result, const QxMatrix& a, const QxMatrix& b);

// Inverse of an affine matrix (3x3 part by its adjugate, translation
// inverted). Returns FALSE and leaves result untouched when the matrix is
// singular: the determinant is 0 or negligible against its own terms
// (|det / (positive terms - negative terms)| < 1e-15). result may be m.
CKBOOL QxInverseMatrix(QxMatrix& result, const QxMatrix& m);
// General 4x4 inverse by cofactors (projection matrices). Returns FALSE and
// leaves result untouched when the determinant is 0. result may be m.
CKBOOL QxInverseMatrix44(QxMatrix& result, const QxMatrix& m);

// result = (p, 1) x m, first three components. result may be p.
void QxMultiplyMatrixVector(QxVector& result, const QxMatrix& m, const QxVector& p);
// result = v x the 3x3 part (a direction: no translation). result may be v.
void QxRotateVector(QxVector& result, const QxMatrix& m, const QxVector& v);
// result = h x m over all four columns. result may be h.
void QxMultiplyMatrixVector4(QxVector4& result, const QxMatrix& m, const QxVector4& h);
// result = (p, 1) x m over all four columns.
void QxMultiplyMatrixVector4(QxVector4& result, const QxMatrix& m, const QxVector& p);

// The point at depth z behind a 2D point of the projection m; both
// coordinates of point2D are in units of the projection's horizontal scale.
// result.z = z; result.x and result.y by the closed formula of the camera code
// (a projection without an x-y determinant gives infinities or NaN).
void QxUnprojectPoint(const QxMatrix& m, const Qx2DVector& point2D, float z, QxVector& result);

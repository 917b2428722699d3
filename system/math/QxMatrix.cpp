#include "system/math/QxMatrix.h"

#include <cmath>

#include "system/math/QxFloat4.h"

bool operator==(const QxMatrix& a, const QxMatrix& b)
{
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (a[i][j] != b[i][j])
                return false;
    return true;
}

float QxMatrix::GetDeterminant() const
{
    const QxMatrix& m = *this;
    return m[0][0] * (m[1][1] * m[2][2] - m[2][1] * m[1][2]) - m[0][1] * (m[1][0] * m[2][2] - m[2][0] * m[1][2]) +
           m[0][2] * (m[1][0] * m[2][1] - m[2][0] * m[1][1]);
}

void QxMatrix::Perspective(float fov, float aspect, float nearPlane, float farPlane)
{
    Clear();
    const float half = fov * 0.5f;
    m_Data[0][0] = std::cos(half) / std::sin(half);
    m_Data[1][1] = m_Data[0][0] * aspect;
    m_Data[2][2] = farPlane / (farPlane - nearPlane);
    m_Data[3][2] = -nearPlane * m_Data[2][2];
    m_Data[2][3] = 1.0f;
}

void QxMatrix::PerspectiveRect(float left, float right, float top, float bottom, float nearPlane, float farPlane)
{
    Clear();
    m_Data[0][0] = 2.0f * nearPlane / (right - left);
    m_Data[1][1] = 2.0f * nearPlane / (top - bottom);
    m_Data[2][0] = -(right + left) / (right - left);
    m_Data[2][1] = -(top + bottom) / (top - bottom);
    m_Data[2][2] = farPlane / (farPlane - nearPlane);
    m_Data[3][2] = -nearPlane * m_Data[2][2];
    m_Data[2][3] = 1.0f;
}

void QxMatrix::Orthographic(float zoom, float aspect, float nearPlane, float farPlane)
{
    Clear();
    m_Data[0][0] = zoom;
    m_Data[1][1] = zoom * aspect;
    m_Data[2][2] = 1.0f / (farPlane - nearPlane);
    m_Data[3][2] = -nearPlane / (farPlane - nearPlane);
    m_Data[3][3] = 1.0f;
}

void QxTransposeMatrix(QxMatrix& result, const QxMatrix& m)
{
    const QxMatrix source = m;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            result[i][j] = source[j][i];
}

void QxMultiplyMatrix(QxMatrix& result, const QxMatrix& a, const QxMatrix& b)
{
    // a's rows are held and every row of b is read before the results are
    // stored, so result may be either operand.
    const QxFloat4 a0 = QxLoadFloat4(a[0]);
    const QxFloat4 a1 = QxLoadFloat4(a[1]);
    const QxFloat4 a2 = QxLoadFloat4(a[2]);
    const QxFloat4 a3 = QxLoadFloat4(a[3]);
    const QxFloat4 r0 = QxSetLane3(b[0][0] * a0 + b[0][1] * a1 + b[0][2] * a2, 0.0f);
    const QxFloat4 r1 = QxSetLane3(b[1][0] * a0 + b[1][1] * a1 + b[1][2] * a2, 0.0f);
    const QxFloat4 r2 = QxSetLane3(b[2][0] * a0 + b[2][1] * a1 + b[2][2] * a2, 0.0f);
    const QxFloat4 r3 = QxSetLane3(b[3][0] * a0 + b[3][1] * a1 + b[3][2] * a2 + a3, 1.0f);
    QxStoreFloat4(result[0], r0);
    QxStoreFloat4(result[1], r1);
    QxStoreFloat4(result[2], r2);
    QxStoreFloat4(result[3], r3);
}

void QxMultiplyMatrix4(QxMatrix& result, const QxMatrix& a, const QxMatrix& b)
{
    const QxFloat4 a0 = QxLoadFloat4(a[0]);
    const QxFloat4 a1 = QxLoadFloat4(a[1]);
    const QxFloat4 a2 = QxLoadFloat4(a[2]);
    const QxFloat4 a3 = QxLoadFloat4(a[3]);
    const QxFloat4 r0 = b[0][0] * a0 + b[0][1] * a1 + b[0][2] * a2 + b[0][3] * a3;
    const QxFloat4 r1 = b[1][0] * a0 + b[1][1] * a1 + b[1][2] * a2 + b[1][3] * a3;
    const QxFloat4 r2 = b[2][0] * a0 + b[2][1] * a1 + b[2][2] * a2 + b[2][3] * a3;
    const QxFloat4 r3 = b[3][0] * a0 + b[3][1] * a1 + b[3][2] * a2 + b[3][3] * a3;
    QxStoreFloat4(result[0], r0);
    QxStoreFloat4(result[1], r1);
    QxStoreFloat4(result[2], r2);
    QxStoreFloat4(result[3], r3);
}

CKBOOL QxInverseMatrix(QxMatrix& result, const QxMatrix& m)
{
    const float a00 = m[0][0], a01 = m[0][1], a02 = m[0][2];
    const float a10 = m[1][0], a11 = m[1][1], a12 = m[1][2];
    const float a20 = m[2][0], a21 = m[2][1], a22 = m[2][2];

    // The six terms of the determinant, each rounded to float, summed by sign
    // so that the size of the cancellation can be judged.
    const float terms[6] = {a00 * a11 * a22,    a01 * a12 * a20,    a02 * a10 * a21,
                            -(a02 * a11 * a20), -(a01 * a10 * a22), -(a00 * a12 * a21)};
    float positive = 0.0f;
    float negative = 0.0f;
    for (float term : terms) {
        if (term >= 0.0f)
            positive += term;
        else
            negative += term;
    }
    const float det = positive + negative;
    if (det == 0.0f)
        return FALSE;
    if (std::fabs(static_cast<double>(det) / (static_cast<double>(positive) - static_cast<double>(negative))) < 1e-15)
        return FALSE;

    QxMatrix r;
    r[0][0] = (a11 * a22 - a21 * a12) / det;
    r[1][0] = -(a10 * a22 - a20 * a12) / det;
    r[2][0] = (a10 * a21 - a20 * a11) / det;
    r[0][1] = -(a01 * a22 - a21 * a02) / det;
    r[1][1] = (a00 * a22 - a20 * a02) / det;
    r[2][1] = -(a00 * a21 - a20 * a01) / det;
    r[0][2] = (a01 * a12 - a11 * a02) / det;
    r[1][2] = -(a00 * a12 - a10 * a02) / det;
    r[2][2] = (a00 * a11 - a10 * a01) / det;
    const float tx = m[3][0], ty = m[3][1], tz = m[3][2];
    for (int j = 0; j < 3; ++j)
        r[3][j] = -(tx * r[0][j] + ty * r[1][j] + tz * r[2][j]);
    r[0][3] = 0.0f;
    r[1][3] = 0.0f;
    r[2][3] = 0.0f;
    r[3][3] = 1.0f;
    result = r;
    return TRUE;
}

CKBOOL QxInverseMatrix44(QxMatrix& result, const QxMatrix& m)
{
    const float m00 = m[0][0], m01 = m[0][1], m02 = m[0][2], m03 = m[0][3];
    const float m10 = m[1][0], m11 = m[1][1], m12 = m[1][2], m13 = m[1][3];
    const float m20 = m[2][0], m21 = m[2][1], m22 = m[2][2], m23 = m[2][3];
    const float m30 = m[3][0], m31 = m[3][1], m32 = m[3][2], m33 = m[3][3];

    // 2x2 minors of rows 0 and 1, and of rows 2 and 3.
    const float a0 = m00 * m11 - m01 * m10, a1 = m00 * m12 - m02 * m10, a2 = m00 * m13 - m03 * m10;
    const float a3 = m01 * m12 - m02 * m11, a4 = m01 * m13 - m03 * m11, a5 = m02 * m13 - m03 * m12;
    const float b0 = m20 * m31 - m21 * m30, b1 = m20 * m32 - m22 * m30, b2 = m20 * m33 - m23 * m30;
    const float b3 = m21 * m32 - m22 * m31, b4 = m21 * m33 - m23 * m31, b5 = m22 * m33 - m23 * m32;

    // adj[i][j] = cofactor of m[j][i]; columns 0 and 1 from rows 2 and 3,
    // columns 2 and 3 from rows 0 and 1.
    float adj[4][4];
    adj[0][0] = m11 * b5 - m12 * b4 + m13 * b3;
    adj[1][0] = -m10 * b5 + m12 * b2 - m13 * b1;
    adj[2][0] = m10 * b4 - m11 * b2 + m13 * b0;
    adj[3][0] = -m10 * b3 + m11 * b1 - m12 * b0;
    adj[0][1] = -m01 * b5 + m02 * b4 - m03 * b3;
    adj[1][1] = m00 * b5 - m02 * b2 + m03 * b1;
    adj[2][1] = -m00 * b4 + m01 * b2 - m03 * b0;
    adj[3][1] = m00 * b3 - m01 * b1 + m02 * b0;
    adj[0][2] = m31 * a5 - m32 * a4 + m33 * a3;
    adj[1][2] = -m30 * a5 + m32 * a2 - m33 * a1;
    adj[2][2] = m30 * a4 - m31 * a2 + m33 * a0;
    adj[3][2] = -m30 * a3 + m31 * a1 - m32 * a0;
    adj[0][3] = -m21 * a5 + m22 * a4 - m23 * a3;
    adj[1][3] = m20 * a5 - m22 * a2 + m23 * a1;
    adj[2][3] = -m20 * a4 + m21 * a2 - m23 * a0;
    adj[3][3] = m20 * a3 - m21 * a1 + m22 * a0;

    // Expanded along column 0.
    const float det = m00 * adj[0][0] + m10 * adj[0][1] + m20 * adj[0][2] + m30 * adj[0][3];
    if (det == 0.0f)
        return FALSE;
    const float inverse = 1.0f / det;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            result[i][j] = adj[i][j] * inverse;
    return TRUE;
}

void QxMultiplyMatrixVector(QxVector& result, const QxMatrix& m, const QxVector& p)
{
    const float x = p.x, y = p.y, z = p.z;
    result.x = x * m[0][0] + y * m[1][0] + z * m[2][0] + m[3][0];
    result.y = x * m[0][1] + y * m[1][1] + z * m[2][1] + m[3][1];
    result.z = x * m[0][2] + y * m[1][2] + z * m[2][2] + m[3][2];
}

void QxRotateVector(QxVector& result, const QxMatrix& m, const QxVector& v)
{
    const float x = v.x, y = v.y, z = v.z;
    result.x = x * m[0][0] + y * m[1][0] + z * m[2][0];
    result.y = x * m[0][1] + y * m[1][1] + z * m[2][1];
    result.z = x * m[0][2] + y * m[1][2] + z * m[2][2];
}

void QxMultiplyMatrixVector4(QxVector4& result, const QxMatrix& m, const QxVector4& h)
{
    const float x = h.x, y = h.y, z = h.z, w = h.w;
    for (int j = 0; j < 4; ++j)
        result[j] = x * m[0][j] + y * m[1][j] + z * m[2][j] + w * m[3][j];
}

void QxMultiplyMatrixVector4(QxVector4& result, const QxMatrix& m, const QxVector& p)
{
    const float x = p.x, y = p.y, z = p.z;
    for (int j = 0; j < 4; ++j)
        result[j] = x * m[0][j] + y * m[1][j] + z * m[2][j] + m[3][j];
}

void QxUnprojectPoint(const QxMatrix& m, const Qx2DVector& point2D, float z, QxVector& result)
{
    const float x = ((m[2][1] * m[1][0] - m[2][0] * m[1][1]) * z + (point2D.y * m[1][0] - point2D.x * m[1][1]) * z +
                     (m[3][1] * m[1][0] - m[3][0] * m[1][1])) /
                    (m[0][1] * m[1][0] - m[0][0] * m[1][1]);
    result.y = ((point2D.y - m[2][1]) * z - m[0][1] * x - m[3][1]) / m[0][0];
    result.x = x;
    result.z = z;
}

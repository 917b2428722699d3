#include "system/math/QxComposeMatrix.h"

void QxComposeMatrix(QxMatrix& m, const QxVector& position, const QxVector& scale, const QxQuaternion& rotation)
{
    rotation.ToMatrix(m);
    const float factors[3] = {scale.x, scale.y, scale.z};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            m[i][j] *= factors[i];
    m[3][0] = position.x;
    m[3][1] = position.y;
    m[3][2] = position.z;
}

void QxComposeMatrixEx(QxMatrix& m, const QxVector& position, const QxVector& scale, const QxQuaternion& rotation,
                       const QxQuaternion& scaleOrientation, float sign)
{
    QxMatrix q;
    scaleOrientation.ToMatrix(q);
    QxMatrix s;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            s[i][j] = q[i][0] * q[j][0] * scale.x + q[i][1] * q[j][1] * scale.y + q[i][2] * q[j][2] * scale.z;
    s[3][3] = 1.0f;
    QxMatrix r;
    rotation.ToMatrix(r);
    QxMultiplyMatrix(m, r, s);
    if (sign != 1.0f) {
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                m[i][j] *= sign;
    }
    m[3][0] = position.x;
    m[3][1] = position.y;
    m[3][2] = position.z;
}

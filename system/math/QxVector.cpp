#include "system/math/QxVector.h"

#include <cmath>

void QxVector::Normalize()
{
    double squared = static_cast<double>(x) * x + static_cast<double>(y) * y + static_cast<double>(z) * z;
    // A zero vector has no direction; leaving it zero keeps NaN out of callers.
    if (squared == 0.0)
        return;
    double inverse = 1.0 / std::sqrt(squared);
    x = static_cast<float>(x * inverse);
    y = static_cast<float>(y * inverse);
    z = static_cast<float>(z * inverse);
}

void QxCrossProduct(const QxVector& a, const QxVector& b, QxVector* result)
{
    const float rx = a.y * b.z - a.z * b.y;
    const float ry = a.z * b.x - a.x * b.z;
    const float rz = a.x * b.y - b.x * a.y;
    result->x = rx;
    result->y = ry;
    result->z = rz;
}

QxVector QxCrossProduct(const QxVector& a, const QxVector& b)
{
    QxVector r;
    QxCrossProduct(a, b, &r);
    return r;
}

QxVector& QxNormalize(QxVector& result, const QxVector& v)
{
    const float squared = v.x * v.x + v.y * v.y + v.z * v.z;
    if (squared == 0.0f) {
        result = QxVector();
        return result;
    }
    const float inverse = 1.0f / std::sqrt(squared);
    result.x = v.x * inverse;
    result.y = v.y * inverse;
    result.z = v.z * inverse;
    return result;
}

QxVector QxNormalize(const QxVector& v)
{
    QxVector r;
    QxNormalize(r, v);
    return r;
}

float QxMagnitude(const QxVector& v)
{
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

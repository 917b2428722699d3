#include "system/math/QxCompressedVector.h"

#include "system/math/QxClamp.h"
#include "system/math/QxFloatToInt.h"
#include "system/math/QxMathTables.h"
#include "system/math/QxVector.h"

namespace {

int TableIndex(float v)
{
    // Widened so that the sum is the exact value before truncation.
    int index = QxTruncToInt(static_cast<double>(v) * 8192.0 + 8192.0);
    const int lowest = 0;
    const int highest = QX_ANGLE_STEPS - 1;
    QxClamp(&index, &lowest, &highest);
    return index;
}

} // namespace

CKWORD QxArcSinIndex(float v)
{
    return QxGetArcSinTable()[TableIndex(v)];
}

void QxCompressedVector::Set(float x, float y, float z)
{
    m_Elevation = QxArcSinIndex(-y);
    // x / cos(alpha) is the sine of the azimuth.
    const float s = QxGetInvSqrtTable()[TableIndex(y)];
    CKWORD azimuth = QxArcSinIndex(x * s);
    // Behind the xy plane the azimuth is pi - beta.
    if (z < 0.0f)
        azimuth = static_cast<CKWORD>((-8192 - static_cast<int>(azimuth)) & 0x3FFF);
    m_Azimuth = azimuth;
}

void QxVector::SetFromCompressed(const QxCompressedVector& compressed)
{
    const float* sine = QxGetSinTable();
    const float* cosine = QxGetCosTable();
    const int a = compressed.m_Elevation & 0x3FFF;
    const int b = compressed.m_Azimuth & 0x3FFF;
    x = sine[b] * cosine[a];
    y = -sine[a];
    z = cosine[b] * cosine[a];
}

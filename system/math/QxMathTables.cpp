#include "system/math/QxMathTables.h"

#include <cfloat>
#include <cmath>

namespace {

struct QxAngleTables
{
    float sine[QX_SIN_TABLE_SIZE];
    float invSqrt[QX_SIN_TABLE_SIZE];
    CKWORD arcSin[QX_ANGLE_STEPS];

    QxAngleTables()
    {
        // The float value of pi, widened: the tables are defined with it.
        const double pi = static_cast<double>(3.14159265358979323846f);
        for (int i = 0; i < QX_ANGLE_STEPS; ++i) {
            sine[i] = static_cast<float>(std::sin(i * pi / 8192.0));
            const double v = (i - 8192) / 8192.0;
            const double rest = 1.0 - v * v;
            invSqrt[i] = rest > 0.0 ? static_cast<float>(1.0 / std::sqrt(rest)) : FLT_MAX;
            // |asin| x 8192 / pi stays below 4097, so the conversion is in range.
            const int angle = static_cast<int>(std::asin(v) * 8192.0 / pi);
            arcSin[i] = static_cast<CKWORD>(angle & 0x3FFF);
        }
        for (int i = 0; i < QX_ANGLE_QUARTER; ++i) {
            sine[QX_ANGLE_STEPS + i] = sine[i];
            invSqrt[QX_ANGLE_STEPS + i] = invSqrt[i];
        }
    }
};

const QxAngleTables& Tables()
{
    static const QxAngleTables tables;
    return tables;
}

} // namespace

const float* QxGetSinTable()
{
    return Tables().sine;
}
const float* QxGetCosTable()
{
    return Tables().sine + QX_ANGLE_QUARTER;
}
const float* QxGetInvSqrtTable()
{
    return Tables().invSqrt;
}
const CKWORD* QxGetArcSinTable()
{
    return Tables().arcSin;
}

void QxInitMathTables()
{
    (void) Tables();
}

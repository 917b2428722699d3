#include "system/math/QxEigenSymmetric3.h"

#include <cmath>

#include "system/math/QxMathWarning.h"

namespace {

const int kMaxIterations = 32;

// C = (a b c / b d e / c e f) to tridiagonal form; rot receives the rotation.
void Tridiagonal(const double m[3][3], double rot[3][3], double diag[3], double subd[3])
{
    const double a = m[0][0], b = m[0][1], c = m[0][2], d = m[1][1], e = m[1][2], f = m[2][2];
    diag[0] = a;
    subd[2] = 0.0;
    if (std::fabs(c) < 1.1920929e-7) {
        diag[1] = d;
        diag[2] = f;
        subd[0] = b;
        subd[1] = e;
        const double identity[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                rot[i][j] = identity[i][j];
        return;
    }
    const double length = std::sqrt(b * b + c * c);
    const double bn = b / length;
    const double cn = c / length;
    const double q = 2.0 * bn * e + cn * (f - d);
    diag[1] = d + cn * q;
    diag[2] = f - cn * q;
    subd[0] = length;
    subd[1] = e - bn * q;
    const double r[3][3] = {{1, 0, 0}, {0, bn, cn}, {0, cn, -bn}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            rot[i][j] = r[i][j];
}

bool QLAlgorithm(double rot[3][3], double diag[3], double subd[3])
{
    for (int i0 = 0; i0 < 3; ++i0) {
        int iteration;
        for (iteration = 0; iteration < kMaxIterations; ++iteration) {
            int i2;
            for (i2 = i0; i2 <= 1; ++i2) {
                const double sum = std::fabs(diag[i2]) + std::fabs(diag[i2 + 1]);
                if (std::fabs(subd[i2]) + sum == sum)
                    break;
            }
            if (i2 == i0)
                break;

            double g = (diag[i0 + 1] - diag[i0]) / (2.0 * subd[i0]);
            double r = std::sqrt(g * g + 1.0);
            if (g < 0.0)
                g = diag[i2] - diag[i0] + subd[i0] / (g - r);
            else
                g = diag[i2] - diag[i0] + subd[i0] / (g + r);
            double sine = 1.0, cosine = 1.0, p = 0.0;
            for (int i3 = i2 - 1; i3 >= i0; --i3) {
                double f = sine * subd[i3];
                const double b = cosine * subd[i3];
                if (std::fabs(f) >= std::fabs(g)) {
                    cosine = g / f;
                    r = std::sqrt(cosine * cosine + 1.0);
                    subd[i3 + 1] = f * r;
                    sine = 1.0 / r;
                    cosine *= sine;
                } else {
                    sine = f / g;
                    r = std::sqrt(sine * sine + 1.0);
                    subd[i3 + 1] = g * r;
                    cosine = 1.0 / r;
                    sine *= cosine;
                }
                g = diag[i3 + 1] - p;
                r = (diag[i3] - g) * sine + 2.0 * b * cosine;
                p = sine * r;
                diag[i3 + 1] = g + p;
                g = cosine * r - b;
                for (int i4 = 0; i4 < 3; ++i4) {
                    f = rot[i4][i3 + 1];
                    rot[i4][i3 + 1] = sine * rot[i4][i3] + cosine * f;
                    rot[i4][i3] = cosine * rot[i4][i3] - sine * f;
                }
            }
            diag[i0] -= p;
            subd[i0] = g;
            subd[i2] = 0.0;
        }
        if (iteration == kMaxIterations)
            return false;
    }
    return true;
}

} // namespace

bool QxEigenSymmetric3(float matrix[3][3], float eigenValues[3])
{
    double m[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            m[i][j] = matrix[i][j];
    double rot[3][3], diag[3], subd[3];
    Tridiagonal(m, rot, diag, subd);
    const bool converged = QLAlgorithm(rot, diag, subd);
    if (!converged)
        QxMathReportWarning("symmetric eigen solver did not converge");
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            matrix[i][j] = static_cast<float>(rot[i][j]);
    if (eigenValues) {
        for (int i = 0; i < 3; ++i)
            eigenValues[i] = static_cast<float>(diag[i]);
    }
    return converged;
}

#include "platform/host/DecompAffine.h"

#include <cmath>

namespace {

struct M3
{
    double a[3][3];
};

double Det(const M3& m)
{
    return m.a[0][0] * (m.a[1][1] * m.a[2][2] - m.a[1][2] * m.a[2][1]) -
           m.a[0][1] * (m.a[1][0] * m.a[2][2] - m.a[1][2] * m.a[2][0]) +
           m.a[0][2] * (m.a[1][0] * m.a[2][1] - m.a[1][1] * m.a[2][0]);
}

// The transpose of the inverse (cofactors over the determinant).
M3 InverseTranspose(const M3& m, double det)
{
    M3 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const int i1 = (i + 1) % 3, i2 = (i + 2) % 3, j1 = (j + 1) % 3, j2 = (j + 2) % 3;
            r.a[i][j] = (m.a[i1][j1] * m.a[i2][j2] - m.a[i1][j2] * m.a[i2][j1]) / det;
        }
    return r;
}

// Cyclic Jacobi rotations of a symmetric matrix: s becomes diagonal (the
// eigenvalues) and v gathers the eigenvectors as its columns.
void Jacobi(M3& s, M3& v)
{
    v = M3{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
    for (int sweep = 0; sweep < 50; ++sweep) {
        const double off = s.a[0][1] * s.a[0][1] + s.a[0][2] * s.a[0][2] + s.a[1][2] * s.a[1][2];
        if (off < 1e-30)
            return;
        for (int p = 0; p < 2; ++p)
            for (int q = p + 1; q < 3; ++q) {
                if (s.a[p][q] == 0.0)
                    continue;
                const double theta = (s.a[q][q] - s.a[p][p]) / (2.0 * s.a[p][q]);
                const double t = (theta >= 0 ? 1.0 : -1.0) / (std::fabs(theta) + std::sqrt(theta * theta + 1.0));
                const double c = 1.0 / std::sqrt(t * t + 1.0), sn = t * c;
                for (int k = 0; k < 3; ++k) {
                    const double skp = s.a[k][p], skq = s.a[k][q];
                    s.a[k][p] = c * skp - sn * skq;
                    s.a[k][q] = sn * skp + c * skq;
                }
                for (int k = 0; k < 3; ++k) {
                    const double spk = s.a[p][k], sqk = s.a[q][k];
                    s.a[p][k] = c * spk - sn * sqk;
                    s.a[q][k] = sn * spk + c * sqk;
                }
                for (int k = 0; k < 3; ++k) {
                    const double vkp = v.a[k][p], vkq = v.a[k][q];
                    v.a[k][p] = c * vkp - sn * vkq;
                    v.a[k][q] = sn * vkp + c * vkq;
                }
            }
    }
}

Matrix3 Rows(const M3& m)
{
    return Matrix3(Point3(float(m.a[0][0]), float(m.a[0][1]), float(m.a[0][2])),
                   Point3(float(m.a[1][0]), float(m.a[1][1]), float(m.a[1][2])),
                   Point3(float(m.a[2][0]), float(m.a[2][1]), float(m.a[2][2])), Point3());
}

} // namespace

void decomp_affine(const Matrix3& m, AffineParts* parts)
{
    AffineParts r;
    r.t = m.GetTrans();
    M3 a;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            a.a[i][j] = m[i][j];
    const double det = Det(a);
    if (!(std::fabs(det) > 1e-30) || !std::isfinite(det)) {
        for (int i = 0; i < 3; ++i)
            r.k[i] = m[i].Length();
        *parts = r;
        return;
    }
    r.f = det < 0.0 ? -1.0f : 1.0f;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            a.a[i][j] *= r.f;
    // Newton's iteration towards the orthogonal polar factor.
    M3 q = a;
    for (int iteration = 0; iteration < 100; ++iteration) {
        const M3 it = InverseTranspose(q, Det(q));
        double change = 0.0;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) {
                const double next = 0.5 * (q.a[i][j] + it.a[i][j]);
                change += std::fabs(next - q.a[i][j]);
                q.a[i][j] = next;
            }
        if (change < 1e-14)
            break;
    }
    // The stretch that comes first: S = A * Transpose(Q), made symmetric.
    M3 s;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            double sum = 0.0;
            for (int k = 0; k < 3; ++k)
                sum += a.a[i][k] * q.a[j][k];
            s.a[i][j] = sum;
        }
    for (int i = 0; i < 3; ++i)
        for (int j = i + 1; j < 3; ++j)
            s.a[i][j] = s.a[j][i] = 0.5 * (s.a[i][j] + s.a[j][i]);
    M3 v;
    Jacobi(s, v);
    // U's rows are the eigenvectors: the columns of v, made a rotation.
    M3 u;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            u.a[i][j] = v.a[j][i];
    if (Det(u) < 0.0)
        for (int j = 0; j < 3; ++j)
            u.a[2][j] = -u.a[2][j];
    r.k = Point3(float(s.a[0][0]), float(s.a[1][1]), float(s.a[2][2]));
    r.q = Quat(Rows(q));
    r.u = Quat(Rows(u));
    *parts = r;
}

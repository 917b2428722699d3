#include "system/math/QxDecomposeMatrix.h"

#include <cmath>
#include <utility>

#include "system/math/QxMathWarning.h"

namespace {

// The polar and spectral steps run in double precision: every float input,
// however large or small, stays in range, and the rebuilt matrix matches the
// input to float precision.
typedef double Mat3[3][3];

// Newton iterations with optimal scaling converge in well under 20 steps for
// any float matrix; the bound only stops a runaway.
const int kMaxPolarIterations = 64;
const int kMaxJacobiSweeps = 20;

void Load(Mat3 out, const QxMatrix& m)
{
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            out[i][j] = m[i][j];
}

void Store(QxMatrix& out, const Mat3 m)
{
    out.SetIdentity();
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            out[i][j] = static_cast<float>(m[i][j]);
}

void Copy(Mat3 out, const Mat3 m)
{
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            out[i][j] = m[i][j];
}

void SetIdentity(Mat3 m)
{
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            m[i][j] = (i == j) ? 1.0 : 0.0;
}

void Transpose(Mat3 out, const Mat3 m)
{
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            out[i][j] = m[j][i];
}

bool IsFinite(const QxMatrix& m)
{
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            if (!std::isfinite(m[i][j]))
                return false;
    return true;
}

// Largest absolute row sum.
double NormInf(const Mat3 m)
{
    double best = 0.0;
    for (int i = 0; i < 3; ++i) {
        const double sum = std::fabs(m[i][0]) + std::fabs(m[i][1]) + std::fabs(m[i][2]);
        if (sum > best)
            best = sum;
    }
    return best;
}

// Largest absolute column sum.
double NormOne(const Mat3 m)
{
    double best = 0.0;
    for (int j = 0; j < 3; ++j) {
        const double sum = std::fabs(m[0][j]) + std::fabs(m[1][j]) + std::fabs(m[2][j]);
        if (sum > best)
            best = sum;
    }
    return best;
}

void Cross(const double a[3], const double b[3], double out[3])
{
    const double x = a[1] * b[2] - a[2] * b[1];
    const double y = a[2] * b[0] - a[0] * b[2];
    const double z = a[0] * b[1] - a[1] * b[0];
    out[0] = x;
    out[1] = y;
    out[2] = z;
}

double Dot(const double a[3], const double b[3])
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// Rows are the cross products row1 x row2, row2 x row0, row0 x row1.
void AdjointTranspose(const Mat3 m, Mat3 out)
{
    Cross(m[1], m[2], out[0]);
    Cross(m[2], m[0], out[1]);
    Cross(m[0], m[1], out[2]);
}

// The column holding the largest absolute element, -1 when all are zero.
int FindMaxColumn(const Mat3 m)
{
    double best = 0.0;
    int column = -1;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const double a = std::fabs(m[i][j]);
            if (a > best) {
                best = a;
                column = j;
            }
        }
    return column;
}

// The Householder vector u (scaled so that I - u·uᵀ is the reflection) that
// carries v onto the z axis. A zero v gives u = 0 (no reflection).
void MakeReflector(const double v[3], double u[3])
{
    double s = std::sqrt(Dot(v, v));
    u[0] = v[0];
    u[1] = v[1];
    u[2] = v[2] + ((v[2] < 0.0) ? -s : s);
    const double uu = Dot(u, u);
    s = uu > 0.0 ? std::sqrt(2.0 / uu) : 0.0;
    u[0] *= s;
    u[1] *= s;
    u[2] *= s;
}

// m = (I - u·uᵀ) m: reflects each column.
void ReflectColumns(Mat3 m, const double u[3])
{
    for (int i = 0; i < 3; ++i) {
        const double s = u[0] * m[0][i] + u[1] * m[1][i] + u[2] * m[2][i];
        for (int j = 0; j < 3; ++j)
            m[j][i] -= u[j] * s;
    }
}

// m = m (I - u·uᵀ): reflects each row.
void ReflectRows(Mat3 m, const double u[3])
{
    for (int i = 0; i < 3; ++i) {
        const double s = Dot(u, m[i]);
        for (int j = 0; j < 3; ++j)
            m[i][j] -= u[j] * s;
    }
}

// Rank 0 or 1: q from the two reflections that carry the largest column of m
// onto the axes. m is used as scratch.
void RepairRank1(Mat3 m, Mat3 q)
{
    SetIdentity(q);
    const int column = FindMaxColumn(m);
    if (column < 0)
        return;
    double v1[3] = {m[0][column], m[1][column], m[2][column]};
    MakeReflector(v1, v1);
    ReflectColumns(m, v1);
    double v2[3] = {m[2][0], m[2][1], m[2][2]};
    MakeReflector(v2, v2);
    ReflectRows(m, v2);
    if (m[2][2] < 0.0)
        q[2][2] = -1.0;
    ReflectColumns(q, v1);
    ReflectRows(q, v2);
}

// Rank 2 (or less): reflect the largest adjoint column away, complete the
// remaining 2x2 block with a plane rotation, undo the reflections. m is used
// as scratch.
void RepairRank2(Mat3 m, const Mat3 adjointT, Mat3 q)
{
    const int column = FindMaxColumn(adjointT);
    if (column < 0) {
        RepairRank1(m, q);
        return;
    }
    double v1[3] = {adjointT[0][column], adjointT[1][column], adjointT[2][column]};
    MakeReflector(v1, v1);
    ReflectColumns(m, v1);
    double v2[3];
    Cross(m[0], m[1], v2);
    MakeReflector(v2, v2);
    ReflectRows(m, v2);
    const double w = m[0][0], x = m[0][1], y = m[1][0], z = m[1][1];
    double c, s;
    SetIdentity(q);
    if (w * z > x * y) {
        c = z + w;
        s = y - x;
        const double d = std::sqrt(c * c + s * s);
        c = d > 0.0 ? c / d : 1.0;
        s = d > 0.0 ? s / d : 0.0;
        q[0][0] = q[1][1] = c;
        q[1][0] = s;
        q[0][1] = -s;
    } else {
        c = z - w;
        s = y + x;
        const double d = std::sqrt(c * c + s * s);
        c = d > 0.0 ? c / d : 1.0;
        s = d > 0.0 ? s / d : 0.0;
        q[1][1] = c;
        q[0][0] = -c;
        q[0][1] = q[1][0] = s;
    }
    ReflectColumns(q, v1);
    ReflectRows(q, v2);
}

// m = S·Q (standard product, the left polar decomposition). Returns the
// determinant of Q's last iterate.
double PolarDecomposition(const Mat3 m, Mat3 q, Mat3 s)
{
    // The iteration runs on the transpose; its orthogonal factor is Qᵀ.
    Mat3 mk;
    Transpose(mk, m);
    double mOne = NormOne(mk);
    double mInf = NormInf(mk);
    double det = 0.0;
    bool converged = false;
    for (int iteration = 0; iteration < kMaxPolarIterations; ++iteration) {
        Mat3 adjointT;
        AdjointTranspose(mk, adjointT);
        det = Dot(mk[0], adjointT[0]);
        if (det == 0.0) {
            Mat3 repaired;
            RepairRank2(mk, adjointT, repaired);
            Copy(mk, repaired);
            converged = true;
            break;
        }
        const double aOne = NormOne(adjointT);
        const double aInf = NormInf(adjointT);
        const double gamma = std::sqrt(std::sqrt((aOne * aInf) / (mOne * mInf)) / std::fabs(det));
        const double g1 = gamma * 0.5;
        const double g2 = 0.5 / (gamma * det);
        Mat3 step;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) {
                const double next = g1 * mk[i][j] + g2 * adjointT[i][j];
                step[i][j] = mk[i][j] - next;
                mk[i][j] = next;
            }
        const double eOne = NormOne(step);
        mOne = NormOne(mk);
        mInf = NormInf(mk);
        if (eOne <= mOne * 1e-6) {
            converged = true;
            break;
        }
    }
    if (!converged)
        QxMathReportWarning("polar decomposition did not converge");

    Transpose(q, mk);
    // S = m·Qᵀ = m·Mk, made exactly symmetric.
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            s[i][j] = m[i][0] * mk[0][j] + m[i][1] * mk[1][j] + m[i][2] * mk[2][j];
    for (int i = 0; i < 3; ++i)
        for (int j = i; j < 3; ++j)
            s[i][j] = s[j][i] = 0.5 * (s[i][j] + s[j][i]);
    return det;
}

// s = u·diag(k)·uᵀ by Jacobi rotations.
void SpectralDecomposition(const Mat3 s, Mat3 u, double k[3])
{
    static const int next[3] = {1, 2, 0};
    SetIdentity(u);
    double diag[3] = {s[0][0], s[1][1], s[2][2]};
    // offDiag[i] is the element pairing the two other axes.
    double offDiag[3] = {s[1][2], s[2][0], s[0][1]};
    bool converged = false;
    for (int sweep = 0; sweep < kMaxJacobiSweeps; ++sweep) {
        const double sum = std::fabs(offDiag[0]) + std::fabs(offDiag[1]) + std::fabs(offDiag[2]);
        if (sum == 0.0) {
            converged = true;
            break;
        }
        for (int i = 2; i >= 0; --i) {
            const int p = next[i];
            const int q = next[p];
            const double absOff = std::fabs(offDiag[i]);
            if (!(absOff > 0.0))
                continue;
            const double h = diag[q] - diag[p];
            const double absH = std::fabs(h);
            double t;
            if (absH + 100.0 * absOff == absH) {
                t = offDiag[i] / h;
            } else {
                const double theta = 0.5 * h / offDiag[i];
                t = 1.0 / (std::fabs(theta) + std::sqrt(theta * theta + 1.0));
                if (theta < 0.0)
                    t = -t;
            }
            const double c = 1.0 / std::sqrt(t * t + 1.0);
            const double sn = t * c;
            const double tau = sn / (c + 1.0);
            const double ta = t * offDiag[i];
            offDiag[i] = 0.0;
            diag[p] -= ta;
            diag[q] += ta;
            const double offQ = offDiag[q];
            offDiag[q] -= sn * (offDiag[p] + tau * offDiag[q]);
            offDiag[p] += sn * (offQ - tau * offDiag[p]);
            for (int j = 2; j >= 0; --j) {
                const double a = u[j][p];
                const double b = u[j][q];
                u[j][p] -= sn * (b + tau * a);
                u[j][q] += sn * (a - tau * b);
            }
        }
    }
    if (!converged && std::fabs(offDiag[0]) + std::fabs(offDiag[1]) + std::fabs(offDiag[2]) != 0.0)
        QxMathReportWarning("spectral decomposition did not converge");
    k[0] = diag[0];
    k[1] = diag[1];
    k[2] = diag[2];
}

QxQuaternion Multiply(const QxQuaternion& a, const QxQuaternion& b)
{
    QxQuaternion r;
    QxMultiplyQuaternion(r, a, b);
    return r;
}

QxQuaternion Conjugate(const QxQuaternion& q)
{
    return QxQuaternion(-q.x, -q.y, -q.z, q.w);
}

void Cycle(float ka[3], bool forward)
{
    if (forward) {
        const float t = ka[0];
        ka[0] = ka[1];
        ka[1] = ka[2];
        ka[2] = t;
    } else {
        const float t = ka[2];
        ka[2] = ka[1];
        ka[1] = ka[0];
        ka[0] = t;
    }
}

} // namespace

void QxDecomposeMatrix(const QxMatrix& m, QxQuaternion& rotation, QxVector& position, QxVector& scale)
{
    position.Set(m[3][0], m[3][1], m[3][2]);
    QxMatrix copy = m;
    rotation.FromMatrix(copy, FALSE, FALSE);
    scale.x = m[0][0] * copy[0][0] + m[0][1] * copy[0][1] + m[0][2] * copy[0][2];
    scale.y = m[1][0] * copy[1][0] + m[1][1] * copy[1][1] + m[1][2] * copy[1][2];
    scale.z = m[2][0] * copy[2][0] + m[2][1] * copy[2][1] + m[2][2] * copy[2][2];
}

float QxPolarDecomposition(const QxMatrix& m, QxMatrix& Q, QxMatrix& S)
{
    if (!IsFinite(m)) {
        Q.SetIdentity();
        S.SetIdentity();
        return 1.0f;
    }
    Mat3 a, q, s;
    Load(a, m);
    const double det = PolarDecomposition(a, q, s);
    Store(Q, q);
    Store(S, s);
    return static_cast<float>(det);
}

QxVector QxSpectralDecomposition(const QxMatrix& S, QxMatrix& U)
{
    Mat3 s, u;
    Load(s, S);
    double k[3];
    SpectralDecomposition(s, u, k);
    Store(U, u);
    return QxVector(static_cast<float>(k[0]), static_cast<float>(k[1]), static_cast<float>(k[2]));
}

QxQuaternion QxSnuggle(const QxQuaternion& q, QxVector& k)
{
    const float kHalfRoot = 0.70710677f;
    enum Turn
    {
        kTurnX,
        kTurnY,
        kTurnZ,
        kTurnW,
        kTurnNone
    };
    float ka[3] = {k.x, k.y, k.z};
    Turn turn = kTurnNone;
    if (ka[0] == ka[1])
        turn = (ka[0] == ka[2]) ? kTurnW : kTurnZ;
    else if (ka[0] == ka[2])
        turn = kTurnY;
    else if (ka[1] == ka[2])
        turn = kTurnX;

    QxQuaternion p;
    if (turn == kTurnW)
        return Conjugate(q);

    if (turn != kTurnNone) {
        const QxQuaternion xToZ(0.0f, kHalfRoot, 0.0f, kHalfRoot);
        const QxQuaternion yToZ(kHalfRoot, 0.0f, 0.0f, kHalfRoot);
        QxQuaternion qt = q;
        QxQuaternion toZ(0.0f, 0.0f, 0.0f, 1.0f);
        if (turn == kTurnX) {
            qt = Multiply(q, xToZ);
            toZ = xToZ;
            std::swap(ka[0], ka[2]);
        } else if (turn == kTurnY) {
            qt = Multiply(q, yToZ);
            toZ = yToZ;
            std::swap(ka[1], ka[2]);
        }
        qt = Conjugate(qt);
        double mag[3];
        mag[0] = static_cast<double>(qt.z) * qt.z + static_cast<double>(qt.w) * qt.w - 0.5;
        mag[1] = static_cast<double>(qt.x) * qt.z - static_cast<double>(qt.y) * qt.w;
        mag[2] = static_cast<double>(qt.y) * qt.z + static_cast<double>(qt.x) * qt.w;
        bool neg[3];
        for (int i = 0; i < 3; ++i) {
            neg[i] = mag[i] < 0.0;
            mag[i] = std::fabs(mag[i]);
        }
        const int win = mag[0] > mag[1] ? (mag[0] > mag[2] ? 0 : 2) : (mag[1] > mag[2] ? 1 : 2);
        switch (win) {
        case 0: p = neg[0] ? QxQuaternion(1.0f, 0.0f, 0.0f, 0.0f) : QxQuaternion(0.0f, 0.0f, 0.0f, 1.0f); break;
        case 1:
            p = neg[1] ? QxQuaternion(0.5f, 0.5f, -0.5f, -0.5f) : QxQuaternion(0.5f, 0.5f, 0.5f, 0.5f);
            Cycle(ka, false);
            break;
        default:
            p = neg[2] ? QxQuaternion(-0.5f, 0.5f, -0.5f, -0.5f) : QxQuaternion(0.5f, 0.5f, 0.5f, -0.5f);
            Cycle(ka, true);
            break;
        }
        const QxQuaternion qp = Multiply(qt, p);
        const float t = static_cast<float>(std::sqrt(mag[win] + 0.5));
        p = Multiply(p, QxQuaternion(0.0f, 0.0f, -qp.z / t, qp.w / t));
        p = Multiply(toZ, Conjugate(p));
    } else {
        const float qv[4] = {q.x, q.y, q.z, q.w};
        float qa[4], pa[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        bool neg[4];
        bool parity = false;
        for (int i = 0; i < 4; ++i) {
            neg[i] = qv[i] < 0.0f;
            qa[i] = std::fabs(qv[i]);
            parity = parity != neg[i];
        }
        int lo = qa[0] > qa[1] ? 0 : 1;
        int hi = qa[2] > qa[3] ? 2 : 3;
        if (qa[lo] > qa[hi]) {
            if (qa[lo ^ 1] > qa[hi]) {
                hi = lo;
                lo ^= 1;
            } else {
                std::swap(hi, lo);
            }
        } else if (qa[hi ^ 1] > qa[lo]) {
            lo = hi ^ 1;
        }
        const float all = (qa[0] + qa[1] + qa[2] + qa[3]) * 0.5f;
        const float two = (qa[hi] + qa[lo]) * kHalfRoot;
        const float big = qa[hi];
        if (all > two && all > big) {
            for (int i = 0; i < 4; ++i)
                pa[i] = neg[i] ? -0.5f : 0.5f;
            Cycle(ka, parity);
        } else if (all <= two && two > big) {
            pa[hi] = neg[hi] ? -kHalfRoot : kHalfRoot;
            pa[lo] = neg[lo] ? -kHalfRoot : kHalfRoot;
            if (lo > hi)
                std::swap(hi, lo);
            if (hi == 3) {
                static const int partner[3] = {1, 2, 0};
                hi = partner[lo];
                lo = 3 - hi - lo;
            }
            std::swap(ka[hi], ka[lo]);
        } else {
            pa[hi] = neg[hi] ? -1.0f : 1.0f;
        }
        p = QxQuaternion(-pa[0], -pa[1], -pa[2], pa[3]);
    }
    k.Set(ka[0], ka[1], ka[2]);
    return p;
}

float QxDecomposeMatrixEx(const QxMatrix& m, QxQuaternion* rotation, QxVector* position, QxVector* scale,
                          QxQuaternion* scaleOrientation)
{
    float f = 1.0f;
    if (position)
        position->Set(m[3][0], m[3][1], m[3][2]);
    if (!rotation && !scale && !scaleOrientation)
        return f;

    if (!IsFinite(m)) {
        if (rotation)
            *rotation = QxQuaternion();
        if (scale)
            scale->Set(1.0f, 1.0f, 1.0f);
        if (scaleOrientation)
            *scaleOrientation = QxQuaternion();
        return f;
    }

    Mat3 a, q, s;
    Load(a, m);
    const double det = PolarDecomposition(a, q, s);
    if (det < 0.0) {
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                q[i][j] = -q[i][j];
        f = -1.0f;
    }
    if (rotation) {
        QxMatrix qm;
        Store(qm, q);
        QxQuaternionFromMatrix(*rotation, qm);
    }
    if (!scale && !scaleOrientation)
        return f;

    Mat3 u;
    double k[3];
    SpectralDecomposition(s, u, k);
    QxMatrix um;
    Store(um, u);
    QxQuaternion uq;
    QxQuaternionFromMatrix(uq, um);
    QxVector kv(static_cast<float>(k[0]), static_cast<float>(k[1]), static_cast<float>(k[2]));
    const QxQuaternion p = QxSnuggle(uq, kv);
    if (scaleOrientation)
        QxMultiplyQuaternion(*scaleOrientation, uq, p);
    if (scale)
        *scale = kv;
    return f;
}

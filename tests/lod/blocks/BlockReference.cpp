#include "tests/lod/blocks/BlockReference.h"

#include <cmath>
#include <numbers>

#include "lod/blocks/GradientNoise.h"

namespace {

constexpr double kPi = std::numbers::pi;

} // namespace

DRotation AxisTurn(int axis, double yAngle)
{
    if (axis == 0)
        return DRotation::About({0.0, 1.0, 0.0}, -kPi / 2.0);
    if (axis == 1)
        return DRotation::About({1.0, 0.0, 0.0}, yAngle);
    return DRotation::Identity();
}

DVec TwistPoint(const DVec& p, int axis, const DBox& box, double angle, double bias)
{
    const DRotation r = AxisTurn(axis, kPi / 2.0);
    const double h = box.Max[axis] - box.Min[axis];
    DVec q = r.Apply(p);
    double theta;
    if (bias == 0.0) {
        theta = q.z * angle / h;
    } else {
        double b = 1.0 - (bias + 100.0) / 200.0;
        b = std::min(std::max(b, 0.00001), 0.99999);
        const double e = std::log(b) / std::log(0.5);
        const double u = q.z / h;
        theta = angle * std::pow(std::fabs(u), e) * (u < 0.0 ? -1.0 : 1.0);
    }
    const double x = q.x;
    q.x = std::cos(theta) * x + std::sin(theta) * q.y;
    q.y = std::cos(theta) * q.y - std::sin(theta) * x;
    return r.Transposed().Apply(q);
}

DVec TaperPoint(const DVec& p, int axis, const DBox& box, double amount, double curve, bool symmetry, bool first,
                bool second)
{
    const DRotation r = AxisTurn(axis, -kPi / 2.0);
    const double h = box.Max[axis] - box.Min[axis];
    DVec q = r.Apply(p);
    double t = q.z / -h;
    if (symmetry)
        t = std::fabs(t);
    const double s = 1.0 + amount * t + curve * t * (1.0 - t);
    if (first)
        q.x *= s;
    if (second)
        q.y *= s;
    return r.Transposed().Apply(q);
}

DVec StretchPoint(const DVec& p, int axis, const DBox& box, double stretch, double amplify)
{
    const DRotation r = AxisTurn(axis, -kPi / 2.0);
    const double g = amplify >= 0.0 ? 1.0 + amplify : 1.0 / (1.0 - amplify);
    const double a = stretch >= 0.0 ? 1.0 + stretch : 1.0 / (1.0 - stretch);
    const double f = stretch >= 0.0 ? 1.0 / (1.0 + g * stretch) : 1.0 - g * stretch;
    const double range = box.Max[axis] - box.Min[axis];
    DVec q = r.Apply(p);
    const double u = (q.z - box.Min[axis]) / range;
    const double k = 1.0 + 4.0 * (1.0 - f) * u * (u - 1.0);
    q.x *= k;
    q.y *= k;
    q.z *= a;
    return r.Transposed().Apply(q);
}

DVec BendPoint(const DVec& p, const BendSetup& s, DVec* normal)
{
    DRotation m = DRotation::Identity();
    if (s.Axis == 0)
        m = DRotation::About({0.0, 1.0, 0.0}, -kPi / 2.0);
    else if (s.Axis == 1)
        m = DRotation::About({0.0, 0.0, 1.0}, -kPi / 2.0);
    if (s.Direction != 0.0) {
        // First m, then the turn about z: the product m x turn.
        const DRotation turn = DRotation::About({0.0, 0.0, 1.0}, s.Direction);
        DRotation both;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) {
                both.m[i][j] = 0.0;
                for (int k = 0; k < 3; ++k)
                    both.m[i][j] += m.m[i][k] * turn.m[k][j];
            }
        m = both;
    }
    const double a = s.Angle * 0.5;
    const double h = s.Box.Max[s.Axis] - s.Box.Min[s.Axis];
    const double r = h / a;
    const DRotation back = m.Transposed();
    auto bend = [r](double x, double y, double& outX, double& outY) {
        const double theta = kPi - y / r;
        outX = r + std::cos(theta) * (r - x);
        outY = std::sin(theta) * (r - x);
    };
    const DVec q = m.Apply(p);
    double x, y;
    bend(q.x, q.y, x, y);
    if (normal) {
        const DVec n = m.Apply(*normal);
        double tx, ty;
        bend(q.x + n.x, q.y + n.y, tx, ty);
        *normal = back.Apply({tx - x, ty - y, n.z});
    }
    return back.Apply({x, y, q.z});
}

double ReferenceNoise(const GradientNoiseTables& tables, double x, double y, double z)
{
    auto setup = [](double v, int& b0, int& b1, double& r0, double& r1) {
        const double t = (double) (float) (v + 4096.0);
        const int whole = (int) t;
        b0 = whole & 255;
        b1 = (b0 + 1) & 255;
        r0 = t - whole;
        r1 = r0 - 1.0;
    };
    auto s = [](double t) { return t * t * (3.0 - 2.0 * t); };
    auto lerp = [](double t, double a, double b) { return a + t * (b - a); };
    int bx0, bx1, by0, by1, bz0, bz1;
    double rx0, rx1, ry0, ry1, rz0, rz1;
    setup(x, bx0, bx1, rx0, rx1);
    setup(y, by0, by1, ry0, ry1);
    setup(z, bz0, bz1, rz0, rz1);
    const int i = tables.P[bx0];
    const int j = tables.P[bx1];
    const int b00 = tables.P[i + by0];
    const int b10 = tables.P[j + by0];
    const int b01 = tables.P[i + by1];
    const int b11 = tables.P[j + by1];
    auto at = [&](int g, double rx, double ry, double rz) {
        return rx * tables.G3[g][0] + ry * tables.G3[g][1] + rz * tables.G3[g][2];
    };
    const double sx = s(rx0), sy = s(ry0), sz = s(rz0);
    double a = lerp(sx, at(b00 + bz0, rx0, ry0, rz0), at(b10 + bz0, rx1, ry0, rz0));
    double b = lerp(sx, at(b01 + bz0, rx0, ry1, rz0), at(b11 + bz0, rx1, ry1, rz0));
    const double c = lerp(sy, a, b);
    a = lerp(sx, at(b00 + bz1, rx0, ry0, rz1), at(b10 + bz1, rx1, ry0, rz1));
    b = lerp(sx, at(b01 + bz1, rx0, ry1, rz1), at(b11 + bz1, rx1, ry1, rz1));
    const double d = lerp(sy, a, b);
    return lerp(sz, c, d);
}

DVec NoisePoint(const GradientNoiseTables& tables, const DVec& p, double seed, double scale, const DVec& axis)
{
    const double s = seed * 0.01;
    const double x = p.x * scale + 0.5, y = p.y * scale + 0.5, z = p.z * scale + 0.5;
    return {p.x + axis.x * ReferenceNoise(tables, y, z, s), p.y + axis.y * ReferenceNoise(tables, x, z, s),
            p.z + axis.z * ReferenceNoise(tables, x, y, s)};
}

DVec SinePoint(const DVec& p, const DVec& axis, double magnitude, double wave, double time)
{
    DVec out;
    for (int k = 0; k < 3; ++k)
        out[k] = std::cos(wave * time + p[k]) * (p[k] * axis[k] * magnitude) + p[k];
    return out;
}

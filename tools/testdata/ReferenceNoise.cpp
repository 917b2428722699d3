// The published reference gradient noise, transcribed.
#include "tools/testdata/ReferenceNoise.h"

#include <cmath>

#include "core/context/CKRandom.h"

namespace ReferenceNoise {

#define B 0x100
#define BM 0xff
#define N 0x1000

int p[B + B + 2];
float g3[B + B + 2][3];
float g2[B + B + 2][2];
float g1[B + B + 2];

#define s_curve(t) (t * t * (3. - 2. * t))
#define lerp(t, a, b) (a + t * (b - a))
#define setup(i, b0, b1, r0, r1)                                                                                       \
    t = vec[i] + N;                                                                                                    \
    b0 = ((int) t) & BM;                                                                                               \
    b1 = (b0 + 1) & BM;                                                                                                \
    r0 = t - (int) t;                                                                                                  \
    r1 = r0 - 1.;
#define at3(rx, ry, rz) (rx * q[0] + ry * q[1] + rz * q[2])

int random()
{
    return CKRand();
}

void normalize2(float v[2])
{
    float s;
    s = std::sqrt((double) (v[0] * v[0] + v[1] * v[1]));
    v[0] = v[0] / s;
    v[1] = v[1] / s;
}

void normalize3(float v[3])
{
    float s;
    s = std::sqrt((double) (v[0] * v[0] + v[1] * v[1] + v[2] * v[2]));
    v[0] = v[0] / s;
    v[1] = v[1] / s;
    v[2] = v[2] / s;
}

void init()
{
    int i, j, k;
    for (i = 0; i < B; i++) {
        p[i] = i;
        g1[i] = (float) ((random() % (B + B)) - B) / B;
        for (j = 0; j < 2; j++)
            g2[i][j] = (float) ((random() % (B + B)) - B) / B;
        normalize2(g2[i]);
        for (j = 0; j < 3; j++)
            g3[i][j] = (float) ((random() % (B + B)) - B) / B;
        normalize3(g3[i]);
    }
    while (--i) {
        k = p[i];
        p[i] = p[j = random() % B];
        p[j] = k;
    }
    for (i = 0; i < B + 2; i++) {
        p[B + i] = p[i];
        g1[B + i] = g1[i];
        for (j = 0; j < 2; j++)
            g2[B + i][j] = g2[i][j];
        for (j = 0; j < 3; j++)
            g3[B + i][j] = g3[i][j];
    }
}

float noise3(float vec[3])
{
    int bx0, bx1, by0, by1, bz0, bz1, b00, b10, b01, b11;
    float rx0, rx1, ry0, ry1, rz0, rz1, *q, sy, sz, a, b, c, d, t, u, v;
    int i, j;

    setup(0, bx0, bx1, rx0, rx1);
    setup(1, by0, by1, ry0, ry1);
    setup(2, bz0, bz1, rz0, rz1);

    i = p[bx0];
    j = p[bx1];

    b00 = p[i + by0];
    b10 = p[j + by0];
    b01 = p[i + by1];
    b11 = p[j + by1];

    t = s_curve(rx0);
    sy = s_curve(ry0);
    sz = s_curve(rz0);

    q = g3[b00 + bz0];
    u = at3(rx0, ry0, rz0);
    q = g3[b10 + bz0];
    v = at3(rx1, ry0, rz0);
    a = lerp(t, u, v);

    q = g3[b01 + bz0];
    u = at3(rx0, ry1, rz0);
    q = g3[b11 + bz0];
    v = at3(rx1, ry1, rz0);
    b = lerp(t, u, v);

    c = lerp(sy, a, b);

    q = g3[b00 + bz1];
    u = at3(rx0, ry0, rz1);
    q = g3[b10 + bz1];
    v = at3(rx1, ry0, rz1);
    a = lerp(t, u, v);

    q = g3[b01 + bz1];
    u = at3(rx0, ry1, rz1);
    q = g3[b11 + bz1];
    v = at3(rx1, ry1, rz1);
    b = lerp(t, u, v);

    d = lerp(sy, a, b);

    return lerp(sz, c, d);
}

#undef B
#undef BM
#undef N
#undef s_curve
#undef lerp
#undef setup
#undef at3

} // namespace ReferenceNoise

#include "lod/blocks/GradientNoise.h"

#include <cmath>
#include <mutex>

#include "core/context/CKRandom.h"

namespace {

constexpr int kMask = GradientNoiseTables::kSize - 1;
constexpr float kOffset = 4096.0f;

float RandomComponent()
{
    return (float) ((CKRand() & 511) - GradientNoiseTables::kSize) / (float) GradientNoiseTables::kSize;
}

// A zero vector stays zero rather than becoming NaN.
template <int N>
void Normalize(float (&v)[N])
{
    float squared = 0.0f;
    for (int k = 0; k < N; ++k)
        squared += v[k] * v[k];
    const float length = std::sqrt(squared);
    if (length == 0.0f)
        return;
    for (int k = 0; k < N; ++k)
        v[k] = v[k] / length;
}

// The lattice cell of one coordinate: its two corners and the offsets from
// them.
struct Cell
{
    int b0, b1;
    float r0, r1;
};

inline Cell Locate(float coordinate)
{
    float t = coordinate + kOffset;
    // A coordinate with no integer part to take (not a number fails both
    // tests) stands on the lattice point 0.
    if (!(t > -2147483648.0f && t < 2147483648.0f))
        t = 0.0f;
    const int whole = (int) t;
    Cell c;
    c.b0 = whole & kMask;
    c.b1 = (c.b0 + 1) & kMask;
    c.r0 = t - (float) whole;
    c.r1 = c.r0 - 1.0f;
    return c;
}

// 3t^2 - 2t^3, the product taken in double precision as the reference does.
inline float Smooth(float t)
{
    return (float) ((double) (t * t) * (3.0 - 2.0 * (double) t));
}

inline float Lerp(float t, float a, float b)
{
    return a + t * (b - a);
}

inline float Dot(const float* g, float x, float y, float z)
{
    return x * g[0] + y * g[1] + z * g[2];
}

GradientNoiseTables g_Tables;
std::once_flag g_TablesBuilt;

} // namespace

void BuildGradientNoiseTables(GradientNoiseTables& tables)
{
    constexpr int size = GradientNoiseTables::kSize;
    for (int i = 0; i < size; ++i) {
        tables.P[i] = i;
        tables.G1[i] = RandomComponent();
        for (float& g : tables.G2[i])
            g = RandomComponent();
        Normalize(tables.G2[i]);
        for (float& g : tables.G3[i])
            g = RandomComponent();
        Normalize(tables.G3[i]);
    }
    for (int i = size - 1; i > 0; --i) {
        const int j = CKRand() & kMask;
        const int kept = tables.P[i];
        tables.P[i] = tables.P[j];
        tables.P[j] = kept;
    }
    for (int i = 0; i < size + 2; ++i) {
        tables.P[size + i] = tables.P[i];
        tables.G1[size + i] = tables.G1[i];
        for (int k = 0; k < 2; ++k)
            tables.G2[size + i][k] = tables.G2[i][k];
        for (int k = 0; k < 3; ++k)
            tables.G3[size + i][k] = tables.G3[i][k];
    }
}

const GradientNoiseTables& GetGradientNoiseTables()
{
    std::call_once(g_TablesBuilt, [] { BuildGradientNoiseTables(g_Tables); });
    return g_Tables;
}

float GradientNoise3(const GradientNoiseTables& tables, float x, float y, float z)
{
    const Cell cx = Locate(x);
    const Cell cy = Locate(y);
    const Cell cz = Locate(z);
    const int* P = tables.P;
    const int i = P[cx.b0];
    const int j = P[cx.b1];
    const int b00 = P[i + cy.b0];
    const int b10 = P[j + cy.b0];
    const int b01 = P[i + cy.b1];
    const int b11 = P[j + cy.b1];
    const float sx = Smooth(cx.r0);
    const float sy = Smooth(cy.r0);
    const float sz = Smooth(cz.r0);
    const auto& G = tables.G3;

    float u = Dot(G[b00 + cz.b0], cx.r0, cy.r0, cz.r0);
    float v = Dot(G[b10 + cz.b0], cx.r1, cy.r0, cz.r0);
    float a = Lerp(sx, u, v);
    u = Dot(G[b01 + cz.b0], cx.r0, cy.r1, cz.r0);
    v = Dot(G[b11 + cz.b0], cx.r1, cy.r1, cz.r0);
    float b = Lerp(sx, u, v);
    const float c = Lerp(sy, a, b);

    u = Dot(G[b00 + cz.b1], cx.r0, cy.r0, cz.r1);
    v = Dot(G[b10 + cz.b1], cx.r1, cy.r0, cz.r1);
    a = Lerp(sx, u, v);
    u = Dot(G[b01 + cz.b1], cx.r0, cy.r1, cz.r1);
    v = Dot(G[b11 + cz.b1], cx.r1, cy.r1, cz.r1);
    b = Lerp(sx, u, v);
    const float d = Lerp(sy, a, b);
    return Lerp(sz, c, d);
}

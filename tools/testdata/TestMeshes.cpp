#include "tools/testdata/TestMeshes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <random>
#include <sstream>

namespace {

struct V3
{
    double x, y, z;
};

V3 operator-(const V3& a, const V3& b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
V3 operator+(const V3& a, const V3& b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
V3 operator*(const V3& a, double s)
{
    return {a.x * s, a.y * s, a.z * s};
}
double Dot(const V3& a, const V3& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
V3 Cross(const V3& a, const V3& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

V3 Vertex(const TestMesh& m, uint32_t i)
{
    return {m.Positions[3 * i], m.Positions[3 * i + 1], m.Positions[3 * i + 2]};
}

// The squared distance from p to the triangle abc (Ericson's closest point).
double PointTriangle2(const V3& p, const V3& a, const V3& b, const V3& c)
{
    V3 ab = b - a, ac = c - a, ap = p - a;
    double d1 = Dot(ab, ap), d2 = Dot(ac, ap);
    V3 q;
    if (d1 <= 0 && d2 <= 0) {
        q = a;
    } else {
        V3 bp = p - b;
        double d3 = Dot(ab, bp), d4 = Dot(ac, bp);
        if (d3 >= 0 && d4 <= d3) {
            q = b;
        } else {
            double vc = d1 * d4 - d3 * d2;
            if (vc <= 0 && d1 >= 0 && d3 <= 0) {
                q = a + ab * (d1 / (d1 - d3));
            } else {
                V3 cp = p - c;
                double d5 = Dot(ab, cp), d6 = Dot(ac, cp);
                if (d6 >= 0 && d5 <= d6) {
                    q = c;
                } else {
                    double vb = d5 * d2 - d1 * d6;
                    if (vb <= 0 && d2 >= 0 && d6 <= 0) {
                        q = a + ac * (d2 / (d2 - d6));
                    } else {
                        double va = d3 * d6 - d5 * d4;
                        if (va <= 0 && (d4 - d3) >= 0 && (d5 - d6) >= 0) {
                            q = b + (c - b) * ((d4 - d3) / ((d4 - d3) + (d5 - d6)));
                        } else {
                            double denom = 1.0 / (va + vb + vc);
                            q = a + ab * (vb * denom) + ac * (vc * denom);
                        }
                    }
                }
            }
        }
    }
    V3 d = p - q;
    return Dot(d, d);
}

// Triangles of a mesh bucketed in a uniform grid over a box.
class TriangleGrid
{
public:
    TriangleGrid(const TestMesh& mesh, const V3& lo, const V3& hi) : m_Mesh(mesh), m_Lo(lo)
    {
        int faces = std::max(1, mesh.FaceCount());
        V3 size = hi - lo;
        double extent = std::max(std::max(size.x, size.y), size.z);
        // Cells of about the mean edge: a few triangles a cell on a surface.
        double area = 0;
        for (int f = 0; f < mesh.FaceCount(); ++f) {
            V3 a = Vertex(mesh, mesh.Indices[3 * f]);
            V3 n = Cross(Vertex(mesh, mesh.Indices[3 * f + 1]) - a, Vertex(mesh, mesh.Indices[3 * f + 2]) - a);
            area += 0.5 * std::sqrt(Dot(n, n));
        }
        m_Cell = std::max(std::sqrt(area / faces) * 1.5, std::max(extent, 1e-9) / 1024.0);
        // At most about a million cells.
        for (;;) {
            m_N[0] = std::max(1, (int) std::ceil(size.x / m_Cell) + 1);
            m_N[1] = std::max(1, (int) std::ceil(size.y / m_Cell) + 1);
            m_N[2] = std::max(1, (int) std::ceil(size.z / m_Cell) + 1);
            if ((double) m_N[0] * m_N[1] * m_N[2] <= (double) (1 << 20))
                break;
            m_Cell *= 1.25;
        }
        m_Cells.resize((size_t) m_N[0] * m_N[1] * m_N[2]);
        for (int f = 0; f < mesh.FaceCount(); ++f) {
            V3 p[3] = {Vertex(mesh, mesh.Indices[3 * f]), Vertex(mesh, mesh.Indices[3 * f + 1]),
                       Vertex(mesh, mesh.Indices[3 * f + 2])};
            int c0[3], c1[3];
            for (int k = 0; k < 3; ++k) {
                double mn = std::min({Get(p[0], k), Get(p[1], k), Get(p[2], k)});
                double mx = std::max({Get(p[0], k), Get(p[1], k), Get(p[2], k)});
                c0[k] = Clamp(k, (int) std::floor((mn - Get(m_Lo, k)) / m_Cell));
                c1[k] = Clamp(k, (int) std::floor((mx - Get(m_Lo, k)) / m_Cell));
            }
            for (int z = c0[2]; z <= c1[2]; ++z)
                for (int y = c0[1]; y <= c1[1]; ++y)
                    for (int x = c0[0]; x <= c1[0]; ++x)
                        m_Cells[Index(x, y, z)].push_back(f);
        }
        m_Seen.assign((size_t) mesh.FaceCount(), 0);
    }

    double Distance(const V3& p)
    {
        ++m_Stamp;
        int c[3];
        for (int k = 0; k < 3; ++k)
            c[k] = Clamp(k, (int) std::floor((Get(p, k) - Get(m_Lo, k)) / m_Cell));
        // How far p lies outside the cell it was clamped to.
        double outside = 0;
        for (int k = 0; k < 3; ++k) {
            double lo = Get(m_Lo, k) + c[k] * m_Cell, hi = lo + m_Cell;
            double d = Get(p, k) < lo ? lo - Get(p, k) : (Get(p, k) > hi ? Get(p, k) - hi : 0);
            outside = std::max(outside, d);
        }
        double best2 = 1e300;
        int maxRing = std::max({m_N[0], m_N[1], m_N[2]});
        for (int r = 0; r <= maxRing; ++r) {
            for (int z = c[2] - r; z <= c[2] + r; ++z)
                for (int y = c[1] - r; y <= c[1] + r; ++y)
                    for (int x = c[0] - r; x <= c[0] + r; ++x) {
                        if (std::max({std::abs(x - c[0]), std::abs(y - c[1]), std::abs(z - c[2])}) != r)
                            continue;
                        if (x < 0 || y < 0 || z < 0 || x >= m_N[0] || y >= m_N[1] || z >= m_N[2])
                            continue;
                        for (int f : m_Cells[Index(x, y, z)]) {
                            if (m_Seen[(size_t) f] == m_Stamp)
                                continue;
                            m_Seen[(size_t) f] = m_Stamp;
                            best2 = std::min(best2, PointTriangle2(p, Vertex(m_Mesh, m_Mesh.Indices[3 * f]),
                                                                   Vertex(m_Mesh, m_Mesh.Indices[3 * f + 1]),
                                                                   Vertex(m_Mesh, m_Mesh.Indices[3 * f + 2])));
                        }
                    }
            // Whatever lies beyond ring r is at least this far.
            double bound = std::max(0.0, r * m_Cell - outside);
            if (best2 < 1e300 && best2 <= bound * bound)
                break;
        }
        return std::sqrt(best2);
    }

private:
    static double Get(const V3& v, int k) { return k == 0 ? v.x : (k == 1 ? v.y : v.z); }
    int Clamp(int k, int c) const { return c < 0 ? 0 : (c >= m_N[k] ? m_N[k] - 1 : c); }
    size_t Index(int x, int y, int z) const { return ((size_t) z * m_N[1] + y) * m_N[0] + x; }

    const TestMesh& m_Mesh;
    V3 m_Lo;
    double m_Cell = 1;
    int m_N[3] = {1, 1, 1};
    std::vector<std::vector<int>> m_Cells;
    std::vector<int> m_Seen;
    int m_Stamp = 0;
};

void Bounds(const TestMesh& m, V3& lo, V3& hi)
{
    for (int i = 0; i < m.VertexCount(); ++i) {
        V3 p = Vertex(m, (uint32_t) i);
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
    }
}

// The largest distance from the vertices and random points of a to b.
double Directed(const TestMesh& a, TriangleGrid& b, int samples, uint32_t seed)
{
    double worst = 0;
    std::vector<char> used((size_t) a.VertexCount(), 0);
    for (uint32_t i : a.Indices)
        used[i] = 1;
    for (int i = 0; i < a.VertexCount(); ++i)
        if (used[(size_t) i])
            worst = std::max(worst, b.Distance(Vertex(a, (uint32_t) i)));
    // Area-weighted faces, uniform points in them.
    std::vector<double> cumulative;
    double total = 0;
    for (int f = 0; f < a.FaceCount(); ++f) {
        V3 p0 = Vertex(a, a.Indices[3 * f]);
        V3 n = Cross(Vertex(a, a.Indices[3 * f + 1]) - p0, Vertex(a, a.Indices[3 * f + 2]) - p0);
        total += 0.5 * std::sqrt(Dot(n, n));
        cumulative.push_back(total);
    }
    if (total <= 0)
        return worst;
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int s = 0; s < samples; ++s) {
        size_t f = (size_t) (std::lower_bound(cumulative.begin(), cumulative.end(), unit(random) * total) -
                             cumulative.begin());
        f = std::min(f, cumulative.size() - 1);
        double r1 = std::sqrt(unit(random)), r2 = unit(random);
        V3 p0 = Vertex(a, a.Indices[3 * f]), p1 = Vertex(a, a.Indices[3 * f + 1]), p2 = Vertex(a, a.Indices[3 * f + 2]);
        V3 p = p0 * (1 - r1) + p1 * (r1 * (1 - r2)) + p2 * (r1 * r2);
        worst = std::max(worst, b.Distance(p));
    }
    return worst;
}

} // namespace

TestMesh GridTestMesh(int side)
{
    TestMesh mesh;
    std::mt19937 random(256);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    const double pi = 3.14159265358979323846;
    for (int j = 0; j < side; ++j)
        for (int i = 0; i < side; ++i) {
            double x = (double) i / (side - 1), y = (double) j / (side - 1);
            double z = 0.08 * std::sin(2 * pi * 2 * x) * std::cos(2 * pi * 1.5 * y) +
                       0.05 * std::sin(2 * pi * 5 * x * y) + 0.002 * noise(random);
            mesh.Positions.insert(mesh.Positions.end(), {(float) x, (float) y, (float) z});
        }
    for (int j = 0; j + 1 < side; ++j)
        for (int i = 0; i + 1 < side; ++i) {
            uint32_t a = (uint32_t) (j * side + i), b = a + 1, c = a + (uint32_t) side, d = c + 1;
            mesh.Indices.insert(mesh.Indices.end(), {a, b, d, a, d, c});
        }
    return mesh;
}

TestMesh ReadObjTestMesh(const std::string& path)
{
    TestMesh mesh;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string kind;
        words >> kind;
        if (kind == "v") {
            float x, y, z;
            if (!(words >> x >> y >> z))
                return TestMesh();
            mesh.Positions.insert(mesh.Positions.end(), {x, y, z});
        } else if (kind == "f") {
            long a, b, c;
            if (!(words >> a >> b >> c))
                return TestMesh();
            for (long v : {a, b, c}) {
                if (v < 1)
                    return TestMesh();
                mesh.Indices.push_back((uint32_t) (v - 1));
            }
        }
    }
    for (uint32_t i : mesh.Indices)
        if ((int) i >= mesh.VertexCount())
            return TestMesh();
    return mesh;
}

TestMesh BunnyTestMesh()
{
    return ReadObjTestMesh(std::string(ENGINE_SOURCE_DIR) + "/samples/bunny/bunny.obj");
}

double SampledHausdorffDistance(const TestMesh& a, const TestMesh& b, int samples, uint32_t seed)
{
    V3 lo{1e300, 1e300, 1e300}, hi{-1e300, -1e300, -1e300};
    Bounds(a, lo, hi);
    Bounds(b, lo, hi);
    TriangleGrid gridA(a, lo, hi), gridB(b, lo, hi);
    return std::max(Directed(a, gridB, samples, seed), Directed(b, gridA, samples, seed + 1));
}

double BoxDiagonal(const TestMesh& mesh)
{
    V3 lo{1e300, 1e300, 1e300}, hi{-1e300, -1e300, -1e300};
    Bounds(mesh, lo, hi);
    V3 d = hi - lo;
    return std::sqrt(Dot(d, d));
}

int UsedVertexCount(const TestMesh& mesh)
{
    std::vector<char> used((size_t) mesh.VertexCount(), 0);
    int count = 0;
    for (uint32_t i : mesh.Indices)
        if (!used[i]) {
            used[i] = 1;
            ++count;
        }
    return count;
}

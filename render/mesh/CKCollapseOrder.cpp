#include "render/mesh/CKCollapseOrder.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <queue>

namespace {

// Planes across open edges weigh this much more than the faces (per squared
// edge length against area), so that borders move only along themselves.
constexpr double kBorderWeight = 10.0;

struct Vec3
{
    double x, y, z;
};

Vec3 Sub(const Vec3& a, const Vec3& b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec3 Cross(const Vec3& a, const Vec3& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Dot(const Vec3& a, const Vec3& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// The squared distance to a weighted set of planes, as a symmetric 4 x 4
// matrix (upper triangle).
struct Quadric
{
    double a00 = 0, a01 = 0, a02 = 0, a03 = 0, a11 = 0, a12 = 0, a13 = 0, a22 = 0, a23 = 0, a33 = 0;

    // The plane n.p + d = 0 (n of unit length), weighted.
    void AddPlane(const Vec3& n, double d, double w)
    {
        a00 += w * n.x * n.x;
        a01 += w * n.x * n.y;
        a02 += w * n.x * n.z;
        a03 += w * n.x * d;
        a11 += w * n.y * n.y;
        a12 += w * n.y * n.z;
        a13 += w * n.y * d;
        a22 += w * n.z * n.z;
        a23 += w * n.z * d;
        a33 += w * d * d;
    }
    void Add(const Quadric& q)
    {
        a00 += q.a00;
        a01 += q.a01;
        a02 += q.a02;
        a03 += q.a03;
        a11 += q.a11;
        a12 += q.a12;
        a13 += q.a13;
        a22 += q.a22;
        a23 += q.a23;
        a33 += q.a33;
    }
    double Error(const Vec3& p) const
    {
        return a00 * p.x * p.x + 2 * a01 * p.x * p.y + 2 * a02 * p.x * p.z + 2 * a03 * p.x + a11 * p.y * p.y +
               2 * a12 * p.y * p.z + 2 * a13 * p.y + a22 * p.z * p.z + 2 * a23 * p.z + a33;
    }
};

struct Candidate
{
    double Cost;
    int Vertex;
    int Target;
    int Version;
    // The least cost on top; equal costs by vertex number, for one order.
    bool operator<(const Candidate& o) const { return Cost != o.Cost ? Cost > o.Cost : Vertex > o.Vertex; }
};

class Collapser
{
public:
    Collapser(const float* positions, int stride, int vertexCount, const CKDWORD* faceIndices, int faceCount);
    void Run(CKCollapseOrder& order);

private:
    void AddFaceQuadrics();
    void AddBorderQuadrics();
    // The vertices sharing a face with v, each once.
    const std::vector<int>& Neighbours(int v);
    int EdgeFaces(int u, int v) const;
    // The best target of u and its cost; -1 when u cannot move.
    int BestTarget(int u, double& cost);
    bool CanCollapse(int u, int v, bool uOnBorder);
    void Collapse(int u, int v);
    void Evaluate(int u);

    int m_VertexCount;
    std::vector<Vec3> m_Positions;
    std::vector<int> m_Faces; // three corners a face
    std::vector<char> m_FaceAlive;
    std::vector<std::vector<int>> m_VertexFaces;
    std::vector<Quadric> m_Quadrics;
    std::vector<char> m_Removed;
    std::vector<int> m_Version;
    std::vector<int> m_Mark;
    std::vector<int> m_Mark2;
    int m_Stamp = 0;
    int m_Stamp2 = 0;
    int m_AroundStamp = 0;
    std::vector<int> m_Scratch;
    std::vector<int> m_Around;
    std::vector<int> m_Shared; // faces a neighbour shares with the vertex of the last Neighbours
    std::vector<std::pair<double, int>> m_Costs;
    std::vector<int> m_Scratch2;
    std::priority_queue<Candidate> m_Heap;
    std::vector<int> m_Collapsed; // in collapse order
    std::vector<int> m_Target;    // old numbering
};

Collapser::Collapser(const float* positions, int stride, int vertexCount, const CKDWORD* faceIndices, int faceCount)
    : m_VertexCount(vertexCount)
{
    m_Positions.resize((size_t) vertexCount);
    const char* bytes = reinterpret_cast<const char*>(positions);
    for (int i = 0; i < vertexCount; ++i) {
        float p[3];
        std::memcpy(p, bytes + (size_t) i * (size_t) stride, sizeof(p));
        m_Positions[(size_t) i] = {p[0], p[1], p[2]};
    }
    m_VertexFaces.resize((size_t) vertexCount);
    for (int f = 0; f < faceCount; ++f) {
        CKDWORD a = faceIndices[3 * f], b = faceIndices[3 * f + 1], c = faceIndices[3 * f + 2];
        if (a >= (CKDWORD) vertexCount || b >= (CKDWORD) vertexCount || c >= (CKDWORD) vertexCount || a == b ||
            b == c || a == c)
            continue;
        int id = (int) m_FaceAlive.size();
        m_Faces.insert(m_Faces.end(), {(int) a, (int) b, (int) c});
        m_FaceAlive.push_back(1);
        for (CKDWORD v : {a, b, c})
            m_VertexFaces[v].push_back(id);
    }
    m_Quadrics.resize((size_t) vertexCount);
    m_Removed.assign((size_t) vertexCount, 0);
    m_Version.assign((size_t) vertexCount, 0);
    m_Mark.assign((size_t) vertexCount, 0);
    m_Mark2.assign((size_t) vertexCount, 0);
    m_Shared.assign((size_t) vertexCount, 0);
    m_Target.assign((size_t) vertexCount, -1);
}

void Collapser::AddFaceQuadrics()
{
    for (size_t f = 0; f < m_FaceAlive.size(); ++f) {
        const int* c = &m_Faces[3 * f];
        const Vec3& p0 = m_Positions[(size_t) c[0]];
        Vec3 n = Cross(Sub(m_Positions[(size_t) c[1]], p0), Sub(m_Positions[(size_t) c[2]], p0));
        double length = std::sqrt(Dot(n, n));
        if (!(length > 0.0))
            continue;
        Vec3 unit = {n.x / length, n.y / length, n.z / length};
        double area = 0.5 * length;
        Quadric q;
        q.AddPlane(unit, -Dot(unit, p0), area);
        for (int k = 0; k < 3; ++k)
            m_Quadrics[(size_t) c[k]].Add(q);
    }
}

void Collapser::AddBorderQuadrics()
{
    for (size_t f = 0; f < m_FaceAlive.size(); ++f) {
        const int* c = &m_Faces[3 * f];
        const Vec3& p0 = m_Positions[(size_t) c[0]];
        Vec3 normal = Cross(Sub(m_Positions[(size_t) c[1]], p0), Sub(m_Positions[(size_t) c[2]], p0));
        for (int k = 0; k < 3; ++k) {
            int a = c[k], b = c[(k + 1) % 3];
            if (EdgeFaces(a, b) == 2)
                continue;
            // The plane through the edge, upright on the face.
            Vec3 edge = Sub(m_Positions[(size_t) b], m_Positions[(size_t) a]);
            Vec3 n = Cross(edge, normal);
            double length = std::sqrt(Dot(n, n));
            if (!(length > 0.0))
                continue;
            Vec3 unit = {n.x / length, n.y / length, n.z / length};
            Quadric q;
            q.AddPlane(unit, -Dot(unit, m_Positions[(size_t) a]), kBorderWeight * Dot(edge, edge));
            m_Quadrics[(size_t) a].Add(q);
            m_Quadrics[(size_t) b].Add(q);
        }
    }
}

const std::vector<int>& Collapser::Neighbours(int v)
{
    ++m_Stamp;
    m_Scratch.clear();
    m_Mark[(size_t) v] = m_Stamp;
    for (int f : m_VertexFaces[(size_t) v])
        for (int k = 0; k < 3; ++k) {
            int w = m_Faces[3 * (size_t) f + (size_t) k];
            if (w == v)
                continue;
            if (m_Mark[(size_t) w] != m_Stamp) {
                m_Mark[(size_t) w] = m_Stamp;
                m_Shared[(size_t) w] = 0;
                m_Scratch.push_back(w);
            }
            ++m_Shared[(size_t) w];
        }
    return m_Scratch;
}

int Collapser::EdgeFaces(int u, int v) const
{
    int count = 0;
    for (int f : m_VertexFaces[(size_t) u]) {
        const int* c = &m_Faces[3 * (size_t) f];
        count += (c[0] == v || c[1] == v || c[2] == v) ? 1 : 0;
    }
    return count;
}

bool Collapser::CanCollapse(int u, int v, bool uOnBorder)
{
    int shared = m_Shared[(size_t) v];
    if (shared < 1 || shared > 2 || (uOnBorder && shared != 1))
        return false;
    // Link condition: the only vertices next to both are those of the faces
    // on the edge, else the surface would be pinched. u's neighbours carry
    // the stamp m_AroundStamp (BestTarget set it).
    ++m_Stamp2;
    int common = 0;
    for (int f : m_VertexFaces[(size_t) v])
        for (int k = 0; k < 3; ++k) {
            int w = m_Faces[3 * (size_t) f + (size_t) k];
            if (w != u && w != v && m_Mark[(size_t) w] == m_AroundStamp && m_Mark2[(size_t) w] != m_Stamp2) {
                m_Mark2[(size_t) w] = m_Stamp2;
                ++common;
            }
        }
    if (common != shared)
        return false;
    // No face may turn over or flatten to nothing.
    const Vec3& to = m_Positions[(size_t) v];
    for (int f : m_VertexFaces[(size_t) u]) {
        const int* c = &m_Faces[3 * (size_t) f];
        if (c[0] == v || c[1] == v || c[2] == v)
            continue;
        Vec3 p[3], q[3];
        for (int k = 0; k < 3; ++k) {
            p[k] = m_Positions[(size_t) c[k]];
            q[k] = c[k] == u ? to : p[k];
        }
        Vec3 before = Cross(Sub(p[1], p[0]), Sub(p[2], p[0]));
        Vec3 after = Cross(Sub(q[1], q[0]), Sub(q[2], q[0]));
        if (!(Dot(before, after) > 0.0))
            return false;
    }
    return true;
}

int Collapser::BestTarget(int u, double& cost)
{
    Neighbours(u);
    m_Around.swap(m_Scratch);
    m_AroundStamp = m_Stamp;
    // A vertex on an open edge is on a border; one on an edge of more than
    // two faces stays.
    bool onBorder = false;
    for (int w : m_Around) {
        if (m_Shared[(size_t) w] > 2)
            return -1;
        onBorder = onBorder || m_Shared[(size_t) w] == 1;
    }
    // The cheapest target that passes the checks.
    m_Costs.clear();
    for (int v : m_Around) {
        Quadric q = m_Quadrics[(size_t) u];
        q.Add(m_Quadrics[(size_t) v]);
        double c = q.Error(m_Positions[(size_t) v]);
        if (std::isfinite(c))
            m_Costs.push_back({c < 0.0 ? 0.0 : c, v});
    }
    std::sort(m_Costs.begin(), m_Costs.end());
    for (const std::pair<double, int>& candidate : m_Costs)
        if (CanCollapse(u, candidate.second, onBorder)) {
            cost = candidate.first;
            return candidate.second;
        }
    return -1;
}

void Collapser::Evaluate(int u)
{
    int version = ++m_Version[(size_t) u];
    double cost = 0.0;
    int target = BestTarget(u, cost);
    if (target >= 0)
        m_Heap.push({cost, u, target, version});
}

void Collapser::Collapse(int u, int v)
{
    for (int f : m_VertexFaces[(size_t) u]) {
        int* c = &m_Faces[3 * (size_t) f];
        if (c[0] == v || c[1] == v || c[2] == v) {
            m_FaceAlive[(size_t) f] = 0;
            for (int k = 0; k < 3; ++k) {
                if (c[k] == u)
                    continue;
                std::vector<int>& list = m_VertexFaces[(size_t) c[k]];
                list.erase(std::find(list.begin(), list.end(), f));
            }
        } else {
            for (int k = 0; k < 3; ++k)
                if (c[k] == u)
                    c[k] = v;
            m_VertexFaces[(size_t) v].push_back(f);
        }
    }
    m_VertexFaces[(size_t) u].clear();
    m_Removed[(size_t) u] = 1;
    m_Quadrics[(size_t) v].Add(m_Quadrics[(size_t) u]);
    m_Target[(size_t) u] = v;
    m_Collapsed.push_back(u);
}

void Collapser::Run(CKCollapseOrder& order)
{
    std::vector<char> used((size_t) m_VertexCount, 0);
    for (int c : m_Faces)
        used[(size_t) c] = 1;
    AddFaceQuadrics();
    AddBorderQuadrics();
    for (int u = 0; u < m_VertexCount; ++u)
        if (used[(size_t) u])
            Evaluate(u);
    while (!m_Heap.empty()) {
        Candidate top = m_Heap.top();
        m_Heap.pop();
        if (m_Removed[(size_t) top.Vertex] || top.Version != m_Version[(size_t) top.Vertex])
            continue;
        if (m_Removed[(size_t) top.Target]) {
            // The target went first, through a face this vertex lost with
            // it: a vertex never collapses onto one already gone (its
            // number would not be lower).
            Evaluate(top.Vertex);
            continue;
        }
        Collapse(top.Vertex, top.Target);
        m_Scratch2 = Neighbours(top.Target);
        Evaluate(top.Target);
        for (int w : m_Scratch2)
            Evaluate(w);
    }

    // Kept vertices first, in their order; then the collapsed ones, the
    // last collapsed first; the unused ones last.
    order.NewIndex.assign((size_t) m_VertexCount, -1);
    order.CollapseTo.assign((size_t) m_VertexCount, -1);
    int next = 0;
    for (int v = 0; v < m_VertexCount; ++v)
        if (used[(size_t) v] && !m_Removed[(size_t) v])
            order.NewIndex[(size_t) v] = next++;
    order.BaseCount = next;
    for (auto it = m_Collapsed.rbegin(); it != m_Collapsed.rend(); ++it)
        order.NewIndex[(size_t) *it] = next++;
    for (int v = 0; v < m_VertexCount; ++v)
        if (!used[(size_t) v])
            order.NewIndex[(size_t) v] = next++;
    for (int u : m_Collapsed)
        order.CollapseTo[(size_t) order.NewIndex[(size_t) u]] = order.NewIndex[(size_t) m_Target[(size_t) u]];
}

} // namespace

bool CKBuildCollapseOrder(const float* positions, int stride, int vertexCount, const CKDWORD* faceIndices,
                          int faceCount, CKCollapseOrder& order)
{
    order = CKCollapseOrder();
    if (vertexCount < 0 || faceCount < 0 || (vertexCount > 0 && (!positions || stride < 12)) ||
        (faceCount > 0 && !faceIndices))
        return false;
    Collapser collapser(positions, stride, vertexCount, faceIndices, faceCount);
    collapser.Run(order);
    return true;
}

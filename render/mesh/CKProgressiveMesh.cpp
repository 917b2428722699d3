#include "render/mesh/CKProgressiveMesh.h"

#include <cstddef>

namespace {

// The vertices that never collapse are the first ones.
int LeadingBase(const std::vector<int>& targets)
{
    int base = 0;
    while (base < (int) targets.size() && targets[(size_t) base] < 0)
        ++base;
    return base;
}

} // namespace

bool CKProgressiveMesh::Build(const float* positions, int stride, int vertexCount, const CKDWORD* faceIndices,
                              int faceCount)
{
    *this = CKProgressiveMesh();
    return CKBuildCollapseOrder(positions, stride, vertexCount, faceIndices, faceCount, m_Order);
}

bool CKProgressiveMesh::SetCollapseTargets(const int* targets, int count)
{
    if (count < 0 || (count > 0 && !targets))
        return false;
    for (int v = 0; v < count; ++v)
        if (targets[v] < -1 || targets[v] >= v)
            return false;
    const int rendered = m_VerticesRendered, morph = m_MorphEnabled, steps = m_MorphSteps;
    *this = CKProgressiveMesh();
    m_VerticesRendered = rendered;
    m_MorphEnabled = morph;
    m_MorphSteps = steps;
    m_Order.CollapseTo.assign(targets, targets + count);
    m_Order.BaseCount = LeadingBase(m_Order.CollapseTo);
    if (m_VerticesRendered > count)
        m_VerticesRendered = count;
    return true;
}

int CKProgressiveMesh::GetCollapseTarget(int vertex) const
{
    return vertex >= 0 && vertex < GetVertexCount() ? m_Order.CollapseTo[(size_t) vertex] : -1;
}

int CKProgressiveMesh::GetRenderedVertex(int vertex, int count) const
{
    if (vertex < 0 || vertex >= GetVertexCount())
        return -1;
    return Ancestor(vertex, count);
}

void CKProgressiveMesh::Resize(int vertexCount)
{
    if (vertexCount < 0)
        vertexCount = 0;
    if (vertexCount == GetVertexCount())
        return;
    // Targets have lower numbers, so the vertices kept still end their
    // chains among themselves.
    std::vector<int> targets = m_Order.CollapseTo;
    targets.resize((size_t) vertexCount, -1);
    SetCollapseTargets(targets.data(), vertexCount);
}

void CKProgressiveMesh::RemoveVertices(const int* table, int count)
{
    const int n = GetVertexCount() < count ? GetVertexCount() : count;
    std::vector<int> targets;
    int rendered = m_VerticesRendered;
    for (int v = 0; v < n; ++v) {
        if (table[v] < 0) {
            // The count drawn keeps the same kept vertices drawn.
            if (m_VerticesRendered > v)
                --rendered;
            continue;
        }
        int t = m_Order.CollapseTo[(size_t) v];
        while (t >= 0 && table[t] < 0)
            t = m_Order.CollapseTo[(size_t) t];
        targets.push_back(t < 0 ? -1 : table[t]);
    }
    m_VerticesRendered = rendered;
    SetCollapseTargets(targets.data(), (int) targets.size());
}

void CKProgressiveMesh::SetVerticesRendered(int count)
{
    int n = GetVertexCount();
    m_VerticesRendered = count < 0 ? 0 : (count > n ? n : count);
}

int CKProgressiveMesh::GetTargetVertexCount() const
{
    return m_VerticesRendered < 0 ? GetVertexCount() : m_VerticesRendered;
}

int CKProgressiveMesh::Ancestor(int v, int count) const
{
    while (v >= count && v >= 0)
        v = m_Order.CollapseTo[(size_t) v];
    return v;
}

void CKProgressiveMesh::BuildFacesFor(const CKDWORD* faceIndices, int faceCount, int count)
{
    int n = GetVertexCount();
    if (count > n)
        count = n;
    // Each vertex's stand-in: its target's, found first since targets have
    // lower numbers.
    m_Map.resize((size_t) n);
    for (int v = 0; v < n; ++v) {
        int to = m_Order.CollapseTo[(size_t) v];
        m_Map[(size_t) v] = v < count ? v : (to < 0 ? -1 : m_Map[(size_t) to]);
    }
    if (!faceIndices || faceCount < 0)
        faceCount = 0;
    m_Faces.assign((size_t) faceCount * 3, CKPM_DROPPED);
    m_DrawnFaces = 0;
    for (int f = 0; f < faceCount; ++f) {
        const CKDWORD* corner = faceIndices + 3 * (size_t) f;
        if (corner[0] >= (CKDWORD) n || corner[1] >= (CKDWORD) n || corner[2] >= (CKDWORD) n)
            continue;
        int a = m_Map[corner[0]], b = m_Map[corner[1]], c = m_Map[corner[2]];
        if (a < 0 || b < 0 || c < 0 || a == b || b == c || a == c)
            continue;
        CKDWORD* out = m_Faces.data() + 3 * (size_t) f;
        out[0] = (CKDWORD) a;
        out[1] = (CKDWORD) b;
        out[2] = (CKDWORD) c;
        ++m_DrawnFaces;
    }
    m_DrawnCount = count;
}

void CKProgressiveMesh::BuildFaces(const CKDWORD* faceIndices, int faceCount)
{
    BuildFacesFor(faceIndices, faceCount, m_DrawnCount < 0 ? GetTargetVertexCount() : m_DrawnCount);
    if (m_ShownCount < 0)
        m_ShownCount = m_DrawnCount;
}

int CKProgressiveMesh::Update(const CKDWORD* faceIndices, int faceCount, const CKVertex* vertices, int vertexCount)
{
    const int drawn = m_DrawnCount;
    // The morphed copy is taken from the mesh's vertices: never more than
    // it has.
    if (vertexCount < GetVertexCount())
        Resize(vertexCount);
    int target = GetTargetVertexCount();
    bool morph = m_MorphEnabled && m_MorphSteps > 0 && m_ShownCount >= 0 && vertices;
    if (morph && (m_MorphFrom < 0 || target != m_MorphTo)) {
        if (target == m_ShownCount) {
            m_MorphFrom = -1;
            morph = false;
        } else {
            // A new transition starts from what is shown.
            m_MorphFrom = m_ShownCount;
            m_MorphTo = target;
            m_MorphDone = 0;
        }
    }
    if (!morph) {
        const bool wasMorphing = !m_Morphed.empty();
        if (target != drawn || m_Faces.size() != (size_t) (faceCount < 0 ? 0 : faceCount) * 3)
            BuildFacesFor(faceIndices, faceCount, target);
        m_ShownCount = target;
        m_MorphFrom = -1;
        m_Morphed.clear();
        return (m_DrawnCount != drawn ? CKPM_FACESCHANGED : 0) | (wasMorphing ? CKPM_VERTICESMOVED : 0);
    }

    ++m_MorphDone;
    int fine = m_MorphFrom > m_MorphTo ? m_MorphFrom : m_MorphTo;
    int coarse = m_MorphFrom > m_MorphTo ? m_MorphTo : m_MorphFrom;
    if (fine != drawn)
        BuildFacesFor(faceIndices, faceCount, fine);
    float progress = (float) m_MorphDone / (float) m_MorphSteps;
    // How much of its own position a vertex between the counts shows.
    float own = m_MorphTo > m_MorphFrom ? progress : 1.0f - progress;
    m_Morphed.assign(vertices, vertices + fine);
    for (int v = coarse; v < fine; ++v) {
        int a = Ancestor(v, coarse);
        if (a < 0)
            continue;
        const QxVector& from = vertices[a].Position;
        m_Morphed[(size_t) v].Position = from + (vertices[v].Position - from) * own;
    }
    if (m_MorphDone >= m_MorphSteps) {
        m_ShownCount = m_MorphTo;
        m_MorphFrom = -1;
    }
    return (m_DrawnCount != drawn ? CKPM_FACESCHANGED : 0) | CKPM_VERTICESMOVED;
}

int CKProgressiveMesh::GetMemoryOccupation() const
{
    return (int) (sizeof(*this) +
                  sizeof(int) * (m_Order.NewIndex.capacity() + m_Order.CollapseTo.capacity() + m_Map.capacity()) +
                  sizeof(CKDWORD) * m_Faces.capacity() + sizeof(CKVertex) * m_Morphed.capacity());
}

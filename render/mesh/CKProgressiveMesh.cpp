#include "render/mesh/CKProgressiveMesh.h"

#include <cstddef>

bool CKProgressiveMesh::Build(const float* positions, int stride, int vertexCount, const CKDWORD* faceIndices,
                              int faceCount)
{
    *this = CKProgressiveMesh();
    return CKBuildCollapseOrder(positions, stride, vertexCount, faceIndices, faceCount, m_Order);
}

int CKProgressiveMesh::GetCollapseTarget(int vertex) const
{
    return vertex >= 0 && vertex < GetVertexCount() ? m_Order.CollapseTo[(size_t) vertex] : -1;
}

void CKProgressiveMesh::SetVerticesRendered(int count)
{
    int n = GetVertexCount();
    m_VerticesRendered = count < 0 ? 0 : (count > n ? n : count);
}

int CKProgressiveMesh::Ancestor(int v, int count) const
{
    while (v >= count && v >= 0)
        v = m_Order.CollapseTo[(size_t) v];
    return v;
}

void CKProgressiveMesh::BuildFaces(const CKDWORD* faceIndices, int faceCount, int count)
{
    int n = GetVertexCount();
    // Each vertex's stand-in: its target's, found first since targets have
    // lower numbers.
    m_Map.resize((size_t) n);
    for (int v = 0; v < n; ++v) {
        int to = m_Order.CollapseTo[(size_t) v];
        m_Map[(size_t) v] = v < count ? v : (to < 0 ? -1 : m_Map[(size_t) to]);
    }
    m_Faces.clear();
    for (int f = 0; f < faceCount && faceIndices; ++f) {
        const CKDWORD* corner = faceIndices + 3 * f;
        if (corner[0] >= (CKDWORD) n || corner[1] >= (CKDWORD) n || corner[2] >= (CKDWORD) n)
            continue;
        int a = m_Map[corner[0]], b = m_Map[corner[1]], c = m_Map[corner[2]];
        if (a < 0 || b < 0 || c < 0 || a == b || b == c || a == c)
            continue;
        m_Faces.insert(m_Faces.end(), {(CKDWORD) a, (CKDWORD) b, (CKDWORD) c});
    }
    m_DrawnCount = count;
}

void CKProgressiveMesh::Update(const CKDWORD* faceIndices, int faceCount, const CKVertex* vertices)
{
    int n = GetVertexCount();
    int target = m_VerticesRendered < 0 ? n : m_VerticesRendered;
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
        BuildFaces(faceIndices, faceCount, target);
        m_ShownCount = target;
        m_MorphFrom = -1;
        m_Morphed.clear();
        return;
    }

    ++m_MorphDone;
    int fine = m_MorphFrom > m_MorphTo ? m_MorphFrom : m_MorphTo;
    int coarse = m_MorphFrom > m_MorphTo ? m_MorphTo : m_MorphFrom;
    BuildFaces(faceIndices, faceCount, fine);
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
}

#include "exporter/geometry/HostMeshView.h"

#include <cmath>

#include "exporter/options/Max2Qdx.h"
#include "exporter/report/ReportPrintf.h"
#include "platform/host/Mesh.h"

void IndexFaults::Report(Max2Qdx* exporter, const char* name) const
{
    const char* n = name ? name : "";
    if (faces)
        ReportPrintf(exporter, 1, "\r\nMesh %s : %d faces name a vertex out of range and were left out", n, faces);
    if (positions)
        ReportPrintf(exporter, 1, "\r\nMesh %s : %d vertices are not finite numbers", n, positions);
    if (coordinates)
        ReportPrintf(exporter, 1, "\r\nMesh %s : %d texture coordinates out of range were read as (0, 0)", n,
                     coordinates);
    if (colours)
        ReportPrintf(exporter, 1, "\r\nMesh %s : %d vertex colours out of range were read as white", n, colours);
    if (alphas)
        ReportPrintf(exporter, 1, "\r\nMesh %s : %d vertex alphas out of range were read as 1", n, alphas);
    if (normals)
        ReportPrintf(exporter, 1, "\r\nMesh %s : %d normals out of range were read as the face normal", n, normals);
}

HostMeshView::HostMeshView(Mesh& mesh) : m_Mesh(mesh)
{
    const int nv = mesh.getNumVerts();
    for (int f = 0; f < mesh.getNumFaces(); ++f) {
        const Face& face = mesh.faces[(size_t) f];
        if (face.v[0] < (DWORD) nv && face.v[1] < (DWORD) nv && face.v[2] < (DWORD) nv)
            m_Faces.PushBack(f);
        else
            ++faults.faces;
    }
    for (const Point3& p : mesh.verts)
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
            ++faults.positions;
    const MeshNormalSpec* spec = mesh.GetSpecifiedNormals();
    m_Specified = spec && spec->GetNumFaces() > 0;
}

bool HostMeshView::HasMap(int mp) const
{
    return m_Mesh.mapSupport(mp) && m_Mesh.Map(mp).getNumVerts() > 0 && m_Mesh.Map(mp).getNumFaces() > 0;
}

bool HostMeshView::MapVertexAt(int mp, int i, Point3& out) const
{
    out = Point3();
    if (!m_Mesh.mapSupport(mp))
        return false;
    const MeshMap& map = m_Mesh.Map(mp);
    if (i < 0 || i >= map.getNumVerts())
        return false;
    out = map.tv[(size_t) i];
    return true;
}

bool HostMeshView::MapVertex(int mp, int f, int corner, Point3& out, int* kind)
{
    out = Point3();
    if (!HasMap(mp))
        return false;
    const MeshMap& map = m_Mesh.Map(mp);
    if (f < 0 || f >= map.getNumFaces() || map.tf[(size_t) f].t[corner] >= (DWORD) map.getNumVerts()) {
        if (kind)
            ++*kind;
        return false;
    }
    out = map.tv[(size_t) map.tf[(size_t) f].t[corner]];
    return true;
}

bool HostMeshView::SpecifiedNormal(int f, int corner, Point3& out)
{
    const MeshNormalSpec* spec = m_Specified ? m_Mesh.GetSpecifiedNormals() : nullptr;
    if (!spec)
        return false;
    const int id = f < spec->GetNumFaces() ? spec->faces[(size_t) f].GetNormalID(corner) : -1;
    if (id < 0 || id >= spec->GetNumNormals()) {
        ++faults.normals;
        return false;
    }
    out = spec->normals[(size_t) id];
    return true;
}

// The mesh's progressive mesh: made by renumbering the vertices in collapse
// order, then drawn from the faces of the first vertices.
#include <cstring>

#include "render/mesh/CKProgressiveMesh.h"
#include "render/mesh/MeshKernels.h"
#include "render/mesh/RCKMesh.h"

void RCKMesh::SetVerticesRendered(int count)
{
    if (m_ProgressiveMesh)
        m_ProgressiveMesh->SetVerticesRendered(count);
}

int RCKMesh::GetVerticesRendered()
{
    return m_ProgressiveMesh ? m_ProgressiveMesh->GetTargetVertexCount() : m_Vertices.Size();
}

int RCKMesh::GetModifierVertexCount()
{
    return GetVerticesRendered();
}

void RCKMesh::EnablePMGeoMorph(CKBOOL enable)
{
    if (m_ProgressiveMesh)
        m_ProgressiveMesh->EnableGeoMorph(enable != FALSE);
}

CKBOOL RCKMesh::IsPMGeoMorphEnabled()
{
    return m_ProgressiveMesh && m_ProgressiveMesh->IsGeoMorphEnabled();
}

void RCKMesh::SetPMGeoMorphStep(int steps)
{
    if (m_ProgressiveMesh)
        m_ProgressiveMesh->SetGeoMorphStep(steps);
}

int RCKMesh::GetPMGeoMorphStep()
{
    return m_ProgressiveMesh ? m_ProgressiveMesh->GetGeoMorphStep() : 0;
}

int RCKMesh::GetPMRenderedVertex(int vertex)
{
    if (!IsVertexIndex(vertex))
        return -1;
    if (!m_ProgressiveMesh)
        return vertex;
    return m_ProgressiveMesh->GetRenderedVertex(vertex, m_ProgressiveMesh->GetTargetVertexCount());
}

void RCKMesh::PermuteVertices(const int* table, int count)
{
    XArray<CKDWORD> records;
    const int stride = GetInterleavedRecords(records, false, nullptr);
    XArray<CKDWORD> moved(count * stride);
    moved.Resize(count * stride);
    for (int i = 0; i < count; ++i)
        std::memcpy(moved.Begin() + (size_t) table[i] * stride, records.Begin() + (size_t) i * stride,
                    (size_t) stride * 4);
    LoadInterleavedRecords(moved, stride);
    auto map = [&](CKDWORD& v) {
        if ((int) v < count)
            v = (CKDWORD) table[v];
    };
    for (CKDWORD& i : m_FaceIndices)
        map(i);
    for (CKMeshLine& line : m_Lines) {
        map(line.Vertex1);
        map(line.Vertex2);
    }
    RemapVertexUsers(table, count, count);
}

CKERROR RCKMesh::CreatePM()
{
    const int n = m_Vertices.Size();
    if (m_ProgressiveMesh || GetClassID() == CKCID_PATCHMESH || n == 0)
        return CKErr::InvalidParameter;
    auto pm = std::make_unique<CKProgressiveMesh>();
    if (!pm->Build(&m_Vertices.Begin()->Position.x, (int) sizeof(CKVertex), n, m_FaceIndices.Begin(), m_Faces.Size()))
        return CKErr::InvalidParameter;
    PermuteVertices(pm->GetNewIndices().data(), n);
    m_ProgressiveMesh = std::move(pm);
    StampRenderDataOutdated();
    FacesChanged();
    return CKErr::Ok;
}

CKERROR RCKMesh::DestroyPM()
{
    if (!m_ProgressiveMesh)
        return CKErr::Ok;
    m_ProgressiveMesh.reset();
    // The mesh's own faces are drawn again, from all its vertices.
    m_VertexDataUploaded = 0;
    StampRenderDataOutdated();
    FacesChanged();
    return CKErr::Ok;
}

void RCKMesh::UpdatePMGeometry()
{
    if (!m_ProgressiveMesh)
        return;
    const int changes =
        m_ProgressiveMesh->Update(m_FaceIndices.Begin(), m_Faces.Size(), m_Vertices.Begin(), m_Vertices.Size());
    if (changes & CKPM_FACESCHANGED) {
        FacesChanged();
        if (m_Flags & CKMESH_PMBUILDNORMALS)
            BuildProgressiveNormals();
    }
    if (changes & CKPM_VERTICESMOVED) {
        m_Flags |= CKMESH_POSCHANGED;
        m_VertexDataUploaded = 0;
    }
}

void RCKMesh::BuildProgressiveNormals()
{
    const std::vector<CKDWORD>& corners = m_ProgressiveMesh->GetFaceIndices();
    XArray<CKDWORD> drawn;
    for (size_t i = 0; i + 2 < corners.size(); i += 3)
        if (corners[i] != CKPM_DROPPED)
            for (int k = 0; k < 3; ++k)
                drawn.PushBack(corners[i + (size_t) k]);
    XArray<CKFace> faces(drawn.Size() / 3);
    faces.Resize(drawn.Size() / 3);
    const int vertices = m_ProgressiveMesh->GetDrawnVertexCount();
    if (faces.Size() == 0 || vertices <= 0 || vertices > m_Vertices.Size())
        return;
    CKGetMeshKernels().ComputeVertexNormals(faces.Begin(), faces.Size(), drawn.Begin(), m_Vertices.Begin(), vertices);
    NormalChanged();
}

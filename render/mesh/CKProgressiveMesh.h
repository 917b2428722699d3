#pragma once

#include <vector>

#include "render/mesh/CKCollapseOrder.h"
#include "render/mesh/CKMeshRecords.h"

// The corners of a face that the vertices drawn leave out.
constexpr CKDWORD CKPM_DROPPED = 0xFFFFFFFF;

// What an update changed.
enum : int
{
    CKPM_FACESCHANGED = 0x1,  // another count of vertices is drawn: the faces follow
    CKPM_VERTICESMOVED = 0x2, // a geomorph step moved the drawn vertices
};

// A mesh's progressive-mesh record: the collapse order of its vertices, the
// number of them drawn, the geomorph switch and steps, and the faces drawn
// for that number. The mesh renumbers its vertices once, by the order's new
// numbers (its channels, blend shapes and skins with them), after which
// drawing the first k vertices is drawing the faces this record gives.
//
// The saved part is the count drawn, the switch, the steps and each
// vertex's collapse target; the rest is worked out again from them.
class CKProgressiveMesh
{
public:
    // Builds the collapse order of the vertices (positions stride bytes
    // apart) and faces, and starts with every vertex drawn. False, the
    // record left empty, when the order cannot be built.
    bool Build(const float* positions, int stride, int vertexCount, const CKDWORD* faceIndices, int faceCount);
    // A saved order: each vertex's collapse target, -1 or a vertex of lower
    // number (so that every chain ends). False, the record unchanged, for
    // any other entry or a negative count.
    bool SetCollapseTargets(const int* targets, int count);
    const std::vector<int>& GetCollapseTargets() const { return m_Order.CollapseTo; }
    // Old vertex number -> new number, for the renumbering (empty for a
    // record that was loaded).
    const std::vector<int>& GetNewIndices() const { return m_Order.NewIndex; }
    int GetVertexCount() const { return (int) m_Order.CollapseTo.size(); }
    // The vertices no collapse removes.
    int GetBaseVertexCount() const { return m_Order.BaseCount; }
    // The vertex a vertex collapses onto (new numbers), -1 for none.
    int GetCollapseTarget(int vertex) const;
    // The vertex that stands for vertex once count are drawn: itself below
    // count, else the end of its chain of collapses; -1 when that chain
    // leaves the drawn vertices or the vertex does not exist.
    int GetRenderedVertex(int vertex, int count) const;

    // The mesh's vertex count changed: the last vertices are cut off, new
    // ones never collapse. The count drawn stays within the vertices.
    void Resize(int vertexCount);
    // Vertices were removed (table: old number -> new number, -1 for
    // removed, the order kept): each vertex collapses onto the first kept
    // vertex of its old chain.
    void RemoveVertices(const int* table, int count);

    // Clamped to 0 .. vertex count. -1 in a fresh record (all drawn).
    void SetVerticesRendered(int count);
    int GetVerticesRendered() const { return m_VerticesRendered; }
    // The count the record draws towards: every vertex for -1.
    int GetTargetVertexCount() const;
    // With geomorph on and steps above 0, a change of the count is shown
    // over that many updates: the vertices that appear or vanish slide
    // between their own position and the one they collapse onto.
    void EnableGeoMorph(bool enable) { m_MorphEnabled = enable ? 1 : 0; }
    bool IsGeoMorphEnabled() const { return m_MorphEnabled != 0; }
    // Negative steps give 0.
    void SetGeoMorphStep(int steps) { m_MorphSteps = steps < 0 ? 0 : steps; }
    int GetGeoMorphStep() const { return m_MorphSteps; }

    // Brings the drawn faces up to date for the number of vertices drawn
    // (one geomorph step further when a transition runs): faceIndices are
    // the mesh's faces, vertices its records (vertexCount of them), both in
    // the new numbering. Returns the CKPM_ marks of what changed.
    int Update(const CKDWORD* faceIndices, int faceCount, const CKVertex* vertices, int vertexCount);
    // The drawn faces again for the count drawn now (the mesh's faces
    // changed); every vertex when the record was never updated.
    void BuildFaces(const CKDWORD* faceIndices, int faceCount);
    // Three corners for each face of the mesh, all below
    // GetDrawnVertexCount, or CKPM_DROPPED three times for a face left out.
    const std::vector<CKDWORD>& GetFaceIndices() const { return m_Faces; }
    int GetDrawnFaceCount() const { return m_DrawnFaces; }
    // The vertices the drawn faces may use: the count drawn, or the larger
    // of the two counts while a geomorph runs.
    int GetDrawnVertexCount() const { return m_DrawnCount < 0 ? 0 : m_DrawnCount; }
    // The vertices as drawn while a geomorph runs (the first
    // GetDrawnVertexCount of them); empty otherwise.
    const std::vector<CKVertex>& GetMorphedVertices() const { return m_Morphed; }
    // Bytes the record holds.
    int GetMemoryOccupation() const;

private:
    // Faces of the first count vertices into m_Faces.
    void BuildFacesFor(const CKDWORD* faceIndices, int faceCount, int count);
    // The vertex that stands for v once only the first count are drawn, -1
    // when none does.
    int Ancestor(int v, int count) const;

    int m_VerticesRendered = -1;
    int m_MorphEnabled = 0;
    int m_MorphSteps = 0;
    CKCollapseOrder m_Order;
    int m_DrawnCount = -1; // the count m_Faces was built for
    int m_DrawnFaces = 0;
    int m_ShownCount = -1; // the count fully shown (a geomorph goes from it)
    std::vector<CKDWORD> m_Faces;
    int m_MorphFrom = -1;
    int m_MorphTo = -1;
    int m_MorphDone = 0;
    std::vector<CKVertex> m_Morphed;
    std::vector<int> m_Map;
};

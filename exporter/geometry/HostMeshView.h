#pragma once

#include "includes/XArray.h"
#include "platform/host/Point3.h"

class Max2Qdx;
class Mesh;

// Indices of a host mesh or patch mesh that lie outside their lists, by
// kind, counted while the mesh is read and reported once per mesh.
struct IndexFaults
{
    int faces = 0;       // faces or patches dropped: a vertex out of range
    int coordinates = 0; // texture coordinates read as (0, 0)
    int colours = 0;     // vertex colours read as white
    int alphas = 0;      // vertex alphas read as 1
    int normals = 0;     // normals read as the face normal
    int positions = 0;   // vertices that are not finite numbers

    // One report line (level 1) for each kind met.
    void Report(Max2Qdx* exporter, const char* name) const;
};

// A checked reading of a host triangle mesh: the faces whose vertices lie
// in the mesh, and map, colour, alpha and normal lookups that give their
// default for an index out of range, each counted in faults.
class HostMeshView
{
public:
    explicit HostMeshView(Mesh& mesh);

    Mesh& Host() const { return m_Mesh; }
    // The faces kept, in order.
    const XArray<int>& Faces() const { return m_Faces; }
    // Whether the map channel (-2 to 99) is supported with vertices and faces.
    bool HasMap(int mp) const;
    // The vertex of map channel mp at a corner of face f; false (out left
    // at zero) when the channel has none there or names one out of range,
    // which is counted as kind (a pointer into faults).
    bool MapVertex(int mp, int f, int corner, Point3& out, int* kind);
    // The map vertex of index i; false (zero) out of range.
    bool MapVertexAt(int mp, int i, Point3& out) const;
    // The specified normal of a face corner when the mesh has specified
    // normals with faces; false when it has none, and false (counted) when
    // the corner names a normal out of range.
    bool HasSpecifiedNormals() const { return m_Specified; }
    bool SpecifiedNormal(int f, int corner, Point3& out);

    IndexFaults faults;

private:
    Mesh& m_Mesh;
    XArray<int> m_Faces;
    bool m_Specified = false;
};

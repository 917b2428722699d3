#pragma once

#include <vector>

#include "platform/host/MaxTypes.h"
#include "platform/host/Point3.h"

typedef Point3 UVVert;
typedef unsigned short MtlID;

// Edge-visibility bits of a face's flags (edge A runs from corner 0 to 1);
// its material id sits in the upper 16 bits.
constexpr DWORD EDGE_A = 1;
constexpr DWORD EDGE_B = 2;
constexpr DWORD EDGE_C = 4;
constexpr DWORD EDGE_ALL = 7;

// One triangle: three vertex indices, a smoothing-group mask and its flags.
class Face
{
public:
    DWORD v[3] = {0, 0, 0};
    DWORD smGroup = 0;
    DWORD flags = EDGE_ALL;

    MtlID getMatID() const { return MtlID(flags >> 16); }
    void setMatID(MtlID id) { flags = (flags & 0xFFFFu) | DWORD(id) << 16; }
    void setVerts(DWORD a, DWORD b, DWORD c)
    {
        v[0] = a;
        v[1] = b;
        v[2] = c;
    }
    void setSmGroup(DWORD mask) { smGroup = mask; }
    DWORD getSmGroup() const { return smGroup; }
    // Non-zero when the edge (0 to 2) is visible.
    DWORD getEdgeVis(int edge) const { return edge >= 0 && edge < 3 ? flags & (1u << edge) : 0; }
    void setEdgeVisFlags(int a, int b, int c)
    {
        flags = (flags & ~EDGE_ALL) | (a ? EDGE_A : 0) | (b ? EDGE_B : 0) | (c ? EDGE_C : 0);
    }
};

// One face of a map channel: three indices into the channel's vertices.
class TVFace
{
public:
    DWORD t[3] = {0, 0, 0};

    void setTVerts(DWORD a, DWORD b, DWORD c)
    {
        t[0] = a;
        t[1] = b;
        t[2] = c;
    }
};

// One map channel: its own vertices and one face per mesh face (when the
// channel is in use the counts are the mesh's: a scene file checks them, a
// mesh built in code may break the rule to test its readers).
class MeshMap
{
public:
    std::vector<UVVert> tv;
    std::vector<TVFace> tf;
    bool support = false;

    int getNumVerts() const { return int(tv.size()); }
    int getNumFaces() const { return int(tf.size()); }
};

// A render normal: a normal and the smoothing groups it serves.
class RNormal
{
public:
    Point3 normal;
    DWORD smGroup = 0;

    const Point3& getNormal() const { return normal; }
    DWORD getSmGroup() const { return smGroup; }
};

// The render flags of a vertex: the count of its render normals in the low
// byte, SPECIFIED_NORMAL when its normal was given rather than built.
constexpr DWORD NORCT_MASK = 0xFF;
constexpr DWORD SPECIFIED_NORMAL = 0x4000;

// A vertex's render normals: rn alone when it has one, ern (count entries)
// when it has several.
class RVertex
{
public:
    DWORD rFlags = 0;
    RNormal rn;
    std::vector<RNormal> ern;
};

// The corners of a face in the specified normals: indices into its normals.
class MeshNormalFace
{
public:
    int mNormalID[3] = {0, 0, 0};

    int GetNormalID(int corner) const { return corner >= 0 && corner < 3 ? mNormalID[corner] : -1; }
    void SetNormalID(int corner, int id)
    {
        if (corner >= 0 && corner < 3)
            mNormalID[corner] = id;
    }
};

// Explicit (imported or edited) normals: a list of normals and one face per
// mesh face naming a normal for each corner.
class MeshNormalSpec
{
public:
    std::vector<Point3> normals;
    std::vector<MeshNormalFace> faces;

    int GetNumNormals() const { return int(normals.size()); }
    int GetNumFaces() const { return int(faces.size()); }
    // The normal of a face corner; zero for a face, corner or normal index
    // out of range.
    Point3 GetNormal(int face, int corner) const;
    // Every normal is explicit here, so building only normalises them (a
    // zero normal stays zero).
    void BuildNormals();
};

// Map channels run from -2 (the vertex alpha) and -1 (illumination) through
// 0 (vertex colours) and 1 (the texture coordinates) to 99.
constexpr int NUM_HIDDENMAPS = 2;
constexpr int MAX_MESHMAPS = 100;
constexpr int MAP_ALPHA = -2;
// Vertex data channels: 1 holds a weight per vertex.
constexpr int VDATA_WEIGHT = 1;
constexpr int MAX_VERTEX_DATA = 100;

// Stands in for the host's triangle mesh: vertices, faces, map channels,
// vertex data, specified normals and the render normals buildNormals makes.
//
// buildNormals gives each face its unit normal and each vertex one render
// normal per group of its faces that share smoothing groups (two faces are
// in one group when their masks share a bit, directly or through other
// faces of the vertex): the normalised sum of the unit normals of the faces
// gathered, its mask the union of theirs, in the order the groups' first
// faces come. Faces of mask 0 give no render normal. A vertex whose normal
// was set (setNormal) keeps it. Indices out of range (possible in a mesh
// built in code) are skipped.
class Mesh
{
public:
    std::vector<Point3> verts;
    std::vector<Face> faces;

    int getNumVerts() const { return int(verts.size()); }
    int getNumFaces() const { return int(faces.size()); }
    void setNumVerts(int n) { verts.resize(n > 0 ? size_t(n) : 0); }
    void setNumFaces(int n) { faces.resize(n > 0 ? size_t(n) : 0); }
    Point3& getVert(int i) { return verts[size_t(i)]; }
    void setVert(int i, const Point3& p) { verts[size_t(i)] = p; }

    // Map channels (-2 to 99); an unsupported or out-of-range channel has no
    // vertices and no faces.
    BOOL mapSupport(int mp) const;
    void setMapSupport(int mp, BOOL support = TRUE);
    // One past the highest supported channel, at least 2.
    int getNumMaps() const;
    MeshMap& Map(int mp);
    const MeshMap& Map(int mp) const;
    int getNumMapVerts(int mp) const;
    // null when the channel has none.
    UVVert* mapVerts(int mp);
    TVFace* mapFaces(int mp);

    // Vertex data channels (0 to 99), one float per vertex.
    BOOL vDataSupport(int channel) const;
    void setVDataSupport(int channel, BOOL support = TRUE);
    // null when the channel is not supported; it holds getNumVerts() floats.
    float* vertexFloat(int channel);

    // Specified normals; null when the mesh has none.
    MeshNormalSpec* GetSpecifiedNormals();
    const MeshNormalSpec* GetSpecifiedNormals() const;
    MeshNormalSpec& SpecifyNormals();
    void ClearSpecifiedNormals() { m_HasSpecified = false; }

    void buildNormals();
    // Valid after buildNormals; zero for an index out of range.
    Point3 getFaceNormal(int f) const;
    // The render vertex of vertex i (a default one for an index out of
    // range or before buildNormals).
    RVertex& getRVert(int i);
    RVertex* getRVertPtr(int i);
    // Gives vertex i the render normal n, kept by later buildNormals.
    void setNormal(int i, const Point3& n);

private:
    MeshMap m_Maps[NUM_HIDDENMAPS + MAX_MESHMAPS];
    std::vector<std::vector<float>> m_VData;
    MeshNormalSpec m_Specified;
    bool m_HasSpecified = false;
    std::vector<Point3> m_FaceNormals;
    std::vector<RVertex> m_RVerts;
    RVertex m_SpareRVert;
    MeshMap m_SpareMap;
};

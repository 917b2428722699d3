#pragma once

#include <vector>

#include "platform/host/Mesh.h"
#include "platform/host/Object.h"
#include "platform/host/TriObject.h"

// Patch kinds: the corner count.
constexpr int PATCH_TRI = 3;
constexpr int PATCH_QUAD = 4;

class PatchVert
{
public:
    Point3 p;
};

class PatchVec
{
public:
    Point3 p;
};

// An edge between two corners, with the vectors (handles) that shape it:
// vec12 leaves v1 towards v2, vec21 leaves v2 towards v1. patches lists the
// patches that use the edge, in patch order.
class PatchEdge
{
public:
    int v1 = -1, vec12 = -1, vec21 = -1, v2 = -1;
    std::vector<int> patches;
};

// One patch: its corners (v), the two edge vectors of each side (vec: 2i
// leaves corner i towards corner i+1, 2i+1 leaves corner i+1 towards corner
// i), its interior vectors (one per corner) and its edges (edge i joins
// corners i and i+1). The material id sits in the upper 16 bits of flags.
class Patch
{
public:
    int type = PATCH_QUAD;
    int v[4] = {0, 0, 0, 0};
    int vec[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    int interior[4] = {0, 0, 0, 0};
    int edge[4] = {-1, -1, -1, -1};
    DWORD smGroup = 0;
    DWORD flags = 0;

    int Corners() const { return type == PATCH_TRI ? 3 : 4; }
    MtlID getMatID() const { return MtlID(flags >> 16); }
    void setMatID(MtlID id) { flags = (flags & 0xFFFFu) | DWORD(id) << 16; }
};

// One patch of a map channel: a texture vertex per corner (the fourth
// unused by a triangular patch).
class TVPatch
{
public:
    int tv[4] = {0, 0, 0, 0};
};

class PatchTVert
{
public:
    UVVert p;
};

// One map channel of a patch mesh: its vertices and one patch per patch.
class PatchMap
{
public:
    std::vector<PatchTVert> tv;
    std::vector<TVPatch> tp;
    bool support = false;
};

// Stands in for the host's patch mesh: corner vertices, vectors, edges,
// triangular and quadrilateral patches, map channels (-2 to 99) and the
// tessellation steps.
class PatchMesh
{
public:
    std::vector<PatchVert> verts;
    std::vector<PatchVec> vecs;
    std::vector<PatchEdge> edges;
    std::vector<Patch> patches;

    int getNumVerts() const { return int(verts.size()); }
    int getNumVecs() const { return int(vecs.size()); }
    int getNumEdges() const { return int(edges.size()); }
    int getNumPatches() const { return int(patches.size()); }

    int getMeshSteps() const { return m_Steps; }
    void setMeshSteps(int steps) { m_Steps = steps; }

    // Map channels; an unsupported or out-of-range channel has none.
    BOOL getMapSupport(int mp) const;
    void setMapSupport(int mp, BOOL support = TRUE);
    int getNumMapVerts(int mp) const;
    // null when the channel has none.
    PatchTVert* mapVerts(int mp);
    TVPatch* mapPatches(int mp);
    PatchMap& Map(int mp);

    // Makes the edges from the patches: one per pair of corners and
    // vectors, in the order the patches first use them, each patch's edge
    // indices set and each edge listing its patches. Corner or vector
    // indices out of range (possible in a mesh built in code) give no edge.
    void buildLinkages();

private:
    PatchMap m_Maps[NUM_HIDDENMAPS + MAX_MESHMAPS];
    PatchMap m_SpareMap;
    int m_Steps = 5;
};

constexpr Class_ID patchObjectClassID(0x1030, 0);

// Stands in for the host's patch object (class patchObjectClassID).
class PatchObject : public GeomObject
{
public:
    PatchObject();

    PatchMesh patch;

    // The vertices, then the vectors.
    int NumPoints() const override { return patch.getNumVerts() + patch.getNumVecs(); }
    Point3 GetPoint(int i) const override;
    void SetPoint(int i, const Point3& p) override;
    std::unique_ptr<Object> Clone() const override;
    bool CopyFrom(const Object& other) override;
};

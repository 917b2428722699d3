#pragma once

#include "includes/XArray.h"
#include "render/mesh/RCKMesh.h"

// Patch flags (GetPatchFlags / SetPatchFlags).
enum : CKDWORD
{
    CK_PATCHMESH_UPTODATE = 0x1,          // the render mesh matches the patches
    CK_PATCHMESH_BUILDNORMALS = 0x2,      // the rebuild computes vertex normals
    CK_PATCHMESH_MATERIALSUPTODATE = 0x4, // faces and groups match the patch materials
    CK_PATCHMESH_AUTOSMOOTH = 0x8,        // edge vectors recomputed from vertex normals
};

// Patch types.
enum : int
{
    CK_PATCH_TRI = 3,
    CK_PATCH_QUAD = 4,
};

// The edge between two patches (six 16-bit values, 12 bytes in files).
// patch2 is negative on a border.
struct CKPatchEdge
{
    short startVertex = 0;
    short startVector = 0; // the handle next to startVertex
    short endVector = 0;   // the handle next to endVertex
    short endVertex = 0;
    short patch1 = 0;
    short patch2 = -1;
};
static_assert(sizeof(CKPatchEdge) == 12, "a patch edge is six 16-bit values");

// One triangular or quadrilateral Bezier patch. Vertex indices name control
// vertices, vector indices the vectors (handles and interior points). The
// 16-bit indices are read as unsigned: a patch mesh has at most 65,536
// vertices, vectors and edges.
struct CKPatch
{
    int type = 0; // CK_PATCH_TRI or CK_PATCH_QUAD; another type draws nothing
    CKDWORD smoothing = 0xFFFFFFFF;
    short v[4] = {};        // corners (the fourth unused in a triangle)
    short vec[8] = {};      // vec[2k], vec[2k+1]: handles of side k next to corners k and k+1
    short interior[4] = {}; // interior points, one per corner
    short edge[4] = {};     // edge of each side
    CK_ID material = 0;
    // Nine auxiliary points of a triangle, owned by the mesh and never
    // saved; null in a record handed in or out.
    QxVector* auxPoints = nullptr;
};

// Texture vertices of the corners of one patch, in corner order.
struct CKTexturePatch
{
    short tv[4] = {};
};

struct CKPatchUV
{
    float u = 0.0f;
    float v = 0.0f;
};

// The texture data of one channel: record 0 holds the mesh's own texture
// coordinates (channel -1), record i + 1 those of mesh channel i.
struct CKPatchChannel
{
    XArray<CKTexturePatch> texturePatches; // one per patch, or none
    XArray<CKPatchUV> textureVertices;
    CK_ID material = 0;
    int sourceBlend = 0;
    int destBlend = 0;
    CKDWORD flags = 0; // CKCHANNEL_ACTIVE, CKCHANNEL_NOTLIT
};

// A mesh whose geometry is Bezier patches (class 53): control vertices,
// handles, edges, triangular and quadrilateral patches and texture patches
// per channel. The mesh data it inherits is its render mesh, rebuilt from the
// patches by BuildRenderMesh whenever CK_PATCHMESH_UPTODATE is clear.
//
// Indices out of range make a setter do nothing and a getter return 0 or
// null. Counts come before records: the record setters ignore indices past
// the counts. The texture accessors take the channel (-1 for the mesh's own
// coordinates) last; a channel without a record is ignored.
class CKPatchMesh : public CKClass<CKPatchMesh, RCKMesh, CKCID_PATCHMESH>
{
public:
    using CKClass::CKClass;

    // Reserved: CKErr::NotImplemented.
    virtual CKERROR UnimplementedPatchOp1(CKDWORD) = 0;
    virtual CKERROR UnimplementedPatchOp2(CKDWORD, CKDWORD) = 0;
    // Subdivisions added inside each patch edge (negative: 0). A new value
    // makes the mesh dirty and asks for normals. The rebuild may lower it so
    // that the render mesh keeps below 65,000 vertices and 30,000 faces.
    virtual void SetIterationCount(int count) = 0;
    virtual int GetIterationCount() = 0;
    // Rebuilds the render mesh when it is not up to date; nothing without
    // edges, patches, vertices or vectors, or when an index names nothing.
    virtual void BuildRenderMesh() = 0;
    // No render vertices or faces; the next rebuild makes them again.
    virtual void CleanRenderMesh() = 0;
    // No points, patches or texture data; one channel record; the edges stay.
    virtual void Clear() = 0;
    // A triangle's auxiliary points (the inner control points of its sides
    // raised to quartic curves), whatever its type.
    virtual void ComputePatchAuxPoints(int patch) = 0;
    // The interior points of a triangle or a quad, written to its interior
    // vectors.
    virtual void ComputePatchInteriors(int patch) = 0;
    virtual CKDWORD GetPatchFlags() = 0;
    virtual void SetPatchFlags(CKDWORD flags) = 0;

    // Control points: the vertices, then the vectors, zeroed.
    virtual void SetVertVecCount(int vertexCount, int vectorCount) = 0;
    virtual int GetVertCount() = 0;
    virtual void SetVert(int index, const QxVector& position) = 0;
    virtual void GetVert(int index, QxVector* position) = 0;
    // Vertices then vectors, vertexCount + vectorCount points.
    virtual QxVector* GetVerts() = 0;
    virtual int GetVecCount() = 0;
    virtual void SetVec(int index, const QxVector& position) = 0;
    virtual void GetVec(int index, QxVector* position) = 0;
    virtual QxVector* GetVecs() = 0;

    virtual void SetEdgeCount(int count) = 0;
    virtual int GetEdgeCount() = 0;
    virtual void SetEdge(int index, const CKPatchEdge& edge) = 0;
    virtual void GetEdge(int index, CKPatchEdge* edge) = 0;
    virtual CKPatchEdge* GetEdges() = 0;

    // New patches are default records.
    virtual void SetPatchCount(int count) = 0;
    virtual int GetPatchCount() = 0;
    virtual void SetPatch(int index, const CKPatch& patch) = 0;
    // The record without auxiliary points.
    virtual void GetPatch(int index, CKPatch* patch) = 0;
    virtual CKDWORD GetPatchSmoothingGroup(int index) = 0;
    virtual void SetPatchSmoothingGroup(int index, CKDWORD smoothing) = 0;
    // Null when the material no longer exists.
    virtual CKMaterial* GetPatchMaterial(int index) = 0;
    virtual void SetPatchMaterial(int index, CKMaterial* material) = 0;
    virtual CKPatch* GetPatches() = 0;

    // Texture data; the caller makes the mesh dirty (ModifierUVMove).
    virtual void SetTexturePatchCount(int count, int channel = -1) = 0;
    virtual int GetTexturePatchCount(int channel = -1) = 0;
    virtual void SetTexturePatch(int index, const CKTexturePatch& patch, int channel = -1) = 0;
    virtual void GetTexturePatch(int index, CKTexturePatch* patch, int channel = -1) = 0;
    virtual CKTexturePatch* GetTexturePatches(int channel = -1) = 0;
    virtual void SetTextureVertexCount(int count, int channel = -1) = 0;
    virtual int GetTextureVertexCount(int channel = -1) = 0;
    virtual void SetTextureVertex(int index, float u, float v, int channel = -1) = 0;
    virtual void GetTextureVertex(int index, float* u, float* v, int channel = -1) = 0;
    virtual CKPatchUV* GetTextureVertices(int channel = -1) = 0;
};

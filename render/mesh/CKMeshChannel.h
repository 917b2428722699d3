#pragma once

#include <vector>

#include "includes/CKTypes.h"
#include "includes/XArray.h"

class CKMaterial;
class RCKRenderManager;

// Channel flags.
enum : CKDWORD
{
    CKCHANNEL_ACTIVE = 0x1,
    CKCHANNEL_SHADERNORMALS = 0x2,   // its vertices carry normals for its material's shader
    CKCHANNEL_COLORS = 0x4,          // the channel has a colour per vertex
    CKCHANNEL_GROUPFACES = 0x8,      // with CKCHANNEL_SAMEUV: drawn from the groups' own buffers
    CKCHANNEL_KEEPFOG = 0x400000,    // blended (source alpha, inverse source alpha): drawn with fog
    CKCHANNEL_SAMEUV = 0x800000,     // no coordinates of its own: the mesh's are drawn
    CKCHANNEL_NOTLIT = 0x1000000,    // drawn unlit
    CKCHANNEL_MERGED = 0x2000000,    // drawn as a further texture set of the mesh's own vertices
    CKCHANNEL_LASTPASS = 0x8000000,  // the last channel drawn in a pass of its own
    CKCHANNEL_UPTODATE = 0x10000000, // its vertex data reached the buffers
    CKCHANNEL_FACESUBSET = 0x20000000,
    CKCHANNEL_USEMESHBUFFERS = 0x40000000, // drawn from the mesh's own buffers
    CKCHANNEL_MATERIALSUBSET = 0x80000000,
};

// The primitives a channel drawn in passes of its own is drawn from: blocks
// of at most 65,530 vertices and 196,602 indices, each with a shared vertex
// buffer (a rasterizer object index of kind 64 from the render manager), the
// mesh vertex of each of its local vertices and its 16-bit indices. A block
// without indices draws the mesh's own faces over the mesh's first
// VertexCount vertices.
//
// The blocks own their buffer indices: a copy starts without blocks (they
// are built again at its next draw), a move takes them over.
class CKChannelRenderData
{
public:
    struct Block
    {
        XArray<CKWORD> Indices;
        XArray<CKDWORD> Remap;
        CKDWORD VertexBuffer = 0;
        int VertexCount = 0;
    };

    CKChannelRenderData() = default;
    ~CKChannelRenderData() { Release(); }
    CKChannelRenderData(const CKChannelRenderData&) {}
    CKChannelRenderData& operator=(const CKChannelRenderData& other)
    {
        if (this != &other)
            Release();
        return *this;
    }
    CKChannelRenderData(CKChannelRenderData&& other) noexcept { Take(other); }
    CKChannelRenderData& operator=(CKChannelRenderData&& other) noexcept
    {
        if (this != &other) {
            Release();
            Take(other);
        }
        return *this;
    }

    // Blocks for the corner list (three a triangle) of a mesh of vertexCount
    // vertices: without force, one block over the mesh's own faces when they
    // fit 16-bit indices; otherwise blocks of their own. Every block gets a
    // buffer index from the manager (none without one).
    void Build(RCKRenderManager* manager, const CKDWORD* corners, int count, int vertexCount, bool force);
    // Every buffer index given back; no blocks.
    void Release();
    int GetBlockCount() const { return (int) m_Blocks.size(); }
    Block& GetBlock(int index) { return m_Blocks[(size_t) index]; }
    const Block& GetBlock(int index) const { return m_Blocks[(size_t) index]; }
    // What the blocks were built from, so that the drawing builds them again
    // when it changed.
    CKDWORD m_Signature[5] = {};
    bool m_Built = false;

private:
    void Take(CKChannelRenderData& other);

    std::vector<Block> m_Blocks;
    RCKRenderManager* m_Manager = nullptr;
};

// An extra channel of a mesh: a material drawn over the mesh with its own
// texture coordinates (type 0), or per-vertex float data (types 1 to 4, one
// to four floats a vertex) that shaders read.
struct CKMeshChannel
{
    CKMaterial* Material = nullptr;
    // Type-stride bytes a vertex (one element more for type 1); empty with
    // CKCHANNEL_SAMEUV.
    XArray<float> Data;
    // One colour a vertex while CKCHANNEL_COLORS is set.
    XArray<CKDWORD> Colors;
    // The material indices the channel is restricted to (empty: none).
    XArray<int> MaterialIndices;
    // The corners the channel is restricted to (empty: all faces).
    XArray<CKDWORD> FaceIndices;
    CKDWORD Word = 0xFFFFFFFF;
    CKDWORD Key = 0;
    int SourceBlend = 1; // "Zero"
    int DestBlend = 3;   // "Source Color"
    CKDWORD Flags = CKCHANNEL_ACTIVE;
    int Type = 0;
    // The Direct3D vertex format of its buffers (set by the frame
    // preparation) and its blocks.
    CKDWORD VertexFormat = 0;
    CKChannelRenderData Render;
};

// Bytes a vertex of a channel type (0 to 4), 0 for any other.
inline int CKChannelTypeStride(int type)
{
    static const int strides[5] = {8, 4, 8, 12, 16};
    return type >= 0 && type <= 4 ? strides[type] : 0;
}

// Floats a channel of the type holds for vertexCount vertices.
inline int CKChannelFloatCount(int type, int vertexCount)
{
    if (vertexCount <= 0)
        return 0;
    return (CKChannelTypeStride(type) / 4) * (vertexCount + (type == 1 ? 1 : 0));
}

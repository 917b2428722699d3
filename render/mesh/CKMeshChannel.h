#pragma once

#include "includes/CKTypes.h"
#include "includes/XArray.h"

class CKMaterial;

// Channel flags.
enum : CKDWORD
{
    CKCHANNEL_ACTIVE = 0x1,
    CKCHANNEL_COLORS = 0x4,          // the channel has a colour per vertex
    CKCHANNEL_SAMEUV = 0x800000,     // no coordinates of its own: the mesh's are drawn
    CKCHANNEL_NOTLIT = 0x1000000,    // drawn unlit
    CKCHANNEL_UPTODATE = 0x10000000, // its vertex data reached the buffers
    CKCHANNEL_FACESUBSET = 0x20000000,
    CKCHANNEL_MATERIALSUBSET = 0x80000000,
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

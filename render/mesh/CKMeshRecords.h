#pragma once

#include "includes/CKTypes.h"
#include "system/math/QxVector.h"

// A mesh's vertex record: position, normal, texture coordinates (32 bytes).
struct CKVertex
{
    QxVector Position;
    QxVector Normal;
    float u = 0.0f;
    float v = 0.0f;
};
static_assert(sizeof(CKVertex) == 32, "a mesh vertex is 32 bytes");

// A mesh's face record: the face normal, the index of its material group (0
// the default group) and its channel mask (16 bytes). Its three vertex
// indices are kept apart, three 32-bit indices a face.
struct CKFace
{
    QxVector Normal;
    CKWORD MaterialGroup = 0;
    CKWORD ChannelMask = 0xFFFF;
};
static_assert(sizeof(CKFace) == 16, "a mesh face is 16 bytes");

// A mesh vertex's colours, packed 0xAARRGGBB (8 bytes).
struct CKVertexColors
{
    CKDWORD Diffuse = 0xFFFFFFFF;
    CKDWORD Specular = 0;
};
static_assert(sizeof(CKVertexColors) == 8, "a mesh vertex's colours are 8 bytes");

// A mesh line: two 32-bit vertex indices (8 bytes).
struct CKMeshLine
{
    CKDWORD Vertex1 = 0;
    CKDWORD Vertex2 = 0;
};
static_assert(sizeof(CKMeshLine) == 8, "a mesh line is 8 bytes");

// A vertex's blend data for skinning on the rasterizer: up to four 32-bit
// values, the blend weights, the one at position (count - 1) holding the
// packed bone indices (16 bytes).
struct CKVertexBlendRecord
{
    CKDWORD Values[4] = {};
};
static_assert(sizeof(CKVertexBlendRecord) == 16, "a vertex blend record is 16 bytes");

// A float's bits as a key for merging vertices: -0 becomes +0, so that the
// two zeros (which face normals carry alike) merge. A NaN keeps its bits: it
// equals only the very same NaN, so identical records still merge and no
// two different values ever do.
inline CKDWORD CKFloatMergeKey(CKDWORD bits)
{
    return bits == 0x80000000u ? 0u : bits;
}

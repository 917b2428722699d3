#pragma once

#include "includes/CKTypes.h"

// The engine's vertex format word: which components a vertex carries.
enum : CKDWORD
{
    CKRST_DP_TRANSFORM = 0x1, // positions to transform (3 floats)
    CKRST_DP_LIGHT = 0x2,     // normals
    CKRST_DP_DOCLIP = 0x4,    // clip against the view
    CKRST_DP_DIFFUSE = 0x10,
    CKRST_DP_SPECULAR = 0x20,
    CKRST_DP_TANGENTS = 0x40, // tangents and binormals: two 3-float sets after set 0
    CKRST_DP_STAGES0 = 0x200, // 0x200 << n: n + 1 texture sets
    CKRST_DP_STAGESMASK = 0x1FE00,
    CKRST_DP_WEIGHTS1 = 0x100000, // 0x100000 << (n - 1): n blend weights
    CKRST_DP_WEIGHTMASK = 0x1F00000,
    CKRST_DP_MATRIXPAL = 0x2000000,  // per-vertex matrix indices
    CKRST_DP_CLIPSPACE = 0x20000000, // positions already in clip space (4 floats)
};

// Direct3D flexible vertex format bits.
enum : CKDWORD
{
    CKRST_FVF_XYZ = 0x2,
    CKRST_FVF_XYZRHW = 0x4,
    CKRST_FVF_XYZB1 = 0x6,
    CKRST_FVF_NORMAL = 0x10,
    CKRST_FVF_DIFFUSE = 0x40,
    CKRST_FVF_SPECULAR = 0x80,
    CKRST_FVF_TEXCOUNT_SHIFT = 8,
    CKRST_FVF_TEXCOUNT_MASK = 0xF00,
    CKRST_FVF_LASTBETA_UBYTE4 = 0x1000,
    CKRST_FVF_XYZW = 0x4002,
};

// Size codes of a texture set in the format (2 bits per set from bit 16):
// 0 two floats, 1 three, 2 four, 3 one.
constexpr CKDWORD CKRST_FVF_TEXCOORDSIZE3(int set)
{
    return 1u << (16 + 2 * set);
}

// The Direct3D format code of an engine vertex format word and the size of
// one vertex in bytes. Without CKRST_DP_TRANSFORM the positions are screen
// positions (x, y, z, 1/w); blend weights and matrix indices follow the
// position; texture sets take 8 bytes, the two tangent sets 12.
CKDWORD CKGetVertexFormatFVF(CKDWORD format, CKDWORD& vertexSize);

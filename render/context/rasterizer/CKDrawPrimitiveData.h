#pragma once

#include "includes/CKTypes.h"
#include "render/context/rasterizer/CKRasterizerTypes.h"

// Vertices to draw, as separate strided arrays: positions (3 floats, or 4
// when already transformed), normals, diffuse and specular colours, texture
// coordinates of set 0 and of the further sets, blend weights and matrix
// indices. A null pointer means the component is absent. Flags is the
// engine vertex format word (CKRST_DP_...).
struct CKDrawPrimitiveData
{
    int VertexCount = 0;
    CKDWORD Flags = 0;
    void* PositionPtr = nullptr;
    CKDWORD PositionStride = 0;
    void* NormalPtr = nullptr;
    CKDWORD NormalStride = 0;
    void* ColorPtr = nullptr;
    CKDWORD ColorStride = 0;
    void* SpecularColorPtr = nullptr;
    CKDWORD SpecularColorStride = 0;
    void* TexCoordPtr = nullptr;
    CKDWORD TexCoordStride = 0;
    void* TexCoordPtrs[CKRST_MAX_STAGES - 1] = {};
    CKDWORD TexCoordStrides[CKRST_MAX_STAGES - 1] = {};
    void* WeightsPtr = nullptr;
    CKDWORD WeightsStride = 0;
    void* MatIndexPtr = nullptr;
    CKDWORD MatIndexStride = 0;

    // Forgets the further texture sets.
    void ClearChannels();
};

#include "render/context/rasterizer/CKRasterizerTypes.h"

#include "render/context/rasterizer/CKSharedBufferPool.h"

CKSharedVBDesc::~CKSharedVBDesc()
{
    if (Pool)
        CKSharedBufferPool::FreeVertexRange(Pool, Start, MaxVertexCount);
}

CKSharedIBDesc::~CKSharedIBDesc()
{
    if (Pool)
        CKSharedBufferPool::FreeIndexRange(Pool, Start, MaxIndexCount);
}

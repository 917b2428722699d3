#pragma once

#include "includes/XArray.h"
#include "render/context/rasterizer/CKRasterizer.h"
#include "render/context/rasterizer/CKRasterizerContext.h"

class CKSharedBufferPool;

// The rasterizer that draws nothing: its single driver makes contexts that
// keep every state and object they are given, lock buffers, textures and
// sprites into real memory, and read back a colour buffer that holds the last
// clear colour.
class CKNULLRasterizer : public CKRasterizer
{
public:
    CKNULLRasterizer();
};

class CKNULLRasterizerDriver : public CKRasterizerDriver
{
public:
    explicit CKNULLRasterizerDriver(CKRasterizer* owner, const char* description = "NULL Rasterizer");
    CKRasterizerContext* CreateContext() override;
};

class CKNULLRasterizerContext : public CKRasterizerContext
{
public:
    explicit CKNULLRasterizerContext(CKRasterizerDriver* driver);
    ~CKNULLRasterizerContext() override;

    CKBOOL Clear(CKDWORD flags, CKDWORD color, float z, CKDWORD stencil, int rectCount, const QxRect* rects) override;
    CKBOOL BackToFront(CKBOOL vsync) override;
    CKBOOL BeginScene() override;
    CKBOOL EndScene() override;
    CKBOOL DrawPrimitive(int type, const CKWORD* indices, int indexCount, CKDrawPrimitiveData* data) override;
    CKBOOL DrawPrimitiveWithDwordIndices(int type, const CKDWORD* indices, int indexCount,
                                         CKDrawPrimitiveData* data) override;
    CKBOOL DrawPrimitiveVB(int type, CKDWORD vertexBuffer, CKDWORD startVertex, CKDWORD vertexCount,
                           const CKWORD* indices = nullptr, int indexCount = 0) override;
    CKBOOL DrawPrimitiveSharedVB(int type, CKDWORD vertexBuffer, CKDWORD startVertex, CKDWORD vertexCount,
                                 const CKWORD* indices, int indexCount) override;
    CKBOOL DrawPrimitiveSharedVBWithDwordIndices(int type, CKDWORD vertexBuffer, CKDWORD startVertex,
                                                 CKDWORD vertexCount, const CKDWORD* indices, int indexCount) override;
    CKBOOL DrawPrimitiveSharedVBIB(int type, CKDWORD vertexBuffer, CKDWORD startVertex, CKDWORD indexBuffer,
                                   CKDWORD startIndex, int vertexCount, int indexCount) override;
    CKBOOL DrawSprite(CKDWORD sprite, const QxRect& source, const QxRect& screen) override;

    CKBOOL CreateObject(CKDWORD index, CKDWORD type, const void* desc) override;
    CKBOOL DeleteObject(CKDWORD index, CKDWORD type) override;
    CKBOOL LoadTexture(CKDWORD texture, const QxImageDesc& surface, int mipLevel = -1) override;
    CKBOOL CopyToTexture(CKDWORD texture, const QxRect* source, const QxRect* destination) override;
    CKBOOL LockTexture(CKDWORD texture, QxImageDesc& surface, int mipLevel = 0, CKDWORD flags = 0) override;
    CKBOOL UnlockTexture(CKDWORD texture, int mipLevel = 0) override;
    CKBOOL LoadSprite(CKDWORD sprite, const QxImageDesc& surface) override;
    void* LockVertexBuffer(CKDWORD vertexBuffer, CKDWORD startVertex, CKDWORD vertexCount, CKDWORD flags = 0) override;
    CKBOOL UnlockVertexBuffer(CKDWORD vertexBuffer) override;
    void* LockSharedVB(CKDWORD index, CKDWORD startVertex, CKDWORD vertexCount, CKDWORD flags = 0) override;
    CKBOOL UnlockSharedVB(CKDWORD index) override;
    void* LockSharedIB(CKDWORD index, CKDWORD startIndex, CKDWORD indexCount, CKDWORD flags = 0) override;
    CKBOOL UnlockSharedIB(CKDWORD index) override;
    int CopyToMemoryBuffer(const QxRect& rect, CKDWORD buffer, QxImageDesc& desc) override;

    // The colour the last colour clear used.
    CKDWORD GetClearColor() const { return m_ClearColor; }
    CKBOOL IsInScene() const { return m_InScene; }

private:
    // The pool of shared ranges of one element size.
    CKSharedBufferPool* PoolFor(CKDWORD elementSize);
    // A texture of the format's size with its pixel memory; null when the
    // size or depth is refused.
    CKTextureDesc* NewTexture(const CKTextureDesc& desc);
    CKBOOL CreateSprite(CKDWORD index, const CKTextureDesc& desc);
    void DeleteSpriteTiles(CKSpriteDesc* sprite);

    CKDWORD m_ClearColor = 0;
    CKBOOL m_InScene = FALSE;
    XArray<CKSharedBufferPool*> m_Pools; // owned, one per element size
};

// Starts the NULL rasterizer (the window is not used).
CKRasterizer* CKNULLRasterizerStart(void* appWindow);

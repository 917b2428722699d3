#pragma once

#include "includes/XArray.h"
#include "includes/XClassArray.h"
#include "includes/XString.h"
#include "render/context/rasterizer/CKNULLRasterizer.h"

// A NULL rasterizer whose contexts also write down every call they get, one
// line per call with its arguments ("SetRenderState(137,1)"), for tests to
// compare against the calls a drawing is expected to make. Matrices, records
// and vertex data are written as their most telling numbers only.
class CKRecordingRasterizer : public CKRasterizer
{
public:
    CKRecordingRasterizer();
};

// One vertex of a recorded draw: the position as given (w is 1 for
// positions to transform), the diffuse colour and the coordinates of texture
// set 0 (zero when the vertices have none).
struct CKRecordedVertex
{
    float x = 0.0f, y = 0.0f, z = 0.0f, w = 1.0f;
    CKDWORD Color = 0;
    float u = 0.0f, v = 0.0f;
};

class CKRecordingRasterizerContext : public CKNULLRasterizerContext
{
public:
    explicit CKRecordingRasterizerContext(CKRasterizerDriver* driver) : CKNULLRasterizerContext(driver) {}

    const XClassArray<XString>& GetCalls() const { return m_Calls; }
    void ClearCalls() { m_Calls.Clear(); }
    // The vertices of the last DrawPrimitive call.
    const XArray<CKRecordedVertex>& GetLastVertices() const { return m_LastVertices; }

    CKBOOL Create(void* window, int x, int y, int width, int height, int bpp, CKBOOL fullscreen) override;
    CKBOOL Resize(int x, int y, int width, int height) override;
    CKBOOL Clear(CKDWORD flags, CKDWORD color, float z, CKDWORD stencil, int rectCount, const QxRect* rects) override;
    CKBOOL BackToFront(CKBOOL vsync) override;
    CKBOOL BeginScene() override;
    CKBOOL EndScene() override;
    CKBOOL SetLight(CKDWORD index, const CKLightRecord& light) override;
    CKBOOL EnableLight(CKDWORD index, CKBOOL enable) override;
    CKBOOL SetMaterial(const CKMaterialData& material) override;
    CKBOOL SetViewport(const CKViewportData& viewport) override;
    CKBOOL SetTransform(CKDWORD type, const QxMatrix& matrix) override;
    CKBOOL SetRenderState(CKDWORD state, CKDWORD value) override;
    CKBOOL SetTexture(CKDWORD texture, int stage) override;
    CKBOOL SetTextureStageState(int stage, CKDWORD state, CKDWORD value) override;
    void ResetTextureStages() override;
    CKBOOL SetUserClipPlane(CKDWORD index, const float plane[4]) override;
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

private:
    void Record(const char* format, ...);

    XClassArray<XString> m_Calls;
    XArray<CKRecordedVertex> m_LastVertices;
};

// Starts the recording rasterizer (driver "Recording Rasterizer").
CKRasterizer* CKRecordingRasterizerStart(void* appWindow);

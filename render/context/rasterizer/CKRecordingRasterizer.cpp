#include "render/context/rasterizer/CKRecordingRasterizer.h"

#include <cstdarg>
#include <cstdio>

#include "render/context/rasterizer/CKDrawPrimitiveData.h"
#include "render/context/rasterizer/CKVertexFormat.h"

namespace {

class RecordingDriver : public CKNULLRasterizerDriver
{
public:
    explicit RecordingDriver(CKRasterizer* owner) : CKNULLRasterizerDriver(owner, "Recording Rasterizer") {}
    CKRasterizerContext* CreateContext() override { return new CKRecordingRasterizerContext(this); }
};

} // namespace

CKRecordingRasterizer::CKRecordingRasterizer()
{
    m_Drivers.PushBack(new RecordingDriver(this));
}

CKRasterizer* CKRecordingRasterizerStart(void*)
{
    return new CKRecordingRasterizer;
}

void CKRecordingRasterizerContext::Record(const char* format, ...)
{
    char line[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof(line), format, args);
    va_end(args);
    m_Calls.PushBack(XString(line));
}

CKBOOL CKRecordingRasterizerContext::Create(void* window, int x, int y, int width, int height, int bpp,
                                            CKBOOL fullscreen)
{
    Record("Create(%d,%d,%d,%d)", x, y, width, height);
    return CKNULLRasterizerContext::Create(window, x, y, width, height, bpp, fullscreen);
}

CKBOOL CKRecordingRasterizerContext::Resize(int x, int y, int width, int height)
{
    Record("Resize(%d,%d,%d,%d)", x, y, width, height);
    return CKNULLRasterizerContext::Resize(x, y, width, height);
}

CKBOOL CKRecordingRasterizerContext::Clear(CKDWORD flags, CKDWORD color, float z, CKDWORD stencil, int rectCount,
                                           const QxRect* rects)
{
    Record("Clear(0x%x,0x%08x,%g,%u,%d)", flags, color, z, stencil, rectCount);
    return CKNULLRasterizerContext::Clear(flags, color, z, stencil, rectCount, rects);
}

CKBOOL CKRecordingRasterizerContext::BackToFront(CKBOOL vsync)
{
    Record("BackToFront(%d)", vsync);
    return CKNULLRasterizerContext::BackToFront(vsync);
}

CKBOOL CKRecordingRasterizerContext::BeginScene()
{
    Record("BeginScene()");
    return CKNULLRasterizerContext::BeginScene();
}

CKBOOL CKRecordingRasterizerContext::EndScene()
{
    Record("EndScene()");
    return CKNULLRasterizerContext::EndScene();
}

CKBOOL CKRecordingRasterizerContext::SetLight(CKDWORD index, const CKLightRecord& light)
{
    Record("SetLight(%u,type=%u,diffuse=%g/%g/%g,model=%u)", index, light.Light.Type, light.Light.Diffuse.r,
           light.Light.Diffuse.g, light.Light.Diffuse.b, light.LightingModel);
    return CKNULLRasterizerContext::SetLight(index, light);
}

CKBOOL CKRecordingRasterizerContext::EnableLight(CKDWORD index, CKBOOL enable)
{
    Record("EnableLight(%u,%d)", index, enable);
    return CKNULLRasterizerContext::EnableLight(index, enable);
}

CKBOOL CKRecordingRasterizerContext::SetMaterial(const CKMaterialData& material)
{
    Record("SetMaterial(diffuse=%g/%g/%g/%g,power=%g)", material.Diffuse.r, material.Diffuse.g, material.Diffuse.b,
           material.Diffuse.a, material.SpecularPower);
    return CKNULLRasterizerContext::SetMaterial(material);
}

CKBOOL CKRecordingRasterizerContext::SetViewport(const CKViewportData& viewport)
{
    Record("SetViewport(%d,%d,%d,%d)", viewport.ViewX, viewport.ViewY, viewport.ViewWidth, viewport.ViewHeight);
    return CKNULLRasterizerContext::SetViewport(viewport);
}

CKBOOL CKRecordingRasterizerContext::SetTransform(CKDWORD type, const QxMatrix& matrix)
{
    Record("SetTransform(%u,pos=%g/%g/%g)", type, matrix[3][0], matrix[3][1], matrix[3][2]);
    return CKNULLRasterizerContext::SetTransform(type, matrix);
}

CKBOOL CKRecordingRasterizerContext::SetRenderState(CKDWORD state, CKDWORD value)
{
    Record("SetRenderState(%u,%u)", state, value);
    return CKNULLRasterizerContext::SetRenderState(state, value);
}

CKBOOL CKRecordingRasterizerContext::SetTexture(CKDWORD texture, int stage)
{
    Record("SetTexture(%u,%d)", texture, stage);
    return CKNULLRasterizerContext::SetTexture(texture, stage);
}

CKBOOL CKRecordingRasterizerContext::SetTextureStageState(int stage, CKDWORD state, CKDWORD value)
{
    Record("SetTextureStageState(%d,%u,%u)", stage, state, value);
    return CKNULLRasterizerContext::SetTextureStageState(stage, state, value);
}

void CKRecordingRasterizerContext::ResetTextureStages()
{
    Record("ResetTextureStages()");
    CKNULLRasterizerContext::ResetTextureStages();
}

CKBOOL CKRecordingRasterizerContext::SetUserClipPlane(CKDWORD index, const float plane[4])
{
    if (plane)
        Record("SetUserClipPlane(%u,%g,%g,%g,%g)", index, plane[0], plane[1], plane[2], plane[3]);
    return CKNULLRasterizerContext::SetUserClipPlane(index, plane);
}

CKBOOL CKRecordingRasterizerContext::DrawPrimitive(int type, const CKWORD* indices, int indexCount,
                                                   CKDrawPrimitiveData* data)
{
    Record("DrawPrimitive(%d,%d,%d,flags=0x%x)", type, indices ? indexCount : -1, data ? data->VertexCount : -1,
           data ? data->Flags : 0);
    m_LastVertices.Clear();
    for (int i = 0; data && data->PositionPtr && i < data->VertexCount; ++i) {
        CKRecordedVertex vertex;
        const float* p =
            reinterpret_cast<const float*>(static_cast<const CKBYTE*>(data->PositionPtr) + i * data->PositionStride);
        vertex.x = p[0];
        vertex.y = p[1];
        vertex.z = p[2];
        vertex.w = (data->Flags & CKRST_DP_TRANSFORM) ? 1.0f : p[3];
        if (data->ColorPtr)
            vertex.Color =
                *reinterpret_cast<const CKDWORD*>(static_cast<const CKBYTE*>(data->ColorPtr) + i * data->ColorStride);
        if (data->TexCoordPtr) {
            const float* t = reinterpret_cast<const float*>(static_cast<const CKBYTE*>(data->TexCoordPtr) +
                                                            i * data->TexCoordStride);
            vertex.u = t[0];
            vertex.v = t[1];
        }
        m_LastVertices.PushBack(vertex);
    }
    return CKNULLRasterizerContext::DrawPrimitive(type, indices, indexCount, data);
}

CKBOOL CKRecordingRasterizerContext::DrawPrimitiveWithDwordIndices(int type, const CKDWORD* indices, int indexCount,
                                                                   CKDrawPrimitiveData* data)
{
    Record("DrawPrimitiveWithDwordIndices(%d,%d,%d)", type, indices ? indexCount : -1, data ? data->VertexCount : -1);
    return CKNULLRasterizerContext::DrawPrimitiveWithDwordIndices(type, indices, indexCount, data);
}

CKBOOL CKRecordingRasterizerContext::DrawPrimitiveVB(int type, CKDWORD vertexBuffer, CKDWORD startVertex,
                                                     CKDWORD vertexCount, const CKWORD* indices, int indexCount)
{
    Record("DrawPrimitiveVB(%d,%u,%u,%u,%d)", type, vertexBuffer, startVertex, vertexCount, indices ? indexCount : -1);
    return CKNULLRasterizerContext::DrawPrimitiveVB(type, vertexBuffer, startVertex, vertexCount, indices, indexCount);
}

CKBOOL CKRecordingRasterizerContext::DrawPrimitiveSharedVB(int type, CKDWORD vertexBuffer, CKDWORD startVertex,
                                                           CKDWORD vertexCount, const CKWORD* indices, int indexCount)
{
    Record("DrawPrimitiveSharedVB(%d,%u,%u,%u,%d)", type, vertexBuffer, startVertex, vertexCount,
           indices ? indexCount : -1);
    return CKNULLRasterizerContext::DrawPrimitiveSharedVB(type, vertexBuffer, startVertex, vertexCount, indices,
                                                          indexCount);
}

CKBOOL CKRecordingRasterizerContext::DrawPrimitiveSharedVBWithDwordIndices(int type, CKDWORD vertexBuffer,
                                                                           CKDWORD startVertex, CKDWORD vertexCount,
                                                                           const CKDWORD* indices, int indexCount)
{
    Record("DrawPrimitiveSharedVBWithDwordIndices(%d,%u,%u,%u,%d)", type, vertexBuffer, startVertex, vertexCount,
           indices ? indexCount : -1);
    return CKNULLRasterizerContext::DrawPrimitiveSharedVBWithDwordIndices(type, vertexBuffer, startVertex, vertexCount,
                                                                          indices, indexCount);
}

CKBOOL CKRecordingRasterizerContext::DrawPrimitiveSharedVBIB(int type, CKDWORD vertexBuffer, CKDWORD startVertex,
                                                             CKDWORD indexBuffer, CKDWORD startIndex, int vertexCount,
                                                             int indexCount)
{
    Record("DrawPrimitiveSharedVBIB(%d,%u,%u,%u,%u,%d,%d)", type, vertexBuffer, startVertex, indexBuffer, startIndex,
           vertexCount, indexCount);
    return CKNULLRasterizerContext::DrawPrimitiveSharedVBIB(type, vertexBuffer, startVertex, indexBuffer, startIndex,
                                                            vertexCount, indexCount);
}

CKBOOL CKRecordingRasterizerContext::DrawSprite(CKDWORD sprite, const QxRect& source, const QxRect& screen)
{
    Record("DrawSprite(%u,%g,%g,%g,%g,%g,%g,%g,%g)", sprite, source.left, source.top, source.right, source.bottom,
           screen.left, screen.top, screen.right, screen.bottom);
    return CKNULLRasterizerContext::DrawSprite(sprite, source, screen);
}

CKBOOL CKRecordingRasterizerContext::CreateObject(CKDWORD index, CKDWORD type, const void* desc)
{
    Record("CreateObject(%u,%u)", index, type);
    return CKNULLRasterizerContext::CreateObject(index, type, desc);
}

CKBOOL CKRecordingRasterizerContext::DeleteObject(CKDWORD index, CKDWORD type)
{
    Record("DeleteObject(%u,%u)", index, type);
    return CKNULLRasterizerContext::DeleteObject(index, type);
}

CKBOOL CKRecordingRasterizerContext::LoadTexture(CKDWORD texture, const QxImageDesc& surface, int mipLevel)
{
    Record("LoadTexture(%u,%dx%d,%d)", texture, surface.Width, surface.Height, mipLevel);
    return CKNULLRasterizerContext::LoadTexture(texture, surface, mipLevel);
}

CKBOOL CKRecordingRasterizerContext::CopyToTexture(CKDWORD texture, const QxRect* source, const QxRect* destination)
{
    Record("CopyToTexture(%u)", texture);
    return CKNULLRasterizerContext::CopyToTexture(texture, source, destination);
}

CKBOOL CKRecordingRasterizerContext::LockTexture(CKDWORD texture, QxImageDesc& surface, int mipLevel, CKDWORD flags)
{
    Record("LockTexture(%u,%d,%u)", texture, mipLevel, flags);
    return CKNULLRasterizerContext::LockTexture(texture, surface, mipLevel, flags);
}

CKBOOL CKRecordingRasterizerContext::UnlockTexture(CKDWORD texture, int mipLevel)
{
    Record("UnlockTexture(%u,%d)", texture, mipLevel);
    return CKNULLRasterizerContext::UnlockTexture(texture, mipLevel);
}

CKBOOL CKRecordingRasterizerContext::LoadSprite(CKDWORD sprite, const QxImageDesc& surface)
{
    Record("LoadSprite(%u,%dx%d)", sprite, surface.Width, surface.Height);
    return CKNULLRasterizerContext::LoadSprite(sprite, surface);
}

void* CKRecordingRasterizerContext::LockVertexBuffer(CKDWORD vertexBuffer, CKDWORD startVertex, CKDWORD vertexCount,
                                                     CKDWORD flags)
{
    Record("LockVertexBuffer(%u,%u,%u,%u)", vertexBuffer, startVertex, vertexCount, flags);
    return CKNULLRasterizerContext::LockVertexBuffer(vertexBuffer, startVertex, vertexCount, flags);
}

CKBOOL CKRecordingRasterizerContext::UnlockVertexBuffer(CKDWORD vertexBuffer)
{
    Record("UnlockVertexBuffer(%u)", vertexBuffer);
    return CKNULLRasterizerContext::UnlockVertexBuffer(vertexBuffer);
}

void* CKRecordingRasterizerContext::LockSharedVB(CKDWORD index, CKDWORD startVertex, CKDWORD vertexCount, CKDWORD flags)
{
    Record("LockSharedVB(%u,%u,%u,%u)", index, startVertex, vertexCount, flags);
    return CKNULLRasterizerContext::LockSharedVB(index, startVertex, vertexCount, flags);
}

CKBOOL CKRecordingRasterizerContext::UnlockSharedVB(CKDWORD index)
{
    Record("UnlockSharedVB(%u)", index);
    return CKNULLRasterizerContext::UnlockSharedVB(index);
}

void* CKRecordingRasterizerContext::LockSharedIB(CKDWORD index, CKDWORD startIndex, CKDWORD indexCount, CKDWORD flags)
{
    Record("LockSharedIB(%u,%u,%u,%u)", index, startIndex, indexCount, flags);
    return CKNULLRasterizerContext::LockSharedIB(index, startIndex, indexCount, flags);
}

CKBOOL CKRecordingRasterizerContext::UnlockSharedIB(CKDWORD index)
{
    Record("UnlockSharedIB(%u)", index);
    return CKNULLRasterizerContext::UnlockSharedIB(index);
}

int CKRecordingRasterizerContext::CopyToMemoryBuffer(const QxRect& rect, CKDWORD buffer, QxImageDesc& desc)
{
    Record("CopyToMemoryBuffer(%g,%g,%g,%g,%u)", rect.left, rect.top, rect.right, rect.bottom, buffer);
    return CKNULLRasterizerContext::CopyToMemoryBuffer(rect, buffer, desc);
}

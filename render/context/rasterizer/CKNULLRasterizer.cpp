#include "render/context/rasterizer/CKNULLRasterizer.h"

#include <cstring>

#include "render/context/rasterizer/CKSharedBufferPool.h"
#include "system/image/QxBlitter.h"
#include "system/image/QxPixelFormat.h"

namespace {

// A texture with the memory of its pixels.
class NullTexture : public CKTextureDesc
{
public:
    XArray<CKBYTE> Pixels;
};

// A vertex buffer with its memory.
class NullVertexBuffer : public CKVertexBufferDesc
{
public:
    XArray<CKBYTE> Memory;
};

// Textures of sprite tiles take indices from here up, above what a render
// manager hands out.
constexpr CKDWORD kTileTextureBase = 0xC0000;
// At most this many vertices or indices in one shared pool, and bytes in
// one vertex buffer.
constexpr CKDWORD kMaxPoolElements = 0x1000000;
constexpr uint64_t kMaxBufferBytes = 0x10000000;
constexpr int kMaxTextureSide = 8192;

} // namespace

CKNULLRasterizer::CKNULLRasterizer()
{
    m_Drivers.PushBack(new CKNULLRasterizerDriver(this));
}

CKNULLRasterizerDriver::CKNULLRasterizerDriver(CKRasterizer* owner, const char* description) : CKRasterizerDriver(owner)
{
    m_Description = description;
    m_Caps.CapsFlags = CKRST_CAPS_POINTSPRITES;
    m_Caps.MaxVertexIndex = 0xFFFFFF;
    m_Caps.MaxTextureWidth = kMaxTextureSide;
    m_Caps.MaxTextureHeight = kMaxTextureSide;
    for (int format : {_32_ARGB8888, _32_RGB888, _24_RGB888, _16_RGB565, _16_RGB555, _16_ARGB1555, _16_ARGB4444})
        AddTextureFormat(format);
}

CKRasterizerContext* CKNULLRasterizerDriver::CreateContext()
{
    return new CKNULLRasterizerContext(this);
}

CKNULLRasterizerContext::CKNULLRasterizerContext(CKRasterizerDriver* driver) : CKRasterizerContext(driver) {}

CKNULLRasterizerContext::~CKNULLRasterizerContext()
{
    // Shared descriptions give their ranges back to the pools.
    ReleaseAllObjects();
    for (CKSharedBufferPool* pool : m_Pools)
        delete pool;
}

CKBOOL CKNULLRasterizerContext::Clear(CKDWORD flags, CKDWORD color, float, CKDWORD, int, const QxRect*)
{
    if (flags & CKRST_CTXCLEAR_COLOR)
        m_ClearColor = color;
    return TRUE;
}

CKBOOL CKNULLRasterizerContext::BackToFront(CKBOOL)
{
    return TRUE;
}

CKBOOL CKNULLRasterizerContext::BeginScene()
{
    m_InScene = TRUE;
    return TRUE;
}

CKBOOL CKNULLRasterizerContext::EndScene()
{
    m_InScene = FALSE;
    return TRUE;
}

CKBOOL CKNULLRasterizerContext::DrawPrimitive(int, const CKWORD*, int, CKDrawPrimitiveData* data)
{
    return data != nullptr;
}

CKBOOL CKNULLRasterizerContext::DrawPrimitiveWithDwordIndices(int, const CKDWORD*, int, CKDrawPrimitiveData* data)
{
    return data != nullptr;
}

CKBOOL CKNULLRasterizerContext::DrawPrimitiveVB(int, CKDWORD vertexBuffer, CKDWORD startVertex, CKDWORD vertexCount,
                                                const CKWORD*, int)
{
    CKVertexBufferDesc* desc = GetVertexBufferData(vertexBuffer);
    return desc && startVertex <= desc->MaxVertexCount && vertexCount <= desc->MaxVertexCount - startVertex;
}

CKBOOL CKNULLRasterizerContext::DrawPrimitiveSharedVB(int, CKDWORD vertexBuffer, CKDWORD startVertex,
                                                      CKDWORD vertexCount, const CKWORD*, int)
{
    CKSharedVBDesc* desc = GetSharedVBData(vertexBuffer);
    return desc && startVertex <= desc->MaxVertexCount && vertexCount <= desc->MaxVertexCount - startVertex;
}

CKBOOL CKNULLRasterizerContext::DrawPrimitiveSharedVBWithDwordIndices(int, CKDWORD vertexBuffer, CKDWORD startVertex,
                                                                      CKDWORD vertexCount, const CKDWORD*, int)
{
    CKSharedVBDesc* desc = GetSharedVBData(vertexBuffer);
    return desc && startVertex <= desc->MaxVertexCount && vertexCount <= desc->MaxVertexCount - startVertex;
}

CKBOOL CKNULLRasterizerContext::DrawPrimitiveSharedVBIB(int, CKDWORD vertexBuffer, CKDWORD startVertex,
                                                        CKDWORD indexBuffer, CKDWORD startIndex, int vertexCount,
                                                        int indexCount)
{
    CKSharedVBDesc* vb = GetSharedVBData(vertexBuffer);
    CKSharedIBDesc* ib = GetSharedIBData(indexBuffer);
    return vb && ib && vertexCount >= 0 && indexCount >= 0 && startVertex <= vb->MaxVertexCount &&
           (CKDWORD) vertexCount <= vb->MaxVertexCount - startVertex && startIndex <= ib->MaxIndexCount &&
           (CKDWORD) indexCount <= ib->MaxIndexCount - startIndex;
}

CKBOOL CKNULLRasterizerContext::DrawSprite(CKDWORD sprite, const QxRect&, const QxRect&)
{
    return GetSpriteData(sprite) != nullptr;
}

CKSharedBufferPool* CKNULLRasterizerContext::PoolFor(CKDWORD elementSize)
{
    for (CKSharedBufferPool* pool : m_Pools)
        if (pool->GetElementSize() == elementSize)
            return pool;
    CKSharedBufferPool* pool = new CKSharedBufferPool(elementSize, kMaxPoolElements);
    if (pool)
        m_Pools.PushBack(pool);
    return pool;
}

CKTextureDesc* CKNULLRasterizerContext::NewTexture(const CKTextureDesc& desc)
{
    const QxImageDesc& format = desc.Format;
    if (format.Width <= 0 || format.Height <= 0 || format.Width > kMaxTextureSide || format.Height > kMaxTextureSide)
        return nullptr;
    NullTexture* texture = new NullTexture;
    if (!texture)
        return nullptr;
    texture->Flags = desc.Flags;
    texture->MipMapCount = desc.MipMapCount;
    texture->Format = format;
    // Formats that masks cannot describe are kept as 32-bit ARGB.
    int bpp = format.BitsPerPixel;
    if (format.Flags != 0 || (bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)) {
        texture->Format = QxMakeImageDesc32(format.Width, format.Height);
        bpp = 32;
    }
    texture->Format.BytesPerLine = format.Width * (bpp / 8);
    texture->Format.ColorMap = nullptr;
    texture->Format.Image = nullptr;
    int bytes = texture->Format.BytesPerLine * format.Height;
    texture->Pixels.Resize(bytes);
    if (texture->Pixels.Size() != bytes) {
        delete texture;
        return nullptr;
    }
    std::memset(texture->Pixels.Begin(), 0, (size_t) bytes);
    return texture;
}

CKBOOL CKNULLRasterizerContext::CreateSprite(CKDWORD index, const CKTextureDesc& desc)
{
    const QxImageDesc& format = desc.Format;
    if (format.Width <= 0 || format.Height <= 0 || format.Width > 0xFFFF || format.Height > 0xFFFF)
        return FALSE;
    CKSpriteDesc* sprite = new CKSpriteDesc;
    if (!sprite)
        return FALSE;
    sprite->Format.Flags = desc.Flags;
    sprite->Format.Format = format;
    // A colour key needs alpha: a format without it becomes 32-bit ARGB.
    if (desc.Flags & CKRST_TEXTURE_COLORKEY) {
        if (format.Flags == 0 && format.AlphaMask == 0 && !format.ColorMap)
            sprite->Format.Format = QxMakeImageDesc32(format.Width, format.Height);
        sprite->Format.Flags |= CKRST_TEXTURE_ALPHAKEYED;
    }
    sprite->Format.Format.Image = nullptr;
    sprite->Format.Format.ColorMap = nullptr;
    sprite->ColorMap = format.ColorMap ? 1 : 0;
    int side = m_Driver ? m_Driver->GetCaps().MaxTextureWidth : 256;
    if (side > 0xFFFF)
        side = 0xFFFF;
    CKDWORD nextTexture = kTileTextureBase;
    for (int y = 0; y < format.Height; y += side)
        for (int x = 0; x < format.Width; x += side) {
            CKSpriteTile tile;
            tile.x = (CKWORD) x;
            tile.y = (CKWORD) y;
            tile.Width = (CKWORD) (format.Width - x < side ? format.Width - x : side);
            tile.Height = (CKWORD) (format.Height - y < side ? format.Height - y : side);
            tile.TextureWidth = tile.Width;
            tile.TextureHeight = tile.Height;
            while (nextTexture <= CKRST_MAX_OBJECTINDEX && GetTextureData(nextTexture))
                ++nextTexture;
            CKTextureDesc tileDesc;
            tileDesc.Format = sprite->Format.Format;
            tileDesc.Format.Width = tile.Width;
            tileDesc.Format.Height = tile.Height;
            CKTextureDesc* texture = NewTexture(tileDesc);
            if (!texture || !SetObjectDesc(nextTexture, CKRST_OBJ_TEXTURE, texture)) {
                DeleteSpriteTiles(sprite);
                delete sprite;
                return FALSE;
            }
            tile.TextureIndex = nextTexture;
            sprite->Tiles.PushBack(tile);
        }
    if (!SetObjectDesc(index, CKRST_OBJ_SPRITE, sprite))
        return FALSE;
    return TRUE;
}

void CKNULLRasterizerContext::DeleteSpriteTiles(CKSpriteDesc* sprite)
{
    for (const CKSpriteTile& tile : sprite->Tiles)
        CKRasterizerContext::DeleteObject(tile.TextureIndex, CKRST_OBJ_TEXTURE);
    sprite->Tiles.Clear();
}

CKBOOL CKNULLRasterizerContext::CreateObject(CKDWORD index, CKDWORD type, const void* desc)
{
    if (!desc || index == 0 || index > CKRST_MAX_OBJECTINDEX)
        return FALSE;
    // The kept object is replaced whole (a sprite takes its tiles along).
    CKNULLRasterizerContext::DeleteObject(index, type);
    switch (type) {
    case CKRST_OBJ_TEXTURE: {
        CKTextureDesc* texture = NewTexture(*static_cast<const CKTextureDesc*>(desc));
        return texture && SetObjectDesc(index, type, texture);
    }
    case CKRST_OBJ_SPRITE: return CreateSprite(index, *static_cast<const CKTextureDesc*>(desc));
    case CKRST_OBJ_VERTEXBUFFER: {
        const CKVertexBufferDesc& in = *static_cast<const CKVertexBufferDesc*>(desc);
        uint64_t bytes = (uint64_t) in.VertexSize * in.MaxVertexCount;
        if (in.VertexSize == 0 || in.MaxVertexCount == 0 || bytes > kMaxBufferBytes)
            return FALSE;
        NullVertexBuffer* vb = new NullVertexBuffer;
        if (!vb)
            return FALSE;
        vb->Flags = in.Flags;
        vb->VertexFormat = in.VertexFormat;
        vb->VertexSize = in.VertexSize;
        vb->MaxVertexCount = in.MaxVertexCount;
        vb->Memory.Resize((int) bytes);
        if (vb->Memory.Size() != (int) bytes) {
            delete vb;
            return FALSE;
        }
        return SetObjectDesc(index, type, vb);
    }
    case CKRST_OBJ_SHAREDVB: {
        const CKSharedVBDesc& in = *static_cast<const CKSharedVBDesc*>(desc);
        if (in.VertexSize == 0 || in.MaxVertexCount == 0 ||
            (uint64_t) in.VertexSize * in.MaxVertexCount > kMaxBufferBytes)
            return FALSE;
        CKSharedBufferPool* pool = PoolFor(in.VertexSize);
        CKDWORD start = 0;
        if (!pool || !pool->Allocate(in.MaxVertexCount, start))
            return FALSE;
        CKSharedVBDesc* vb = new CKSharedVBDesc;
        if (!vb) {
            pool->FreeRange(start, in.MaxVertexCount);
            return FALSE;
        }
        vb->Flags = in.Flags;
        vb->VertexFormat = in.VertexFormat;
        vb->VertexSize = in.VertexSize;
        vb->MaxVertexCount = in.MaxVertexCount;
        vb->Pool = pool;
        vb->Start = start;
        return SetObjectDesc(index, type, vb);
    }
    case CKRST_OBJ_SHAREDIB: {
        const CKSharedIBDesc& in = *static_cast<const CKSharedIBDesc*>(desc);
        if (in.MaxIndexCount == 0)
            return FALSE;
        CKSharedBufferPool* pool = PoolFor(sizeof(CKWORD));
        CKDWORD start = 0;
        if (!pool || !pool->Allocate(in.MaxIndexCount, start))
            return FALSE;
        CKSharedIBDesc* ib = new CKSharedIBDesc;
        if (!ib) {
            pool->FreeRange(start, in.MaxIndexCount);
            return FALSE;
        }
        ib->Flags = in.Flags;
        ib->MaxIndexCount = in.MaxIndexCount;
        ib->Pool = pool;
        ib->Start = start;
        return SetObjectDesc(index, type, ib);
    }
    default: return FALSE;
    }
}

CKBOOL CKNULLRasterizerContext::DeleteObject(CKDWORD index, CKDWORD type)
{
    if (type == CKRST_OBJ_SPRITE)
        if (CKSpriteDesc* sprite = GetSpriteData(index))
            DeleteSpriteTiles(sprite);
    return CKRasterizerContext::DeleteObject(index, type);
}

CKBOOL CKNULLRasterizerContext::LoadTexture(CKDWORD texture, const QxImageDesc& surface, int)
{
    NullTexture* kept = static_cast<NullTexture*>(GetTextureData(texture));
    if (!kept || !surface.Image)
        return FALSE;
    QxImageDesc target = kept->Format;
    target.Image = kept->Pixels.Begin();
    // Another size is resampled (from a 32-bit surface).
    return QxDoBlit(surface, target) ? TRUE : FALSE;
}

CKBOOL CKNULLRasterizerContext::CopyToTexture(CKDWORD texture, const QxRect*, const QxRect*)
{
    return GetTextureData(texture) != nullptr;
}

CKBOOL CKNULLRasterizerContext::LockTexture(CKDWORD texture, QxImageDesc& surface, int, CKDWORD)
{
    NullTexture* kept = static_cast<NullTexture*>(GetTextureData(texture));
    if (!kept)
        return FALSE;
    surface = kept->Format;
    surface.Image = kept->Pixels.Begin();
    return TRUE;
}

CKBOOL CKNULLRasterizerContext::UnlockTexture(CKDWORD texture, int)
{
    return GetTextureData(texture) != nullptr;
}

CKBOOL CKNULLRasterizerContext::LoadSprite(CKDWORD sprite, const QxImageDesc& surface)
{
    CKSpriteDesc* kept = GetSpriteData(sprite);
    if (!kept || !surface.Image || surface.Width != kept->Format.Format.Width ||
        surface.Height != kept->Format.Format.Height || surface.BitsPerPixel < 8 || surface.BitsPerPixel % 8)
        return FALSE;
    int bytesPerPixel = surface.BitsPerPixel / 8;
    for (const CKSpriteTile& tile : kept->Tiles) {
        NullTexture* texture = static_cast<NullTexture*>(GetTextureData(tile.TextureIndex));
        if (!texture)
            return FALSE;
        QxImageDesc part = surface;
        part.Width = tile.Width;
        part.Height = tile.Height;
        part.Image = surface.Image + (ptrdiff_t) tile.y * surface.BytesPerLine + (ptrdiff_t) tile.x * bytesPerPixel;
        QxImageDesc target = texture->Format;
        target.Image = texture->Pixels.Begin();
        if (!QxDoBlit(part, target))
            return FALSE;
    }
    return TRUE;
}

void* CKNULLRasterizerContext::LockVertexBuffer(CKDWORD vertexBuffer, CKDWORD startVertex, CKDWORD vertexCount, CKDWORD)
{
    NullVertexBuffer* vb = static_cast<NullVertexBuffer*>(GetVertexBufferData(vertexBuffer));
    if (!vb || startVertex > vb->MaxVertexCount || vertexCount > vb->MaxVertexCount - startVertex)
        return nullptr;
    return vb->Memory.Begin() + (size_t) startVertex * vb->VertexSize;
}

CKBOOL CKNULLRasterizerContext::UnlockVertexBuffer(CKDWORD vertexBuffer)
{
    return GetVertexBufferData(vertexBuffer) != nullptr;
}

void* CKNULLRasterizerContext::LockSharedVB(CKDWORD index, CKDWORD startVertex, CKDWORD vertexCount, CKDWORD)
{
    CKSharedVBDesc* vb = GetSharedVBData(index);
    if (!vb || !vb->Pool || startVertex > vb->MaxVertexCount || vertexCount > vb->MaxVertexCount - startVertex)
        return nullptr;
    return vb->Pool->GetData(vb->Start + startVertex);
}

CKBOOL CKNULLRasterizerContext::UnlockSharedVB(CKDWORD index)
{
    return GetSharedVBData(index) != nullptr;
}

void* CKNULLRasterizerContext::LockSharedIB(CKDWORD index, CKDWORD startIndex, CKDWORD indexCount, CKDWORD)
{
    CKSharedIBDesc* ib = GetSharedIBData(index);
    if (!ib || !ib->Pool || startIndex > ib->MaxIndexCount || indexCount > ib->MaxIndexCount - startIndex)
        return nullptr;
    return ib->Pool->GetData(ib->Start + startIndex);
}

CKBOOL CKNULLRasterizerContext::UnlockSharedIB(CKDWORD index)
{
    return GetSharedIBData(index) != nullptr;
}

int CKNULLRasterizerContext::CopyToMemoryBuffer(const QxRect& rect, CKDWORD buffer, QxImageDesc& desc)
{
    if (buffer != 1)
        return 0;
    // The rectangle is cut to the device.
    int left = rect.left > 0.0f ? (int) rect.left : 0;
    int top = rect.top > 0.0f ? (int) rect.top : 0;
    int right = rect.right < (float) m_Width ? (int) rect.right : m_Width;
    int bottom = rect.bottom < (float) m_Height ? (int) rect.bottom : m_Height;
    if (right <= left || bottom <= top)
        return 0;
    CKBYTE* target = desc.Image;
    desc = QxMakeImageDesc32(right - left, bottom - top);
    desc.Image = target;
    int pixels = desc.Width * desc.Height;
    if (target)
        for (int i = 0; i < pixels; ++i)
            std::memcpy(target + (size_t) i * 4, &m_ClearColor, 4);
    return pixels * 4;
}

CKRasterizer* CKNULLRasterizerStart(void*)
{
    return new CKNULLRasterizer;
}

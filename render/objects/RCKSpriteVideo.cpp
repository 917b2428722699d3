// The sprite's copy in video memory and its drawing.
#include "core/context/CKContext.h"
#include "core/context/CKRenderContext.h"
#include "core/object/CKClassRegistry.h"
#include "render/context/RCKRenderManager.h"
#include "render/context/rasterizer/CKRasterizerContext.h"
#include "render/objects/RCKSprite.h"
#include "system/image/QxPixelFormat.h"

namespace {

// What every sprite texture asks of the rasterizer.
constexpr CKDWORD kSpriteTextureFlags = 0x1C01;
constexpr CKDWORD kSpriteTextureClamped = 0x80;
constexpr CKDWORD kSpriteTextureFlag40 = 0x100;
// Compressed formats begin at this pixel-format id.
constexpr int kFirstCompressedFormat = 19;

// Texture-stage states of the sprite's stage.
enum : CKDWORD
{
    kStageAddressU = 13,
    kStageAddressV = 14,
    kStageMinFilter = 16,
    kStageMagFilter = 17,
    kStageTextureBlend = 39,
};
// Render states of the alpha test.
enum : CKDWORD
{
    kAlphaRef = 24,
    kAlphaFunc = 25,
};

} // namespace

CKRasterizerContext* RCKSprite::VideoContext()
{
    if (!m_RasterizerContext)
        return nullptr;
    // The render context may have let its device go since.
    CKObject* object = m_Context ? m_Context->GetObject(m_VideoRenderContext) : nullptr;
    if (!CKIsChildClassOfObject(object, CKCID_RENDERCONTEXT) ||
        static_cast<CKRenderContext*>(object)->GetRasterizerContext() != m_RasterizerContext) {
        m_RasterizerContext = nullptr;
        m_VideoRenderContext = 0;
    }
    return m_RasterizerContext;
}

CKBOOL RCKSprite::SystemToVideoMemory(CKRenderContext* context, CKBOOL clamping)
{
    CKRasterizerContext* rst = context ? context->GetRasterizerContext() : nullptr;
    if ((m_Bitmap.GetBitmapFlags() & CKBITMAPDATA_NOIMAGE) || !rst)
        return FALSE;
    m_RasterizerContext = rst;
    m_VideoRenderContext = context->GetID();
    if (m_Bitmap.GetSystemCaching() == CKBITMAP_DISCARD && m_Bitmap.GetWidth() == -1 && m_Bitmap.GetHeight() == -1)
        m_Bitmap.ReadSlotImage(0, nullptr);

    CKTextureDesc desc;
    desc.Flags = kSpriteTextureFlags;
    RCKRenderManager* manager = GetRenderManager();
    if (manager && manager->GetSettings().TextureClamping)
        desc.Flags |= kSpriteTextureClamped;
    if (m_Bitmap.GetBitmapFlags() & CKBITMAPDATA_FLAG40)
        desc.Flags |= kSpriteTextureFlag40;
    if (m_Bitmap.IsTransparent())
        desc.Flags |= CKRST_TEXTURE_COLORKEY;
    if (m_Bitmap.GetDesiredVideoFormat() != 0) {
        QxPixelFormat2ImageDesc(m_Bitmap.GetDesiredVideoFormat(), desc.Format);
    } else {
        desc.Format.BitsPerPixel = 16;
        desc.Format.AlphaMask = 0x8000;
        desc.Format.RedMask = 0x7C00;
        desc.Format.GreenMask = 0x03E0;
        desc.Format.BlueMask = 0x001F;
    }
    desc.Format.Width = m_Bitmap.GetWidth();
    desc.Format.Height = m_Bitmap.GetHeight();
    desc.Format.BytesPerLine = desc.Format.Width * (desc.Format.BitsPerPixel / 8);
    if (!m_RasterizerIndex || !rst->CreateObject(m_RasterizerIndex, CKRST_OBJ_SPRITE, &desc))
        return FALSE;
    m_Bitmap.SetBitmapFlags(m_Bitmap.GetBitmapFlags() & ~CKBITMAPDATA_VIDEOCHANGED);
    return CopySystemToVideoMemory(clamping);
}

CKBOOL RCKSprite::CopySystemToVideoMemory(CKBOOL)
{
    CKRasterizerContext* rst = VideoContext();
    if (!rst || (m_Bitmap.GetBitmapFlags() & CKBITMAPDATA_NOIMAGE))
        return FALSE;
    const int slot = m_Bitmap.GetCurrentSlot();
    CKBYTE* pixels = m_Bitmap.GetSlotImageData(slot);
    if (!pixels && m_Bitmap.IsFileReloadable()) {
        if (CKSpriteDesc* sprite = rst->GetSpriteData(m_RasterizerIndex)) {
            QxImageDesc wanted = sprite->Format.Format;
            m_Bitmap.ReadSlotImage(slot, &wanted);
            pixels = m_Bitmap.GetSlotImageData(slot);
        }
    }
    m_Bitmap.SetBitmapFlags(m_Bitmap.GetBitmapFlags() & ~CKBITMAPDATA_MODIFIED);
    if (!pixels)
        return FALSE;
    QxImageDesc desc;
    m_Bitmap.GetImageDesc(desc);
    desc.Image = pixels;
    if (m_Bitmap.IsTransparent())
        m_Bitmap.ApplyTransparentColor(desc);
    const CKBOOL loaded = rst->LoadSprite(m_RasterizerIndex, desc);
    if (m_Bitmap.GetSystemCaching() == CKBITMAP_DISCARD && m_Bitmap.IsFileReloadable())
        m_Bitmap.FreeSlotPixels(slot);
    return loaded;
}

CKBOOL RCKSprite::FreeVideoMemory()
{
    CKRasterizerContext* rst = VideoContext();
    return rst ? rst->DeleteObject(m_RasterizerIndex, CKRST_OBJ_SPRITE) : FALSE;
}

CKBOOL RCKSprite::IsInVideoMemory()
{
    CKRasterizerContext* rst = VideoContext();
    return rst && rst->GetSpriteData(m_RasterizerIndex) ? TRUE : FALSE;
}

CKBOOL RCKSprite::CopyFromRenderContext(CKRenderContext* context, const QxRect* source, const QxRect* destination)
{
    CKRasterizerContext* rst = context ? context->GetRasterizerContext() : nullptr;
    return rst ? rst->CopyToTexture(m_RasterizerIndex, source, destination) : FALSE;
}

CKBOOL RCKSprite::GetVideoTextureDesc(QxImageDesc& desc)
{
    CKRasterizerContext* rst = VideoContext();
    CKSpriteDesc* sprite = rst ? rst->GetSpriteData(m_RasterizerIndex) : nullptr;
    if (!sprite)
        return FALSE;
    desc = sprite->Format.Format;
    return TRUE;
}

int RCKSprite::GetVideoPixelFormat()
{
    QxImageDesc desc;
    return GetVideoTextureDesc(desc) ? QxImageDesc2PixelFormat(desc) : 0;
}

int RCKSprite::GetVideoTileCount()
{
    CKRasterizerContext* rst = VideoContext();
    CKSpriteDesc* sprite = rst ? rst->GetSpriteData(m_RasterizerIndex) : nullptr;
    return sprite ? sprite->Tiles.Size() : 0;
}

CKBOOL RCKSprite::LockVideoTile(int tile, QxImageDesc& surface, QxRect& rect, CKDWORD flags)
{
    CKRasterizerContext* rst = VideoContext();
    CKSpriteDesc* sprite = rst ? rst->GetSpriteData(m_RasterizerIndex) : nullptr;
    if (!sprite || tile < 0 || tile >= sprite->Tiles.Size())
        return FALSE;
    const CKSpriteTile& t = sprite->Tiles[tile];
    rect.Set((float) t.x, (float) t.y, (float) (t.x + t.Width), (float) (t.y + t.Height));
    return rst->LockTexture(t.TextureIndex, surface, 0, flags);
}

CKBOOL RCKSprite::UnlockVideoTile(int tile)
{
    CKRasterizerContext* rst = VideoContext();
    CKSpriteDesc* sprite = rst ? rst->GetSpriteData(m_RasterizerIndex) : nullptr;
    if (!sprite || tile < 0 || tile >= sprite->Tiles.Size())
        return FALSE;
    return rst->UnlockTexture(sprite->Tiles[tile].TextureIndex, 0);
}

CKERROR RCKSprite::Draw(CKRenderContext* context)
{
    if (m_Bitmap.GetBitmapFlags() & CKBITMAPDATA_NOIMAGE)
        return CKErr::InvalidParameter;
    CKRasterizerContext* rst = context ? context->GetRasterizerContext() : nullptr;
    if (!rst)
        return CKErr::InvalidRenderContext;
    CKSpriteDesc* sprite = rst->GetSpriteData(m_RasterizerIndex);
    bool remake = (m_Bitmap.GetBitmapFlags() & CKBITMAPDATA_VIDEOCHANGED) || !sprite;
    if (!remake && m_Bitmap.IsTransparent() && !sprite->ColorMap &&
        QxImageDesc2PixelFormat(sprite->Format.Format) < kFirstCompressedFormat &&
        !(sprite->Format.Flags & CKRST_TEXTURE_ALPHAKEYED)) {
        // Made before the colour key was on: no alpha to key with.
        rst->DeleteObject(m_RasterizerIndex, CKRST_OBJ_SPRITE);
        remake = true;
    }
    if (remake) {
        SystemToVideoMemory(context, FALSE);
    } else {
        m_RasterizerContext = rst;
        m_VideoRenderContext = context->GetID();
    }
    m_Bitmap.SetBitmapFlags(m_Bitmap.GetBitmapFlags() & ~CKBITMAPDATA_VIDEOCHANGED);
    if (m_Bitmap.GetBitmapFlags() & CKBITMAPDATA_MODIFIED)
        CopySystemToVideoMemory(FALSE);

    const CKDWORD options = m_RenderOptions.Options;
    if (m_Bitmap.IsTransparent()) {
        rst->SetRenderState(kAlphaRef, 0);
        rst->SetRenderState(kAlphaFunc, 6);
        rst->SetRenderState(CKRST_RS_ALPHATESTENABLE, 1);
    } else if (options & CKSPRITE_ALPHATEST) {
        rst->SetRenderState(CKRST_RS_ALPHATESTENABLE, 1);
        rst->SetRenderState(kAlphaRef, GetAlphaRef());
        rst->SetRenderState(kAlphaFunc, (CKDWORD) GetAlphaFunc());
    } else {
        rst->SetRenderState(CKRST_RS_ALPHATESTENABLE, 0);
    }
    if (options & CKSPRITE_BLEND) {
        rst->SetRenderState(CKRST_RS_ALPHABLENDENABLE, 1);
        rst->SetRenderState(CKRST_RS_SRCBLEND, (CKDWORD) GetSourceBlend());
        rst->SetRenderState(CKRST_RS_DESTBLEND, (CKDWORD) GetDestBlend());
    } else {
        rst->SetRenderState(CKRST_RS_ALPHABLENDENABLE, 0);
    }
    const CKDWORD filter = (options & CKSPRITE_FILTER) ? 2 : 1;
    rst->SetTextureStageState(0, kStageMagFilter, filter);
    rst->SetTextureStageState(0, kStageMinFilter, filter);
    sprite = rst->GetSpriteData(m_RasterizerIndex);
    if (options & CKSPRITE_MODULATE) {
        rst->SetTextureStageState(0, kStageTextureBlend, 4);
        if (sprite)
            sprite->ModulateColor = m_RenderOptions.ModulateColor;
    } else {
        rst->SetTextureStageState(0, kStageTextureBlend, 1);
    }
    rst->SetTextureStageState(0, kStageAddressU, 3);
    rst->SetTextureStageState(0, kStageAddressV, 3);
    return rst->DrawSprite(m_RasterizerIndex, m_ClippedSourceRect, m_ClippedRect) ? CKErr::Ok : CKErr::InvalidOperation;
}

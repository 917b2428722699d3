#pragma once

#include "core/bitmap/CKBitmapData.h"
#include "render/objects/CKSprite.h"

class CKRasterizerContext;

// Chunk identifiers of a sprite's section.
enum : CKDWORD
{
    CK_STATESAVE_SPRITECURRENTSLOT = 0x00010000,
    CK_STATESAVE_SPRITETRANSPARENT = 0x00020000,
    CK_STATESAVE_SPRITEBITMAPSOLD = 0x00040000, // images in the oldest, format-named form
    CK_STATESAVE_SPRITESHARED = 0x00080000,     // older layout: the sprite whose image this one shows
    CK_STATESAVE_SPRITEFILENAMES = 0x00400000,
    CK_STATESAVE_SPRITERAWBITMAPS = 0x00800000,
    CK_STATESAVE_SPRITEMOVIE = 0x00200000,
    CK_STATESAVE_SPRITEBITMAPS = 0x10000000, // images encoded by a reader
    CK_STATESAVE_SPRITESAVEFORMAT = 0x20000000,
    CK_STATESAVE_SPRITEVIDEOFORMAT = 0x40000000,
    CK_STATESAVE_SPRITESYSTEMCACHING = 0x80000000,
    CK_STATESAVE_SPRITERENDEROPTIONS = 0x80800000,
};

// Chunks of data version above this convert older save-format records.
constexpr int CK_SPRITE_DATAVERSION_OLDFORMATRECORD = 6;

// The render library's sprite. The video copy lives in the rasterizer
// context of the render context that drew it last, under an object index
// the sprite holds from construction to destruction.
class RCKSprite : public CKSprite
{
public:
    explicit RCKSprite(CKContext* context, const char* name = nullptr);
    // Gives the index back (which deletes the video copy everywhere).
    ~RCKSprite() override;

    static CKObject* CreateInstance(CKContext* context) { return new RCKSprite(context); }
    static const char* GetClassName() { return "Sprite"; }
    static void Register();

    // CKObject
    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    int GetMemoryOccupation() override;
    CKERROR Copy(CKObject& source, CKDependenciesContext& context) override;

    // CK2dEntity
    CKERROR Draw(CKRenderContext* context) override;
    void RestoreInitialSize() override;

    // CKSprite
    CKBOOL Create(int width, int height, int bpp = 32, int slot = 0) override;
    CKBOOL LoadImage(const char* name, int slot = 0) override;
    CKBOOL SaveImage(const char* name, int slot = 0, CKBOOL useFormat = FALSE) override;
    CKBOOL LoadMovie(const char* name) override;
    const char* GetMovieFileName() override { return m_Bitmap.GetMovieFileName(); }
    CKMovieReader* GetMovieReader() override { return m_Bitmap.GetMovieReader(); }
    CKBYTE* GetSlotImageData(int slot = -1) override { return m_Bitmap.GetSlotImageData(slot); }
    CKBOOL MarkSlotModified(int slot = -1) override { return m_Bitmap.MarkSlotModified(slot); }
    const char* GetSlotFileName(int slot) override { return m_Bitmap.GetSlotFileName(slot); }
    CKBOOL SetSlotFileName(int slot, const char* name) override { return m_Bitmap.SetSlotFileName(slot, name); }
    int GetSlotCount() override { return m_Bitmap.GetSlotCount(); }
    CKBOOL SetSlotCount(int count) override { return m_Bitmap.SetSlotCount(count); }
    CKBOOL SetCurrentSlot(int slot) override { return m_Bitmap.SetCurrentSlot(slot); }
    int GetCurrentSlot() override { return m_Bitmap.GetCurrentSlot(); }
    CKBOOL RemoveSlot(int slot) override { return m_Bitmap.RemoveSlot(slot); }
    CKBOOL ReleaseAllSlots() override { return m_Bitmap.ReleaseAllSlots(); }
    CKBOOL SetPixel(int x, int y, CKDWORD color, int slot = -1) override
    {
        return m_Bitmap.SetPixel(x, y, color, slot);
    }
    CKDWORD GetPixel(int x, int y, int slot = -1) override { return m_Bitmap.GetPixel(x, y, slot); }
    void SetTransparentColor(CKDWORD color) override { m_Bitmap.SetTransparentColor(color); }
    void SetTransparent(CKBOOL transparent) override { m_Bitmap.SetTransparent(transparent); }
    int SetSystemCaching(int mode) override { return m_Bitmap.SetSystemCaching(mode); }
    void SetDesiredVideoFormat(int format) override { m_Bitmap.SetDesiredVideoFormat(format); }
    void SetSaveFormat(const CKBitmapProperties* format) override { m_Bitmap.SetSaveFormat(format); }
    CKBOOL IsFileReloadable() override { return m_Bitmap.IsFileReloadable(); }
    CKBOOL FreeSlotPixels(int slot = -1) override { return m_Bitmap.FreeSlotPixels(slot); }
    int GetWidth() override { return m_Bitmap.GetWidth(); }
    int GetHeight() override { return m_Bitmap.GetHeight(); }
    CKDWORD GetTransparentColor() override { return m_Bitmap.GetTransparentColor(); }
    CKBOOL IsTransparent() override { return m_Bitmap.IsTransparent(); }
    CKBOOL IsImageModified() override { return (m_Bitmap.GetBitmapFlags() & CKBITMAPDATA_MODIFIED) != 0; }
    int GetSystemCaching() override { return m_Bitmap.GetSystemCaching(); }
    int GetDesiredVideoFormat() override { return m_Bitmap.GetDesiredVideoFormat(); }
    int GetSaveOptions() override { return m_Bitmap.GetSaveOptions(); }
    void SetSaveOptions(int options) override { m_Bitmap.SetSaveOptions(options); }
    CKBitmapProperties* GetSaveFormat() override { return m_Bitmap.GetSaveFormat(); }
    void SetBitmapValue(CKDWORD value) override { m_Bitmap.SetBitmapValue(value); }
    CKDWORD GetBitmapValue() override { return m_Bitmap.GetBitmapValue(); }
    CKBOOL GetSystemTextureDesc(QxImageDesc& desc) override { return m_Bitmap.GetImageDesc(desc); }
    CKBOOL CopySystemToVideoMemory(CKBOOL clamping = FALSE) override;
    CKBOOL SystemToVideoMemory(CKRenderContext* context, CKBOOL clamping = FALSE) override;
    CKBOOL FreeVideoMemory() override;
    CKBOOL IsInVideoMemory() override;
    CKBOOL CopyFromRenderContext(CKRenderContext* context, const QxRect* source, const QxRect* destination) override;
    CKBOOL GetVideoTextureDesc(QxImageDesc& desc) override;
    int GetVideoPixelFormat() override;
    CKBOOL LockVideoTile(int tile, QxImageDesc& surface, QxRect& rect, CKDWORD flags = 0) override;
    CKBOOL UnlockVideoTile(int tile) override;
    int GetVideoTileCount() override;
    void SetRenderOptions(const CKSpriteRenderOptions& options) override { m_RenderOptions = options; }
    CKSpriteRenderOptions GetRenderOptions() override { return m_RenderOptions; }
    void SetAlphaTest(CKBOOL enable, CKBYTE ref = 0, int func = 5) override;
    CKBOOL IsAlphaTestEnabled() override { return (m_RenderOptions.Options & CKSPRITE_ALPHATEST) != 0; }
    CKBYTE GetAlphaRef() override { return (CKBYTE) (m_RenderOptions.Options >> CKSPRITE_ALPHAREFSHIFT); }
    int GetAlphaFunc() override { return (int) ((m_RenderOptions.Options >> CKSPRITE_ALPHAFUNCSHIFT) & 0xF); }
    void SetFiltering(CKBOOL enable) override;
    CKBOOL IsFilteringEnabled() override { return (m_RenderOptions.Options & CKSPRITE_FILTER) != 0; }
    void SetBlending(CKBOOL enable, int sourceBlend = 5, int destBlend = 6) override;
    CKBOOL IsBlendingEnabled() override { return (m_RenderOptions.Options & CKSPRITE_BLEND) != 0; }
    int GetSourceBlend() override { return (int) ((m_RenderOptions.Options >> CKSPRITE_SRCBLENDSHIFT) & 0xF); }
    int GetDestBlend() override { return (int) ((m_RenderOptions.Options >> CKSPRITE_DESTBLENDSHIFT) & 0xFF); }
    void SetModulate(CKBOOL enable, const QxColor& color = QxColor(1.0f, 1.0f, 1.0f, 1.0f)) override;
    CKBOOL IsModulateEnabled() override { return (m_RenderOptions.Options & CKSPRITE_MODULATE) != 0; }
    QxColor GetModulateColor() override { return QxColor(m_RenderOptions.ModulateColor); }
    void SetBitmapFlag40(CKBOOL on) override;

    CKBitmapData& GetBitmapData() { return m_Bitmap; }
    CKDWORD GetRasterizerIndex() const { return m_RasterizerIndex; }
    // The bitmap data of a sprite (class 28 or derived), else null.
    static CKBitmapData* BitmapDataOf(CKObject* object);

protected:
    QxRect GetFrameSourceRect() override;
    // The rasterizer context that holds the video copy; null when there is
    // none or its render context let it go.
    CKRasterizerContext* VideoContext();
    // Takes over another sprite's image, options and slots.
    void CopySprite(RCKSprite& source);
    // A changed image size (from the old one) frees the video copy, and
    // the entity takes the new size.
    void TakeImageSize(int oldWidth, int oldHeight, bool sourceRect);

    CKBitmapData m_Bitmap;
    CKRasterizerContext* m_RasterizerContext = nullptr;
    CK_ID m_VideoRenderContext = 0; // the render context whose device m_RasterizerContext is
    CKDWORD m_RasterizerIndex = 0;
    CKSpriteRenderOptions m_RenderOptions;
};

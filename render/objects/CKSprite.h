#pragma once

#include "render/objects/RCK2dEntity.h"
#include "system/image/QxImageDesc.h"
#include "system/math/QxColor.h"

class CKMovieReader;
struct CKBitmapProperties;

// The render options of a sprite: the colour its image is modulated with
// and the option word (CKSPRITE_...).
struct CKSpriteRenderOptions
{
    CKDWORD ModulateColor = 0xFFFFFFFF;
    CKDWORD Options = 0x00060550;
};

// The option word of a sprite's render options.
enum : CKDWORD
{
    CKSPRITE_ALPHATEST = 0x1,
    CKSPRITE_BLEND = 0x2,
    CKSPRITE_MODULATE = 0x4,
    CKSPRITE_FILTER = 0x8,                // linear filtering, else point
    CKSPRITE_ALPHAFUNCSHIFT = 4,          // bits 4 to 7: the alpha comparison (1 Never .. 8 Always)
    CKSPRITE_SRCBLENDSHIFT = 8,           // bits 8 to 11: the source blend factor
    CKSPRITE_RESERVEDMASK = 0xF000,       // bits 12 to 15: no setter, saved when set
    CKSPRITE_DESTBLENDSHIFT = 16,         // bits 16 to 23: the destination blend factor
    CKSPRITE_ALPHAREFSHIFT = 24,          // bits 24 to 31: the alpha reference
    CKSPRITE_DEFAULTOPTIONS = 0x00060550, // comparison Greater, blend Source Alpha, Inverse Source Alpha
};

// A 2D entity (class 28) that shows an image of its own instead of a
// material: bitmap data with its slots or movie, a copy of the current slot
// in the rasterizer's video memory, and render options. Operations named as
// CKBitmapData's forward to the sprite's bitmap data.
class CKSprite : public CKClass<CKSprite, RCK2dEntity, CKCID_SPRITE>
{
public:
    using CKClass::CKClass;

    // Makes the slot's image; the entity takes its size and shows all of
    // it; a changed size frees the video copy. 1/0.
    virtual CKBOOL Create(int width, int height, int bpp = 32, int slot = 0) = 0;
    // Reads the slot from a file found through the bitmap paths; on
    // failure the slot keeps the name.
    virtual CKBOOL LoadImage(const char* name, int slot = 0) = 0;
    virtual CKBOOL SaveImage(const char* name, int slot = 0, CKBOOL useFormat = FALSE) = 0;
    virtual CKBOOL LoadMovie(const char* name) = 0;
    virtual const char* GetMovieFileName() = 0;
    // Null without a movie.
    virtual CKMovieReader* GetMovieReader() = 0;
    virtual CKBYTE* GetSlotImageData(int slot = -1) = 0;
    virtual CKBOOL MarkSlotModified(int slot = -1) = 0;
    virtual const char* GetSlotFileName(int slot) = 0;
    virtual CKBOOL SetSlotFileName(int slot, const char* name) = 0;
    virtual int GetSlotCount() = 0;
    virtual CKBOOL SetSlotCount(int count) = 0;
    virtual CKBOOL SetCurrentSlot(int slot) = 0;
    virtual int GetCurrentSlot() = 0;
    virtual CKBOOL RemoveSlot(int slot) = 0;
    virtual CKBOOL ReleaseAllSlots() = 0;
    virtual CKBOOL SetPixel(int x, int y, CKDWORD color, int slot = -1) = 0;
    virtual CKDWORD GetPixel(int x, int y, int slot = -1) = 0;
    virtual void SetTransparentColor(CKDWORD color) = 0;
    virtual void SetTransparent(CKBOOL transparent) = 0;
    virtual int SetSystemCaching(int mode) = 0;
    virtual void SetDesiredVideoFormat(int format) = 0;
    virtual void SetSaveFormat(const CKBitmapProperties* format) = 0;
    virtual CKBOOL IsFileReloadable() = 0;
    virtual CKBOOL FreeSlotPixels(int slot = -1) = 0;
    virtual int GetWidth() = 0;
    virtual int GetHeight() = 0;
    virtual CKDWORD GetTransparentColor() = 0;
    virtual CKBOOL IsTransparent() = 0;
    virtual CKBOOL IsImageModified() = 0;
    virtual int GetSystemCaching() = 0;
    virtual int GetDesiredVideoFormat() = 0;
    virtual int GetSaveOptions() = 0;
    virtual void SetSaveOptions(int options) = 0;
    // Null when none was set.
    virtual CKBitmapProperties* GetSaveFormat() = 0;
    virtual void SetBitmapValue(CKDWORD value) = 0;
    virtual CKDWORD GetBitmapValue() = 0;
    // The layout of the system copy.
    virtual CKBOOL GetSystemTextureDesc(QxImageDesc& desc) = 0;

    // Video memory. The argument of the two copies is kept for callers; the
    // clamping comes from the render manager.
    // Uploads the current slot into the video sprite made before.
    virtual CKBOOL CopySystemToVideoMemory(CKBOOL clamping = FALSE) = 0;
    // Makes the video sprite on the render context's device and uploads.
    virtual CKBOOL SystemToVideoMemory(CKRenderContext* context, CKBOOL clamping = FALSE) = 0;
    virtual CKBOOL FreeVideoMemory() = 0;
    virtual CKBOOL IsInVideoMemory() = 0;
    // Copies the render context's colour buffer into the video sprite.
    virtual CKBOOL CopyFromRenderContext(CKRenderContext* context, const QxRect* source, const QxRect* destination) = 0;
    virtual CKBOOL GetVideoTextureDesc(QxImageDesc& desc) = 0;
    // 0 when not in video memory.
    virtual int GetVideoPixelFormat() = 0;
    // Locks the texture of a tile of the video sprite; rect receives where
    // the tile lies in the image.
    virtual CKBOOL LockVideoTile(int tile, QxImageDesc& surface, QxRect& rect, CKDWORD flags = 0) = 0;
    virtual CKBOOL UnlockVideoTile(int tile) = 0;
    virtual int GetVideoTileCount() = 0;

    // Render options.
    virtual void SetRenderOptions(const CKSpriteRenderOptions& options) = 0;
    virtual CKSpriteRenderOptions GetRenderOptions() = 0;
    // Off clears the enable bit only.
    virtual void SetAlphaTest(CKBOOL enable, CKBYTE ref = 0, int func = 5) = 0;
    virtual CKBOOL IsAlphaTestEnabled() = 0;
    virtual CKBYTE GetAlphaRef() = 0;
    virtual int GetAlphaFunc() = 0;
    virtual void SetFiltering(CKBOOL enable) = 0;
    virtual CKBOOL IsFilteringEnabled() = 0;
    // Off clears the enable bit only.
    virtual void SetBlending(CKBOOL enable, int sourceBlend = 5, int destBlend = 6) = 0;
    virtual CKBOOL IsBlendingEnabled() = 0;
    virtual int GetSourceBlend() = 0;
    virtual int GetDestBlend() = 0;
    virtual void SetModulate(CKBOOL enable, const QxColor& color = QxColor(1.0f, 1.0f, 1.0f, 1.0f)) = 0;
    virtual CKBOOL IsModulateEnabled() = 0;
    virtual QxColor GetModulateColor() = 0;
    virtual void SetBitmapFlag40(CKBOOL on) = 0;
};

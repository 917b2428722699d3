#pragma once

#include "core/bitmap/CKBitmapData.h"
#include "core/object/CKBeObject.h"

class CKRenderContext;

// Flags of a texture's own word, set from what the rasterizer made of it.
enum : CKDWORD
{
    // The rasterizer keeps it as a rectangle texture addressed in texels:
    // the 2D drawing scales its coordinates by the size on such drivers.
    CKTEXTURE_RECTANGLE = 0x100,
};

// A texture (class 31): the images of a bitmap data, which the texture
// uploads to the rasterizer of the render contexts that draw it. RCKTexture
// implements it. The bitmap data's operations are reached through the
// texture (the forwarding members below) or GetBitmapData.
class CKTexture : public CKClass<CKTexture, CKBeObject, CKCID_TEXTURE>
{
public:
    using CKClass::CKClass;

    virtual CKBitmapData& GetBitmapData() = 0;

    // Makes the slot's image (fresh opaque pixels of the depth); FALSE as
    // CKBitmapData::CreateImage refuses.
    virtual CKBOOL Create(int width, int height, int bpp = 32, int slot = 0) = 0;
    // Reads an image file into the slot (grown when needed).
    virtual CKBOOL LoadImage(const char* name, int slot = 0) = 0;
    virtual CKBOOL LoadMovie(const char* name) = 0;

    // Binds the texture on a stage of the render context's device, making
    // or refreshing its video copy first; clamping sets the stage's address
    // mode to clamp. FALSE without a device or an image.
    virtual CKBOOL SetAsCurrent(CKRenderContext* context, CKBOOL clamping = FALSE, int stage = 0) = 0;
    // Makes the video copy on the render context's device (again when the
    // size, format or caching changed) and uploads the current slot. In
    // discard caching the system pixels are freed afterwards when they can
    // be read again from their file.
    virtual CKBOOL SystemToVideoMemory(CKRenderContext* context, CKBOOL clamping = FALSE) = 0;
    // Drops the video copy from every render context.
    virtual void FreeVideoMemory() = 0;
    virtual CKBOOL IsInVideoMemory() = 0;
    // The rasterizer's index of the video copy, 0 before the first upload.
    virtual CKDWORD GetRstTextureIndex() = 0;

    // Mipmaps: on, the video copy has every level down to 1 x 1.
    virtual CKBOOL UseMipmap(int use) = 0;
    // Levels below the image with mipmaps on (log2 of the larger side), 0
    // with them off or without an image.
    virtual int GetMipmapCount() = 0;

    // The system copy's layout (CKBitmapData::GetImageDesc).
    virtual CKBOOL GetSystemTextureDesc(QxImageDesc& desc) = 0;
    // The layout of the video copy: its pixel format and size; FALSE before
    // the first upload.
    virtual CKBOOL GetVideoTextureDesc(QxImageDesc& desc) = 0;
    // Pixel-format id of the video copy, 0 before the first upload.
    virtual int GetVideoPixelFormat() = 0;
    // CKTEXTURE_... bits.
    virtual CKDWORD GetTextureFlags() = 0;

    // The bitmap data's operations.
    int GetWidth() { return GetBitmapData().GetWidth(); }
    int GetHeight() { return GetBitmapData().GetHeight(); }
    CKBOOL ReadSlotImage(int slot, const QxImageDesc* wanted = nullptr)
    {
        return GetBitmapData().ReadSlotImage(slot, wanted);
    }
    CKBOOL SaveImage(const char* name, int slot = -1, CKBOOL useFormat = FALSE)
    {
        return GetBitmapData().SaveImage(name, slot, useFormat);
    }
    // Resamples every slot; the video copy follows at the next upload.
    CKBOOL ResizeImages(int width, int height) { return GetBitmapData().Resize(width, height); }
    int GetSlotCount() { return GetBitmapData().GetSlotCount(); }
    CKBOOL SetSlotCount(int count) { return GetBitmapData().SetSlotCount(count); }
    CKBOOL ReleaseSlot(int slot) { return GetBitmapData().RemoveSlot(slot); }
    CKBOOL ReleaseAllSlots() { return GetBitmapData().ReleaseAllSlots(); }
    CKBOOL SetCurrentSlot(int slot) { return GetBitmapData().SetCurrentSlot(slot); }
    int GetCurrentSlot() { return GetBitmapData().GetCurrentSlot(); }
    CKBYTE* LockSurfacePtr(int slot = -1) { return GetBitmapData().GetSlotImageData(slot); }
    CKBOOL FreeSlotPixels(int slot) { return GetBitmapData().FreeSlotPixels(slot); }
    const char* GetSlotFileName(int slot) { return GetBitmapData().GetSlotFileName(slot); }
    CKBOOL SetSlotFileName(int slot, const char* name) { return GetBitmapData().SetSlotFileName(slot, name); }
    const char* GetMovieFileName() { return GetBitmapData().GetMovieFileName(); }
    CKMovieReader* GetMovieReader() { return GetBitmapData().GetMovieReader(); }
    CKDWORD GetPixel(int x, int y, int slot = -1) { return GetBitmapData().GetPixel(x, y, slot); }
    CKBOOL SetPixel(int x, int y, CKDWORD color, int slot = -1) { return GetBitmapData().SetPixel(x, y, color, slot); }
    CKDWORD GetTransparentColor() { return GetBitmapData().GetTransparentColor(); }
    void SetTransparentColor(CKDWORD color) { GetBitmapData().SetTransparentColor(color); }
    CKBOOL IsTransparent() { return GetBitmapData().IsTransparent(); }
    void SetTransparent(CKBOOL transparent) { GetBitmapData().SetTransparent(transparent); }
    CKBOOL MarkSlotModified(int slot = -1) { return GetBitmapData().MarkSlotModified(slot); }
    CKDWORD GetBitmapFlags() { return GetBitmapData().GetBitmapFlags(); }
    CKBOOL GetImageDesc(QxImageDesc& desc) { return GetBitmapData().GetImageDesc(desc); }
    int GetSystemCaching() { return GetBitmapData().GetSystemCaching(); }
    int SetSystemCaching(int mode) { return GetBitmapData().SetSystemCaching(mode); }
    int GetDesiredVideoFormat() { return GetBitmapData().GetDesiredVideoFormat(); }
    void SetDesiredVideoFormat(int format) { GetBitmapData().SetDesiredVideoFormat(format); }
    int GetSaveOptions() { return GetBitmapData().GetSaveOptions(); }
    void SetSaveOptions(int options) { GetBitmapData().SetSaveOptions(options); }
    CKBitmapProperties* GetSaveFormat() { return GetBitmapData().GetSaveFormat(); }
    void SetSaveFormat(const CKBitmapProperties* format) { GetBitmapData().SetSaveFormat(format); }
};

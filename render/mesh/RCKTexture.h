#pragma once

#include "render/mesh/CKTexture.h"
#include "system/image/QxImageDesc.h"

// Identifiers of the texture's sections in its state chunk.
enum : CKDWORD
{
    CK_STATESAVE_TEXTUREOPTIONS = 0x00010000,
    CK_STATESAVE_TEXTURESAVEFORMAT = 0x00020000,
    CK_STATESAVE_TEXTUREMOVIE = 0x00100000,
    CK_STATESAVE_TEXTUREREADERIMAGES = 0x00200000,
    CK_STATESAVE_TEXTURERAWIMAGES = 0x00400000,
    CK_STATESAVE_TEXTURESLOTNAMES = 0x00800000,
    CK_STATESAVE_TEXTURENAMEDIMAGES = 0x01000000,
};
// Layout version of the options section; newer sections are refused.
constexpr CKDWORD CK_TEXTURE_LAYOUT_VERSION = 1;

// Bits of the options word.
enum : CKDWORD
{
    CK_TEXTUREOPTION_MIPMAPS = 0x1,
    CK_TEXTUREOPTION_TRANSPARENT = 0x2, // colour-key transparency
};

// The render library's texture.
//
// State chunk (class 31), after the behavioural object's section; every
// field a 32-bit word:
//   CK_STATESAVE_TEXTUREOPTIONS: layout version (1), options word
//     (CK_TEXTUREOPTION_...), desired video format, system caching, own
//     save options, transparent colour (0xAARRGGBB), current slot
//   CK_STATESAVE_TEXTURESAVEFORMAT, only with an own save format: one
//     buffer holding the bitmap properties record in its 32-bit layout
//   the bitmap data's sections (CKBitmapData::WriteToChunk) under
//     CK_STATESAVE_TEXTUREMOVIE, _READERIMAGES, _RAWIMAGES and _SLOTNAMES;
//     _NAMEDIMAGES is read (the bitmap data's format-named images) and
//     never written.
// Out-of-range settings read back take their defaults (caching 0, save
// options 3, desired format 0); a current slot outside the slots is ignored.
// With video-shadow caching, slot images that a section names but does not
// hold are read again from their files at once; with discard caching at the
// first upload.
class RCKTexture : public CKTexture
{
public:
    // Caching from "CK2_3D/DefaultSystemCaching", desired video and stored
    // formats 32-bit ARGB.
    explicit RCKTexture(CKContext* context, const char* name = nullptr);
    ~RCKTexture() override;

    static CKObject* CreateInstance(CKContext* context) { return new RCKTexture(context); }
    static const char* GetClassName() { return "Texture"; }
    static void Register();

    // CKObject
    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    int GetMemoryOccupation() override;
    CKERROR Copy(CKObject& source, CKDependenciesContext& context) override;

    // CKTexture
    CKBitmapData& GetBitmapData() override { return m_BitmapData; }
    CKBOOL Create(int width, int height, int bpp = 32, int slot = 0) override;
    CKBOOL LoadImage(const char* name, int slot = 0) override;
    CKBOOL LoadMovie(const char* name) override;
    CKBOOL SetAsCurrent(CKRenderContext* context, CKBOOL clamping = FALSE, int stage = 0) override;
    CKBOOL SystemToVideoMemory(CKRenderContext* context, CKBOOL clamping = FALSE) override;
    void FreeVideoMemory() override;
    CKBOOL IsInVideoMemory() override;
    CKDWORD GetRstTextureIndex() override { return m_RstIndex; }
    CKBOOL UseMipmap(int use) override;
    int GetMipmapCount() override;
    CKBOOL GetSystemTextureDesc(QxImageDesc& desc) override { return m_BitmapData.GetImageDesc(desc); }
    CKBOOL GetVideoTextureDesc(QxImageDesc& desc) override;
    int GetVideoPixelFormat() override { return m_VideoFormat; }
    CKDWORD GetTextureFlags() override { return m_TextureFlags; }

private:
    // The pixel format the video copy is made in.
    int ChooseVideoFormat(CKRenderContext* context);
    void CopyBitmapData(CKBitmapData& from);

    CKBitmapData m_BitmapData;
    CKBOOL m_UseMipmap = FALSE;
    CKDWORD m_RstIndex = 0;
    int m_VideoFormat = 0;
    QxImageDesc m_VideoDesc;
    CKDWORD m_TextureFlags = 0;
};

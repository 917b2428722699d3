#include "render/mesh/RCKTexture.h"

#include <cstring>

#include "core/bitmap/CKBitmapProperties.h"
#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKRenderContext.h"
#include "core/file/CKFile.h"
#include "core/object/CKClassRegistry.h"
#include "render/context/CKRenderGlobals.h"
#include "render/context/RCKRenderManager.h"
#include "render/context/rasterizer/CKRasterizer.h"
#include "render/context/rasterizer/CKRasterizerContext.h"
#include "render/mesh/CKSelectClosestAlphaFormat.h"
#include "system/image/QxBlitter.h"
#include "system/image/QxPixelFormat.h"
#include "system/log/QxLogManager.h"
#include "system/memory/QxAlignedAlloc.h"

namespace {

constexpr CKDWORD kBitmapWriteIds[4] = {CK_STATESAVE_TEXTUREMOVIE, CK_STATESAVE_TEXTUREREADERIMAGES,
                                        CK_STATESAVE_TEXTURERAWIMAGES, CK_STATESAVE_TEXTURESLOTNAMES};
constexpr CKDWORD kBitmapReadIds[5] = {CK_STATESAVE_TEXTUREMOVIE, CK_STATESAVE_TEXTUREREADERIMAGES,
                                       CK_STATESAVE_TEXTURERAWIMAGES, CK_STATESAVE_TEXTURESLOTNAMES,
                                       CK_STATESAVE_TEXTURENAMEDIMAGES};

RCKRenderManager* RenderManagerOf(CKContext* context)
{
    return context ? static_cast<RCKRenderManager*>(context->GetRenderManager()) : nullptr;
}

const char* NameOf(CKObject* object)
{
    return object->GetName() ? object->GetName() : "";
}

} // namespace

RCKTexture::RCKTexture(CKContext* context, const char* name) : CKTexture(context, name), m_BitmapData(context)
{
    if (RCKRenderManager* manager = RenderManagerOf(context)) {
        int caching = manager->GetSettings().DefaultSystemCaching;
        if (caching >= CKBITMAP_PROCEDURAL && caching <= CKBITMAP_DISCARD)
            m_BitmapData.SetSystemCaching(caching);
    }
    // The system copy of a video shadow is kept in the stored format.
    m_BitmapData.SetDesiredVideoFormat(_32_ARGB8888);
    m_BitmapData.SetStoredFormat(_32_ARGB8888);
}

RCKTexture::~RCKTexture()
{
    FreeVideoMemory();
}

void RCKTexture::Register()
{
    CKClassSetParameterGuid(m_ClassID, CKGUID(0x155B2870, 0x183679F8));
}

CKBOOL RCKTexture::Create(int width, int height, int bpp, int slot)
{
    return m_BitmapData.CreateImage(width, height, bpp, slot);
}

CKBOOL RCKTexture::LoadImage(const char* name, int slot)
{
    if (!name)
        return FALSE;
    return m_BitmapData.LoadSlotImage(XString(name), slot);
}

CKBOOL RCKTexture::LoadMovie(const char* name)
{
    if (!name)
        return FALSE;
    return m_BitmapData.LoadMovieFile(XString(name));
}

CKBOOL RCKTexture::UseMipmap(int use)
{
    CKBOOL on = use ? TRUE : FALSE;
    if (on != m_UseMipmap) {
        m_UseMipmap = on;
        // The video copy is made again with or without its levels.
        m_BitmapData.SetBitmapFlags(m_BitmapData.GetBitmapFlags() | CKBITMAPDATA_MODIFIED | CKBITMAPDATA_VIDEOCHANGED);
    }
    return TRUE;
}

int RCKTexture::GetMipmapCount()
{
    int side = m_BitmapData.GetWidth() > m_BitmapData.GetHeight() ? m_BitmapData.GetWidth() : m_BitmapData.GetHeight();
    if (!m_UseMipmap || side < 1)
        return 0;
    int levels = 0;
    while (side > 1) {
        side >>= 1;
        ++levels;
    }
    return levels;
}

CKBOOL RCKTexture::GetVideoTextureDesc(QxImageDesc& desc)
{
    if (!m_VideoFormat)
        return FALSE;
    desc = m_VideoDesc;
    return TRUE;
}

int RCKTexture::ChooseVideoFormat(CKRenderContext* context)
{
    // Formats the masks describe only: the blitter writes nothing else.
    int format = m_BitmapData.GetDesiredVideoFormat();
    if (format < _32_ARGB8888 || format > _16_ABGR4444)
        format = _32_ARGB8888;
    QxImageDesc want;
    QxPixelFormat2ImageDesc(format, want);
    if (!m_BitmapData.IsTransparent() || want.AlphaMask)
        return format;
    // A colour key needs alpha: the driver's nearest format that has it.
    CKRasterizerDriver* driver = context->GetRasterizerContext()->GetDriver();
    const CKTextureDesc* formats[64];
    int count = 0;
    for (int i = 0; driver && i < driver->GetTextureFormatCount() && count < 64; ++i)
        formats[count++] = driver->GetTextureFormat(i);
    const CKTextureDesc* alpha = CKSelectClosestAlphaFormat(formats, count, want);
    int id = alpha ? QxImageDesc2PixelFormat(alpha->Format) : 0;
    return id >= _32_ARGB8888 && id <= _16_ABGR4444 ? id : _32_ARGB8888;
}

CKBOOL RCKTexture::SystemToVideoMemory(CKRenderContext* context, CKBOOL)
{
    CKRasterizerContext* rst = context ? context->GetRasterizerContext() : nullptr;
    RCKRenderManager* manager = RenderManagerOf(m_Context);
    if (!rst || !manager)
        return FALSE;
    int slot = m_BitmapData.GetCurrentSlot();
    CKBYTE* pixels = m_BitmapData.GetSlotImageData(-1);
    if (!pixels && !m_BitmapData.GetMovieReader()) {
        // Discarded pixels come back from their file for the upload.
        const char* file = m_BitmapData.GetSlotFileName(slot);
        if (file && *file && m_BitmapData.ReadSlotImage(slot, nullptr))
            pixels = m_BitmapData.GetSlotImageData(-1);
    }
    int width = m_BitmapData.GetWidth();
    int height = m_BitmapData.GetHeight();
    if (!pixels || width < 1 || height < 1)
        return FALSE;
    if (!m_RstIndex)
        m_RstIndex = manager->CreateObjectIndex(CKRST_OBJ_TEXTURE);
    if (!m_RstIndex)
        return FALSE;

    CKTextureDesc desc;
    int format = ChooseVideoFormat(context);
    QxPixelFormat2ImageDesc(format, desc.Format);
    desc.Format.Width = width;
    desc.Format.Height = height;
    desc.Format.BytesPerLine = width * (desc.Format.BitsPerPixel / 8);
    desc.MipMapCount = (CKDWORD) GetMipmapCount();
    CKTextureDesc* kept = rst->GetTextureData(m_RstIndex);
    if (!kept || (m_BitmapData.GetBitmapFlags() & CKBITMAPDATA_VIDEOCHANGED) || kept->Format != desc.Format ||
        kept->MipMapCount != desc.MipMapCount) {
        if (!rst->CreateObject(m_RstIndex, CKRST_OBJ_TEXTURE, &desc))
            return FALSE;
        kept = rst->GetTextureData(m_RstIndex);
        if (!kept)
            return FALSE;
    }

    QxImageDesc system;
    m_BitmapData.GetImageDesc(system);
    system.Image = pixels;
    CKBOOL loaded = FALSE;
    if (m_BitmapData.IsTransparent()) {
        // The colour key becomes alpha in a 32-bit copy; the system pixels
        // stay as they are.
        QxImageDesc keyed = QxMakeImageDesc32(width, height);
        keyed.Image = static_cast<CKBYTE*>(QxNewAligned((size_t) width * (size_t) height * 4, 16));
        if (keyed.Image && QxDoBlit(system, keyed)) {
            m_BitmapData.ApplyTransparentColor(keyed);
            loaded = rst->LoadTexture(m_RstIndex, keyed, -1);
        }
        QxDeleteAligned(keyed.Image);
    } else {
        loaded = rst->LoadTexture(m_RstIndex, system, -1);
    }
    m_VideoFormat = format;
    m_VideoDesc = kept->Format;
    m_VideoDesc.Image = nullptr;
    m_TextureFlags = kept->Flags & CKTEXTURE_RECTANGLE;
    m_BitmapData.SetBitmapFlags(m_BitmapData.GetBitmapFlags() & ~(CKBITMAPDATA_MODIFIED | CKBITMAPDATA_VIDEOCHANGED));
    if (m_BitmapData.GetSystemCaching() == CKBITMAP_DISCARD && m_BitmapData.IsFileReloadable())
        m_BitmapData.FreeSlotPixels(slot);
    return loaded;
}

CKBOOL RCKTexture::SetAsCurrent(CKRenderContext* context, CKBOOL clamping, int stage)
{
    CKRasterizerContext* rst = context ? context->GetRasterizerContext() : nullptr;
    if (!rst)
        return FALSE;
    bool stale = (m_BitmapData.GetBitmapFlags() & (CKBITMAPDATA_MODIFIED | CKBITMAPDATA_VIDEOCHANGED)) != 0;
    if (!m_RstIndex || !rst->GetTextureData(m_RstIndex) || stale)
        SystemToVideoMemory(context, clamping);
    if (!m_RstIndex || !rst->GetTextureData(m_RstIndex)) {
        rst->SetTexture(0, stage);
        return FALSE;
    }
    rst->SetTexture(m_RstIndex, stage);
    if (clamping) {
        rst->SetTextureStageState(stage, CKRST_TSS_ADDRESSU, 3);
        rst->SetTextureStageState(stage, CKRST_TSS_ADDRESSV, 3);
    }
    return TRUE;
}

void RCKTexture::FreeVideoMemory()
{
    if (!m_RstIndex)
        return;
    if (RCKRenderManager* manager = RenderManagerOf(m_Context))
        manager->ReleaseObjectIndex(m_RstIndex, CKRST_OBJ_TEXTURE);
    m_RstIndex = 0;
    m_VideoFormat = 0;
    m_VideoDesc = QxImageDesc();
    m_TextureFlags = 0;
}

CKBOOL RCKTexture::IsInVideoMemory()
{
    RCKRenderManager* manager = RenderManagerOf(m_Context);
    if (!m_RstIndex || !manager)
        return FALSE;
    for (int i = 0; i < manager->GetRenderContextCount(); ++i) {
        CKRasterizerContext* rst = manager->GetRenderContext(i)->GetRasterizerContext();
        if (rst && rst->GetTextureData(m_RstIndex))
            return TRUE;
    }
    return FALSE;
}

// Persistence.

CKStateChunk* RCKTexture::Save(CKFile* file, CKDWORD flags)
{
    CKStateChunk* base = CKTexture::Save(file, flags);
    CKStateChunk* chunk = CKCreateStateChunk(CKCID_TEXTURE, file);
    chunk->StartWrite();
    chunk->AddChunkAndDelete(base);

    chunk->WriteIdentifier(CK_STATESAVE_TEXTUREOPTIONS);
    chunk->WriteDword(CK_TEXTURE_LAYOUT_VERSION);
    CKDWORD options = 0;
    if (m_UseMipmap)
        options |= CK_TEXTUREOPTION_MIPMAPS;
    if (m_BitmapData.IsTransparent())
        options |= CK_TEXTUREOPTION_TRANSPARENT;
    chunk->WriteDword(options);
    chunk->WriteInt(m_BitmapData.GetDesiredVideoFormat());
    chunk->WriteInt(m_BitmapData.GetSystemCaching());
    chunk->WriteInt(m_BitmapData.GetSaveOptions());
    chunk->WriteDword(m_BitmapData.GetTransparentColor());
    chunk->WriteInt(m_BitmapData.GetCurrentSlot());

    if (const CKBitmapProperties* format = m_BitmapData.GetSaveFormat()) {
        CKBYTE bytes[CK_BITMAPPROPERTIES_MAXSIZE];
        CKDWORD size = CKWriteBitmapProperties(*format, bytes, sizeof(bytes));
        if (size) {
            chunk->WriteIdentifier(CK_STATESAVE_TEXTURESAVEFORMAT);
            chunk->WriteBuffer((int) size, bytes);
        }
    }
    m_BitmapData.WriteToChunk(chunk, file, kBitmapWriteIds);

    if (GetClassID() == CKCID_TEXTURE)
        chunk->CloseChunk();
    else
        chunk->UpdateDataSize();
    return chunk;
}

CKERROR RCKTexture::Load(CKStateChunk* chunk, CKFile* file)
{
    if (!chunk)
        return CKErr::InvalidParameter;
    CKERROR result = CKTexture::Load(chunk, file);

    if (chunk->SeekIdentifier(CK_STATESAVE_TEXTUREOPTIONS)) {
        CKDWORD version = chunk->ReadDword();
        if (version > CK_TEXTURE_LAYOUT_VERSION) {
            CKRenderLog(QXLOG_ERROR, __LINE__, "RCKTexture",
                        "Texture %s: section version %u is newer than this engine's %u; not loaded", NameOf(this),
                        (unsigned) version, (unsigned) CK_TEXTURE_LAYOUT_VERSION);
            CKNoteLoadRefusal(this, "section version %u is newer than this engine's %u", (unsigned) version,
                              (unsigned) CK_TEXTURE_LAYOUT_VERSION);
            return CKErr::InvalidFile;
        }
        CKDWORD options = chunk->ReadDword();
        int desired = chunk->ReadInt();
        int caching = chunk->ReadInt();
        int saveOptions = chunk->ReadInt();
        CKDWORD key = chunk->ReadDword();
        int current = chunk->ReadInt();
        if (chunk->GetReadError() != CKErr::Ok) {
            CKRenderLog(QXLOG_ERROR, __LINE__, "RCKTexture", "Texture %s: its options are cut short; not loaded",
                        NameOf(this));
            CKNoteLoadRefusal(this, "its options are cut short");
            return CKErr::InvalidFile;
        }
        m_UseMipmap = (options & CK_TEXTUREOPTION_MIPMAPS) ? TRUE : FALSE;
        m_BitmapData.SetSaveOptions(saveOptions >= CKBITMAP_SAVERAWDATA && saveOptions <= CKBITMAP_SAVEINCLUDEFILES
                                        ? saveOptions
                                        : CKBITMAP_SAVEGLOBAL);
        m_BitmapData.SetSystemCaching(
            caching >= CKBITMAP_PROCEDURAL && caching <= CKBITMAP_DISCARD ? caching : CKBITMAP_PROCEDURAL);
        m_BitmapData.SetDesiredVideoFormat(desired >= 0 && desired < QX_MAXPIXELFORMATS ? desired : 0);
        m_BitmapData.SetTransparentColor(key);
        m_BitmapData.SetTransparent((options & CK_TEXTUREOPTION_TRANSPARENT) ? TRUE : FALSE);

        if (chunk->SeekIdentifier(CK_STATESAVE_TEXTURESAVEFORMAT)) {
            void* bytes = nullptr;
            int size = chunk->ReadBuffer(&bytes);
            CKBitmapProperties format;
            if (size > 0 && CKReadBitmapProperties(bytes, (CKDWORD) size, format))
                m_BitmapData.SetSaveFormat(&format);
            delete[] static_cast<CKBYTE*>(bytes);
        }
        m_BitmapData.ReadFromChunk(chunk, file, kBitmapReadIds);
        if (current >= 0 && current < m_BitmapData.GetSlotCount())
            m_BitmapData.SetCurrentSlot(current);
    } else {
        m_BitmapData.ReadFromChunk(chunk, file, kBitmapReadIds);
    }

    // Video shadow keeps the pixels in system memory: those only named come
    // from their files now.
    if (m_BitmapData.GetSystemCaching() == CKBITMAP_VIDEOSHADOW && !m_BitmapData.GetMovieReader())
        for (int slot = 0; slot < m_BitmapData.GetSlotCount(); ++slot) {
            const char* name = m_BitmapData.GetSlotFileName(slot);
            if (!m_BitmapData.GetSlotImageData(slot) && name && *name)
                m_BitmapData.ReadSlotImage(slot, nullptr);
        }
    m_BitmapData.SetBitmapFlags(m_BitmapData.GetBitmapFlags() | CKBITMAPDATA_MODIFIED | CKBITMAPDATA_VIDEOCHANGED);
    return result;
}

int RCKTexture::GetMemoryOccupation()
{
    int size = CKTexture::GetMemoryOccupation() + (int) (sizeof(RCKTexture) - sizeof(CKTexture));
    QxImageDesc desc;
    m_BitmapData.GetImageDesc(desc);
    for (int slot = 0; slot < m_BitmapData.GetSlotCount(); ++slot)
        if (desc.BytesPerLine > 0 && desc.Height > 0)
            size += desc.BytesPerLine * desc.Height;
    return size;
}

void RCKTexture::CopyBitmapData(CKBitmapData& from)
{
    CKBitmapData& to = m_BitmapData;
    to.ReleaseAllSlots();
    to.SetSaveOptions(from.GetSaveOptions());
    to.SetSaveFormat(from.GetSaveFormat());
    to.SetStoredFormat(from.GetStoredFormat());
    to.SetSystemCaching(from.GetSystemCaching());
    to.SetDesiredVideoFormat(from.GetDesiredVideoFormat());
    to.SetTransparentColor(from.GetTransparentColor());
    to.SetTransparent(from.IsTransparent());
    to.SetBitmapValue(from.GetBitmapValue());
    if (const char* movie = from.GetMovieFileName()) {
        to.LoadMovieFile(XString(movie));
        return;
    }
    QxImageDesc desc;
    from.GetImageDesc(desc);
    size_t bytes = desc.BytesPerLine > 0 && desc.Height > 0 ? (size_t) desc.BytesPerLine * (size_t) desc.Height : 0;
    for (int slot = 0; slot < from.GetSlotCount(); ++slot) {
        const CKBYTE* pixels = from.GetSlotImageData(slot);
        if (pixels && bytes) {
            void* copy = QxNewAligned(bytes, 16);
            if (copy) {
                std::memcpy(copy, pixels, bytes);
                if (!to.CreateImage(from.GetWidth(), from.GetHeight(), desc.BitsPerPixel, slot, copy))
                    QxDeleteAligned(copy);
            }
        }
        to.SetSlotFileName(slot, from.GetSlotFileName(slot));
    }
    to.SetCurrentSlot(from.GetCurrentSlot());
    to.SetBitmapFlags(from.GetBitmapFlags() | CKBITMAPDATA_MODIFIED | CKBITMAPDATA_VIDEOCHANGED);
}

CKERROR RCKTexture::Copy(CKObject& source, CKDependenciesContext& context)
{
    CKERROR error = CKTexture::Copy(source, context);
    if (error != CKErr::Ok)
        return error;
    if (!CKIsChildClassOfObject(&source, CKCID_TEXTURE))
        return CKErr::Ok;
    RCKTexture& from = static_cast<RCKTexture&>(source);
    m_UseMipmap = from.m_UseMipmap;
    CopyBitmapData(from.m_BitmapData);
    return CKErr::Ok;
}

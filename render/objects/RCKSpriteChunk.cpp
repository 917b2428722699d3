// The sprite's section of its state chunk, and copies of its image.
#include <cstring>
#include <vector>

#include "core/bitmap/CKBitmapProperties.h"
#include "core/bitmap/CKConvertBitmapProperties.h"
#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/file/CKFile.h"
#include "core/object/CKClassRegistry.h"
#include "includes/CKByteOrder.h"
#include "render/objects/RCKSprite.h"
#include "system/memory/QxAlignedAlloc.h"

namespace {

constexpr CKDWORD kBitmapWriteIds[4] = {CK_STATESAVE_SPRITEMOVIE, CK_STATESAVE_SPRITEBITMAPS,
                                        CK_STATESAVE_SPRITERAWBITMAPS, CK_STATESAVE_SPRITEFILENAMES};
constexpr CKDWORD kBitmapReadIds[5] = {CK_STATESAVE_SPRITEMOVIE, CK_STATESAVE_SPRITEBITMAPS,
                                       CK_STATESAVE_SPRITERAWBITMAPS, CK_STATESAVE_SPRITEFILENAMES,
                                       CK_STATESAVE_SPRITEBITMAPSOLD};
// The option bits whose state is worth a section of its own.
constexpr CKDWORD kSavedOptionBits = 0xF | CKSPRITE_RESERVEDMASK;

void WriteSaveFormat(CKStateChunk* chunk, const CKBitmapProperties* format)
{
    CKBYTE bytes[CK_BITMAPPROPERTIES_MAXSIZE];
    const CKDWORD size = format ? CKWriteBitmapProperties(*format, bytes, sizeof(bytes)) : 0;
    if (size)
        chunk->WriteBuffer((int) size, bytes);
    else
        chunk->WriteBuffer(0, nullptr);
}

} // namespace

CKStateChunk* RCKSprite::Save(CKFile* file, CKDWORD flags)
{
    CKStateChunk* base = RCK2dEntity::Save(file, flags);
    CKStateChunk* chunk = CKCreateStateChunk(CKCID_SPRITE, file);
    if (!chunk)
        return base;
    chunk->StartWrite();
    chunk->AddChunkAndDelete(base);

    const bool keyed = file || (flags & CK_STATESAVE_SPRITETRANSPARENT);
    const bool slot = file || (flags & CK_STATESAVE_SPRITECURRENTSLOT);
    if (file) {
        m_Bitmap.WriteToChunk(chunk, file, kBitmapWriteIds);
        if (m_Bitmap.GetSystemCaching() != 0) {
            chunk->WriteIdentifier(CK_STATESAVE_SPRITESYSTEMCACHING);
            chunk->WriteInt(m_Bitmap.GetSystemCaching());
        }
        chunk->WriteIdentifier(CK_STATESAVE_SPRITEVIDEOFORMAT);
        chunk->WriteInt(m_Bitmap.GetDesiredVideoFormat());
    }
    if (keyed) {
        chunk->WriteIdentifier(CK_STATESAVE_SPRITETRANSPARENT);
        chunk->WriteDword(m_Bitmap.GetTransparentColor());
        chunk->WriteInt(m_Bitmap.IsTransparent() ? 1 : 0);
    }
    if (slot) {
        chunk->WriteIdentifier(CK_STATESAVE_SPRITECURRENTSLOT);
        chunk->WriteInt(m_Bitmap.GetCurrentSlot());
    }
    if (file) {
        chunk->WriteIdentifier(CK_STATESAVE_SPRITESAVEFORMAT);
        chunk->WriteInt(m_Bitmap.GetSaveOptions());
        WriteSaveFormat(chunk, m_Bitmap.GetSaveFormat());
        if (m_RenderOptions.Options & kSavedOptionBits) {
            chunk->WriteIdentifier(CK_STATESAVE_SPRITERENDEROPTIONS);
            chunk->WriteDword(m_RenderOptions.ModulateColor);
            chunk->WriteDword(m_RenderOptions.Options);
        }
    }

    if (GetClassID() == CKCID_SPRITE)
        chunk->CloseChunk();
    else
        chunk->UpdateDataSize();
    return chunk;
}

CKERROR RCKSprite::Load(CKStateChunk* chunk, CKFile* file)
{
    if (!chunk)
        return CKErr::InvalidParameter;
    RCK2dEntity::Load(chunk, file);

    auto readKeyAndSlot = [&] {
        if (chunk->SeekIdentifier(CK_STATESAVE_SPRITETRANSPARENT)) {
            const CKDWORD color = chunk->ReadDword();
            const int transparent = chunk->ReadInt();
            m_Bitmap.SetTransparentColor(color);
            m_Bitmap.SetTransparent(transparent);
        }
        if (chunk->SeekIdentifier(CK_STATESAVE_SPRITECURRENTSLOT))
            m_Bitmap.SetCurrentSlot(chunk->ReadInt());
    };
    auto readShared = [&] {
        CKObject* other = chunk->ReadObject(m_Context);
        if (other != this && CKIsChildClassOfObject(other, CKCID_SPRITE))
            CopySprite(*static_cast<RCKSprite*>(other));
    };

    if (!file) {
        readKeyAndSlot();
        if (chunk->SeekIdentifier(CK_STATESAVE_SPRITESHARED))
            readShared();
    } else if (chunk->SeekIdentifier(CK_STATESAVE_SPRITESHARED)) {
        readShared();
    } else {
        // The bitmap sections would take the image's size as the source.
        const QxRect source = m_SourceRect;
        // Only a caching other than procedural is written.
        int caching = chunk->SeekIdentifier(CK_STATESAVE_SPRITESYSTEMCACHING) ? chunk->ReadInt() : CKBITMAP_PROCEDURAL;
        if (caching < CKBITMAP_PROCEDURAL || caching > CKBITMAP_DISCARD)
            caching = CKBITMAP_PROCEDURAL;
        m_Bitmap.SetSystemCaching(caching);
        m_Bitmap.ReadFromChunk(chunk, file, kBitmapReadIds);
        m_SourceRect = source;
        readKeyAndSlot();
        if (chunk->SeekIdentifier(CK_STATESAVE_SPRITEVIDEOFORMAT))
            m_Bitmap.SetDesiredVideoFormat(chunk->ReadInt());
        if (chunk->SeekIdentifier(CK_STATESAVE_SPRITERENDEROPTIONS)) {
            m_RenderOptions.ModulateColor = chunk->ReadDword();
            m_RenderOptions.Options = chunk->ReadDword();
        } else {
            m_RenderOptions = CKSpriteRenderOptions();
        }
        if (chunk->SeekIdentifier(CK_STATESAVE_SPRITESAVEFORMAT)) {
            m_Bitmap.SetSaveOptions(chunk->ReadInt());
            void* buffer = nullptr;
            const int size = chunk->ReadBuffer(&buffer);
            if (buffer && size >= 4 && chunk->GetDataVersion() > CK_SPRITE_DATAVERSION_OLDFORMATRECORD) {
                CKBitmapProperties format;
                const CKDWORD sizeWord = LoadLE32(static_cast<const CKBYTE*>(buffer));
                const bool read = sizeWord < CK_BITMAPPROPERTIES_BASESIZE
                                      ? CKConvertBitmapProperties(buffer, (CKDWORD) size, format)
                                      : CKReadBitmapProperties(buffer, (CKDWORD) size, format);
                if (read)
                    m_Bitmap.SetSaveFormat(&format);
            }
            delete[] static_cast<CKBYTE*>(buffer);
        }
    }
    m_Bitmap.SetStoredFormat(m_Bitmap.GetDesiredVideoFormat());
    return CKErr::Ok;
}

CKERROR RCKSprite::Copy(CKObject& source, CKDependenciesContext& context)
{
    CKERROR error = RCK2dEntity::Copy(source, context);
    if (error != CKErr::Ok)
        return error;
    if (CKIsChildClassOfObject(&source, CKCID_SPRITE) && &source != this)
        CopySprite(*static_cast<RCKSprite*>(&source));
    return CKErr::Ok;
}

void RCKSprite::CopySprite(RCKSprite& source)
{
    const CKBitmapData& from = source.m_Bitmap;
    m_Bitmap.ReleaseAllSlots();
    if (const char* movie = from.GetMovieFileName())
        m_Bitmap.LoadMovieFile(XString(movie));
    m_Bitmap.SetSaveFormat(from.GetSaveFormat());
    m_Bitmap.SetSaveOptions(from.GetSaveOptions());
    m_Bitmap.SetSystemCaching(from.GetSystemCaching());
    m_Bitmap.SetDesiredVideoFormat(from.GetDesiredVideoFormat());
    if (from.GetSystemCaching() == CKBITMAP_VIDEOSHADOW)
        m_Bitmap.SetStoredFormat(from.GetStoredFormat());
    m_Bitmap.SetBitmapValue(from.GetBitmapValue());
    m_Bitmap.SetTransparentColor(from.GetTransparentColor());
    m_RenderOptions = source.m_RenderOptions;

    if (!from.GetMovieReader()) {
        QxImageDesc desc;
        from.GetImageDesc(desc);
        const size_t bytes = (size_t) desc.BytesPerLine * (size_t) (desc.Height > 0 ? desc.Height : 0);
        for (int i = 0; i < from.GetSlotCount(); ++i) {
            const CKBYTE* pixels = from.GetSlotImageData(i);
            void* copy = pixels && bytes ? QxNewAligned(bytes, 16) : nullptr;
            if (copy) {
                std::memcpy(copy, pixels, bytes);
                if (!m_Bitmap.CreateImage(from.GetWidth(), from.GetHeight(), desc.BitsPerPixel, i, copy))
                    QxDeleteAligned(copy);
            }
            m_Bitmap.SetSlotFileName(i, from.GetSlotFileName(i));
        }
        m_Bitmap.SetCurrentSlot(from.GetCurrentSlot());
    }
    m_Bitmap.SetBitmapFlags(from.GetBitmapFlags());
}

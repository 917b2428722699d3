// Bitmap data in its owner's state chunk: the images (raw planes or encoded
// by a reader), the slot names and the movie name.

#include "core/bitmap/CKBitmapData.h"
#include "core/bitmap/CKBitmapProperties.h"
#include "core/bitmap/CKBitmapReader.h"
#include "core/bitmap/CKPixelBuffer.h"
#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKFunctions.h"
#include "core/context/CKPathManager.h"
#include "core/context/CKStartUp.h"
#include "core/file/CKFile.h"
#include "system/image/QxBlitter.h"
#include "system/image/QxPixelFormat.h"
#include "system/log/QxLogManager.h"
#include "system/memory/QxAlignedAlloc.h"

namespace {

// The slot count that opens an image or name section: every slot takes at
// least one word of the section. -1 (with one log line) when it cannot be.
int ReadSlotCount(CKStateChunk* chunk, int sectionBytes)
{
    const int count = chunk->ReadInt();
    if (count >= 0 && count <= CK_MAX_BITMAP_SLOTS && count <= sectionBytes / 4 && chunk->GetReadError() == 0)
        return count;
    QxGetLogManager()
        ->SetContext(CKGetLogSourceId(), QXLOG_ERROR, __LINE__, "CKBitmapData")
        ->Log("A bitmap section of %d bytes announces %d images", sectionBytes, count);
    return -1;
}

// The slot's pixels in the system copy's layout, null when it has none (or
// fewer bytes than the layout needs).
CKBYTE* SlotPixels(const CKBitmapSlot* slot, const QxImageDesc& desc)
{
    return slot->m_Pixels && CKFitsSlot(desc, slot->m_PixelBytes) ? slot->m_Pixels : nullptr;
}

} // namespace

CKBOOL CKBitmapData::WriteToChunk(CKStateChunk* chunk, CKFile* file, const CKDWORD ids[4])
{
    if (!chunk)
        return FALSE;
    int options = EffectiveSaveOptions();
    const int count = GetSlotCount();
    QxImageDesc desc;
    GetImageDesc(desc);

    if (m_MovieInfo) {
        chunk->WriteIdentifier(ids[0]);
        XString name = m_MovieInfo->m_FileName;
        chunk->WriteString(CKGetFileNameFromPath(name));
        if (file && options == CKBITMAP_SAVEINCLUDEFILES)
            file->IncludeFile(m_MovieInfo->m_FileName.CStr(), CKPathManager::BITMAP_PATH_IDX);
        return TRUE;
    }

    if (options == CKBITMAP_SAVEGLOBAL || !file)
        options = CKBITMAP_SAVERAWDATA;
    // Slots whose pixels need not be written.
    XArray<CKBYTE> skip;
    skip.Resize(count);
    for (int i = 0; i < count; ++i)
        skip[i] = options == CKBITMAP_SAVEREFERENCES;
    if (options == CKBITMAP_SAVEINCLUDEFILES)
        for (int i = 0; i < count; ++i) {
            if (file->IncludeFile(m_Slots[i]->m_FileName.CStr(), CKPathManager::BITMAP_PATH_IDX))
                skip[i] = 1;
            else
                options = CKBITMAP_SAVERAWDATA;
        }

    bool written = options != CKBITMAP_SAVERAWDATA && options != CKBITMAP_SAVEFORMAT;
    if (options == CKBITMAP_SAVEFORMAT) {
        const CKBitmapProperties* format =
            m_SaveOptions == CKBITMAP_SAVEGLOBAL && m_Context ? m_Context->GetGlobalImagesSaveFormat() : m_SaveFormat;
        CKBitmapReader* reader = format ? CKFindBitmapReader(format->m_Ext.CStr(), &format->m_ReaderGuid) : nullptr;
        if (reader) {
            chunk->WriteIdentifier(ids[1]);
            chunk->WriteInt(count);
            chunk->WriteInt(m_Width);
            chunk->WriteInt(m_Height);
            chunk->WriteInt(desc.BitsPerPixel);
            for (int i = 0; i < count; ++i) {
                QxImageDesc image = desc;
                image.Image = SlotPixels(m_Slots[i], desc);
                CKBitmapProperties properties = *format;
                chunk->WriteReaderBitmap(image, reader, &properties);
            }
            reader->Release();
            written = true;
        }
    }
    if (!written) {
        chunk->WriteIdentifier(ids[2]);
        chunk->WriteInt(count);
        for (int i = 0; i < count; ++i) {
            QxImageDesc image = desc;
            image.Image = skip[i] ? nullptr : SlotPixels(m_Slots[i], desc);
            // The raw planes are those of 32-bit ARGB pixels.
            CKPixelBuffer argb;
            if (image.Image && !CKIsArgb32(image)) {
                argb = CKPixelBuffer(QxMakeImageDesc32(m_Width, m_Height));
                if (argb.Image() && QxDoBlit(image, argb.Desc()))
                    image = argb.Desc();
                else
                    image.Image = nullptr;
            }
            chunk->WriteRawBitmap(image);
        }
    }

    chunk->WriteIdentifier(ids[3]);
    chunk->WriteInt(count);
    for (int i = 0; i < count; ++i) {
        XString name = m_Slots[i]->m_FileName;
        chunk->WriteString(CKGetFileNameFromPath(name));
    }
    return TRUE;
}

CKBOOL CKBitmapData::ReadFromChunk(CKStateChunk* chunk, CKFile*, const CKDWORD ids[5])
{
    if (!chunk)
        return FALSE;
    m_Width = -1;
    m_Height = -1;
    // Slots still without an image.
    XArray<CKBYTE> marks;
    bool imageFound = true;
    int size = chunk->SeekIdentifierAndReturnSize(ids[1]);
    if (size >= 0) {
        ReadReaderImages(chunk, size, marks);
    } else if ((size = chunk->SeekIdentifierAndReturnSize(ids[2])) >= 0) {
        ReadRawImages(chunk, size, marks);
    } else if ((size = chunk->SeekIdentifierAndReturnSize(ids[4])) >= 0) {
        ReadFormatNamedImages(chunk, size, marks);
    } else {
        imageFound = false;
    }
    if ((size = chunk->SeekIdentifierAndReturnSize(ids[3])) >= 0)
        ReadNames(chunk, size, marks, imageFound);
    if (chunk->SeekIdentifierAndReturnSize(ids[0]) >= 0) {
        XString name;
        chunk->ReadStringInto(name);
        if (name.Length() > 1) {
            ResolveBitmapName(name);
            LoadMovieFile(name);
        }
    }
    if (m_Width == 0 || m_Height == 0)
        m_BitmapFlags |= CKBITMAPDATA_NOIMAGE;
    return TRUE;
}

void CKBitmapData::ReadReaderImages(CKStateChunk* chunk, int sectionBytes, XArray<CKBYTE>& marks)
{
    const int count = ReadSlotCount(chunk, sectionBytes);
    const int width = chunk->ReadInt();
    const int height = chunk->ReadInt();
    chunk->ReadInt(); // the depth the images were saved from
    if (count < 0 || !SetSlotCount(count))
        return;
    marks.Resize(count);
    for (int i = 0; i < count; ++i) {
        marks[i] = 1;
        if (!CKIsValidImageSize(width, height))
            continue;
        // Decoded into the format wanted in video memory when the pixels are
        // cached, else into 32-bit ARGB.
        QxImageDesc wanted;
        if (m_SystemCaching != CKBITMAP_PROCEDURAL) {
            QxPixelFormat2ImageDesc(m_DesiredVideoFormat, wanted);
            if (wanted.BitsPerPixel == 0)
                wanted.BitsPerPixel = (wanted.Flags & 0x13) ? 4 : 8;
            wanted.Width = width;
            wanted.Height = height;
            wanted.BytesPerLine = width * wanted.BitsPerPixel / 8;
        } else {
            wanted = QxMakeImageDesc32(width, height);
        }
        const bool sized = CreateSlot(width, height, wanted.BitsPerPixel, i, nullptr, false);
        QxImageDesc image = wanted;
        image.Image = nullptr;
        const int read = chunk->ReadReaderBitmap(image, CKSTATECHUNK_ALLOCATEPIXELS);
        if (read == 1 && sized && image.Width == width && image.Height == height && AdoptSlotPixels(i, image)) {
            marks[i] = 0;
            m_BitmapFlags |= CKBITMAPDATA_MODIFIED;
        } else if (read == 1) {
            QxDeleteAligned(image.Image);
        }
    }
}

bool CKBitmapData::AdoptSlotPixels(int slot, const QxImageDesc& image)
{
    // Readers may not decode into the format asked for: the slot keeps the
    // layout GetImageDesc describes it with.
    QxImageDesc kept;
    GetImageDesc(kept);
    const size_t pitch = (size_t) (image.BytesPerLine < 0 ? -image.BytesPerLine : image.BytesPerLine);
    if (kept.BitsPerPixel == 0 || QxImageDesc2PixelFormat(kept) == QxImageDesc2PixelFormat(image)) {
        m_Slots[slot]->AdoptPixels(image.Image, pitch * (size_t) image.Height);
        return true;
    }
    CKPixelBuffer converted(kept);
    if (!converted.Image() || !QxDoBlit(image, converted.Desc()))
        return false;
    QxDeleteAligned(image.Image);
    const size_t bytes = converted.Bytes();
    m_Slots[slot]->AdoptPixels(converted.Release(), bytes);
    return true;
}

void CKBitmapData::ReadRawImages(CKStateChunk* chunk, int sectionBytes, XArray<CKBYTE>& marks)
{
    const int count = ReadSlotCount(chunk, sectionBytes);
    if (count < 0 || !SetSlotCount(count))
        return;
    marks.Resize(count);
    for (int i = 0; i < count; ++i) {
        marks[i] = 1;
        QxImageDesc image;
        if (!chunk->ReadRawBitmapHeader(image))
            continue;
        const bool sized = CreateSlot(image.Width, image.Height, 32, i, nullptr, false);
        if (!chunk->ReadRawBitmap(image, CKSTATECHUNK_ALLOCATEPIXELS))
            continue;
        if (sized && AdoptSlotPixels(i, image))
            marks[i] = 0;
        else
            QxDeleteAligned(image.Image);
    }
}

void CKBitmapData::ReadFormatNamedImages(CKStateChunk* chunk, int sectionBytes, XArray<CKBYTE>& marks)
{
    const int count = ReadSlotCount(chunk, sectionBytes);
    if (count < 0 || !SetSlotCount(count))
        return;
    marks.Resize(count);
    for (int i = 0; i < count; ++i) {
        marks[i] = 1;
        QxImageDesc source;
        CKBYTE* pixels = chunk->ReadFormatNamedBitmap(source);
        if (!pixels)
            continue;
        QxImageDesc target;
        GetImageDesc(target);
        if (target.BitsPerPixel == 0) {
            QxPixelFormat2ImageDesc(_32_ARGB8888, target);
            m_StoredFormat = _32_ARGB8888;
        }
        if (CreateSlot(source.Width, source.Height, target.BitsPerPixel, i, nullptr, true)) {
            CKBitmapSlot* record = m_Slots[i];
            GetImageDesc(target);
            target.Image = record->m_Pixels;
            if (CKFitsSlot(target, record->m_PixelBytes) && QxDoBlit(source, target)) {
                marks[i] = 0;
                m_BitmapFlags |= CKBITMAPDATA_MODIFIED;
            }
        }
        QxDeleteAligned(pixels);
    }
}

void CKBitmapData::ReadNames(CKStateChunk* chunk, int sectionBytes, const XArray<CKBYTE>& marks, bool imageFound)
{
    const int count = ReadSlotCount(chunk, sectionBytes);
    if (count < 0)
        return;
    SetSlotCount(count);
    for (int i = 0; i < count && chunk->GetReadError() == 0; ++i) {
        XString name;
        chunk->ReadStringInto(name);
        if (name.Length() <= 1)
            continue;
        SetSlotFileName(i, name.CStr());
        // Slots beyond the image section have no image either.
        const bool withoutImage = i >= marks.Size() || marks[i] != 0;
        if (imageFound && !withoutImage)
            continue;
        const bool resolved = ResolveBitmapName(name);
        if (m_SystemCaching != CKBITMAP_PROCEDURAL) {
            // Read again from the file when the owner needs the pixels.
            SetSlotFileName(i, name.CStr());
            if (resolved)
                m_BitmapFlags &= ~CKBITMAPDATA_NOIMAGE;
        } else {
            LoadSlotImage(name, i);
        }
    }
}

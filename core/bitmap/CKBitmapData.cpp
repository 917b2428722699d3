#include "core/bitmap/CKBitmapData.h"

#include <cstring>
#include <utility>
#include <vector>

#include "core/bitmap/CKBitmapProperties.h"
#include "core/bitmap/CKBitmapReader.h"
#include "core/bitmap/CKMovieReader.h"
#include "core/bitmap/CKPixelBuffer.h"
#include "core/context/CKContext.h"
#include "core/context/CKDefines.h"
#include "core/context/CKPathManager.h"
#include "system/image/QxBlitter.h"
#include "system/image/QxPixelFormat.h"
#include "system/memory/QxAlignedAlloc.h"

CKBitmapData::CKBitmapData(CKContext* context) : m_Context(context) {}

CKBitmapData::~CKBitmapData()
{
    delete m_MovieInfo;
    m_MovieInfo = nullptr;
    ReleaseAllSlots();
    CKDeleteBitmapProperties(m_SaveFormat);
}

CKBOOL CKBitmapData::CreateImage(int width, int height, int bpp, int slot, void* pixels)
{
    return CreateSlot(width, height, bpp, slot, pixels, true);
}

CKBOOL CKBitmapData::CreateSlot(int width, int height, int bpp, int slot, void* pixels, bool allocate)
{
    if (width > CK_MAX_IMAGE_DIMENSION || height > CK_MAX_IMAGE_DIMENSION || slot < 0 || slot >= CK_MAX_BITMAP_SLOTS ||
        bpp < 0 || bpp > 128 || (bpp == 0 && !pixels && allocate))
        return FALSE;
    // All slots share one size, except while the first is being made.
    const bool shared =
        !(m_BitmapFlags & CKBITMAPDATA_NOIMAGE) && (m_Slots.Size() > 1 || slot != 0) && m_Width >= 0 && m_Height >= 0;
    if (shared) {
        if (width != m_Width || height != m_Height)
            return FALSE;
    } else {
        m_Width = width;
        m_Height = height;
        m_BitmapFlags &= ~CKBITMAPDATA_NOIMAGE;
        m_BitmapFlags |= CKBITMAPDATA_MODIFIED;
    }
    if (width < 1 || height < 1) {
        m_BitmapFlags |= CKBITMAPDATA_NOIMAGE;
        return FALSE;
    }
    while (m_Slots.Size() <= slot)
        m_Slots.PushBack(new CKBitmapSlot);
    CKBitmapSlot* record = m_Slots[slot];
    const size_t bytes = CKImageBytes(width, height, bpp);
    if (pixels) {
        record->AdoptPixels(static_cast<CKBYTE*>(pixels), bytes);
        return TRUE;
    }
    if (!allocate) {
        record->FreePixels();
        return TRUE;
    }
    if (!record->AllocatePixels(bytes))
        return FALSE;
    std::memset(record->m_Pixels, 0, bytes);
    QxImageDesc desc;
    GetImageDesc(desc);
    if (desc.BitsPerPixel == bpp) {
        desc.Image = record->m_Pixels;
        QxDoAlphaBlit(desc, 255);
    }
    return TRUE;
}

CKBOOL CKBitmapData::Resize(int width, int height)
{
    if (m_MovieInfo || m_Slots.Size() == 0 || m_Width < 1 || m_Height < 1 || width < 1 || height < 1 ||
        width > CK_MAX_IMAGE_DIMENSION || height > CK_MAX_IMAGE_DIMENSION)
        return FALSE;
    if (width == m_Width && height == m_Height)
        return TRUE;
    if (m_SystemCaching == CKBITMAP_DISCARD) {
        if (m_Context)
            m_Context->OutputToConsole("Image can not be resized in discard mode. Resize the source image file.");
        return FALSE;
    }
    // The pixels are resampled as 32-bit ARGB and go back to the layout they
    // are kept in; the caching mode is not changed (changing it would free
    // the current slot's pixels of a reloadable file).
    QxImageDesc kept;
    GetImageDesc(kept);
    QxImageDesc keptNew = kept;
    keptNew.Width = width;
    keptNew.Height = height;
    keptNew.BytesPerLine = kept.BitsPerPixel / 8 * width;
    const bool keptIsArgb = CKIsArgb32(kept);
    std::vector<CKPixelBuffer> fresh((size_t) m_Slots.Size());
    for (int i = 0; i < m_Slots.Size(); ++i) {
        CKPixelBuffer argb(QxMakeImageDesc32(width, height));
        if (!argb.Image())
            return FALSE;
        const CKBitmapSlot* slot = m_Slots[i];
        QxImageDesc source = kept;
        source.Image = slot->m_Pixels;
        if (slot->m_Pixels && CKFitsSlot(source, slot->m_PixelBytes)) {
            CKPixelBuffer old;
            if (!keptIsArgb) {
                old = CKPixelBuffer(QxMakeImageDesc32(m_Width, m_Height));
                if (!old.Image() || !QxDoBlit(source, old.Desc()))
                    return FALSE;
                source = old.Desc();
            }
            if (!QxResizeImage(source, argb.Desc()))
                return FALSE;
        } else {
            argb.Fill(0xFF000000);
        }
        if (keptIsArgb) {
            fresh[(size_t) i] = std::move(argb);
            continue;
        }
        CKPixelBuffer back(keptNew);
        if (!back.Image() || !QxDoBlit(argb.Desc(), back.Desc()))
            return FALSE;
        fresh[(size_t) i] = std::move(back);
    }
    for (int i = 0; i < m_Slots.Size(); ++i) {
        CKPixelBuffer& buffer = fresh[(size_t) i];
        const size_t bytes = buffer.Bytes();
        m_Slots[i]->AdoptPixels(buffer.Release(), bytes);
    }
    m_Width = width;
    m_Height = height;
    m_BitmapFlags |= CKBITMAPDATA_MODIFIED;
    return TRUE;
}

int CKBitmapData::GetSlotCount() const
{
    if (m_MovieInfo)
        return m_MovieInfo->m_Reader ? m_MovieInfo->m_Reader->GetMovieFrameCount() : 0;
    return m_Slots.Size();
}

CKBOOL CKBitmapData::SetSlotCount(int count)
{
    if (m_MovieInfo || count < 0 || count > CK_MAX_BITMAP_SLOTS)
        return FALSE;
    while (m_Slots.Size() > count) {
        delete m_Slots[m_Slots.Size() - 1];
        m_Slots.RemoveAt(m_Slots.Size() - 1);
    }
    while (m_Slots.Size() < count)
        m_Slots.PushBack(new CKBitmapSlot);
    if (count == 0)
        m_BitmapFlags |= CKBITMAPDATA_NOIMAGE;
    return TRUE;
}

CKBOOL CKBitmapData::RemoveSlot(int index)
{
    if (m_MovieInfo || index < 0 || index >= m_Slots.Size())
        return FALSE;
    delete m_Slots[index];
    m_Slots.RemoveAt(index);
    if (m_CurrentSlot >= m_Slots.Size()) {
        m_CurrentSlot = m_Slots.Size() > 0 ? m_Slots.Size() - 1 : 0;
        m_BitmapFlags |= CKBITMAPDATA_MODIFIED;
    }
    if (m_Slots.Size() == 0)
        m_BitmapFlags |= CKBITMAPDATA_NOIMAGE;
    return TRUE;
}

CKBOOL CKBitmapData::ReleaseAllSlots()
{
    if (m_MovieInfo)
        return FALSE;
    for (CKBitmapSlot* slot : m_Slots)
        delete slot;
    m_Slots.Clear();
    m_BitmapFlags |= CKBITMAPDATA_NOIMAGE;
    return TRUE;
}

CKBOOL CKBitmapData::SetCurrentSlot(int index)
{
    if (m_MovieInfo)
        return ShowMovieFrame(index);
    if (index < 0 || index >= m_Slots.Size())
        return FALSE;
    if (index != m_CurrentSlot) {
        m_CurrentSlot = index;
        if (!(m_BitmapFlags & (CKBITMAPDATA_RASTERIZERCUBE | CKBITMAPDATA_RASTERIZERIMAGE)))
            m_BitmapFlags |= CKBITMAPDATA_MODIFIED;
    }
    return TRUE;
}

int CKBitmapData::GetCurrentSlot() const
{
    return m_MovieInfo ? m_MovieInfo->m_CurrentFrame : m_CurrentSlot;
}

CKBitmapSlot* CKBitmapData::SlotOrCurrent(int index) const
{
    if (index < 0 || index >= m_Slots.Size())
        index = m_CurrentSlot;
    return index >= 0 && index < m_Slots.Size() ? m_Slots[index] : nullptr;
}

CKBYTE* CKBitmapData::GetSlotImageData(int index) const
{
    CKBitmapSlot* slot = SlotOrCurrent(index);
    return slot ? slot->m_Pixels : nullptr;
}

CKBOOL CKBitmapData::FreeSlotPixels(int index)
{
    CKBitmapSlot* slot = SlotOrCurrent(index);
    if (!slot)
        return FALSE;
    slot->FreePixels();
    return TRUE;
}

const char* CKBitmapData::GetSlotFileName(int index) const
{
    return index >= 0 && index < m_Slots.Size() ? m_Slots[index]->m_FileName.CStr() : nullptr;
}

CKBOOL CKBitmapData::SetSlotFileName(int index, const char* name)
{
    if (index < 0 || index >= CK_MAX_BITMAP_SLOTS)
        return FALSE;
    if (index >= m_Slots.Size()) {
        while (m_Slots.Size() <= index)
            m_Slots.PushBack(new CKBitmapSlot);
        m_BitmapFlags |= CKBITMAPDATA_MODIFIED;
        m_BitmapFlags &= ~CKBITMAPDATA_NOIMAGE;
    }
    m_Slots[index]->m_FileName = name ? name : "";
    return TRUE;
}

const char* CKBitmapData::GetMovieFileName() const
{
    return m_MovieInfo ? m_MovieInfo->m_FileName.CStr() : nullptr;
}

CKBYTE* CKBitmapData::PixelAddress(int x, int y, int slot, QxImageDesc& pixel) const
{
    if (slot < 0)
        slot = m_CurrentSlot;
    if (slot < 0 || slot >= m_Slots.Size() || x < 0 || y < 0 || x >= m_Width || y >= m_Height)
        return nullptr;
    const CKBitmapSlot* record = m_Slots[slot];
    GetImageDesc(pixel);
    const int bytesPerPixel = pixel.BitsPerPixel / 8;
    if (!record->m_Pixels || pixel.BitsPerPixel <= 0 || pixel.BitsPerPixel % 8 != 0)
        return nullptr;
    const size_t offset = (size_t) y * (size_t) pixel.BytesPerLine + (size_t) x * (size_t) bytesPerPixel;
    if (offset + (size_t) bytesPerPixel > record->m_PixelBytes)
        return nullptr;
    pixel.Width = 1;
    pixel.Height = 1;
    pixel.BytesPerLine = bytesPerPixel;
    pixel.Image = record->m_Pixels + offset;
    return pixel.Image;
}

CKDWORD CKBitmapData::GetPixel(int x, int y, int slot) const
{
    QxImageDesc pixel;
    if (!PixelAddress(x, y, slot, pixel))
        return 0;
    CKDWORD color = 0;
    if (CKIsArgb32(pixel)) {
        std::memcpy(&color, pixel.Image, 4);
        return color;
    }
    QxImageDesc argb = QxMakeImageDesc32(1, 1);
    argb.Image = reinterpret_cast<CKBYTE*>(&color);
    return QxDoBlit(pixel, argb) ? color : 0;
}

CKBOOL CKBitmapData::SetPixel(int x, int y, CKDWORD color, int slot)
{
    QxImageDesc pixel;
    if (!PixelAddress(x, y, slot, pixel))
        return FALSE;
    if (CKIsArgb32(pixel)) {
        std::memcpy(pixel.Image, &color, 4);
        return TRUE;
    }
    QxImageDesc argb = QxMakeImageDesc32(1, 1);
    argb.Image = reinterpret_cast<CKBYTE*>(&color);
    return QxDoBlit(argb, pixel);
}

void CKBitmapData::SetTransparentColor(CKDWORD color)
{
    if ((m_BitmapFlags & CKBITMAPDATA_TRANSPARENT) && color != m_TransparentColor)
        m_BitmapFlags |= CKBITMAPDATA_MODIFIED;
    m_TransparentColor = color;
}

void CKBitmapData::SetTransparent(CKBOOL transparent)
{
    if (!transparent) {
        m_BitmapFlags &= ~CKBITMAPDATA_TRANSPARENT;
        return;
    }
    if (!(m_BitmapFlags & CKBITMAPDATA_TRANSPARENT))
        m_BitmapFlags |= CKBITMAPDATA_TRANSPARENT | CKBITMAPDATA_MODIFIED;
}

void CKBitmapData::ApplyTransparentColor(const QxImageDesc& image)
{
    if (image.BitsPerPixel != 32 || !image.Image || image.Width < 1 || image.Height < 1)
        return;
    const CKDWORD key = m_TransparentColor & 0xFEFEFE;
    for (int y = 0; y < image.Height; ++y) {
        CKBYTE* line = image.Image + (ptrdiff_t) y * image.BytesPerLine;
        for (int x = 0; x < image.Width; ++x) {
            CKDWORD p;
            std::memcpy(&p, line + 4 * x, 4);
            const CKDWORD colour = p & 0xFEFEFE;
            p = colour == key ? colour : colour | 0xFF000000;
            std::memcpy(line + 4 * x, &p, 4);
        }
    }
}

void CKBitmapData::SetBorderTransparent(const QxImageDesc& image)
{
    m_BitmapFlags |= CKBITMAPDATA_BORDERTRANSPARENT;
    if (image.BitsPerPixel != 32 || !image.Image || image.Width < 1 || image.Height < 1)
        return;
    auto clearAlpha = [&](int x, int y) { image.Image[(ptrdiff_t) y * image.BytesPerLine + 4 * x + 3] = 0; };
    for (int y = 0; y < image.Height; ++y) {
        clearAlpha(0, y);
        clearAlpha(image.Width - 1, y);
    }
    for (int x = 0; x < image.Width; ++x) {
        clearAlpha(x, 0);
        clearAlpha(x, image.Height - 1);
    }
}

CKBOOL CKBitmapData::MarkSlotModified(int)
{
    m_BitmapFlags |= CKBITMAPDATA_MODIFIED;
    return TRUE;
}

int CKBitmapData::EffectiveSaveOptions() const
{
    if (m_SaveOptions != CKBITMAP_SAVEGLOBAL)
        return m_SaveOptions;
    return m_Context ? m_Context->GetGlobalImagesSaveOptions() : CKBITMAP_SAVERAWDATA;
}

CKBOOL CKBitmapData::IsFileReloadable() const
{
    const int options = EffectiveSaveOptions();
    return options == CKBITMAP_SAVEREFERENCES || options == CKBITMAP_SAVEINCLUDEFILES;
}

CKBOOL CKBitmapData::GetImageDesc(QxImageDesc& desc) const
{
    if (m_SystemCaching == CKBITMAP_VIDEOSHADOW || (m_SystemCaching != CKBITMAP_PROCEDURAL && IsFileReloadable())) {
        desc = QxImageDesc();
        QxPixelFormat2ImageDesc(m_StoredFormat, desc);
        desc.Width = m_Width;
        desc.Height = m_Height;
        desc.BytesPerLine = desc.BitsPerPixel / 8 * m_Width;
    } else {
        desc = QxMakeImageDesc32(m_Width, m_Height);
    }
    return TRUE;
}

bool CKBitmapData::ResolveBitmapName(XString& name) const
{
    CKPathManager* paths = m_Context ? m_Context->GetPathManager() : nullptr;
    return paths && paths->ResolveFileName(name, CKPathManager::BITMAP_PATH_IDX) == CKErr::Ok;
}

int CKBitmapData::SetSystemCaching(int mode)
{
    if (mode == m_SystemCaching)
        return mode;
    m_SystemCaching = mode;
    if (!m_MovieInfo && mode == CKBITMAP_DISCARD)
        for (CKBitmapSlot* slot : m_Slots)
            ResolveBitmapName(slot->m_FileName);
    if (!IsFileReloadable())
        return 0;
    m_BitmapFlags |= CKBITMAPDATA_MODIFIED | CKBITMAPDATA_VIDEOCHANGED;
    return FreeSlotPixels(m_CurrentSlot);
}

void CKBitmapData::SetDesiredVideoFormat(int format)
{
    if (format == m_DesiredVideoFormat)
        return;
    m_BitmapFlags |= CKBITMAPDATA_MODIFIED | CKBITMAPDATA_VIDEOCHANGED;
    m_DesiredVideoFormat = format;
    if (IsFileReloadable() && m_SystemCaching != CKBITMAP_PROCEDURAL)
        FreeSlotPixels(m_CurrentSlot);
}

void CKBitmapData::SetSaveFormat(const CKBitmapProperties* format)
{
    CKDeleteBitmapProperties(m_SaveFormat);
    m_SaveFormat = CKCopyBitmapProperties(format);
    if (m_SaveFormat) {
        // Save options, not an image: no pointer of a reader's survives.
        m_SaveFormat->m_Data = nullptr;
        m_SaveFormat->m_Format.Image = nullptr;
        m_SaveFormat->m_Format.ColorMap = nullptr;
    }
}

void CKBitmapData::Swap(CKBitmapData& other)
{
    std::swap(m_Context, other.m_Context);
    std::swap(m_MovieInfo, other.m_MovieInfo);
    m_Slots.Swap(other.m_Slots);
    std::swap(m_Width, other.m_Width);
    std::swap(m_Height, other.m_Height);
    std::swap(m_CurrentSlot, other.m_CurrentSlot);
    std::swap(m_BitmapValue, other.m_BitmapValue);
    std::swap(m_BitmapFlags, other.m_BitmapFlags);
    std::swap(m_TransparentColor, other.m_TransparentColor);
    std::swap(m_SaveFormat, other.m_SaveFormat);
    std::swap(m_SaveOptions, other.m_SaveOptions);
    std::swap(m_SystemCaching, other.m_SystemCaching);
    std::swap(m_DesiredVideoFormat, other.m_DesiredVideoFormat);
    std::swap(m_StoredFormat, other.m_StoredFormat);
}

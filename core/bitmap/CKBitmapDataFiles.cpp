// Bitmap data and files: slot images read and written through the bitmap
// readers, and movies shown through a movie reader.

#include <cstring>
#include <vector>

#include "core/bitmap/CKBitmapData.h"
#include "core/bitmap/CKBitmapProperties.h"
#include "core/bitmap/CKBitmapReader.h"
#include "core/bitmap/CKBitmapSaveResult.h"
#include "core/bitmap/CKMovieReader.h"
#include "core/bitmap/CKPixelBuffer.h"
#include "core/context/CKContext.h"
#include "core/context/CKPathManager.h"
#include "core/context/CKPluginInfo.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "system/image/QxBlitter.h"
#include "system/image/QxPixelFormat.h"
#include "system/io/CKPathMaker.h"
#include "system/io/CKPathSplitter.h"
#include "system/io/QxSubFile.h"
#include "system/log/QxLogManager.h"

namespace {

// Releases a reader when it goes out of scope.
template <class Reader>
struct ReaderHolder
{
    Reader* m_Reader = nullptr;
    explicit ReaderHolder(CKDataReader* reader) : m_Reader(static_cast<Reader*>(reader)) {}
    ~ReaderHolder()
    {
        if (m_Reader)
            m_Reader->Release();
    }
    ReaderHolder(const ReaderHolder&) = delete;
    ReaderHolder& operator=(const ReaderHolder&) = delete;
};

// The extension of a file name without its dot ("" for none).
XString ExtensionOf(const char* name)
{
    CKPathSplitter splitter(name);
    const char* extension = splitter.GetExtension();
    if (*extension == '.')
        ++extension;
    return XString(extension);
}

void LogMissingReader(const char* extension, const char* name)
{
    QxGetLogManager()
        ->SetContext(CKGetLogSourceId(), QXLOG_ERROR, __LINE__, "CKBitmapData")
        ->Log("Cannot find reader for extension : %s while loading %s", extension, name);
}

} // namespace

CKBOOL CKBitmapData::LoadSlotImage(const XString& name, int slot)
{
    if (slot < 0 || slot >= CK_MAX_BITMAP_SLOTS)
        return FALSE;
    const int oldCount = m_Slots.Size();
    while (m_Slots.Size() <= slot)
        m_Slots.PushBack(new CKBitmapSlot);
    m_Slots[slot]->m_FileName = name;
    if (ReadSlotImage(slot, nullptr))
        return TRUE;
    while (m_Slots.Size() > oldCount) {
        delete m_Slots[m_Slots.Size() - 1];
        m_Slots.RemoveAt(m_Slots.Size() - 1);
    }
    if (oldCount == 0)
        m_BitmapFlags |= CKBITMAPDATA_NOIMAGE;
    return FALSE;
}

CKBOOL CKBitmapData::ReadSlotImage(int slot, const QxImageDesc* wanted)
{
    if (slot < 0 || slot >= m_Slots.Size())
        return FALSE;
    const XString name = m_Slots[slot]->m_FileName;
    if (name.IsEmpty())
        return FALSE;
    const XString extension = ExtensionOf(name.CStr());
    if (extension.IsEmpty())
        return FALSE;
    CKPluginManager* plugins = CKGetPluginManager();
    ReaderHolder<CKBitmapReader> holder(plugins ? plugins->GetBitmapReader(extension.CStr()) : nullptr);
    CKBitmapReader* reader = holder.m_Reader;
    if (!reader) {
        LogMissingReader(extension.CStr(), name.CStr());
        return FALSE;
    }

    if (m_SystemCaching != CKBITMAP_PROCEDURAL) {
        CKBitmapProperties* defaults = nullptr;
        reader->GetBitmapDefaultProperties(&defaults);
        if (defaults) {
            CKBitmapProperties asked = *defaults;
            QxPixelFormat2ImageDesc(m_DesiredVideoFormat, asked.m_Format);
            reader->SetBitmapDefaultProperties(&asked);
        }
    }

    CKBitmapProperties* properties = nullptr;
    int result = -1;
    CKPathManager* paths = m_Context ? m_Context->GetPathManager() : nullptr;
    if (paths && paths->HasCategoryPrefix(name)) {
        QxSubFile file;
        if (!paths->ResolveCategoryPrefixedName(name.CStr(), &file))
            return FALSE;
        const CKDWORD flags = reader->GetFlags();
        if (flags & CK_DATAREADER_STREAMLOAD) {
            result = reader->ReadFromStream(&file, &properties);
        } else if (flags & CK_DATAREADER_MEMORYLOAD) {
            std::vector<CKBYTE> bytes(file.GetSize());
            if (file.Read(bytes.data(), (CKDWORD) bytes.size()) != bytes.size())
                return FALSE;
            result = reader->ReadMemory(bytes.data(), (CKDWORD) bytes.size(), &properties);
        } else {
            return FALSE;
        }
    } else {
        result = reader->ReadFile(name.CStr(), &properties);
    }
    if (result != 0 || !properties || !properties->m_Data)
        return FALSE;

    QxImageDesc source = properties->m_Format;
    source.Image = static_cast<CKBYTE*>(properties->m_Data);
    const int imageFormat = QxImageDesc2PixelFormat(source);
    if (m_SystemCaching == CKBITMAP_VIDEOSHADOW && imageFormat == m_DesiredVideoFormat)
        m_StoredFormat = wanted ? QxImageDesc2PixelFormat(*wanted) : imageFormat;
    else if (source.BitsPerPixel < 24 && m_SystemCaching != CKBITMAP_PROCEDURAL)
        m_DesiredVideoFormat = m_StoredFormat = imageFormat;
    else if (wanted)
        m_StoredFormat = QxImageDesc2PixelFormat(*wanted);

    QxImageDesc target;
    GetImageDesc(target);
    const bool packed = source.BitsPerPixel == 0 || source.BytesPerLine == source.BitsPerPixel / 8 * source.Width;
    bool loaded = false;
    if (packed && imageFormat != 0 && imageFormat == QxImageDesc2PixelFormat(target) && !source.ColorMap) {
        // Already laid out as kept: the slot takes the reader's pixels.
        loaded = CreateSlot(source.Width, source.Height, source.BitsPerPixel, slot, source.Image, false);
        if (loaded)
            properties->m_Data = nullptr;
    } else {
        if (target.BitsPerPixel == 0) {
            QxPixelFormat2ImageDesc(_32_ARGB8888, target);
            m_StoredFormat = _32_ARGB8888;
        }
        if (CreateSlot(source.Width, source.Height, target.BitsPerPixel, slot, nullptr, true)) {
            CKBitmapSlot* record = m_Slots[slot];
            GetImageDesc(target);
            target.Image = record->m_Pixels;
            loaded = CKFitsSlot(target, record->m_PixelBytes) && QxDoBlit(source, target);
            if (loaded && source.AlphaMask == 0)
                QxDoAlphaBlit(target, 255);
            if (!loaded)
                record->FreePixels();
        }
    }
    if (loaded && m_Context && m_Context->GetUpdateTexturePropertiesOnLoad())
        SetSaveFormat(properties);
    if (properties->m_Data)
        reader->ReleaseMemory(properties->m_Data);
    return loaded;
}

CKBOOL CKBitmapData::SaveImage(const char* name, int slot, CKBOOL useFormat)
{
    if (!name)
        return FALSE;
    CKPluginManager* plugins = CKGetPluginManager();
    if (!plugins)
        return FALSE;
    XString extension(".bmp");
    CKBitmapProperties properties;
    CKBitmapReader* found = nullptr;
    if (useFormat && m_SaveFormat) {
        found = CKFindBitmapReader(m_SaveFormat->m_Ext.CStr(), &m_SaveFormat->m_ReaderGuid);
        if (found) {
            extension = ".";
            extension += m_SaveFormat->m_Ext.CStr();
            properties = *m_SaveFormat;
        }
    }
    if (!found) {
        const XString own = ExtensionOf(name);
        if (!own.IsEmpty()) {
            extension = ".";
            extension += own;
        }
        found = static_cast<CKBitmapReader*>(plugins->GetBitmapReader(extension.CStr() + 1));
        if (!found)
            return FALSE;
        CKBitmapProperties* defaults = nullptr;
        found->GetBitmapDefaultProperties(&defaults);
        if (defaults)
            properties = *defaults;
    }
    ReaderHolder<CKBitmapReader> holder(found);
    CKBitmapReader* reader = holder.m_Reader;
    const CKPluginInfo* info = reader->GetReaderInfo();
    const CKGUID readerGuid = info ? info->m_GUID : properties.m_ReaderGuid;

    const CKBitmapSlot* record = SlotOrCurrent(slot);
    if (!record || !record->m_Pixels)
        return FALSE;
    QxImageDesc image;
    GetImageDesc(image);
    image.Image = record->m_Pixels;
    if (!CKFitsSlot(image, record->m_PixelBytes))
        return FALSE;
    // Writers expect 32-bit ARGB pixels; DDS converts from its own formats.
    CKPixelBuffer argb;
    if (readerGuid != CKDDS_READER_GUID && !CKIsArgb32(image)) {
        argb = CKPixelBuffer(QxMakeImageDesc32(m_Width, m_Height));
        if (!argb.Image() || !QxDoBlit(image, argb.Desc()))
            return FALSE;
        image = argb.Desc();
    }
    CKPathSplitter splitter(name);
    CKPathMaker path(splitter.GetDrive(), splitter.GetDir(), splitter.GetName(), extension.CStr());
    properties.m_Format = image;
    properties.m_Data = image.Image;
    const int result = reader->SaveFile(path.GetFileName(), &properties);
    return CKIsBitmapSaved(readerGuid, result);
}

CKBOOL CKBitmapData::LoadMovieFile(const XString& name)
{
    delete m_MovieInfo;
    m_MovieInfo = nullptr;
    // A movie replaces the images.
    ReleaseAllSlots();
    m_MovieInfo = new CKMovieInfo(name);
    CKPluginManager* plugins = CKGetPluginManager();
    const XString extension = ExtensionOf(name.CStr());
    CKMovieReader* reader = plugins && !extension.IsEmpty()
                                ? static_cast<CKMovieReader*>(plugins->GetMovieReader(extension.CStr()))
                                : nullptr;
    CKBitmapProperties* properties = nullptr;
    if (reader) {
        if (reader->OpenFile(name.CStr()) == 0 && reader->ReadFrame(0, &properties) == 0 && properties)
            m_MovieInfo->m_Reader = reader;
        else
            reader->Release();
    }
    if (!m_MovieInfo->m_Reader || !properties)
        return FALSE;
    if (!CreateSlot(properties->m_Format.Width, properties->m_Format.Height, 32, 0, nullptr, true))
        return FALSE;
    m_MovieInfo->m_CurrentFrame = -1;
    return SetCurrentSlot(0);
}

bool CKBitmapData::ShowMovieFrame(int frame)
{
    if (frame == m_MovieInfo->m_CurrentFrame)
        return true;
    CKMovieReader* reader = m_MovieInfo->m_Reader;
    if (!reader || frame < 0 || m_Slots.Size() == 0)
        return false;
    CKBitmapSlot* record = m_Slots[0];
    CKBitmapProperties* properties = nullptr;
    if (!record->m_Pixels || reader->ReadFrame(frame, &properties) != 0 || !properties || !properties->m_Data)
        return false;
    QxImageDesc source = properties->m_Format;
    source.Image = static_cast<CKBYTE*>(properties->m_Data);
    QxImageDesc target = QxMakeImageDesc32(m_Width, m_Height);
    target.Image = record->m_Pixels;
    // Frames come bottom-up.
    if (!CKFitsSlot(target, record->m_PixelBytes) || !QxDoBlitUpsideDown(source, target))
        return false;
    m_MovieInfo->m_CurrentFrame = frame;
    m_BitmapFlags |= CKBITMAPDATA_MODIFIED;
    return true;
}

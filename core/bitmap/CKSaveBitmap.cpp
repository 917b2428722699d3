#include "core/bitmap/CKSaveBitmap.h"

#include <cstring>
#include <new>

#include "core/bitmap/CKBitmapReader.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "system/image/QxBlitter.h"
#include "system/image/QxImageDesc.h"
#include "system/io/CKPathSplitter.h"

namespace {

void SaveThrough(CKBitmapReader* reader, const char* name, const QxImageDesc& image)
{
    CKBitmapProperties* defaults = nullptr;
    reader->GetBitmapDefaultProperties(&defaults);
    CKBitmapProperties properties;
    if (defaults)
        properties = *defaults;
    properties.m_Format = image;
    properties.m_Data = image.Image;
    reader->SaveFile(name, &properties);
}

} // namespace

CKBOOL CKSaveBitmap(const char* name, const QxImageDesc& image)
{
    if (!name)
        return FALSE;
    CKPathSplitter splitter(name);
    const char* extension = splitter.GetExtension();
    if (*extension == '.')
        ++extension;
    CKDataReader* found = CKGetPluginManager()->GetBitmapReader(extension);
    if (!found)
        return FALSE;
    // Category 0 holds bitmap readers only.
    CKBitmapReader* reader = static_cast<CKBitmapReader*>(found);
    if (image.BitsPerPixel == 32) {
        SaveThrough(reader, name, image);
    } else if (image.Width > 0 && image.Height > 0 && (int64_t) image.Width * image.Height <= 0x1FFFFFFF) {
        QxImageDesc converted = QxMakeImageDesc32(image.Width, image.Height);
        converted.AlphaMask = 0;
        CKBYTE* pixels = new (std::nothrow) CKBYTE[(size_t) image.Width * 4 * (size_t) image.Height];
        if (!pixels) {
            reader->Release();
            return FALSE;
        }
        converted.Image = pixels;
        QxDoBlit(image, converted);
        SaveThrough(reader, name, converted);
        delete[] pixels;
    }
    reader->Release();
    return TRUE;
}

#include "core/file/CKFileThumbnail.h"

#include <cstdio>
#include <new>

#include "core/bitmap/CKSaveBitmap.h"
#include "core/file/CKFileFormat.h"
#include "includes/CKByteOrder.h"
#include "platform/PlatformPaths.h"
#include "system/image/QxBlitter.h"
#include "system/image/QxImageDesc.h"
#include "system/io/QxFile.h"

void CKThumbnailSize(int viewWidth, int viewHeight, int& width, int& height)
{
    int longer = viewWidth > viewHeight ? viewWidth : viewHeight;
    int shorter = viewWidth > viewHeight ? viewHeight : viewWidth;
    int side = longer > 0 ? (int) ((double) CK_THUMBNAIL_SIDE * shorter / longer + 0.5) : 0;
    if (side <= 0)
        side = CK_THUMBNAIL_SIDE;
    if (viewWidth >= viewHeight) {
        width = CK_THUMBNAIL_SIDE;
        height = side;
    } else {
        width = side;
        height = CK_THUMBNAIL_SIDE;
    }
}

CKBOOL CKAppendThumbnailTrailer(const char* path, int width, int height)
{
    QxFile file;
    if (!file.Open(path, QX_FILE_READWRITE))
        return FALSE;
    if (!file.Seek(0, 1))
        return FALSE;
    CKDWORD length = file.Tell();
    if (length == 0 || length > 0x7FFFFFFF)
        return FALSE;
    CKBYTE trailer[CK_THUMBNAIL_TRAILER_SIZE];
    StoreLE32(trailer + 0, (CKDWORD) height);
    StoreLE32(trailer + 4, (CKDWORD) width);
    StoreLE32(trailer + 8, (CKDWORD) length);
    StoreLE32(trailer + 12, CK_THUMBNAIL_GUID.d1);
    StoreLE32(trailer + 16, CK_THUMBNAIL_GUID.d2);
    CKBOOL ok = file.Write(trailer, sizeof(trailer)) == sizeof(trailer);
    return file.Close() && ok;
}

CKBOOL CKWriteThumbnail(const char* path, const QxImageDesc& image, int width, int height)
{
    if (!path || width < 1 || height < 1 || image.BitsPerPixel != 32)
        return FALSE;
    // An earlier thumbnail with its trailer must not be extended.
    std::remove(PlatformNativePath(path).c_str());
    QxImageDesc small = QxMakeImageDesc32(width, height);
    CKBYTE* pixels = new (std::nothrow) CKBYTE[(size_t) width * 4 * (size_t) height];
    if (!pixels)
        return FALSE;
    small.Image = pixels;
    CKBOOL ok =
        QxResizeImage(image, small) && CKSaveBitmap(path, small) && CKAppendThumbnailTrailer(path, width, height);
    delete[] pixels;
    if (!ok)
        std::remove(PlatformNativePath(path).c_str());
    return ok;
}

#include "system/image/QxBitmap.h"

#include "system/image/QxBlitter.h"

namespace {

PlatformBitmap* Create24BitSection(int32_t width, int32_t height)
{
    PlatformBitmapInfoHeader header;
    header.Size = 40;
    header.Width = width;
    header.Height = height;
    header.Planes = 1;
    header.BitCount = 24;
    header.Compression = 0;
    return PlatformCreateDibSection(header);
}

// A 24-bit section's pixels as an image: masks red 0xFF0000, green 0xFF00,
// blue 0xFF and the given alpha mask; the pitch is the reported width in
// bytes, or the image size / height when that is not a multiple of 4.
bool DescribeBitmap(PlatformBitmap* bitmap, CKDWORD alphaMask, QxImageDesc& desc)
{
    PlatformDibSection section;
    if (!PlatformGetDibSection(bitmap, &section) || !section.Bitmap.Bits || section.Bitmap.BitsPixel != 24 ||
        section.Bitmap.Height < 1)
        return false;
    desc = QxImageDesc();
    desc.Width = section.Bitmap.Width;
    desc.Height = section.Bitmap.Height;
    desc.BitsPerPixel = 24;
    desc.RedMask = 0x00FF0000;
    desc.GreenMask = 0x0000FF00;
    desc.BlueMask = 0x000000FF;
    desc.AlphaMask = alphaMask;
    desc.BytesPerLine = section.Bitmap.WidthBytes;
    if (desc.BytesPerLine % 4 != 0)
        desc.BytesPerLine = int32_t(section.Header.SizeImage / CKDWORD(section.Bitmap.Height));
    desc.Image = static_cast<CKBYTE*>(section.Bitmap.Bits);
    return true;
}

} // namespace

PlatformBitmap* QxConvertBitmapTo24Bit(PlatformBitmap* bitmap)
{
    PlatformDibSection section;
    if (!PlatformGetDibSection(bitmap, &section))
        return nullptr;
    if (section.Bitmap.BitsPixel == 24 && section.Bitmap.Bits)
        return bitmap;
    PlatformBitmap* converted = Create24BitSection(section.Bitmap.Width, section.Bitmap.Height);
    if (!converted)
        return nullptr;
    PlatformBitBlt(converted, 0, 0, section.Bitmap.Width, section.Bitmap.Height, bitmap, 0, 0);
    return converted;
}

PlatformBitmap* QxCreateBitmapFromImage(const QxImageDesc& image)
{
    PlatformBitmap* bitmap = Create24BitSection(image.Width, image.Height);
    if (!bitmap)
        return nullptr;
    QxImageDesc desc;
    if (!DescribeBitmap(bitmap, 0xFF000000, desc) || !QxDoBlitUpsideDown(image, desc)) {
        PlatformDeleteObject(bitmap);
        return nullptr;
    }
    return bitmap;
}

CKBOOL QxCopyBitmapToImage(PlatformBitmap* bitmap, const QxImageDesc& image)
{
    PlatformBitmap* converted = QxConvertBitmapTo24Bit(bitmap);
    if (!converted)
        return FALSE;
    QxImageDesc desc;
    const CKBOOL ok = DescribeBitmap(converted, 0, desc) && QxDoBlitUpsideDown(desc, image) ? TRUE : FALSE;
    if (converted != bitmap)
        PlatformDeleteObject(converted);
    return ok;
}

#include "system/image/QxImageDesc.h"

bool QxImageDesc::operator!=(const QxImageDesc& other) const
{
    return Size != other.Size || Width != other.Width || Height != other.Height || BytesPerLine != other.BytesPerLine ||
           BitsPerPixel != other.BitsPerPixel || RedMask != other.RedMask || GreenMask != other.GreenMask ||
           BlueMask != other.BlueMask || AlphaMask != other.AlphaMask ||
           BytesPerColorEntry != other.BytesPerColorEntry || ColorMapEntries != other.ColorMapEntries;
}

void QxImageDesc::SetDefaultMasks()
{
    switch (BitsPerPixel) {
    case 15:
    case 16:
        RedMask = 0x7C00;
        GreenMask = 0x03E0;
        BlueMask = 0x001F;
        AlphaMask = 0;
        break;
    case 24:
    case 32:
        RedMask = 0x00FF0000;
        GreenMask = 0x0000FF00;
        BlueMask = 0x000000FF;
        AlphaMask = BitsPerPixel == 32 ? 0xFF000000 : 0;
        break;
    default: break;
    }
}

QxImageDesc QxMakeImageDesc32(int32_t width, int32_t height)
{
    QxImageDesc desc;
    desc.Width = width;
    desc.Height = height;
    desc.BitsPerPixel = 32;
    desc.BytesPerLine = width * 4;
    desc.SetDefaultMasks();
    return desc;
}

QxImageDesc QxCopyImageDescBySize(const QxImageDesc& desc)
{
    // Logical end offset of each field in the 52-byte record.
    const CKDWORD size = desc.Size;
    QxImageDesc copy;
    copy.Flags = size >= 8 ? desc.Flags : 0;
    copy.Width = size >= 12 ? desc.Width : 0;
    copy.Height = size >= 16 ? desc.Height : 0;
    copy.BytesPerLine = size >= 20 ? desc.BytesPerLine : 0;
    copy.BitsPerPixel = size >= 24 ? desc.BitsPerPixel : 0;
    copy.RedMask = size >= 28 ? desc.RedMask : 0;
    copy.GreenMask = size >= 32 ? desc.GreenMask : 0;
    copy.BlueMask = size >= 36 ? desc.BlueMask : 0;
    copy.AlphaMask = size >= 40 ? desc.AlphaMask : 0;
    copy.BytesPerColorEntry = size >= 42 ? desc.BytesPerColorEntry : 0;
    copy.ColorMapEntries = size >= 44 ? desc.ColorMapEntries : 0;
    copy.ColorMap = size >= 48 ? desc.ColorMap : nullptr;
    copy.Image = size >= 52 ? desc.Image : nullptr;
    return copy;
}

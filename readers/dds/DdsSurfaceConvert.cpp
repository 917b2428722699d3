#include "readers/dds/DdsSurfaceConvert.h"

#include <cstring>

#include "platform/PlatformDxtCodec.h"
#include "system/image/QxBlitter.h"

namespace {

bool SameLayout(const PlatformSurfaceLayout& a, const PlatformSurfaceLayout& b)
{
    return a.BlockBytes == 0 && b.BlockBytes == 0 && a.BitsPerPixel == b.BitsPerPixel && a.RedMask == b.RedMask &&
           a.GreenMask == b.GreenMask && a.BlueMask == b.BlueMask && a.AlphaMask == b.AlphaMask && a.Bump == b.Bump;
}

bool IsArgb32(const PlatformSurface& s)
{
    const PlatformSurfaceLayout& l = s.Layout();
    return !s.Compressed() && !l.Bump && l.BitsPerPixel == 32 && l.RedMask == 0x00FF0000 && l.GreenMask == 0x0000FF00 &&
           l.BlueMask == 0x000000FF;
}

bool Blit(const PlatformSurface& src, const PlatformSurface& dst)
{
    return QxDoBlit(DdsDescribeSurface(src), DdsDescribeSurface(dst));
}

} // namespace

QxImageDesc DdsDescribeSurface(const PlatformSurface& surface)
{
    const PlatformSurfaceLayout& l = surface.Layout();
    QxImageDesc desc;
    desc.Width = surface.Width();
    desc.Height = surface.Height();
    desc.BytesPerLine = surface.Compressed() ? 0 : int32_t(surface.Pitch());
    desc.BitsPerPixel = int32_t(l.BitsPerPixel);
    desc.RedMask = l.RedMask;
    desc.GreenMask = l.GreenMask;
    desc.BlueMask = l.BlueMask;
    desc.AlphaMask = l.AlphaMask;
    desc.Image = const_cast<CKBYTE*>(surface.Bits());
    return desc;
}

bool DdsConvertSurface(const PlatformSurface& src, const PlatformSurface& dst)
{
    if (!src.Bits() || !dst.MutableBits() || src.Width() != dst.Width() || src.Height() != dst.Height())
        return false;
    const bool sameFormat = src.Format() != PLATFORM_D3DFMT_UNKNOWN && src.Format() == dst.Format();
    if (sameFormat || SameLayout(src.Layout(), dst.Layout())) {
        if (src.Size() != dst.Size())
            return false;
        std::memcpy(dst.MutableBits(), src.Bits(), src.Size());
        return true;
    }
    if (src.Layout().Bump || dst.Layout().Bump)
        return false;
    if (!src.Compressed() && !dst.Compressed())
        return Blit(src, dst);
    if (src.Compressed() && IsArgb32(dst))
        return PlatformDxtDecode(src, dst);
    if (dst.Compressed() && IsArgb32(src))
        return PlatformDxtEncode(src, dst);

    // The other pairs go by way of 32-bit ARGB.
    PlatformSurfaceLayout argbLayout;
    PlatformGetSurfaceLayout(PLATFORM_D3DFMT_A8R8G8B8, argbLayout);
    PlatformSurface argb;
    if (!argb.Create(PLATFORM_D3DFMT_A8R8G8B8, argbLayout, src.Width(), src.Height()))
        return false;
    const bool toArgb = src.Compressed() ? PlatformDxtDecode(src, argb) : Blit(src, argb);
    if (!toArgb)
        return false;
    return dst.Compressed() ? PlatformDxtEncode(argb, dst) : Blit(argb, dst);
}

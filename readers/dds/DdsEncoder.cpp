#include "readers/dds/DdsEncoder.h"

#include <cstddef>
#include <cstring>

#include "core/bitmap/CKBitmapReader.h"
#include "platform/PlatformDdsFile.h"
#include "readers/common/ReaderLog.h"
#include "readers/dds/DdsFormats.h"
#include "readers/dds/DdsSurfaceConvert.h"
#include "system/image/QxBlitter.h"
#include "system/image/QxPixelFormat.h"

namespace {

bool SameLayout(const QxImageDesc& desc, const PlatformSurfaceLayout& layout)
{
    return desc.BitsPerPixel == int32_t(layout.BitsPerPixel) && desc.RedMask == layout.RedMask &&
           desc.GreenMask == layout.GreenMask && desc.BlueMask == layout.BlueMask && desc.AlphaMask == layout.AlphaMask;
}

// Fills the surface from the caller's image: its lines copied when the
// layouts agree, else converted by the blitter; whole blocks for a
// compressed image.
bool FillSurface(const QxImageDesc& desc, const void* pixels, const PlatformSurface& surface)
{
    const CKBYTE* image = static_cast<const CKBYTE*>(pixels);
    if (surface.Compressed()) {
        std::memcpy(surface.MutableBits(), image, surface.Size());
        return true;
    }
    if (SameLayout(desc, surface.Layout()) && desc.BytesPerLine != 0) {
        for (int y = 0; y < surface.Height(); ++y)
            std::memcpy(surface.MutableBits() + size_t(y) * surface.Pitch(),
                        image + ptrdiff_t(y) * ptrdiff_t(desc.BytesPerLine), surface.Pitch());
        return true;
    }
    QxImageDesc src = desc;
    src.Image = const_cast<CKBYTE*>(image);
    QxImageDesc dst = DdsDescribeSurface(surface);
    return QxDoBlit(src, dst);
}

int Fail(DdsEncodeFailure why, DdsEncodeFailure* failure, CKBYTE* block)
{
    CKReaderFree(block);
    if (failure)
        *failure = why;
    return 0;
}

} // namespace

int DdsEncode(const QxImageDesc& desc, const void* pixels, CKDWORD format, CKBYTE** block, DdsEncodeFailure* failure)
{
    *block = nullptr;
    const int width = desc.Width;
    const int height = desc.Height;
    if (!pixels || !CKIsValidImageSize(width, height)) {
        ReaderLogError("DDS: no image to save");
        return Fail(DDS_ENCODE_NOSURFACE, failure, nullptr);
    }
    const int engineFormat = QxImageDesc2PixelFormat(desc);
    const bool compressed = engineFormat >= _DXT1 && engineFormat <= _DXT5;
    const long long pitch = desc.BytesPerLine < 0 ? -(long long) desc.BytesPerLine : desc.BytesPerLine;
    if (!compressed && pitch < (long long) width * (desc.BitsPerPixel / 8)) {
        ReaderLogError("DDS: lines of %d bytes are shorter than %d pixels", (int) desc.BytesPerLine, width);
        return Fail(DDS_ENCODE_NOSURFACE, failure, nullptr);
    }
    CKDWORD sourceFormat = DdsSaveFormat(engineFormat);
    if (sourceFormat == 0 && !compressed)
        sourceFormat = PLATFORM_D3DFMT_A8R8G8B8;
    PlatformSurfaceLayout sourceLayout;
    PlatformSurfaceLayout layout;
    if (!PlatformGetSurfaceLayout(sourceFormat, sourceLayout) || !PlatformGetSurfaceLayout(format, layout)) {
        ReaderLogError("DDS: cannot save pixel format %d as surface format %u", engineFormat, (unsigned) format);
        return Fail(DDS_ENCODE_NOSURFACE, failure, nullptr);
    }

    const size_t dataSize = PlatformSurfaceSize(layout, width, height);
    CKBYTE* out = static_cast<CKBYTE*>(CKReaderAllocate(PLATFORM_DDS_HEADER_BYTES + dataSize));
    PlatformSurface target;
    if (!out || !target.Wrap(format, layout, width, height, out + PLATFORM_DDS_HEADER_BYTES, dataSize))
        return Fail(DDS_ENCODE_NOSURFACE, failure, out);

    bool filled;
    if (sourceFormat == format) {
        filled = FillSurface(desc, pixels, target);
    } else {
        PlatformSurface source;
        if (!source.Create(sourceFormat, sourceLayout, width, height))
            return Fail(DDS_ENCODE_NOSURFACE, failure, out);
        filled = FillSurface(desc, pixels, source) && DdsConvertSurface(source, target);
    }
    if (!filled) {
        ReaderLogError("DDS: cannot convert pixel format %d to surface format %u", engineFormat, (unsigned) format);
        return Fail(DDS_ENCODE_CONVERSION, failure, out);
    }
    PlatformDdsWriteHeader(out, format, width, height);
    *block = out;
    return int(PLATFORM_DDS_HEADER_BYTES + dataSize);
}

#include "readers/dds/DdsDecoder.h"

#include "platform/PlatformDdsFile.h"
#include "readers/common/DecodedImage.h"
#include "readers/common/ReaderLog.h"
#include "readers/dds/DdsFormats.h"
#include "readers/dds/DdsSurfaceConvert.h"
#include "system/image/QxPixelFormat.h"

bool DdsDecode(const CKBYTE* data, size_t size, CKDWORD target, DecodedImage& image)
{
    PlatformDdsImage file;
    const PlatformDdsResult parsed = PlatformDdsParse(data, size, file);
    if (parsed != PLATFORM_DDS_OK) {
        ReaderLogError("DDS: %s", PlatformDdsResultText(parsed));
        return false;
    }
    PlatformSurfaceLayout layout;
    const int engineFormat = DdsReadFormat(target);
    if (engineFormat == 0 || !PlatformGetSurfaceLayout(target, layout)) {
        ReaderLogError("DDS: cannot read into surface format %u", (unsigned) target);
        return false;
    }
    PlatformSurface source;
    source.Wrap(file.Format, file.Layout, file.Width, file.Height, file.Bits, file.Size);

    const size_t bytes = PlatformSurfaceSize(layout, file.Width, file.Height);
    PlatformSurface converted;
    if (!image.AllocatePixels(bytes, false) ||
        !converted.Wrap(target, layout, file.Width, file.Height, image.Pixels(), bytes)) {
        ReaderLogError("DDS: out of memory for a %d x %d image", (int) file.Width, (int) file.Height);
        return false;
    }
    if (!DdsConvertSurface(source, converted)) {
        ReaderLogError("DDS: cannot convert surface format %u to %u", (unsigned) file.Format, (unsigned) target);
        return false;
    }
    QxImageDesc& desc = image.Desc();
    QxPixelFormat2ImageDesc(engineFormat, desc);
    desc.Width = file.Width;
    desc.Height = file.Height;
    desc.BytesPerLine = desc.BitsPerPixel / 8 * file.Width;
    return true;
}

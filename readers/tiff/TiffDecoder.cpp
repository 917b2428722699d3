#include "readers/tiff/TiffDecoder.h"

#include <tiffio.h>

#include "core/bitmap/CKBitmapReader.h"
#include "platform/PlatformPaths.h"
#include "readers/common/DecodedImage.h"
#include "readers/common/ReaderLog.h"
#include "readers/tiff/TiffMemoryStream.h"
#include "readers/tiff/TiffOpenOptions.h"

namespace {

// Directories followed when checking that the chain ends; a longer chain is
// taken as it is.
constexpr int kMaxDirectories = 4096;

// The chain of image directories must end: one that loops back (or whose
// next directory cannot be read) marks a damaged file. libtiff itself stops
// at such a link with a warning; the reader refuses the file.
bool DirectoryChainEnds(TIFF* tif)
{
    int n = 0;
    while (n < kMaxDirectories && TIFFReadDirectory(tif))
        ++n;
    return n == kMaxDirectories || TIFFLastDirectory(tif);
}

bool DecodeOpen(TIFF* tif, DecodedImage& out)
{
    char message[1024] = {};
    TIFFRGBAImage image;
    if (!TIFFRGBAImageOK(tif, message) || !TIFFRGBAImageBegin(&image, tif, 0, message)) {
        ReaderLogError("TIFF: %s", message);
        return false;
    }
    bool ok = CKIsValidImageSize(image.width, image.height);
    if (!ok)
        ReaderLogError("TIFF: bad image size %ux%u", image.width, image.height);
    QxImageDesc& d = out.Desc();
    if (ok) {
        d.Width = (int) image.width;
        d.Height = (int) image.height;
        d.BitsPerPixel = 32;
        d.BytesPerLine = d.Width * 4;
        d.RedMask = 0x000000FF;
        d.GreenMask = 0x0000FF00;
        d.BlueMask = 0x00FF0000;
        d.AlphaMask = 0xFF000000;
        // TIFFRGBAImageGet writes every pixel when it succeeds (a strip it
        // cannot decode, when not stopping on errors, is put from the data
        // the strip buffer holds), so the raster needs no clearing.
        ok = out.AllocatePixels((size_t) d.BytesPerLine * d.Height, false);
    }
    if (ok) {
        image.req_orientation = ORIENTATION_TOPLEFT;
        ok = TIFFRGBAImageGet(&image, reinterpret_cast<uint32_t*>(out.Pixels()), image.width, image.height) != 0;
        if (!ok)
            ReaderLogError("TIFF: cannot read the image");
    }
    TIFFRGBAImageEnd(&image);
    if (ok && !DirectoryChainEnds(tif)) {
        ReaderLogError("TIFF: the chain of image directories does not end");
        ok = false;
    }
    return ok;
}

} // namespace

bool TiffDecode(const char* name, const CKBYTE* data, size_t size, DecodedImage& out)
{
    TiffOpenOptions options;
    if (!options.Get())
        return false;
    if (name) {
        TIFF* tif = TIFFOpenExt(PlatformNativePath(name).c_str(), "r", options.Get());
        if (!tif)
            return false;
        const bool ok = DecodeOpen(tif, out);
        TIFFClose(tif);
        return ok;
    }
    if (!data)
        return false;
    TiffMemoryStream stream(data, size);
    TIFF* tif = stream.Open("r", options.Get());
    if (!tif)
        return false;
    const bool ok = DecodeOpen(tif, out);
    TIFFClose(tif);
    return ok;
}

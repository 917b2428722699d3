#include "readers/tiff/TiffDecoder.h"

#include <algorithm>

#include <tiffio.h>

#include "core/bitmap/CKBitmapReader.h"
#include "platform/PlatformPaths.h"
#include "readers/common/DecodedImage.h"
#include "readers/common/ReaderDataCoverage.h"
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

// How many of the separate planes of a file the RGBA decode reads: the
// colour planes (one for grey and palette images, else every sample that is
// not an extra one), then the alpha plane. Planes after them (extra samples
// that are not alpha) are never read.
uint32_t DecodedPlanes(TIFF* tif, const TIFFRGBAImage& image)
{
    uint16_t extraCount = 0;
    uint16_t* extra = nullptr;
    TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extra);
    const bool grey = image.photometric == PHOTOMETRIC_MINISWHITE || image.photometric == PHOTOMETRIC_MINISBLACK ||
                      image.photometric == PHOTOMETRIC_PALETTE;
    const uint32_t colours =
        grey ? 1u : (uint32_t) (image.samplesperpixel - std::min(extraCount, image.samplesperpixel));
    return colours + (image.alpha != 0 ? 1u : 0u);
}

// Every strip (or tile) the decode reads must lie whole inside the file:
// libtiff, asked not to stop on errors, leaves a strip it cannot read
// holding the last one it could, so a file cut short would pass for whole.
// Strips that are all there but do not decode cleanly are still taken as
// libtiff gives them; strips of a plane that is not decoded may be empty.
// *dataBytes is the sum of the decoded strips' sizes.
bool StripsLieInTheFile(TIFF* tif, const TIFFRGBAImage& image, unsigned long long* dataBytes)
{
    const unsigned long long fileSize = TIFFGetSizeProc(tif)(TIFFClientdata(tif));
    const uint32_t count = TIFFIsTiled(tif) ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    uint16_t planar = PLANARCONFIG_CONTIG;
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    const uint32_t planes = planar == PLANARCONFIG_SEPARATE && image.samplesperpixel > 0 ? image.samplesperpixel : 1;
    const uint32_t perPlane = count / planes;
    const uint32_t decoded = planes > 1 && perPlane > 0 ? DecodedPlanes(tif, image) : planes;
    *dataBytes = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (planes > 1 && perPlane > 0 && i / perPlane >= decoded)
            continue;
        int error = 0;
        const unsigned long long offset = TIFFGetStrileOffsetWithErr(tif, i, &error);
        const unsigned long long bytes = TIFFGetStrileByteCountWithErr(tif, i, &error);
        if (error || bytes == 0 || offset > fileSize || bytes > fileSize - offset) {
            ReaderLogError("TIFF: %s %u of %u is not in the file", TIFFIsTiled(tif) ? "tile" : "strip", i, count);
            return false;
        }
        *dataBytes += bytes;
    }
    return true;
}

// The most pixels dataBytes of strips can describe: each pixel holds at
// least one sample, and each codec with a known limit expands its data at
// most so much (PackBits 128 bytes from 2, deflate about 1032 times, LZW a
// code of at least 9 bits into at most 4096 bytes). Other codecs (fax,
// JPEG, ...) can describe any number of pixels in a few bytes.
unsigned long long DescribablePixels(TIFF* tif, unsigned long long dataBytes)
{
    uint16_t compression = COMPRESSION_NONE;
    uint16_t bits = 1;
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    unsigned long long expansion;
    switch (compression) {
    case COMPRESSION_NONE: expansion = 1; break;
    case COMPRESSION_PACKBITS: expansion = 64; break;
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_DEFLATE: expansion = 1032; break;
    case COMPRESSION_LZW: expansion = 4096; break;
    default: return READER_ANY_PIXEL_COUNT;
    }
    return ReaderSaturatingProduct(dataBytes, expansion * 8) / (bits ? bits : 1);
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
    unsigned long long dataBytes = 0;
    ok = ok && StripsLieInTheFile(tif, image, &dataBytes);
    const unsigned long long pixels = (unsigned long long) image.width * image.height;
    ok = ok && ReaderDataMayDescribeImage("TIFF", pixels * 4, pixels, DescribablePixels(tif, dataBytes));
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

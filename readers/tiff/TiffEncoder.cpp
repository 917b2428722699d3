#include "readers/tiff/TiffEncoder.h"

#include <tiffio.h>

#include "core/bitmap/CKBitmapReader.h"
#include "readers/common/ReaderLog.h"
#include "readers/common/ReaderSourceImage.h"
#include "readers/tiff/TiffMemoryStream.h"
#include "readers/tiff/TiffOpenOptions.h"

namespace {

bool WriteImage(TIFF* tif, const ReaderSourceImage& source, CKDWORD compression, CKBYTE* line)
{
    const int width = source.Width();
    const int height = source.Height();
    bool ok =
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, (uint32_t) width) &&
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, (uint32_t) height) && TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8) &&
        TIFFSetField(tif, TIFFTAG_COMPRESSION, (int) compression) &&
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB) && TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 4) &&
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) && TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 1) &&
        TIFFSetField(tif, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB) &&
        TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) &&
        TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, "Keltrane Image");
    if (!ok)
        return false;
    for (int y = 0; y < height; ++y) {
        const CKBYTE* s = source.Line(y);
        for (int x = 0; x < width; ++x, s += 4) {
            line[x * 4 + 0] = s[2];
            line[x * 4 + 1] = s[1];
            line[x * 4 + 2] = s[0];
            line[x * 4 + 3] = s[3];
        }
        if (TIFFWriteScanline(tif, line, (uint32_t) y, 0) < 0)
            return false;
    }
    return TIFFWriteDirectory(tif) != 0;
}

} // namespace

int TiffEncode(const QxImageDesc& desc, const void* pixels, CKDWORD compression, CKBYTE** out)
{
    if (!out)
        return 0;
    *out = nullptr;
    ReaderSourceImage source;
    if (!source.Prepare(desc, pixels, true)) {
        ReaderLogError("TIFF: no valid image to save");
        return 0;
    }
    TiffOpenOptions options;
    if (!options.Get())
        return 0;
    TiffMemoryStream stream;
    TIFF* tif = stream.Open("w", options.Get());
    CKBYTE* line = static_cast<CKBYTE*>(CKReaderAllocate((size_t) source.Width() * 4));
    bool ok = tif && line && WriteImage(tif, source, compression, line);
    if (tif)
        TIFFClose(tif);
    CKReaderFree(line);
    if (!ok)
        return 0;
    size_t size = 0;
    CKBYTE* block = stream.TakeBlock(size);
    if (!block || size == 0) {
        CKReaderFree(block);
        return 0;
    }
    *out = block;
    return (int) size;
}

#include "readers/png/PngDecoder.h"

#include <cstring>

#include <png.h>

#include "core/bitmap/CKBitmapReader.h"
#include "readers/common/DecodedImage.h"
#include "readers/png/PngErrorHandlers.h"
#include "system/io/QxFile.h"

namespace {

struct MemoryCursor
{
    const CKBYTE* data;
    size_t size;
    size_t position;
};

void ReadFromMemory(png_structp png, png_bytep out, size_t length)
{
    auto* cursor = static_cast<MemoryCursor*>(png_get_io_ptr(png));
    if (cursor->size - cursor->position < length)
        png_error(png, "read Error");
    std::memcpy(out, cursor->data + cursor->position, length);
    cursor->position += length;
}

void ReadFromFile(png_structp png, png_bytep out, size_t length)
{
    auto* file = static_cast<QxFile*>(png_get_io_ptr(png));
    if (length > 0xFFFFFFFFu || file->Read(out, (CKDWORD) length) != length)
        png_error(png, "read Error");
}

// Every libpng call of a read after the structures exist; an error jumps
// back here. The image lives in the caller, so nothing here needs
// unwinding.
bool RunDecode(png_structp png, png_infop info, DecodedImage* out, PngFileInfo* fileInfo)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_user_limits(png, CK_MAX_IMAGE_DIMENSION, CK_MAX_IMAGE_DIMENSION);
    // Texts and every other metadata chunk are skipped unread: a text that
    // declares gigabytes, or a thousand compressed ones, would otherwise be
    // allocated and inflated for nothing. Kept are the chunks that change the
    // pixels (PLTE and tRNS always are), the same as libpng's own simple
    // decode keeps, so that both give the same pixels.
    static const png_byte kChunksUsed[] = {
        'b', 'K', 'G', 'D', 0, 'c', 'H', 'R', 'M', 0, 'g', 'A', 'M', 'A', 0,
        'i', 'C', 'C', 'P', 0, 's', 'B', 'I', 'T', 0, 's', 'R', 'G', 'B', 0,
    };
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_AS_DEFAULT, kChunksUsed, (int) sizeof(kChunksUsed) / 5);
    png_read_info(png, info);
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colorType = 0;
    int interlace = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, &interlace, nullptr, nullptr);
    if (!CKIsValidImageSize(width, height))
        png_error(png, "bad image size");

    // Palettes become RGB, grey below 8 bits becomes 8 bits, transparency
    // (tRNS) becomes alpha.
    png_set_expand(png);
    if (!(colorType & PNG_COLOR_MASK_COLOR))
        png_set_gray_to_rgb(png);
    // Gamma as libpng's own decode does it: a file without gAMA or sRGB is
    // taken as sRGB (8 bits) or linear (16 bits); the output is sRGB, so an
    // sRGB file goes through unchanged.
    const bool wide = bitDepth == 16;
    png_set_alpha_mode_fixed(png, PNG_ALPHA_PNG, wide ? PNG_GAMMA_LINEAR : PNG_DEFAULT_sRGB);
    if (wide)
        png_set_scale_16(png);
    const bool hasAlpha = (colorType & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
    if (!hasAlpha)
        png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_alpha_mode_fixed(png, PNG_ALPHA_PNG, PNG_DEFAULT_sRGB);
    png_set_bgr(png);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != (size_t) width * 4)
        png_error(png, "rows are not 4 bytes a pixel");

    QxImageDesc& d = out->Desc();
    d.Width = (int) width;
    d.Height = (int) height;
    d.BitsPerPixel = 32;
    d.BytesPerLine = d.Width * 4;
    d.SetDefaultMasks();
    if (!out->AllocatePixels((size_t) d.BytesPerLine * d.Height, false))
        png_error(png, "out of memory");
    for (int pass = 0; pass < passes; ++pass)
        for (int y = 0; y < d.Height; ++y)
            png_read_row(png, out->Pixels() + (size_t) y * d.BytesPerLine, nullptr);
    png_read_end(png, nullptr);

    fileInfo->colorType = colorType == PNG_COLOR_TYPE_PALETTE ? PNG_COLOR_TYPE_RGB : colorType;
    fileInfo->interlace = interlace;
    return true;
}

} // namespace

bool PngDecode(QxFile* file, const CKBYTE* data, size_t size, DecodedImage& out, PngFileInfo& info)
{
    if (!file && !data)
        return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngErrorFunction, PngWarningFunction);
    if (!png)
        return false;
    png_infop pngInfo = png_create_info_struct(png);
    if (!pngInfo) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    MemoryCursor cursor{data, size, 0};
    if (file)
        png_set_read_fn(png, file, ReadFromFile);
    else
        png_set_read_fn(png, &cursor, ReadFromMemory);
    const bool ok = RunDecode(png, pngInfo, &out, &info);
    png_destroy_read_struct(&png, &pngInfo, nullptr);
    return ok;
}

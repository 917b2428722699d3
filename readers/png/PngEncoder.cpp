#include "readers/png/PngEncoder.h"

#include <cstring>

#include <png.h>

#include "core/bitmap/CKBitmapReader.h"
#include "readers/common/ReaderLog.h"
#include "readers/common/ReaderSourceImage.h"
#include "readers/png/PngErrorHandlers.h"
#include "system/image/QxBlitter.h"

namespace {

constexpr size_t kFirstBlockSize = 512;

struct MemoryOutput
{
    CKBYTE* block;
    size_t capacity;
    size_t size;
};

// What a write prepares before libpng runs, released by the caller.
struct EncodeState
{
    MemoryOutput output;
    CKBYTE* prepared; // palette indices or grey samples, when used
    int preparedPitch;
    png_color palette[256];
    int colorType;
    int pngDepth;
    bool usePalette;
};

void WriteToMemory(png_structp png, png_bytep data, size_t length)
{
    auto* o = static_cast<MemoryOutput*>(png_get_io_ptr(png));
    if (o->capacity - o->size < length) {
        size_t capacity = o->capacity ? o->capacity : kFirstBlockSize;
        while (capacity - o->size < length) {
            if (capacity > ((size_t) 1 << 40))
                png_error(png, "output too large");
            capacity *= 2;
        }
        CKBYTE* block = static_cast<CKBYTE*>(CKReaderAllocate(capacity));
        if (!block)
            png_error(png, "out of memory");
        if (o->size)
            std::memcpy(block, o->block, o->size);
        CKReaderFree(o->block);
        o->block = block;
        o->capacity = capacity;
    }
    std::memcpy(o->block + o->size, data, length);
    o->size += length;
}

void FlushNothing(png_structp) {}

// The filter word as libpng's mask. An empty mask would let libpng choose
// its own adaptive filtering; the word 0 is offered as "None", so it asks
// for unfiltered rows.
int FilterMask(CKDWORD filters)
{
    int mask = 0;
    if (filters & 1)
        mask |= PNG_FILTER_SUB;
    if (filters & 2)
        mask |= PNG_FILTER_UP;
    if (filters & 4)
        mask |= PNG_FILTER_AVG;
    if (filters & 8)
        mask |= PNG_FILTER_PAETH;
    return mask ? mask : PNG_FILTER_NONE;
}

// Every libpng call of a write after the structures exist; an error jumps
// back here. The state and the source image live in the caller.
bool RunEncode(png_structp png, png_infop info, EncodeState* s, const ReaderSourceImage* source,
               const PngEncodeOptions* options)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_write_fn(png, &s->output, WriteToMemory, FlushNothing);
    const int width = source->Width();
    const int height = source->Height();
    png_set_IHDR(png, info, (png_uint_32) width, (png_uint_32) height, s->pngDepth, s->colorType,
                 (options->interlace & 1) ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, (int) options->compressionLevel);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, FilterMask(options->filters));
    if (s->usePalette)
        png_set_PLTE(png, info, s->palette, 256);
    png_write_info(png, info);

    const bool direct = s->prepared == nullptr;
    if (direct) {
        png_set_bgr(png);
        // A 4-byte source written as RGB: its fourth byte is a filler.
        if (s->colorType == PNG_COLOR_TYPE_RGB && source->BytesPerPixel() == 4)
            png_set_filler(png, 0, PNG_FILLER_AFTER);
    }
    if (s->pngDepth < 8)
        png_set_packing(png);
    const int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass)
        for (int y = 0; y < height; ++y) {
            const CKBYTE* row = direct ? source->Line(y) : s->prepared + (size_t) y * s->preparedPitch;
            png_write_row(png, const_cast<png_bytep>(row));
        }
    png_write_end(png, info);
    return true;
}

// Palette indices and their palette, learnt from the image.
bool PreparePalette(const ReaderSourceImage& source, EncodeState& s)
{
    CKBYTE colorMap[256 * 4] = {};
    QxImageDesc dst;
    dst.Width = source.Width();
    dst.Height = source.Height();
    dst.BitsPerPixel = 8;
    dst.BytesPerLine = source.Width();
    dst.BytesPerColorEntry = 4;
    dst.ColorMapEntries = 256;
    dst.ColorMap = colorMap;
    dst.Image = s.prepared;
    if (!QxDoBlit(source.Describe(), dst))
        return false;
    for (int i = 0; i < 256; ++i) {
        s.palette[i].red = colorMap[i * 4 + 0];
        s.palette[i].green = colorMap[i * 4 + 1];
        s.palette[i].blue = colorMap[i * 4 + 2];
    }
    return true;
}

void PrepareGrey(const ReaderSourceImage& source, EncodeState& s, int depth, bool alpha)
{
    const int bpp = source.BytesPerPixel();
    const int top = (1 << depth) - 1;
    for (int y = 0; y < source.Height(); ++y) {
        const CKBYTE* p = source.Line(y);
        CKBYTE* q = s.prepared + (size_t) y * s.preparedPitch;
        for (int x = 0; x < source.Width(); ++x, p += bpp) {
            if (alpha) {
                *q++ = (CKBYTE) (int) (0.299 * p[2] + 0.587 * p[1] + 0.114 * p[0] + 0.5);
                *q++ = p[3];
            } else {
                const int grey = (int) (0.299 * p[2] + 0.587 * p[1] + 0.114 * p[0]);
                *q++ = (CKBYTE) (grey * top / 255);
            }
        }
    }
}

} // namespace

int PngEncode(const QxImageDesc& desc, const void* pixels, const PngEncodeOptions& options, CKBYTE** out)
{
    if (!out)
        return 0;
    *out = nullptr;
    const CKDWORD depth = options.bitDepth;
    const bool grey = (options.options & PNG_OPTION_GRAYSCALE) != 0;
    const bool alpha = (options.options & PNG_OPTION_ALPHA) != 0;
    const bool low = depth == 1 || depth == 2 || depth == 4 || depth == 8;
    if (!low && depth != 24 && depth != 32) {
        ReaderLogError("PNG: cannot save with bit depth %u", (unsigned) depth);
        return 0;
    }
    EncodeState s{};
    const bool needAlpha = alpha && (!low || grey);
    ReaderSourceImage source;
    if (!source.Prepare(desc, pixels, needAlpha)) {
        ReaderLogError("PNG: no valid image to save");
        return 0;
    }
    if (low && !grey) {
        s.colorType = PNG_COLOR_TYPE_PALETTE;
        s.pngDepth = 8;
        s.usePalette = true;
        s.preparedPitch = source.Width();
    } else if (low && !alpha) {
        s.colorType = PNG_COLOR_TYPE_GRAY;
        s.pngDepth = (int) depth;
        s.preparedPitch = source.Width();
    } else if (low) {
        s.colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
        s.pngDepth = 8;
        s.preparedPitch = source.Width() * 2;
    } else {
        s.colorType = alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
        s.pngDepth = 8;
    }
    bool ok = true;
    if (low) {
        s.prepared = static_cast<CKBYTE*>(CKReaderAllocate((size_t) s.preparedPitch * source.Height()));
        ok = s.prepared != nullptr;
        if (ok && s.usePalette)
            ok = PreparePalette(source, s);
        else if (ok)
            PrepareGrey(source, s, s.pngDepth, alpha);
        if (!ok)
            ReaderLogError("PNG: cannot convert the image to save");
    }
    if (ok) {
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngErrorFunction, PngWarningFunction);
        png_infop info = png ? png_create_info_struct(png) : nullptr;
        ok = png && info && RunEncode(png, info, &s, &source, &options);
        if (png)
            png_destroy_write_struct(&png, info ? &info : nullptr);
    }
    CKReaderFree(s.prepared);
    if (!ok || s.output.size == 0) {
        CKReaderFree(s.output.block);
        return 0;
    }
    *out = s.output.block;
    return (int) s.output.size;
}

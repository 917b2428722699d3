#include "readers/jpeg/JpegEncoder.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jerror.h>
#include <jpeglib.h>

#include "core/bitmap/CKBitmapReader.h"
#include "readers/common/ReaderLog.h"
#include "readers/common/ReaderSourceImage.h"
#include "readers/jpeg/JpegErrorManager.h"

namespace {

constexpr size_t kFirstBlockSize = 16384;

struct MemoryDestination
{
    jpeg_destination_mgr pub;
    CKBYTE* block;
    size_t capacity;
    size_t size;
};

struct EncodeState
{
    jpeg_compress_struct cinfo;
    JpegErrorManager error;
    MemoryDestination destination;
    CKBYTE* line;
    bool created;
};

MemoryDestination* DestinationOf(j_compress_ptr cinfo)
{
    return reinterpret_cast<MemoryDestination*>(cinfo->dest);
}

void InitDestination(j_compress_ptr cinfo)
{
    MemoryDestination* d = DestinationOf(cinfo);
    d->block = static_cast<CKBYTE*>(CKReaderAllocate(kFirstBlockSize));
    if (!d->block)
        ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
    d->capacity = kFirstBlockSize;
    d->size = 0;
    d->pub.next_output_byte = d->block;
    d->pub.free_in_buffer = d->capacity;
}

// The whole block is full: double it.
boolean EmptyOutputBuffer(j_compress_ptr cinfo)
{
    MemoryDestination* d = DestinationOf(cinfo);
    const size_t bigger = d->capacity * 2;
    CKBYTE* block = static_cast<CKBYTE*>(CKReaderAllocate(bigger));
    if (!block)
        ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 1);
    std::memcpy(block, d->block, d->capacity);
    CKReaderFree(d->block);
    d->block = block;
    d->pub.next_output_byte = block + d->capacity;
    d->pub.free_in_buffer = bigger - d->capacity;
    d->capacity = bigger;
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo)
{
    MemoryDestination* d = DestinationOf(cinfo);
    d->size = d->capacity - d->pub.free_in_buffer;
}

inline int Percent(float value)
{
    if (!(value >= 0.0f))
        return 0;
    if (value > 1.0f)
        return 100;
    return (int) (value * 100.0f);
}

// Every libjpeg call of an encode; an error jumps back here. The state and
// the source image live in the caller.
bool RunEncode(EncodeState* s, const ReaderSourceImage* source, const JpegEncodeOptions* options)
{
    j_compress_ptr cinfo = &s->cinfo;
    if (setjmp(s->error.jump))
        return false;
    jpeg_create_compress(cinfo);
    s->created = true;
    s->destination.pub.init_destination = InitDestination;
    s->destination.pub.empty_output_buffer = EmptyOutputBuffer;
    s->destination.pub.term_destination = TermDestination;
    cinfo->dest = &s->destination.pub;

    const bool grey = (options->flags & JPEG_GRAYSCALE) != 0;
    const int width = source->Width();
    const int height = source->Height();
    cinfo->image_width = (JDIMENSION) width;
    cinfo->image_height = (JDIMENSION) height;
    cinfo->input_components = grey ? 1 : 3;
    cinfo->in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, Percent(options->quality), (options->flags & JPEG_BASELINE) ? TRUE : FALSE);
    cinfo->smoothing_factor = Percent(options->smoothing);
    cinfo->optimize_coding = (options->flags & JPEG_OPTIMIZE) ? TRUE : FALSE;
    jpeg_start_compress(cinfo, TRUE);

    const int bpp = source->BytesPerPixel();
    while (cinfo->next_scanline < cinfo->image_height) {
        const CKBYTE* src = source->Line((int) cinfo->next_scanline);
        CKBYTE* dst = s->line;
        if (grey) {
            for (int x = 0; x < width; ++x, src += bpp)
                dst[x] = (CKBYTE) (int) (0.587 * src[1] + 0.299 * src[2] + 0.114 * src[0] + 0.5);
        } else {
            for (int x = 0; x < width; ++x, src += bpp, dst += 3) {
                dst[0] = src[2];
                dst[1] = src[1];
                dst[2] = src[0];
            }
        }
        JSAMPROW row = s->line;
        jpeg_write_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_compress(cinfo);
    return true;
}

} // namespace

int JpegEncode(const QxImageDesc& desc, const void* pixels, const JpegEncodeOptions& options, CKBYTE** out)
{
    if (!out)
        return 0;
    *out = nullptr;
    ReaderSourceImage source;
    if (!source.Prepare(desc, pixels, false)) {
        ReaderLogError("JPEG: no valid image to save");
        return 0;
    }
    EncodeState state{};
    state.cinfo.err = JpegSetUpErrorManager(state.error);
    state.line = static_cast<CKBYTE*>(CKReaderAllocate((size_t) source.Width() * 3));
    bool ok = state.line && RunEncode(&state, &source, &options);
    if (state.created)
        jpeg_destroy_compress(&state.cinfo);
    CKReaderFree(state.line);
    if (!ok || state.destination.size == 0) {
        CKReaderFree(state.destination.block);
        return 0;
    }
    *out = state.destination.block;
    return (int) state.destination.size;
}

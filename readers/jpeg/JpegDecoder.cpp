#include "readers/jpeg/JpegDecoder.h"

#include <csetjmp>
#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>

#include "core/bitmap/CKBitmapReader.h"
#include "readers/common/DecodedImage.h"
#include "readers/common/ReaderLog.h"
#include "readers/jpeg/JpegErrorManager.h"

namespace {

// Progressive files can carry any number of scans; real ones have a few.
constexpr int kMaxScans = 1000;
constexpr long kMaxWorkingMemory = 512L * 1024 * 1024;
constexpr int kRowsPerRead = 16;

struct MemorySource
{
    jpeg_source_mgr pub;
    const JOCTET* data;
    size_t size;
};

// Everything a failed decode leaves for its caller to release.
struct DecodeState
{
    jpeg_decompress_struct cinfo;
    JpegErrorManager error;
    jpeg_progress_mgr progress;
    MemorySource source;
    bool created = false;
};

void ProgressMonitor(j_common_ptr cinfo)
{
    const auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxScans) {
        ReaderLogError("JPEG: more than %d scans", kMaxScans);
        JpegJumpBack(cinfo);
    }
}

void InitSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr cinfo)
{
    static const JOCTET endOfImage[2] = {0xFF, JPEG_EOI};
    WARNMS(cinfo, JWRN_JPEG_EOF);
    cinfo->src->next_input_byte = endOfImage;
    cinfo->src->bytes_in_buffer = 2;
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count)
{
    if (count <= 0)
        return;
    jpeg_source_mgr* src = cinfo->src;
    const size_t n = (size_t) count < src->bytes_in_buffer ? (size_t) count : src->bytes_in_buffer;
    src->next_input_byte += n;
    src->bytes_in_buffer -= n;
}

void TermSource(j_decompress_ptr) {}

// Every libjpeg call of a decode; an error jumps back here. The state and
// the image live in the caller, so nothing here needs unwinding.
bool RunDecode(DecodeState* s, FILE* file, const CKBYTE* data, size_t size, DecodedImage* out, bool* grayscale)
{
    j_decompress_ptr cinfo = &s->cinfo;
    if (setjmp(s->error.jump))
        return false;
    jpeg_create_decompress(cinfo);
    s->created = true;
    cinfo->mem->max_memory_to_use = kMaxWorkingMemory;
    s->progress.progress_monitor = ProgressMonitor;
    cinfo->progress = &s->progress;
    if (file) {
        jpeg_stdio_src(cinfo, file);
    } else {
        s->source.pub.init_source = InitSource;
        s->source.pub.fill_input_buffer = FillInputBuffer;
        s->source.pub.skip_input_data = SkipInputData;
        s->source.pub.resync_to_restart = jpeg_resync_to_restart;
        s->source.pub.term_source = TermSource;
        s->source.pub.next_input_byte = data;
        s->source.pub.bytes_in_buffer = size;
        cinfo->src = &s->source.pub;
    }
    jpeg_read_header(cinfo, TRUE);
    const bool grey = cinfo->num_components == 1 && cinfo->jpeg_color_space == JCS_GRAYSCALE;
    const bool colour =
        cinfo->num_components == 3 && (cinfo->jpeg_color_space == JCS_YCbCr || cinfo->jpeg_color_space == JCS_RGB);
    if (!grey && !colour) {
        ReaderLogError("JPEG: %d-component images are not read", cinfo->num_components);
        return false;
    }
    if (!CKIsValidImageSize(cinfo->image_width, cinfo->image_height)) {
        ReaderLogError("JPEG: bad image size %ux%u", cinfo->image_width, cinfo->image_height);
        return false;
    }
    cinfo->out_color_space = JCS_RGB;
    jpeg_start_decompress(cinfo);
    if (cinfo->output_components != 3 || cinfo->output_width != cinfo->image_width ||
        cinfo->output_height != cinfo->image_height) {
        ReaderLogError("JPEG: unexpected output layout");
        return false;
    }
    QxImageDesc& d = out->Desc();
    d.Width = (int) cinfo->output_width;
    d.Height = (int) cinfo->output_height;
    d.BitsPerPixel = 24;
    d.BytesPerLine = d.Width * 3;
    d.RedMask = 0x000000FF;
    d.GreenMask = 0x0000FF00;
    d.BlueMask = 0x00FF0000;
    d.AlphaMask = 0;
    if (!out->AllocatePixels((size_t) d.BytesPerLine * d.Height, false)) {
        ReaderLogError("JPEG: out of memory");
        return false;
    }
    JSAMPROW rows[kRowsPerRead];
    while (cinfo->output_scanline < cinfo->output_height) {
        const JDIMENSION first = cinfo->output_scanline;
        const JDIMENSION left = cinfo->output_height - first;
        const int n = left < (JDIMENSION) kRowsPerRead ? (int) left : kRowsPerRead;
        for (int i = 0; i < n; ++i)
            rows[i] = out->Pixels() + (size_t) (first + i) * d.BytesPerLine;
        if (jpeg_read_scanlines(cinfo, rows, (JDIMENSION) n) == 0) {
            ReaderLogError("JPEG: no line decoded");
            return false;
        }
    }
    jpeg_finish_decompress(cinfo);
    *grayscale = grey;
    return true;
}

} // namespace

bool JpegDecode(FILE* file, const CKBYTE* data, size_t size, DecodedImage& out, bool& grayscale)
{
    grayscale = false;
    if (!file && !data)
        return false;
    DecodeState state{};
    state.cinfo.err = JpegSetUpErrorManager(state.error);
    bool grey = false;
    const bool ok = RunDecode(&state, file, data, size, &out, &grey);
    if (state.created)
        jpeg_destroy_decompress(&state.cinfo);
    grayscale = grey;
    return ok;
}

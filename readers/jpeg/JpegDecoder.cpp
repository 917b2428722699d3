#include "readers/jpeg/JpegDecoder.h"

#include <csetjmp>
#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>

#include "core/bitmap/CKBitmapReader.h"
#include "readers/common/DecodedImage.h"
#include "readers/common/ReaderDataCoverage.h"
#include "readers/common/ReaderLog.h"
#include "readers/jpeg/JpegErrorManager.h"

namespace {

// Progressive files can carry any number of scans; real ones have a few.
constexpr int kMaxScans = 1000;
// Each scan decodes every block of its components, so the work of a file
// grows with its scans times its area. Real progressive files decode five
// to seven times the image's blocks (libjpeg's own script: 5.3 for colour,
// 6 for grey); the budget allows kScanPasses times, or kLeastScanBlocks for
// small images. A 16000 x 16000 file of a thousand empty scans is refused
// after about 0.4 s per 100 MB of its image.
constexpr unsigned long long kScanPasses = 12;
constexpr unsigned long long kLeastScanBlocks = 1ull << 20;
constexpr long kMaxWorkingMemory = 512L * 1024 * 1024;
constexpr int kRowsPerRead = 16;

// libjpeg's progress hook, which it calls before decoding each row of
// blocks of a scan: every new scan is charged its blocks up front.
struct ScanBudget
{
    jpeg_progress_mgr pub;
    int scansCharged;
    unsigned long long blocksCharged;
    unsigned long long blockLimit; // 0 until the header is read
};

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
    ScanBudget budget;
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
    auto* budget = reinterpret_cast<ScanBudget*>(d->progress);
    if (budget->blockLimit == 0 || d->input_scan_number == budget->scansCharged)
        return;
    budget->scansCharged = d->input_scan_number;
    for (int i = 0; i < d->comps_in_scan; ++i)
        budget->blocksCharged +=
            (unsigned long long) d->cur_comp_info[i]->width_in_blocks * d->cur_comp_info[i]->height_in_blocks;
    if (budget->blocksCharged > budget->blockLimit) {
        ReaderLogError("JPEG: %d scans would decode more than %llu blocks", d->input_scan_number, budget->blockLimit);
        JpegJumpBack(cinfo);
    }
}

// The blocks of every component: one pass over the image.
unsigned long long ImageBlocks(j_decompress_ptr cinfo)
{
    unsigned long long blocks = 0;
    for (int i = 0; i < cinfo->num_components; ++i)
        blocks += (unsigned long long) cinfo->comp_info[i].width_in_blocks * cinfo->comp_info[i].height_in_blocks;
    return blocks;
}

// The most pixels dataBytes of Huffman-coded data can describe: the first
// scan that codes a component spends at least one bit on each of its
// blocks, and a block of the most subsampled component covers the most
// pixels. Arithmetic coding can spend far less than a bit on a block: its
// data bound nothing.
unsigned long long DescribablePixels(j_decompress_ptr cinfo, size_t dataBytes)
{
    if (cinfo->arith_code)
        return READER_ANY_PIXEL_COUNT;
    unsigned long long cover = 0;
    for (int i = 0; i < cinfo->num_components; ++i) {
        const jpeg_component_info& c = cinfo->comp_info[i];
        const unsigned long long across = (cinfo->max_h_samp_factor + c.h_samp_factor - 1) / c.h_samp_factor;
        const unsigned long long down = (cinfo->max_v_samp_factor + c.v_samp_factor - 1) / c.v_samp_factor;
        if (64 * across * down > cover)
            cover = 64 * across * down;
    }
    return ReaderSaturatingProduct(ReaderSaturatingProduct(dataBytes, 8), cover);
}

// Four-component files hold inverted CMYK, as Adobe's tools write them
// (libjpeg turns YCCK into it): full ink is 0, so each colour is its
// sample scaled by the black sample.
void CmykToRgb(JSAMPLE* rgb, const JSAMPLE* cmyk, JDIMENSION width)
{
    for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, rgb += 3) {
        const unsigned k = cmyk[3];
        rgb[0] = (JSAMPLE) ((cmyk[0] * k + 127) / 255);
        rgb[1] = (JSAMPLE) ((cmyk[1] * k + 127) / 255);
        rgb[2] = (JSAMPLE) ((cmyk[2] * k + 127) / 255);
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
    s->budget.pub.progress_monitor = ProgressMonitor;
    cinfo->progress = &s->budget.pub;
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
    const bool inks =
        cinfo->num_components == 4 && (cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK);
    if (!grey && !colour && !inks) {
        ReaderLogError("JPEG: %d-component images are not read", cinfo->num_components);
        return false;
    }
    if (!CKIsValidImageSize(cinfo->image_width, cinfo->image_height)) {
        ReaderLogError("JPEG: bad image size %ux%u", cinfo->image_width, cinfo->image_height);
        return false;
    }
    const unsigned long long pixels = (unsigned long long) cinfo->image_width * cinfo->image_height;
    if (!ReaderDataMayDescribeImage("JPEG", pixels * 3, pixels, DescribablePixels(cinfo, size)))
        return false;
    const unsigned long long blocks = ImageBlocks(cinfo);
    s->budget.blockLimit = blocks * kScanPasses > kLeastScanBlocks ? blocks * kScanPasses : kLeastScanBlocks;
    cinfo->out_color_space = inks ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(cinfo);
    if (cinfo->output_components != (inks ? 4 : 3) || cinfo->output_width != cinfo->image_width ||
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
    // Ink lines come into libjpeg's own rows (freed with the decompressor)
    // and are converted; colour lines go straight into the image.
    JSAMPARRAY inkRows = inks ? (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                                            cinfo->output_width * 4, kRowsPerRead)
                              : nullptr;
    JSAMPROW rows[kRowsPerRead];
    while (cinfo->output_scanline < cinfo->output_height) {
        const JDIMENSION first = cinfo->output_scanline;
        const JDIMENSION left = cinfo->output_height - first;
        const int n = left < (JDIMENSION) kRowsPerRead ? (int) left : kRowsPerRead;
        for (int i = 0; i < n; ++i)
            rows[i] = inks ? inkRows[i] : out->Pixels() + (size_t) (first + i) * d.BytesPerLine;
        const JDIMENSION got = jpeg_read_scanlines(cinfo, rows, (JDIMENSION) n);
        if (got == 0) {
            ReaderLogError("JPEG: no line decoded");
            return false;
        }
        for (JDIMENSION i = 0; inks && i < got; ++i)
            CmykToRgb(out->Pixels() + (size_t) (first + i) * d.BytesPerLine, inkRows[i], cinfo->output_width);
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
    if (file) {
        // What the rest of the file holds bounds what its data can describe.
        const long start = std::ftell(file);
        if (start < 0 || std::fseek(file, 0, SEEK_END) != 0)
            return false;
        const long end = std::ftell(file);
        if (end < start || std::fseek(file, start, SEEK_SET) != 0)
            return false;
        size = (size_t) (end - start);
    }
    DecodeState state{};
    state.cinfo.err = JpegSetUpErrorManager(state.error);
    bool grey = false;
    const bool ok = RunDecode(&state, file, data, size, &out, &grey);
    if (state.created)
        jpeg_destroy_decompress(&state.cinfo);
    grayscale = grey;
    return ok;
}

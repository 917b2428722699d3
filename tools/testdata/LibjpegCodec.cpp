#include "tools/testdata/LibjpegCodec.h"

#include <csetjmp>
#include <cstdlib>

namespace {

struct TestError
{
    jpeg_error_mgr pub;
    jmp_buf jump;
};

void TestErrorExit(j_common_ptr cinfo)
{
    longjmp(reinterpret_cast<TestError*>(cinfo->err)->jump, 1);
}

void Quiet(j_common_ptr) {}

// libjpeg's own plain decode of a block into RGB.
bool RunLibDecode(jpeg_decompress_struct* cinfo, TestError* err, const std::vector<uint8_t>* bytes, LibDecode* out)
{
    if (setjmp(err->jump))
        return false;
    jpeg_mem_src(cinfo, bytes->data(), (unsigned long) bytes->size());
    jpeg_read_header(cinfo, TRUE);
    cinfo->out_color_space = JCS_RGB;
    jpeg_start_decompress(cinfo);
    out->image.width = (int) cinfo->output_width;
    out->image.height = (int) cinfo->output_height;
    out->image.pixels.resize((size_t) out->image.width * out->image.height);
    std::vector<uint8_t> line((size_t) cinfo->output_width * 3);
    while (cinfo->output_scanline < cinfo->output_height) {
        const int y = (int) cinfo->output_scanline;
        JSAMPROW row = line.data();
        jpeg_read_scanlines(cinfo, &row, 1);
        for (int x = 0; x < out->image.width; ++x)
            out->image.pixels[(size_t) y * out->image.width + x] =
                0xFF000000u | (uint32_t) line[x * 3] << 16 | (uint32_t) line[x * 3 + 1] << 8 | line[x * 3 + 2];
    }
    jpeg_finish_decompress(cinfo);
    return true;
}

bool RunInkDecode(jpeg_decompress_struct* cinfo, TestError* err, const std::vector<uint8_t>* bytes,
                  std::vector<uint8_t>* out)
{
    if (setjmp(err->jump))
        return false;
    jpeg_mem_src(cinfo, bytes->data(), (unsigned long) bytes->size());
    jpeg_read_header(cinfo, TRUE);
    cinfo->out_color_space = JCS_CMYK;
    jpeg_start_decompress(cinfo);
    const size_t line = (size_t) cinfo->output_width * 4;
    out->resize(line * cinfo->output_height);
    while (cinfo->output_scanline < cinfo->output_height) {
        JSAMPROW row = out->data() + line * cinfo->output_scanline;
        jpeg_read_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_decompress(cinfo);
    return true;
}

} // namespace

LibDecode LibjpegDecode(const std::vector<uint8_t>& bytes)
{
    LibDecode out;
    jpeg_decompress_struct cinfo;
    TestError err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = TestErrorExit;
    err.pub.output_message = Quiet;
    jpeg_create_decompress(&cinfo);
    out.ok = RunLibDecode(&cinfo, &err, &bytes, &out);
    jpeg_destroy_decompress(&cinfo);
    return out;
}

std::vector<uint8_t> LibjpegDecodeInks(const std::vector<uint8_t>& bytes)
{
    std::vector<uint8_t> out;
    jpeg_decompress_struct cinfo;
    TestError err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = TestErrorExit;
    err.pub.output_message = Quiet;
    jpeg_create_decompress(&cinfo);
    if (!RunInkDecode(&cinfo, &err, &bytes, &out))
        out.clear();
    jpeg_destroy_decompress(&cinfo);
    return out;
}

namespace {

bool RunLibEncode(jpeg_compress_struct* cinfo, TestError* err, const std::vector<uint8_t>* samples, int width,
                  int height, int components, J_COLOR_SPACE space, int quality, bool progressive, J_COLOR_SPACE stored,
                  unsigned char** buffer, unsigned long* size)
{
    if (setjmp(err->jump))
        return false;
    jpeg_mem_dest(cinfo, buffer, size);
    cinfo->image_width = (JDIMENSION) width;
    cinfo->image_height = (JDIMENSION) height;
    cinfo->input_components = components;
    cinfo->in_color_space = space;
    jpeg_set_defaults(cinfo);
    if (stored != JCS_UNKNOWN)
        jpeg_set_colorspace(cinfo, stored);
    jpeg_set_quality(cinfo, quality, TRUE);
    cinfo->optimize_coding = TRUE;
    if (progressive)
        jpeg_simple_progression(cinfo);
    jpeg_start_compress(cinfo, TRUE);
    while (cinfo->next_scanline < cinfo->image_height) {
        JSAMPROW row = const_cast<uint8_t*>(samples->data()) + (size_t) cinfo->next_scanline * width * components;
        jpeg_write_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_compress(cinfo);
    return true;
}

} // namespace

std::vector<uint8_t> LibjpegEncode(const std::vector<uint8_t>& samples, int width, int height, int components,
                                   J_COLOR_SPACE space, int quality, bool progressive, J_COLOR_SPACE stored)
{
    jpeg_compress_struct cinfo;
    TestError err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = TestErrorExit;
    err.pub.output_message = Quiet;
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    const bool ok = RunLibEncode(&cinfo, &err, &samples, width, height, components, space, quality, progressive, stored,
                                 &buffer, &size);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> bytes;
    if (ok && buffer)
        bytes.assign(buffer, buffer + size);
    std::free(buffer);
    return bytes;
}

std::vector<uint8_t> RgbSamples(const std::vector<uint32_t>& pixels)
{
    std::vector<uint8_t> s;
    for (uint32_t p : pixels) {
        s.push_back((uint8_t) (p >> 16));
        s.push_back((uint8_t) (p >> 8));
        s.push_back((uint8_t) p);
    }
    return s;
}

#include <benchmark/benchmark.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

#include "bench/BenchCase.h"
#include "bench/BenchTempFile.h"
#include "core/bitmap/CKBitmapReader.h"
#include "readers/bmp/BmpReader.h"
#include "readers/jpeg/JpgReader.h"
#include "readers/png/PngReader.h"
#include "readers/tga/TgaReader.h"
#include "readers/tiff/TiffReader.h"

// Each reader's ReadMemory and ReadFile of one 2048 x 2048 picture against
// the library's own plain decode of the same bytes (libpng's simplified
// interface, libjpeg to RGB, libtiff's RGBA image), and the BMP and TGA
// decoders against a memcpy of their pixel bytes (less work than any reader
// does), the run-length TGA also against a plain decoder of its packets.
// The files are written once
// by the readers' own writers into the temporary folder. TIFF has two peers:
// libtiff's RGBA image (the generic path ours takes) and libtiff at its best
// on this file, TIFFReadEncodedStrip of every strip into the picture (the
// file holds 8-bit RGBA, the layout ours gives), from the file and, through
// TIFFClientOpen, from memory. Bytes per second count decoded pixel bytes;
// the counters give the file sizes.
namespace {

constexpr int kSize = 2048;

std::vector<uint32_t>& Picture()
{
    static std::vector<uint32_t> pixels = [] {
        std::vector<uint32_t> p((size_t) kSize * kSize);
        uint32_t seed = 12345;
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x) {
                seed = seed * 214013 + 2531011;
                const uint32_t noise = (seed >> 16) & 7;
                const uint32_t r = (uint32_t) (x / 8 + noise) & 0xFF;
                const uint32_t g = (uint32_t) (y / 8 + (x * y) / 40000) & 0xFF;
                const uint32_t b = (uint32_t) (128 + ((x - y) / 16)) & 0xFF;
                p[(size_t) y * kSize + x] = 0xFF000000u | r << 16 | g << 8 | b;
            }
        return p;
    }();
    return pixels;
}

struct Encoded
{
    std::vector<uint8_t> bytes;
    std::string path;
};

Encoded Encode(CKBitmapReader& reader, CKBitmapProperties p, const char* name)
{
    p.m_Format.Width = kSize;
    p.m_Format.Height = kSize;
    p.m_Format.BitsPerPixel = 32;
    p.m_Format.BytesPerLine = kSize * 4;
    p.m_Format.SetDefaultMasks();
    p.m_Data = Picture().data();
    void* block = nullptr;
    const int size = reader.SaveMemory(&block, &p);
    Encoded e;
    e.bytes.assign(static_cast<uint8_t*>(block), static_cast<uint8_t*>(block) + (size > 0 ? size : 0));
    reader.ReleaseMemory(block);
    e.path = BenchTempFile(name);
    if (FILE* f = std::fopen(e.path.c_str(), "wb")) {
        std::fwrite(e.bytes.data(), 1, e.bytes.size(), f);
        std::fclose(f);
    }
    return e;
}

const Encoded& PngFile()
{
    static Encoded e = [] {
        PngReader r;
        CKBitmapProperties p = PngReader::DefaultProperties();
        p.m_Words[PngReader::kOptionsWord] = 0; // RGB
        return Encode(r, p, "rgb.png");
    }();
    return e;
}

const Encoded& JpegFile()
{
    static Encoded e = [] {
        JpgReader r;
        return Encode(r, JpgReader::DefaultProperties(), "q75.jpg");
    }();
    return e;
}

const Encoded& TiffFile()
{
    static Encoded e = [] {
        TiffReader r;
        return Encode(r, TiffReader::DefaultProperties(), "packbits.tif");
    }();
    return e;
}

const Encoded& BmpFile(int bits)
{
    static Encoded e24 = [] {
        BmpReader r;
        return Encode(r, BmpReader::DefaultProperties(), "24.bmp");
    }();
    static Encoded e32 = [] {
        BmpReader r;
        CKBitmapProperties p = BmpReader::DefaultProperties();
        p.m_Words[BmpReader::kBitDepthWord] = 32;
        return Encode(r, p, "32.bmp");
    }();
    return bits == 24 ? e24 : e32;
}

const Encoded& TgaFile(bool rle)
{
    static Encoded raw = [] {
        TgaReader r;
        return Encode(r, TgaReader::DefaultProperties(), "32.tga");
    }();
    static Encoded packed = [] {
        TgaReader r;
        CKBitmapProperties p = TgaReader::DefaultProperties();
        p.m_Words[TgaReader::kRleWord] = 1;
        return Encode(r, p, "32rle.tga");
    }();
    return rle ? packed : raw;
}

void ReaderBench(benchmark::State& state, CKBitmapReader& reader, const Encoded& file, int outBytesPerPixel,
                 bool fromFile)
{
    for (auto _ : state) {
        CKBitmapProperties* p = nullptr;
        const int result = fromFile ? reader.ReadFile(file.path.c_str(), &p)
                                    : reader.ReadMemory(file.bytes.data(), (CKDWORD) file.bytes.size(), &p);
        if (result != 0) {
            state.SkipWithError("decode failed");
            return;
        }
        benchmark::DoNotOptimize(p->m_Data);
        reader.ReleaseMemory(p->m_Data);
    }
    state.SetBytesProcessed(state.iterations() * (int64_t) kSize * kSize * outBytesPerPixel);
    if (!fromFile)
        state.counters["file_bytes"] = (double) file.bytes.size();
}

void ReaderMemory(benchmark::State& state, CKBitmapReader& reader, const Encoded& file, int outBytesPerPixel)
{
    ReaderBench(state, reader, file, outBytesPerPixel, false);
}

void ReaderFile(benchmark::State& state, CKBitmapReader& reader, const Encoded& file, int outBytesPerPixel)
{
    ReaderBench(state, reader, file, outBytesPerPixel, true);
}

// PNG

void BM_PngReader_ReadMemory(benchmark::State& state)
{
    PngReader reader;
    ReaderMemory(state, reader, PngFile(), 4);
}

void BM_PngReader_ReadFile(benchmark::State& state)
{
    PngReader reader;
    ReaderFile(state, reader, PngFile(), 4);
}

void LibpngBench(benchmark::State& state, bool fromFile)
{
    const Encoded& file = PngFile();
    for (auto _ : state) {
        png_image image;
        std::memset(&image, 0, sizeof(image));
        image.version = PNG_IMAGE_VERSION;
        if (fromFile)
            png_image_begin_read_from_file(&image, file.path.c_str());
        else
            png_image_begin_read_from_memory(&image, file.bytes.data(), file.bytes.size());
        image.format = PNG_FORMAT_BGRA;
        void* pixels = CKReaderAllocate(PNG_IMAGE_SIZE(image));
        png_image_finish_read(&image, nullptr, pixels, 0, nullptr);
        benchmark::DoNotOptimize(pixels);
        CKReaderFree(pixels);
    }
    state.SetBytesProcessed(state.iterations() * (int64_t) kSize * kSize * 4);
}

void BM_Libpng_SimplifiedMemory(benchmark::State& state)
{
    LibpngBench(state, false);
}

void BM_Libpng_SimplifiedFile(benchmark::State& state)
{
    LibpngBench(state, true);
}

// JPEG

void BM_JpgReader_ReadMemory(benchmark::State& state)
{
    JpgReader reader;
    ReaderMemory(state, reader, JpegFile(), 3);
}

void BM_JpgReader_ReadFile(benchmark::State& state)
{
    JpgReader reader;
    ReaderFile(state, reader, JpegFile(), 3);
}

struct JpegError
{
    jpeg_error_mgr pub;
    jmp_buf jump;
};

void JpegErrorExit(j_common_ptr cinfo)
{
    longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1);
}

bool LibjpegDecode(jpeg_decompress_struct* cinfo, JpegError* err, const Encoded* file, FILE* f)
{
    if (setjmp(err->jump))
        return false;
    if (f)
        jpeg_stdio_src(cinfo, f);
    else
        jpeg_mem_src(cinfo, file->bytes.data(), (unsigned long) file->bytes.size());
    jpeg_read_header(cinfo, TRUE);
    cinfo->out_color_space = JCS_RGB;
    jpeg_start_decompress(cinfo);
    const size_t pitch = (size_t) cinfo->output_width * 3;
    uint8_t* pixels = static_cast<uint8_t*>(CKReaderAllocate(pitch * cinfo->output_height));
    JSAMPROW rows[16];
    while (cinfo->output_scanline < cinfo->output_height) {
        const JDIMENSION left = cinfo->output_height - cinfo->output_scanline;
        const int n = left < 16 ? (int) left : 16;
        for (int i = 0; i < n; ++i)
            rows[i] = pixels + (cinfo->output_scanline + i) * pitch;
        jpeg_read_scanlines(cinfo, rows, (JDIMENSION) n);
    }
    jpeg_finish_decompress(cinfo);
    benchmark::DoNotOptimize(pixels);
    CKReaderFree(pixels);
    return true;
}

void LibjpegBench(benchmark::State& state, bool fromFile)
{
    const Encoded& file = JpegFile();
    for (auto _ : state) {
        jpeg_decompress_struct cinfo;
        JpegError err;
        cinfo.err = jpeg_std_error(&err.pub);
        err.pub.error_exit = JpegErrorExit;
        jpeg_create_decompress(&cinfo);
        FILE* f = fromFile ? std::fopen(file.path.c_str(), "rb") : nullptr;
        LibjpegDecode(&cinfo, &err, &file, f);
        if (f)
            std::fclose(f);
        jpeg_destroy_decompress(&cinfo);
    }
    state.SetBytesProcessed(state.iterations() * (int64_t) kSize * kSize * 3);
}

void BM_Libjpeg_Memory(benchmark::State& state)
{
    LibjpegBench(state, false);
}

void BM_Libjpeg_File(benchmark::State& state)
{
    LibjpegBench(state, true);
}

// TIFF

void BM_TiffReader_ReadMemory(benchmark::State& state)
{
    TiffReader reader;
    ReaderMemory(state, reader, TiffFile(), 4);
}

void BM_TiffReader_ReadFile(benchmark::State& state)
{
    TiffReader reader;
    ReaderFile(state, reader, TiffFile(), 4);
}

void BM_Libtiff_RgbaFile(benchmark::State& state)
{
    const Encoded& file = TiffFile();
    TIFFSetWarningHandler(nullptr);
    for (auto _ : state) {
        TIFF* tif = TIFFOpen(file.path.c_str(), "r");
        uint32_t w = 0, h = 0;
        TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
        void* raster = CKReaderAllocate((size_t) w * h * 4);
        TIFFReadRGBAImageOriented(tif, w, h, static_cast<uint32_t*>(raster), ORIENTATION_TOPLEFT, 0);
        TIFFClose(tif);
        benchmark::DoNotOptimize(raster);
        CKReaderFree(raster);
    }
    state.SetBytesProcessed(state.iterations() * (int64_t) kSize * kSize * 4);
}

// A memory stream for TIFFClientOpen: what a program that reads TIFF from
// memory with libtiff writes.
struct TiffPeerMemory
{
    const uint8_t* bytes;
    toff_t size;
    toff_t at;
};

tmsize_t TiffPeerRead(thandle_t h, void* out, tmsize_t n)
{
    auto* m = static_cast<TiffPeerMemory*>(h);
    const toff_t left = m->at < m->size ? m->size - m->at : 0;
    const toff_t take = (toff_t) n < left ? (toff_t) n : left;
    std::memcpy(out, m->bytes + m->at, (size_t) take);
    m->at += take;
    return (tmsize_t) take;
}

tmsize_t TiffPeerWrite(thandle_t, void*, tmsize_t)
{
    return -1;
}

toff_t TiffPeerSeek(thandle_t h, toff_t offset, int whence)
{
    auto* m = static_cast<TiffPeerMemory*>(h);
    const toff_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? m->at : m->size;
    m->at = base + offset;
    return m->at;
}

int TiffPeerClose(thandle_t)
{
    return 0;
}

toff_t TiffPeerSize(thandle_t h)
{
    return static_cast<TiffPeerMemory*>(h)->size;
}

// Every strip decoded with TIFFReadEncodedStrip into one picture.
void TiffPeerStrips(benchmark::State& state, TIFF* tif)
{
    if (!tif) {
        state.SkipWithError("libtiff cannot open the file");
        return;
    }
    uint32_t w = 0, h = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    const size_t size = (size_t) w * h * 4;
    auto* raster = static_cast<uint8_t*>(CKReaderAllocate(size));
    size_t at = 0;
    const uint32_t strips = TIFFNumberOfStrips(tif);
    for (uint32_t s = 0; s < strips && at < size; ++s) {
        const tmsize_t n = TIFFReadEncodedStrip(tif, s, raster + at, (tmsize_t) (size - at));
        if (n < 0) {
            state.SkipWithError("a strip cannot be read");
            break;
        }
        at += (size_t) n;
    }
    TIFFClose(tif);
    benchmark::DoNotOptimize(raster);
    CKReaderFree(raster);
}

void BM_Libtiff_StripsFile(benchmark::State& state)
{
    const Encoded& file = TiffFile();
    TIFFSetWarningHandler(nullptr);
    for (auto _ : state)
        TiffPeerStrips(state, TIFFOpen(file.path.c_str(), "r"));
    state.SetBytesProcessed(state.iterations() * (int64_t) kSize * kSize * 4);
}

void BM_Libtiff_StripsMemory(benchmark::State& state)
{
    const Encoded& file = TiffFile();
    TIFFSetWarningHandler(nullptr);
    for (auto _ : state) {
        TiffPeerMemory memory{file.bytes.data(), (toff_t) file.bytes.size(), 0};
        TiffPeerStrips(state, TIFFClientOpen("memory", "rm", &memory, TiffPeerRead, TiffPeerWrite, TiffPeerSeek,
                                             TiffPeerClose, TiffPeerSize, nullptr, nullptr));
    }
    state.SetBytesProcessed(state.iterations() * (int64_t) kSize * kSize * 4);
}

// BMP and TGA against a copy of their pixel bytes.

void MemcpyPixels(benchmark::State& state, int bytesPerPixel)
{
    const size_t size = (size_t) kSize * kSize * bytesPerPixel;
    std::vector<uint8_t> source(size, 1);
    for (auto _ : state) {
        void* out = CKReaderAllocate(size);
        std::memcpy(out, source.data(), size);
        benchmark::DoNotOptimize(out);
        CKReaderFree(out);
    }
    state.SetBytesProcessed(state.iterations() * (int64_t) size);
}

void BM_Memcpy_24BitPixels(benchmark::State& state)
{
    MemcpyPixels(state, 3);
}

void BM_Memcpy_32BitPixels(benchmark::State& state)
{
    MemcpyPixels(state, 4);
}

void BM_BmpReader_ReadMemory24(benchmark::State& state)
{
    BmpReader reader;
    ReaderMemory(state, reader, BmpFile(24), 3);
}

void BM_BmpReader_ReadMemory32(benchmark::State& state)
{
    BmpReader reader;
    ReaderMemory(state, reader, BmpFile(32), 4);
}

void BM_BmpReader_ReadFile24(benchmark::State& state)
{
    BmpReader reader;
    ReaderFile(state, reader, BmpFile(24), 3);
}

void BM_TgaReader_ReadMemory32(benchmark::State& state)
{
    TgaReader reader;
    ReaderMemory(state, reader, TgaFile(false), 4);
}

void BM_TgaReader_ReadMemory32Rle(benchmark::State& state)
{
    TgaReader reader;
    ReaderMemory(state, reader, TgaFile(true), 4);
}

void BM_TgaReader_ReadFile32(benchmark::State& state)
{
    TgaReader reader;
    ReaderFile(state, reader, TgaFile(false), 4);
}

// A plain run-length decoder of a 32-bit TGA: the header's size and
// orientation, then every packet (a repeated pixel or a run of raw ones)
// into new memory, line by line in the picture's order, each packet checked
// against what is left of the input and of the picture.
bool DecodeTgaRle(const uint8_t* in, size_t size, uint8_t* out, int width, int height)
{
    if (size < 18 || in[2] != 10 || in[16] != 32)
        return false;
    const bool topDown = (in[17] & 0x20) != 0;
    size_t at = 18 + size_t(in[0]);
    const size_t pitch = size_t(width) * 4;
    int x = 0, y = 0;
    uint8_t* line = out + (topDown ? 0 : size_t(height - 1) * pitch);
    while (y < height) {
        if (at >= size)
            return false;
        const int head = in[at++];
        int count = (head & 0x7F) + 1;
        const bool repeat = (head & 0x80) != 0;
        if (size - at < size_t(repeat ? 1 : count) * 4 || count > width - x)
            return false;
        const uint8_t* pixel = in + at;
        at += size_t(repeat ? 1 : count) * 4;
        for (; count > 0; --count) {
            std::memcpy(line + size_t(x) * 4, pixel, 4);
            if (!repeat)
                pixel += 4;
            if (++x == width) {
                x = 0;
                ++y;
                line = topDown ? line + pitch : line - pitch;
            }
        }
    }
    return true;
}

void BM_PlainRle_32BitPixels(benchmark::State& state)
{
    const Encoded& file = TgaFile(true);
    const size_t size = (size_t) kSize * kSize * 4;
    for (auto _ : state) {
        auto* out = static_cast<uint8_t*>(CKReaderAllocate(size));
        if (!DecodeTgaRle(file.bytes.data(), file.bytes.size(), out, kSize, kSize))
            state.SkipWithError("the run-length file did not decode");
        benchmark::DoNotOptimize(out);
        CKReaderFree(out);
    }
    state.SetBytesProcessed(state.iterations() * (int64_t) size);
}

} // namespace

BENCHMARK(BM_PngReader_ReadMemory)->Name("PngReadMemory/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Libpng_SimplifiedMemory)->Name("PngReadMemory/libpng")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngReader_ReadFile)->Name("PngReadFile/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Libpng_SimplifiedFile)->Name("PngReadFile/libpng")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpgReader_ReadMemory)->Name("JpegReadMemory/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Libjpeg_Memory)->Name("JpegReadMemory/libjpeg")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpgReader_ReadFile)->Name("JpegReadFile/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Libjpeg_File)->Name("JpegReadFile/libjpeg")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TiffReader_ReadMemory)->Name("TiffReadMemory/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TiffReader_ReadFile)->Name("TiffReadFile/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Libtiff_StripsMemory)->Name("TiffReadMemory/libtiff-strips")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Libtiff_RgbaFile)->Name("TiffReadFile/libtiff")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Libtiff_StripsFile)->Name("TiffReadFile/libtiff-strips")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BmpReader_ReadMemory24)->Name("BmpReadMemory24/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memcpy_24BitPixels)->Name("BmpReadMemory24/memcpy")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BmpReader_ReadMemory32)->Name("BmpReadMemory32/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memcpy_32BitPixels)->Name("BmpReadMemory32/memcpy")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BmpReader_ReadFile24)->Name("BmpReadFile24/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memcpy_24BitPixels)->Name("BmpReadFile24/memcpy")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TgaReader_ReadMemory32)->Name("TgaReadMemory32/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memcpy_32BitPixels)->Name("TgaReadMemory32/memcpy")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TgaReader_ReadMemory32Rle)->Name("TgaReadMemory32Rle/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainRle_32BitPixels)->Name("TgaReadMemory32Rle/plainrle")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memcpy_32BitPixels)->Name("TgaReadMemory32Rle/memcpy")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TgaReader_ReadFile32)->Name("TgaReadFile32/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memcpy_32BitPixels)->Name("TgaReadFile32/memcpy")->Unit(benchmark::kMillisecond);
BENCH_CASE_DOES("PngReadMemory", "ours: ReadMemory of a 2048x2048 RGB PNG to new 32-bit ARGB; libpng: the simplified "
                                 "interface's read of the same bytes to new BGRA");
BENCH_CASE_DOES("PngReadFile", "ours: ReadFile of the same PNG; libpng: png_image_begin_read_from_file and "
                               "png_image_finish_read to new BGRA");
BENCH_CASE_DOES("JpegReadMemory", "ours: ReadMemory of a 2048x2048 quality-75 JPEG to new 24-bit pixels; libjpeg: "
                                  "jpeg_mem_src and jpeg_read_scanlines to new RGB");
BENCH_CASE_DOES("JpegReadFile", "ours: ReadFile of the same JPEG; libjpeg: jpeg_stdio_src on the opened file and "
                                "jpeg_read_scanlines to new RGB");
BENCH_CASE_DOES("BmpReadMemory24", "ours: ReadMemory of a 2048x2048 24-bit BMP to new memory; memcpy: a copy of the "
                                   "pixel bytes only, the least any reader does");
BENCH_CASE_PEER_KIND("BmpReadMemory24", "memcpy", "lower bound");
BENCH_CASE_DOES("BmpReadMemory32", "ours: ReadMemory of a 2048x2048 32-bit BMP to new memory; memcpy: a copy of the "
                                   "pixel bytes only, the least any reader does");
BENCH_CASE_PEER_KIND("BmpReadMemory32", "memcpy", "lower bound");
BENCH_CASE_DOES("BmpReadFile24", "ours: ReadFile of the 24-bit BMP (open, read, decode); memcpy: a copy of the pixel "
                                 "bytes already in memory only, with no file read");
BENCH_CASE_PEER_KIND("BmpReadFile24", "memcpy", "lower bound");
BENCH_CASE_DOES("TgaReadMemory32", "ours: ReadMemory of a 2048x2048 32-bit uncompressed TGA to new memory; memcpy: a "
                                   "copy of the pixel bytes only, the least any reader does");
BENCH_CASE_PEER_KIND("TgaReadMemory32", "memcpy", "lower bound");
BENCH_CASE_DOES("TgaReadMemory32Rle", "ours: ReadMemory of the same picture run-length coded; plainrle: a plain "
                                      "decoder of the same packets to new memory, checked against the input's end; "
                                      "memcpy: a copy of the decoded size only, less work than any decoder");
BENCH_CASE_PEER_KIND("TgaReadMemory32Rle", "memcpy", "lower bound");
BENCH_CASE_DOES("TgaReadFile32", "ours: ReadFile of the uncompressed TGA (open, read, decode); memcpy: a copy of the "
                                 "pixel bytes already in memory only, with no file read");
BENCH_CASE_PEER_KIND("TgaReadFile32", "memcpy", "lower bound");
BENCH_CASE_DOES("TiffReadMemory", "ours: ReadMemory of a 2048x2048 RGBA PackBits TIFF; libtiff-strips: TIFFClientOpen "
                                  "on the bytes, TIFFReadEncodedStrip of every strip into new memory");
BENCH_CASE_DOES("TiffReadFile", "ours: ReadFile of the same TIFF; libtiff: TIFFReadRGBAImageOriented into new memory; "
                                "libtiff-strips: TIFFReadEncodedStrip of every strip into new memory");

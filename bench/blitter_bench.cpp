// The blitter's common conversions against memcpy (same-format copies) and
// pixman (8888 to and from 565, 1555, 4444), and its resizing against
// pixman's scaling. Aim: copies near memcpy, the conversions within 2x of
// pixman.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "bench/BenchCase.h"
#include "system/image/QxBlitter.h"
#include "system/image/QxPixelFormat.h"

#ifdef ENGINE_HAVE_PIXMAN
#include <pixman.h>
#endif

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;

struct Buffer
{
    std::vector<uint32_t> Words; // 32-bit storage keeps pixman's alignment needs
    QxImageDesc Desc;

    Buffer(int id, int w, int h)
    {
        QxPixelFormat2ImageDesc(id, Desc);
        Desc.Width = w;
        Desc.Height = h;
        Desc.BytesPerLine = ((w * Desc.BitsPerPixel / 8) + 3) & ~3;
        Words.resize(size_t(Desc.BytesPerLine / 4) * h);
        std::mt19937 rng(42);
        for (uint32_t& v : Words)
            v = rng();
        Desc.Image = reinterpret_cast<CKBYTE*>(Words.data());
    }
    size_t Bytes() const { return Words.size() * 4; }
};

void BM_CopySameFormat_Blitter(benchmark::State& state)
{
    Buffer src(_32_ARGB8888, kWidth, kHeight), dst(_32_ARGB8888, kWidth, kHeight);
    for (auto _ : state) {
        QxDoBlit(src.Desc, dst.Desc);
        benchmark::DoNotOptimize(dst.Words.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(src.Bytes()));
}
BENCHMARK(BM_CopySameFormat_Blitter)->Name("BlitSameFormat/ours");

void BM_CopySameFormat_Memcpy(benchmark::State& state)
{
    Buffer src(_32_ARGB8888, kWidth, kHeight), dst(_32_ARGB8888, kWidth, kHeight);
    for (auto _ : state) {
        std::memcpy(dst.Words.data(), src.Words.data(), src.Bytes());
        benchmark::DoNotOptimize(dst.Words.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(src.Bytes()));
}
BENCHMARK(BM_CopySameFormat_Memcpy)->Name("BlitSameFormat/memcpy");

// The conversions measured, from and to ARGB 8888 (pixel format numbers;
// the label names them).
void ConversionPairs(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"from", "to"});
    for (int other : {_16_RGB565, _16_ARGB1555, _16_ARGB4444})
        b->Args({_32_ARGB8888, other});
    for (int other : {_16_RGB565, _16_ARGB1555, _16_ARGB4444})
        b->Args({other, _32_ARGB8888});
}

void BM_Convert_Blitter(benchmark::State& state)
{
    const int from = int(state.range(0)), to = int(state.range(1));
    Buffer src(from, kWidth, kHeight), dst(to, kWidth, kHeight);
    for (auto _ : state) {
        QxDoBlit(src.Desc, dst.Desc);
        benchmark::DoNotOptimize(dst.Words.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kWidth * kHeight);
    state.SetLabel(std::string(QxGetPixelFormatName(from)) + " -> " + QxGetPixelFormatName(to));
}
BENCHMARK(BM_Convert_Blitter)->Name("BlitConvert/ours")->Apply(ConversionPairs);

#ifdef ENGINE_HAVE_PIXMAN
pixman_format_code_t PixmanFormat(int id)
{
    switch (id) {
    case _16_RGB565: return PIXMAN_r5g6b5;
    case _16_ARGB1555: return PIXMAN_a1r5g5b5;
    case _16_ARGB4444: return PIXMAN_a4r4g4b4;
    default: return PIXMAN_a8r8g8b8;
    }
}

void BM_Convert_Pixman(benchmark::State& state)
{
    const int from = int(state.range(0)), to = int(state.range(1));
    Buffer src(from, kWidth, kHeight), dst(to, kWidth, kHeight);
    pixman_image_t* s =
        pixman_image_create_bits(PixmanFormat(from), kWidth, kHeight, src.Words.data(), src.Desc.BytesPerLine);
    pixman_image_t* d =
        pixman_image_create_bits(PixmanFormat(to), kWidth, kHeight, dst.Words.data(), dst.Desc.BytesPerLine);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_SRC, s, nullptr, d, 0, 0, 0, 0, 0, 0, kWidth, kHeight);
        benchmark::DoNotOptimize(dst.Words.data());
    }
    pixman_image_unref(s);
    pixman_image_unref(d);
    state.SetItemsProcessed(int64_t(state.iterations()) * kWidth * kHeight);
    state.SetLabel(std::string(QxGetPixelFormatName(from)) + " -> " + QxGetPixelFormatName(to));
}
BENCHMARK(BM_Convert_Pixman)->Name("BlitConvert/pixman")->Apply(ConversionPairs);
#endif

void BM_Resize_Blitter(benchmark::State& state)
{
    Buffer src(_32_ARGB8888, kWidth, kHeight), dst(_32_ARGB8888, int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        QxResizeImage(src.Desc, dst.Desc);
        benchmark::DoNotOptimize(dst.Words.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kWidth * kHeight);
}
#define RESIZE_CASES ->ArgNames({"width", "height"})->Args({512, 384})->Args({1600, 1200})
BENCHMARK(BM_Resize_Blitter)->Name("BlitResize/ours") RESIZE_CASES;

#ifdef ENGINE_HAVE_PIXMAN
// pixman's scaling with the filters ours uses: bilinear when enlarging, a
// box of the source pixels each destination pixel covers when shrinking.
void BM_Resize_Pixman(benchmark::State& state)
{
    const int w = int(state.range(0)), h = int(state.range(1));
    Buffer src(_32_ARGB8888, kWidth, kHeight), dst(_32_ARGB8888, w, h);
    pixman_image_t* s =
        pixman_image_create_bits(PIXMAN_a8r8g8b8, kWidth, kHeight, src.Words.data(), src.Desc.BytesPerLine);
    pixman_image_t* d = pixman_image_create_bits(PIXMAN_a8r8g8b8, w, h, dst.Words.data(), dst.Desc.BytesPerLine);
    pixman_transform_t scale;
    pixman_transform_init_scale(&scale, pixman_double_to_fixed(double(kWidth) / w),
                                pixman_double_to_fixed(double(kHeight) / h));
    pixman_image_set_transform(s, &scale);
    if (w >= kWidth) {
        pixman_image_set_filter(s, PIXMAN_FILTER_BILINEAR, nullptr, 0);
    } else {
        int n = 0;
        pixman_fixed_t* params = pixman_filter_create_separable_convolution(
            &n, pixman_double_to_fixed(double(kWidth) / w), pixman_double_to_fixed(double(kHeight) / h),
            PIXMAN_KERNEL_BOX, PIXMAN_KERNEL_BOX, PIXMAN_KERNEL_BOX, PIXMAN_KERNEL_BOX, 1, 1);
        pixman_image_set_filter(s, PIXMAN_FILTER_SEPARABLE_CONVOLUTION, params, n);
        free(params);
    }
    pixman_image_set_repeat(s, PIXMAN_REPEAT_PAD);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_SRC, s, nullptr, d, 0, 0, 0, 0, 0, 0, w, h);
        benchmark::DoNotOptimize(dst.Words.data());
    }
    pixman_image_unref(s);
    pixman_image_unref(d);
    state.SetItemsProcessed(int64_t(state.iterations()) * kWidth * kHeight);
}
BENCHMARK(BM_Resize_Pixman)->Name("BlitResize/pixman") RESIZE_CASES;
#endif

BENCH_CASE_DOES("BlitSameFormat", "ours: QxDoBlit of a 1024x768 ARGB8888 picture to another of the same format; "
                                  "memcpy: a copy of its bytes");
BENCH_CASE_DOES("BlitConvert", "ours: QxDoBlit of a 1024x768 picture between the two formats named; pixman: "
                               "pixman_image_composite32 (PIXMAN_OP_SRC) of the same pixels between the same formats");
BENCH_CASE_DOES("BlitResize", "ours: QxResizeImage of a 1024x768 ARGB8888 picture to the size named (linear when "
                              "enlarging, box when shrinking); pixman: the same scaling through a transform, "
                              "bilinear or a separable box filter");

} // namespace

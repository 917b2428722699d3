// The blitter's common conversions against memcpy (same-format copies) and
// pixman (8888 to and from 565, 1555, 4444). Aim: copies near memcpy, the
// conversions within 2x of pixman.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

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
BENCHMARK(BM_Resize_Blitter)
    ->Name("BlitResize/ours")
    ->ArgNames({"width", "height"})
    ->Args({512, 384})
    ->Args({1600, 1200});

} // namespace

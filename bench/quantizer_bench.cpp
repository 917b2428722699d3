// The colour quantizer (through the blitter, into 256 palette entries)
// against libimagequant on the same images: time, and PSNR of the image
// converted back (counter "psnr_dB", which scripts/bench prints beside the
// times). Undithered on both sides, on one thread (libimagequant's OpenMP
// team is set to one thread), and the same work timed: the palette and the
// index image; converting back for the PSNR is outside the timing on both
// sides. libimagequant runs at its default speed (4) and at its fastest
// (10). The quantizer writes two progress lines to stderr per run.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/BenchCase.h"
#include "system/image/QxBlitter.h"
#include "system/image/QxPixelFormat.h"

#ifdef ENGINE_HAVE_IMAGEQUANT
#include <libimagequant.h>
#endif
#ifdef _OPENMP
#include <omp.h>
#endif

namespace {

struct Picture
{
    int Width = 0, Height = 0;
    std::vector<uint32_t> Argb;
};

// Light varying over a few coloured regions, with noise.
Picture Synthetic()
{
    Picture p;
    p.Width = 512;
    p.Height = 384;
    p.Argb.resize(size_t(p.Width) * p.Height);
    std::mt19937 rng(7);
    for (int y = 0; y < p.Height; ++y)
        for (int x = 0; x < p.Width; ++x) {
            const double light = 0.55 + 0.45 * std::sin(x * 0.011 + 0.4) * std::cos(y * 0.009);
            const double hue = std::sin(x * 0.004 + y * 0.006);
            const double r = 120 + 100 * hue, g = 140 - 60 * hue, b = 90 + 80 * std::cos(x * 0.007);
            const double n = double(int(rng() % 7) - 3);
            auto c = [](double v) { return uint32_t(v < 0 ? 0 : v > 255 ? 255 : v); };
            p.Argb[size_t(y) * p.Width + x] =
                0xFF000000 | c(r * light + n) << 16 | c(g * light + n) << 8 | c(b * light + n);
        }
    return p;
}

// The shared test photograph when ENGINE_SHARED_DATA points at the data folder.
Picture Photograph()
{
    Picture p;
    const char* dir = std::getenv("ENGINE_SHARED_DATA");
    if (!dir)
        return p;
    std::ifstream file(std::string(dir) + "/images/jpeg/testorig.ppm", std::ios::binary);
    std::string magic;
    int maxValue = 0;
    if (!(file >> magic >> p.Width >> p.Height >> maxValue) || magic != "P6" || maxValue != 255)
        return Picture();
    file.get();
    std::vector<unsigned char> rgb(size_t(p.Width) * p.Height * 3);
    if (!file.read(reinterpret_cast<char*>(rgb.data()), std::streamsize(rgb.size())))
        return Picture();
    p.Argb.resize(size_t(p.Width) * p.Height);
    for (size_t i = 0; i < p.Argb.size(); ++i)
        p.Argb[i] = 0xFF000000 | uint32_t(rgb[i * 3]) << 16 | uint32_t(rgb[i * 3 + 1]) << 8 | rgb[i * 3 + 2];
    return p;
}

const Picture& Get(int which)
{
    static const Picture synthetic = Synthetic();
    static const Picture photo = Photograph();
    return which == 0 ? synthetic : photo;
}

double Psnr(const Picture& p, const std::vector<uint32_t>& back)
{
    double se = 0;
    for (size_t i = 0; i < p.Argb.size(); ++i)
        for (int c = 0; c < 3; ++c) {
            const double d = double((p.Argb[i] >> (8 * c)) & 0xFF) - double((back[i] >> (8 * c)) & 0xFF);
            se += d * d;
        }
    return 10 * std::log10(255.0 * 255.0 / (se / (p.Argb.size() * 3.0)));
}

void BM_Quantize_Blitter(benchmark::State& state)
{
    const Picture& p = Get(int(state.range(0)));
    if (p.Argb.empty()) {
        state.SkipWithError("picture not available (set ENGINE_SHARED_DATA)");
        return;
    }
    std::vector<uint32_t> src = p.Argb;
    QxImageDesc s;
    QxPixelFormat2ImageDesc(_32_ARGB8888, s);
    s.Width = p.Width;
    s.Height = p.Height;
    s.BytesPerLine = p.Width * 4;
    s.Image = reinterpret_cast<CKBYTE*>(src.data());
    std::vector<CKBYTE> indices(src.size()), palette(1024);
    QxImageDesc d;
    d.Width = p.Width;
    d.Height = p.Height;
    d.BytesPerLine = p.Width;
    d.BitsPerPixel = 8;
    d.RedMask = 0x0000FF;
    d.GreenMask = 0x00FF00;
    d.BlueMask = 0xFF0000;
    d.BytesPerColorEntry = 4;
    d.ColorMapEntries = 256;
    d.ColorMap = palette.data();
    d.Image = indices.data();
    for (auto _ : state) {
        QxDoBlit(s, d);
        benchmark::DoNotOptimize(indices.data());
    }
    std::vector<uint32_t> back(src.size());
    QxImageDesc b = s;
    b.Image = reinterpret_cast<CKBYTE*>(back.data());
    QxDoBlit(d, b);
    state.counters["psnr_dB"] = Psnr(p, back);
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(src.size()));
}
BENCHMARK(BM_Quantize_Blitter)->Name("Quantize/ours")->ArgName("photo")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

#ifdef ENGINE_HAVE_IMAGEQUANT
// Speed 4 (libimagequant's default) or 10 (its fastest).
void BM_Quantize_Imagequant(benchmark::State& state, int speed)
{
    const Picture& p = Get(int(state.range(0)));
    if (p.Argb.empty()) {
        state.SkipWithError("picture not available (set ENGINE_SHARED_DATA)");
        return;
    }
#ifdef _OPENMP
    omp_set_num_threads(1);
#endif
    std::vector<unsigned char> rgba(p.Argb.size() * 4);
    for (size_t i = 0; i < p.Argb.size(); ++i) {
        rgba[i * 4 + 0] = uint8_t(p.Argb[i] >> 16);
        rgba[i * 4 + 1] = uint8_t(p.Argb[i] >> 8);
        rgba[i * 4 + 2] = uint8_t(p.Argb[i]);
        rgba[i * 4 + 3] = 0xFF;
    }
    std::vector<unsigned char> indices(p.Argb.size());
    liq_palette palette = {};
    for (auto _ : state) {
        liq_attr* attr = liq_attr_create();
        liq_set_speed(attr, speed);
        liq_image* image = liq_image_create_rgba(attr, rgba.data(), p.Width, p.Height, 0);
        liq_result* result = nullptr;
        if (liq_image_quantize(image, attr, &result) == LIQ_OK) {
            liq_set_dithering_level(result, 0);
            liq_write_remapped_image(result, image, indices.data(), indices.size());
            palette = *liq_get_palette(result);
            liq_result_destroy(result);
        } else {
            state.SkipWithError("libimagequant failed");
        }
        liq_image_destroy(image);
        liq_attr_destroy(attr);
        benchmark::DoNotOptimize(indices.data());
    }
    std::vector<uint32_t> back(p.Argb.size());
    for (size_t i = 0; i < indices.size(); ++i) {
        const liq_color& c = palette.entries[indices[i]];
        back[i] = 0xFF000000 | uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
    }
    state.counters["psnr_dB"] = Psnr(p, back);
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(p.Argb.size()));
}
#define IMAGEQUANT_CASES ->ArgName("photo")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)
BENCHMARK_CAPTURE(BM_Quantize_Imagequant, default, 4)->Name("Quantize/imagequant") IMAGEQUANT_CASES;
BENCHMARK_CAPTURE(BM_Quantize_Imagequant, fastest, 10)->Name("Quantize/imagequant-fast") IMAGEQUANT_CASES;
#endif

BENCH_CASE_DOES("Quantize", "ours: QxDoBlit of the ARGB picture to 8-bit indices and a 256-entry palette; imagequant: "
                            "liq_image_quantize and liq_write_remapped_image, undithered, one thread, speed 4 or 10 "
                            "(-fast)");

} // namespace

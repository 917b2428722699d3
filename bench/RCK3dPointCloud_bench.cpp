// Point clouds: reading ASCII point files, building the subdivision,
// filling vertex buffers and box selections, each against the plain work it
// cannot do with less.
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/BenchCase.h"
#include "bench/BenchTempFile.h"
#include "core/context/CKContext.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKRenderManager.h"
#include "core/context/CKStartUp.h"
#include "render/context/CKRenderEngine.h"
#include "render/context/RCKRenderContext.h"
#include "render/context/RCKRenderManager.h"
#include "render/objects/pointcloud/CloudTreeBuilder.h"
#include "render/objects/pointcloud/RCK3dPointCloud.h"

namespace {

CKContext* Context()
{
    static CKContext* context = [] {
        CKStartUp();
        CKGetPluginManager()->RegisterPlugin(0, CKGetRenderEnginePluginInfo(0), nullptr, nullptr);
        CKGetPluginManager()->AddStaticDll("Render Engine", 1);
        CKContext* c = nullptr;
        CKCreateContext(&c, nullptr, nullptr);
        return c;
    }();
    return context;
}

std::vector<QxVector> Points(int count, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-100.0f, 100.0f);
    std::vector<QxVector> p((size_t) count);
    for (QxVector& v : p)
        v = QxVector(u(rng), u(rng), u(rng));
    return p;
}

// Point files of n lines "x z y r g b" with their header, kept for the run.
struct AsciiFile
{
    std::string Path;
    std::string Text;
};

void WriteText(const std::string& path, const char* data, size_t size)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        std::abort();
    std::fwrite(data, 1, size, f);
    std::fclose(f);
}

const AsciiFile& Ascii(int lines)
{
    static std::map<int, AsciiFile> files;
    AsciiFile& f = files[lines];
    if (!f.Path.empty())
        return f;
    const std::vector<QxVector> p = Points(lines, 7);
    QxBbox box(p[0], p[0]);
    char line[96];
    for (int i = 0; i < lines; ++i) {
        box.Merge(p[i]);
        const int n = std::snprintf(line, sizeof(line), "%.4f %.4f %.4f %d %d %d\n", p[i].x, p[i].z, p[i].y, i & 255,
                                    (i >> 3) & 255, 200);
        f.Text.append(line, (size_t) n);
    }
    f.Path = BenchTempFile("cloud" + std::to_string(lines) + ".asc");
    WriteText(f.Path, f.Text.data(), f.Text.size());
    const QxVector size = box.Max - box.Min;
    char header[512];
    const int n =
        std::snprintf(header, sizeof(header),
                      "Version 1\nPoints %d\nFormat 4\nPrecision (%g,%g,%g)\nBoxMin (%f,%f,%f)\n"
                      "BoxMax (%f,%f,%f)\nTranslate (0,0,0)\nRescale 1\n",
                      lines, size.x * 5e-6, size.z * 5e-6, size.y * 5e-6, box.Min.x - 0.001, box.Min.z - 0.001,
                      box.Min.y - 0.001, box.Max.x + 0.001, box.Max.z + 0.001, box.Max.y + 0.001);
    WriteText(f.Path + ".desc", header, (size_t) n);
    return f;
}

BENCH_CASE_DOES("AsciiLoad", "ours: a point file of x z y r g b lines with its header read into a cloud (numbers "
                             "converted, colours packed, points inserted, pages stored); fromchars: the same text "
                             "cut into lines and its six numbers converted with std::from_chars, nothing kept");

void BM_AsciiLoad(benchmark::State& state)
{
    const AsciiFile& f = Ascii((int) state.range(0));
    CKContext* context = Context();
    for (auto _ : state) {
        auto* cloud = static_cast<RCK3dPointCloud*>(context->CreateObject(CKCID_3DPOINTCLOUD, "c"));
        benchmark::DoNotOptimize(cloud->CreateFromAsciiFile(f.Path.c_str()));
        context->DestroyObject(cloud);
    }
    state.counters["lines/s"] =
        benchmark::Counter((double) state.range(0), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_AsciiTokenise(benchmark::State& state)
{
    const AsciiFile& f = Ascii((int) state.range(0));
    for (auto _ : state) {
        // Read from the file like ours, and convert every number.
        FILE* in = std::fopen(f.Path.c_str(), "rb");
        std::string text(f.Text.size(), '\0');
        const size_t got = std::fread(text.data(), 1, text.size(), in);
        std::fclose(in);
        const char* p = text.data();
        const char* end = p + got;
        double sum = 0;
        while (p < end) {
            const char* eol = static_cast<const char*>(std::memchr(p, '\n', (size_t) (end - p)));
            if (!eol)
                eol = end;
            for (int k = 0; k < 6 && p < eol; ++k) {
                while (p < eol && *p == ' ')
                    ++p;
                float v = 0;
                const auto r = std::from_chars(p, eol, v);
                p = r.ptr == p ? p + 1 : r.ptr;
                sum += v;
            }
            p = eol + 1;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.counters["lines/s"] =
        benchmark::Counter((double) state.range(0), benchmark::Counter::kIsIterationInvariantRate);
}

BENCH_CASE_DOES("CloudInsert", "ours: random points inserted one by one into the subdivision and stored in pages "
                               "(peak: building blocks + pages); mortonsort: the same points given 64-bit Morton "
                               "keys (21 bits an axis) in the same box and sorted with std::sort");

void BM_CloudInsert(benchmark::State& state)
{
    const int count = (int) state.range(0);
    static std::map<int, std::vector<QxVector>> cache;
    std::vector<QxVector>& p = cache[count];
    if (p.empty())
        p = Points(count, 3);
    const QxVector min(-100, -100, -100), size(200, 200, 200);
    double peak = 0, pages = 0;
    for (auto _ : state) {
        CloudTreeBuilder builder;
        builder.Start(min, size, size * 5e-6f);
        for (int i = 0; i < count; ++i)
            builder.Insert(p[i], (CKDWORD) i);
        const double building = (double) builder.GetMemory();
        CloudTree tree;
        builder.Finish(tree);
        pages = (double) tree.GetBytes();
        peak = std::max(peak, building + pages);
        benchmark::DoNotOptimize(tree.Pages.data());
    }
    state.counters["tree_bytes/point"] = pages / count;
    state.counters["peak_bytes/point"] = peak / count;
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    state.counters["process_peak_MB"] = (double) usage.ru_maxrss / 1024.0;
}

void BM_MortonSort(benchmark::State& state)
{
    const int count = (int) state.range(0);
    const std::vector<QxVector> p = Points(count, 3);
    auto spread = [](uint64_t v) {
        v &= 0x1FFFFF;
        v = (v | v << 32) & 0x1F00000000FFFFull;
        v = (v | v << 16) & 0x1F0000FF0000FFull;
        v = (v | v << 8) & 0x100F00F00F00F00Full;
        v = (v | v << 4) & 0x10C30C30C30C30C3ull;
        v = (v | v << 2) & 0x1249249249249249ull;
        return v;
    };
    for (auto _ : state) {
        std::vector<uint64_t> keys((size_t) count);
        for (int i = 0; i < count; ++i) {
            const uint64_t x = (uint64_t) ((p[i].x + 100.0f) / 200.0f * 2097151.0f);
            const uint64_t y = (uint64_t) ((p[i].y + 100.0f) / 200.0f * 2097151.0f);
            const uint64_t z = (uint64_t) ((p[i].z + 100.0f) / 200.0f * 2097151.0f);
            keys[i] = spread(x) | spread(y) << 1 | spread(z) << 2;
        }
        std::sort(keys.begin(), keys.end());
        benchmark::DoNotOptimize(keys.data());
    }
}

// A cloud with colours drawn, on a NULL-rasterizer context.
struct DrawnCloud
{
    RCK3dPointCloud* Cloud = nullptr;
    RCKRenderContext* Rc = nullptr;
    size_t Bytes = 0;
};

DrawnCloud& Drawn(int count)
{
    static std::map<int, DrawnCloud> clouds;
    DrawnCloud& d = clouds[count];
    if (d.Cloud)
        return d;
    CKContext* context = Context();
    RCKRenderManager* manager = static_cast<RCKRenderManager*>(context->GetRenderManager());
    manager->GetSettings().PointsMaxTimeToFillVB = 1e30f;
    QxIntRect rect{0, 0, 64, 48};
    d.Rc = static_cast<RCKRenderContext*>(manager->CreateRenderContext(nullptr, 0, &rect));
    d.Cloud = static_cast<RCK3dPointCloud*>(context->CreateObject(CKCID_3DPOINTCLOUD, "drawn"));
    const std::vector<QxVector> p = Points(count, 5);
    std::vector<CKDWORD> colors((size_t) count);
    for (int i = 0; i < count; ++i)
        colors[i] = 0xFF000000 | (CKDWORD) i * 2654435761u;
    QxVector precision;
    d.Cloud->CreateFromBuffers(count, p.data(), nullptr, colors.data(), nullptr, precision);
    d.Cloud->SetAttributeDrawn(CLOUD_ATTRIBUTE_COLORS, TRUE);
    d.Cloud->ModifyMoveableFlags(CK_3DENTITY_FRUSTUMTESTED, 0);
    d.Cloud->Render(d.Rc, 0);
    for (const CloudVertexGroup& g : d.Cloud->GetVertexGroups().Groups)
        for (int level : {0, 3})
            d.Bytes += (size_t) g.Levels[level].VertexCount * d.Cloud->GetVertexSize();
    return d;
}

BENCH_CASE_DOES("CloudFill", "ours: a frame that writes again every vertex of levels 0 and 3 of a cloud (position "
                             "rebuilt from the subdivision, 5-6-5 colour unpacked) into its existing vertex buffers, "
                             "culling and drawing included; memcpy: the same number of bytes copied into one "
                             "existing buffer");
BENCH_CASE_PEER_KIND("CloudFill", "memcpy", "lower bound");

void BM_CloudFill(benchmark::State& state)
{
    DrawnCloud& d = Drawn((int) state.range(0));
    QxVector position(0, 0, 0);
    for (auto _ : state) {
        // Moving the cloud with its box makes every position be written
        // again.
        position.x = position.x == 0.0f ? 1.0f : 0.0f;
        d.Cloud->SetPositionAndBox(&position);
        d.Cloud->ModifyMoveableFlags(CK_3DENTITY_FRUSTUMTESTED, 0);
        d.Cloud->Render(d.Rc, 0);
    }
    state.SetBytesProcessed((int64_t) state.iterations() * (int64_t) d.Bytes);
}

void BM_FillMemcpy(benchmark::State& state)
{
    DrawnCloud& d = Drawn((int) state.range(0));
    std::vector<CKBYTE> source(d.Bytes, 1), destination(d.Bytes, 0);
    for (auto _ : state) {
        std::memcpy(destination.data(), source.data(), d.Bytes);
        benchmark::DoNotOptimize(destination.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed((int64_t) state.iterations() * (int64_t) d.Bytes);
}

BENCH_CASE_DOES("CloudBoxSelect", "ours: 100 random box selections (arg 1: boxes of 1/1000 of the cloud's volume, "
                                  "arg 2: boxes covering it) through the subdivision into a selection; brute: the "
                                  "same boxes tested against a flat array of every point's position and index");

struct SelectCase
{
    RCK3dPointCloud* Cloud = nullptr;
    CloudSelection* Selection = nullptr;
    std::vector<CloudSelectionEntry> Flat;
    std::vector<QxBbox> Small, Large;
};

SelectCase& Select(int count)
{
    static std::map<int, SelectCase> cases;
    SelectCase& s = cases[count];
    if (s.Cloud)
        return s;
    s.Cloud = static_cast<RCK3dPointCloud*>(Context()->CreateObject(CKCID_3DPOINTCLOUD, "select"));
    const std::vector<QxVector> p = Points(count, 9);
    QxVector precision;
    s.Cloud->CreateFromBuffers(count, p.data(), nullptr, nullptr, nullptr, precision);
    s.Selection = s.Cloud->CreateSelection("s", count);
    CloudIterator* it = s.Cloud->GetIterator();
    while (it->NextPoint()) {
        CloudSelectionEntry e;
        it->GetPointPosition(&e.Position);
        e.PointIndex = it->GetPointIndex();
        s.Flat.push_back(e);
    }
    std::mt19937 rng(4);
    std::uniform_real_distribution<float> u(-100, 90);
    for (int i = 0; i < 100; ++i) {
        const QxVector a(u(rng), u(rng), u(rng));
        s.Small.emplace_back(a, a + QxVector(20, 20, 20));
        s.Large.emplace_back(QxVector(-101 - (float) i, -101, -101), QxVector(101, 101, 101));
    }
    return s;
}

void BM_BoxSelect(benchmark::State& state)
{
    SelectCase& s = Select((int) state.range(0));
    const std::vector<QxBbox>& boxes = state.range(1) == 1 ? s.Small : s.Large;
    int64_t found = 0;
    for (auto _ : state)
        for (const QxBbox& box : boxes)
            found += s.Cloud->SelectInBox(box, s.Selection);
    state.counters["points/query"] = (double) found / (double) (state.iterations() * boxes.size());
}

void BM_BoxBrute(benchmark::State& state)
{
    SelectCase& s = Select((int) state.range(0));
    const std::vector<QxBbox>& boxes = state.range(1) == 1 ? s.Small : s.Large;
    std::vector<CloudSelectionEntry> out;
    out.reserve(s.Flat.size());
    int64_t found = 0;
    for (auto _ : state)
        for (const QxBbox& box : boxes) {
            out.clear();
            for (const CloudSelectionEntry& e : s.Flat)
                if (box.VectorIn(e.Position))
                    out.push_back(e);
            found += (int64_t) out.size();
            benchmark::DoNotOptimize(out.data());
        }
    state.counters["points/query"] = (double) found / (double) (state.iterations() * boxes.size());
}

} // namespace

BENCHMARK(BM_AsciiLoad)->Name("AsciiLoad/ours")->Arg(20000)->Arg(200000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AsciiTokenise)->Name("AsciiLoad/fromchars")->Arg(20000)->Arg(200000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CloudInsert)
    ->Name("CloudInsert/ours")
    ->Arg(1000000)
    ->Arg(10000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(BM_MortonSort)
    ->Name("CloudInsert/mortonsort")
    ->Arg(1000000)
    ->Arg(10000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(BM_CloudFill)->Name("CloudFill/ours")->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillMemcpy)->Name("CloudFill/memcpy")->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BoxSelect)
    ->Name("CloudBoxSelect/ours")
    ->Args({100000, 1})
    ->Args({1000000, 1})
    ->Args({100000, 2})
    ->Args({1000000, 2})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BoxBrute)
    ->Name("CloudBoxSelect/brute")
    ->Args({100000, 1})
    ->Args({1000000, 1})
    ->Args({100000, 2})
    ->Args({1000000, 2})
    ->Unit(benchmark::kMillisecond);

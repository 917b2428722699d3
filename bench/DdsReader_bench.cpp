#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

#include <squish.h>

#include "bench/BenchCase.h"
#include "platform/PlatformDdsFile.h"
#include "readers/dds/DDSReader.h"

#ifdef _OPENMP
#include <omp.h>
#endif

// The DDS reader's decode of a 2048 x 2048 DXT1 or DXT5 texture into 32-bit
// ARGB (ReadMemory of the whole file) against libsquish's own
// DecompressImage of the same blocks into RGBA. Both make a new image each
// time, as a read does. Bytes per second count decoded pixel bytes.
// Debian's libsquish spreads DecompressImage over OpenMP threads, while the
// reader decodes on the calling thread: the peer runs on a team of one, so
// that both sides do the same work on one thread.
namespace {

constexpr int kSize = 2048;

std::vector<uint8_t> MakeFile(uint32_t format, int flags)
{
    std::vector<uint8_t> rgba(size_t(kSize) * kSize * 4);
    uint32_t seed = 12345;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            seed = seed * 214013 + 2531011;
            uint8_t* p = &rgba[(size_t(y) * kSize + x) * 4];
            p[0] = uint8_t(x / 8 + ((seed >> 16) & 7));
            p[1] = uint8_t(y / 8 + (x * y) / 40000);
            p[2] = uint8_t(128 + (x - y) / 16);
            p[3] = uint8_t(255 - (x + y) / 16);
        }
    const int blocks = squish::GetStorageRequirements(kSize, kSize, flags);
    std::vector<uint8_t> file(PLATFORM_DDS_HEADER_BYTES + size_t(blocks));
    PlatformDdsWriteHeader(file.data(), format, kSize, kSize);
    // The quick fit: the blocks' content does not change decoding time.
    squish::CompressImage(rgba.data(), kSize, kSize, file.data() + PLATFORM_DDS_HEADER_BYTES,
                          flags | squish::kColourRangeFit);
    return file;
}

const std::vector<uint8_t>& File(int flags)
{
    static const std::vector<uint8_t> dxt1 = MakeFile(PLATFORM_D3DFMT_DXT1, squish::kDxt1);
    static const std::vector<uint8_t> dxt5 = MakeFile(PLATFORM_D3DFMT_DXT5, squish::kDxt5);
    return flags == squish::kDxt1 ? dxt1 : dxt5;
}

void DdsReaderDecode(benchmark::State& state, int flags)
{
    const std::vector<uint8_t>& file = File(flags);
    DDSReader reader;
    for (auto _ : state) {
        CKBitmapProperties* p = nullptr;
        if (reader.ReadMemory(file.data(), (CKDWORD) file.size(), &p) != 0) {
            state.SkipWithError("the texture did not read");
            break;
        }
        benchmark::DoNotOptimize(p->m_Data);
        reader.ReleaseMemory(p->m_Data);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kSize * kSize * 4);
}

void SquishDecompressImage(benchmark::State& state, int flags)
{
    const std::vector<uint8_t>& file = File(flags);
#ifdef _OPENMP
    omp_set_num_threads(1);
#endif
    for (auto _ : state) {
        // Not cleared, as the reader's own block is not.
        std::unique_ptr<uint8_t[]> rgba(new uint8_t[size_t(kSize) * kSize * 4]);
        squish::DecompressImage(rgba.get(), kSize, kSize, file.data() + PLATFORM_DDS_HEADER_BYTES, flags);
        benchmark::DoNotOptimize(rgba.get());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kSize * kSize * 4);
}

} // namespace

BENCHMARK_CAPTURE(DdsReaderDecode, dxt1, squish::kDxt1)->Name("DxtDecode/ours/dxt1")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SquishDecompressImage, dxt1, squish::kDxt1)
    ->Name("DxtDecode/libsquish/dxt1")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(DdsReaderDecode, dxt5, squish::kDxt5)->Name("DxtDecode/ours/dxt5")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SquishDecompressImage, dxt5, squish::kDxt5)
    ->Name("DxtDecode/libsquish/dxt5")
    ->Unit(benchmark::kMillisecond);
BENCH_CASE_DOES("DxtDecode", "ours: DdsReader::ReadMemory of a 2048x2048 DXT1 or DXT5 file to new 32-bit ARGB; "
                             "libsquish: DecompressImage of the same blocks to new RGBA, on one OpenMP thread");

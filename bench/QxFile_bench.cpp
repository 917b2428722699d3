#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "bench/BenchCase.h"
#include "bench/BenchTempFile.h"
#include "system/io/QxCachedFile.h"
#include "system/io/QxMemoryMappedFile.h"

// The cached file against buffered stdio (fread through a buffer of the
// cached file's block size) for random and sequential reads, and against
// pread for random reads, and the mapped file's sequential read against
// read() of the same file. The file is 16 MB, in the page cache after its
// first read. pread has no block: it runs once per block size of the cached
// file, for the pairing.
namespace {

constexpr size_t kFileSize = 16 << 20;

const std::string& TestFile()
{
    static std::string path;
    if (path.empty()) {
        path = BenchTempFile("random.bin");
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<char> bytes(kFileSize);
        std::mt19937 rng(1);
        for (char& c : bytes)
            c = static_cast<char>(rng());
        ssize_t written = ::write(fd, bytes.data(), bytes.size());
        (void) written;
        ::close(fd);
    }
    return path;
}

std::vector<CKDWORD> RandomOffsets(size_t count, CKDWORD readSize)
{
    std::mt19937 rng(2);
    std::vector<CKDWORD> offsets(count);
    for (CKDWORD& o : offsets)
        o = rng() % static_cast<CKDWORD>(kFileSize - readSize);
    return offsets;
}

// Random reads: range(0) bytes each; range(1) the block size.
void BM_CachedFile_RandomRead(benchmark::State& state)
{
    CKDWORD size = static_cast<CKDWORD>(state.range(0));
    QxCachedFile file(static_cast<CKDWORD>(state.range(1)));
    file.Open(TestFile().c_str(), QX_FILE_READ);
    std::vector<CKDWORD> offsets = RandomOffsets(4096, size);
    std::vector<char> buffer(size);
    size_t i = 0;
    for (auto _ : state) {
        file.Seek(static_cast<int>(offsets[i++ & 4095]), QX_SEEK_BEGIN);
        benchmark::DoNotOptimize(file.Read(buffer.data(), size));
    }
    state.SetBytesProcessed(state.iterations() * size);
}

void BM_Pread_RandomRead(benchmark::State& state)
{
    CKDWORD size = static_cast<CKDWORD>(state.range(0));
    int fd = ::open(TestFile().c_str(), O_RDONLY);
    std::vector<CKDWORD> offsets = RandomOffsets(4096, size);
    std::vector<char> buffer(size);
    size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(::pread(fd, buffer.data(), size, offsets[i++ & 4095]));
    ::close(fd);
    state.SetBytesProcessed(state.iterations() * size);
}

// A stdio stream on the test file whose buffer is block bytes, as the cached
// file's block (glibc sizes a buffer it allocates itself by the file system,
// whatever size setvbuf is given).
struct StdioFile
{
    std::vector<char> buffer;
    std::FILE* file;

    explicit StdioFile(size_t block) : buffer(block), file(std::fopen(TestFile().c_str(), "rb"))
    {
        std::setvbuf(file, buffer.data(), _IOFBF, block);
    }
    ~StdioFile() { std::fclose(file); }
};

void BM_Stdio_RandomRead(benchmark::State& state)
{
    size_t size = static_cast<size_t>(state.range(0));
    StdioFile stdio(static_cast<size_t>(state.range(1)));
    std::vector<CKDWORD> offsets = RandomOffsets(4096, static_cast<CKDWORD>(size));
    std::vector<char> buffer(size);
    size_t i = 0;
    for (auto _ : state) {
        std::fseek(stdio.file, static_cast<long>(offsets[i++ & 4095]), SEEK_SET);
        benchmark::DoNotOptimize(std::fread(buffer.data(), 1, size, stdio.file));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(size));
}

// Sequential reads of range(0) bytes from the start to the end, over and over.
void BM_CachedFile_SequentialRead(benchmark::State& state)
{
    CKDWORD size = static_cast<CKDWORD>(state.range(0));
    QxCachedFile file(static_cast<CKDWORD>(state.range(1)));
    file.Open(TestFile().c_str(), QX_FILE_READ);
    std::vector<char> buffer(size);
    for (auto _ : state) {
        if (file.Read(buffer.data(), size) < size)
            file.Seek(0, QX_SEEK_BEGIN);
    }
    state.SetBytesProcessed(state.iterations() * size);
}

void BM_Stdio_SequentialRead(benchmark::State& state)
{
    size_t size = static_cast<size_t>(state.range(0));
    StdioFile stdio(static_cast<size_t>(state.range(1)));
    std::vector<char> buffer(size);
    for (auto _ : state) {
        if (std::fread(buffer.data(), 1, size, stdio.file) < size)
            std::rewind(stdio.file);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(size));
}

// The whole file: open, touch every byte through 64 KB copies, close.
void BM_MappedFile_WholeFile(benchmark::State& state)
{
    std::vector<char> buffer(65536);
    for (auto _ : state) {
        QxMemoryMappedFile file(TestFile().c_str());
        const char* data = static_cast<const char*>(file.GetBase());
        for (CKDWORD done = 0; done < file.GetFileSize(); done += 65536) {
            std::memcpy(buffer.data(), data + done, 65536);
            benchmark::ClobberMemory();
        }
    }
    state.SetBytesProcessed(state.iterations() * kFileSize);
}

void BM_Read_WholeFile(benchmark::State& state)
{
    std::vector<char> buffer(65536);
    for (auto _ : state) {
        int fd = ::open(TestFile().c_str(), O_RDONLY);
        while (::read(fd, buffer.data(), buffer.size()) > 0)
            benchmark::ClobberMemory();
        ::close(fd);
    }
    state.SetBytesProcessed(state.iterations() * kFileSize);
}

} // namespace

// Arguments: bytes per read, the cached file's block size.
#define QX_FILE_RANDOM_CASES                                                                                           \
    ->ArgNames({"bytes", "block"})->Args({256, 4096})->Args({256, 65536})->Args({4096, 4096})->Args({65536, 65536})
#define QX_FILE_SEQUENTIAL_CASES                                                                                       \
    ->ArgNames({"bytes", "block"})->Args({64, 4096})->Args({64, 65536})->Args({4096, 65536})->Args({65536, 65536})
BENCHMARK(BM_CachedFile_RandomRead)->Name("CachedFileRandomRead/ours") QX_FILE_RANDOM_CASES;
BENCHMARK(BM_Stdio_RandomRead)->Name("CachedFileRandomRead/stdio") QX_FILE_RANDOM_CASES;
BENCHMARK(BM_Pread_RandomRead)->Name("CachedFileRandomRead/pread") QX_FILE_RANDOM_CASES;
BENCHMARK(BM_CachedFile_SequentialRead)->Name("CachedFileSequentialRead/ours") QX_FILE_SEQUENTIAL_CASES;
BENCHMARK(BM_Stdio_SequentialRead)->Name("CachedFileSequentialRead/stdio") QX_FILE_SEQUENTIAL_CASES;
BENCHMARK(BM_MappedFile_WholeFile)->Name("MappedFileWholeRead/ours");
BENCHMARK(BM_Read_WholeFile)->Name("MappedFileWholeRead/read");
BENCH_CASE_DOES("CachedFileRandomRead", "ours: QxCachedFile Seek and Read of the bytes named at a random offset of a "
                                        "16 MB file, through blocks of the size named; stdio: fseek and fread of the "
                                        "same bytes at the same offsets through a buffer of the block size; pread: "
                                        "pread(2) of the same bytes at the same offsets, no block");
BENCH_CASE_DOES("CachedFileSequentialRead", "ours: QxCachedFile Read of the bytes named, one after the other through "
                                            "the file; stdio: fread of the same bytes through a buffer of the block "
                                            "size (rewind at the end, as ours seeks)");
BENCH_CASE_DOES("MappedFileWholeRead", "ours: QxMemoryMappedFile of the 16 MB file, every byte copied out in 64 KB "
                                       "pieces; read: open and read(2) of the file in 64 KB pieces");

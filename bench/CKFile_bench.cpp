// Saving and loading engine files against peers that do the same kind of
// work on the same bytes, the file this engine just wrote:
// - plain save: write(2) of the whole file into a new file;
// - compressed save: compress2 of the header data and of the data section
//   (each as the file holds it unpacked, at the same level), then write(2)
//   of the 64-byte header and both results;
// - plain load: read(2) of the whole file into newly allocated memory;
// - compressed load: read(2) of the whole file, then uncompress of both
//   sections into newly allocated memory.
// Both sides find the file resident in the page cache (it was just written)
// and both fill fresh memory. What the format makes ours do beyond its peer
// is timed apart: the objects' own work (each writes and closes its state
// chunk; each is created and reads its chunk) and the data section's
// Adler-32. Two contents: 100,000 small objects, and one object holding a
// 100 MB mesh-like buffer.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

#include "bench/BenchTempFile.h"
#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKStartUp.h"
#include "core/file/CKFile.h"
#include "core/file/CKFileChecksum.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKObject.h"
#include "includes/CKByteOrder.h"

namespace {

constexpr int kLevel = 4;

// A small object with a few fields and a reference, or one large buffer.
class BenchItem : public CKClass<BenchItem, CKObject, 0>
{
public:
    explicit BenchItem(CKContext* context) : CKClass(context) {}
    int GetMemoryOccupation() override { return CKObject::GetMemoryOccupation() + 32 + m_Size; }
    CKStateChunk* Save(CKFile* file, CKDWORD flags) override
    {
        CKStateChunk* chunk = CKObject::Save(file, flags);
        chunk->WriteIdentifier(0x100);
        chunk->WriteInt(m_Value);
        chunk->WriteFloat((float) m_Value * 0.5f);
        chunk->WriteObjectID(m_Ref);
        chunk->WriteBuffer(m_Size, m_Data.get());
        return chunk;
    }
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override
    {
        CKObject::Load(chunk, file);
        if (chunk->SeekIdentifier(0x100)) {
            m_Value = chunk->ReadInt();
            chunk->ReadFloat();
            m_Ref = chunk->ReadObjectID();
            void* block = nullptr;
            m_Size = chunk->ReadBuffer(&block);
            m_Data.reset(static_cast<CKBYTE*>(block));
        }
        return 0;
    }

    int m_Value = 0;
    CK_ID m_Ref = 0;
    std::unique_ptr<CKBYTE[]> m_Data;
    int m_Size = 0;
    static const char* GetClassName() { return "Bench Item"; }
};

using Bytes = std::vector<CKBYTE>;

enum Content
{
    ManyObjects = 0,
    LargeBuffer = 1,
};

struct World
{
    CKContext* context = nullptr;
    std::vector<CK_ID> ids;
    std::string path;
};

World& GetWorld(Content content)
{
    static World worlds[2];
    World& w = worlds[content];
    if (w.context)
        return w;
    static bool started = false;
    if (!started) {
        CKStartUp();
        CKClassRegisterT<BenchItem, CKObject>("BenchItem");
        CKBuildClassHierarchyTable();
        started = true;
    }
    CKCreateContext(&w.context, nullptr, nullptr);
    w.path = BenchTempFile(content == ManyObjects ? "many.qdx" : "large.qdx");
    if (content == ManyObjects) {
        for (int i = 0; i < 100000; ++i) {
            char name[32];
            std::snprintf(name, sizeof(name), "Object%06d", i);
            auto* item = static_cast<BenchItem*>(w.context->CreateObject(BenchItem::m_ClassID, name));
            item->m_Value = i;
            item->m_Ref = w.ids.empty() ? 0 : w.ids[(size_t) (i * 7) % w.ids.size()];
            w.ids.push_back(item->GetID());
        }
    } else {
        auto* item = static_cast<BenchItem*>(w.context->CreateObject(BenchItem::m_ClassID, "Mesh"));
        const int size = 100 << 20;
        item->m_Data.reset(new CKBYTE[size]);
        item->m_Size = size;
        // Vertex-like records: positions on a slow grid, normals, UVs.
        for (int i = 0; i + 32 <= size; i += 32) {
            float v[8] = {(float) (i % 4096) * 0.01f, (float) (i / 4096) * 0.01f,      0.5f, 0.0f, 0.0f, 1.0f,
                          (float) (i % 256) / 256.0f, (float) (i / 256 % 256) / 256.0f};
            std::memcpy(item->m_Data.get() + i, v, 32);
        }
        w.ids.push_back(item->GetID());
    }
    return w;
}

CKERROR SaveWorld(World& w, int mode)
{
    w.context->SetFileWriteMode(mode);
    w.context->SetCompressionLevel(kLevel);
    CKFile* file = w.context->CreateCKFile();
    CKERROR result = file->StartSave(w.path.c_str());
    for (CK_ID id : w.ids)
        file->SaveObject(w.context->GetObject(id));
    if (result == 0)
        result = file->EndSave();
    w.context->DeleteCKFile(file);
    return result;
}

Bytes ReadAll(const std::string& path)
{
    Bytes bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return bytes;
    std::fseek(f, 0, SEEK_END);
    bytes.resize((size_t) std::ftell(f));
    std::fseek(f, 0, SEEK_SET);
    if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size())
        bytes.clear();
    std::fclose(f);
    return bytes;
}

// The two sections of a saved file as stored and, for the peers, unpacked.
struct Image
{
    Bytes file;
    Bytes header; // header data, unpacked
    Bytes data;   // data section, unpacked
    size_t headerStored = 0;
    size_t dataStored = 0;
};

const Image& FileImage(Content content, int mode)
{
    static Image images[2][2];
    Image& image = images[content][mode != 0];
    if (!image.file.empty())
        return image;
    World& w = GetWorld(content);
    SaveWorld(w, 0);
    Bytes plain = ReadAll(w.path);
    size_t header = LoadLE32(plain.data() + 28);
    size_t data = LoadLE32(plain.data() + 32);
    image.header.assign(plain.begin() + 64, plain.begin() + 64 + (long) header);
    image.data.assign(plain.begin() + 64 + (long) header, plain.begin() + 64 + (long) (header + data));
    SaveWorld(w, mode);
    image.file = ReadAll(w.path);
    image.headerStored = LoadLE32(image.file.data() + 28);
    image.dataStored = LoadLE32(image.file.data() + 32);
    return image;
}

void SetCounters(benchmark::State& state, const Image& image)
{
    state.counters["file_MB"] = (double) image.file.size() / (1 << 20);
    state.counters["data_MB"] = (double) image.data.size() / (1 << 20);
}

bool WriteFile(const std::string& path, const void* bytes, size_t n, int fd = -1)
{
    bool own = fd < 0;
    if (own)
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const char* p = static_cast<const char*>(bytes);
    while (n > 0) {
        ssize_t done = ::write(fd, p, n);
        if (done <= 0)
            break;
        p += done;
        n -= (size_t) done;
    }
    if (own)
        ::close(fd);
    return n == 0;
}

// The whole file in newly allocated memory (the caller frees it).
char* ReadFile(const std::string& path, size_t& size)
{
    int fd = ::open(path.c_str(), O_RDONLY);
    struct stat info;
    if (fd < 0 || ::fstat(fd, &info) != 0)
        return nullptr;
    size = (size_t) info.st_size;
    char* bytes = static_cast<char*>(std::malloc(size));
    size_t done = 0;
    while (bytes && done < size) {
        ssize_t n = ::read(fd, bytes + done, size - done);
        if (n <= 0)
            break;
        done += (size_t) n;
    }
    ::close(fd);
    return bytes;
}

std::string PeerPath()
{
    return BenchTempFile("peer.qdx");
}

// The file both loads read: the saved image, freshly written (so resident).
std::string LoadPath(const Image& image)
{
    std::string path = BenchTempFile("load.qdx");
    WriteFile(path, image.file.data(), image.file.size());
    return path;
}

void BM_Save(benchmark::State& state)
{
    Content content = (Content) state.range(0);
    int mode = state.range(1) ? (int) CKFILE_WHOLECOMPRESSED : 0;
    World& w = GetWorld(content);
    const Image& image = FileImage(content, mode);
    for (auto _ : state)
        if (SaveWorld(w, mode) != 0)
            state.SkipWithError("save failed");
    SetCounters(state, image);
}

void BM_PeerSave(benchmark::State& state)
{
    Content content = (Content) state.range(0);
    int mode = state.range(1) ? (int) CKFILE_WHOLECOMPRESSED : 0;
    const Image& image = FileImage(content, mode);
    std::string path = PeerPath();
    for (auto _ : state) {
        if (mode == 0) {
            WriteFile(path, image.file.data(), image.file.size());
            continue;
        }
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        WriteFile(path, image.file.data(), 64, fd);
        for (const Bytes* section : {&image.header, &image.data}) {
            uLongf size = compressBound(section->size());
            std::unique_ptr<Bytef[]> packed(new Bytef[size]);
            compress2(packed.get(), &size, section->data(), section->size(), kLevel);
            WriteFile(path, packed.get(), size, fd);
        }
        ::close(fd);
    }
    std::remove(path.c_str());
    SetCounters(state, image);
}

void BM_Load(benchmark::State& state)
{
    Content content = (Content) state.range(0);
    int mode = state.range(1) ? (int) CKFILE_WHOLECOMPRESSED : 0;
    const Image& image = FileImage(content, mode);
    std::string path = LoadPath(image);
    for (auto _ : state) {
        state.PauseTiming();
        CKContext* fresh = nullptr;
        CKCreateContext(&fresh, nullptr, nullptr);
        CKFile* file = fresh->CreateCKFile();
        state.ResumeTiming();
        if (file->Load(path.c_str(), nullptr, 0) != 0)
            state.SkipWithError("load failed");
        state.PauseTiming();
        fresh->DeleteCKFile(file);
        CKCloseContext(fresh);
        state.ResumeTiming();
    }
    SetCounters(state, image);
}

void BM_PeerLoad(benchmark::State& state)
{
    Content content = (Content) state.range(0);
    int mode = state.range(1) ? (int) CKFILE_WHOLECOMPRESSED : 0;
    const Image& image = FileImage(content, mode);
    std::string path = LoadPath(image);
    for (auto _ : state) {
        size_t size = 0;
        char* bytes = ReadFile(path, size);
        if (mode != 0) {
            const Bytef* stored = reinterpret_cast<const Bytef*>(bytes) + 64;
            for (auto [section, storedSize] :
                 {std::pair(&image.header, image.headerStored), std::pair(&image.data, image.dataStored)}) {
                uLongf unpacked = section->size();
                char* out = static_cast<char*>(std::malloc(unpacked));
                uncompress(reinterpret_cast<Bytef*>(out), &unpacked, stored, storedSize);
                benchmark::DoNotOptimize(out);
                std::free(out);
                stored += storedSize;
            }
        }
        benchmark::DoNotOptimize(bytes);
        std::free(bytes);
    }
    SetCounters(state, image);
}

// An object's state chunk, written and closed as EndSave has it done.
CKStateChunk* ObjectChunk(World& w, CK_ID id)
{
    CKStateChunk* chunk = w.context->GetObject(id)->Save(nullptr, 0);
    chunk->CloseChunk();
    return chunk;
}

// The objects' own share of a save: each writes and closes its state chunk,
// with no file.
void BM_ObjectChunksOnly(benchmark::State& state)
{
    World& w = GetWorld((Content) state.range(0));
    for (auto _ : state)
        for (CK_ID id : w.ids) {
            CKStateChunk* chunk = ObjectChunk(w, id);
            benchmark::DoNotOptimize(chunk->ConvertToBuffer(nullptr));
            CKDeleteStateChunk(chunk);
        }
}

// The objects' own share of a load: each is created by name and reads its
// chunk, with no file.
void BM_ObjectCreateAndLoadOnly(benchmark::State& state)
{
    World& w = GetWorld((Content) state.range(0));
    std::vector<CKStateChunk*> chunks;
    for (CK_ID id : w.ids)
        chunks.push_back(ObjectChunk(w, id));
    for (auto _ : state) {
        state.PauseTiming();
        CKContext* fresh = nullptr;
        CKCreateContext(&fresh, nullptr, nullptr);
        state.ResumeTiming();
        for (size_t i = 0; i < chunks.size(); ++i) {
            CKObject* source = w.context->GetObject(w.ids[i]);
            CKObject* object = fresh->CreateObject(BenchItem::m_ClassID, source->GetName());
            object->Load(chunks[i], nullptr);
        }
        state.PauseTiming();
        CKCloseContext(fresh);
        state.ResumeTiming();
    }
    for (CKStateChunk* chunk : chunks)
        CKDeleteStateChunk(chunk);
}

// The checksum every save computes (and every plain load checks) over the
// stored data section, against zlib's adler32 of the same bytes.
void BM_Checksum(benchmark::State& state)
{
    const Image& image = FileImage((Content) state.range(0), 0);
    for (auto _ : state)
        benchmark::DoNotOptimize(CKFileChecksum(0, image.data.data(), image.data.size()));
}

void BM_ZlibAdler32(benchmark::State& state)
{
    const Image& image = FileImage((Content) state.range(0), 0);
    for (auto _ : state)
        benchmark::DoNotOptimize(adler32(0, image.data.data(), (uInt) image.data.size()));
}

} // namespace

// Arguments: content (large 0: 100,000 objects, 1: one 100 MB buffer), both
// sections packed (1) or not (0).
#define CK_FILE_BENCH_CASES                                                                                            \
    ->ArgNames({"large", "packed"})                                                                                    \
        ->Args({0, 1})                                                                                                 \
        ->Args({0, 0})                                                                                                 \
        ->Args({1, 1})                                                                                                 \
        ->Args({1, 0})                                                                                                 \
        ->Unit(benchmark::kMillisecond)                                                                                \
        ->UseRealTime()
#define CK_FILE_CONTENTS ->ArgName("large")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()
BENCHMARK(BM_Save)->Name("FileSave/ours") CK_FILE_BENCH_CASES;
BENCHMARK(BM_PeerSave)->Name("FileSave/write") CK_FILE_BENCH_CASES;
BENCHMARK(BM_Load)->Name("FileLoad/ours") CK_FILE_BENCH_CASES;
BENCHMARK(BM_PeerLoad)->Name("FileLoad/read") CK_FILE_BENCH_CASES;
BENCHMARK(BM_ObjectChunksOnly)->Name("FileSaveObjectsOnly/ours") CK_FILE_CONTENTS;
BENCHMARK(BM_ObjectCreateAndLoadOnly)->Name("FileLoadObjectsOnly/ours") CK_FILE_CONTENTS;
BENCHMARK(BM_Checksum)->Name("FileChecksum/ours") CK_FILE_CONTENTS;
BENCHMARK(BM_ZlibAdler32)->Name("FileChecksum/zlib") CK_FILE_CONTENTS;

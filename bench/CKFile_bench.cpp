// Saving and loading engine files against their natural peers: zlib's
// compress2 and uncompress of the same data section at the same level for
// compressed files, and write and read of the same bytes for plain ones.
// Two contents: 100,000 small objects, and one object holding a 100 MB
// mesh-like buffer. Counters give the stored size and the data section size;
// compare the times of a row and its peer for the ratio.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>
#include <zlib.h>

#include "core/CKClassRegistry.h"
#include "core/CKContext.h"
#include "core/CKFile.h"
#include "core/CKObject.h"
#include "core/CKStartUp.h"
#include "core/CKStateChunk.h"
#include "includes/CKByteOrder.h"
#include "platform/PlatformPaths.h"

namespace {

constexpr int kLevel = 4;

// A small object with a few fields and a reference, or one large buffer.
class BenchItem : public CKObject
{
public:
    explicit BenchItem(CKContext* context) : CKObject(context) {}
    CK_CLASSID GetClassID() override { return m_ClassID; }
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
    static CK_CLASSID m_ClassID;
    static void Register() {}
    static CKObject* CreateInstance(CKContext* c) { return new BenchItem(c); }
    static void ReleaseInstance(CKContext* c, CKObject* o) { CKReleaseObjectDefault(c, o); }
    static const char* GetClassName() { return "Bench Item"; }
    static const char* GetDependencies(int, int) { return nullptr; }
    static int GetDependenciesCount(int) { return 0; }
};
CK_CLASSID BenchItem::m_ClassID = 0;

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
    w.path = PlatformGetTempPath() + (content == ManyObjects ? "ckfile_bench_many.qdx" : "ckfile_bench_large.qdx");
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
            float v[8] = {(float) (i % 4096) * 0.01f, (float) (i / 4096) * 0.01f, 0.5f, 0.0f, 0.0f, 1.0f,
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

// The data section as it stands before packing, from a plain save.
const Bytes& DataSection(Content content)
{
    static Bytes sections[2];
    Bytes& section = sections[content];
    if (!section.empty())
        return section;
    World& w = GetWorld(content);
    SaveWorld(w, 0);
    Bytes file = ReadAll(w.path);
    CKDWORD header = LoadLE32(file.data() + 28);
    CKDWORD data = LoadLE32(file.data() + 32);
    section.assign(file.begin() + 64 + header, file.begin() + 64 + header + data);
    return section;
}

void BM_Save(benchmark::State& state)
{
    Content content = (Content) state.range(0);
    int mode = (int) state.range(1);
    World& w = GetWorld(content);
    for (auto _ : state)
        if (SaveWorld(w, mode) != 0)
            state.SkipWithError("save failed");
    state.counters["file_MB"] = (double) ReadAll(w.path).size() / (1 << 20);
    state.counters["data_MB"] = (double) DataSection(content).size() / (1 << 20);
}

void BM_Load(benchmark::State& state)
{
    Content content = (Content) state.range(0);
    int mode = (int) state.range(1);
    World& w = GetWorld(content);
    SaveWorld(w, mode);
    for (auto _ : state) {
        state.PauseTiming();
        CKContext* fresh = nullptr;
        CKCreateContext(&fresh, nullptr, nullptr);
        CKFile* file = fresh->CreateCKFile();
        state.ResumeTiming();
        if (file->Load(w.path.c_str(), nullptr, 0) != 0)
            state.SkipWithError("load failed");
        state.PauseTiming();
        fresh->DeleteCKFile(file);
        CKCloseContext(fresh);
        state.ResumeTiming();
    }
}

// The objects' own share of a save: each writes and packs its state chunk,
// as EndSave has it do, with no file.
void BM_ObjectChunksOnly(benchmark::State& state)
{
    World& w = GetWorld((Content) state.range(0));
    for (auto _ : state)
        for (CK_ID id : w.ids) {
            CKStateChunk* chunk = w.context->GetObject(id)->Save(nullptr, 0);
            chunk->CloseChunk();
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
    for (CK_ID id : w.ids) {
        CKStateChunk* chunk = w.context->GetObject(id)->Save(nullptr, 0);
        chunk->CloseChunk();
        chunks.push_back(chunk);
    }
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

void BM_ZlibCompress(benchmark::State& state)
{
    const Bytes& data = DataSection((Content) state.range(0));
    Bytes out(compressBound(data.size()));
    for (auto _ : state) {
        uLongf size = out.size();
        compress2(out.data(), &size, data.data(), data.size(), kLevel);
        benchmark::DoNotOptimize(size);
    }
}

void BM_ZlibUncompress(benchmark::State& state)
{
    const Bytes& data = DataSection((Content) state.range(0));
    Bytes packed(compressBound(data.size()));
    uLongf packedSize = packed.size();
    compress2(packed.data(), &packedSize, data.data(), data.size(), kLevel);
    Bytes out(data.size());
    for (auto _ : state) {
        uLongf size = out.size();
        uncompress(out.data(), &size, packed.data(), packedSize);
        benchmark::DoNotOptimize(size);
    }
}

void BM_RawWrite(benchmark::State& state)
{
    const Bytes& data = DataSection((Content) state.range(0));
    std::string path = PlatformGetTempPath() + "ckfile_bench_raw.bin";
    for (auto _ : state) {
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        size_t done = 0;
        while (done < data.size()) {
            ssize_t n = ::write(fd, data.data() + done, data.size() - done);
            if (n <= 0)
                break;
            done += (size_t) n;
        }
        ::close(fd);
    }
    std::remove(path.c_str());
}

void BM_RawRead(benchmark::State& state)
{
    const Bytes& data = DataSection((Content) state.range(0));
    std::string path = PlatformGetTempPath() + "ckfile_bench_raw.bin";
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(data.data(), 1, data.size(), f);
    std::fclose(f);
    Bytes in(data.size());
    for (auto _ : state) {
        int fd = ::open(path.c_str(), O_RDONLY);
        size_t done = 0;
        while (done < in.size()) {
            ssize_t n = ::read(fd, in.data() + done, in.size() - done);
            if (n <= 0)
                break;
            done += (size_t) n;
        }
        ::close(fd);
        benchmark::DoNotOptimize(in.data());
    }
    std::remove(path.c_str());
}

} // namespace

// Arguments: content (0: 100,000 objects, 1: 100 MB buffer), save mode (0 plain, 8 compressed).
BENCHMARK(BM_Save)->Args({0, 8})->Args({0, 0})->Args({1, 8})->Args({1, 0})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ObjectChunksOnly)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ZlibCompress)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawWrite)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Load)->Args({0, 8})->Args({0, 0})->Args({1, 8})->Args({1, 0})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ObjectCreateAndLoadOnly)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ZlibUncompress)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawRead)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

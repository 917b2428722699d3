// Saving and loading engine files against peers that do the same work on
// the same bytes, the file this engine just wrote:
// - save: a plain C++ writer that lays the file out from the objects in
//   fresh memory: a descriptor and the name of each (an std::unordered_map
//   from id to saved index kept on the way), the managers' records as the
//   engine wrote them, each object's chunk words (its reference through the
//   map); then, packed, compress2 of both sections (at the same level);
//   zlib's adler32 over the data section as stored (the format's checksum
//   is adler32); then write(2) of the whole file into a new file beside the
//   target, renamed over it, as ours saves. Its bytes are checked against
//   ours before it is timed;
// - load: a plain C++ loader: mmap of the whole file (ours maps it too), adler32 over the
//   stored data, uncompress of both sections when packed, then the records
//   to heap objects (their names as std::string, all made before any is
//   read, an std::unordered_map from saved id to object) whose fields are
//   read from each object's chunk words, the reference through the map and
//   the buffer into new memory.
// Both sides find the file resident in the page cache (it was just written)
// and both fill fresh memory; the objects are destroyed outside the timing.
// What the format makes ours do beyond its peer is timed apart: the
// objects' own work (each writes and closes its state chunk; each is created
// and reads its chunk), against the same share of the plain peers, and the
// data section's checksum against adler32. Two contents: 10,000
// to 1,000,000 small named objects (the per-object counters show whether
// the costs stay linear), and one object holding a 100 MB mesh-like buffer.
#include <benchmark/benchmark.h>

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>
#include <zlib.h>

#include "bench/BenchCase.h"
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
constexpr CKDWORD kItemIdentifier = 0x100;

// A small object with a few fields and a reference, or one large buffer.
class BenchItem : public CKClass<BenchItem, CKObject, 0>
{
public:
    explicit BenchItem(CKContext* context) : CKClass(context) {}
    int GetMemoryOccupation() override { return CKObject::GetMemoryOccupation() + 32 + m_Size; }
    CKStateChunk* Save(CKFile* file, CKDWORD flags) override
    {
        CKStateChunk* chunk = CKObject::Save(file, flags);
        chunk->WriteIdentifier(kItemIdentifier);
        chunk->WriteInt(m_Value);
        chunk->WriteFloat((float) m_Value * 0.5f);
        chunk->WriteObjectID(m_Ref);
        chunk->WriteBuffer(m_Size, m_Data.get());
        return chunk;
    }
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override
    {
        CKObject::Load(chunk, file);
        if (chunk->SeekIdentifier(kItemIdentifier)) {
            m_Value = chunk->ReadInt();
            m_Half = chunk->ReadFloat();
            m_Ref = chunk->ReadObjectID();
            void* block = nullptr;
            m_Size = chunk->ReadBuffer(&block);
            m_Data.reset(static_cast<CKBYTE*>(block));
        }
        return 0;
    }

    int m_Value = 0;
    float m_Half = 0.0f;
    CK_ID m_Ref = 0;
    std::unique_ptr<CKBYTE[]> m_Data;
    int m_Size = 0;
    static const char* GetClassName() { return "Bench Item"; }
};

using Bytes = std::vector<CKBYTE>;

// The content of a file: that many small named objects, or (kLarge) one
// object with a 100 MB buffer.
constexpr int kLarge = 0;

struct World
{
    CKContext* context = nullptr;
    std::vector<CK_ID> ids;
    std::string path;
};

World& GetWorld(int objects)
{
    static std::map<int, World> worlds;
    World& w = worlds[objects];
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
    w.path = BenchTempFile("world" + std::to_string(objects) + ".qdx");
    if (objects != kLarge) {
        w.ids.reserve((size_t) objects);
        for (int i = 0; i < objects; ++i) {
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

const Image& FileImage(int objects, bool packed)
{
    static std::map<std::pair<int, bool>, Image> images;
    Image& image = images[{objects, packed}];
    if (!image.file.empty())
        return image;
    World& w = GetWorld(objects);
    SaveWorld(w, 0);
    Bytes plain = ReadAll(w.path);
    size_t header = LoadLE32(plain.data() + 28);
    size_t data = LoadLE32(plain.data() + 32);
    image.header.assign(plain.begin() + 64, plain.begin() + 64 + (long) header);
    image.data.assign(plain.begin() + 64 + (long) header, plain.begin() + 64 + (long) (header + data));
    SaveWorld(w, packed ? (int) CKFILE_WHOLECOMPRESSED : 0);
    image.file = ReadAll(w.path);
    image.headerStored = LoadLE32(image.file.data() + 28);
    image.dataStored = LoadLE32(image.file.data() + 32);
    return image;
}

void SetCounters(benchmark::State& state, const Image& image, int objects)
{
    state.counters["file_MB"] = (double) image.file.size() / (1 << 20);
    state.counters["data_MB"] = (double) image.data.size() / (1 << 20);
    if (objects != kLarge)
        state.counters["ns/object"] = benchmark::Counter((double) objects * (double) state.iterations(),
                                                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
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

// Arguments: the objects, or the megabytes of the one large buffer; both
// sections packed (1) or not (0).
int Objects(const benchmark::State& state, bool large)
{
    return large ? kLarge : (int) state.range(0);
}
bool Packed(const benchmark::State& state)
{
    return state.range(1) != 0;
}

void BM_Save(benchmark::State& state, bool large)
{
    const int objects = Objects(state, large);
    const bool packed = Packed(state);
    World& w = GetWorld(objects);
    const Image& image = FileImage(objects, packed);
    for (auto _ : state)
        if (SaveWorld(w, packed ? (int) CKFILE_WHOLECOMPRESSED : 0) != 0)
            state.SkipWithError("save failed");
    SetCounters(state, image, objects);
}

// The plain writer's input: the objects, as such a program holds them, and
// what the engine writes the same for every file of these objects (its
// managers' records and the header data's tail).
struct PeerSource
{
    std::vector<const BenchItem*> items;
    Bytes managers;
    Bytes headerTail;
};

PeerSource MakePeerSource(World& w, const Image& image)
{
    PeerSource source;
    for (CK_ID id : w.ids)
        source.items.push_back(static_cast<const BenchItem*>(w.context->GetObject(id)));
    // The data section less the object records, the header data less the
    // descriptors: both end where the objects' parts start and end.
    size_t objectBytes = 0, descriptorBytes = 0;
    for (const BenchItem* item : source.items) {
        objectBytes += 4 + 8 + 4 * (6 + ((size_t) item->m_Size + 3) / 4);
        descriptorBytes += 16 + std::strlen(item->GetName());
    }
    descriptorBytes += (4 - descriptorBytes % 4) % 4;
    source.managers.assign(image.data.begin(), image.data.end() - (long) objectBytes);
    source.headerTail.assign(image.header.begin() + (long) descriptorBytes, image.header.end());
    return source;
}

// Lays the file out from the objects and writes it as ours does; the bytes
// written, or none on failure.
size_t PeerSaveFile(const PeerSource& source, const Image& image, bool packed, const std::string& path)
{
    const size_t count = source.items.size();
    std::unordered_map<CK_ID, int> index;
    index.reserve(count);
    size_t nameBytes = 0, bufferBytes = 0;
    for (size_t i = 0; i < count; ++i) {
        index.emplace(source.items[i]->GetID(), (int) i);
        nameBytes += std::strlen(source.items[i]->GetName());
        bufferBytes += 4 * (((size_t) source.items[i]->m_Size + 3) / 4);
    }
    const size_t descriptors = 16 * count + nameBytes, padding = (4 - descriptors % 4) % 4;
    const size_t headerSize = descriptors + padding + source.headerTail.size();
    const size_t dataSize = source.managers.size() + count * (4 + 8 + 24) + bufferBytes;
    std::unique_ptr<CKBYTE[]> plain(new CKBYTE[64 + headerSize + dataSize]);
    CKBYTE* header = plain.get() + 64;
    CKBYTE* data = header + headerSize;
    CKBYTE* h = header;
    CKBYTE* d = data + source.managers.size();
    std::memcpy(data, source.managers.data(), source.managers.size());
    CKDWORD offset = (CKDWORD) (64 + headerSize + source.managers.size());
    for (size_t i = 0; i < count; ++i) {
        const BenchItem* item = source.items[i];
        const char* name = item->GetName();
        const size_t length = std::strlen(name);
        const CKDWORD bufferWords = ((CKDWORD) item->m_Size + 3) / 4;
        const CKDWORD chunkBytes = 8 + 4 * (6 + bufferWords);
        StoreLE32(h, item->GetID());
        StoreLE32(h + 4, (CKDWORD) BenchItem::m_ClassID);
        StoreLE32(h + 8, offset);
        StoreLE32(h + 12, (CKDWORD) (length + (i + 1 == count ? padding : 0)));
        std::memcpy(h + 16, name, length);
        h += 16 + length;
        offset += 4 + chunkBytes;
        // Its chunk: the header word, the data words (the identifier, the
        // link, the value, the half, the reference, the buffer's size and
        // bytes), then the object and sub-chunk lists, empty.
        auto ref = index.find(item->m_Ref);
        const CKDWORD words[] = {chunkBytes,
                                 0x0807010A,
                                 6 + bufferWords,
                                 kItemIdentifier,
                                 0,
                                 (CKDWORD) item->m_Value,
                                 std::bit_cast<CKDWORD>((float) item->m_Value * 0.5f),
                                 ref == index.end() ? 0xFFFFFFFFu : (CKDWORD) ref->second,
                                 (CKDWORD) item->m_Size};
        for (CKDWORD word : words) {
            StoreLE32(d, word);
            d += 4;
        }
        if (item->m_Size) {
            std::memcpy(d, item->m_Data.get(), (size_t) item->m_Size);
            std::memset(d + item->m_Size, 0, 4 * bufferWords - (size_t) item->m_Size);
            d += 4 * bufferWords;
        }
    }
    std::memset(h, 0, padding);
    std::memcpy(h + padding, source.headerTail.data(), source.headerTail.size());

    // The pieces as stored: plain, or both sections packed.
    const CKBYTE* pieces[3] = {plain.get(), header, data};
    size_t sizes[3] = {64, headerSize, dataSize};
    std::unique_ptr<Bytef[]> packedBytes[2];
    if (packed) {
        for (int k = 0; k < 2; ++k) {
            uLongf size = compressBound(sizes[k + 1]);
            packedBytes[k].reset(new Bytef[size]);
            if (compress2(packedBytes[k].get(), &size, pieces[k + 1], sizes[k + 1], kLevel) != Z_OK)
                return 0;
            pieces[k + 1] = packedBytes[k].get();
            sizes[k + 1] = size;
        }
    }
    // The 64-byte header: what ours writes there, the sum of the data as
    // stored.
    std::memcpy(plain.get(), image.file.data(), 64);
    StoreLE32(plain.get() + 8, (CKDWORD) adler32(0, pieces[2], (uInt) sizes[2]));
    const std::string temp = path + ".tmp";
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    bool ok = fd >= 0;
    for (int k = 0; k < 3 && ok; ++k)
        ok = WriteFile(temp, pieces[k], sizes[k], fd);
    if (fd >= 0)
        ok = ::close(fd) == 0 && ok;
    ok = ok && std::rename(temp.c_str(), path.c_str()) == 0;
    return ok ? sizes[0] + sizes[1] + sizes[2] : 0;
}

void BM_PeerSave(benchmark::State& state, bool large)
{
    const int objects = Objects(state, large);
    const bool packed = Packed(state);
    World& w = GetWorld(objects);
    const Image& image = FileImage(objects, packed);
    const PeerSource source = MakePeerSource(w, image);
    std::string path = PeerPath();
    if (PeerSaveFile(source, image, packed, path) != image.file.size() || ReadAll(path) != image.file) {
        state.SkipWithError("the plain writer's file is not the engine's");
        std::remove(path.c_str());
        return;
    }
    for (auto _ : state)
        if (PeerSaveFile(source, image, packed, path) == 0)
            state.SkipWithError("peer save failed");
    std::remove(path.c_str());
    SetCounters(state, image, objects);
}

void BM_Load(benchmark::State& state, bool large)
{
    const int objects = Objects(state, large);
    const Image& image = FileImage(objects, Packed(state));
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
    SetCounters(state, image, objects);
}

// The plain C++ loader's objects.
struct PeerItem
{
    CKDWORD id = 0;
    int classId = 0;
    std::string name;
    int value = 0;
    float half = 0.0f;
    PeerItem* ref = nullptr;
    std::unique_ptr<CKBYTE[]> data;
    int size = 0;
};

struct PeerWorld
{
    std::vector<std::unique_ptr<PeerItem>> items;
    std::unordered_map<CKDWORD, PeerItem*> byId;
};

// Reads one object's chunk (header word, data word count, data words) into
// its object: the item identifier's fields, the reference through the id
// map, the buffer into new memory. False on bytes that do not hold it.
bool PeerReadChunk(PeerWorld& world, PeerItem& item, const CKBYTE* chunk, size_t size)
{
    if (size < 8)
        return false;
    const CKDWORD words = LoadLE32(chunk + 4);
    if (words > (size - 8) / 4)
        return false;
    const CKBYTE* data = chunk + 8;
    CKDWORD at = 0;
    while (at + 1 < words && LoadLE32(data + 4 * at) != kItemIdentifier) {
        CKDWORD next = LoadLE32(data + 4 * at + 4);
        if (next <= at)
            return true; // no item fields
        at = next;
    }
    if (at + 6 > words)
        return true;
    const CKBYTE* fields = data + 4 * (at + 2);
    item.value = (int) LoadLE32(fields);
    std::memcpy(&item.half, fields + 4, 4);
    auto found = world.byId.find(LoadLE32(fields + 8));
    item.ref = found == world.byId.end() ? nullptr : found->second;
    const CKDWORD bytes = LoadLE32(fields + 12);
    if (bytes > 4 * (words - at - 6))
        return false;
    if (bytes) {
        item.data.reset(new CKBYTE[bytes]);
        std::memcpy(item.data.get(), fields + 16, bytes);
        item.size = (int) bytes;
    }
    return true;
}

// The plain C++ loader: every step the engine's load takes on this file,
// without its generality.
bool PeerLoad(PeerWorld& world, const char* file, size_t fileSize)
{
    if (fileSize < 64)
        return false;
    const CKBYTE* bytes = reinterpret_cast<const CKBYTE*>(file);
    const size_t headerStored = LoadLE32(bytes + 28), dataStored = LoadLE32(bytes + 32);
    const size_t dataSize = LoadLE32(bytes + 36), headerSize = LoadLE32(bytes + 60);
    const CKDWORD managers = LoadLE32(bytes + 40), count = LoadLE32(bytes + 44);
    if (headerStored > fileSize - 64 || dataStored > fileSize - 64 - headerStored)
        return false;
    const CKBYTE* header = bytes + 64;
    const CKBYTE* data = header + headerStored;
    benchmark::DoNotOptimize(adler32(0, data, (uInt) dataStored));
    std::unique_ptr<CKBYTE[]> headerPlain, dataPlain;
    if (headerStored != headerSize) {
        uLongf n = headerSize;
        headerPlain.reset(new CKBYTE[headerSize]);
        if (uncompress(headerPlain.get(), &n, header, headerStored) != Z_OK || n != headerSize)
            return false;
        header = headerPlain.get();
    }
    if (dataStored != dataSize) {
        uLongf n = dataSize;
        dataPlain.reset(new CKBYTE[dataSize]);
        if (uncompress(dataPlain.get(), &n, data, dataStored) != Z_OK || n != dataSize)
            return false;
        data = dataPlain.get();
    }

    // Every object is made before any is read.
    if (count > headerSize / 16)
        return false;
    world.items.reserve(count);
    world.byId.reserve(count);
    size_t at = 0;
    for (CKDWORD i = 0; i < count; ++i) {
        if (headerSize - at < 16)
            return false;
        auto item = std::make_unique<PeerItem>();
        item->id = LoadLE32(header + at);
        item->classId = (int) LoadLE32(header + at + 4);
        const CKDWORD length = LoadLE32(header + at + 12);
        at += 16;
        if (length > headerSize - at)
            return false;
        item->name.assign(reinterpret_cast<const char*>(header + at), strnlen((const char*) header + at, length));
        at += length;
        world.byId.emplace(item->id, item.get());
        world.items.push_back(std::move(item));
    }

    size_t pos = 0;
    for (CKDWORD m = 0; m < managers; ++m) {
        if (dataSize - pos < 12 || LoadLE32(data + pos + 8) > dataSize - pos - 12)
            return false;
        pos += 12 + LoadLE32(data + pos + 8);
    }
    for (std::unique_ptr<PeerItem>& item : world.items) {
        if (dataSize - pos < 4)
            return false;
        const CKDWORD size = LoadLE32(data + pos);
        pos += 4;
        if (size > dataSize - pos || !PeerReadChunk(world, *item, data + pos, size))
            return false;
        pos += size;
    }
    return true;
}

void BM_PeerLoad(benchmark::State& state, bool large)
{
    const int objects = Objects(state, large);
    const Image& image = FileImage(objects, Packed(state));
    std::string path = LoadPath(image);
    for (auto _ : state) {
        PeerWorld world;
        // Mapped, as ours maps every file it loads.
        int fd = ::open(path.c_str(), O_RDONLY);
        struct stat info;
        void* view = fd >= 0 && ::fstat(fd, &info) == 0
                         ? ::mmap(nullptr, (size_t) info.st_size, PROT_READ, MAP_PRIVATE, fd, 0)
                         : MAP_FAILED;
        if (view == MAP_FAILED || !PeerLoad(world, static_cast<const char*>(view), (size_t) info.st_size))
            state.SkipWithError("peer load failed");
        if (view != MAP_FAILED)
            ::munmap(view, (size_t) info.st_size);
        if (fd >= 0)
            ::close(fd);
        state.PauseTiming();
        world = PeerWorld();
        state.ResumeTiming();
    }
    SetCounters(state, image, objects);
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
void BM_ObjectChunksOnly(benchmark::State& state, bool large)
{
    World& w = GetWorld(Objects(state, large));
    for (auto _ : state)
        for (CK_ID id : w.ids) {
            CKStateChunk* chunk = ObjectChunk(w, id);
            benchmark::DoNotOptimize(chunk->ConvertToBuffer(nullptr));
            CKDeleteStateChunk(chunk);
        }
}

// The objects' own share of a load: each is created by name and reads its
// chunk, with no file.
void BM_ObjectCreateAndLoadOnly(benchmark::State& state, bool large)
{
    World& w = GetWorld(Objects(state, large));
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

// The peer of the objects' share of a save: each object's fields pushed into
// a fresh std::vector sized first (as a chunk sizes itself first), in the
// words its chunk holds: the identifier and its link, the value, the half,
// the reference, the buffer's size and bytes.
void BM_PeerObjectWordsOnly(benchmark::State& state, bool large)
{
    World& w = GetWorld(Objects(state, large));
    for (auto _ : state)
        for (CK_ID id : w.ids) {
            const auto* item = static_cast<const BenchItem*>(w.context->GetObject(id));
            std::vector<CKDWORD> words;
            words.reserve(6 + ((size_t) item->m_Size + 3) / 4);
            words.push_back(kItemIdentifier);
            words.push_back(0);
            words.push_back((CKDWORD) item->m_Value);
            words.push_back(std::bit_cast<CKDWORD>((float) item->m_Value * 0.5f));
            words.push_back(item->m_Ref);
            words.push_back((CKDWORD) item->m_Size);
            words.resize(words.size() + ((size_t) item->m_Size + 3) / 4);
            if (item->m_Size)
                std::memcpy(&words[6], item->m_Data.get(), (size_t) item->m_Size);
            benchmark::DoNotOptimize(words.data());
        }
}

// The peer of the objects' share of a load: each object made on the heap
// with its std::string name and put in the id map, then its fields read
// from the bytes of its chunk as the plain loader reads them.
void BM_PeerCreateAndReadOnly(benchmark::State& state, bool large)
{
    World& w = GetWorld(Objects(state, large));
    std::vector<Bytes> chunks;
    for (CK_ID id : w.ids) {
        CKStateChunk* chunk = ObjectChunk(w, id);
        Bytes bytes((size_t) chunk->ConvertToBuffer(nullptr));
        chunk->ConvertToBuffer(bytes.data());
        chunks.push_back(std::move(bytes));
        CKDeleteStateChunk(chunk);
    }
    for (auto _ : state) {
        PeerWorld world;
        for (size_t i = 0; i < chunks.size(); ++i) {
            auto item = std::make_unique<PeerItem>();
            item->id = w.ids[i];
            item->name = w.context->GetObject(w.ids[i])->GetName();
            world.byId.emplace(item->id, item.get());
            if (!PeerReadChunk(world, *item, chunks[i].data(), chunks[i].size()))
                state.SkipWithError("a chunk did not read");
            world.items.push_back(std::move(item));
        }
        state.PauseTiming();
        world = PeerWorld();
        state.ResumeTiming();
    }
}

// The checksum every save computes (and every plain load checks) over the
// stored data section, against zlib's adler32 of the same bytes.
void BM_Checksum(benchmark::State& state, bool large)
{
    const Image& image = FileImage(Objects(state, large), false);
    for (auto _ : state)
        benchmark::DoNotOptimize(CKFileChecksum(0, image.data.data(), image.data.size()));
}

void BM_ZlibAdler32(benchmark::State& state, bool large)
{
    const Image& image = FileImage(Objects(state, large), false);
    for (auto _ : state)
        benchmark::DoNotOptimize(adler32(0, image.data.data(), (uInt) image.data.size()));
}

} // namespace

// Small objects: 100,000 packed and plain; 10,000 and 1,000,000 plain, for
// the per-object cost. The 100 MB buffer packed runs for long enough to take
// a few runs of its slow packing.
#define CK_FILE_OBJECTS                                                                                                \
    ->ArgNames({"objects", "packed"})                                                                                  \
        ->Args({100000, 1})                                                                                            \
        ->Args({100000, 0})                                                                                            \
        ->Args({10000, 0})                                                                                             \
        ->Args({1000000, 0})                                                                                           \
        ->Unit(benchmark::kMillisecond)                                                                                \
        ->UseRealTime()
#define CK_FILE_LARGE(packed, seconds)                                                                                 \
    ->ArgNames({"MB", "packed"})->Args({100, packed})->MinTime(seconds)->Unit(benchmark::kMillisecond)->UseRealTime()
#define CK_FILE_CASES(function, name)                                                                                  \
    BENCHMARK_CAPTURE(function, objects, false)->Name(name) CK_FILE_OBJECTS;                                           \
    BENCHMARK_CAPTURE(function, large, true)->Name(name) CK_FILE_LARGE(1, 4.0);                                        \
    BENCHMARK_CAPTURE(function, large, true)->Name(name) CK_FILE_LARGE(0, 1.0)
CK_FILE_CASES(BM_Save, "FileSave/ours");
CK_FILE_CASES(BM_PeerSave, "FileSave/zlib+write");
CK_FILE_CASES(BM_Load, "FileLoad/ours");
CK_FILE_CASES(BM_PeerLoad, "FileLoad/loader");
BENCH_CASE_DOES("FileSave", "ours: CKFile save of the objects (chunks, checksum, packing, write); zlib+write: a plain "
                            "writer laying the same bytes out from the objects in new memory, compress2 of both "
                            "sections when packed, adler32 of the data as stored, write(2) and rename, as ours");
BENCH_CASE_DOES("FileLoad", "ours: CKFile::Load into a fresh context; loader: mmap of the file (as ours), adler32 "
                            "of the stored data, uncompress when packed, records to new "
                            "objects with std::string names and an id map");

#define CK_FILE_CONTENTS(function, name)                                                                               \
    BENCHMARK_CAPTURE(function, objects, false)                                                                        \
        ->Name(name)                                                                                                   \
        ->ArgName("objects")                                                                                           \
        ->Arg(100000)                                                                                                  \
        ->Unit(benchmark::kMillisecond)                                                                                \
        ->UseRealTime();                                                                                               \
    BENCHMARK_CAPTURE(function, large, true)                                                                           \
        ->Name(name)                                                                                                   \
        ->ArgName("MB")                                                                                                \
        ->Arg(100)                                                                                                     \
        ->Unit(benchmark::kMillisecond)                                                                                \
        ->UseRealTime()
CK_FILE_CONTENTS(BM_ObjectChunksOnly, "FileSaveObjectsOnly/ours");
CK_FILE_CONTENTS(BM_PeerObjectWordsOnly, "FileSaveObjectsOnly/vector");
CK_FILE_CONTENTS(BM_ObjectCreateAndLoadOnly, "FileLoadObjectsOnly/ours");
CK_FILE_CONTENTS(BM_PeerCreateAndReadOnly, "FileLoadObjectsOnly/loader");
CK_FILE_CONTENTS(BM_Checksum, "FileChecksum/ours");
CK_FILE_CONTENTS(BM_ZlibAdler32, "FileChecksum/zlib");
BENCH_CASE_DOES("FileSaveObjectsOnly", "ours: each object writes and closes its state chunk, no file; vector: the "
                                       "same words pushed into a new std::vector sized first");
BENCH_CASE_DOES("FileLoadObjectsOnly", "ours: each object is created by name in a fresh context and reads its chunk, "
                                       "no file; loader: a heap object with a std::string name in an id map, its "
                                       "fields read from the chunk's bytes as the plain loader reads them");
BENCH_CASE_DOES("FileChecksum",
                "ours: the format's checksum of the plain data section; zlib: adler32 of the same bytes");

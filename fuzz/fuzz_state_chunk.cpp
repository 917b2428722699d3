// Reads arbitrary bytes as a serialised state chunk and runs every read,
// seek, sub-chunk, remapping and iteration operation on it, the bitmap forms
// (decoded by the engine's own image readers) and the bitmap data sections
// (identifiers 1 to 5) included; loads it into a parameter of each class
// (typed first by the argument) and into the parameter manager's user types.
// One operation writes a raw bitmap of the argument's size (with or without
// alpha, its pixels the input's chunk bytes) into a new chunk and reads it
// back, which must give the pixels written.
//
// Input: a control byte (bit 0: bind to a file of 3 records; bit 1: ids are
// resolved by saved id; bit 2: borrow the buffer), a script length byte, the
// script (operation and argument byte pairs), then the chunk bytes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/bitmap/CKBitmapData.h"
#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKFunctions.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "core/context/CKVariableManager.h"
#include "core/file/CKFile.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKDependenciesContext.h"
#include "core/parameter/CKParameter.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterManager.h"
#include "readers/imagereader/ImageReaderPlugin.h"
#include "readers/jpeg/JpgReaderPlugin.h"
#include "readers/png/PngReaderPlugin.h"
#include "readers/tiff/TiffReaderPlugin.h"
#include "system/image/QxPixelFormat.h"
#include "system/memory/QxAlignedAlloc.h"

namespace {

constexpr int kOps = 36;

// The context of the bitmap data and parameters read by one input: made by
// its first such read, closed at the end of the input.
CKContext* g_Context = nullptr;

CKContext* Context()
{
    if (!g_Context) {
        CKCreateContext(&g_Context, nullptr, nullptr);
        // A structure whose members are a structure-free mix, for the
        // structure callbacks.
        g_Context->GetParameterManager()->RegisterNewStructure(CKGUID(0xF0, 0xF1), "Fuzz Struct", "a,b,c",
                                                               {CKPGUID_VECTOR, CKPGUID_STRING, CKPGUID_OBJECTARRAY});
    }
    return g_Context;
}

// Loads the chunk into a new parameter of a class and type chosen by arg,
// saves what it holds and loads that into a second one.
void LoadIntoParameter(CKStateChunk* chunk, uint8_t arg)
{
    static const CK_CLASSID classes[] = {CKCID_PARAMETERLOCAL, CKCID_PARAMETEROUT,       CKCID_PARAMETER,
                                         CKCID_PARAMETERIN,    CKCID_PARAMETEROPERATION, CKCID_PARAMETERVARIABLE};
    CKContext* context = Context();
    CKParameterManager* pm = context->GetParameterManager();
    CK_CLASSID cid = classes[arg % 6];
    CKObject* first = context->CreateObject(cid, (arg & 0x40) ? "File Options/Compression" : nullptr);
    CKObject* second = context->CreateObject(cid);
    if (CKIsChildClassOf(cid, CKCID_PARAMETER)) {
        int type = (arg >> 3) % pm->GetParameterTypesCount();
        static_cast<CKParameter*>(first)->SetType(type);
        if (arg & 0x80)
            static_cast<CKParameter*>(first)->SetGUID(CKGUID(0xF0, 0xF1));
    }
    first->Load(chunk, chunk->GetFile());
    if (CKIsChildClassOf(cid, CKCID_PARAMETER)) {
        auto* p = static_cast<CKParameter*>(first);
        char text[64];
        p->GetStringValue(text, (int) sizeof text, TRUE);
        static_cast<CKParameter*>(second)->SetType(p->GetType());
        static_cast<CKParameter*>(second)->CopyValue(p, TRUE);
    }
    CKStateChunk* again = CKSaveObjectState(first);
    if (again)
        second->Load(again, nullptr);
    CKDeleteStateChunk(again);
    context->DestroyObject(first);
    context->DestroyObject(second);
    chunk->StartRead();
}

int CountLevel(ChunkIteratorData* record)
{
    // Touch every word of the level and its lists.
    CKDWORD sum = 0;
    for (int i = 0; i < record->DataSize; ++i)
        sum += record->Data[i];
    for (int i = 0; i < record->ObjectIDCount; ++i)
        sum += record->ObjectIDs[i];
    for (int i = 0; i < record->SubChunkCount; ++i)
        sum += record->SubChunks[i];
    for (int i = 0; i < record->ManagerCount; ++i)
        sum += record->Managers[i];
    return (int) (sum & 1) + 1;
}

void RunScript(CKStateChunk* chunk, const uint8_t* script, size_t length, int depth);

// The input's chunk bytes: the pixels of the raw bitmaps written.
const uint8_t* g_Pixels = nullptr;
size_t g_PixelBytes = 0;

// Writes a raw bitmap into a chunk and reads it back; traps unless the
// header and the pixels come back (alpha 0xFF without alpha). arg: bits 0-4
// width - 1 (runs of eight pixels and every tail), bits 5-6 height - 1, bit
// 7 alpha.
void RawBitmapRoundTrip(uint8_t arg)
{
    const int width = 1 + (arg & 31), height = 1 + ((arg >> 5) & 3);
    const bool alpha = (arg & 0x80) != 0;
    std::vector<CKDWORD> pixels((size_t) width * height);
    for (size_t i = 0; i < pixels.size() * 4; ++i)
        reinterpret_cast<CKBYTE*>(pixels.data())[i] = g_PixelBytes ? g_Pixels[i % g_PixelBytes] : (CKBYTE) (i * 13);
    QxImageDesc image;
    QxPixelFormat2ImageDesc(alpha ? _32_ARGB8888 : _32_RGB888, image);
    image.Width = width;
    image.Height = height;
    image.BytesPerLine = width * 4;
    image.Image = reinterpret_cast<CKBYTE*>(pixels.data());
    CKStateChunk* chunk = CKCreateStateChunk(31);
    chunk->StartWrite();
    chunk->WriteRawBitmap(image);
    chunk->StartRead();
    QxImageDesc read;
    std::vector<CKDWORD> back(pixels.size());
    if (!chunk->ReadRawBitmapHeader(read) || read.Width != width || read.Height != height ||
        read.AlphaMask != image.AlphaMask || read.RedMask != image.RedMask)
        __builtin_trap();
    read.Image = reinterpret_cast<CKBYTE*>(back.data());
    if (!chunk->ReadRawBitmap(read))
        __builtin_trap();
    for (size_t i = 0; i < pixels.size(); ++i)
        if (back[i] != (alpha ? pixels[i] : pixels[i] | 0xFF000000))
            __builtin_trap();
    CKDeleteStateChunk(chunk);
}

void RunOp(CKStateChunk* chunk, uint8_t op, uint8_t arg, int depth)
{
    switch (op % kOps) {
    case 0: chunk->ReadInt(); break;
    case 1: chunk->ReadFloat(); break;
    case 2: chunk->ReadGuid(); break;
    case 3: {
        QxVector v;
        chunk->ReadVector(v);
        break;
    }
    case 4: {
        QxMatrix m;
        chunk->ReadMatrix(m);
        break;
    }
    case 5: {
        void* block = nullptr;
        int n = chunk->ReadBuffer(&block);
        if (block && n > 0)
            static_cast<volatile CKBYTE*>(block)[n - 1] = 0;
        delete[] static_cast<CKBYTE*>(block);
        break;
    }
    case 6: {
        CKBYTE dest[64];
        chunk->ReadAndFillBuffer(dest, (int) (arg % 65));
        break;
    }
    case 7: {
        CKBYTE dest[64];
        chunk->ReadBufferNoSize(arg % 64, dest);
        break;
    }
    case 8: {
        char* text = nullptr;
        chunk->ReadString(&text);
        if (text)
            (void) std::strlen(text);
        delete[] text;
        break;
    }
    case 9: (void) chunk->ReadXString().Length(); break;
    case 10: chunk->ReadObjectID(); break;
    case 11: (void) chunk->ReadXObjectArray().Size(); break;
    case 12: {
        CKStateChunk* sub = chunk->ReadSubChunk();
        if (sub && depth < 4) {
            uint8_t script[] = {19, 0, 17, arg, 0, 10, 11, 12, 14, 20, 21, 5, 8, 18, arg};
            RunScript(sub, script, sizeof(script), depth + 1);
        }
        CKDeleteStateChunk(sub);
        break;
    }
    case 13: chunk->ReadSubChunk(TRUE); break;
    case 14: {
        CKGUID guid;
        chunk->ReadManagerIntSequenceStart(&guid);
        break;
    }
    case 15: {
        int words = arg % 8;
        if (const CKDWORD* p = chunk->LockReadBuffer(words)) {
            CKDWORD sum = 0;
            for (int i = 0; i < words; ++i)
                sum += p[i];
            (void) sum;
        }
        break;
    }
    case 16: chunk->Skip(arg % 8); break;
    case 17: chunk->SeekIdentifier(arg); break;
    case 18: chunk->SeekIdentifierAndReturnSize(arg); break;
    case 19: chunk->StartRead(); break;
    case 20: {
        static const int table[4] = {7, 6, 5, 4};
        chunk->RemapManagerInt(CKGUID(arg, 0), table, 4);
        break;
    }
    case 21: {
        ChunkIteratorData record;
        chunk->IterateChunks(&record, CountLevel);
        break;
    }
    case 22: {
        CKStateChunk* copy = CKCopyStateChunk(chunk);
        copy->ReadInt();
        copy->SeekIdentifier(arg);
        CKDeleteStateChunk(copy);
        break;
    }
    case 23: {
        std::vector<CKBYTE> bytes((size_t) chunk->ConvertToBuffer(nullptr));
        chunk->ConvertToBuffer(bytes.data());
        chunk->ConvertFromBuffer(bytes.data(), (int) bytes.size());
        chunk->StartRead();
        break;
    }
    case 24: {
        CKStateChunk* joined = CKCreateStateChunk(1);
        joined->StartWrite();
        joined->WriteIdentifier(1);
        joined->AddChunk(chunk);
        joined->WriteIdentifier(2);
        joined->SeekIdentifier(arg);
        joined->SeekIdentifier(2);
        CKDeleteStateChunk(joined);
        chunk->StartRead();
        break;
    }
    case 25: {
        XString s;
        chunk->ReadStringInto(s);
        break;
    }
    case 26: {
        CKDependenciesContext deps(nullptr);
        deps.SetRemap(arg, 1000);
        chunk->RemapObjects(nullptr, &deps);
        break;
    }
    case 27: {
        QxImageDesc desc;
        if (chunk->ReadRawBitmapHeader(desc) && (long long) desc.Width * desc.Height <= (1 << 16)) {
            std::vector<CKDWORD> pixels((size_t) desc.Width * (size_t) desc.Height);
            desc.Image = reinterpret_cast<CKBYTE*>(pixels.data());
            chunk->ReadRawBitmap(desc);
        }
        break;
    }
    case 28: {
        std::vector<CKDWORD> pixels(16);
        QxImageDesc desc;
        desc.Width = desc.Height = 4;
        desc.BitsPerPixel = 32;
        desc.BytesPerLine = 16;
        desc.Image = reinterpret_cast<CKBYTE*>(pixels.data());
        chunk->ReadReaderBitmap(desc);
        break;
    }
    case 29: {
        QxImageDesc desc;
        CKBYTE* pixels = chunk->ReadFormatNamedBitmap(desc);
        QxDeleteAligned(pixels);
        break;
    }
    case 30: {
        QxImageDesc desc;
        if (chunk->ReadRawBitmapHeader(desc) && (long long) desc.Width * desc.Height <= (1 << 16) &&
            chunk->ReadRawBitmap(desc, CKSTATECHUNK_ALLOCATEPIXELS))
            QxDeleteAligned(desc.Image);
        break;
    }
    case 31: {
        QxImageDesc wanted;
        QxPixelFormat2ImageDesc(arg % QX_MAXPIXELFORMATS, wanted);
        if (chunk->ReadReaderBitmap(wanted, CKSTATECHUNK_ALLOCATEPIXELS) == 1)
            QxDeleteAligned(wanted.Image);
        break;
    }
    case 33: LoadIntoParameter(chunk, arg); break;
    case 35: RawBitmapRoundTrip(arg); break;
    case 34: {
        CKParameterManager* pm = Context()->GetParameterManager();
        CKVariableManager* vm = Context()->GetVariableManager();
        vm->SetValue("File Options/On Load Duplicate User Flags & Enums", arg & 1);
        pm->LoadData(chunk, nullptr);
        chunk->StartRead();
        break;
    }
    case 32: {
        Context();
        // Cached pixels are read again from their files only when asked:
        // names in the input open no file.
        CKBitmapData data(g_Context);
        data.SetSystemCaching(arg & 1 ? CKBITMAP_VIDEOSHADOW : CKBITMAP_DISCARD);
        data.SetDesiredVideoFormat(arg >> 1);
        static const CKDWORD ids[5] = {1, 2, 3, 4, 5};
        data.ReadFromChunk(chunk, nullptr, ids);
        CKDWORD sum = 0;
        for (int y = 0; y < data.GetHeight() && y < 4; ++y)
            for (int x = 0; x < data.GetWidth() && x < 4; ++x)
                sum += data.GetPixel(x, y, y);
        (void) sum;
        CKStateChunk* again = CKCreateStateChunk(31);
        again->StartWrite();
        data.SetSaveOptions(CKBITMAP_SAVERAWDATA);
        data.WriteToChunk(again, nullptr, ids);
        CKDeleteStateChunk(again);
        chunk->StartRead();
        break;
    }
    }
}

void RunScript(CKStateChunk* chunk, const uint8_t* script, size_t length, int depth)
{
    for (size_t i = 0; i + 1 < length; i += 2)
        RunOp(chunk, script[i], script[i + 1], depth);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    CKStartUp();
    CKPluginManager* plugins = CKGetPluginManager();
    RegisterImageReaderPlugin(plugins);
    plugins->RegisterPlugin(0, CKGetPngPluginInfo(0), nullptr, CKGetPngReader);
    plugins->AddStaticDll("PNG Reader", 1);
    plugins->RegisterPlugin(0, CKGetJpgPluginInfo(0), nullptr, CKGetJpgReader);
    plugins->AddStaticDll("JPG Reader", 1);
    plugins->RegisterPlugin(0, CKGetTiffPluginInfo(0), nullptr, CKGetTiffReader);
    plugins->AddStaticDll("Tiff Reader", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    uint8_t control = data[0];
    size_t scriptLength = data[1];
    if (size < 2 + scriptLength)
        return 0;
    const uint8_t* script = data + 2;
    const uint8_t* raw = script + scriptLength;
    size_t rawSize = size - 2 - scriptLength;

    CKFile file(nullptr);
    for (CK_ID id = 1; id <= 3; ++id) {
        file.AddObjectRecord(id * 10, 1);
        file.m_FileObjects[(int) id - 1].m_CreatedObject = id + 100;
    }
    // A copy in aligned words, so that borrowing really borrows.
    std::vector<CKDWORD> words((rawSize + 3) / 4 + 1, 0);
    std::memcpy(words.data(), raw, rawSize);

    g_Pixels = raw;
    g_PixelBytes = rawSize;
    CKStateChunk* chunk = CKCreateStateChunk(0, (control & 1) ? &file : nullptr);
    chunk->SetIDResolutionMode((control >> 1) & 1);
    bool read = false;
    if ((control & 8) && rawSize >= 4) {
        // The words behind the header in a block of their own, adopted.
        void* block = std::malloc(rawSize - 4 + 1);
        if (block)
            std::memcpy(block, raw + 4, rawSize - 4);
        read = chunk->AdoptRawBuffer(raw, block, (int) rawSize);
    } else {
        read = chunk->ReadFromRawBuffer(words.data(), (int) rawSize, (control & 4) != 0);
    }
    if (read) {
        chunk->StartRead();
        RunScript(chunk, script, scriptLength, 0);
        // Then everything once, in order, and a walk to the end.
        for (uint8_t op = 0; op < kOps; ++op)
            RunOp(chunk, op, (uint8_t) (op * 37), 0);
        chunk->StartRead();
        for (int i = 0; i < 1 << 16 && chunk->GetReadError() == 0; ++i)
            chunk->ReadInt();
    }
    CKDeleteStateChunk(chunk);
    if (g_Context) {
        CKCloseContext(g_Context);
        g_Context = nullptr;
    }
    // A borrowed buffer is never written, whatever was done with the chunk.
    if (std::memcmp(words.data(), raw, rawSize) != 0)
        __builtin_trap();
    return 0;
}

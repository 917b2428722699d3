// Reads arbitrary bytes as a serialised state chunk and runs every read,
// seek, sub-chunk, remapping and iteration operation on it.
//
// Input: a control byte (bit 0: bind to a file of 3 records; bit 1: ids are
// resolved by saved id; bit 2: borrow the buffer), a script length byte, the
// script (operation and argument byte pairs), then the chunk bytes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/chunk/CKStateChunk.h"
#include "core/file/CKFile.h"
#include "core/object/CKDependenciesContext.h"
#include "system/memory/QxAlignedAlloc.h"

namespace {

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

void RunOp(CKStateChunk* chunk, uint8_t op, uint8_t arg, int depth)
{
    switch (op % 30) {
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
    }
}

void RunScript(CKStateChunk* chunk, const uint8_t* script, size_t length, int depth)
{
    for (size_t i = 0; i + 1 < length; i += 2)
        RunOp(chunk, script[i], script[i + 1], depth);
}

} // namespace

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
        for (uint8_t op = 0; op < 30; ++op)
            RunOp(chunk, op, (uint8_t) (op * 37), 0);
        chunk->StartRead();
        for (int i = 0; i < 1 << 16 && chunk->GetReadError() == 0; ++i)
            chunk->ReadInt();
    }
    CKDeleteStateChunk(chunk);
    // A borrowed buffer is never written, whatever was done with the chunk.
    if (std::memcmp(words.data(), raw, rawSize) != 0)
        __builtin_trap();
    return 0;
}

// Opens arbitrary bytes as an engine file and loads them into a fresh
// context (every parameter class registered, a structure type, the user
// types' duplicate policy picked by the input's length) holding an object
// class and a manager that read every kind of chunk field: from memory, or (high bit of the first byte) as a mapped file,
// whose plain chunks borrow their words from the mapping. Nothing may crash,
// hang, leak or allocate past the cap the runner sets (-malloc_limit_mb):
// every size in the file is checked first.
#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKBaseManager.h"
#include "core/context/CKContext.h"
#include "core/context/CKStartUp.h"
#include "core/context/CKVariableManager.h"
#include "core/file/CKFile.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKObjectIDList.h"
#include "core/object/CKSceneObject.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterManager.h"

namespace {

// Reads references, sequences, buffers, texts and sub-chunks.
class FuzzItem : public CKClass<FuzzItem, CKSceneObject, 0>
{
public:
    explicit FuzzItem(CKContext* context) : CKClass(context) {}
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override
    {
        CKERROR result = CKSceneObject::Load(chunk, file);
        if (chunk->SeekIdentifier(0x2000)) {
            chunk->ReadInt();
            chunk->ReadFloat();
            m_Ref = chunk->ReadObjectID();
            XObjectArray refs = chunk->ReadXObjectArray();
            void* blob = nullptr;
            chunk->ReadBuffer(&blob);
            delete[] static_cast<CKBYTE*>(blob);
            char* text = nullptr;
            chunk->ReadString(&text);
            delete[] text;
            CKDeleteStateChunk(chunk->ReadSubChunk());
        }
        // A broken chunk is refused with a reason, as the engine's classes do.
        if (chunk->GetReadError() != 0) {
            CKNoteLoadRefusal(this, "chunk of %d bytes refused", chunk->GetDataSize());
            return chunk->GetReadError();
        }
        return result;
    }

    CK_ID m_Ref = 0;
    static const char* GetClassName() { return "Fuzz Item"; }
};

class FuzzManager : public CKBaseManager
{
public:
    explicit FuzzManager(CKContext* context) : CKBaseManager(context, CKGUID(0x11112222, 0x33334444), "Fuzz")
    {
        context->RegisterNewManager(this);
    }
    CKERROR LoadData(CKStateChunk* chunk, CKFile* file) override
    {
        (void) file;
        if (!chunk)
            return 0;
        chunk->StartRead();
        if (chunk->SeekIdentifier(0x42)) {
            int count = chunk->ReadInt();
            for (int i = 0; i < count && i < 64; ++i)
                chunk->ReadInt();
            chunk->ReadObjectID();
        }
        return 0;
    }
};

// An in-memory file that stands for a file on disk.
int g_FileFd = -1;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    g_FileFd = memfd_create("fuzz_engine_file", 0);
    CKStartUp();
    CKClassRegisterT<FuzzItem, CKSceneObject>("FuzzItem");
    CKBuildClassHierarchyTable();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1 << 20))
        return 0;
    CKContext* context = nullptr;
    CKCreateContext(&context, nullptr, nullptr);
    new FuzzManager(context);
    context->GetParameterManager()->RegisterNewStructure(CKGUID(0xF0, 0xF1), "Fuzz Struct", "a,b,c",
                                                         {CKPGUID_VECTOR, CKPGUID_STRING, CKPGUID_OBJECTARRAY});
    context->GetVariableManager()->SetValue("File Options/On Load Duplicate User Flags & Enums", (int) (size & 1));
    // Interface mode lets the interface-object class load too.
    context->SetInterfaceMode(TRUE, nullptr, nullptr);
    CKFile* file = context->CreateCKFile();
    CKObjectIDList list;
    // The first byte picks load flags, so clash handling and dependency
    // checks run too; the file itself starts at the second byte.
    CKDWORD flags = size > 0 ? (CKDWORD) (data[0] & 0x7F) << 3 : 0;
    const uint8_t* bytes = size > 0 ? data + 1 : data;
    int length = size > 0 ? (int) size - 1 : 0;
    CKERROR result = 0;
    if (size > 0 && (data[0] & 0x80) && g_FileFd >= 0 && ::ftruncate(g_FileFd, 0) == 0 &&
        ::pwrite(g_FileFd, bytes, (size_t) length, 0) == (ssize_t) length) {
        std::string path = "/proc/self/fd/" + std::to_string(g_FileFd);
        result = file->OpenFile(path.c_str(), flags);
    } else {
        result = file->OpenMemory(bytes, length, flags);
    }
    if (result == 0 || result == CKErr::PluginsMissing)
        file->LoadFileData(&list);
    for (int i = 0; i < file->GetRefusalCount(); ++i)
        if (file->GetRefusal(i)->m_Text.Length() == 0)
            __builtin_trap();
    context->DeleteCKFile(file);
    CKCloseContext(context);
    return 0;
}

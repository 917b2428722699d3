#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <strings.h>
#include <unistd.h>

#include "core/chunk/CKChunkBytes.h"
#include "core/chunk/CKStateChunk.h"
#include "core/context/CKBaseManager.h"
#include "core/context/CKContext.h"
#include "core/context/CKPathManager.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "core/file/CKFile.h"
#include "core/file/CKFileChecksum.h"
#include "core/file/CKFileFormat.h"
#include "core/file/CKMemoryBufferParser.h"
#include "core/file/CKMemoryBufferWriter.h"
#include "core/file/CKStreamWriter.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKObject.h"
#include "core/object/CKObjectIDList.h"
#include "includes/CKByteOrder.h"
#include "platform/PlatformAssert.h"
#include "platform/PlatformPaths.h"
#include "system/io/QxMemoryMappedFile.h"
#include "system/memory/QxMemoryManager.h"

namespace {

// Pieces of the data section below kDirectSize are gathered into runs of
// kGatherSize before they are summed, packed or written: size words and
// small chunks would otherwise cost one call each.
constexpr int kGatherSize = 1 << 18;
constexpr int kDirectSize = 1 << 14;

// Hands pieces on to out(bytes, n) in few large runs: small pieces are
// copied into one block, handed on when full; large ones go on as they
// are, after what the block holds. False once out refused a run.
template <class Out>
class Gatherer
{
public:
    Gatherer(char* block, Out& out) : m_Block(block), m_Out(out) {}

    bool operator()(const void* bytes, int n)
    {
        if (n >= kDirectSize)
            return Flush() && m_Out(bytes, n);
        if (m_Fill + n > kGatherSize && !Flush())
            return false;
        if (n == 4)
            std::memcpy(m_Block + m_Fill, bytes, 4);
        else
            std::memcpy(m_Block + m_Fill, bytes, (size_t) n);
        m_Fill += n;
        return true;
    }
    bool Flush()
    {
        bool ok = m_Fill == 0 || m_Out(m_Block, m_Fill);
        m_Fill = 0;
        return ok;
    }

private:
    char* m_Block;
    Out& m_Out;
    int m_Fill = 0;
};

// Extensions a file of this engine may never be saved under.
const char* const kRefusedExtensions[] = {".exe", ".pif", ".com", ".wsh", ".wsf", ".js", ".vb", ".bat", ".dll", ".sys"};

// The extension of a path (from the last '.' of its last component), or "".
const char* ExtensionOf(const char* path)
{
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/' || *p == '\\')
            name = p + 1;
    const char* dot = std::strrchr(name, '.');
    return dot ? dot : "";
}

// The last component of a path ('/' or '\' separators).
const char* BareNameOf(const char* path)
{
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/' || *p == '\\')
            name = p + 1;
    return name;
}

// A name beside the target that no file holds yet; the writer's file
// cleaning is applied to both, so the rename moves what was written.
XString TempNameBeside(const XString& target)
{
    static unsigned counter = 0;
    for (;;) {
        XString candidate = target;
        candidate += ".";
        candidate += (int) ::getpid();
        candidate += "-";
        candidate += (int) ++counter;
        candidate += ".tmp";
        candidate.MakeValidFileName();
        if (!PlatformPathExists(candidate.CStr()))
            return candidate;
    }
}

bool WriteWord(CKStreamWriter* writer, CKDWORD value)
{
    CKBYTE word[4];
    StoreLE32(word, value);
    return writer->Write(word, 4) == 4;
}

} // namespace

CKBOOL CKFile::IsExcludedFromSave(CKObject* object) const
{
    CKDWORD flags = object->GetObjectFlags();
    return (flags & CK_OBJECT_DYNAMIC) == CK_OBJECT_DYNAMIC || (flags & CK_OBJECT_NOTTOBESAVED) != 0;
}

CKERROR CKFile::StartSave(const char* name, CKDWORD flags)
{
    ClearData();
    if (!name || !*name) {
        m_Context->SetInSave(FALSE);
        return CKErr::InvalidFile;
    }
    m_FileName = name;
    m_Context->ExecuteManagersPreSave();
    m_Context->SetInSave(TRUE);
    m_SaveFlags = flags;
    m_SceneSaved = FALSE;
    ClearObjectRecords();
    ResetIndexByClass();

    const char* extension = ExtensionOf(name);
    for (const char* refused : kRefusedExtensions) {
        if (strcasecmp(extension, refused) == 0) {
            LogError("Invalid extension choice when saving a Keltrane file, only QBX, QDX , QFX , QHX are allowed");
            m_Context->SetInSave(FALSE);
            m_FileName = XString();
            return CKErr::InvalidFile;
        }
    }
    CKStreamWriter* writer = m_Context->GetFileStreamWriter();
    if (!writer || !writer->CheckAppendable(name)) {
        m_Context->SetInSave(FALSE);
        m_FileName = XString();
        return CKErr::CannotWriteToFile;
    }
    return CKErr::Ok;
}

void CKFile::AddRecord(CKObject* object, CKDWORD flags)
{
    CK_ID id = object->GetID();
    CK_CLASSID cid = object->GetClassID();
    int before = m_FileObjects.Size();
    int index = AddObjectRecord(id, cid);
    CKFileObjectRecord& record = m_FileObjects[index];
    record.m_Object = object;
    record.m_SaveFlags = flags;
    if (index == before) {
        record.m_Name = object->GetName() ? QxGetMemoryManager()->DuplicateString(object->GetName()) : nullptr;
        if (cid >= 0 && cid < m_IndexByClassId.Size())
            m_IndexByClassId[cid].PushBack(index);
    }
}

void CKFile::SaveObject(CKObject* object, CKDWORD flags)
{
    if (!object)
        return;
    CK_ID id = object->GetID();
    if (m_AlreadyReferencedMask.IsSet((int) id)) {
        if (object->GetObjectFlags() & CK_OBJECT_ONLYFORFILEREFERENCE)
            return;
        // Saved in full after all: the reference record is reused.
        m_ReferencedObjects.Remove(object);
        m_AlreadyReferencedMask.Unset((int) id);
    } else if (object->GetObjectFlags() & CK_OBJECT_ONLYFORFILEREFERENCE) {
        SaveObjectAsReference(object, flags);
        return;
    }
    if (m_AlreadySavedMask.IsSet((int) id))
        return;
    m_AlreadySavedMask.Set((int) id);
    if (IsExcludedFromSave(object))
        return;
    CK_CLASSID cid = object->GetClassID();
    const bool level = CKIsChildClassOf(cid, CKCID_LEVEL);
    if (level || CKIsChildClassOf(cid, CKCID_SCENE))
        m_SceneSaved = TRUE;
    if ((int) id > m_SaveIDMax)
        m_SaveIDMax = (int) id;
    // A level adds its content after its own record; other objects before.
    if (!level)
        object->PreSave(this, flags);
    AddRecord(object, flags);
    if (level)
        object->PreSave(this, flags);
}

void CKFile::SaveObjectAsReference(CKObject* object, CKDWORD flags)
{
    if (!object)
        return;
    CK_ID id = object->GetID();
    if (m_AlreadySavedMask.IsSet((int) id) || m_AlreadyReferencedMask.IsSet((int) id) || IsExcludedFromSave(object))
        return;
    m_AlreadyReferencedMask.Set((int) id);
    m_ReferencedObjects.PushBack(object);
    if ((int) id > m_SaveIDMax)
        m_SaveIDMax = (int) id;
    CK_CLASSID cid = object->GetClassID();
    if (CKIsChildClassOf(cid, CKCID_SCENE) || CKIsChildClassOf(cid, CKCID_LEVEL))
        m_SceneSaved = TRUE;
    if (CKIsChildClassOf(cid, CKCID_BEOBJECT))
        object->PreSave(this, flags);
    AddRecord(object, flags);
}

void CKFile::SaveObjects(CKObject** objects, int count, CKDWORD flags)
{
    if (!objects)
        return;
    for (int i = 0; i < count; ++i)
        SaveObject(objects[i], flags);
}

void CKFile::SaveObjectList(CKObjectIDList* list, CKDWORD flags)
{
    if (!list)
        return;
    // Objects added while saving never change the caller's list.
    XArray<CK_ID> ids;
    for (list->Reset(); !list->EndOfList(); list->Next())
        ids.PushBack(list->GetCurrentID());
    for (CK_ID id : ids)
        SaveObject(m_Context->GetObject(id), flags);
}

CKBOOL CKFile::IncludeFile(const char* name, int category)
{
    if (!name || !*name)
        return FALSE;
    XString path(name);
    if (category >= 0) {
        CKPathManager* paths = m_Context->GetPathManager();
        if (!paths || paths->ResolveFileName(path, category) != CKErr::Ok)
            return FALSE;
    }
    for (const XString& included : m_IncludedFiles)
        if (strcasecmp(included.CStr(), path.CStr()) == 0)
            return FALSE;
    m_IncludedFiles.PushBack(path);
    return TRUE;
}

CKERROR CKFile::EndSave()
{
    CKContext* context = m_Context;
    if (m_FileName.Length() == 0) {
        context->SetInSave(FALSE);
        return CKErr::InvalidFile;
    }
    const CKDWORD writeMode = (CKDWORD) context->GetFileWriteMode();
    const int level = context->GetCompressionLevel();
    const bool pack = (writeMode & CKFILE_PACKMASK) != 0;

    // Objects saved by reference carry 0x1000 while they write themselves;
    // each one's own flag is given back afterwards, whatever happens.
    XArray<CK_ID> marked;
    XArray<CKDWORD> markedFlags;
    for (CKFileObjectRecord& record : m_FileObjects) {
        if (!m_AlreadyReferencedMask.IsSet((int) record.m_ObjectID))
            continue;
        if (CKObject* object = context->GetObject(record.m_ObjectID)) {
            marked.PushBack(record.m_ObjectID);
            markedFlags.PushBack(object->GetObjectFlags() & CK_OBJECT_ONLYFORFILEREFERENCE);
            object->ModifyObjectFlags(CK_OBJECT_ONLYFORFILEREFERENCE, 0);
            record.m_ObjectID |= CK_FILE_REFERENCE_BIT;
        }
    }
    auto restoreMarks = [&]() {
        for (int i = 0; i < marked.Size(); ++i)
            if (CKObject* object = context->GetObject(marked[i]))
                object->ModifyObjectFlags(markedFlags[i], CK_OBJECT_ONLYFORFILEREFERENCE & ~markedFlags[i]);
        marked.Clear();
    };

    // Every object writes its state chunk. Unless the data is to be packed
    // (and then summed as stored), each record is summed while its chunk is
    // fresh: the object records' run of the data section, whose checksum is
    // joined to the manager records' once those exist.
    const int count = m_FileObjects.Size();
    CKDWORD objectsCrc = 0;
    for (int i = 0; i < count; ++i) {
        CKFileObjectRecord& record = m_FileObjects[i];
        CKObject* object = context->GetObject(record.m_ObjectID & ~CK_FILE_REFERENCE_BIT);
        CKStateChunk* chunk = nullptr;
        if (object) {
            try {
                chunk = object->Save(this, record.m_SaveFlags);
            } catch (...) {
                context->OutputToConsoleExBeep("Save Error:%s", object->GetName() ? object->GetName() : "");
                chunk = nullptr;
            }
        }
        int size = chunk ? chunk->ConvertToBuffer(nullptr) : 0; // closes the chunk
        record.m_Data = chunk;
        record.m_PrePackSize = record.m_PostPackSize = size;
        if (!pack) {
            CKBYTE word[4];
            StoreLE32(word, (CKDWORD) size);
            objectsCrc = CKFileChecksum(objectsCrc, word, 4);
            CKEmitChunkBytes(chunk, [&](const void* bytes, int n) {
                objectsCrc = CKFileChecksum(objectsCrc, bytes, (size_t) n);
                return true;
            });
        }
        context->SendInterfaceMessage(CKUIM_LOADSAVEPROGRESS, (uintptr_t) i, (uintptr_t) count, 0);
    }

    // The managers' own data, in manager-table order.
    for (int i = 0; i < context->GetManagerCount(); ++i) {
        CKBaseManager* manager = context->GetManager(i);
        if (!manager)
            continue;
        CKStateChunk* chunk = nullptr;
        try {
            chunk = manager->SaveData(this);
        } catch (...) {
            context->OutputToConsoleEx("[%s] Error : SaveData", manager->GetName() ? manager->GetName() : "");
            chunk = nullptr;
        }
        if (chunk) {
            CKFileManagerRecord record;
            record.m_Data = chunk;
            record.m_Manager = manager->GetGuid();
            m_ManagersData.PushBack(record);
        }
    }

    CKGetPluginManager()->ComputeFileDependencies(this);

    // Sizes of both sections, in 64 bits: the format holds 32-bit sizes only.
    XArray<int> nameLengths(count);
    int64_t descriptorBytes = 0;
    for (CKFileObjectRecord& record : m_FileObjects) {
        int length = record.m_Name ? (int) std::strlen(record.m_Name) : 0;
        nameLengths.PushBack(length);
        descriptorBytes += 16 + (int64_t) length;
    }
    const int padding = CKDescriptorPadding(descriptorBytes);
    int64_t headerSize = descriptorBytes + padding + 4 + 8;
    for (const CKFilePluginDependency& dependency : m_PluginsDep)
        headerSize += 8 + 8 * (int64_t) dependency.m_Guids.Size();
    int64_t managerBytes = 0;
    for (CKFileManagerRecord& record : m_ManagersData)
        managerBytes += 12 + (record.m_Data ? record.m_Data->ConvertToBuffer(nullptr) : 0);
    int64_t dataSize = managerBytes;
    for (CKFileObjectRecord& record : m_FileObjects)
        dataSize += 4 + record.m_PrePackSize;
    const int64_t limit = 0x7FFFFFFF - CK_FILE_HEADER_SIZE;
    CKERROR result = CKErr::Ok;
    CKMemoryBufferParser* header = nullptr;
    CKMemoryBufferParser* data = nullptr;
    if (headerSize > limit || dataSize > limit || headerSize + dataSize > limit) {
        LogError("Cannot save %s: its sections pass the 4 GB the format can hold", m_FileName.CStr());
        result = CKErr::OutOfMemory;
    }
    if (result == CKErr::Ok) {
        // Data offsets count the unpacked sections laid end to end.
        CKDWORD offset = (CKDWORD) (CK_FILE_HEADER_SIZE + headerSize + managerBytes);
        for (CKFileObjectRecord& record : m_FileObjects) {
            record.m_DataOffset = offset;
            offset += 4 + (CKDWORD) record.m_PrePackSize;
        }
        // Every byte of it is written below.
        char* block = static_cast<char*>(std::malloc((size_t) headerSize));
        header = block ? CKMemoryBufferParser::Adopt(block, (int) headerSize, 0) : nullptr;
        if (!header)
            result = CKErr::OutOfMemory;
    }
    if (result == CKErr::Ok) {
        CKBYTE* out = reinterpret_cast<CKBYTE*>(header->GetBuffer());
        for (int i = 0; i < count; ++i) {
            const CKFileObjectRecord& record = m_FileObjects[i];
            int nameLength = nameLengths[i];
            StoreLE32(out + 0, record.m_ObjectID);
            StoreLE32(out + 4, (CKDWORD) record.m_ClassID);
            StoreLE32(out + 8, record.m_DataOffset);
            StoreLE32(out + 12, (CKDWORD) (nameLength + (i == count - 1 ? padding : 0)));
            if (nameLength > 0)
                std::memcpy(out + 16, record.m_Name, (size_t) nameLength);
            out += 16 + nameLength;
        }
        if (count > 0)
            for (int k = 0; k < padding; ++k)
                *out++ = 0;
        StoreLE32(out, (CKDWORD) m_PluginsDep.Size());
        out += 4;
        for (const CKFilePluginDependency& dependency : m_PluginsDep) {
            StoreLE32(out + 0, (CKDWORD) dependency.m_PluginCategory);
            StoreLE32(out + 4, (CKDWORD) dependency.m_Guids.Size());
            out += 8;
            for (const CKGUID& guid : dependency.m_Guids) {
                StoreLE32(out + 0, guid.d1);
                StoreLE32(out + 4, guid.d2);
                out += 8;
            }
        }
        StoreLE32(out + 0, 4);
        StoreLE32(out + 4, (CKDWORD) m_IncludedFiles.Size());
        out += 8;
        PLATFORM_CHECK(out == reinterpret_cast<CKBYTE*>(header->GetBuffer()) + headerSize);
    }
    // The descriptors are written: the reference marks go.
    restoreMarks();

    // Pack of a memory parser gives a memory parser, of a writer a writer.
    CKMemoryBufferParser* headerOut = header;
    if (result == CKErr::Ok && pack) {
        CKBufferParser* packed = header->Pack((int) headerSize, level);
        if (packed && packed->Size() < (int) headerSize)
            headerOut = static_cast<CKMemoryBufferParser*>(packed);
        else
            delete packed;
    }

    // The data section is never laid out plain in a buffer of its own: its
    // pieces (manager GUIDs, size words, the chunks' serialised forms) go
    // from the records, gathered into runs, into the deflate stream, or
    // into the checksum and then the file.
    std::unique_ptr<char[]> gatherBlock(new (std::nothrow) char[kGatherSize]);
    if (result == CKErr::Ok && !gatherBlock)
        result = CKErr::OutOfMemory;
    auto emitManagers = [&](auto&& out) -> bool {
        CKBYTE word[8];
        for (CKFileManagerRecord& record : m_ManagersData) {
            int size = record.m_Data ? record.m_Data->ConvertToBuffer(nullptr) : 0;
            StoreLE32(word + 0, record.m_Manager.d1);
            StoreLE32(word + 4, record.m_Manager.d2);
            if (!out(word, 8))
                return false;
            StoreLE32(word, (CKDWORD) size);
            if (!out(word, 4) || !CKEmitChunkBytes(record.m_Data, out))
                return false;
        }
        return true;
    };
    auto emitData = [&](auto&& out) -> bool {
        Gatherer gather(gatherBlock.get(), out);
        CKBYTE word[4];
        if (!emitManagers(gather))
            return false;
        for (CKFileObjectRecord& record : m_FileObjects) {
            StoreLE32(word, (CKDWORD) record.m_PrePackSize);
            if (!gather(word, 4) || !CKEmitChunkBytes(record.m_Data, gather))
                return false;
        }
        return gather.Flush();
    };
    if (result == CKErr::Ok && pack) {
        CKMemoryBufferWriter* packed = CKMemoryBufferWriter::NewPackTarget((int) dataSize);
        bool ok = packed && packed->BeginDeflate(level);
        auto deflate = [&](const void* bytes, int n) { return packed->DeflatePiece(bytes, n); };
        if (ok)
            ok = emitData(deflate);
        ok = packed && packed->EndDeflate() && ok;
        // Kept only when strictly smaller; else the section is stored plain.
        if (ok && packed->Size() < (int) dataSize)
            data = packed;
        else
            delete packed;
    }

    XString target = m_FileName;
    if (result == CKErr::Ok) {
        headerOut->Seek(0);
        m_FileInfo = CKFileInfo();
        if (data) {
            m_FileInfo.Crc = data->ComputeCRC(data->Size(), 0);
        } else {
            CKDWORD crc = 0;
            auto sum = [&](const void* bytes, int n) {
                crc = CKFileChecksum(crc, bytes, (size_t) n);
                return true;
            };
            if (pack) {
                // Packing did not pay: the whole plain section is summed now.
                emitData(sum);
            } else {
                emitManagers(sum);
                crc = CKFileChecksumCombine(crc, objectsCrc, (uint64_t) (dataSize - managerBytes));
            }
            m_FileInfo.Crc = crc;
        }
        m_FileInfo.CKVersion = CK_FILE_ENGINE_VERSION;
        m_FileInfo.FileVersion = CK_FILE_VERSION_WRITTEN;
        m_FileInfo.FileWriteMode = writeMode;
        m_FileInfo.Hdr1PackSize = (CKDWORD) headerOut->Size();
        m_FileInfo.Hdr1UnPackSize = (CKDWORD) headerSize;
        m_FileInfo.DataPackSize = data ? (CKDWORD) data->Size() : (CKDWORD) dataSize;
        m_FileInfo.DataUnPackSize = (CKDWORD) dataSize;
        m_FileInfo.ManagerCount = (CKDWORD) m_ManagersData.Size();
        m_FileInfo.ObjectCount = (CKDWORD) count;
        m_FileInfo.MaxIDSaved = (CKDWORD) m_SaveIDMax;
        m_FileInfo.ProductVersion = context->GetProductVersion();
        m_FileInfo.ProductBuild = context->GetProductBuild();
        m_FileInfo.FileSize = m_FileInfo.DataPackSize + CK_FILE_HEADER_SIZE + m_FileInfo.Hdr1PackSize;
        context->SetLastSavedFile(target.CStr());
    }
    if (result == CKErr::Ok) {
        result = WriteSections(target, headerOut, [&](CKStreamWriter* writer) {
            if (data)
                return data->WriteToStream(writer) != FALSE;
            auto write = [&](const void* bytes, int n) { return writer->Write(bytes, (CKDWORD) n) == (CKDWORD) n; };
            return emitData(write);
        });
    }
    ClearData();
    ResetNameClashPolicies();
    if (headerOut != header)
        delete headerOut;
    delete header;
    delete data;
    m_IncludedFiles.Clear();
    context->ExecuteManagersPostSave();
    context->SetInSave(FALSE);
    return result;
}

void CKFile::SaveThumbnail()
{
    // The capture needs the render context's view rectangle, colour-buffer
    // dump and driver reset, which the render library provides; without a
    // main render context there is no thumbnail (CKWriteThumbnail writes one
    // from a captured image).
    if (!m_Context->GetMainRenderContext())
        return;
}

CKERROR CKFile::WriteSections(const XString& target, CKMemoryBufferParser* header,
                              const std::function<bool(CKStreamWriter*)>& writeData)
{
    CKStreamWriter* writer = m_Context->GetFileStreamWriter();
    XString finalName = target;
    finalName.MakeValidFileName();
    XString temp = TempNameBeside(target);
    if (!writer || !writer->Open(temp.CStr())) {
        if (writer)
            writer->Close();
        std::remove(PlatformNativePath(temp.CStr()).c_str());
        LogError("Cannot open %s for writing", temp.CStr());
        return CKErr::CannotWriteToFile;
    }
    CKBYTE head[CK_FILE_HEADER_SIZE];
    CKWriteFileHeader(m_FileInfo, head);
    CKERROR result = CKErr::Ok;
    if (writer->Write(head, CK_FILE_HEADER_SIZE) != CK_FILE_HEADER_SIZE || !header->WriteToStream(writer) ||
        !writeData(writer)) {
        LogError("Writing %s failed", temp.CStr());
        result = CKErr::NotEnoughDiskPlace;
    }
    if (result == CKErr::Ok) {
        if (m_Context->GetSaveThumbnail() && !(m_FileInfo.FileWriteMode & CKFILE_NOTHUMBNAIL))
            SaveThumbnail();
        for (const XString& path : m_IncludedFiles) {
            const char* bare = BareNameOf(path.CStr());
            CKDWORD length = (CKDWORD) std::strlen(bare);
            QxMemoryMappedFile mapped(path.CStr());
            bool ok = WriteWord(writer, length) && writer->Write(bare, length) == length;
            if (mapped.IsValid()) {
                CKDWORD size = mapped.GetFileSize();
                ok = ok && WriteWord(writer, size) && (size == 0 || writer->Write(mapped.GetBase(), size) == size);
            } else {
                LogError("Included file %s cannot be read: saved empty", path.CStr());
                ok = ok && WriteWord(writer, 0);
            }
            if (!ok) {
                LogError("Writing included file %s into %s failed", path.CStr(), temp.CStr());
                result = CKErr::NotEnoughDiskPlace;
                break;
            }
        }
    }
    if (!writer->Close() && result == CKErr::Ok) {
        LogError("Closing %s failed", temp.CStr());
        result = CKErr::NotEnoughDiskPlace;
    }
    if (result == CKErr::Ok &&
        std::rename(PlatformNativePath(temp.CStr()).c_str(), PlatformNativePath(finalName.CStr()).c_str()) != 0) {
        LogError("Cannot put %s in place", finalName.CStr());
        result = CKErr::CannotWriteToFile;
    }
    if (result != CKErr::Ok)
        std::remove(PlatformNativePath(temp.CStr()).c_str());
    return result;
}

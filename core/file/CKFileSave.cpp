#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <strings.h>
#include <unistd.h>

#include "core/attribute/CKAttributeManager.h"
#include "core/behavior/CKBehavior.h"
#include "core/chunk/CKChunkBytes.h"
#include "core/chunk/CKStateChunk.h"
#include "core/context/CKBaseManager.h"
#include "core/context/CKContext.h"
#include "core/context/CKPathManager.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKRenderContext.h"
#include "core/context/CKStartUp.h"
#include "core/context/CKVariableManager.h"
#include "core/file/CKFile.h"
#include "core/file/CKFileChecksum.h"
#include "core/file/CKFileFormat.h"
#include "core/file/CKFileThumbnail.h"
#include "core/file/CKMemoryBufferParser.h"
#include "core/file/CKMemoryBufferWriter.h"
#include "core/file/CKStreamWriter.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKObject.h"
#include "core/object/CKObjectIDList.h"
#include "core/parameter/CKParameter.h"
#include "core/parameter/CKParameterGuids.h"
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
    m_Context->CallBehaviorCallbacks(CKM_BEHAVIORPRESAVE);
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

// What EndSave's phases hand on to each other: the save options, the
// reference marks to give back and the sections under way.
struct CKFile::SaveState
{
    explicit SaveState(CKFile& file)
        : File(file), WriteMode((CKDWORD) file.m_Context->GetFileWriteMode()),
          Level(file.m_Context->GetCompressionLevel()), Pack((WriteMode & CKFILE_PACKMASK) != 0)
    {}
    ~SaveState()
    {
        if (HeaderOut != Header)
            delete HeaderOut;
        delete Header;
        delete Data;
    }
    SaveState(const SaveState&) = delete;
    SaveState& operator=(const SaveState&) = delete;

    // The data section is never laid out plain in a buffer of its own: its
    // pieces (manager GUIDs, size words, the chunks' serialised forms) go
    // from the records, gathered into runs, into the deflate stream, or
    // into the checksum and then the file.
    template <class Out>
    bool EmitManagers(Out&& out)
    {
        for (CKFileManagerRecord& record : File.m_ManagersData) {
            // The manager's GUID, then its chunk's size word.
            CKBYTE head[CKFileWordBytes<CKGUID> + 4];
            ByteWriter writer(head, sizeof head);
            CKWriteFileWords(writer, record.m_Manager);
            writer.Write32((CKDWORD) (record.m_Data ? record.m_Data->ConvertToBuffer(nullptr) : 0));
            if (!out(head, (int) sizeof head) || !CKEmitChunkBytes(record.m_Data, out))
                return false;
        }
        return true;
    }
    template <class Out>
    bool EmitData(Out&& out)
    {
        Gatherer gather(GatherBlock.get(), out);
        CKBYTE word[4];
        if (!EmitManagers(gather))
            return false;
        for (CKFileObjectRecord& record : File.m_FileObjects) {
            StoreLE32(word, (CKDWORD) record.m_PrePackSize);
            if (!gather(word, 4) || !CKEmitChunkBytes(record.m_Data, gather))
                return false;
        }
        return gather.Flush();
    }

    CKFile& File;
    const CKDWORD WriteMode;
    const int Level;
    const bool Pack; // both sections are offered to packing
    // Objects marked 0x1000 while they save, and each one's own flag.
    XArray<CK_ID> Marked;
    XArray<CKDWORD> MarkedFlags;
    // Types marked to be saved with the managers' data.
    XArray<CKParameterTypeDesc*> MarkedTypes;
    // Attribute types marked to be saved with the attribute manager's data.
    XArray<int> MarkedAttributeTypes;
    // Unless packing: the checksum of the object records' run of the data.
    CKDWORD ObjectsCrc = 0;
    // Unpacked sizes of the sections, and of the manager records' run.
    int64_t HeaderSize = 0;
    int64_t DataSize = 0;
    int64_t ManagerBytes = 0;
    CKMemoryBufferParser* Header = nullptr;    // the plain header data
    CKMemoryBufferParser* HeaderOut = nullptr; // as stored: Header or its packed form
    CKMemoryBufferParser* Data = nullptr;      // the packed data; null when stored plain
    std::unique_ptr<char[]> GatherBlock;
};

CKERROR CKFile::EndSave()
{
    CKContext* context = m_Context;
    if (m_FileName.Length() == 0) {
        context->SetInSave(FALSE);
        return CKErr::InvalidFile;
    }
    CKERROR result = CKErr::Ok;
    {
        // The sections go with it, before the managers' PostSave.
        SaveState save(*this);
        MarkReferences(save);
        AnnounceScriptsWithoutInterface();
        SaveObjectChunks(save);
        context->CallBehaviorCallbacks(CKM_BEHAVIORPOSTSAVE);
        MarkUserTypes(save);
        MarkAttributeTypes(save);
        SaveManagersData();
        CKGetPluginManager()->ComputeFileDependencies(this);
        for (CKParameterTypeDesc* desc : save.MarkedTypes)
            desc->Flags &= ~CKPARAMETERTYPE_TOSAVE;
        save.MarkedTypes.Clear();
        for (int type : save.MarkedAttributeTypes)
            m_Context->GetAttributeManager()->ModifyAttributeFlags(type, 0, CK_ATTRIBUTE_SAVEDWITHFILE);
        save.MarkedAttributeTypes.Clear();
        result = LayOutSections(save);
        if (result == CKErr::Ok)
            result = BuildHeaderData(save);
        // The descriptors are written: the reference marks go.
        RestoreReferenceMarks(save);
        if (result == CKErr::Ok)
            result = PackSections(save);
        if (result == CKErr::Ok) {
            KeepHeaderValues(save, SumDataSection(save));
            XString target = m_FileName;
            context->SetLastSavedFile(target.CStr());
            result = WriteSections(target, save.HeaderOut, save);
        }
        ClearData();
        ResetNameClashPolicies();
    }
    m_IncludedFiles.Clear();
    context->ExecuteManagersPostSave();
    context->SetInSave(FALSE);
    return result;
}

void CKFile::MarkReferences(SaveState& save)
{
    // Objects saved by reference carry 0x1000 while they write themselves;
    // each one's own flag is given back afterwards, whatever happens.
    for (CKFileObjectRecord& record : m_FileObjects) {
        if (!m_AlreadyReferencedMask.IsSet((int) record.m_ObjectID))
            continue;
        if (CKObject* object = m_Context->GetObject(record.m_ObjectID)) {
            save.Marked.PushBack(record.m_ObjectID);
            save.MarkedFlags.PushBack(object->GetObjectFlags() & CK_OBJECT_ONLYFORFILEREFERENCE);
            object->ModifyObjectFlags(CK_OBJECT_ONLYFORFILEREFERENCE, 0);
            record.m_ObjectID |= CK_FILE_REFERENCE_BIT;
        }
    }
}

void CKFile::AnnounceScriptsWithoutInterface()
{
    // The host may give the scripts it lays out an interface chunk first.
    XArray<CK_ID> scripts;
    for (const CKFileObjectRecord& record : m_FileObjects) {
        if (!CKIsChildClassOf(record.m_ClassID, CKCID_BEHAVIOR))
            continue;
        auto* behavior = static_cast<CKBehavior*>(m_Context->GetObject(record.m_ObjectID & ~CK_FILE_REFERENCE_BIT));
        if (behavior && (behavior->GetFlags() & CKBEHAVIOR_SCRIPT) && !behavior->GetInterfaceChunk())
            scripts.PushBack(behavior->GetID());
    }
    m_Context->SendInterfaceMessage(CKUIM_SCRIPTSWITHOUTINTERFACE, (uintptr_t) scripts.Begin(),
                                    (uintptr_t) scripts.Size(), 0);
}

void CKFile::RestoreReferenceMarks(SaveState& save)
{
    for (int i = 0; i < save.Marked.Size(); ++i)
        if (CKObject* object = m_Context->GetObject(save.Marked[i]))
            object->ModifyObjectFlags(save.MarkedFlags[i], CK_OBJECT_ONLYFORFILEREFERENCE & ~save.MarkedFlags[i]);
    save.Marked.Clear();
    save.MarkedFlags.Clear();
}

void CKFile::SaveObjectChunks(SaveState& save)
{
    // Every object writes its state chunk. Unless the data is to be packed
    // (and then summed as stored), each record is summed while its chunk is
    // fresh: the object records' run of the data section, whose checksum is
    // joined to the manager records' once those exist.
    const int count = m_FileObjects.Size();
    for (int i = 0; i < count; ++i) {
        CKFileObjectRecord& record = m_FileObjects[i];
        CKObject* object = m_Context->GetObject(record.m_ObjectID & ~CK_FILE_REFERENCE_BIT);
        CKStateChunk* chunk = nullptr;
        if (object) {
            try {
                chunk = object->Save(this, record.m_SaveFlags);
            } catch (...) {
                m_Context->OutputToConsoleExBeep("Save Error:%s", object->GetName() ? object->GetName() : "");
                chunk = nullptr;
            }
        }
        int size = chunk ? chunk->ConvertToBuffer(nullptr) : 0; // closes the chunk
        record.m_Data = chunk;
        record.m_PrePackSize = record.m_PostPackSize = size;
        if (!save.Pack) {
            CKBYTE word[4];
            StoreLE32(word, (CKDWORD) size);
            save.ObjectsCrc = CKFileChecksum(save.ObjectsCrc, word, 4);
            CKEmitChunkBytes(chunk, [&](const void* bytes, int n) {
                save.ObjectsCrc = CKFileChecksum(save.ObjectsCrc, bytes, (size_t) n);
                return true;
            });
        }
        m_Context->SendInterfaceMessage(CKUIM_LOADSAVEPROGRESS, (uintptr_t) i, (uintptr_t) count, 0);
    }
}

void CKFile::MarkUserTypes(SaveState& save)
{
    // The enumerations and flags that loaded files declared, used by the
    // saved parameters, go with the parameter manager's data.
    for (const CKFileObjectRecord& record : m_FileObjects) {
        if (!CKIsChildClassOf(record.m_ClassID, CKCID_PARAMETER))
            continue;
        auto* param = static_cast<CKParameter*>(m_Context->GetObject(record.m_ObjectID & ~CK_FILE_REFERENCE_BIT));
        CKParameterTypeDesc* desc = param ? param->GetTypeDesc() : nullptr;
        if (desc && (desc->Flags & CKPARAMETERTYPE_USER) &&
            (desc->Flags & (CKPARAMETERTYPE_FLAGS | CKPARAMETERTYPE_ENUMS)) &&
            !(desc->Flags & CKPARAMETERTYPE_TOSAVE)) {
            desc->Flags |= CKPARAMETERTYPE_TOSAVE;
            save.MarkedTypes.PushBack(desc);
        }
    }
}

void CKFile::MarkAttributeTypes(SaveState& save)
{
    // The attribute types that saved "Attribute" values name are saved with
    // the attribute manager's data, used or not, so that the values find
    // them again on load.
    CKAttributeManager* attributes = m_Context->GetAttributeManager();
    if (!attributes)
        return;
    for (CK_CLASSID cid : {CKCID_PARAMETEROUT, CKCID_PARAMETERLOCAL}) {
        const XArray<int>* indices = GetIndexByClass(cid);
        if (!indices)
            continue;
        for (int index : *indices) {
            const CKFileObjectRecord& record = m_FileObjects[index];
            auto* param = static_cast<CKParameter*>(m_Context->GetObject(record.m_ObjectID & ~CK_FILE_REFERENCE_BIT));
            if (!param || param->GetGUID() != CKPGUID_ATTRIBUTE)
                continue;
            int type = -1;
            param->GetValue(&type, FALSE);
            if (attributes->IsAttributeTypeValid(type) &&
                !(attributes->GetAttributeFlags(type) & CK_ATTRIBUTE_SAVEDWITHFILE)) {
                attributes->ModifyAttributeFlags(type, CK_ATTRIBUTE_SAVEDWITHFILE, 0);
                save.MarkedAttributeTypes.PushBack(type);
            }
        }
    }
}

void CKFile::SaveManagersData()
{
    // The managers' own data, in manager-table order.
    for (int i = 0; i < m_Context->GetManagerCount(); ++i) {
        CKBaseManager* manager = m_Context->GetManager(i);
        if (!manager)
            continue;
        CKStateChunk* chunk = nullptr;
        try {
            chunk = manager->SaveData(this);
        } catch (...) {
            m_Context->OutputToConsoleEx("[%s] Error : SaveData", manager->GetName() ? manager->GetName() : "");
            chunk = nullptr;
        }
        if (chunk) {
            CKFileManagerRecord record;
            record.m_Data = chunk;
            record.m_Manager = manager->GetGuid();
            m_ManagersData.PushBack(record);
        }
    }
}

CKERROR CKFile::LayOutSections(SaveState& save)
{
    // Sizes of both sections, in 64 bits: the format holds 32-bit sizes only.
    int64_t descriptorBytes = 0;
    for (const CKFileObjectRecord& record : m_FileObjects)
        descriptorBytes +=
            CKFileWordBytes<CKFileDescriptor> + (int64_t) (record.m_Name ? std::strlen(record.m_Name) : 0);
    // The dependency count word, the entries, the included-file table.
    int64_t headerSize = descriptorBytes + CKDescriptorPadding(descriptorBytes) + 4;
    for (const CKFilePluginDependency& dependency : m_PluginsDep)
        headerSize +=
            CKFileWordBytes<CKFileDependencyHead> + CKFileWordBytes<CKGUID> * (int64_t) dependency.m_Guids.Size();
    headerSize += 4 + CK_FILE_INCLUDED_TABLE_SIZE;
    int64_t managerBytes = 0;
    for (CKFileManagerRecord& record : m_ManagersData)
        managerBytes += CKFileWordBytes<CKGUID> + 4 + (record.m_Data ? record.m_Data->ConvertToBuffer(nullptr) : 0);
    int64_t dataSize = managerBytes;
    for (const CKFileObjectRecord& record : m_FileObjects)
        dataSize += 4 + record.m_PrePackSize;
    const int64_t limit = 0x7FFFFFFF - CK_FILE_HEADER_SIZE;
    if (headerSize > limit || dataSize > limit || headerSize + dataSize > limit) {
        LogError("Cannot save %s: its sections pass the 4 GB the format can hold", m_FileName.CStr());
        return CKErr::OutOfMemory;
    }
    save.HeaderSize = headerSize;
    save.DataSize = dataSize;
    save.ManagerBytes = managerBytes;

    // Data offsets count the unpacked sections laid end to end.
    CKDWORD offset = (CKDWORD) (CK_FILE_HEADER_SIZE + headerSize + managerBytes);
    for (CKFileObjectRecord& record : m_FileObjects) {
        record.m_DataOffset = offset;
        offset += 4 + (CKDWORD) record.m_PrePackSize;
    }
    return CKErr::Ok;
}

CKERROR CKFile::BuildHeaderData(SaveState& save)
{
    // Every byte of it is written below.
    char* block = static_cast<char*>(std::malloc((size_t) save.HeaderSize));
    save.Header = block ? CKMemoryBufferParser::Adopt(block, (int) save.HeaderSize, 0) : nullptr;
    if (!save.Header)
        return CKErr::OutOfMemory;
    save.HeaderOut = save.Header;
    if (!PLATFORM_CHECK(WriteHeaderData(save.Header->GetBuffer(), save.Header->Size()))) {
        LogError("The header data of %s does not fill its %lld bytes", m_FileName.CStr(), (long long) save.HeaderSize);
        return CKErr::NotEnoughDiskPlace;
    }
    return CKErr::Ok;
}

bool CKFile::WriteHeaderData(char* bytes, int size)
{
    ByteWriter writer(bytes, bytes ? (size_t) size : 0);

    // Object descriptors: 16 bytes and a name each; zeros pad the block to
    // whole words, counted in the last name length.
    const int count = m_FileObjects.Size();
    size_t padding = 0;
    for (int i = 0; i < count; ++i) {
        const CKFileObjectRecord& record = m_FileObjects[i];
        const size_t nameLength = record.m_Name ? std::strlen(record.m_Name) : 0;
        if (i == count - 1)
            padding = (size_t) CKDescriptorPadding(
                (int64_t) (writer.Position() + CKFileWordBytes<CKFileDescriptor> + nameLength));
        CKFileDescriptor descriptor;
        descriptor.ObjectID = record.m_ObjectID;
        descriptor.ClassID = (CKDWORD) record.m_ClassID;
        descriptor.DataOffset = record.m_DataOffset;
        descriptor.NameLength = (CKDWORD) (nameLength + padding);
        CKWriteFileWords(writer, descriptor);
        writer.WriteBytes(record.m_Name, nameLength);
    }
    writer.WriteZeros(padding);

    // Plug-in dependencies: category, GUID count, GUIDs.
    writer.Write32((CKDWORD) m_PluginsDep.Size());
    for (const CKFilePluginDependency& dependency : m_PluginsDep) {
        CKFileDependencyHead head;
        head.Category = (CKDWORD) dependency.m_PluginCategory;
        head.GuidCount = (CKDWORD) dependency.m_Guids.Size();
        CKWriteFileWords(writer, head);
        for (const CKGUID& guid : dependency.m_Guids)
            CKWriteFileWords(writer, guid);
    }

    // Included-file table: its size, then the count.
    writer.Write32(CK_FILE_INCLUDED_TABLE_SIZE);
    writer.Write32((CKDWORD) m_IncludedFiles.Size());
    return writer.Ok() && writer.Remaining() == 0;
}

CKERROR CKFile::PackSections(SaveState& save)
{
    // Each section is stored packed only when that makes it strictly
    // smaller. Pack of a memory parser gives a memory parser.
    if (save.Pack) {
        CKBufferParser* packed = save.Header->Pack((int) save.HeaderSize, save.Level);
        if (packed && packed->Size() < (int) save.HeaderSize)
            save.HeaderOut = static_cast<CKMemoryBufferParser*>(packed);
        else
            delete packed;
    }
    save.HeaderOut->Seek(0);

    save.GatherBlock.reset(new (std::nothrow) char[kGatherSize]);
    if (!save.GatherBlock)
        return CKErr::OutOfMemory;
    if (save.Pack) {
        CKMemoryBufferWriter* packed = CKMemoryBufferWriter::NewPackTarget((int) save.DataSize);
        bool ok = packed && packed->BeginDeflate(save.Level);
        if (ok)
            ok = save.EmitData([&](const void* bytes, int n) { return packed->DeflatePiece(bytes, n); });
        ok = packed && packed->EndDeflate() && ok;
        if (ok && packed->Size() < (int) save.DataSize)
            save.Data = packed;
        else
            delete packed;
    }
    return CKErr::Ok;
}

CKDWORD CKFile::SumDataSection(SaveState& save)
{
    // The checksum covers the data section as stored.
    if (save.Data)
        return save.Data->ComputeCRC(save.Data->Size(), 0);
    CKDWORD crc = 0;
    auto sum = [&](const void* bytes, int n) {
        crc = CKFileChecksum(crc, bytes, (size_t) n);
        return true;
    };
    if (save.Pack) {
        // Packing did not pay: the whole plain section is summed now.
        save.EmitData(sum);
        return crc;
    }
    save.EmitManagers(sum);
    return CKFileChecksumCombine(crc, save.ObjectsCrc, (uint64_t) (save.DataSize - save.ManagerBytes));
}

void CKFile::KeepHeaderValues(SaveState& save, CKDWORD crc)
{
    m_FileInfo = CKFileInfo();
    m_FileInfo.Crc = crc;
    m_FileInfo.CKVersion = CK_FILE_ENGINE_VERSION;
    m_FileInfo.FileVersion = CK_FILE_VERSION_WRITTEN;
    m_FileInfo.FileWriteMode = save.WriteMode;
    m_FileInfo.Hdr1PackSize = (CKDWORD) save.HeaderOut->Size();
    m_FileInfo.Hdr1UnPackSize = (CKDWORD) save.HeaderSize;
    m_FileInfo.DataPackSize = save.Data ? (CKDWORD) save.Data->Size() : (CKDWORD) save.DataSize;
    m_FileInfo.DataUnPackSize = (CKDWORD) save.DataSize;
    m_FileInfo.ManagerCount = (CKDWORD) m_ManagersData.Size();
    m_FileInfo.ObjectCount = (CKDWORD) m_FileObjects.Size();
    m_FileInfo.MaxIDSaved = (CKDWORD) m_SaveIDMax;
    m_FileInfo.ProductVersion = m_Context->GetProductVersion();
    m_FileInfo.ProductBuild = m_Context->GetProductBuild();
    m_FileInfo.FileSize = m_FileInfo.DataPackSize + CK_FILE_HEADER_SIZE + m_FileInfo.Hdr1PackSize;
}

void CKFile::SaveThumbnail()
{
    CKRenderContext* dev = m_Context->GetMainRenderContext();
    if (!dev)
        return;
    QxRect view;
    dev->GetViewRect(view);
    int width = 0, height = 0;
    CKThumbnailSize((int) view.GetWidth(), (int) view.GetHeight(), width, height);

    // An anti-aliased device cannot be read back: capture without it.
    CKVariableManager* variables = m_Context->GetVariableManager();
    int antialias = 0;
    bool restore = variables && variables->GetValue("CK2_3D/Antialias", &antialias) && antialias != 0;
    if (restore) {
        variables->SetValue("CK2_3D/Antialias", 0);
        dev->ChangeDriver(-1);
        dev->Render();
    }
    QxImageDesc image;
    int size = dev->DumpToMemory(nullptr, CK_RENDERBUFFER_COLOR, image);
    std::unique_ptr<CKBYTE[]> pixels;
    bool captured = false;
    if (size > 0 && image.BitsPerPixel == 32 && image.Width > 0 && image.Height > 0 &&
        (int64_t) image.BytesPerLine * image.Height == size) {
        pixels.reset(new (std::nothrow) CKBYTE[(size_t) size]);
        if (pixels) {
            image.Image = pixels.get();
            captured = dev->DumpToMemory(nullptr, CK_RENDERBUFFER_COLOR, image) == size;
        }
    }
    if (restore) {
        variables->SetValue("CK2_3D/Antialias", antialias);
        dev->ChangeDriver(-1);
        dev->Render();
    }
    if (!captured) {
        LogError("The main render context gave no image: no thumbnail");
        return;
    }
    XString path = m_Context->GetPathManager()->GetTempFolder();
    if (path.IsEmpty())
        return;
    path += "/zkthumbnail.jpg";
    if (CKWriteThumbnail(path.CStr(), image, width, height))
        IncludeFile(path.CStr(), -1);
}

bool CKFile::WriteDataSection(SaveState& save, CKStreamWriter* writer)
{
    if (save.Data)
        return save.Data->WriteToStream(writer) != FALSE;
    return save.EmitData([&](const void* bytes, int n) { return writer->Write(bytes, (CKDWORD) n) == (CKDWORD) n; });
}

CKERROR CKFile::WriteSections(const XString& target, CKMemoryBufferParser* header, SaveState& save)
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
        !WriteDataSection(save, writer)) {
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

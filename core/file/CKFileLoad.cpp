#include <cstdlib>
#include <cstring>
#include <new>

#include "core/behavior/CKBehavior.h"
#include "core/chunk/CKStateChunk.h"
#include "core/context/CKBaseManager.h"
#include "core/context/CKContext.h"
#include "core/context/CKError.h"
#include "core/context/CKGlobals.h"
#include "core/context/CKPathManager.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "core/file/CKFile.h"
#include "core/file/CKFileBufferParser.h"
#include "core/file/CKFileFormat.h"
#include "core/file/CKInflatingBufferParser.h"
#include "core/file/CKMemoryBufferParser.h"
#include "core/object/CKBeObject.h"
#include "core/object/CKBeObjectLinks.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKObject.h"
#include "core/object/CKObjectIDList.h"
#include "core/object/CKObjectManager.h"
#include "core/parameter/CKParameter.h"
#include "core/parameter/CKParameterManager.h"
#include "includes/CKByteOrder.h"
#include "system/io/QxMemoryMappedFile.h"
#include "system/memory/QxMemoryManager.h"

namespace {

// Chunk identifiers read from old files.
constexpr CKDWORD kOldChunkName = 1;
constexpr CKDWORD kBehaviorPrototypeGuid = 0x40000;
constexpr CKDWORD kBehaviorFlagsAndGuid = 32;
constexpr CKDWORD kBehaviorBuildingBlock = 0x8000;

// The load table never grows past this many ids, or the file's size if
// larger: a saved id is a hostile number, and references in current files
// go through the records, not through this table.
constexpr int64_t kLoadTableMinCap = 1 << 20;

// Records handled under one hold of a lock taken for each of them (see
// QxMutexBatch): enough to make the lock's cost vanish, few enough that
// another thread waits for microseconds only.
constexpr int kLockBatch = 256;

// Load option from a name-clash policy or a creation result.
CKDWORD LoadOptionOf(int value)
{
    switch (value) {
    case 1: return CKFILE_LOAD_REPLACE;
    case 2: return CKFILE_LOAD_RENAME;
    case 3: return CKFILE_LOAD_DONTLOAD;
    default: return CKFILE_LOAD_NORMAL;
    }
}

// A copy of the characters up to the first zero (at most length), as a
// memory-manager string; null for an empty name.
char* CopyName(const CKBYTE* bytes, int length)
{
    const void* end = length > 0 ? std::memchr(bytes, 0, (size_t) length) : bytes;
    const int n = end ? (int) (static_cast<const CKBYTE*>(end) - bytes) : length;
    if (n == 0)
        return nullptr;
    char* name = static_cast<char*>(QxGetMemoryManager()->Allocate((size_t) n + 1));
    if (name) {
        std::memcpy(name, bytes, (size_t) n);
        name[n] = 0;
    }
    return name;
}

// The file name an included file is written under: its last component,
// refused (empty) when nothing but dots is left.
XString BareIncludedName(const char* name)
{
    const char* bare = name;
    for (const char* p = name; *p; ++p)
        if (*p == '/' || *p == '\\')
            bare = p + 1;
    bool onlyDots = true;
    for (const char* p = bare; *p; ++p)
        if (*p != '.')
            onlyDots = false;
    return onlyDots ? XString() : XString(bare);
}

bool IsValidClass(CK_CLASSID cid)
{
    CKClassDesc* desc = cid > 0 ? CKGetClassDesc(cid) : nullptr;
    return desc && desc->m_CreationFct;
}

// What the load steps ask of a class, found once per class rather than
// several times per object.
class LoadClassTraits
{
public:
    enum : CKBYTE
    {
        Creatable = 1,
        Level = 2,
        BeObject = 4,
        Listed = 8, // behavioural objects and animations go to the caller's list
    };

    LoadClassTraits()
    {
        m_Bits.Resize(CKGetGlobalClassCount());
        for (int cid = 0; cid < m_Bits.Size(); ++cid)
            m_Bits[cid] = Compute(cid);
    }
    bool Has(CK_CLASSID cid, CKBYTE bits) const
    {
        return ((cid >= 0 && cid < m_Bits.Size() ? m_Bits.Begin()[cid] : Compute(cid)) & bits) != 0;
    }

private:
    static CKBYTE Compute(CK_CLASSID cid)
    {
        CKBYTE bits = IsValidClass(cid) ? Creatable : 0;
        if (CKIsChildClassOf(cid, CKCID_LEVEL))
            bits |= Level;
        if (CKIsChildClassOf(cid, CKCID_BEOBJECT))
            bits |= BeObject;
        if (CKIsChildClassOf(cid, CKCID_BEOBJECT) || CKIsChildClassOf(cid, CKCID_OBJECTANIMATION) ||
            CKIsChildClassOf(cid, CKCID_ANIMATION))
            bits |= Listed;
        return bits;
    }

    XArray<CKBYTE> m_Bits;
};

// Deflate makes at most about 1032 bytes of one packed byte.
constexpr int64_t kMostInflatedPerPackedByte = 1032;

// The whole inflated stretch of a parser (cursor 0) in one owned memory
// parser whose chunks borrow their words from it; null when its size cannot
// come from its packed bytes, memory runs out or the stream breaks (the
// parser is then rewound, for the caller to read it piece by piece).
CKMemoryBufferParser* InflateWhole(CKBufferParser* inflating, int packedSize)
{
    const int size = inflating->Size();
    if (size <= 0 || (int64_t) size > (int64_t) packedSize * kMostInflatedPerPackedByte + 64)
        return nullptr;
    char* block = static_cast<char*>(std::malloc((size_t) size));
    if (!block)
        return nullptr;
    if (!inflating->Read(block, size)) {
        std::free(block);
        inflating->Seek(0);
        return nullptr;
    }
    CKMemoryBufferParser* whole = CKMemoryBufferParser::Adopt(block, size, 0);
    if (whole)
        whole->SetLendChunks(TRUE);
    return whole;
}

} // namespace

CKERROR CKFile::OpenFile(const char* name, CKDWORD loadFlags)
{
    ClearData();
    // The dependencies are those of the file opened, none of an earlier one's.
    m_PluginsDep.Clear();
    if (!name)
        return CKErr::InvalidParameter;
    m_FileName = name;
    m_MappedFile = new (std::nothrow) QxMemoryMappedFile(name);
    if (m_MappedFile && m_MappedFile->IsValid()) {
        m_Context->RememberLoadedComposition(name);
        int size = (int) m_MappedFile->GetFileSize();
        if (m_MappedFile->GetFileSize() > 0x7FFFFFFF || size < CK_FILE_HEADER_PART_SIZE ||
            !CKHasFileSignature(m_MappedFile->GetBase(), size)) {
            LogError("%s is not an engine file (%u bytes)", name, m_MappedFile->GetFileSize());
            CloseParser();
            return CKErr::InvalidFile;
        }
        CKMemoryBufferParser* parser = new CKMemoryBufferParser(size, const_cast<void*>(m_MappedFile->GetBase()));
        if (parser)
            parser->SetReleaseReadPages(TRUE);
        return OpenWith(parser, TRUE, loadFlags);
    }
    delete m_MappedFile;
    m_MappedFile = nullptr;
    return OpenWith(new CKFileBufferParser(name, TRUE), FALSE, loadFlags);
}

CKERROR CKFile::OpenMemory(const void* buffer, int size, CKDWORD loadFlags)
{
    ClearData();
    m_PluginsDep.Clear();
    if (!buffer)
        return CKErr::InvalidParameter;
    if (size < CK_FILE_HEADER_PART_SIZE || !CKHasFileSignature(buffer, size)) {
        LogError("A memory image of %d bytes is not an engine file", size);
        return CKErr::InvalidFile;
    }
    return OpenWith(new CKMemoryBufferParser(size, const_cast<void*>(buffer)), TRUE, loadFlags);
}

CKERROR CKFile::OpenWith(CKBufferParser* parser, CKBOOL inMemory, CKDWORD loadFlags)
{
    if (!parser) {
        CloseParser();
        return CKErr::OutOfMemory;
    }
    if (!parser->IsValid()) {
        delete parser;
        CloseParser();
        return CKErr::InvalidParameter;
    }
    m_Parser = parser;
    m_ParserInMemory = inMemory;
    return OpenParser(loadFlags);
}

CKERROR CKFile::OpenParser(CKDWORD loadFlags)
{
    CKGetGlobals().m_LoadedFileObsolete = FALSE;
    m_LoadFlags = loadFlags;
    ResetIndexByClass();
    CKERROR result = ReadFileHeaders();
    if (result != CKErr::Ok && result != CKErr::PluginsMissing) {
        // Nothing was created: the records and the parser go now, and no
        // plug-in read from the refused headers is left to be asked about.
        XString name = m_FileName;
        ClearData();
        m_FileName = name;
        m_PluginsDep.Clear();
    }
    return result;
}

CKERROR CKFile::Load(const char* name, CKObjectIDList* list, CKDWORD loadFlags)
{
    CKERROR result = OpenFile(name, loadFlags);
    if (result != CKErr::Ok && result != CKErr::PluginsMissing)
        return result;
    m_Context->RememberLoadedComposition(name);
    return LoadFileData(list);
}

CKERROR CKFile::ReadFileHeaders()
{
    CKBufferParser* parser = m_Parser;
    CKGlobalState& globals = CKGetGlobals();
    m_IncludedFiles.Clear();
    m_IncludedFileCount = 0;
    const int fileSize = parser->Size();
    if (fileSize < CK_FILE_HEADER_PART_SIZE) {
        LogError("%s: %d bytes, shorter than a file header", m_FileName.CStr(), fileSize);
        return CKErr::InvalidFile;
    }
    CKBYTE part[CK_FILE_HEADER_PART_SIZE];
    parser->Seek(0);
    parser->Read(part, CK_FILE_HEADER_PART_SIZE);
    if (parser->HasFailed() || !CKHasFileSignature(part, CK_FILE_HEADER_PART_SIZE)) {
        LogError("%s does not start with the engine file signature", m_FileName.CStr());
        return CKErr::InvalidFile;
    }
    CKFileInfo info;
    if (CKReadFileHeaderPart0(part, info) != 0) {
        info = CKFileInfo();
        globals.m_LoadedFileObsolete = TRUE;
    }
    const CKDWORD version = info.FileVersion;
    if (version > CK_FILE_VERSION_NEWEST) {
        m_Context->OutputToConsole("This version is too old to load this file", TRUE);
        LogError("%s has file version %u; this engine reads up to %u", m_FileName.CStr(), version,
                 CK_FILE_VERSION_NEWEST);
        return CKErr::ObsoleteKeltrane;
    }
    if (version < CK_FILE_VERSION_OLDEST) {
        m_Context->OutputToConsole("Invalid File (too old ?)", TRUE);
        LogError("%s has file version %u; the oldest read is %u", m_FileName.CStr(), version, CK_FILE_VERSION_OLDEST);
        return CKErr::InvalidFile;
    }
    int headerStart = CK_FILE_HEADER_PART_SIZE;
    if (version >= CK_FILE_VERSION_PART1) {
        if (fileSize < CK_FILE_HEADER_SIZE) {
            LogError("%s: %d bytes, shorter than a two-part header", m_FileName.CStr(), fileSize);
            return CKErr::InvalidFile;
        }
        parser->Read(part, CK_FILE_HEADER_PART_SIZE);
        CKReadFileHeaderPart1(part, info);
        headerStart = CK_FILE_HEADER_SIZE;
    }
    if (info.ProductVersion >= 12) {
        info.ProductVersion = 0;
        info.ProductBuild = 0x01010000;
    }
    info.FileSize = (CKDWORD) fileSize;
    m_FileInfo = info;

    // Where the sections lie, checked against the file.
    const int64_t available = (int64_t) fileSize - headerStart;
    const int64_t headerStored = version >= CK_FILE_VERSION_DESCRIPTORS ? (int64_t) info.Hdr1PackSize : 0;
    if (headerStored > available) {
        LogError("%s: header data of %lld bytes passes the end of the file", m_FileName.CStr(),
                 (long long) headerStored);
        return CKErr::InvalidFile;
    }
    m_DataStart = headerStart + (int) headerStored;
    const bool dataPacked = (info.FileWriteMode & CKFILE_PACKMASK) && info.DataPackSize != info.DataUnPackSize;
    if (version >= CK_FILE_VERSION_HEADERDATA || dataPacked) {
        if ((int64_t) info.DataPackSize > (int64_t) fileSize - m_DataStart) {
            LogError("%s: data of %u bytes passes the end of the file", m_FileName.CStr(), info.DataPackSize);
            return CKErr::InvalidFile;
        }
        m_DataEnd = m_DataStart + (int) info.DataPackSize;
    } else {
        m_DataEnd = fileSize;
    }
    if (info.DataUnPackSize > 0x7FFFFFFF || info.Hdr1UnPackSize > 0x7FFFFFFF) {
        LogError("%s: an unpacked size passes 2 GB", m_FileName.CStr());
        return CKErr::InvalidFile;
    }

    CKERROR result = CKErr::Ok;
    if (version >= CK_FILE_VERSION_DESCRIPTORS) {
        parser->Seek(headerStart);
        CKMemoryBufferParser* block = nullptr;
        if (version >= CK_FILE_VERSION_HEADERDATA && info.Hdr1PackSize != info.Hdr1UnPackSize) {
            if (CKBufferParser* unpacked = parser->UnPack((int) info.Hdr1UnPackSize, (int) info.Hdr1PackSize)) {
                block = unpacked->Extract((int) info.Hdr1UnPackSize);
                delete unpacked;
                if (!block) {
                    LogError("%s: the packed header data is broken", m_FileName.CStr());
                    return CKErr::InvalidFile;
                }
            }
            parser->Seek(headerStart);
        }
        if (!block && m_ParserInMemory) {
            // Read where it lies (its size was checked against the file).
            result = ReadHeaderData(static_cast<CKMemoryBufferParser*>(parser)->GetBuffer() + headerStart,
                                    (int) headerStored);
        } else {
            if (!block)
                block = parser->Extract((int) headerStored);
            if (!block) {
                LogError("%s: the header data cannot be read", m_FileName.CStr());
                return parser->HasFailed() ? CKErr::InvalidFile : CKErr::OutOfMemory;
            }
            result = ReadHeaderData(block->GetBuffer(), block->Size());
            delete block;
        }
        if (result != CKErr::Ok && result != CKErr::PluginsMissing)
            return result;
    }

    globals.m_LoadedFileVersion = version;
    globals.m_LoadedFileEngineVersion = info.CKVersion;
    globals.m_LoadedFileWriteMode = info.FileWriteMode;

    if ((m_LoadFlags & CK_LOAD_CHECKDEPENDENCIES) && version < CK_FILE_VERSION_HEADERDATA) {
        m_ReadFileDataDone = TRUE;
        CKERROR read = ReadFileData();
        if (read != CKErr::Ok) {
            ResetNameClashPolicies();
            m_Context->SetInLoad(FALSE);
            return read;
        }
        if (CheckDependenciesOfOldFile() == CKErr::PluginsMissing)
            result = CKErr::PluginsMissing;
    }

    if (m_LoadFlags & (CK_LOAD_DODIALOG | CK_LOAD_AUTOMATICMODE | CK_LOAD_CHECKDUPLICATES)) {
        ResolveNameClashes();
        if (m_DuplicateNameFounds.Size() > 0) {
            if (m_LoadFlags & CK_LOAD_REPLACEDUPLICATES) {
                for (int index : m_DuplicateNameFounds)
                    m_FileObjects[index].m_LoadOption = CKFILE_LOAD_REPLACE;
            } else if (m_LoadFlags & CK_LOAD_DODIALOG) {
                if (m_Context->SendInterfaceMessage(CKUIM_LOADSAVENAMECLASH, (uintptr_t) this, 0, 0) == CKErr::Canceled)
                    return CKErr::Canceled;
            }
        }
    }
    return result;
}

void CKFile::IndexLoadedId(int index, CK_ID saved, CK_ID limit)
{
    // A saving context numbers its objects from 1, so saved ids are mostly
    // dense: those below a bound the record count sets (so that the table
    // stays within a few words a record whatever the file says) index their
    // records directly; the others go to the hash table. The first record of
    // an id wins.
    if (saved >= limit) {
        m_ObjectsHashTable.FindOrInsert(saved, index);
        return;
    }
    const int size = m_LoadedIndexById.Size();
    if ((int) saved >= size) {
        CK_ID grown = (CK_ID) size * 2 > saved + 1 ? (CK_ID) size * 2 : saved + 1;
        if (grown > limit)
            grown = limit;
        m_LoadedIndexById.Resize((int) grown);
        std::memset(m_LoadedIndexById.Begin() + size, 0, sizeof(int) * (size_t) ((int) grown - size));
    }
    int& entry = m_LoadedIndexById.Begin()[saved];
    if (entry == 0)
        entry = index + 1;
}

CKERROR CKFile::ReadHeaderData(const char* bytes, int size)
{
    ByteReader reader(bytes, bytes ? (size_t) size : 0);
    const CKFileInfo& info = m_FileInfo;
    CKERROR result = CKErr::Ok;

    // Object descriptors: 16 bytes and a name each.
    if ((uint64_t) info.ObjectCount * CKFileWordBytes < CKFileDescriptor >> (uint64_t) size) {
        LogError("%s: %u object descriptors cannot fit in %d bytes of header data", m_FileName.CStr(), info.ObjectCount,
                 size);
        return CKErr::InvalidFile;
    }
    const int count = (int) info.ObjectCount;
    m_FileObjects.Resize(count);
    m_LoadedIndexById.Clear();
    m_ObjectsHashTable.Clear();
    const CK_ID idLimit = (CK_ID) count * 4 + 1024;
    for (int i = 0; i < count; ++i) {
        CKFileObjectRecord& record = m_FileObjects[i];
        record = CKFileObjectRecord();
        CKFileDescriptor descriptor;
        if (!CKReadFileWords(reader, descriptor) || !reader.Has(descriptor.NameLength)) {
            // The records not read yet are left empty.
            for (int j = i + 1; j < count; ++j)
                m_FileObjects[j] = CKFileObjectRecord();
            LogError("%s: object descriptor %d passes the header data", m_FileName.CStr(), i);
            return CKErr::InvalidFile;
        }
        record.m_ObjectID = descriptor.ObjectID;
        record.m_ClassID = (CK_CLASSID) descriptor.ClassID;
        record.m_DataOffset = descriptor.DataOffset;
        record.m_Name = CopyName(reader.Current(), (int) descriptor.NameLength);
        reader.Skip(descriptor.NameLength);
        CK_ID saved = descriptor.ObjectID & ~CK_FILE_REFERENCE_BIT;
        if (saved > m_LoadedIDMax)
            m_LoadedIDMax = saved;
        IndexLoadedId(i, saved, idLimit);
    }
    m_SaveIDMax = (int) (info.MaxIDSaved & 0x7FFFFFFF);
    if (info.FileVersion < CK_FILE_VERSION_HEADERDATA)
        return CKErr::Ok;

    // Plug-in dependencies: category, GUID count, GUIDs.
    uint32_t entries = 0;
    reader.Read32(entries);
    if (!reader.Ok() || entries > reader.Remaining() / CKFileWordBytes<CKFileDependencyHead>) {
        LogError("%s: %u plug-in dependency entries cannot fit in the header data", m_FileName.CStr(), entries);
        return CKErr::InvalidFile;
    }
    CKPluginManager* plugins = CKGetPluginManager();
    const bool check = (m_LoadFlags & CK_LOAD_CHECKDEPENDENCIES) != 0;
    for (uint32_t e = 0; e < entries; ++e) {
        CKFileDependencyHead head;
        if (!CKReadFileWords(reader, head) || head.GuidCount > reader.Remaining() / CKFileWordBytes<CKGUID>) {
            LogError("%s: plug-in dependency entry %u passes the header data", m_FileName.CStr(), e);
            return CKErr::InvalidFile;
        }
        const int category = (int) head.Category;
        CKFilePluginDependency dependency;
        dependency.m_PluginCategory = category;
        dependency.m_Guids.Resize((int) head.GuidCount);
        for (uint32_t g = 0; g < head.GuidCount; ++g) {
            CKGUID guid;
            CKReadFileWords(reader, guid);
            dependency.m_Guids[(int) g] = guid;
            if (!check)
                continue;
            bool present = guid == CK_FILE_ALWAYS_PRESENT_PLUGIN;
            if (!present && category >= 0 && category < plugins->GetCategoryCount())
                present = plugins->FindComponent(guid, category) != nullptr;
            if (!present)
                present = plugins->FindComponent(guid, -1) != nullptr;
            if (present) {
                dependency.m_ValidGuids.Set((int) g);
            } else {
                result = CKErr::PluginsMissing;
            }
        }
        m_PluginsDep.PushBack(dependency);
    }

    // Included-file table: its size, then the count; the rest is skipped.
    int32_t tableSize = 0;
    reader.ReadS32(tableSize);
    if (!reader.Ok()) {
        LogError("%s: the header data ends before the included-file table", m_FileName.CStr());
        return CKErr::InvalidFile;
    }
    if (tableSize > 0) {
        uint32_t included = 0;
        reader.Read32(included);
        if (!reader.Ok() || tableSize < 4 || !reader.Skip((size_t) tableSize - 4)) {
            LogError("%s: the included-file table passes the header data", m_FileName.CStr());
            return CKErr::InvalidFile;
        }
        // Each included file takes 8 bytes at least after the data.
        if ((int64_t) included * 8 > (int64_t) info.FileSize - m_DataEnd) {
            LogError("%s: %u included files cannot fit after the data", m_FileName.CStr(), included);
            return CKErr::InvalidFile;
        }
        m_IncludedFileCount = (int) included;
    }
    return result;
}

CKERROR CKFile::CheckDependenciesOfOldFile()
{
    CKPluginManager* plugins = CKGetPluginManager();
    CKFilePluginDependency blocks;
    blocks.m_PluginCategory = CKPLUGIN_BEHAVIOR_DLL;
    CKFilePluginDependency managers;
    managers.m_PluginCategory = CKPLUGIN_MANAGER_DLL;
    CKERROR result = CKErr::Ok;
    for (CKFileObjectRecord& record : m_FileObjects) {
        if (record.m_ClassID != CKCID_BEHAVIOR || !record.m_Data)
            continue;
        CKStateChunk* chunk = record.m_Data;
        chunk->StartRead();
        CKGUID guid;
        if (chunk->SeekIdentifier(kBehaviorPrototypeGuid)) {
            guid = chunk->ReadGuid();
        } else if (chunk->SeekIdentifier(kBehaviorFlagsAndGuid)) {
            CKDWORD flags = 0;
            if (chunk->GetDataVersion() < 5) {
                guid = chunk->ReadGuid();
                flags = chunk->ReadDword();
            } else {
                flags = chunk->ReadDword();
                guid = chunk->ReadGuid();
            }
            if (!(flags & kBehaviorBuildingBlock))
                guid = CKGUID();
        }
        if (!guid.IsValid() || plugins->FindComponent(guid, CKPLUGIN_BEHAVIOR_DLL))
            continue;
        blocks.m_Guids.PushBack(guid);
        result = CKErr::PluginsMissing;
    }
    m_PluginsDep.PushBack(blocks);
    m_PluginsDep.PushBack(managers);
    return result;
}

void CKFile::ResolveNameClashes()
{
    m_DuplicateNameFounds.Clear();
    for (int i = 0; i < m_FileObjects.Size(); ++i) {
        CKFileObjectRecord& record = m_FileObjects[i];
        if ((record.m_ObjectID & CK_FILE_REFERENCE_BIT) || !record.m_Name || !IsValidClass(record.m_ClassID))
            continue;
        const CK_CLASSID cid = record.m_ClassID;
        CKClassDesc* desc = CKGetClassDesc(cid);
        if (desc->m_CreationFlags & CK_GENERALOPTIONS_NODUPLICATENAMECHECK)
            continue;
        if (!m_Context->GetObjectByNameAndClass(record.m_Name, cid))
            continue;
        if (desc->m_CreationFlags & CK_GENERALOPTIONS_CANUSECURRENTOBJECT) {
            record.m_LoadOption = CKFILE_LOAD_DONTLOAD;
            continue;
        }
        int policy = -1;
        if (CKIsChildClassOf(cid, CKCID_MESH))
            policy = m_Context->GetNameClashPolicy(CK_NAMECLASH_MESHES);
        else if (CKIsChildClassOf(cid, CKCID_MATERIAL) || CKIsChildClassOf(cid, CKCID_TEXTURE))
            policy = m_Context->GetNameClashPolicy(CK_NAMECLASH_MATERIALS);
        else if (CKIsChildClassOf(cid, CKCID_3DENTITY))
            policy = m_Context->GetNameClashPolicy(CK_NAMECLASH_3DENTITIES);
        if (policy == -1)
            policy = m_Context->GetNameClashPolicy(CK_NAMECLASH_ALL);
        if (policy == -1)
            m_DuplicateNameFounds.PushBack(i);
        else
            record.m_LoadOption = LoadOptionOf(policy);
    }
}

CKERROR CKFile::LoadFileData(CKObjectIDList* list)
{
    if (!m_Parser && !m_ReadFileDataDone)
        return CKErr::InvalidFile;
    m_Context->ExecuteManagersPreLoad();
    m_Context->SetInLoad(TRUE);
    CKERROR result = CKErr::Ok;
    if (!m_ReadFileDataDone) {
        m_ReadFileDataDone = TRUE;
        result = ReadFileData();
    }
    if (result == CKErr::Ok)
        FinishLoading(list, m_LoadFlags);
    if (CKGetGlobals().m_LoadedFileObsolete)
        m_Context->OutputToConsole("Obsolete File Format,Please Re-Save...", TRUE);
    ResetNameClashPolicies();
    CloseParser();
    m_Context->ExecuteManagersPostLoad();
    m_Context->SetInLoad(FALSE);
    return result;
}

CKERROR CKFile::ReadFileData()
{
    CKBufferParser* raw = m_Parser;
    if (!raw)
        return CKErr::InvalidFile;
    const CKFileInfo& info = m_FileInfo;
    const CKDWORD version = info.FileVersion;
    const char* name = m_FileName.CStr();

    // The checksum of the data as stored (every version that has one). Plain
    // data in memory is summed while it is read, in the same pass.
    const bool packed = (info.FileWriteMode & CKFILE_PACKMASK) && info.DataPackSize != info.DataUnPackSize;
    CKMemoryBufferParser* fused = version >= CK_FILE_VERSION_HEADERDATA && !packed && m_ParserInMemory
                                      ? static_cast<CKMemoryBufferParser*>(raw)
                                      : nullptr;
    auto crcError = [&](CKDWORD crc) {
        m_Context->OutputToConsole("Crc Error in m_File", TRUE);
        LogError("%s: the data's checksum is 0x%08X, the header says 0x%08X", name, crc, info.Crc);
        return CKErr::FileCRCError;
    };
    if (version >= CK_FILE_VERSION_HEADERDATA && !fused) {
        raw->Seek(m_DataStart);
        CKDWORD crc = raw->ComputeCRC(m_DataEnd - m_DataStart, 0);
        if (raw->HasFailed() || crc != info.Crc)
            return crcError(crc);
    }
    raw->Seek(m_DataStart);
    if (fused)
        fused->StartChecksum();
    // Plain data in the mapped file: the chunks borrow their words from it
    // rather than copying them (they copy only what remapping rewrites).
    if (fused && m_MappedFile) {
        fused->SetLendChunks(TRUE);
        m_MappingLent = TRUE;
    }
    CKBufferParser* section = raw;
    CKBufferParser* unpacked = nullptr;
    int sectionEnd = m_DataEnd;
    if (packed) {
        unpacked = raw->UnPack((int) info.DataUnPackSize, (int) info.DataPackSize);
        if (unpacked) {
            // The file's own checksum covers these bytes (as stored, checked
            // above; as inflated, checked below for old versions): zlib's
            // second sum over them would be a repeat.
            if (auto* inflating = dynamic_cast<CKInflatingBufferParser*>(unpacked))
                inflating->SkipCheckValue();
            section = unpacked;
            sectionEnd = unpacked->Size();
            // Inflated at once, as one block that the chunks borrow from
            // (kept until ClearData) rather than copied out piece by piece.
            if (CKMemoryBufferParser* whole = InflateWhole(unpacked, (int) info.DataPackSize)) {
                delete unpacked;
                unpacked = nullptr;
                m_InflatedData = whole;
                section = whole;
            }
        }
    }
    auto left = [&]() { return sectionEnd - section->CursorPosition(); };
    // Each record's chunk is a pool allocation: the memory manager's lock is
    // held across runs of them (the records' loop takes no other lock and
    // runs no callback) rather than taken once for each. Let go before any
    // report.
    QxMutexBatch allocating(QxGetMemoryManager()->GetMutex(), kLockBatch);
    auto fail = [&](const char* what) -> CKERROR {
        allocating.Release();
        delete unpacked;
        ResetIndexByClass();
        // A checked section that cannot be read is first a checksum error.
        if (fused) {
            raw->Seek(m_DataStart);
            CKDWORD crc = raw->ComputeCRC(m_DataEnd - m_DataStart, 0);
            if (crc != info.Crc)
                return crcError(crc);
        }
        LogError("%s: %s", name, what);
        return CKErr::InvalidFile;
    };

    int objectCount = m_FileObjects.Size();
    m_RecordsToRemap.Clear();
    // Each record enters its class's list as it is read.
    ResetIndexByClass();
    auto indexByClass = [this](int index) {
        const CK_CLASSID cid = m_FileObjects[index].m_ClassID;
        if (cid >= 0 && cid < m_IndexByClassId.Size())
            m_IndexByClassId[cid].PushBack(index);
    };
    if (version < CK_FILE_VERSION_HEADERDATA) {
        CKGetGlobals().m_LoadedFileObsolete = TRUE;
        int start = section->CursorPosition();
        CKDWORD crc = section->ComputeCRC(left(), 0);
        if (section->HasFailed() || crc != info.Crc) {
            m_Context->OutputToConsole("Crc Error in m_File", TRUE);
            LogError("%s: the data's checksum is 0x%08X, the header says 0x%08X", name, crc, info.Crc);
            delete unpacked;
            return CKErr::FileCRCError;
        }
        section->Seek(start);
        int highest = section->ReadInt();
        int count = section->ReadInt();
        if (section->HasFailed())
            return fail("the data ends before its object count");
        if (version >= CK_FILE_VERSION_DESCRIPTORS) {
            if (count != objectCount)
                return fail("the data's object count differs from the descriptors'");
        } else {
            if (count < 0 || count > left() / 8)
                return fail("the object count passes the data");
            m_FileObjects.Resize(count);
            for (CKFileObjectRecord& record : m_FileObjects)
                record = CKFileObjectRecord();
            objectCount = count;
            m_SaveIDMax = highest & 0x7FFFFFFF;
        }
    }

    if (version >= CK_FILE_VERSION_MANAGERS) {
        if ((int64_t) info.ManagerCount * 12 > left())
            return fail("the manager records pass the data");
        for (CKDWORD m = 0; m < info.ManagerCount; ++m) {
            CKFileManagerRecord record;
            record.m_Manager.d1 = (CKDWORD) section->ReadInt();
            record.m_Manager.d2 = (CKDWORD) section->ReadInt();
            int size = section->ReadInt();
            if (section->HasFailed() || size < 0 || size > left())
                return fail("a manager record passes the data");
            record.m_Data = section->ExtractChunk(size, this);
            m_ManagersData.PushBack(record);
        }
    }

    for (int i = 0; i < objectCount; ++i) {
        allocating.Step();
        CKFileObjectRecord& record = m_FileObjects[i];
        if (version < CK_FILE_VERSION_DESCRIPTORS)
            record.m_ObjectID = (CK_ID) section->ReadInt();
        int size = section->ReadInt();
        if (section->HasFailed() || size < 0 || size > left())
            return fail("an object record passes the data");
        bool skip = ((m_LoadFlags & CK_LOAD_ONLYBEHAVIORS) && version >= CK_FILE_VERSION_DESCRIPTORS &&
                     record.m_ClassID != CKCID_BEHAVIOR) ||
                    (!m_Context->IsInInterfaceMode() && record.m_ClassID == CKCID_INTERFACEOBJECTMANAGER);
        if (skip) {
            section->Skip(size);
            indexByClass(i);
            continue;
        }
        record.m_Data = section->ExtractChunk(size, this);
        record.m_PrePackSize = record.m_PostPackSize = size;
        if (section->HasFailed())
            return fail("an object's chunk cannot be read");
        if (CKStateChunk* chunk = record.m_Data)
            if (chunk->GetChunkVersion() < CHUNK_VERSION_LISTS ||
                (chunk->GetChunkOptions() & (CHNK_OPTION_IDS | CHNK_OPTION_CHN)))
                m_RecordsToRemap.PushBack(i);
        if (version < CK_FILE_VERSION_DESCRIPTORS) {
            CK_ID saved = record.m_ObjectID & ~CK_FILE_REFERENCE_BIT;
            if (saved > m_LoadedIDMax)
                m_LoadedIDMax = saved;
            m_ObjectsHashTable.FindOrInsert(saved, i);
            if (CKStateChunk* chunk = record.m_Data) {
                record.m_ClassID = chunk->GetChunkClassID();
                chunk->StartRead();
                if (chunk->SeekIdentifier(kOldChunkName)) {
                    XString text = chunk->ReadXString();
                    record.m_Name = CopyName(reinterpret_cast<const CKBYTE*>(text.CStr()), text.Length());
                }
            }
        }
        indexByClass(i);
    }
    allocating.Release();
    if (section->HasFailed())
        return fail("the data cannot be read");
    delete unpacked;
    unpacked = nullptr;
    if (fused) {
        fused->Skip(m_DataEnd - fused->CursorPosition());
        if (fused->GetChecksum() != info.Crc) {
            ResetIndexByClass();
            return crcError(fused->GetChecksum());
        }
    }

    CKERROR result = version >= CK_FILE_VERSION_HEADERDATA ? ReadIncludedFiles() : CKErr::Ok;
    CloseParser();
    return result;
}

CKERROR CKFile::ReadIncludedFiles()
{
    if (m_IncludedFileCount == 0)
        return CKErr::Ok;
    CKBufferParser* raw = m_Parser;
    raw->Seek(m_DataEnd);
    CKPathManager* paths = m_Context->GetPathManager();
    XString folder = paths ? paths->GetTempFolder() : XString();
    for (int i = 0; i < m_IncludedFileCount; ++i) {
        int length = raw->ReadInt();
        if (raw->HasFailed() || length < 0 || length > raw->Remaining() - 4) {
            LogError("%s: included file %d passes the end of the file", m_FileName.CStr(), i);
            return CKErr::InvalidFile;
        }
        char* stored = length > 0 ? new (std::nothrow) char[(size_t) length + 1] : nullptr;
        if (length > 0 && !stored)
            return CKErr::OutOfMemory;
        if (stored) {
            raw->Read(stored, length);
            stored[length] = 0;
        }
        XString bare = BareIncludedName(stored ? stored : "");
        delete[] stored;
        int size = raw->ReadInt();
        if (raw->HasFailed() || size < 0 || size > raw->Remaining()) {
            LogError("%s: included file %d passes the end of the file", m_FileName.CStr(), i);
            return CKErr::InvalidFile;
        }
        if (size == 0)
            continue;
        if (bare.Length() == 0 || folder.Length() == 0) {
            LogError("%s: included file %d is not extracted (%s)", m_FileName.CStr(), i,
                     folder.Length() == 0 ? "no temporary folder" : "its name is empty or only dots");
            raw->Skip(size);
            continue;
        }
        XString path = folder;
        if (path[path.Length() - 1] != '/' && path[path.Length() - 1] != '\\')
            path += "/";
        path += bare;
        if (!raw->ExtractFile(path.CStr(), size))
            LogError("%s: included file %s cannot be written", m_FileName.CStr(), path.CStr());
        if (raw->HasFailed())
            return CKErr::InvalidFile;
    }
    return CKErr::Ok;
}

void CKFile::LoadRecord(CKFileObjectRecord& record, CKObject* object)
{
    CKContext* context = m_Context;
    CKFile* outer = context->GetLoadingFile();
    context->SetLoadingFile(this);
    m_RefusalNoted = FALSE;
    m_RefusalReason = XString();
    CKERROR error = CKErr::Ok;
    try {
        error = object->Load(record.m_Data, this);
    } catch (...) {
        LogError("%s: loading object %s failed", m_FileName.CStr(), object->GetName() ? object->GetName() : "");
        NoteRefusal("its load failed with an exception");
    }
    context->SetLoadingFile(outer);
    if (error == CKErr::Ok && !m_RefusalNoted)
        return;
    // The load goes on whatever one object's Load gives: the refusal is
    // kept so that the loss can be seen.
    CKFileRefusal refusal;
    refusal.m_ClassID = object->GetClassID();
    refusal.m_Name = object->GetName() ? object->GetName() : "";
    if (m_RefusalNoted)
        refusal.m_Text = m_RefusalReason;
    else if (record.m_Data && record.m_Data->GetReadError() != CKErr::Ok)
        refusal.m_Text = "its chunk is cut short or broken";
    else
        refusal.m_Text = CKErrorToString(error);
    m_Refusals.PushBack(refusal);
    m_RefusalNoted = FALSE;
    m_RefusalReason = XString();
}

CKObject* CKFile::FindSharedParameter(CKFileObjectRecord& record)
{
    // A parameter saved by reference stands for one the context holds: same
    // class, name and type, owned by a behaviour applied to an object or by
    // a parameter operation.
    CKGUID type;
    if (record.m_Data) {
        record.m_Data->StartRead();
        if (record.m_Data->SeekIdentifier(CK_STATESAVE_PARAMETER_VALUE))
            type = CKReplaceOldParameterGuid(record.m_Data->ReadGuid());
    }
    const CKBeObjectLinks& links = CKGetBeObjectLinks();
    CKObject* candidate = nullptr;
    while ((candidate = m_Context->GetObjectByNameAndClass(record.m_Name, record.m_ClassID, candidate))) {
        auto* param = static_cast<CKParameter*>(candidate);
        CKObject* owner = param->GetOwner();
        if (param->GetGUID() != type || !owner)
            continue;
        if (owner->GetClassID() == CKCID_PARAMETEROPERATION ||
            (CKIsChildClassOf(owner->GetClassID(), CKCID_BEHAVIOR) && links.GetBehaviorOwner &&
             links.GetBehaviorOwner(owner)))
            return param;
    }
    CKParameterManager* pm = m_Context->GetParameterManager();
    const char* typeName = pm ? pm->TypeToName(pm->ParameterGuidToType(type)) : nullptr;
    m_Context->OutputToConsoleEx("Missing Shortcut Source with name <%s> and of type <%s>",
                                 record.m_Name ? record.m_Name : "", typeName ? typeName : "");
    return nullptr;
}

CKERROR CKFile::FinishLoading(CKObjectIDList* list, CKDWORD loadFlags)
{
    CKContext* context = m_Context;
    CKObjectManager* objects = context->GetObjectManager();
    const LoadClassTraits traits;
    const int total = m_FileObjects.Size();
    // The records were entered in their classes' lists as they were read;
    // those of classes that make objects give the room the ids will take
    // (references and records without a chunk counted too).
    int creations = 0;
    for (int cid = 0; cid < m_IndexByClassId.Size(); ++cid)
        if (cid != CKCID_RENDERCONTEXT && traits.Has(cid, LoadClassTraits::Creatable))
            creations += m_IndexByClassId[cid].Size();
    int64_t cap = (int64_t) m_FileInfo.FileSize > kLoadTableMinCap ? (int64_t) m_FileInfo.FileSize : kLoadTableMinCap;
    int64_t tableSize = (int64_t) m_LoadedIDMax + 1;
    objects->StartLoadTable((int) (tableSize < cap ? tableSize : cap));
    objects->ReserveIds(creations);

    // What the later passes need of each record is noted while its object is
    // at hand, so that they go straight to the records they concern: those
    // whose object is a behaviour or a behavioural object (in record order),
    // and the first level.
    struct Behavioral
    {
        int m_Index;
        bool m_Behavior; // else a behavioural object
    };
    XArray<Behavioral> behavioral;
    int firstLevel = -1;

    // Every object is created (or found) before any is loaded. The context's
    // creation lock is held across runs of creations rather than taken once
    // for each.
    QxMutexBatch creating(context->GetCreationMutex(), kLockBatch);
    for (int i = 0; i < total; ++i) {
        creating.Step();
        CKFileObjectRecord& record = m_FileObjects[i];
        const CK_CLASSID cid = record.m_ClassID;
        if (cid == CKCID_RENDERCONTEXT || !record.m_Data || !traits.Has(cid, LoadClassTraits::Creatable))
            continue;
        CKObject* object = nullptr;
        if (record.m_ObjectID & CK_FILE_REFERENCE_BIT) {
            // Found rather than created: the resolver (the caller's code) or a
            // report may run, so not under the held lock.
            creating.Release();
            record.m_ObjectID &= ~CK_FILE_REFERENCE_BIT;
            if (CKIsChildClassOf(cid, CKCID_PARAMETER))
                object = FindSharedParameter(record);
            else
                object = m_Resolver ? m_Resolver(context, record, m_ResolverData)
                                    : context->GetObjectByNameAndClass(record.m_Name, cid);
            if (object)
                record.m_LoadOption =
                    CKIsChildClassOf(object->GetClassID(), CKCID_BEOBJECT) ? CKFILE_LOAD_NORMAL : CKFILE_LOAD_DONTLOAD;
        } else {
            CKDWORD options = CK_OBJECTCREATION_NONAMECOPY;
            if (loadFlags & CK_LOAD_AS_DYNAMIC_OBJECT)
                options |= CK_OBJECTCREATION_DYNAMIC;
            if (record.m_LoadOption == CKFILE_LOAD_RENAME)
                options |= CK_OBJECTCREATION_RENAME;
            else if (record.m_LoadOption == CKFILE_LOAD_REPLACE)
                options |= CK_OBJECTCREATION_REPLACE;
            else if (record.m_LoadOption == CKFILE_LOAD_DONTLOAD)
                options |= CK_OBJECTCREATION_USECURRENT;
            CKDWORD created = 0;
            object = context->CreateObject(cid, record.m_Name, options, &created);
            if (object && record.m_Name && object->GetName() == record.m_Name)
                record.m_Name = nullptr;
            record.m_LoadOption = LoadOptionOf((int) created);
        }
        if (object) {
            objects->SetLoadTableEntry(object, (int) record.m_ObjectID);
            record.m_Object = object;
            record.m_CreatedObject = object->GetID();
            const CK_CLASSID objectClass = object->GetClassID();
            if (objectClass == CKCID_BEHAVIOR || traits.Has(objectClass, LoadClassTraits::BeObject))
                behavioral.PushBack(Behavioral{i, objectClass == CKCID_BEHAVIOR});
            if (firstLevel < 0 && traits.Has(cid, LoadClassTraits::Level))
                firstLevel = i;
        }
    }
    creating.Release();

    int done = 0;
    // The record's object, when it is still there and is to be loaded.
    auto loadable = [&](CKFileObjectRecord& record) -> CKObject* {
        if (!record.m_Object || !record.m_Data || record.m_LoadOption == CKFILE_LOAD_DONTLOAD)
            return nullptr;
        return objects->GetObject(record.m_CreatedObject) == record.m_Object ? record.m_Object : nullptr;
    };
    auto load = [&](CKFileObjectRecord& record, bool dropChunk) {
        CKObject* object = loadable(record);
        if (!object)
            return;
        LoadRecord(record, object);
        if (dropChunk) {
            CKDeleteStateChunk(record.m_Data);
            record.m_Data = nullptr;
        }
        context->SendInterfaceMessage(CKUIM_LOADSAVEPROGRESS, (uintptr_t) ++done, (uintptr_t) total, 0);
    };

    if (!(loadFlags & CK_LOAD_ONLYBEHAVIORS)) {
        // Only the chunks with references to rewrite, noted as they were
        // read (a current chunk's references are record indices: it has no
        // position list).
        for (int index : m_RecordsToRemap)
            if (CKStateChunk* chunk = m_FileObjects[index].m_Data)
                chunk->RemapObjects(context);
        for (CKFileManagerRecord& record : m_ManagersData)
            if (record.m_Data)
                record.m_Data->RemapObjects(context);

        // The file's first level becomes the current one when there is none.
        if (!context->GetCurrentLevel() && firstLevel >= 0)
            // CKLevel derives from CKObject alone: the pointers agree.
            context->SetCurrentLevel(reinterpret_cast<CKLevel*>(m_FileObjects[firstLevel].m_Object));

        bool gridLoaded = false;
        for (CKFileManagerRecord& record : m_ManagersData) {
            if (CKBaseManager* manager = context->GetManagerByGuid(record.m_Manager)) {
                try {
                    manager->LoadData(record.m_Data, this);
                } catch (...) {
                    context->OutputToConsoleEx("[%s] Error : LoadData", manager->GetName() ? manager->GetName() : "");
                }
                gridLoaded = gridLoaded || record.m_Manager == GRID_MANAGER_GUID;
            }
            CKDeleteStateChunk(record.m_Data);
            record.m_Data = nullptr;
        }
        if (!gridLoaded)
            if (CKBaseManager* grid = context->GetManagerByGuid(GRID_MANAGER_GUID))
                grid->LoadData(nullptr, this);

        bool levelLoaded = false;
        for (CKFileObjectRecord& record : m_FileObjects) {
            const CK_CLASSID cid = record.m_ClassID;
            if (cid == CKCID_PARAMETEROUT || cid == CKCID_BEHAVIOR || cid == CKCID_PARAMETERLOCAL ||
                cid == CKCID_PARAMETER || !loadable(record))
                continue;
            if (traits.Has(cid, LoadClassTraits::Level)) {
                if (levelLoaded)
                    continue;
                levelLoaded = true;
            }
            load(record, false);
            if (list && traits.Has(cid, LoadClassTraits::Listed))
                list->InsertRear(record.m_CreatedObject);
        }
        for (CK_CLASSID cid : {CKCID_PARAMETERLOCAL, CKCID_PARAMETER, CKCID_PARAMETEROUT})
            if (const XArray<int>* indices = GetIndexByClass(cid))
                for (int index : *indices)
                    load(m_FileObjects[index], true);
    }
    if (const XArray<int>* behaviors = GetIndexByClass(CKCID_BEHAVIOR))
        for (int index : *behaviors) {
            CKFileObjectRecord& record = m_FileObjects[index];
            CKObject* object = loadable(record);
            auto* behavior =
                object && object->GetClassID() == CKCID_BEHAVIOR ? static_cast<CKBehavior*>(object) : nullptr;
            load(record, true);
            // Scripts and behaviours of their own (still to be fixed) are
            // what the caller gets.
            if (list && behavior && context->GetObject(record.m_CreatedObject) == behavior &&
                ((behavior->GetFlags() & CKBEHAVIOR_POSTLOADFIX) || behavior->GetType() == 1))
                list->InsertRear(record.m_CreatedObject);
        }

    if (!(loadFlags & CK_LOAD_ONLYBEHAVIORS)) {
        if (list)
            if (const XArray<int>* interfaces = GetIndexByClass(CKCID_INTERFACEOBJECTMANAGER))
                for (int index : *interfaces)
                    if (m_FileObjects[index].m_Object)
                        list->InsertRear(m_FileObjects[index].m_CreatedObject);
        auto alive = [&](CKFileObjectRecord& record) {
            return record.m_Object && objects->GetObject(record.m_CreatedObject) == record.m_Object;
        };
        // Loaded behavioural objects own their scripts and attribute parameters again.
        for (const Behavioral& entry : behavioral) {
            CKFileObjectRecord& record = m_FileObjects[entry.m_Index];
            if (!entry.m_Behavior && alive(record) && record.m_LoadOption != CKFILE_LOAD_DONTLOAD)
                static_cast<CKBeObject*>(record.m_Object)->ApplyOwner();
        }
        for (CKFileObjectRecord& record : m_FileObjects) {
            if (!alive(record) || record.m_LoadOption == CKFILE_LOAD_DONTLOAD)
                continue;
            try {
                record.m_Object->PostLoad();
            } catch (...) {
                LogError("%s: PostLoad of %s failed", m_FileName.CStr(),
                         record.m_Object->GetName() ? record.m_Object->GetName() : "");
            }
        }
        for (const Behavioral& entry : behavioral) {
            CKFileObjectRecord& record = m_FileObjects[entry.m_Index];
            if (!alive(record))
                continue;
            if (entry.m_Behavior)
                static_cast<CKBehavior*>(record.m_Object)->FinishFileLoad();
            else if (record.m_Data)
                static_cast<CKBeObject*>(record.m_Object)->PatchAfterLoad(m_FileObjects.Size(), m_FileObjects.Begin());
        }
    }
    objects->ClearLoadTable();
    return CKErr::Ok;
}

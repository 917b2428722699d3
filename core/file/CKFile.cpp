#include "core/file/CKFile.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKGlobals.h"
#include "core/context/CKStartUp.h"
#include "core/file/CKBufferParser.h"
#include "core/file/CKMemoryBufferParser.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKObject.h"
#include "system/io/QxMemoryMappedFile.h"
#include "system/log/QxLogManager.h"
#include "system/memory/QxMemoryManager.h"

CKFile::CKFile(CKContext* context) : m_Context(context) {}

CKFile::~CKFile()
{
    ClearData();
    ResetNameClashPolicies();
}

void CKFile::ResetNameClashPolicies()
{
    if (m_Context)
        m_Context->ResetNameClashPolicies();
}

void CKFile::LogError(const char* format, ...)
{
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    QxGetLogManager()->SetContext(CKGetLogSourceId(), QXLOG_ERROR, __LINE__, "CKFile")->Log("%s", text);
}

namespace {
// Ids below this go to the dense table while saving (4 MB of it at most).
constexpr CK_ID kDenseIds = 1u << 20;
} // namespace

int CKFile::AddObjectRecord(CK_ID id, CK_CLASSID cid)
{
    int existing = GetSavedObjectIndex(id);
    if (existing >= 0)
        return existing;
    // Made in place: a record is large, and there may be many.
    int index = m_FileObjects.Size();
    if (index == m_FileObjects.Capacity())
        m_FileObjects.Reserve(index > 0 ? 2 * index : 16);
    m_FileObjects.Resize(index + 1);
    CKFileObjectRecord& record = m_FileObjects[index];
    record = CKFileObjectRecord();
    record.m_ObjectID = id;
    record.m_ClassID = cid;
    if (id < kDenseIds) {
        if ((int) id >= m_SavedIndexById.Size()) {
            int size = m_SavedIndexById.Size();
            int grown = size * 2 > (int) id + 1 ? size * 2 : (int) id + 1;
            m_SavedIndexById.Resize(grown);
            std::memset(m_SavedIndexById.Begin() + size, 0, sizeof(int) * (size_t) (grown - size));
        }
        m_SavedIndexById[(int) id] = index + 1;
    } else {
        m_ObjectsHashTable.Insert(id, index);
    }
    return index;
}

int CKFile::GetSavedObjectIndex(CK_ID id) const
{
    if (id == 0)
        return -1;
    if (id < kDenseIds)
        return (int) id < m_SavedIndexById.Size() ? m_SavedIndexById[(int) id] - 1 : -1;
    const int* index = m_ObjectsHashTable.FindPtr(id);
    return index ? *index : -1;
}

CK_ID CKFile::GetCreatedObjectID(int index) const
{
    if (index < 0 || index >= m_FileObjects.Size())
        return 0;
    return m_FileObjects[index].m_CreatedObject;
}

CK_ID CKFile::FindCreatedObjectID(CK_ID savedId) const
{
    // Records added for saving are in the id tables; records read from a
    // file are in the hash table under their saved id (bit 31 cleared),
    // the first record of an id winning.
    CK_ID id = savedId & 0x7FFFFFFF;
    int index = GetSavedObjectIndex(id);
    if (index < 0 && id < (CK_ID) m_LoadedIndexById.Size())
        index = m_LoadedIndexById[(int) id] - 1;
    if (index < 0)
        if (const int* found = m_ObjectsHashTable.FindPtr(id))
            index = *found;
    return index >= 0 && index < m_FileObjects.Size() ? m_FileObjects[index].m_CreatedObject : 0;
}

void CKFile::ClearObjectRecords()
{
    for (CKFileObjectRecord& record : m_FileObjects) {
        CKDeleteStateChunk(record.m_Data);
        QxGetMemoryManager()->Free(record.m_Name);
    }
    m_FileObjects.Clear();
    m_ObjectsHashTable.Clear();
    m_SavedIndexById.Clear();
    m_LoadedIndexById.Clear();
}

void CKFile::ResetIndexByClass()
{
    int count = CKGetClassCount();
    m_IndexByClassId.Clear();
    m_IndexByClassId.Resize(count > 0 ? count : 0);
}

void CKFile::CloseParser()
{
    delete m_Parser;
    m_Parser = nullptr;
    m_ParserInMemory = FALSE;
    if (!m_MappingLent)
        ReleaseMapping();
}

void CKFile::ReleaseMapping()
{
    delete m_MappedFile;
    m_MappedFile = nullptr;
    m_MappingLent = FALSE;
}

void CKFile::ClearData()
{
    ClearObjectRecords();
    for (CKFileManagerRecord& record : m_ManagersData)
        CKDeleteStateChunk(record.m_Data);
    m_ManagersData.Clear();
    m_AlreadySavedMask = XBitArray();
    m_AlreadyReferencedMask = XBitArray();
    m_ReferencedObjects.Clear();
    m_IndexByClassId.Clear();
    m_DuplicateNameFounds.Clear();
    m_RecordsToRemap.Clear();
    m_Refusals.Clear();
    m_RefusalReason = XString();
    m_RefusalNoted = FALSE;
    m_FileName = XString();
    // The chunks that borrowed from the mapped file or the inflated data are gone.
    CloseParser();
    ReleaseMapping();
    delete m_InflatedData;
    m_InflatedData = nullptr;
    m_LoadFlags = 0;
    m_SaveIDMax = 0;
    m_LoadedIDMax = 0;
    m_ReadFileDataDone = FALSE;
}

void CKFile::NoteRefusal(const char* text)
{
    // The first reason is the cause; what follows from it adds nothing.
    if (m_RefusalNoted)
        return;
    m_RefusalNoted = TRUE;
    m_RefusalReason = text ? text : "";
}

void CKNoteLoadRefusal(CKObject* object, const char* format, ...)
{
    CKContext* context = object ? object->GetCKContext() : nullptr;
    CKFile* file = context ? context->GetLoadingFile() : nullptr;
    if (!file || !format)
        return;
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    file->NoteRefusal(text);
}

void CKFile::RemapManagerInt(CKGUID manager, const int* table, int count)
{
    for (CKFileObjectRecord& record : m_FileObjects)
        if (record.m_Data)
            record.m_Data->RemapManagerInt(manager, table, count);
}

CKDWORD CKGetLoadedFileEngineVersion()
{
    return CKGetGlobals().m_LoadedFileEngineVersion;
}

CKDWORD CKGetLoadedFileVersion()
{
    return CKGetGlobals().m_LoadedFileVersion;
}

CKDWORD CKGetLoadedFileWriteMode()
{
    return CKGetGlobals().m_LoadedFileWriteMode;
}

CKBOOL CKIsLoadedFileObsolete()
{
    return CKGetGlobals().m_LoadedFileObsolete;
}

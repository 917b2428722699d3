#include "core/CKFile.h"

#include <cstdarg>
#include <cstdio>

#include "core/CKBufferParser.h"
#include "core/CKClassRegistry.h"
#include "core/CKContext.h"
#include "core/CKGlobals.h"
#include "core/CKStartUp.h"
#include "core/CKStateChunk.h"
#include "system/QxLogManager.h"
#include "system/QxMemoryManager.h"
#include "system/QxMemoryMappedFile.h"

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

int CKFile::AddObjectRecord(CK_ID id, CK_CLASSID cid)
{
    if (const int* index = m_ObjectsHashTable.FindPtr(id))
        return *index;
    CKFileObjectRecord record;
    record.m_ObjectID = id;
    record.m_ClassID = cid;
    m_FileObjects.PushBack(record);
    int index = m_FileObjects.Size() - 1;
    m_ObjectsHashTable.Insert(id, index);
    return index;
}

int CKFile::GetSavedObjectIndex(CK_ID id) const
{
    if (id == 0)
        return -1;
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
    // On load the table holds every record under its saved id (bit 31
    // cleared), first record first.
    if (const int* index = m_ObjectsHashTable.FindPtr(savedId & 0x7FFFFFFF))
        if ((m_FileObjects[*index].m_ObjectID & 0x7FFFFFFF) == (savedId & 0x7FFFFFFF))
            return m_FileObjects[*index].m_CreatedObject;
    for (const CKFileObjectRecord& record : m_FileObjects)
        if ((record.m_ObjectID & 0x7FFFFFFF) == savedId)
            return record.m_CreatedObject;
    return 0;
}

void CKFile::ClearObjectRecords()
{
    for (CKFileObjectRecord& record : m_FileObjects) {
        CKDeleteStateChunk(record.m_Data);
        QxGetMemoryManager()->Free(record.m_Name);
    }
    m_FileObjects.Clear();
    m_ObjectsHashTable.Clear();
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
    delete m_MappedFile;
    m_MappedFile = nullptr;
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
    m_FileName = XString();
    CloseParser();
    m_Flags = 0;
    m_SaveIDMax = 0;
    m_LoadedIDMax = 0;
    m_ReadFileDataDone = FALSE;
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

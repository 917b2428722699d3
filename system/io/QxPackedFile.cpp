#include "system/io/QxPackedFile.h"

#include "system/io/CKPathSplitter.h"
#include "system/io/QxSubFile.h"

QxPackedFile::QxPackedFile() : m_Records(sizeof(Record), 64 * sizeof(Record)), m_Index(16) {}

QxPackedFile::~QxPackedFile()
{
    Clear();
}

XString QxPackedFile::MakeKey(const char* name)
{
    XString lower(name);
    lower.ToLower();
    CKPathSplitter split(lower.CStr());
    XString key(split.GetName());
    key += split.GetExtension();
    return key;
}

CKBOOL QxPackedFile::AddFile(const char* name, CKDWORD offset, CKDWORD size)
{
    if (static_cast<uint64_t>(offset) + size > 0xFFFFFFFFull)
        return FALSE;
    XString key = MakeKey(name);
    if (key.IsEmpty())
        return FALSE;
    if (Record** existing = m_Index.FindPtr(key)) {
        (*existing)->offset = offset;
        (*existing)->size = size;
        return TRUE;
    }
    Record* record = static_cast<Record*>(m_Records.Allocate());
    if (!record)
        return FALSE;
    record->offset = offset;
    record->size = size;
    m_Index.Insert(key, record);
    return TRUE;
}

int QxPackedFile::FindFile(const char* name, QxSubFile* subFile)
{
    if (!name)
        return 0;
    XString full;
    if (!m_BasePath.IsEmpty())
        full = m_BasePath;
    full += name;
    XString key = MakeKey(full.CStr());
    if (key.IsEmpty())
        return 0;
    Record** found = m_Index.FindPtr(key);
    if (!found)
        return 0;
    if (subFile)
        subFile->Open(&m_Archive, (*found)->offset, (*found)->size);
    return 1;
}

void QxPackedFile::Clear()
{
    m_Index.Clear();
    m_Records.Clear();
}

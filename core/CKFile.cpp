#include "core/CKFile.h"

#include "core/CKObject.h"
#include "core/CKStateChunk.h"
#include "system/QxMemoryManager.h"

CKFile::~CKFile()
{
    ClearObjectRecords();
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

void CKFile::SaveObject(CKObject* object, CKDWORD flags)
{
    if (!object || m_AlreadySavedMask.IsSet((int) object->GetID()))
        return;
    m_AlreadySavedMask.Set((int) object->GetID());
    if (object->IsDynamic() || (object->GetObjectFlags() & CK_OBJECT_NOTTOBESAVED))
        return;
    object->PreSave(this, flags);
    int index = AddObjectRecord(object->GetID(), object->GetClassID());
    m_FileObjects[index].m_Object = object;
    m_FileObjects[index].m_SaveFlags = flags;
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
    m_AlreadySavedMask.Clear();
}

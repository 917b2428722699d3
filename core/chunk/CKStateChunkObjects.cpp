// The operations of the state chunk that reach objects through a context or
// a dependencies context.

#include <cstring>

#include "core/chunk/CKStateChunk.h"
#include "core/chunk/ChunkPositionList.h"
#include "core/context/CKContext.h"
#include "core/object/CKDependenciesContext.h"
#include "core/object/CKObject.h"
#include "core/object/CKObjectIDList.h"
#include "core/object/CKObjectManager.h"

namespace {

CK_ID RemapOneID(ChunkIteratorData* record, CK_ID id)
{
    if (record->DepContext)
        return record->DepContext->RemapID(id);
    if (record->Context && record->Context->GetObjectManager())
        return record->Context->GetObjectManager()->ConvertLoadedID(id);
    return id;
}

bool IsRun(const CKDWORD* d, const CKDWORD* marker, int length)
{
    for (int k = 0; k < length; ++k)
        if (d[k] != marker[k])
            return false;
    return true;
}

// Rewrites the references of one level; returns the number of words rewritten.
int RemapIDsFunction(ChunkIteratorData* record)
{
    CKDWORD* d = record->Data;
    const int n = record->DataSize;
    int changed = 0;
    if (record->ChunkVersion < CHUNK_VERSION_LISTS) {
        // No lists: references are found by their marker runs.
        for (int i = 0; i + 3 < n;) {
            if (IsRun(d + i, CHUNK_OLD_OBJECT_MARKER, 3)) {
                d[i + 3] = RemapOneID(record, d[i + 3]);
                ++changed;
                i += 4;
            } else {
                ++i;
            }
        }
        for (int i = 0; i + 5 < n;) {
            if (IsRun(d + i, CHUNK_OLD_SEQUENCE_MARKER, 5)) {
                int count = (int) d[i + 5];
                if (count >= 1 && count <= n - i - 6) {
                    for (int k = 0; k < count; ++k)
                        d[i + 6 + k] = RemapOneID(record, d[i + 6 + k]);
                    changed += count;
                    i += 6 + count;
                } else {
                    i += 6;
                }
            } else {
                ++i;
            }
        }
        return changed;
    }
    WalkChunkPositionList(record, record->ObjectIDs, record->ObjectIDCount, 1, 1, [&](int p, int count, bool sequence) {
        if (!sequence) {
            d[p] = RemapOneID(record, d[p]);
            ++changed;
            return;
        }
        for (int k = 0; k < count; ++k)
            d[p + 1 + k] = RemapOneID(record, d[p + 1 + k]);
        changed += count;
    });
    return changed;
}

} // namespace

int CKStateChunk::RemapObjects(CKContext* context, CKDependenciesContext* depContext)
{
    StartRead();
    // References are found through the object-id lists of this level and of
    // its sub-chunks (or, in the oldest layouts, by scanning): without
    // either there is nothing to rewrite.
    if (m_ChunkVersion >= CHUNK_VERSION_LISTS && !(m_ChunkOptions & (CHNK_OPTION_IDS | CHNK_OPTION_CHN)))
        return 0;
    ChunkIteratorData record;
    record.Context = context;
    record.DepContext = depContext;
    return IterateChunks(&record, RemapIDsFunction);
}

CKBOOL CKStateChunk::IsObjectWritable(CKObject* object) const
{
    if (GetChunkClassID() == -1)
        return TRUE;
    if (!object)
        return FALSE;
    if (m_ChunkOptions & CHNK_OPTION_ALLOWDYN)
        return TRUE;
    return !object->IsDynamic();
}

void CKStateChunk::WriteObject(CKObject* object)
{
    WriteObjectID(object && IsObjectWritable(object) ? object->GetID() : 0);
}

void CKStateChunk::WriteObjectSequenceItem(CKObject* object)
{
    WriteObjectIDSequenceItem(object && IsObjectWritable(object) ? object->GetID() : 0);
}

CKObject* CKStateChunk::ReadObject(CKContext* context)
{
    CK_ID id = ReadObjectID();
    return id != 0 && context ? context->GetObject(id) : nullptr;
}

XObjectPointerArray CKStateChunk::ReadXObjectPointerArray(CKContext* context)
{
    XObjectPointerArray result;
    XObjectArray ids = ReadXObjectArray();
    if (!context)
        return result;
    for (CK_ID id : ids)
        if (CKObject* object = id ? context->GetObject(id) : nullptr)
            result.PushBack(object);
    return result;
}

void CKStateChunk::WriteObjectIDList(CKObjectIDList* list, CKContext* context)
{
    int count = list ? list->GetCount() : 0;
    StartObjectIDSequence(count);
    if (count == 0)
        return;
    // Walk with the list's cursor and put it back where it was.
    int cursor = list->GetCursorIndex();
    for (list->Reset(); !list->EndOfList(); list->Next()) {
        CK_ID id = list->GetCurrentID();
        if (context) {
            CKObject* object = id ? context->GetObject(id) : nullptr;
            id = object && IsObjectWritable(object) ? object->GetID() : 0;
        }
        WriteObjectIDSequenceItem(id);
    }
    list->Reset();
    if (cursor < 0) {
        while (!list->EndOfList())
            list->Next();
    } else {
        for (int i = 0; i < cursor; ++i)
            list->Next();
    }
}

void CKStateChunk::ReadObjectIDList(CKObjectIDList* list)
{
    if (list)
        list->Clear();
    XObjectArray ids = ReadXObjectArray();
    if (!list)
        return;
    for (CK_ID id : ids)
        list->InsertRear(id);
}

#include "core/object/CKObjectManager.h"

#include "core/context/CKContext.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKObject.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr int kInitialCapacity = 2000;
constexpr int kKeptDeletionRoom = 4096;
} // namespace

CKObjectManager::CKObjectManager(CKContext* context) : CKBaseManager(context, OBJECT_MANAGER_GUID, "Object Manager")
{
    m_Objects.Resize(kInitialCapacity);
    for (CKObject*& o : m_Objects)
        o = nullptr;
    m_ClassPositions.Resize(kInitialCapacity);
    m_DynamicPositions.Resize(kInitialCapacity);
    m_NameHashes.Resize(kInitialCapacity);
    int classCount = CKGetGlobalClassCount();
    m_ClassLists.Resize(classCount);
    for (ClassList& list : m_ClassLists)
        list.m_Ids.Reserve(20);
    m_Context->RegisterNewManager(this);
}

CKObjectManager::~CKObjectManager()
{
    ClearLoadTable();
    for (int f = 0; f < 4; ++f)
        FreeDeferredRecords(f);
}

void CKObjectManager::EnsureIdCapacity(CK_ID id)
{
    int capacity = m_Objects.Size();
    if ((int) id < capacity)
        return;
    while ((int) id >= capacity)
        capacity *= 2;
    int old = m_Objects.Size();
    m_Objects.Resize(capacity);
    for (int i = old; i < capacity; ++i)
        m_Objects[i] = nullptr;
    m_ClassPositions.Resize(capacity);
    m_DynamicPositions.Resize(capacity);
    m_NameHashes.Resize(capacity);
}

void CKObjectManager::ReserveIds(int count)
{
    const int fresh = count - m_FreeIds.Size();
    if (fresh > 0 && (int64_t) m_HighestID + fresh < 0x40000000)
        EnsureIdCapacity(m_HighestID + (CK_ID) fresh);
}

CK_ID CKObjectManager::RegisterObject(CKObject* object)
{
    CK_ID id;
    if (!m_FreeIds.IsEmpty()) {
        id = m_FreeIds[m_FreeIds.Size() - 1];
        m_FreeIds.RemoveAt(m_FreeIds.Size() - 1);
    } else {
        id = ++m_HighestID;
        EnsureIdCapacity(id);
    }
    m_Objects[(int) id] = object;
    ++m_LiveCount;
    return id;
}

CKObjectManager::ClassList* CKObjectManager::GetClassList(CK_CLASSID cid, bool create)
{
    if (cid < 0)
        return nullptr;
    if (cid >= m_ClassLists.Size()) {
        // Classes registered after the context was made (render classes).
        if (!create || cid >= CKGetGlobalClassCount())
            return nullptr;
        m_ClassLists.Resize(CKGetGlobalClassCount());
    }
    return &m_ClassLists[cid];
}

void CKObjectManager::AddObjectToLists(CKObject* object)
{
    if (!object)
        return;
    CK_ID id = object->GetID();
    if (object->IsDynamic()) {
        m_DynamicPositions[(int) id] = m_DynamicList.m_Ids.Size();
        m_DynamicList.m_Ids.PushBack(id);
    }
    ClassList* list = GetClassList(object->GetClassID(), true);
    if (list) {
        m_ClassPositions[(int) id] = list->m_Ids.Size();
        list->m_Ids.PushBack(id);
        if (m_NameIndexBuilt) {
            m_Listed.Set((int) id);
            AddName(object);
        }
    }
}

void CKObjectManager::AddName(CKObject* object)
{
    const CK_ID id = object->GetID();
    if (!object->GetName() || !m_Listed.IsSet((int) id) || m_Indexed.IsSet((int) id))
        return;
    const CKDWORD hash = CKObjectNameIndex::Hash(object->GetName(), object->GetClassID());
    m_NameIndex.Insert(hash, id);
    m_NameHashes[(int) id] = hash;
    m_Indexed.Set((int) id);
}

void CKObjectManager::DropName(CK_ID id)
{
    if (!m_Indexed.IsSet((int) id))
        return;
    m_NameIndex.Remove(m_NameHashes[(int) id], id);
    m_Indexed.Unset((int) id);
}

void CKObjectManager::Unlist(CK_ID id)
{
    if (!m_NameIndexBuilt)
        return;
    DropName(id);
    m_Listed.Unset((int) id);
}

void CKObjectManager::UnindexName(CKObject* object, const char* nextName)
{
    if (!m_NameIndexBuilt)
        return;
    if (nextName && m_Listed.IsSet((int) object->GetID()))
        m_NameIndex.Prefetch(CKObjectNameIndex::Hash(nextName, object->GetClassID()));
    DropName(object->GetID());
}

void CKObjectManager::IndexName(CKObject* object)
{
    if (m_NameIndexBuilt)
        AddName(object);
}

void CKObjectManager::BuildNameIndex()
{
    int listed = 0;
    for (const ClassList& list : m_ClassLists)
        listed += list.m_Ids.Size() - list.m_Holes;
    m_NameIndex.Reserve(listed);
    m_NameIndexBuilt = TRUE;
    for (const ClassList& list : m_ClassLists)
        for (CK_ID id : list.m_Ids)
            if (CKObject* o = id ? GetObject(id) : nullptr) {
                m_Listed.Set((int) id);
                AddName(o);
            }
}

void CKObjectManager::ClearNameIndex()
{
    m_NameIndex.Clear();
    m_NameIndexBuilt = FALSE;
    m_Indexed.Clear();
    m_Listed.Clear();
}

void CKObjectManager::Compact(ClassList& list, XArray<int>& positions)
{
    if (list.m_Holes == 0)
        return;
    int n = 0;
    for (int i = 0; i < list.m_Ids.Size(); ++i) {
        CK_ID id = list.m_Ids[i];
        if (id != 0) {
            positions[(int) id] = n;
            list.m_Ids[n++] = id;
        }
    }
    list.m_Ids.Resize(n);
    list.m_Holes = 0;
}

void CKObjectManager::RemoveFromList(ClassList& list, XArray<int>& positions, CK_ID id)
{
    int pos = positions[(int) id];
    if (pos >= 0 && pos < list.m_Ids.Size() && list.m_Ids[pos] == id) {
        list.m_Ids[pos] = 0;
        ++list.m_Holes;
        // Keep removal amortised: a list more than half empty is packed now.
        if (list.m_Holes * 2 > list.m_Ids.Size())
            Compact(list, positions);
        return;
    }
    // Not where recorded: fall back to a search (keeps order).
    for (int i = 0; i < list.m_Ids.Size(); ++i)
        if (list.m_Ids[i] == id) {
            list.m_Ids[i] = 0;
            ++list.m_Holes;
            return;
        }
}

void CKObjectManager::ReleaseID(CK_ID id)
{
    CKObject* object = GetObject(id);
    if (!object)
        return;
    CKDWORD flags = object->GetObjectFlags();
    Unlist(id);
    if ((flags & CK_OBJECT_FREEID) && !m_DestroyingAll)
        m_FreeIds.PushBack(id);
    if (flags & CK_OBJECT_APPDATA)
        m_AppData.Remove(id);
    if (flags & CK_OBJECT_HASOBJECTDATA)
        m_ObjectData.Remove(id);
    m_Objects[(int) id] = nullptr;
    --m_LiveCount;
}

int CKObjectManager::GetObjectsCountByClassID(CK_CLASSID cid)
{
    ClassList* list = GetClassList(cid, false);
    if (!list)
        return 0;
    Compact(*list, m_ClassPositions);
    return list->m_Ids.Size();
}

CK_ID* CKObjectManager::GetObjectsListByClassID(CK_CLASSID cid)
{
    ClassList* list = GetClassList(cid, false);
    if (!list)
        return nullptr;
    Compact(*list, m_ClassPositions);
    return list->m_Ids.Begin();
}

const XArray<CK_ID>& CKObjectManager::GetDynamicIds()
{
    Compact(m_DynamicList, m_DynamicPositions);
    return m_DynamicList.m_Ids;
}

CKObject* CKObjectManager::GetObjectByNameAndClass(const char* name, CK_CLASSID cid, CKObject* previous)
{
    if (!name)
        return nullptr;
    ClassList* list = GetClassList(cid, false);
    if (!list)
        return nullptr;
    if (!previous) {
        // The first listed object of the class with that name: the candidate
        // with the lowest position in the class list.
        if (!m_NameIndexBuilt)
            BuildNameIndex();
        // Every indexed object is in its class list (objects being deleted
        // left the index with it): positions are read only to choose among
        // several objects of that name, which a lookup rarely meets.
        CKObject* best = nullptr;
        int bestPos = -1;
        m_NameIndex.ForEach(CKObjectNameIndex::Hash(name, cid), [&](CK_ID id) {
            CKObject* o = GetObject(id);
            if (!o || o->GetClassID() != cid || !o->GetName() || std::strcmp(o->GetName(), name) != 0)
                return;
            if (!best) {
                best = o;
                return;
            }
            if (bestPos < 0)
                bestPos = m_ClassPositions[(int) best->GetID()];
            const int pos = m_ClassPositions[(int) id];
            if (pos < bestPos) {
                best = o;
                bestPos = pos;
            }
        });
        return best;
    }
    Compact(*list, m_ClassPositions);
    int start = 0;
    if (previous) {
        CK_ID pid = previous->GetID();
        int pos = pid < (CK_ID) m_ClassPositions.Size() ? m_ClassPositions[(int) pid] : -1;
        if (pos < 0 || pos >= list->m_Ids.Size() || list->m_Ids[pos] != pid)
            return nullptr;
        start = pos + 1;
    }
    for (int i = start; i < list->m_Ids.Size(); ++i) {
        CKObject* o = GetObject(list->m_Ids[i]);
        if (o && o->GetName() && std::strcmp(o->GetName(), name) == 0)
            return o;
    }
    return nullptr;
}

CKObject* CKObjectManager::GetObjectByNameAndParentClass(const char* name, CK_CLASSID cid, CKObject* previous)
{
    if (!name)
        return nullptr;
    CKClassDesc* desc = CKGetClassDesc(cid);
    if (!desc)
        return nullptr;
    int count = CKGetClassCount();
    CK_CLASSID first = 0;
    if (previous) {
        first = previous->GetClassID();
        CKObject* o = GetObjectByNameAndClass(name, first, previous);
        if (o)
            return o;
        ++first;
    }
    for (CK_CLASSID c = first; c < count; ++c) {
        if (!CKIsChildClassOf(c, cid))
            continue;
        CKObject* o = GetObjectByNameAndClass(name, c, nullptr);
        if (o)
            return o;
    }
    return nullptr;
}

CKERROR CKObjectManager::GetObjectsListByClass(CK_CLASSID cid, CKBOOL derived, XArray<CKObject*>& out)
{
    int count = derived ? CKGetClassCount() : cid + 1;
    for (CK_CLASSID c = derived ? 0 : cid; c < count; ++c) {
        if (derived && !CKIsChildClassOf(c, cid))
            continue;
        ClassList* list = GetClassList(c, false);
        if (!list)
            continue;
        Compact(*list, m_ClassPositions);
        for (CK_ID id : list->m_Ids)
            if (CKObject* o = GetObject(id))
                out.PushBack(o);
    }
    return CKErr::Ok;
}

void CKObjectManager::SetObjectAppData(CK_ID id, void* data)
{
    m_AppData.Insert(id, data);
}

void* CKObjectManager::GetObjectAppData(CK_ID id)
{
    void** p = m_AppData.FindPtr(id);
    return p ? *p : nullptr;
}

void CKObjectManager::SetObjectData(CKObject* object, CKDWORD value)
{
    if (!object)
        return;
    CKDWORD add = CK_OBJECT_HASOBJECTDATA;
    if (m_Context->IsInLoad())
        add |= CK_OBJECT_OBJECTDATALOADED;
    object->ModifyObjectFlags(add, 0);
    m_ObjectData.Insert(object->GetID(), value);
}

CKBOOL CKObjectManager::GetObjectData(CKObject* object, CKDWORD* value)
{
    if (!object || !(object->GetObjectFlags() & CK_OBJECT_HASOBJECTDATA))
        return FALSE;
    CKDWORD* p = m_ObjectData.FindPtr(object->GetID());
    if (!p)
        return FALSE;
    if (value)
        *value = *p;
    return TRUE;
}

void CKObjectManager::RemoveObjectData(CKObject* object)
{
    if (!object)
        return;
    CKDWORD flags = object->GetObjectFlags();
    if ((flags & CK_OBJECT_HASOBJECTDATA) && !(flags & CK_OBJECT_OBJECTDATALOADED)) {
        m_ObjectData.Remove(object->GetID());
        object->ModifyObjectFlags(0, CK_OBJECT_HASOBJECTDATA);
    }
}

void CKObjectManager::StartLoadTable(int size)
{
    ClearLoadTable();
    if (size <= 0)
        return;
    m_LoadTable = new CK_ID[size]();
    m_LoadTableSize = size;
}

void CKObjectManager::SetLoadTableEntry(CKObject* object, int index)
{
    if (m_LoadTable && index >= 0 && index < m_LoadTableSize)
        m_LoadTable[index] = object ? object->GetID() : 0;
}

CK_ID CKObjectManager::ConvertLoadedID(CK_ID id) const
{
    if (!m_LoadTable)
        return id;
    return id < (CK_ID) m_LoadTableSize ? m_LoadTable[id] : 0;
}

void CKObjectManager::ClearLoadTable()
{
    delete[] m_LoadTable;
    m_LoadTable = nullptr;
    m_LoadTableSize = 0;
}

int CKObjectManager::GetFreeSceneIndex()
{
    int index = m_SceneIndices.GetUnsetBitPosition();
    m_SceneIndices.Set(index);
    return index;
}

int CKObjectManager::GetFreeGroupIndex()
{
    int index = m_GroupIndices.GetUnsetBitPosition();
    m_GroupIndices.Set(index);
    return index;
}

CKERROR CKObjectManager::DeleteObjects(CK_ID* ids, int count, CKDWORD flags, CKDWORD options)
{
    (void) flags;
    if (m_DestroyingAll)
        return CKErr::Ok;
    if (count <= 0 || !ids)
        return CKErr::InvalidParameter;

    // Distinct live objects, in the order given. The scratch arrays keep
    // their room from call to call: deleting objects one call each is
    // common, and its cost should be the objects', not the allocator's.
    XArray<CKObject*> objects;
    XArray<CK_ID> deletedIds;
    XArray<CK_CLASSID> toTell;
    objects.Swap(m_DeleteObjects);
    deletedIds.Swap(m_DeleteIds);
    toTell.Swap(m_DeleteTell);
    objects.Clear();
    deletedIds.Clear();
    toTell.Clear();
    if (objects.Capacity() < count)
        objects.Reserve(count);
    CKDWORD mark = (options & CK_DESTROY_FREEID) ? (CK_OBJECT_TOBEDELETED | CK_OBJECT_FREEID) : CK_OBJECT_TOBEDELETED;
    const int classCount = CKGetClassCount();
    const bool notify = !(options & CK_DESTROY_NOCLASSNOTIFY);
    CK_CLASSID lastClass = -1;
    for (int i = 0; i < count; ++i) {
        CKObject* o = GetObject(ids[i]);
        if (!o || m_DeleteMarks.IsSet((int) ids[i]))
            continue;
        m_DeleteMarks.Set((int) ids[i]);
        objects.PushBack(o);
        o->ModifyObjectFlags(mark, 0);
        // The classes met, each once.
        const CK_CLASSID cid = o->GetClassID();
        if (notify && cid != lastClass && cid >= 0 && cid < classCount && !m_DeleteClassMarks.IsSet(cid)) {
            m_DeleteClassMarks.Set(cid);
            toTell.PushBack(cid);
        }
        lastClass = cid;
    }
    for (CKObject* o : objects)
        m_DeleteMarks.Unset((int) o->GetID());

    // Classes to be told: those whose common to-be-notified set holds a
    // class with deleted objects (the to-notify lists of the registry, each
    // in class order), gathered from the classes met rather than from every
    // class, and told in class order.
    const CK_CLASSID* tell = nullptr;
    int tellCount = 0;
    if (toTell.Size() == 1) {
        m_DeleteClassMarks.Unset(toTell[0]);
        const CKClassDesc* desc = CKGetClassDesc(toTell[0]);
        tell = desc->m_ToNotify.Begin();
        tellCount = desc->m_ToNotify.Size();
    } else if (toTell.Size() > 1) {
        const int met = toTell.Size();
        for (int i = 0; i < met; ++i) {
            m_DeleteClassMarks.Unset(toTell[i]);
            for (CK_CLASSID c : CKGetClassDesc(toTell[i])->m_ToNotify)
                if (!m_TellMarks.IsSet(c)) {
                    m_TellMarks.Set(c);
                    toTell.PushBack(c);
                }
        }
        std::move(toTell.Begin() + met, toTell.End(), toTell.Begin());
        toTell.Resize(toTell.Size() - met);
        for (CK_CLASSID c : toTell)
            m_TellMarks.Unset(c);
        std::sort(toTell.Begin(), toTell.End());
        tell = toTell.Begin();
        tellCount = toTell.Size();
    }

    // Objects being deleted leave the name index with their list, so that a
    // lookup by name never meets them (nor a rename during a notice).
    for (CKObject* o : objects) {
        ClassList* list = GetClassList(o->GetClassID(), false);
        if (list)
            RemoveFromList(*list, m_ClassPositions, o->GetID());
        Unlist(o->GetID());
    }

    if (deletedIds.Capacity() < objects.Size())
        deletedIds.Reserve(objects.Size());
    for (CKObject* o : objects)
        deletedIds.PushBack(o->GetID());

    if (!options && !deletedIds.IsEmpty())
        m_Context->ExecuteManagersOnObjectsToBeDeleted(deletedIds.Begin(), deletedIds.Size());

    auto notifyClasses = [&](CKDWORD checkBit, bool pre) {
        for (int t = 0; t < tellCount; ++t) {
            const CK_CLASSID c = tell[t];
            // Most classes to tell have no object: that is seen first.
            if (c >= m_ClassLists.Size() || m_ClassLists[c].m_Ids.Size() == m_ClassLists[c].m_Holes ||
                c >= CKGetClassCount() || !(CKGetClassDesc(c)->m_DeletionCheck & checkBit))
                continue;
            ClassList* list = &m_ClassLists[c];
            Compact(*list, m_ClassPositions);
            // The list may change under a notification: walk by index.
            for (int i = 0; i < list->m_Ids.Size(); ++i) {
                CKObject* o = GetObject(list->m_Ids[i]);
                if (!o)
                    continue;
                if (pre)
                    o->CheckPreDeletion();
                else
                    o->CheckPostDeletion();
            }
        }
    };
    if (!(options & CK_DESTROY_NOCLASSNOTIFY))
        notifyClasses(1, true);

    for (CKObject* o : objects)
        o->PreDelete();

    for (CKObject* o : objects) {
        CK_ID id = o->GetID();
        if (o->IsDynamic())
            RemoveFromList(m_DynamicList, m_DynamicPositions, id);
        ReleaseObject(o, o->GetClassID());
    }

    if (!(options & CK_DESTROY_NOCLASSNOTIFY))
        notifyClasses(2, false);

    if (!options && !deletedIds.IsEmpty())
        m_Context->ExecuteManagersOnObjectsDeleted(deletedIds.Begin(), deletedIds.Size());
    // Room for a usual call is kept; that of a mass deletion goes.
    if (objects.Capacity() <= kKeptDeletionRoom) {
        objects.Swap(m_DeleteObjects);
        deletedIds.Swap(m_DeleteIds);
    }
    toTell.Swap(m_DeleteTell);
    return CKErr::Ok;
}

void CKObjectManager::ReleaseObject(CKObject* object, CK_CLASSID releaseClass)
{
    CKClassDesc* desc = CKGetClassDesc(releaseClass);
    if (desc && desc->m_ReleaseFct)
        desc->m_ReleaseFct(m_Context, object);
    else
        CKReleaseObjectDefault(m_Context, object);
}

void CKObjectManager::DestroyAllObjects()
{
    m_DestroyingAll = TRUE;
    XArray<CKObject*> marked;
    XArray<CKObject*> kept;
    for (CK_ID id = 1; id <= m_HighestID && (int) id < m_Objects.Size(); ++id) {
        CKObject* o = m_Objects[(int) id];
        if (!o)
            continue;
        if (o->GetObjectFlags() & CK_OBJECT_NOTTOBEDELETED) {
            kept.PushBack(o);
        } else {
            o->ModifyObjectFlags(CK_OBJECT_TOBEDELETED, 0);
            marked.PushBack(o);
        }
    }
    for (ClassList& list : m_ClassLists) {
        list.m_Ids.Clear();
        list.m_Holes = 0;
        list.m_Ids.Reserve(20);
    }
    m_FreeIds.Clear();
    m_FreeIds.Reserve(10000);
    m_DynamicList.m_Ids.Clear();
    m_DynamicList.m_Holes = 0;
    ClearNameIndex();

    // Behaviours are released first, through the release function of their
    // class (their callbacks are sent by the behaviour code). Both groups are
    // sorted out before anything is released: a released object can no longer
    // be asked for its class.
    XArray<CKObject*> behaviors;
    XArray<CKObject*> others;
    for (CKObject* o : marked)
        (CKIsChildClassOf(o->GetClassID(), CKCID_BEHAVIOR) ? behaviors : others).PushBack(o);
    for (CKObject* o : behaviors)
        ReleaseObject(o, CKCID_BEHAVIOR);
    for (CKObject* o : others)
        ReleaseObject(o, o->GetClassID());
    m_HighestID = kept.IsEmpty() ? 0 : kept[kept.Size() - 1]->GetID();

    m_DestroyingAll = FALSE;
    for (CKObject* o : kept)
        AddObjectToLists(o);
    m_AppData.Clear();
    m_ObjectData.Clear();
}

void CKObjectManager::ReleaseAllObjects()
{
    m_DestroyingAll = TRUE;
    ClearNameIndex();
    for (CK_ID id = 1; id <= m_HighestID && (int) id < m_Objects.Size(); ++id) {
        CKObject* o = m_Objects[(int) id];
        if (!o)
            continue;
        ReleaseObject(o, o->GetClassID());
    }
    m_DestroyingAll = FALSE;
    for (ClassList& list : m_ClassLists) {
        list.m_Ids.Clear();
        list.m_Holes = 0;
    }
    m_FreeIds.Clear();
    m_DynamicList.m_Ids.Clear();
    m_DynamicList.m_Holes = 0;
    m_AppData.Clear();
    m_HighestID = 0;
}

CKDeferredDeletion* CKObjectManager::FindDeferredRecord(const CKDependencies* dependencies, CKDWORD flags)
{
    if (flags > 3)
        return nullptr;
    for (CKDeferredDeletion* r : m_Deferred[flags])
        if (r->m_Key == dependencies)
            return r;
    return nullptr;
}

CKDeferredDeletion* CKObjectManager::CreateDeferredRecord(const CKDependencies* dependencies, CKDWORD flags)
{
    if (flags > 3)
        return nullptr;
    CKDeferredDeletion* r = new CKDeferredDeletion;
    r->m_Flags = flags;
    r->m_Key = dependencies;
    if (dependencies)
        r->m_Dependencies = new CKDependencies(*dependencies);
    m_Deferred[flags].PushBack(r);
    return r;
}

void CKObjectManager::RemoveDeferredRecord(CKDeferredDeletion* record)
{
    if (!record || record->m_Flags > 3)
        return;
    m_Deferred[record->m_Flags].Remove(record);
}

void CKObjectManager::FreeDeferredRecords(int flags)
{
    for (CKDeferredDeletion* r : m_Deferred[flags]) {
        delete r->m_Dependencies;
        delete r;
    }
    m_Deferred[flags].Clear();
}

void CKObjectManager::SetDynamicDestructionRequest(CKDWORD request, CKScene* scene)
{
    m_DynamicRequest = request;
    m_DynamicRequestScene = scene;
}

CKERROR CKObjectManager::PostProcess()
{
    for (int f = 0; f < 4; ++f) {
        if (m_Deferred[f].IsEmpty())
            continue;
        // Take the records out first: a destruction may queue new ones.
        XArray<CKDeferredDeletion*> records;
        records.Swap(m_Deferred[f]);
        CKBOOL deferred = m_Context->GetDeferredDestroyMode();
        m_Context->SetDeferredDestroyMode(FALSE);
        for (CKDeferredDeletion* r : records)
            if (!r->m_Ids.IsEmpty())
                m_Context->DestroyObjects(r->m_Ids.Begin(), r->m_Ids.Size(), r->m_Flags, r->m_Dependencies);
        m_Context->SetDeferredDestroyMode(deferred);
        for (CKDeferredDeletion* r : records) {
            delete r->m_Dependencies;
            delete r;
        }
    }
    if (m_DynamicRequest) {
        const XArray<CK_ID>& dynamics = GetDynamicIds();
        if (!dynamics.IsEmpty()) {
            // Scenes select which dynamic objects go; without a scene all do.
            XArray<CK_ID> ids = dynamics;
            m_Context->DestroyObjects(ids.Begin(), ids.Size(), 0, nullptr);
        }
        m_DynamicRequest = 0;
        m_DynamicRequestScene = nullptr;
    }
    return CKErr::Ok;
}

CKERROR CKObjectManager::OnCKReset()
{
    const XArray<CK_ID>& dynamics = GetDynamicIds();
    if (!dynamics.IsEmpty()) {
        XArray<CK_ID> ids = dynamics;
        m_Context->DestroyObjects(ids.Begin(), ids.Size(), 0, nullptr);
    }
    return CKErr::Ok;
}

#pragma once

#include "core/context/CKBaseManager.h"
#include "core/object/CKDependencies.h"
#include "core/object/CKObjectNameIndex.h"
#include "includes/XArray.h"
#include "includes/XBitArray.h"
#include "includes/XClassArray.h"
#include "includes/XHashTable.h"

class CKObject;
class CKScene;

// A deletion queued while the context is in deferred-destruction mode.
struct CKDeferredDeletion
{
    XArray<CK_ID> m_Ids;
    CKDWORD m_Flags = 0;
    const CKDependencies* m_Key = nullptr;    // the caller's record, for lookup
    CKDependencies* m_Dependencies = nullptr; // owned copy, or null
};

// The context's table of live objects: ids, lookup, per-class lists, side
// tables, destruction with notifications, deferred destruction and the id
// conversion of file loading.
class CKObjectManager : public CKBaseManager
{
public:
    explicit CKObjectManager(CKContext* context);
    ~CKObjectManager() override;

    CKERROR PostProcess() override;
    CKERROR OnCKReset() override;
    CKDWORD GetValidFunctionsMask() override { return CKMANAGER_FUNC_PostProcess | CKMANAGER_FUNC_OnCKReset; }

    // Ids.

    // The last freed id, else the highest id + 1 (the table doubles when that
    // reaches its capacity). Called by the CKObject constructor.
    CK_ID RegisterObject(CKObject* object);
    // Grows the table at once for count objects about to be registered (the
    // freed ids they take first aside), to the capacity that registering them
    // one by one would reach.
    void ReserveIds(int count);
    // Appends the id to its exact class's list and, for a dynamic object, to
    // the dynamic list. Called by CKContext::CreateObject.
    void AddObjectToLists(CKObject* object);
    // Called by the CKObject destructor: frees the slot, recycles the id of a
    // 0x8 object (outside ClearAll), drops its side-table entries.
    void ReleaseID(CK_ID id);
    // Null for an id without object.
    CKObject* GetObject(CK_ID id) const
    {
        return id <= m_HighestID && id < (CK_ID) m_Objects.Size() ? m_Objects[(int) id] : nullptr;
    }
    CK_ID GetHighestID() const { return m_HighestID; }
    int GetObjectTableCapacity() const { return m_Objects.Size(); }
    int GetObjectsCount() const { return m_LiveCount; }
    int GetFreeIdCount() const { return m_FreeIds.Size(); }

    // Per-class lists (exact class), in creation order. 0 / null for a class
    // id outside the global class count.
    int GetObjectsCountByClassID(CK_CLASSID cid);
    CK_ID* GetObjectsListByClassID(CK_CLASSID cid);
    // Case-sensitive name search from after previous (when given; nothing
    // when previous is not in the list). Null for a null name.
    CKObject* GetObjectByNameAndClass(const char* name, CK_CLASSID cid, CKObject* previous = nullptr);
    CKObject* GetObjectByNameAndParentClass(const char* name, CK_CLASSID cid, CKObject* previous = nullptr);
    // Appends the objects of the class (and of derived classes) in class-id
    // and list order. 0.
    CKERROR GetObjectsListByClass(CK_CLASSID cid, CKBOOL derived, XArray<CKObject*>& out);
    const XArray<CK_ID>& GetDynamicIds();
    // Keep the name index in step with CKObject::SetName (both do nothing
    // for an object not yet in the lists, and until a lookup by name has
    // built the index). The first is told the name to come: the slot it will
    // go to starts coming into the cache while the old name is dropped.
    void UnindexName(CKObject* object, const char* nextName);
    void IndexName(CKObject* object);

    // Side tables.
    void SetObjectAppData(CK_ID id, void* data);
    void* GetObjectAppData(CK_ID id);
    // Sets 0x8000 (plus 0x20000 while loading) and stores the value.
    void SetObjectData(CKObject* object, CKDWORD value);
    CKBOOL GetObjectData(CKObject* object, CKDWORD* value);
    void RemoveObjectData(CKObject* object);

    // Load conversion: a table from positions in a file to new ids.
    void StartLoadTable(int size);
    void SetLoadTableEntry(CKObject* object, int index);
    // The id itself without a table; with one, the entry (0 out of range).
    CK_ID ConvertLoadedID(CK_ID id) const;
    void ClearLoadTable();
    int GetLoadTableSize() const { return m_LoadTable ? m_LoadTableSize : 0; }

    int GetFreeSceneIndex();
    int GetFreeGroupIndex();
    void ReleaseSceneIndex(int index) { m_SceneIndices.Unset(index); }
    void ReleaseGroupIndex(int index) { m_GroupIndices.Unset(index); }

    // Destroys the objects with notifications. options: CK_DESTROY_FREEID
    // marks 0x18 (ids reused), CK_DESTROY_NOCLASSNOTIFY skips the class
    // notifications; any option skips the managers' notifications. 0; -1 for
    // a count of 0; 0 and nothing during DestroyAllObjects. An id given twice
    // is destroyed once.
    CKERROR DeleteObjects(CK_ID* ids, int count, CKDWORD flags, CKDWORD options);
    // Destroys every object not flagged 0x2000 (CKContext::ClearAll).
    void DestroyAllObjects();
    // Releases every object without notification (context destruction).
    void ReleaseAllObjects();

    CKDeferredDeletion* FindDeferredRecord(const CKDependencies* dependencies, CKDWORD flags);
    // A new record for the flags value (0..3), keeping a copy of dependencies.
    CKDeferredDeletion* CreateDeferredRecord(const CKDependencies* dependencies, CKDWORD flags);
    void RemoveDeferredRecord(CKDeferredDeletion* record);
    // Destroy dynamic objects (of the scene, or all) at the next PostProcess.
    void SetDynamicDestructionRequest(CKDWORD request, CKScene* scene);

private:
    // Runs the release function registered for releaseClass (the default
    // pool release when there is none).
    void ReleaseObject(CKObject* object, CK_CLASSID releaseClass);
    struct ClassList
    {
        XArray<CK_ID> m_Ids; // 0 marks a removed entry until the list is compacted
        int m_Holes = 0;
    };
    ClassList* GetClassList(CK_CLASSID cid, bool create);
    void Compact(ClassList& list, XArray<int>& positions);
    void RemoveFromList(ClassList& list, XArray<int>& positions, CK_ID id);
    void EnsureIdCapacity(CK_ID id);
    void BuildNameIndex();
    void ClearNameIndex();
    void AddName(CKObject* object);
    void DropName(CK_ID id);
    // Takes the object out of the name index and of the listed set (nothing
    // until the index is built).
    void Unlist(CK_ID id);
    void FreeDeferredRecords(int flags);

    XArray<CKObject*> m_Objects;
    CK_ID m_HighestID = 0;
    int m_LiveCount = 0;
    XArray<CK_ID> m_FreeIds;
    XClassArray<ClassList> m_ClassLists;
    ClassList m_DynamicList;
    // Position of each id in its class list and in the dynamic list.
    XArray<int> m_ClassPositions;
    XArray<int> m_DynamicPositions;
    XHashTable<void*, CK_ID> m_AppData;
    XHashTable<CKDWORD, CK_ID> m_ObjectData;
    CK_ID* m_LoadTable = nullptr;
    int m_LoadTableSize = 0;
    XArray<CKDeferredDeletion*> m_Deferred[4];
    CKDWORD m_DynamicRequest = 0;
    CKScene* m_DynamicRequestScene = nullptr;
    XBitArray m_SceneIndices;
    XBitArray m_GroupIndices;
    XBitArray m_DeleteMarks;
    // DeleteObjects' scratch: class marks and arrays kept between calls.
    XBitArray m_DeleteClassMarks;
    XBitArray m_TellMarks;
    XArray<CKObject*> m_DeleteObjects;
    XArray<CK_ID> m_DeleteIds;
    XArray<CK_CLASSID> m_DeleteTell;
    // Name lookups without a previous match go through an index from (name,
    // class) to the listed objects of that name, so named creation does not
    // scan whole class lists. It is built by the first such lookup, so that
    // creating and loading objects that nobody looks up by name costs
    // nothing more; from then on it follows every listed object. A shared
    // name is indexed by its text when it is set.
    CKObjectNameIndex m_NameIndex;
    CKBOOL m_NameIndexBuilt = FALSE;
    XArray<CKDWORD> m_NameHashes; // per id, the hash it is indexed under
    XBitArray m_Indexed;
    XBitArray m_Listed; // kept while the index is built
    CKBOOL m_DestroyingAll = FALSE;
};

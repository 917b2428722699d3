#pragma once

#include "includes/CKTypes.h"
#include "includes/XArray.h"
#include "includes/XBitArray.h"
#include "includes/XHashTable.h"

class CKContext;
class CKObject;
class CKStateChunk;

// One object of a file being saved or loaded.
struct CKFileObjectRecord
{
    CK_ID m_ObjectID = 0;      // saved id; bit 31 marks a reference-only object in the file
    CK_ID m_CreatedObject = 0; // id of the object made on load, 0 until then
    CK_CLASSID m_ClassID = 0;
    CKObject* m_Object = nullptr;
    char* m_Name = nullptr;          // owned: a memory-manager string (CKStrdup)
    CKStateChunk* m_Data = nullptr;  // owned by the record
    int m_PostPackSize = 0;
    int m_PrePackSize = 0;
    CKDWORD m_LoadOption = 0;
    CKDWORD m_DataOffset = 0;
    CKDWORD m_SaveFlags = 0;
};

// An engine file being saved or loaded.
//
// Only the part that bound state chunks use is here: the object records and
// the table from an id to its record index. A chunk bound to a file writes an
// object reference as the index of the object's record (looked up in the
// table) and reads one back as the id created for the record at that index,
// checked against the record count. Behavioural objects also read the load
// flags and the scene flag and add their scripts and attribute parameters
// with SaveObject. Saving, loading, headers, manager data, plug-in
// dependencies and included files extend this class.
class CKFile
{
public:
    explicit CKFile(CKContext* context) : m_Context(context) {}
    ~CKFile();
    CKFile(const CKFile&) = delete;
    CKFile& operator=(const CKFile&) = delete;

    CKContext* GetCKContext() const { return m_Context; }

    // Appends a record for an object to save under its id and enters it in
    // the id table; returns its index. An id already recorded keeps its
    // record (its index is returned).
    int AddObjectRecord(CK_ID id, CK_CLASSID cid);
    // Adds an object to the objects being saved: unless it is recorded
    // already, or is dynamic, or flagged not to be saved (0x20), its PreSave
    // runs and then its record (id, class, object, flags) is appended. Null
    // is ignored. Saving by reference and the order of levels are not here.
    void SaveObject(CKObject* object, CKDWORD flags);

    // Saving: the record index of an object id, -1 for 0 or an id that is
    // not being saved.
    int GetSavedObjectIndex(CK_ID id) const;
    // The number of object records (saved objects, or objects of the file
    // being loaded).
    int GetObjectRecordCount() const { return m_FileObjects.Size(); }
    // Loading: the id created for the record at an index; 0 for a negative
    // index or one not below the record count.
    CK_ID GetCreatedObjectID(int index) const;
    // Loading: the id created for the first record whose saved id (bit 31
    // ignored) equals id; 0 when none.
    CK_ID FindCreatedObjectID(CK_ID savedId) const;

    // Frees every record's chunk and name and empties the records and the
    // id table.
    void ClearObjectRecords();

    CKContext* m_Context = nullptr;
    XArray<CKFileObjectRecord> m_FileObjects;
    // Load options of the file being loaded (0x200: merge the scripts of
    // reused objects).
    CKDWORD m_LoadFlags = 0;
    // Ids of the objects SaveObject has taken (saved in full).
    XBitArray m_AlreadySavedMask;
    // Set while saving when a scene or a level is among the saved objects.
    CKBOOL m_SceneSaved = FALSE;
    XHashTable<int, CK_ID> m_ObjectsHashTable;
};

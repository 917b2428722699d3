#pragma once

#include "core/context/CKDefines.h"
#include "core/object/CKClass.h"
#include "includes/XString.h"
#include "system/memory/QxPoolObject.h"

class CKContext;
class CKFile;
class CKStateChunk;
class CKDependenciesContext;

// Identifiers of CKObject's state chunk.
enum : CKDWORD
{
    CK_STATESAVE_OBJECTHIDDEN = 4,
    CK_STATESAVE_OBJECTHIERAHIDDEN = 24,
};
constexpr CKDWORD CK_OBJECT_DATA_VERSION = 10;

// Root of the engine's object model. Objects are created and destroyed only
// through their context (CKContext::CreateObject / DestroyObject), which runs
// the creation and release functions the class registered; they come from
// the memory manager's pools.
class CKObject : public CKClass<CKObject, QxPoolObject, CKCID_OBJECT>
{
public:
    // Registers with the context's object manager, which gives the id (0
    // without a context). The name is copied; null for none.
    explicit CKObject(CKContext* context, const char* name = nullptr);

    // CKSHOW sets visible; CKHIERARCHICALHIDE hides with the children keeping
    // their own visibility; CKHIDE hides.
    virtual void Show(CKDWORD show = CKSHOW);
    virtual CKBOOL IsHiddenByParent() { return FALSE; }
    virtual CKBOOL CanBeHidden() { return FALSE; }
    virtual CKBOOL IsVisible() { return (m_ObjectFlags & CK_OBJECT_VISIBLE) != 0; }
    // Gives the id back to the object manager and frees an owned name.
    ~CKObject() override;
    // Adds the objects that must be saved with this one to the file.
    virtual void PreSave(CKFile* file, CKDWORD flags);
    // A new state chunk of class 1 holding the visibility (identifier 4
    // hidden, 24 hidden hierarchically, none when visible); derived classes
    // continue writing into it.
    virtual CKStateChunk* Save(CKFile* file, CKDWORD flags);
    // Reads the visibility back; 0, -1 for a null chunk.
    virtual CKERROR Load(CKStateChunk* chunk, CKFile* file);
    virtual void PostLoad() {}
    // Called on every object about to be destroyed before any is freed.
    virtual void PreDelete() {}
    // Called before / after a deletion on objects of the classes that asked
    // to hear about the deleted classes.
    virtual void CheckPreDeletion() {}
    virtual void CheckPostDeletion() {}
    // 20, plus the name's length + 1 when the name is owned.
    virtual int GetMemoryOccupation();
    virtual CKBOOL IsObjectUsed(CKObject* object, CK_CLASSID cid);
    // Enters the object in the dependencies context: 0 when newly added, -17
    // when already there, -40 when it refuses to be collected.
    virtual CKERROR PrepareDependencies(CKDependenciesContext& context, CKBOOL caller = TRUE);
    virtual CKERROR RemapDependencies(CKDependenciesContext& context);
    virtual CKERROR Copy(CKObject& source, CKDependenciesContext& context);

    CK_ID GetID() const { return m_ID; }
    // Null for an unnamed object.
    char* GetName() const { return m_Name; }
    // Frees an owned name; shared stores the pointer itself (never freed,
    // flag 0x80), otherwise a copy is stored.
    void SetName(const char* name, CKBOOL shared = FALSE);
    CKDWORD GetObjectFlags() const { return m_ObjectFlags; }
    void SetObjectFlags(CKDWORD flags) { m_ObjectFlags = flags; }
    CKDWORD ModifyObjectFlags(CKDWORD add, CKDWORD remove)
    {
        m_ObjectFlags = (m_ObjectFlags | add) & ~remove;
        return m_ObjectFlags;
    }
    CKBOOL IsDynamic() const { return (m_ObjectFlags & CK_OBJECT_DYNAMIC) == CK_OBJECT_DYNAMIC; }
    CKBOOL IsToBeDeleted() const { return (m_ObjectFlags & CK_OBJECT_TOBEDELETED) != 0; }
    CKContext* GetCKContext() const { return m_Context; }
    // Stores the pointer in the object manager's side table (flag 0x4000 kept
    // in step); null removes it.
    void SetAppData(void* data);
    void* GetAppData();

    // Name of a copy (suffix S): N + S + "_0" when S + "_" does not occur in
    // N, else N up to S followed by "_" and the number after it plus 1.
    static XString MakeCopyName(const char* name, const char* suffix);

    // Class registration.
    static void Register();
    static const char* GetClassName();
    static const char* GetDependencies(int index, int mode);
    static int GetDependenciesCount(int mode);

protected:
    CK_ID m_ID = 0;

private:
    // Changed only through SetName: the object manager indexes names.
    char* m_Name = nullptr;

protected:
    CKDWORD m_ObjectFlags = CK_OBJECT_VISIBLE;
    CKContext* m_Context = nullptr;

private:
    void FreeName();
};

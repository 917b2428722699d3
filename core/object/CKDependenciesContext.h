#pragma once

#include "core/context/CKDefines.h"
#include "core/object/XObjectArray.h"
#include "includes/XArray.h"
#include "includes/XBitArray.h"
#include "includes/XHashTable.h"
#include "includes/XString.h"

class CKContext;
class CKObject;
struct CKDependencies;

// The working record of one copy, deletion, replacement or save of a set of
// objects: the objects reached (as the keys of the remap table), for a copy
// the id of each source object's copy, and the options that guide which
// dependencies are followed.
class CKDependenciesContext
{
public:
    // Ends a dynamic object's dependency scope when it goes out of scope.
    class Scope
    {
    public:
        explicit Scope(CKDependenciesContext* context) : m_Context(context)
        {
            if (m_Context)
                ++m_Context->m_DynamicObjects;
        }
        ~Scope()
        {
            if (m_Context)
                --m_Context->m_DynamicObjects;
        }
        Scope(Scope&& other) noexcept : m_Context(other.m_Context) { other.m_Context = nullptr; }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
        Scope& operator=(Scope&&) = delete;

    private:
        CKDependenciesContext* m_Context;
    };

    explicit CKDependenciesContext(CKContext* context) : m_CKContext(context) {}
    CKDependenciesContext(const CKDependenciesContext&) = delete;
    CKDependenciesContext& operator=(const CKDependenciesContext&) = delete;

    CKContext* GetCKContext() const { return m_CKContext; }

    // The operation (CK_DEPENDENCIES_COPY ... _SAVE, or _BUILD).
    void SetOperationMode(CKDWORD mode) { m_Mode = mode; }
    CKDWORD GetOperationMode() const { return m_Mode; }
    // Options handed to CKContext::CreateObject for each copy.
    void SetCreationMode(CKDWORD options) { m_CreationMode = options; }
    CKDWORD GetCreationMode() const { return m_CreationMode; }

    // Makes a caller's options record current (null: the defaults of the
    // mode); StopDependencies restores the one before.
    void StartDependencies(CKDependencies* dependencies);
    void StopDependencies();
    CKDependencies* GetDependencies() const { return m_Dependencies; }

    // The option word of a class: with a record, 0 when it says none,
    // 0xFFFF when it says all, else its word; without one, the class's
    // default word for the current mode.
    CKDWORD GetClassDependencies(CK_CLASSID cid) const;

    // Raises the dynamic nesting while the guard lives, when caller is set
    // and the object is dynamic; does nothing otherwise.
    Scope EnterDependencyScope(CKObject* object, CKBOOL caller);
    // Above 0 while a dynamic object's dependencies are being collected.
    int GetDynamicNesting() const { return m_DynamicObjects; }

    // Enters the id in the remap table (value 0); true when it was new.
    CKBOOL AddDependency(CK_ID id);
    CKBOOL IsDependenciesHere(CK_ID id) const { return m_MapID.IsHere(id); }
    // Appends to the collected objects every id that names an object.
    void AddObjects(const CK_ID* ids, int count);
    int GetObjectsCount() const { return m_Objects.Size(); }
    CKObject* GetObjects(int index) const;
    const XObjectArray& GetObjectArray() const { return m_Objects; }
    const XObjectArray& GetScripts() const { return m_Scripts; }

    // 0 stays 0; the copy's id when the table holds one, else the id itself.
    CK_ID RemapID(CK_ID id) const
    {
        if (id == 0)
            return 0;
        const CK_ID* image = m_MapID.FindPtr(id);
        return image && *image != 0 ? *image : id;
    }
    // Null stays null; otherwise the object of RemapID of its id.
    CKObject* Remap(const CKObject* object) const;
    // Records the copy of a source id.
    void SetRemap(CK_ID source, CK_ID copy) { m_MapID.Insert(source, copy); }
    const XHashTable<CK_ID, CK_ID>& GetRemapTable() const { return m_MapID; }

    // Empties the remap table, the collected objects, the scripts reached
    // and the classes reached.
    void Clear();

    // Copies the collected objects and what they depend on; afterwards the
    // collected objects name the copies. Null suffix: none.
    CKERROR Copy(const char* suffix = nullptr);
    const char* GetCopySuffix() const { return m_CopyAppendString.CStr(); }
    void SetCopySuffix(const char* suffix) { m_CopyAppendString = suffix ? suffix : ""; }

private:
    CKContext* m_CKContext = nullptr;
    CKDependencies* m_Dependencies = nullptr;
    XArray<CKDependencies*> m_DependenciesStack;
    XHashTable<CK_ID, CK_ID> m_MapID;
    XObjectArray m_Objects;
    XObjectArray m_Scripts;
    CKDWORD m_Mode = CK_DEPENDENCIES_COPY;
    CKDWORD m_CreationMode = 0;
    int m_DynamicObjects = 0;
    XString m_CopyAppendString;
    XBitArray m_ObjectsClassMask;
};

#pragma once

#include <cassert>
#include <concepts>
#include <type_traits>

#include "core/object/CKClassDesc.h"
#include "core/object/CKDependencies.h"
#include "core/object/CKObject.h"

// The process-wide class registry (reset by CKShutdown).

// Grows the registry to id + 1 entries when shorter, then overwrites the entry
// of that id with a fresh one holding the name, the parent (0 when it equals
// the id) and the functions; every other field is reset.
void CKClassRegister(const char* name, CK_CLASSID cid, CK_CLASSID parent, CKCLASSREGISTERFCT registerFct,
                     CKCLASSCREATIONFCT creationFct, CKCLASSRELEASEFCT releaseFct, CKCLASSNAMEFCT nameFct,
                     CKCLASSDEPENDENCIESFCT dependsFct, CKCLASSDEPENDENCIESCOUNTFCT dependsCountFct);

// The larger of 58 and the registry count; raises the global class count past
// it. Enters nothing: register the class under that id next.
CK_CLASSID CKAllocateClassID();

// Builds ancestor, derived and notification tables and runs every class's
// register function. Classes registered at ids of 58 and above are kept.
void CKBuildClassHierarchyTable();

int CKGetClassCount();
// The number of class ids per-class tables are sized by (58 at start).
int CKGetGlobalClassCount();
// The entry of an id; null outside the registry.
CKClassDesc* CKGetClassDesc(CK_CLASSID cid);
// The registered name, "" for an id without a class.
const char* CKClassIDToString(CK_CLASSID cid);

// True when parent is child or one of its ancestors. False for ids outside
// the registry.
CKBOOL CKIsChildClassOf(CK_CLASSID child, CK_CLASSID parent);
CKBOOL CKIsChildClassOfObject(CKObject* object, CK_CLASSID parent);
CK_CLASSID CKGetParentClassID(CK_CLASSID cid);

// Setters for register functions (they run inside CKBuildClassHierarchyTable).
// Each ignores an id outside the registry.
void CKClassSetParameterGuid(CK_CLASSID cid, CKGUID guid);
CKGUID CKGetClassParameterGuid(CK_CLASSID cid);                                  // null GUID outside the registry
void CKClassRegisterDefaultDependencies(CK_CLASSID cid, CKDWORD mask, int mode); // modes 1 to 4
void CKClassSetCreationFlags(CK_CLASSID cid, CKDWORD flags);
// a hears about deletions of b and of every class derived from b.
void CKClassNeedNotificationFrom(CK_CLASSID a, CK_CLASSID b);
// Sets the deletion-check word of a class (bit 1 CheckPreDeletion, bit 2
// CheckPostDeletion).
void CKClassSetDeletionCheck(CK_CLASSID cid, CKDWORD check);

// The default record of mode 1 to 4 (5 gives mode 1's); null otherwise.
CKDependencies* CKGetDefaultClassDependencies(int mode);
// Copies that record into out; other modes leave out untouched.
void CKCopyDefaultClassDependencies(CKDependencies& out, int mode);

// True when T has a class-name function of its own (CKClass's is deleted).
template <class T>
concept CKClassNamesItself = requires
{
    T::GetClassName();
};

// Registers a class declared with CKClass (CKClass.h) in one line that the
// compiler checks: Parent is the parent the class was declared with (the
// class itself for the root, CKObject) and the class names itself. An id of
// 0 is allocated first and kept in T::m_ClassID; the parent must hold its id
// already (register parents first).
template <class T, class Parent>
void CKClassRegisterT(const char* name)
{
    static_assert(std::is_same_v<typename T::ClassParent, Parent> ||
                      (std::is_same_v<T, Parent> && !std::is_base_of_v<CKObject, typename T::ClassParent>),
                  "the registration names another parent than the class's declaration");
    static_assert(CKClassNamesItself<T>, "a registered class declares static const char* GetClassName()");
    if (T::m_ClassID == 0)
        T::m_ClassID = CKAllocateClassID();
    assert(Parent::m_ClassID != 0);
    CKClassRegister(name, T::m_ClassID, Parent::m_ClassID, &T::Register, &T::CreateInstance, &T::ReleaseInstance,
                    &T::GetClassName, &T::GetDependencies, &T::GetDependenciesCount);
}

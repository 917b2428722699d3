#pragma once

#include "core/context/CKDefines.h"

class CKContext;
class CKObject;

// Release function shared by every class whose objects are plain pool objects.
void CKReleaseObjectDefault(CKContext* context, CKObject* object);

// The one-line declaration of an engine class: the class derives from
// CKClass<itself, its parent, its class id> instead of from its parent, and
// registers in one more line (CKClassRegisterT, CKClassRegistry.h):
//
//     class CKGroup : public CKClass<CKGroup, CKBeObject, CKCID_GROUP>
//     {
//     public:
//         explicit CKGroup(CKContext* context, const char* name = nullptr); // : CKClass(context, name)
//         ... its own members ...
//         static const char* GetClassName(); // "Group"
//         // Only where the class differs from the defaults below:
//         static void Register(); // parameter GUID, default dependencies, notifications, creation flags
//         static const char* GetDependencies(int index, int mode);
//         static int GetDependenciesCount(int mode);
//     };
//
//     CKClassRegisterT<CKGroup, CKBeObject>("CKGroup");
//
// The base supplies what every class has alike. A static the class writes
// itself hides the default by ordinary name lookup; because the base stands
// between the class and its parent, a class that writes none gets the
// default, never its parent's function (which would register the parent's
// GUID or dependency names a second time). GetClassName has no default: each
// registered class names itself, and the registration does not compile
// otherwise. An id of 0 is allocated at registration (test and plug-in
// classes).
//
// Constructors name the base as CKClass in their initialiser lists; the
// parent's constructors are inherited. The creation function is compiled
// only when a class is registered, so an abstract class (one that a library
// implements, like the render context) declares itself the same way: the
// implementing class derives from it plainly, writes its own CreateInstance
// and registers under the declared parent.
template <class T, class Parent, CK_CLASSID Id>
class CKClass : public Parent
{
public:
    using Parent::Parent;
    // The parent the class was declared with; the registration checks it.
    using ClassParent = Parent;

    // The class's id variable: files, class tests and the object manager read
    // it. 0 until registration allocates one.
    inline static CK_CLASSID m_ClassID = Id;

    // Virtual, so a class may still report another id than its declaration's.
    virtual CK_CLASSID GetClassID() { return m_ClassID; }

    // Run by CKBuildClassHierarchyTable; nothing to declare by default.
    static void Register() {}
    // A new object from the memory manager's pools.
    static CKObject* CreateInstance(CKContext* context) { return new T(context); }
    static void ReleaseInstance(CKContext* context, CKObject* object) { CKReleaseObjectDefault(context, object); }
    static const char* GetClassName() = delete;
    // No dependency options in any mode.
    static const char* GetDependencies(int, int) { return nullptr; }
    static int GetDependenciesCount(int) { return 0; }
};

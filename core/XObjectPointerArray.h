#pragma once

#include "includes/CKTypes.h"
#include "includes/XArray.h"

class CKObject;
class CKContext;
class CKStateChunk;
class CKDependenciesContext;

// A growable array of object pointers, saved and loaded as an object-id
// sequence.
class XObjectPointerArray : public XArray<CKObject*>
{
public:
    XObjectPointerArray() = default;

    // The object at the index; null outside the array.
    CKObject* GetObject(int index) const { return index >= 0 && index < Size() ? Begin()[index] : nullptr; }
    // Removes the objects being deleted (flag 0x10), keeping the order; true
    // when the array changed.
    CKBOOL Check();
    // An object-id sequence of the objects (0 for those not writable).
    void Save(CKStateChunk* chunk) const;
    // Becomes the existing objects of the chunk's next object-id sequence.
    void Load(CKContext* context, CKStateChunk* chunk);
    // Has each non-null object prepare its dependencies (caller flag 1).
    void Prepare(CKDependenciesContext& context) const;
    // Replaces each non-null object by its copy.
    void Remap(CKDependenciesContext& context);
};

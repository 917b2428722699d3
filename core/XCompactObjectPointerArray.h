#pragma once

#include "includes/CKTypes.h"
#include "includes/XCompactArray.h"

class CKObject;
class CKContext;
class CKStateChunk;
class CKDependenciesContext;

// Object pointers held as a begin and an end pointer, sized exactly.
class XCompactObjectPointerArray : public XCompactArray<CKObject*>
{
public:
    XCompactObjectPointerArray() = default;

    // Removes the objects being deleted (flag 0x10), keeping the order, and
    // resizes the storage exactly; true when the array changed.
    CKBOOL Check();
    // Has each non-null object prepare its dependencies (caller flag 1).
    void Prepare(CKDependenciesContext& context) const;
    // Replaces each non-null object by its copy.
    void Remap(CKDependenciesContext& context);
    // Becomes the existing objects of the chunk's next object-id sequence;
    // left unchanged when the sequence is empty or none of its objects exists.
    void Load(CKContext* context, CKStateChunk* chunk);
};

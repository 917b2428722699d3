#pragma once

#include "core/object/XObjectPointerRange.h"
#include "includes/CKTypes.h"
#include "includes/XArray.h"

class CKObject;
class CKContext;
class CKStateChunk;

// A growable array of object pointers, saved and loaded as an object-id
// sequence.
class XObjectPointerArray : public XObjectPointerRange<XArray<CKObject*>>
{
public:
    XObjectPointerArray() = default;

    // The object at the index; null outside the array.
    CKObject* GetObject(int index) const { return index >= 0 && index < Size() ? Begin()[index] : nullptr; }
    // An object-id sequence of the objects (0 for those not writable).
    void Save(CKStateChunk* chunk) const;
    // Becomes the existing objects of the chunk's next object-id sequence.
    void Load(CKContext* context, CKStateChunk* chunk);
};

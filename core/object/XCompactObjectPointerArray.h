#pragma once

#include "core/object/XObjectPointerRange.h"
#include "includes/CKTypes.h"
#include "includes/XCompactArray.h"

class CKContext;
class CKObject;
class CKStateChunk;

// Object pointers held as a begin and an end pointer, sized exactly (Check
// resizes the storage to the objects it keeps).
class XCompactObjectPointerArray : public XObjectPointerRange<XCompactArray<CKObject*>>
{
public:
    XCompactObjectPointerArray() = default;

    // Becomes the existing objects of the chunk's next object-id sequence;
    // left unchanged when the sequence is empty or none of its objects exists.
    void Load(CKContext* context, CKStateChunk* chunk);
};

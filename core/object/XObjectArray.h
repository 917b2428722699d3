#pragma once

#include "core/object/XObjectIDRange.h"
#include "includes/CKTypes.h"
#include "includes/XArray.h"

class CKObject;
class CKContext;
class CKStateChunk;
class CKDependenciesContext;

// A growable array of object ids, saved and loaded as an object-id sequence.
class XObjectArray : public XObjectIDRange<XArray<CK_ID>>
{
public:
    XObjectArray() = default;

    // The id at the index; 0 for an index outside the array.
    CK_ID GetObjectID(int index) const { return index >= 0 && index < Size() ? Begin()[index] : 0; }
    // The context's object for that id, null when none.
    CKObject* GetObject(CKContext* context, int index) const;
    // True when the array holds the object's id (0 for null).
    CKBOOL FindObject(CKObject* object) const;
    // An object-id sequence. With a context each id is written as its object
    // (0 when the object may not be written); without one, as it is.
    void Save(CKStateChunk* chunk, CKContext* context = nullptr) const;
    // Becomes the chunk's next object-id sequence.
    void Load(CKStateChunk* chunk);
    // Has each existing object prepare its dependencies (caller flag 1).
    void Prepare(CKDependenciesContext& context) const;
    // Replaces each id by its image in the dependencies context.
    void RemapIDs(CKDependenciesContext& context);
};

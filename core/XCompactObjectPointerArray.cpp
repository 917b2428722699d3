#include "core/XCompactObjectPointerArray.h"

#include "core/CKDependenciesContext.h"
#include "core/CKObject.h"
#include "core/CKStateChunk.h"

CKBOOL XCompactObjectPointerArray::Check()
{
    int kept = 0;
    for (int i = 0; i < Size(); ++i) {
        CKObject* object = Begin()[i];
        if (!object || !object->IsToBeDeleted())
            Begin()[kept++] = object;
    }
    if (kept == Size())
        return FALSE;
    Resize(kept);
    return TRUE;
}

void XCompactObjectPointerArray::Prepare(CKDependenciesContext& context) const
{
    for (CKObject* object : *this)
        if (object)
            object->PrepareDependencies(context, TRUE);
}

void XCompactObjectPointerArray::Remap(CKDependenciesContext& context)
{
    for (CKObject*& object : *this)
        if (object)
            object = context.Remap(object);
}

void XCompactObjectPointerArray::Load(CKContext* context, CKStateChunk* chunk)
{
    if (!chunk)
        return;
    XObjectPointerArray found = chunk->ReadXObjectPointerArray(context);
    if (found.IsEmpty())
        return;
    Resize(found.Size());
    for (int i = 0; i < found.Size(); ++i)
        Begin()[i] = found[i];
}

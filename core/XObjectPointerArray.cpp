#include "core/XObjectPointerArray.h"

#include "core/CKDependenciesContext.h"
#include "core/CKObject.h"
#include "core/CKStateChunk.h"

CKBOOL XObjectPointerArray::Check()
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

void XObjectPointerArray::Save(CKStateChunk* chunk) const
{
    if (!chunk)
        return;
    chunk->StartObjectIDSequence(Size());
    for (CKObject* object : *this)
        chunk->WriteObjectSequenceItem(object);
}

void XObjectPointerArray::Load(CKContext* context, CKStateChunk* chunk)
{
    if (chunk)
        static_cast<XArray<CKObject*>&>(*this) = chunk->ReadXObjectPointerArray(context);
}

void XObjectPointerArray::Prepare(CKDependenciesContext& context) const
{
    for (CKObject* object : *this)
        if (object)
            object->PrepareDependencies(context, TRUE);
}

void XObjectPointerArray::Remap(CKDependenciesContext& context)
{
    for (CKObject*& object : *this)
        if (object)
            object = context.Remap(object);
}

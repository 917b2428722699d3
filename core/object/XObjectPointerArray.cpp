#include "core/object/XObjectPointerArray.h"

#include "core/chunk/CKStateChunk.h"
#include "core/object/CKObject.h"

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

#include "core/object/XObjectArray.h"

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/object/CKDependenciesContext.h"
#include "core/object/CKObject.h"

CKObject* XObjectArray::GetObject(CKContext* context, int index) const
{
    CK_ID id = GetObjectID(index);
    return id && context ? context->GetObject(id) : nullptr;
}

CKBOOL XObjectArray::FindObject(CKObject* object) const
{
    return IsHere(object ? object->GetID() : 0);
}

void XObjectArray::Save(CKStateChunk* chunk, CKContext* context) const
{
    if (!chunk)
        return;
    chunk->StartObjectIDSequence(Size());
    for (CK_ID id : *this) {
        if (context)
            chunk->WriteObjectSequenceItem(id ? context->GetObject(id) : nullptr);
        else
            chunk->WriteObjectIDSequenceItem(id);
    }
}

void XObjectArray::Load(CKStateChunk* chunk)
{
    if (chunk)
        static_cast<XArray<CK_ID>&>(*this) = chunk->ReadXObjectArray();
}

void XObjectArray::Prepare(CKDependenciesContext& context) const
{
    CKContext* ck = context.GetCKContext();
    if (!ck)
        return;
    for (CK_ID id : *this)
        if (CKObject* object = id ? ck->GetObject(id) : nullptr)
            object->PrepareDependencies(context, TRUE);
}

void XObjectArray::RemapIDs(CKDependenciesContext& context)
{
    for (CK_ID& id : *this)
        id = context.RemapID(id);
}

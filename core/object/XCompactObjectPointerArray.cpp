#include "core/object/XCompactObjectPointerArray.h"

#include "core/chunk/CKStateChunk.h"

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

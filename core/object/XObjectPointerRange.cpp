#include "core/object/XObjectPointerRange.h"

#include "core/object/CKDependenciesContext.h"
#include "core/object/CKObject.h"

template <class Storage>
CKBOOL XObjectPointerRange<Storage>::Check()
{
    int kept = 0;
    for (int i = 0; i < this->Size(); ++i) {
        CKObject* object = this->Begin()[i];
        if (!object || !object->IsToBeDeleted())
            this->Begin()[kept++] = object;
    }
    if (kept == this->Size())
        return FALSE;
    this->Resize(kept);
    return TRUE;
}

template <class Storage>
void XObjectPointerRange<Storage>::Prepare(CKDependenciesContext& context) const
{
    for (CKObject* object : *this)
        if (object)
            object->PrepareDependencies(context, TRUE);
}

template <class Storage>
void XObjectPointerRange<Storage>::Remap(CKDependenciesContext& context)
{
    for (CKObject*& object : *this)
        if (object)
            object = context.Remap(object);
}

template class XObjectPointerRange<XArray<CKObject*>>;
template class XObjectPointerRange<XCompactArray<CKObject*>>;

#include "core/object/XObjectIDRange.h"

#include "core/context/CKContext.h"

template <class Storage>
CKBOOL XObjectIDRange<Storage>::Check(CKContext* context)
{
    int kept = 0;
    for (int i = 0; i < this->Size(); ++i) {
        CK_ID id = this->Begin()[i];
        if (context && id && context->GetObject(id))
            this->Begin()[kept++] = id;
    }
    if (kept == this->Size())
        return FALSE;
    this->Resize(kept);
    return TRUE;
}

template class XObjectIDRange<XArray<CK_ID>>;
template class XObjectIDRange<XCompactArray<CK_ID>>;

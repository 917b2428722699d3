#include "core/XCompactObjectArray.h"

#include "core/CKContext.h"

CKBOOL XCompactObjectArray::Check(CKContext* context)
{
    int kept = 0;
    for (int i = 0; i < Size(); ++i) {
        CK_ID id = Begin()[i];
        if (context && id && context->GetObject(id))
            Begin()[kept++] = id;
    }
    if (kept == Size())
        return FALSE;
    Resize(kept);
    return TRUE;
}

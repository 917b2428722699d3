#pragma once

#include "includes/CKTypes.h"
#include "includes/XCompactArray.h"

class CKContext;

// Object ids held as a begin and an end pointer, sized exactly.
class XCompactObjectArray : public XCompactArray<CK_ID>
{
public:
    XCompactObjectArray() = default;

    // Removes the ids that name no object of the context, keeping the order,
    // and resizes the storage to the rest; true when the array changed.
    CKBOOL Check(CKContext* context);
};

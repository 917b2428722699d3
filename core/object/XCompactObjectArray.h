#pragma once

#include "core/object/XObjectIDRange.h"
#include "includes/CKTypes.h"
#include "includes/XCompactArray.h"

// Object ids held as a begin and an end pointer, sized exactly (Check
// resizes the storage to the ids it keeps).
class XCompactObjectArray : public XObjectIDRange<XCompactArray<CK_ID>>
{
public:
    XCompactObjectArray() = default;
};

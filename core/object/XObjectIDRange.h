#pragma once

#include "includes/CKTypes.h"
#include "includes/XArray.h"
#include "includes/XCompactArray.h"

class CKContext;

// What the growable and the compact arrays of object ids share; Storage is
// XArray<CK_ID> or XCompactArray<CK_ID> (the two made in the .cpp).
template <class Storage>
class XObjectIDRange : public Storage
{
public:
    // Removes the ids that name no object of the context (all of them for a
    // null context), keeping the order, and resizes the array to the rest;
    // true when it changed.
    CKBOOL Check(CKContext* context);
};

extern template class XObjectIDRange<XArray<CK_ID>>;
extern template class XObjectIDRange<XCompactArray<CK_ID>>;

#pragma once

#include "includes/CKTypes.h"
#include "includes/XArray.h"
#include "includes/XCompactArray.h"

class CKObject;
class CKDependenciesContext;

// What the growable and the compact arrays of object pointers share; Storage
// is XArray<CKObject*> or XCompactArray<CKObject*> (the two made in the .cpp).
template <class Storage>
class XObjectPointerRange : public Storage
{
public:
    // Removes the objects being deleted (flag 0x10), keeping the order, and
    // resizes the array to the rest; true when it changed.
    CKBOOL Check();
    // Has each non-null object prepare its dependencies (caller flag 1).
    void Prepare(CKDependenciesContext& context) const;
    // Replaces each non-null object by its copy.
    void Remap(CKDependenciesContext& context);
};

extern template class XObjectPointerRange<XArray<CKObject*>>;
extern template class XObjectPointerRange<XCompactArray<CKObject*>>;

#pragma once

#include "core/context/CKContext.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKObject.h"

// The object as a T when it is of class cid or derived, else null (null
// stays null): how the animation classes take references from files and
// copies.
template <class T>
T* CKObjectAs(CKObject* object, CK_CLASSID cid)
{
    return object && CKIsChildClassOfObject(object, cid) ? static_cast<T*>(object) : nullptr;
}

template <class T>
T* CKObjectAs(CKContext* context, CK_ID id, CK_CLASSID cid)
{
    return CKObjectAs<T>(id && context ? context->GetObject(id) : nullptr, cid);
}

#pragma once

#include <cstring>

#include "core/parameter/CKParameter.h"

// The object a pointer-valued parameter holds ("Collection", "2D Curve" ...),
// null when none. The value's slot always has room for a pointer.
template <class T>
T* CKGetOwnedValue(CKParameter* param)
{
    const void* slot = param && CKIsPointerParameterType(param->GetTypeDesc()) ? param->GetReadDataPtr(FALSE) : nullptr;
    T* value = nullptr;
    if (slot)
        std::memcpy(&value, slot, sizeof value);
    return value;
}

// Stores the pointer as the value; false (nothing stored) when the parameter
// has no slot for it.
template <class T>
bool CKSetOwnedValue(CKParameter* param, T* value)
{
    void* slot = param && CKIsPointerParameterType(param->GetTypeDesc()) ? param->GetWriteDataPtr() : nullptr;
    if (!slot)
        return false;
    std::memcpy(slot, &value, sizeof value);
    return true;
}

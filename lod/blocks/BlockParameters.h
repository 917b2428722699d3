#pragma once

#include <cstddef>

#include "core/behavior/CKBehavior.h"
#include "core/parameter/CKParameter.h"
#include "core/parameter/CKParameterIn.h"
#include "core/parameter/CKParameterLocal.h"
#include "includes/XString.h"

// Reads of a behaviour's parameters that never copy more than a value holds:
// a parameter loaded with another type (a hostile or outdated file) reads as
// nothing rather than overrunning the caller's variable.

// The bytes a read of the parameter's value copies: its data size, except a
// pointer, which is read whole although files give its type 4 bytes.
inline size_t BlockValueSize(CKParameter* parameter)
{
    if (CKIsPointerParameterType(parameter->GetTypeDesc()))
        return sizeof(void*);
    const int size = parameter->GetDataSize();
    return size > 0 ? (size_t) size : 0;
}

// The value of input parameter n into value when its source holds exactly a
// T; false, and value unchanged, otherwise.
template <class T>
bool ReadInputParameter(CKBehavior* behavior, int n, T& value)
{
    CKParameterIn* in = behavior->GetInputParameter(n);
    CKParameter* source = in ? in->GetRealSource() : nullptr;
    if (!source || BlockValueSize(source) != sizeof(T))
        return false;
    return source->GetValue(&value) == CKErr::Ok;
}

// The same for local parameter (or setting) n.
template <class T>
bool ReadLocalParameter(CKBehavior* behavior, int n, T& value)
{
    CKParameterLocal* local = behavior->GetLocalParameter(n);
    if (!local || BlockValueSize(local) != sizeof(T))
        return false;
    return local->GetValue(&value) == CKErr::Ok;
}

// The bytes of a buffer held by local parameter n and their count (0 when
// there are none); a parameter holding a pointer holds no buffer.
const CKBYTE* LocalBuffer(CKBehavior* behavior, int n, int& size);

// The text of input parameter n, cut at its first zero or at the end of its
// value; false when it has no source.
bool ReadInputText(CKBehavior* behavior, int n, XString& text);

// Whether input parameter n exists and is not switched off by the block.
bool IsInputParameterEnabled(CKBehavior* behavior, int n);

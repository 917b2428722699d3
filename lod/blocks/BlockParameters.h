#pragma once

#include "core/behavior/CKBehavior.h"
#include "core/parameter/CKParameter.h"
#include "core/parameter/CKParameterIn.h"
#include "core/parameter/CKParameterLocal.h"
#include "includes/XString.h"

// Reads of a behaviour's parameters that never copy more than a value holds:
// a parameter loaded with another type (a hostile or outdated file) reads as
// nothing rather than overrunning the caller's variable.

// The value of input parameter n into value when its source holds exactly a
// T; false, and value unchanged, otherwise.
template <class T>
bool ReadInputParameter(CKBehavior* behavior, int n, T& value)
{
    CKParameterIn* in = behavior->GetInputParameter(n);
    CKParameter* source = in ? in->GetRealSource() : nullptr;
    if (!source || source->GetDataSize() != (int) sizeof(T))
        return false;
    return source->GetValue(&value) == CKErr::Ok;
}

// The same for local parameter (or setting) n.
template <class T>
bool ReadLocalParameter(CKBehavior* behavior, int n, T& value)
{
    CKParameterLocal* local = behavior->GetLocalParameter(n);
    if (!local || local->GetDataSize() != (int) sizeof(T))
        return false;
    return local->GetValue(&value) == CKErr::Ok;
}

// The text of input parameter n, cut at its first zero or at the end of its
// value; false when it has no source.
bool ReadInputText(CKBehavior* behavior, int n, XString& text);

// Whether input parameter n exists and is not switched off by the block.
bool IsInputParameterEnabled(CKBehavior* behavior, int n);

#pragma once

#include "core/parameter/CKParameterTypeDesc.h"

// A view of a structure-typed parameter's member record (null for a null
// parameter or one of another kind).
class CKStructValueRef
{
public:
    explicit CKStructValueRef(CKParameter* param);

    // The record's member count; 0 without record.
    int GetMemberCount() const { return m_Desc ? m_Desc->NbData : 0; }
    // The n-th member's name; null outside the members.
    const char* GetMemberName(int n) const { return n >= 0 && n < GetMemberCount() ? m_Desc->Desc[n] : nullptr; }

private:
    CKStructDesc* m_Desc = nullptr;
};

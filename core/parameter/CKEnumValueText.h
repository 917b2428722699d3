#pragma once

#include "core/parameter/CKParameterTypeDesc.h"
#include "includes/XString.h"

// The text forms of enumeration and flags values, as users read and type
// them. A null record falls back to the decimal form of an integer.

// The name of the first member holding value; the decimal value when none
// does; "Invalid Enum Value" when that member has no name.
void CKEnumValueToText(const CKEnumDesc* desc, int value, XString& out);
// The value of the first member whose name equals text (case-sensitive);
// otherwise the decimal number text starts with, 0 when none. 0 for null.
int CKEnumValueFromText(const CKEnumDesc* desc, const char* text);

// The names of the members sharing a bit with value, in member order, joined
// by ","; members of value 0 are never listed.
void CKFlagsValueToText(const CKFlagsDesc* desc, int value, XString& out);
// The OR of the members named by the pieces of text between ","; names are
// compared without case and without trimming blanks, pieces naming no member
// are skipped and an empty piece ends the text. 0 for null.
int CKFlagsValueFromText(const CKFlagsDesc* desc, const char* text);

#pragma once

#include "includes/CKTypes.h"
#include "includes/XString.h"

// Definition texts of enumerations and flags: each member as its name, "="
// and its value, members separated by ",". A member without "=" takes the
// previous value plus 1 (flags: times 2); the first default is 0 (flags: 1).

// The decimal number at text: leading blanks skipped, an optional sign, then
// digits up to the first other character; 0 without digits. The number is
// taken as a 32-bit word, so values past the signed range such as
// 2147483648 (bit 31 of a flags list) keep their bits; a magnitude past
// 32 bits saturates at 0xFFFFFFFF before the sign applies.
int CKParseMemberValue(const char* text);

// The members of a definition text, owned by the record that receives them
// (free with CKFreeMembers).
struct CKMemberList
{
    int Count = 0;
    int* Values = nullptr;  // new[]
    char** Names = nullptr; // new[] of CKStrndup strings
};

// Splits text at every ","; each piece is cut at its first "=" into the name
// and the value. An empty text gives one member with an empty name. A null
// text gives no member. Every piece is a member: the count is 1 plus the
// number of commas.
CKMemberList CKParseMembers(const char* text, CKBOOL flags);
void CKFreeMembers(int count, int* values, char** names);
// Empties out, then writes the members in the definition form (values in
// signed decimal). A null name counts as empty.
void CKFormatMembers(int count, const int* values, char* const* names, XString& out);

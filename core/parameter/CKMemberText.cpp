#include "core/parameter/CKMemberText.h"

#include <cstring>

#include "core/context/CKFunctions.h"

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

int CKParseMemberValue(const char* text)
{
    if (!text)
        return 0;
    while (IsBlank(*text))
        ++text;
    bool negative = false;
    if (*text == '+' || *text == '-')
        negative = *text++ == '-';
    uint64_t magnitude = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        magnitude = magnitude * 10 + (uint64_t) (*text - '0');
        if (magnitude > 0xFFFFFFFFu)
            magnitude = 0xFFFFFFFFu + 1ull; // stays past the range, never overflows
    }
    CKDWORD word = magnitude > 0xFFFFFFFFu ? 0xFFFFFFFFu : (CKDWORD) magnitude;
    return (int) (negative ? 0u - word : word);
}

CKMemberList CKParseMembers(const char* text, CKBOOL flags)
{
    CKMemberList list;
    if (!text)
        return list;
    int count = 1;
    for (const char* c = text; *c; ++c)
        if (*c == ',')
            ++count;
    list.Count = count;
    list.Values = new int[count];
    list.Names = new char*[count];
    const char* start = text;
    CKDWORD previous = 0;
    for (int i = 0; i < count; ++i) {
        const char* end = std::strchr(start, ',');
        if (!end)
            end = start + std::strlen(start);
        // The name ends at the member's first "=", never past its comma:
        // searching further would join the next members into this name.
        const char* equal = static_cast<const char*>(std::memchr(start, '=', (size_t) (end - start)));
        const char* nameEnd = equal ? equal : end;
        list.Names[i] = CKStrndup(start, (int) (nameEnd - start));
        CKDWORD value;
        if (equal)
            value = (CKDWORD) CKParseMemberValue(equal + 1);
        else if (i == 0)
            value = flags ? 1 : 0;
        else
            value = flags ? previous * 2 : previous + 1;
        list.Values[i] = (int) value;
        previous = value;
        start = *end ? end + 1 : end;
    }
    return list;
}

void CKFreeMembers(int count, int* values, char** names)
{
    if (names)
        for (int i = 0; i < count; ++i)
            CKFreeString(names[i]);
    delete[] names;
    delete[] values;
}

void CKFormatMembers(int count, const int* values, char* const* names, XString& out)
{
    out = "";
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            out += ",";
        if (names && names[i])
            out += names[i];
        out += "=";
        out += values ? values[i] : 0;
    }
}

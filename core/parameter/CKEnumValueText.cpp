#include "core/parameter/CKEnumValueText.h"

#include <cstring>

#include "core/parameter/CKMemberText.h"

namespace {

char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? (char) (c - 'A' + 'a') : c;
}

// name equals the length bytes at piece, without case (ASCII only, so the
// process locale never changes the answer).
bool SameNameNoCase(const char* name, const char* piece, size_t length)
{
    for (size_t i = 0; i < length; ++i)
        if (name[i] == 0 || LowerAscii(name[i]) != LowerAscii(piece[i]))
            return false;
    return name[length] == 0;
}

} // namespace

void CKEnumValueToText(const CKEnumDesc* desc, int value, XString& out)
{
    if (desc)
        for (int i = 0; i < desc->NbData; ++i)
            if (desc->Vals[i] == value) {
                out = desc->Desc[i] ? desc->Desc[i] : "Invalid Enum Value";
                return;
            }
    out.Format("%d", value);
}

int CKEnumValueFromText(const CKEnumDesc* desc, const char* text)
{
    if (!text)
        return 0;
    if (desc)
        for (int i = 0; i < desc->NbData; ++i)
            if (desc->Desc[i] && std::strcmp(desc->Desc[i], text) == 0)
                return desc->Vals[i];
    return CKParseMemberValue(text);
}

void CKFlagsValueToText(const CKFlagsDesc* desc, int value, XString& out)
{
    if (!desc) {
        out.Format("%d", value);
        return;
    }
    out = "";
    bool first = true;
    for (int i = 0; i < desc->NbData; ++i) {
        if ((desc->Vals[i] & value) == 0)
            continue;
        if (!first)
            out += ",";
        if (desc->Desc[i])
            out += desc->Desc[i];
        first = false;
    }
}

int CKFlagsValueFromText(const CKFlagsDesc* desc, const char* text)
{
    if (!text)
        return 0;
    if (!desc)
        return CKParseMemberValue(text);
    CKDWORD result = 0;
    const char* piece = text;
    while (*piece) {
        const char* end = std::strchr(piece, ',');
        size_t length = end ? (size_t) (end - piece) : std::strlen(piece);
        if (length == 0)
            break;
        for (int i = 0; i < desc->NbData; ++i)
            if (desc->Desc[i] && SameNameNoCase(desc->Desc[i], piece, length)) {
                result |= (CKDWORD) desc->Vals[i];
                break;
            }
        if (!end)
            break;
        piece = end + 1;
    }
    return (int) result;
}

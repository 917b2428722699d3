// Parses arbitrary bytes as the member texts of enumerations and flags, and
// as the values typed for them. The bytes up to the first zero are a
// definition, the rest a value. The members of a definition, written back
// as text, must parse to the same members, both on their own and through
// the parameter manager's declaration of a registered type.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/context/CKContext.h"
#include "core/context/CKStartUp.h"
#include "core/parameter/CKEnumValueText.h"
#include "core/parameter/CKMemberText.h"
#include "core/parameter/CKParameterManager.h"

namespace {

CKContext* g_Context = nullptr;
const CKGUID kEnum(0xF022E, 1);
const CKGUID kFlags(0xF022E, 2);

bool SameMembers(const CKMemberList& a, const CKMemberList& b)
{
    if (a.Count != b.Count)
        return false;
    for (int i = 0; i < a.Count; ++i)
        if (a.Values[i] != b.Values[i] || std::strcmp(a.Names[i], b.Names[i]) != 0)
            return false;
    return true;
}

void CheckDefinition(const char* text, CKBOOL flags)
{
    CKMemberList once = CKParseMembers(text, flags);
    XString written;
    CKFormatMembers(once.Count, once.Values, once.Names, written);
    CKMemberList again = CKParseMembers(written.CStr(), flags);
    if (!SameMembers(once, again))
        std::abort();
    XString rewritten;
    CKFormatMembers(again.Count, again.Values, again.Names, rewritten);
    if (written != rewritten)
        std::abort();
    CKFreeMembers(again.Count, again.Values, again.Names);

    // The same through a registered type's declaration.
    CKParameterManager* pm = g_Context->GetParameterManager();
    CKGUID guid = flags ? kFlags : kEnum;
    int type = pm->ParameterGuidToType(guid);
    if ((flags ? pm->ChangeFlagsDeclaration(guid, text) : pm->ChangeEnumDeclaration(guid, text)) != 0)
        std::abort();
    XString declared;
    if (flags)
        pm->GetFlagsAsString(type, declared);
    else
        pm->GetEnumAsString(type, declared);
    if (declared != written)
        std::abort();
    CKFreeMembers(once.Count, once.Values, once.Names);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    CKStartUp();
    CKCreateContext(&g_Context, nullptr, nullptr);
    CKParameterManager* pm = g_Context->GetParameterManager();
    pm->RegisterNewEnum(kEnum, "Fuzz Enum", "");
    pm->RegisterNewFlags(kFlags, "Fuzz Flags", "");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 1 << 14)
        return 0;
    std::string bytes(reinterpret_cast<const char*>(data), size);
    std::string definition = bytes.substr(0, bytes.find('\0'));
    std::string value = definition.size() < bytes.size() ? bytes.substr(definition.size() + 1) : "";
    value = value.substr(0, value.find('\0'));

    CheckDefinition(definition.c_str(), FALSE);
    CheckDefinition(definition.c_str(), TRUE);

    // Values typed for the definition's members: read, written, read again.
    // Duplicate names make no round trip of values certain; they must only
    // be handled.
    CKParameterManager* pm = g_Context->GetParameterManager();
    const CKEnumDesc* e = pm->GetEnumDescByType(pm->ParameterGuidToType(kEnum));
    const CKFlagsDesc* f = pm->GetFlagsDescByType(pm->ParameterGuidToType(kFlags));
    XString text;
    CKEnumValueToText(e, CKEnumValueFromText(e, value.c_str()), text);
    CKEnumValueFromText(e, text.CStr());
    CKFlagsValueToText(f, CKFlagsValueFromText(f, value.c_str()), text);
    CKFlagsValueFromText(f, text.CStr());
    return 0;
}

#include <climits>
#include <random>

#include "core/parameter/CKEnumValueText.h"
#include "core/parameter/CKMemberText.h"
#include "tests/core/parameter/ParameterTestSupport.h"

namespace {

using MemberTexts = ParameterFixture;

struct Members
{
    std::vector<std::string> names;
    std::vector<int> values;
    bool operator==(const Members&) const = default;
};

Members Parse(const char* text, CKBOOL flags)
{
    CKMemberList list = CKParseMembers(text, flags);
    Members m;
    for (int i = 0; i < list.Count; ++i) {
        m.names.push_back(list.Names[i]);
        m.values.push_back(list.Values[i]);
    }
    CKFreeMembers(list.Count, list.Values, list.Names);
    return m;
}

std::string Format(const Members& m)
{
    std::vector<char*> names;
    for (const std::string& n : m.names)
        names.push_back(const_cast<char*>(n.c_str()));
    XString out;
    CKFormatMembers((int) m.values.size(), m.values.data(), names.data(), out);
    return out.CStr();
}

} // namespace

TEST(MemberValue, DecimalNumbersAreTakenAs32BitWords)
{
    struct Case
    {
        const char* text;
        int value;
    } cases[] = {
        {"12", 12},
        {"  \t-3", -3},
        {"+7x", 7},
        {"abc", 0},
        {"", 0},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MIN},
        {"4294967295", -1},
        {"-1", -1},
        {"99999999999", -1},
        {"- 4", 0},
        {"08", 8},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CKParseMemberValue(c.text), c.value) << c.text;
    EXPECT_EQ(CKParseMemberValue(nullptr), 0);
}

TEST(MemberText, RandomDefinitionsSurviveTheirText)
{
    std::mt19937 rng(105);
    const std::string alphabet = "ab Z9_-+ \t()#;:.=,";
    for (int round = 0; round < 2000; ++round) {
        // Arbitrary text: whatever it parses to reads back the same from the
        // text the members give.
        std::string text;
        int length = (int) (rng() % 24);
        for (int i = 0; i < length; ++i)
            text += alphabet[rng() % alphabet.size()];
        for (CKBOOL flags : {FALSE, TRUE}) {
            Members once = Parse(text.c_str(), flags);
            std::string written = Format(once);
            EXPECT_EQ(Parse(written.c_str(), flags), once) << "[" << text << "] -> [" << written << "]";
            EXPECT_EQ(Format(Parse(written.c_str(), flags)), written);
        }
        // Members made first: names without "," or "=", any 32-bit values.
        Members made;
        int count = 1 + (int) (rng() % 6);
        for (int i = 0; i < count; ++i) {
            std::string name;
            for (int k = (int) (rng() % 5); k > 0; --k)
                name += alphabet[rng() % (alphabet.size() - 2)];
            made.names.push_back(name);
            made.values.push_back((int) rng());
        }
        EXPECT_EQ(Parse(Format(made).c_str(), rng() & 1), made) << Format(made);
    }
}

TEST_F(MemberTexts, EnumerationAndFlagsValuesReadBackFromTheirTexts)
{
    // The parameter texts cover the member names; here the edges.
    const CKEnumDesc* fill = m_Manager->GetEnumDescByType(m_Manager->ParameterNameToType("Fill Mode"));
    XString text;
    EXPECT_EQ(CKEnumValueFromText(fill, nullptr), 0);
    CKEnumValueToText(nullptr, -5, text);
    EXPECT_STREQ(text.CStr(), "-5");

    // Every member's name reads back as the value of the first member so named.
    for (int type = 0; type < m_Manager->GetParameterTypesCount(); ++type)
        if (const CKEnumDesc* e = m_Manager->GetEnumDescByType(type))
            for (int i = 0; i < e->NbData; ++i) {
                CKEnumValueToText(e, e->Vals[i], text);
                EXPECT_EQ(CKEnumValueFromText(e, text.CStr()), e->Vals[i]) << text.CStr();
            }

    const CKFlagsDesc* options = m_Manager->GetFlagsDescByType(m_Manager->ParameterNameToType("Render Options"));
    // Unknown pieces are skipped, blanks are not trimmed, an empty piece ends the list.
    EXPECT_EQ(CKFlagsValueFromText(options, "Nothing,Vertical Sync, Clear ZBuffer"), 512);
    EXPECT_EQ(CKFlagsValueFromText(options, "Foreground Sprites,,Vertical Sync"), 2);
    EXPECT_EQ(CKFlagsValueFromText(options, nullptr), 0);
    CKFlagsValueToText(options, 4, text);
    EXPECT_STREQ(text.CStr(), "");

    ASSERT_EQ(m_Manager->RegisterNewFlags(CKGUID(8, 8), "F", "Zero=0,One=1,Two"), 0);
    const CKFlagsDesc* f = m_Manager->GetFlagsDescByType(m_Manager->ParameterGuidToType(CKGUID(8, 8)));
    CKFlagsValueToText(f, 3, text);
    EXPECT_STREQ(text.CStr(), "One,Two"); // a member of value 0 is never listed
    std::mt19937 rng(7);
    const CKFlagsDesc* filter = m_Manager->GetFlagsDescByType(m_Manager->ParameterNameToType("Filter"));
    for (int i = 0; i < 200; ++i) {
        int value = (int) rng();
        CKFlagsValueToText(filter, value, text);
        EXPECT_EQ(CKFlagsValueFromText(filter, text.CStr()), value) << text.CStr();
    }
}

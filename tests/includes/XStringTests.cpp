#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "includes/XString.h"
#include "system/memory/QxMemoryManager.h"
#include "tests/support/AssertCapture.h"

// What the random comparison with std::string leaves out: buffer sizes,
// texts taken from the string itself, null texts, the length limit and the
// checked element access.
namespace {

TEST(XString, EmptyStringsHaveNoBufferAndGiveEmptyText)
{
    XString none, fromEmpty(""), fromNull((const char*) nullptr), copy(none);
    for (const XString* s : {&none, &fromEmpty, &fromNull, &copy}) {
        EXPECT_EQ(s->Length(), 0);
        EXPECT_EQ(s->Capacity(), 0);
        EXPECT_STREQ(s->CStr(), "");
    }
}

TEST(XString, BuffersAreExactlyTheSizeAskedForAndEmptyingKeepsThem)
{
    XString s("hello"), part("hello", 3), sized(10), copy(s);
    EXPECT_EQ(s.Capacity(), 6);
    EXPECT_STREQ(part.CStr(), "hel");
    EXPECT_EQ(part.Capacity(), 4);
    EXPECT_EQ(sized.Length(), 9);
    EXPECT_EQ(sized.Capacity(), 10);
    EXPECT_EQ(sized.CStr()[0], 0);
    EXPECT_EQ(copy.Capacity(), 6);
    for (const char* text : {"", "hey", (const char*) nullptr}) {
        s = text;
        EXPECT_EQ(s.Capacity(), 6) << "the buffer stays";
    }
    EXPECT_EQ(s.Length(), 0);
    XString grown;
    for (int i = 1; i <= 100; ++i) {
        grown += "x";
        ASSERT_EQ(grown.Capacity(), i + 1);
    }
    XString replaced("aaaa");
    EXPECT_EQ(replaced.Replace(XString("aa"), XString("b")), 2);
    EXPECT_EQ(replaced.Capacity(), 3);
}

TEST(XString, NullAndEmptyAppendsChangeNothingAndTextsMayComeFromTheStringItself)
{
    XString s("abc");
    s += (const char*) nullptr;
    s += "";
    s += XString();
    s += s;
    EXPECT_STREQ(s.CStr(), "abcabc");
    s += s.CStr() + 4;
    EXPECT_STREQ(s.CStr(), "abcabcbc");
    s.SetText(s.CStr() + 2, 3);
    EXPECT_STREQ(s.CStr(), "cab");
    s.AssignSubstring(s, 1);
    EXPECT_STREQ(s.CStr(), "ab");
    EXPECT_EQ(s.Replace(s, XString("z")), 1);
    EXPECT_STREQ(s.CStr(), "z");
    XString t;
    t.AssignSubstring(XString(), 0);
    EXPECT_STREQ(t.CStr(), "");
}

TEST(XString, ComparisonsStopAtAnEmbeddedTerminatorAndTakeNullAsEmpty)
{
    XString a, b;
    a.Assign("abcdefghij\0klmnopqrstuv", 24);
    b.Assign("abcdefghij\0klmnopqrstuX", 24);
    EXPECT_EQ(a.Compare(b), 0);
    EXPECT_EQ(XString("abcdefghijklmnopqrstuvwxyz").Compare(XString("abcdefghijklmnop")), 'q');
    XString abc("abc");
    EXPECT_EQ(abc.CompareCString(nullptr), 3);
    EXPECT_EQ(abc.Compare("ab"), 'c');
    EXPECT_TRUE(XString() == nullptr);
    EXPECT_EQ(abc.Compare(XStringRef("abcdef", 3)), 0);
    EXPECT_EQ(XStringRef(nullptr).Length(), 0);
    EXPECT_STREQ(XStringRef(nullptr).CStr(), "");
    EXPECT_EQ(XString().Compare(XStringRef(nullptr)), 0);
}

TEST(XString, RFindDoesNotWriteIntoAConstString)
{
    const XString s("path/to/file");
    EXPECT_EQ(s.RFind('/', 5), 4);
    EXPECT_STREQ(s.CStr(), "path/to/file");
}

TEST(XString, ReplaceThatWouldPassTheLimitLeavesTheStringUnchanged)
{
    // 2^20 'a' characters with each replaced by 256: 2^28 > the limit.
    XString s, to;
    s.Assign(nullptr, 1 << 20);
    std::memset(s.Str(), 'a', 1 << 20);
    to.Assign(nullptr, 256);
    std::memset(to.Str(), 'b', 256);
    EXPECT_EQ(s.Replace(XString("a"), to), 0);
    EXPECT_EQ(s.Length(), 1 << 20);
    EXPECT_EQ(s[0], 'a');
}

TEST(XString, AppendingToALongestStringLeavesItUnchanged)
{
    XString s;
    s.Assign(nullptr, (int) XString::MaxLength);
    s += "x";
    s += 'y';
    s += XString("z");
    EXPECT_EQ((CKDWORD) s.Length(), XString::MaxLength);
    XString t("abc");
    t.SetText("abc", (int) XString::MaxLength + 1);
    EXPECT_EQ(t.Length(), 0);
}

TEST(XString, MakeValidFileNameBlanksWhatAFileNameCannotHoldButADriveColon)
{
    const std::pair<const char*, const char*> cases[] = {
        {"c:\\dir", "c:\\dir"}, {"c:/dir", "c:/dir"},   {"c:x", "c x"},
        {"a:b:c", "a b c"},     {"1:\\dir", "1 \\dir"}, {"\"a*b<c>d?e|f\"", " a b c d e f "},
    };
    for (const auto& [in, out] : cases)
        EXPECT_STREQ(XString(in).MakeValidFileName().CStr(), out) << in;
}

TEST(XString, FormatOfTwoThousandCharactersEndsWithOneScratchBufferOf2048Bytes)
{
    // Hold every free scratch buffer so the format starts from an empty list.
    QxMemoryManager* m = QxGetMemoryManager();
    std::vector<void*> held;
    while (m->GetFreeScratchBufferCount() > 0)
        held.push_back(m->AcquireScratchBuffer(1)->m_Data);

    XString s;
    std::string text(2000, 'w');
    s.Format("%s", text.c_str());
    EXPECT_EQ(std::string(s.CStr()), text);
    ASSERT_EQ(m->GetFreeScratchBufferCount(), 1);
    EXPECT_EQ(m->GetFreeScratchBufferSize(0), 2048u);
    std::string exact(2047, 'r');
    s.Format("%s", exact.c_str());
    EXPECT_EQ(std::string(s.CStr()), exact);

    for (void* data : held)
        m->ReleaseScratchBuffer(data);
}

TEST(XString, ElementAccessIsCheckedWithTheEngineText)
{
    AssertCapture capture;
    XString s("ab");
    EXPECT_EQ(s[1], 'b');
    EXPECT_TRUE(capture.Texts().empty());
    char c = s[2];
    EXPECT_EQ(c, 0);
    s[-1] = 'z';
    EXPECT_STREQ(s.CStr(), "ab");
    XString none;
    none[0] = 'q';
    EXPECT_EQ(capture.Texts(), std::vector<std::string>(3, "i>=0 && (DWORD) i < m_Length"));
}

TEST(XString, HashIsTimesFivePlusSignedCharacter)
{
    EXPECT_EQ(QxHashString("ab"), 583u);
    EXPECT_EQ(QxHashString(XString("ab")), 583u);
    EXPECT_EQ(QxHashString(""), 0u);
    EXPECT_EQ(QxHashString((const char*) nullptr), 0u);
    EXPECT_EQ(QxHashString(XString()), 0u);
    EXPECT_EQ(QxHashString("\xff"), 0xFFFFFFFFu);
}

TEST(XStringTokenizer, CutsTheSourceInPlace)
{
    XString s("  one, two,,three ");
    XStringTokenizer tok(s, " ,");
    const char* one = tok.NextToken(nullptr);
    EXPECT_STREQ(one, "one");
    EXPECT_STREQ(tok.NextToken(one), "two");
    EXPECT_EQ(s.CStr()[5], 0);
    XString none;
    EXPECT_EQ(XStringTokenizer(none, " ").NextToken(nullptr), nullptr);
}

} // namespace

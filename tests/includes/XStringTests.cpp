#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "includes/XString.h"
#include "system/memory/QxMemoryManager.h"
#include "tests/support/AssertCapture.h"

namespace {

TEST(XString, EmptyStringsHaveNoBufferAndGiveEmptyText)
{
    XString none;
    XString fromEmpty("");
    XString fromNull((const char*) nullptr);
    for (const XString* s : {&none, &fromEmpty, &fromNull}) {
        EXPECT_EQ(s->Length(), 0);
        EXPECT_EQ(s->Capacity(), 0);
        EXPECT_STREQ(s->CStr(), "");
    }
    XString copy(none);
    EXPECT_EQ(copy.Capacity(), 0);
}

TEST(XString, ConstructionFromTextTakesExactlyLengthPlusOneBytes)
{
    XString s("hello");
    EXPECT_EQ(s.Length(), 5);
    EXPECT_EQ(s.Capacity(), 6);
    XString part("hello", 3);
    EXPECT_STREQ(part.CStr(), "hel");
    EXPECT_EQ(part.Capacity(), 4);
    XString sized(10);
    EXPECT_EQ(sized.Length(), 9);
    EXPECT_EQ(sized.Capacity(), 10);
    EXPECT_EQ(sized.CStr()[0], 0);
    XString copy(s);
    EXPECT_STREQ(copy.CStr(), "hello");
    EXPECT_EQ(copy.Capacity(), 6);
}

TEST(XString, AssigningEmptyTextKeepsTheBuffer)
{
    XString s;
    s = "hello";
    s = "";
    EXPECT_EQ(s.Length(), 0);
    EXPECT_EQ(s.Capacity(), 6);
    EXPECT_STREQ(s.CStr(), "");
    s = "hey";
    EXPECT_EQ(s.Capacity(), 6);
    s = (const char*) nullptr;
    EXPECT_EQ(s.Length(), 0);
    EXPECT_EQ(s.Capacity(), 6);
}

TEST(XString, AppendingOneCharacterAtATimeGrowsToTheExactSizeEachTime)
{
    XString s;
    for (int i = 1; i <= 100; ++i) {
        s += "x";
        EXPECT_EQ(s.Length(), i);
        EXPECT_EQ(s.Capacity(), i + 1);
    }
}

TEST(XString, AppendKinds)
{
    XString s("a");
    s += XString("b");
    s += 'c';
    s += 42;
    s += -7;
    s += 1.5f;
    s += (const char*) nullptr;
    s += "";
    s += XString();
    EXPECT_STREQ(s.CStr(), "abc42-71.500000");
    XString sum = XString("x") + "y" + XString("z");
    EXPECT_STREQ(sum.CStr(), "xyz");
}

TEST(XString, AppendingItselfWorks)
{
    XString s("abc");
    s += s;
    EXPECT_STREQ(s.CStr(), "abcabc");
    s += s.CStr() + 4;
    EXPECT_STREQ(s.CStr(), "abcabcbc");
    s.SetText(s.CStr() + 2, 3);
    EXPECT_STREQ(s.CStr(), "cab");
}

TEST(XString, CompareUsesSignedBytesAndLengthsForEmptySides)
{
    XString empty, abc("abc");
    EXPECT_EQ(empty.Compare(abc), -3);
    EXPECT_EQ(abc.Compare(empty), 3);
    EXPECT_EQ(abc.Compare(XString("abd")), -1);
    EXPECT_EQ(abc.Compare(XString("abc")), 0);
    EXPECT_LT(XString("a\xe9").Compare(XString("a\x41")), 0);
    EXPECT_EQ(abc.CompareCString(nullptr), 3);
    EXPECT_EQ(abc.Compare("ab"), 'c');
    EXPECT_TRUE(abc == "abc");
    EXPECT_TRUE(empty == nullptr);
    EXPECT_TRUE(empty == XString(""));
    EXPECT_EQ(XString("ABC").ICompare("abd"), -1);
    EXPECT_EQ(XString("ABC").ICompare("abc"), 0);
}

TEST(XString, CompareStopsAtAnEmbeddedTerminator)
{
    XString a, b;
    a.Assign("abcdefghij\0klmnopqrstuv", 24);
    b.Assign("abcdefghij\0klmnopqrstuX", 24);
    EXPECT_EQ(a.Compare(b), 0);
    XString c("abcdefghijklmnopqrstuvwxyz");
    XString d("abcdefghijklmnopqrstuvwxyZ");
    EXPECT_EQ(c.Compare(d), 'z' - 'Z');
    EXPECT_EQ(c.Compare(XString("abcdefghijklmnop")), 'q');
}

TEST(XString, CaseChanges)
{
    XString s("Hello, World 1");
    EXPECT_STREQ(s.ToUpper().CStr(), "HELLO, WORLD 1");
    EXPECT_STREQ(s.ToLower().CStr(), "hello, world 1");
}

TEST(XString, FindAndRFind)
{
    XString s("a/b/c");
    EXPECT_EQ(s.Find('/'), 1);
    EXPECT_EQ(s.Find('/', 2), 3);
    EXPECT_EQ(s.Find('/', 99), -1);
    EXPECT_EQ(s.Find('/', -5), 1);
    EXPECT_EQ(s.Find('z'), -1);
    EXPECT_EQ(XString().Find('a'), -1);
    EXPECT_EQ(s.Find(XString("b/")), 2);
    EXPECT_EQ(s.Find(XString("b/"), 3), -1);
    EXPECT_EQ(s.Find(XString()), -1);
    EXPECT_EQ(s.RFind('/', -1), 3);
    EXPECT_EQ(s.RFind('/', 3), 1);
    EXPECT_EQ(s.RFind('/', 1), -1);
    EXPECT_EQ(s.RFind('/', 1000), 3);
    EXPECT_EQ(XString().RFind('/'), -1);
    EXPECT_STREQ(s.CStr(), "a/b/c");
}

TEST(XString, RFindDoesNotWriteIntoAConstString)
{
    const XString s("path/to/file");
    EXPECT_EQ(s.RFind('/', 5), 4);
    EXPECT_STREQ(s.CStr(), "path/to/file");
}

TEST(XString, CropCutAndSubstringClampToTheString)
{
    XString s("abcdef");
    EXPECT_STREQ(XString(s).Crop(2, 3).CStr(), "cde");
    EXPECT_STREQ(XString(s).Crop(4, 100).CStr(), "ef");
    EXPECT_STREQ(XString(s).Crop(10, 2).CStr(), "");
    EXPECT_STREQ(XString(s).Cut(1, 2).CStr(), "adef");
    EXPECT_STREQ(XString(s).Cut(4, 100).CStr(), "abcd");
    EXPECT_STREQ(XString(s).Cut(100, 1).CStr(), "abcdef");
    EXPECT_STREQ(s.Substring(2).CStr(), "cdef");
    EXPECT_STREQ(s.Substring(2, 2).CStr(), "cd");
    EXPECT_STREQ(s.Substring(5, 10).CStr(), "f");
    EXPECT_STREQ(s.Substring(9).CStr(), "");
    XString t;
    t.AssignSubstring(s, 3);
    EXPECT_STREQ(t.CStr(), "def");
    t.AssignSubstring(s, 50);
    EXPECT_STREQ(t.CStr(), "");
    t.AssignSubstring(XString(), 0);
    EXPECT_STREQ(t.CStr(), "");
    XString u("xyz");
    u.AssignSubstring(u, 1);
    EXPECT_STREQ(u.CStr(), "yz");
}

TEST(XString, Replace)
{
    XString s("aaaa");
    EXPECT_EQ(s.Replace(XString("aa"), XString("b")), 2);
    EXPECT_STREQ(s.CStr(), "bb");
    EXPECT_EQ(s.Capacity(), 3);
    XString empty;
    EXPECT_EQ(empty.Replace(XString("a"), XString("bb")), 0);
    XString same("one two one");
    EXPECT_EQ(same.Replace(XString("one"), XString("six")), 2);
    EXPECT_STREQ(same.CStr(), "six two six");
    XString grow("a.b.c");
    EXPECT_EQ(grow.Replace(XString("."), XString("::")), 2);
    EXPECT_STREQ(grow.CStr(), "a::b::c");
    EXPECT_EQ(grow.Replace(XString("::"), XString()), 2);
    EXPECT_STREQ(grow.CStr(), "abc");
    EXPECT_EQ(grow.Replace(XString(), XString("x")), 0);
    EXPECT_EQ(grow.Replace(grow, XString("z")), 1);
    EXPECT_STREQ(grow.CStr(), "z");
}

TEST(XString, ReplaceThatWouldPassTheLimitLeavesTheStringUnchanged)
{
    // 2^20 'a' characters with each replaced by 256: 2^28 > the limit.
    XString s;
    s.Assign(nullptr, 1 << 20);
    std::memset(s.Str(), 'a', 1 << 20);
    XString to;
    to.Assign(nullptr, 256);
    std::memset(to.Str(), 'b', 256);
    EXPECT_EQ(s.Replace(XString("a"), to), 0);
    EXPECT_EQ(s.Length(), 1 << 20);
    EXPECT_EQ(s[0], 'a');
}

TEST(XString, MakeValidFileName)
{
    EXPECT_STREQ(XString("c:\\dir").MakeValidFileName().CStr(), "c:\\dir");
    EXPECT_STREQ(XString("c:/dir").MakeValidFileName().CStr(), "c:/dir");
    EXPECT_STREQ(XString("c:x").MakeValidFileName().CStr(), "c x");
    EXPECT_STREQ(XString("a:b:c").MakeValidFileName().CStr(), "a b c");
    EXPECT_STREQ(XString("1:\\dir").MakeValidFileName().CStr(), "1 \\dir");
    EXPECT_STREQ(XString("\"a*b<c>d?e|f\"").MakeValidFileName().CStr(), " a b c d e f ");
}

TEST(XString, FormatGrowsItsScratchBufferUntilTheTextFits)
{
    XString s;
    std::string big(2000, 'q');
    s.Format("%s", big.c_str());
    EXPECT_EQ(s.Length(), 2000);
    EXPECT_EQ(std::string(s.CStr()), big);
    std::string exact(2047, 'r');
    s.Format("%s", exact.c_str());
    EXPECT_EQ(std::string(s.CStr()), exact);
    s.Format("%d-%s-%.2f", 12, "ab", 0.5);
    EXPECT_STREQ(s.CStr(), "12-ab-0.50");
    s.Format("%s", "");
    EXPECT_EQ(s.Length(), 0);
}

TEST(XString, AppendingToALongestStringLeavesItUnchanged)
{
    XString s;
    s.Assign(nullptr, (int) XString::MaxLength);
    ASSERT_EQ((CKDWORD) s.Length(), XString::MaxLength);
    s += "x";
    s += 'y';
    s += XString("z");
    EXPECT_EQ((CKDWORD) s.Length(), XString::MaxLength);
    XString t;
    t.SetText("abc", (int) XString::MaxLength + 1);
    EXPECT_EQ(t.Length(), 0);
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
    ASSERT_EQ(capture.Texts().size(), 3u);
    for (const std::string& text : capture.Texts())
        EXPECT_EQ(text, "i>=0 && (DWORD) i < m_Length");
}

TEST(XString, HashIsTimesFivePlusSignedCharacter)
{
    EXPECT_EQ(QxHashString("ab"), 583u);
    EXPECT_EQ(QxHashString(""), 0u);
    EXPECT_EQ(QxHashString((const char*) nullptr), 0u);
    EXPECT_EQ(QxHashString(XString()), 0u);
    EXPECT_EQ(QxHashString("\xff"), 0xFFFFFFFFu);
    EXPECT_EQ(QxHashString(XString("ab")), 583u);
}

TEST(XStringTokenizer, CutsTheSourceInPlace)
{
    XString s("  one, two,,three ");
    XStringTokenizer tok(s, " ,");
    const char* t1 = tok.NextToken(nullptr);
    ASSERT_NE(t1, nullptr);
    EXPECT_STREQ(t1, "one");
    const char* t2 = tok.NextToken(t1);
    EXPECT_STREQ(t2, "two");
    const char* t3 = tok.NextToken(t2);
    EXPECT_STREQ(t3, "three");
    EXPECT_EQ(tok.NextToken(t3), nullptr);
    EXPECT_EQ(s.CStr()[5], 0);

    XString last("a b");
    XStringTokenizer tok2(last, " ");
    const char* a = tok2.NextToken(nullptr);
    const char* b = tok2.NextToken(a);
    EXPECT_STREQ(b, "b");
    EXPECT_EQ(tok2.NextToken(b), nullptr);

    XString none;
    XStringTokenizer tok3(none, " ");
    EXPECT_EQ(tok3.NextToken(nullptr), nullptr);
    XString only("   ");
    XStringTokenizer tok4(only, " ");
    EXPECT_EQ(tok4.NextToken(nullptr), nullptr);
}

TEST(XStringRef, MeasuresCStringsAndComparesLikeXString)
{
    XStringRef r("abc");
    EXPECT_EQ(r.Length(), 3);
    XStringRef n(nullptr);
    EXPECT_EQ(n.Length(), 0);
    EXPECT_STREQ(n.CStr(), "");
    EXPECT_EQ(XString("abc").Compare(XStringRef("abcdef", 3)), 0);
    EXPECT_EQ(XString().Compare(n), 0);
}

} // namespace

namespace {

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

    for (void* data : held)
        m->ReleaseScratchBuffer(data);
}

} // namespace

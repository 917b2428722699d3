#include <gtest/gtest.h>

#include "system/io/QxUrl.h"

namespace {
std::string Escape(const char* path, int expectedResult = 0)
{
    XString out;
    EXPECT_EQ(QxEscapeUrl(path, out), expectedResult);
    return std::string(out.CStr(), out.Length());
}

std::string Unescape(const std::string& text)
{
    XString s(text.c_str(), static_cast<int>(text.size()));
    QxUnescapeUrl(s);
    return std::string(s.CStr(), s.Length());
}
} // namespace

TEST(QxEscapeUrl, LocalPathsBecomeFileUrls)
{
    EXPECT_EQ(Escape("c:\\my dir\\a.jpg"), "file://c:/my%20dir/a.jpg");
    EXPECT_EQ(Escape("a\\b"), "file://a/b");
    EXPECT_EQ(Escape("a+b,c;d=e@f[g]h^i{j}k"), "file://a%2bb%2cc%3bd%3de%40f%5bg%5dh%5ei%7bj%7dk");
}

TEST(QxEscapeUrl, UrlsKeepTheirSchemeAndTheQueryStaysAsItIs)
{
    EXPECT_EQ(Escape("http://host/a b?x y"), "http://host/a%20b?x y");
    EXPECT_EQ(Escape("a?b c"), "file://a?b c");
    EXPECT_EQ(Escape("ftp://h/x\\y?q\\r"), "ftp://h/x/y?q\\r");
}

TEST(QxEscapeUrl, PathsWithoutSpecialCharactersOrWithFileSchemeAreUnchanged)
{
    EXPECT_EQ(Escape("c:/plain.jpg"), "c:/plain.jpg");
    EXPECT_EQ(Escape("FILE://x y\\z"), "FILE://x y\\z");
    EXPECT_EQ(Escape("file://"), "file://");
    EXPECT_EQ(Escape(""), "");
    EXPECT_EQ(Escape(nullptr, -1), "");
}

TEST(QxUnescapeUrl, DecodesPercentPairs)
{
    EXPECT_EQ(Unescape("a%20b%2F"), "a b/");
    EXPECT_EQ(Unescape("%41%42"), "AB");
    EXPECT_EQ(Unescape("ab%"), "ab%");
    EXPECT_EQ(Unescape("ab%2"), "ab%2");
    EXPECT_EQ(Unescape("%zz"), "S");   // 16 x 35 + 35 = 595, mod 256 = 83
    EXPECT_EQ(Unescape("%%41"), "T1"); // ('%' - '0') x 16 + 4 = -172, mod 256 = 84
    EXPECT_EQ(Unescape("x%00y"), std::string("x\0y", 3));
    EXPECT_EQ(Unescape(""), "");
}

TEST(QxUrl, EscapedLocalPathsUnescapeBack)
{
    const char* paths[] = {"c:/my dir/a b.jpg", "/tmp/x;y=z@w", "dir/[1]^{2}+,.png"};
    for (const char* path : paths) {
        std::string escaped = Escape(path);
        ASSERT_EQ(escaped.compare(0, 7, "file://"), 0);
        EXPECT_EQ(Unescape(escaped.substr(7)), path);
    }
}

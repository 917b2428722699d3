#include <gtest/gtest.h>

#include <string>
#include <utility>

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

// Local paths become file URLs; URLs keep their scheme and their query as
// it is; paths without special characters or with the file scheme stay.
TEST(QxEscapeUrl, EscapesWhatALocalPathOrAUrlNeeds)
{
    const std::pair<const char*, const char*> cases[] = {
        {"c:\\my dir\\a.jpg", "file://c:/my%20dir/a.jpg"},
        {"a\\b", "file://a/b"},
        {"a+b,c;d=e@f[g]h^i{j}k", "file://a%2bb%2cc%3bd%3de%40f%5bg%5dh%5ei%7bj%7dk"},
        {"http://host/a b?x y", "http://host/a%20b?x y"},
        {"a?b c", "file://a?b c"},
        {"ftp://h/x\\y?q\\r", "ftp://h/x/y?q\\r"},
        {"c:/plain.jpg", "c:/plain.jpg"},
        {"FILE://x y\\z", "FILE://x y\\z"},
        {"file://", "file://"},
        {"", ""},
    };
    for (const auto& [path, url] : cases)
        EXPECT_EQ(Escape(path), url) << path;
    EXPECT_EQ(Escape(nullptr, -1), "");
}

TEST(QxUnescapeUrl, DecodesPercentPairsAndUndoesTheEscapeOfLocalPaths)
{
    const std::pair<std::string, std::string> cases[] = {
        {"a%20b%2F", "a b/"},
        {"%41%42", "AB"},
        {"ab%", "ab%"},
        {"ab%2", "ab%2"},
        {"%zz", "S"},   // 16 x 35 + 35 = 595, mod 256 = 83
        {"%%41", "T1"}, // ('%' - '0') x 16 + 4 = -172, mod 256 = 84
        {"x%00y", std::string("x\0y", 3)},
        {"", ""},
    };
    for (const auto& [text, plain] : cases)
        EXPECT_EQ(Unescape(text), plain) << text;
    for (const char* path : {"c:/my dir/a b.jpg", "/tmp/x;y=z@w", "dir/[1]^{2}+,.png"}) {
        std::string escaped = Escape(path);
        ASSERT_EQ(escaped.compare(0, 7, "file://"), 0);
        EXPECT_EQ(Unescape(escaped.substr(7)), path);
    }
}

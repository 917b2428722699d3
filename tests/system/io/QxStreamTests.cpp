#include <gtest/gtest.h>

#include "system/io/QxSubFile.h"
#include "tests/system/support/MemoryStream.h"

namespace {
std::string Pattern(size_t size)
{
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i)
        s[i] = static_cast<char>((i * 131 + i / 256) & 0xFF);
    return s;
}
} // namespace

TEST(QxStreamCopyFrom, CopiesFromTheSourcePositionIn32KBlocksUntilAShortReadOrWrite)
{
    struct Case
    {
        size_t sourceSize, start, writeBudget;
        CKDWORD size, copied;
        std::vector<CKDWORD> writes;
    };
    const Case cases[] = {
        {70000, 0, size_t(-1), 0, 70000, {32768, 32768, 4464}}, // size 0: the whole source
        {100, 40, size_t(-1), 10, 10, {10}},
        {50000, 0, size_t(-1), 90000, 50000, {32768, 17232}}, // the second read comes back short
        {100000, 0, 40000, 0, 40000, {32768, 32768}},         // the second write comes back short
        {0, 0, size_t(-1), 0, 0, {}},
    };
    for (const Case& c : cases) {
        MemoryStream source(Pattern(c.sourceSize)), target;
        source.Seek(static_cast<int>(c.start), QX_SEEK_BEGIN);
        target.writeBudget = c.writeBudget;
        EXPECT_EQ(target.CopyFrom(&source, c.size), c.copied) << c.sourceSize;
        EXPECT_EQ(target.writes, c.writes) << c.sourceSize;
        EXPECT_EQ(target.Bytes(), source.Bytes().substr(c.start, c.copied)) << c.sourceSize;
    }
    MemoryStream target;
    EXPECT_EQ(target.CopyFrom(nullptr, 10), 0u);
}

TEST(QxSubFile, ValidInItsParentSeeksReadsAndWritesStayInTheWindow)
{
    std::string bytes = Pattern(300);
    MemoryStream parent(bytes);
    QxSubFile sub;
    sub.Open(&parent, 100, 50);
    EXPECT_TRUE(sub.Seek(4, QX_SEEK_END));
    EXPECT_EQ(sub.Tell(), 46u);
    EXPECT_EQ(parent.Tell(), 146u);
    EXPECT_TRUE(sub.Seek(-6, QX_SEEK_CURRENT));
    EXPECT_EQ(parent.Tell(), 140u);
    EXPECT_TRUE(sub.Seek(0, QX_SEEK_BEGIN));
    char buffer[100];
    EXPECT_EQ(sub.Read(buffer, 30), 30u);
    EXPECT_EQ(std::string(buffer, 30), bytes.substr(100, 30));
    parent.Seek(0, QX_SEEK_BEGIN); // someone else moved the parent
    EXPECT_EQ(sub.Read(buffer, 100), 20u);
    EXPECT_EQ(std::string(buffer, 20), bytes.substr(130, 20));
    EXPECT_EQ(sub.Tell(), 50u);
    EXPECT_EQ(sub.Read(buffer, 1), 0u);
    sub.Seek(60, QX_SEEK_BEGIN); // beyond the window
    EXPECT_EQ(sub.Read(buffer, 1), 0u);
    sub.Seek(45, QX_SEEK_BEGIN);
    EXPECT_EQ(sub.Write("abcdefgh", 8), 5u);
    EXPECT_EQ(parent.Bytes(), bytes.substr(0, 145) + "abcde" + bytes.substr(150));
    sub.Seek(0, QX_SEEK_BEGIN);
    MemoryStream target;
    EXPECT_EQ(target.CopyFrom(&sub, 0), 50u);
    EXPECT_EQ(target.Bytes(), parent.Bytes().substr(100, 50));
    // An invalid window past a short parent still reads safely up to its end.
    MemoryStream shortParent(Pattern(120));
    sub.Open(&shortParent, 100, 50);
    EXPECT_EQ(sub.Read(buffer, 64), 20u);
    EXPECT_EQ(sub.Tell(), 20u);
    // A window is valid only when it lies in its parent.
    MemoryStream small(Pattern(120));
    QxSubFile window;
    const std::pair<CKDWORD, CKDWORD> windows[] = {{100, 50}, {100, 20}, {100, 0}, {0xFFFFFFF0u, 0x20}};
    const bool valid[] = {false, true, false, false}; // the last wraps in 32 bits
    for (int i = 0; i < 4; ++i) {
        window.Open(&small, windows[i].first, windows[i].second);
        EXPECT_EQ(bool(window.IsValid()), valid[i]) << i;
    }
    small.m_Valid = FALSE;
    window.Open(&small, 0, 10);
    EXPECT_FALSE(window.IsValid());
    QxSubFile orphan;
    EXPECT_FALSE(orphan.IsValid());
    EXPECT_FALSE(orphan.Seek(0, QX_SEEK_BEGIN));
}

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

TEST(QxStreamCopyFrom, SizeZeroCopiesTheWholeSourceIn32KBlocks)
{
    MemoryStream source(Pattern(70000));
    MemoryStream target;
    EXPECT_EQ(target.CopyFrom(&source, 0), 70000u);
    EXPECT_EQ(target.writes, (std::vector<CKDWORD>{32768, 32768, 4464}));
    EXPECT_EQ(target.Bytes(), source.Bytes());
}

TEST(QxStreamCopyFrom, CopiesFromTheSourcePosition)
{
    MemoryStream source(Pattern(100));
    source.Seek(40, QX_SEEK_BEGIN);
    MemoryStream target;
    EXPECT_EQ(target.CopyFrom(&source, 10), 10u);
    EXPECT_EQ(target.Bytes(), source.Bytes().substr(40, 10));
}

TEST(QxStreamCopyFrom, StopsAtAShortReadAndReturnsWhatWasCopied)
{
    MemoryStream source(Pattern(50000));
    MemoryStream target;
    // Asked for more than the source holds: the second read comes back short.
    EXPECT_EQ(target.CopyFrom(&source, 90000), 50000u);
    EXPECT_EQ(source.reads.size(), 2u);
    EXPECT_EQ(target.Bytes(), source.Bytes());
}

TEST(QxStreamCopyFrom, StopsAtAShortWrite)
{
    MemoryStream source(Pattern(100000));
    MemoryStream target;
    target.writeBudget = 40000;
    EXPECT_EQ(target.CopyFrom(&source, 0), 40000u);
    EXPECT_EQ(target.writes.size(), 2u);
    EXPECT_EQ(target.Bytes(), source.Bytes().substr(0, 40000));
}

TEST(QxStreamCopyFrom, NullOrEmptySourceCopiesNothing)
{
    MemoryStream source;
    MemoryStream target;
    EXPECT_EQ(target.CopyFrom(nullptr, 10), 0u);
    EXPECT_EQ(target.CopyFrom(&source, 0), 0u);
    EXPECT_TRUE(target.writes.empty());
}

TEST(QxSubFile, ValidOnlyWhenTheWindowLiesInTheParent)
{
    MemoryStream parent(Pattern(120));
    QxSubFile sub;
    sub.Open(&parent, 100, 50);
    EXPECT_FALSE(sub.IsValid());
    sub.Open(&parent, 100, 20);
    EXPECT_TRUE(sub.IsValid());
    sub.Open(&parent, 100, 0);
    EXPECT_FALSE(sub.IsValid());
    sub.Open(&parent, 0xFFFFFFF0u, 0x20);
    EXPECT_FALSE(sub.IsValid()); // start + size wraps in 32 bits
    parent.m_Valid = FALSE;
    sub.Open(&parent, 0, 10);
    EXPECT_FALSE(sub.IsValid());
    QxSubFile orphan;
    EXPECT_FALSE(orphan.IsValid());
    EXPECT_FALSE(orphan.Seek(0, QX_SEEK_BEGIN));
}

TEST(QxSubFile, SeekFromTheEndCountsBackwards)
{
    MemoryStream parent(Pattern(200));
    QxSubFile sub;
    sub.Open(&parent, 100, 50);
    EXPECT_TRUE(sub.Seek(4, QX_SEEK_END));
    EXPECT_EQ(sub.Tell(), 46u);
    EXPECT_EQ(parent.Tell(), 146u);
    EXPECT_TRUE(sub.Seek(-6, QX_SEEK_CURRENT));
    EXPECT_EQ(sub.Tell(), 40u);
    EXPECT_EQ(parent.Tell(), 140u);
    EXPECT_TRUE(sub.Seek(7, QX_SEEK_BEGIN));
    EXPECT_EQ(sub.Tell(), 7u);
    EXPECT_EQ(parent.Tell(), 107u);
}

TEST(QxSubFile, ReadsAreClippedToTheWindowAndFollowTheParent)
{
    std::string bytes = Pattern(300);
    MemoryStream parent(bytes);
    QxSubFile sub;
    sub.Open(&parent, 100, 50);
    char buffer[100];
    EXPECT_EQ(sub.Read(buffer, 30), 30u);
    EXPECT_EQ(std::string(buffer, 30), bytes.substr(100, 30));
    // Someone else moved the parent: the sub-file puts it back first.
    parent.Seek(0, QX_SEEK_BEGIN);
    EXPECT_EQ(sub.Read(buffer, 100), 20u);
    EXPECT_EQ(std::string(buffer, 20), bytes.substr(130, 20));
    EXPECT_EQ(sub.Tell(), 50u);
    EXPECT_EQ(sub.Read(buffer, 1), 0u);
    sub.Seek(60, QX_SEEK_BEGIN); // beyond the window
    EXPECT_EQ(sub.Read(buffer, 1), 0u);
}

TEST(QxSubFile, ReadsStopAtTheEndOfAShortParent)
{
    std::string bytes = Pattern(120);
    MemoryStream parent(bytes);
    QxSubFile sub;
    sub.Open(&parent, 100, 50); // invalid, but reading must stay safe
    char buffer[64];
    EXPECT_EQ(sub.Read(buffer, 64), 20u);
    EXPECT_EQ(sub.Tell(), 20u);
}

TEST(QxSubFile, WritesStayInsideTheWindow)
{
    MemoryStream parent(std::string(40, '.'));
    QxSubFile sub;
    sub.Open(&parent, 10, 5);
    EXPECT_EQ(sub.Write("abcdefgh", 8), 5u);
    EXPECT_EQ(parent.Bytes(), std::string(10, '.') + "abcde" + std::string(25, '.'));
    EXPECT_EQ(sub.Tell(), 5u);
}

TEST(QxSubFile, CopyFromWholeWindow)
{
    std::string bytes = Pattern(1000);
    MemoryStream parent(bytes);
    QxSubFile sub;
    sub.Open(&parent, 200, 300);
    MemoryStream target;
    EXPECT_EQ(target.CopyFrom(&sub, 0), 300u);
    EXPECT_EQ(target.Bytes(), bytes.substr(200, 300));
}

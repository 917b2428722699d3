#include <gtest/gtest.h>

#include <sys/stat.h>

#include "system/io/QxFile.h"
#include "system/io/QxGetFileMode.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPaths.h"

TEST(QxFile, OpenCleansTheNameTakesBackslashesAndClosedFilesAreHarmless)
{
    TestTempDir dir;
    QxFile file;
    EXPECT_FALSE(file.IsValid());
    ASSERT_TRUE(file.Open((dir.Path() + "\\a<b.txt").c_str(), QX_FILE_WRITE));
    EXPECT_EQ(file.Write("x", 1), 1u);
    file.Close();
    EXPECT_EQ(TestReadFile(dir.File("a b.txt")), "x");
    // Closed files are invalid and harmless.
    EXPECT_TRUE(file.Close());
    EXPECT_FALSE(file.IsValid());
    char buffer[4];
    EXPECT_EQ(file.Read(buffer, 4), 0u);
    EXPECT_EQ(file.Write(buffer, 4), 0u);
    EXPECT_EQ(file.GetSize(), 0u);
    EXPECT_FALSE(file.Seek(0, QX_SEEK_BEGIN));
    EXPECT_FALSE(file.Open(nullptr, QX_FILE_READ));
    EXPECT_FALSE(file.Open("", QX_FILE_READ));
}

TEST(QxFile, UnknownModesReadInBinaryAndSeekOriginsAreBeginEndAndCurrent)
{
    TestTempDir dir;
    TestWriteFile(dir.File("f"), "a\r\nb");
    QxFile file;
    ASSERT_TRUE(file.Open(dir.File("f").c_str(), 7));
    char buffer[8] = {};
    EXPECT_EQ(file.Read(buffer, 8), 4u);
    EXPECT_EQ(std::string(buffer, 4), "a\r\nb");
    EXPECT_EQ(file.Write("z", 1), 0u); // read-only
    // Seek origins are begin, end and current; GetSize keeps the position.
    TestWriteFile(dir.File("g"), "0123456789");
    ASSERT_TRUE(file.Open(dir.File("g").c_str(), QX_FILE_READ));
    char c = 0;
    ASSERT_TRUE(file.Seek(-3, QX_SEEK_END));
    EXPECT_EQ(file.GetSize(), 10u);
    EXPECT_EQ(file.Tell(), 7u);
    ASSERT_TRUE(file.Seek(-2, QX_SEEK_CURRENT));
    file.Read(&c, 1);
    EXPECT_EQ(c, '5');
    EXPECT_FALSE(file.Seek(-1, QX_SEEK_BEGIN));
}

TEST(QxFile, ModesMapToTheirOpenModesAndFileModesGiveTheBits)
{
    TestTempDir dir;
    std::string path = dir.File("m.txt");
    QxFile file;
    EXPECT_FALSE(file.Open(path.c_str(), QX_FILE_READWRITE)); // "r+b" needs the file
    ASSERT_TRUE(file.Open(path.c_str(), QX_FILE_TEXT_WRITE));
    file.Printf("%d-%s", 12, "ab");
    ASSERT_TRUE(file.Open(path.c_str(), QX_FILE_TEXT_APPEND)); // closes the first
    file.Write("+", 1);
    file.Close();
    EXPECT_EQ(TestReadFile(path), "12-ab+");
    ASSERT_TRUE(file.Open(path.c_str(), QX_FILE_READWRITE));
    file.Write("99", 2);
    file.Close();
    EXPECT_EQ(TestReadFile(path), "99-ab+");
    ASSERT_TRUE(file.Open(path.c_str(), QX_FILE_WRITE));
    file.Close();
    EXPECT_EQ(TestReadFile(path), "");
    // File modes: the mode bits, or zero.
    EXPECT_EQ(QxGetFileMode(dir.Path().c_str()) & S_IFMT, unsigned(S_IFDIR));
    EXPECT_EQ(QxGetFileMode(dir.File("none").c_str()), 0u);
    EXPECT_EQ(QxGetFileMode(nullptr), 0u);
}

TEST(QxFile, LinesItemsAndScanf)
{
    TestTempDir dir;
    TestWriteFile(dir.File("t"), "first line\nsecond\n42 7\n");
    QxFile file;
    ASSERT_TRUE(file.Open(dir.File("t").c_str(), QX_FILE_TEXT_READ));
    char line[6];
    ASSERT_TRUE(file.GetString(line, sizeof(line)));
    EXPECT_STREQ(line, "first"); // at most size - 1 characters
    char rest[64];
    ASSERT_TRUE(file.GetString(rest, sizeof(rest)));
    EXPECT_STREQ(rest, " line\n"); // the line feed is kept
    ASSERT_TRUE(file.GetString(rest, sizeof(rest)));
    int a = 0, b = 0;
    EXPECT_EQ(file.Scanf("%d %d", &a, &b), 2);
    EXPECT_EQ(a, 42);
    EXPECT_EQ(b, 7);
    ASSERT_TRUE(file.GetString(rest, sizeof(rest)));
    EXPECT_STREQ(rest, "\n");
    EXPECT_FALSE(file.GetString(rest, sizeof(rest)));
    EXPECT_TRUE(file.IsEof());
    file.Seek(0, QX_SEEK_BEGIN);
    char items[6] = {};
    EXPECT_EQ(file.ReadItems(items, 2, 3), 3u);
    EXPECT_EQ(std::string(items, 6), "first ");
}

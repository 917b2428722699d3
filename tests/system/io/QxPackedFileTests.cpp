#include <gtest/gtest.h>

#include <fstream>

#include "system/io/QxPackedFile.h"
#include "system/io/QxSubFile.h"
#include "tests/support/TestPaths.h"

TEST(QxPackedFile, FindsStoredFilesByLowerCaseNameAndExtensionAfterTheBasePath)
{
    TestTempDir dir;
    std::ofstream(dir.File("archive.bin"), std::ios::binary) << "headerFIRSTsecond-file";
    QxPackedFile packed;
    ASSERT_TRUE(packed.GetArchive()->Open(dir.File("archive.bin").c_str(), QX_FILE_READ));
    EXPECT_TRUE(packed.AddFile("Textures/First.JPG", 6, 5));
    EXPECT_TRUE(packed.AddFile("second.png", 11, 11));
    EXPECT_EQ(packed.GetFileCount(), 2);

    QxSubFile sub;
    EXPECT_EQ(packed.FindFile("c:\\other\\dir\\FIRST.jpg", &sub), 1);
    EXPECT_TRUE(sub.IsValid());
    char buffer[32];
    EXPECT_EQ(sub.Read(buffer, sizeof(buffer)), 5u);
    EXPECT_EQ(std::string(buffer, 5), "FIRST");

    EXPECT_EQ(packed.FindFile("SECOND.PNG", nullptr), 1);
    EXPECT_EQ(packed.FindFile("second.jpg", &sub), 0);
    EXPECT_EQ(packed.FindFile("second", &sub), 0);
    EXPECT_EQ(packed.FindFile(nullptr, &sub), 0);
    EXPECT_EQ(packed.FindFile(std::string(300, 'a').c_str(), &sub), 0);
    // Bad records are refused; the same key replaces the record.
    EXPECT_FALSE(packed.AddFile("a.txt", 0xFFFFFFF0u, 0x20));
    EXPECT_FALSE(packed.AddFile("dir/", 0, 1));
    EXPECT_TRUE(packed.AddFile("a.txt", 1, 2));
    EXPECT_TRUE(packed.AddFile("A.TXT", 3, 4)); // same key: the record is replaced
    EXPECT_EQ(packed.GetFileCount(), 3);
    packed.Clear();
    EXPECT_EQ(packed.GetFileCount(), 0);
    EXPECT_EQ(packed.FindFile("a.txt", nullptr), 0);
    EXPECT_TRUE(packed.AddFile("b.txt", 1, 2));
    EXPECT_EQ(packed.FindFile("b.txt", nullptr), 1);
    // The base path goes in front of the name.
    packed.SetBasePath("dir/");
    EXPECT_EQ(packed.FindFile("B.TXT", nullptr), 1);
    packed.SetBasePath("prefix");
    EXPECT_EQ(packed.FindFile("b.txt", nullptr), 0); // "prefixb.txt"
}

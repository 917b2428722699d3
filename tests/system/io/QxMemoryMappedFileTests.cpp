#include <gtest/gtest.h>

#include "system/io/QxMemoryMappedFile.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPaths.h"

TEST(QxMemoryMappedFile, MapsWholeFilesAndEmptyOnesAndNothingForMissingOnes)
{
    TestTempDir dir;
    TestWriteFile(dir.File("m.bin"), "mapped bytes");
    TestWriteFile(dir.File("empty"), "");
    QxMemoryMappedFile file(dir.File("m.bin").c_str()), empty(dir.File("empty").c_str());
    EXPECT_EQ(file.GetState(), QxMemoryMappedFile::QX_MAPPED);
    ASSERT_EQ(file.GetFileSize(), 12u);
    EXPECT_EQ(std::string(static_cast<const char*>(file.GetBase()), 12), "mapped bytes");
    EXPECT_TRUE(empty.IsValid());
    EXPECT_EQ(empty.GetFileSize(), 0u);
    const std::string missing = dir.File("missing");
    for (const char* path : {missing.c_str(), (const char*) nullptr}) {
        QxMemoryMappedFile none(path);
        EXPECT_EQ(none.GetState(), QxMemoryMappedFile::QX_FILE_NOT_OPENED);
        EXPECT_FALSE(none.IsValid());
        EXPECT_EQ(none.GetBase(), nullptr);
        EXPECT_EQ(none.GetFileSize(), 0u);
    }
}

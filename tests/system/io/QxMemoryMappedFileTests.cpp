#include <gtest/gtest.h>

#include <fstream>

#include "system/io/QxMemoryMappedFile.h"
#include "tests/support/TestPaths.h"

TEST(QxMemoryMappedFile, MapsTheWholeFile)
{
    TestTempDir dir;
    std::ofstream(dir.File("m.bin"), std::ios::binary) << "mapped bytes";
    QxMemoryMappedFile file(dir.File("m.bin").c_str());
    EXPECT_EQ(file.GetState(), QxMemoryMappedFile::QX_MAPPED);
    EXPECT_TRUE(file.IsValid());
    ASSERT_EQ(file.GetFileSize(), 12u);
    EXPECT_EQ(std::string(static_cast<const char*>(file.GetBase()), 12), "mapped bytes");
}

TEST(QxMemoryMappedFile, AMissingFileHasStateOneAndNoView)
{
    TestTempDir dir;
    QxMemoryMappedFile file(dir.File("missing").c_str());
    EXPECT_EQ(file.GetState(), QxMemoryMappedFile::QX_FILE_NOT_OPENED);
    EXPECT_FALSE(file.IsValid());
    EXPECT_EQ(file.GetBase(), nullptr);
    EXPECT_EQ(file.GetFileSize(), 0u);
    QxMemoryMappedFile none(nullptr);
    EXPECT_EQ(none.GetState(), QxMemoryMappedFile::QX_FILE_NOT_OPENED);
}

TEST(QxMemoryMappedFile, AnEmptyFileIsMappedWithSizeZero)
{
    TestTempDir dir;
    std::ofstream(dir.File("empty"), std::ios::binary).flush();
    QxMemoryMappedFile file(dir.File("empty").c_str());
    EXPECT_TRUE(file.IsValid());
    EXPECT_EQ(file.GetFileSize(), 0u);
}

#include <gtest/gtest.h>

#include "platform/PlatformFileMapping.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPaths.h"

TEST(PlatformFileMapping, MapsWholeFilesReadOnlyThroughEitherSeparator)
{
    TestTempDir dir;
    const std::string bytes("abc\0def", 7);
    TestWriteFile(dir.File("f.bin"), bytes);
    TestWriteFile(dir.File("empty"), "");
    PlatformFileMapping map;
    ASSERT_EQ(map.Open((dir.Path() + "\\f.bin").c_str()), PlatformFileMapping::Mapped);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(map.Data()), map.Size()), bytes);
    // Reopening maps the other file; an empty file maps as an empty view.
    ASSERT_EQ(map.Open(dir.File("empty").c_str()), PlatformFileMapping::Mapped);
    EXPECT_NE(map.Data(), nullptr);
    EXPECT_EQ(map.Size(), 0u);
    map.Close();
    EXPECT_EQ(map.GetState(), PlatformFileMapping::NotOpened);
    EXPECT_EQ(map.Data(), nullptr);
}

TEST(PlatformFileMapping, MissingFilesFoldersAndNullAreNotOpened)
{
    TestTempDir dir;
    PlatformFileMapping map;
    const std::string missing = dir.File("missing");
    for (const char* path : {missing.c_str(), dir.Path().c_str(), (const char*) nullptr}) {
        EXPECT_EQ(map.Open(path), PlatformFileMapping::NotOpened);
        EXPECT_EQ(map.Data(), nullptr);
        EXPECT_EQ(map.Size(), 0u);
    }
}
